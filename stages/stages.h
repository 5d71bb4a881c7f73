// The three removal stages, run one after the other by the progress dialog.
#pragma once

#include <windows.h>

int CloseCompanionPrograms(void);
void RetireInstalledFiles(void);
void RemoveProductSettings(void);

int RenameToSuffix(LPCSTR path, LPCSTR suffix, LPSTR newPath);
int TrimBlanks(LPSTR text);
int CountChar(LPCSTR text, LPCSTR character);
