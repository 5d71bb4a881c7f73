// Process-wide state of the uninstaller. One thread reads and writes it.
#pragma once

#include <windows.h>

// 1 once some operation of the run failed and was logged. The controller
// sets it at creation; the stages and the completion only ever raise it.
extern int g_errorOccurred;
// The value of "SystemRoot", for example C:\WINNT.
extern char g_systemRoot[MAX_PATH];
// g_systemRoot followed by "\system32"; every product file path starts here.
extern char g_systemDir[MAX_PATH];
extern HINSTANCE g_hInstance;
// 1 once the default DLL search was set to the system directory alone.
extern int g_dllSearchLimited;
extern HCURSOR g_hSavedCursor;
extern INT_PTR g_dialogResult;

// Owned by the log functions.
extern HANDLE g_hLogFile;
extern char g_logPath[MAX_PATH];
