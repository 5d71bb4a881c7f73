// Common services: the trace hook, registry access, the text loader and
// the uninstall log. Every registry access of the program goes through the
// Co_ functions; each returns 1 for success (or "found") and 0 otherwise.
#pragma once

#include <windows.h>

void CoTrace(LPCSTR text, int level = 0);

int Co_GetRegValueNum(HKEY root, LPCSTR subKey, LPCSTR valueName, DWORD *number);
int Co_GetRegValueSz(HKEY root, LPCSTR subKey, LPCSTR valueName, LPSTR text);

int Co_SetValueSz(HKEY root, LPCSTR subKey, LPCSTR valueName, LPCSTR text);
int Co_SetValueNum(HKEY root, LPCSTR subKey, LPCSTR valueName, DWORD number);
int Co_SetCreateValueSz(HKEY root, LPCSTR subKey, LPCSTR valueName, LPCSTR text);
int Co_SetCreateValueNum(HKEY root, LPCSTR subKey, LPCSTR valueName, DWORD number);
int Co_DeleteRegValue(HKEY root, LPCSTR subKey, LPCSTR valueName);
int Co_DeleteRegNode(HKEY root, LPCSTR keyPath);

LPSTR LoadResText(UINT id);

int FormatText(LPSTR buffer, int size, LPCSTR format, ...);
int TextEquals(LPCSTR a, LPCSTR b);
int TextEqualsNoCase(LPCSTR a, LPCSTR b);
int IsLocalDrivePath(LPCSTR path);

// A function of a loaded module by name; NULL without the module.
FARPROC FindLibraryFunction(HMODULE module, LPCSTR name);

// Writing where the user can plant links: the log's file and the registry
// keys, never through a link.
void TrustNoRedirection(void);
HANDLE OpenLogFileSafely(LPCSTR path);
LONG OpenKeyNoFollow(HKEY root, LPCSTR path, REGSAM access, PHKEY key);
int DeleteOpenKey(HKEY key);

int OpenUninstallLog(LPCSTR fileName);
int WriteUninstallLog(LPCSTR object, LPCSTR message);
LPSTR GetUninstallLogPath(LPSTR destination);
int CloseUninstallLog(void);
