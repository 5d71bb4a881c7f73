// The uninstaller's flow: start-up checks, the hidden controller window,
// the progress dialog and the completion.
#pragma once

#include <windows.h>

#define APP_TITLE "QELVORA Wattrix2 Uninstaller"

// Private messages of the controller window and of the progress dialog.
#define UM_END (WM_USER + 100)
#define UM_BEGIN (WM_USER + 101)
#define UM_SHOWPROGRESS (WM_USER + 102)

ATOM RegisterMainClass(HINSTANCE hInstance);
int CreateMainWindow(HINSTANCE hInstance, int nCmdShow);
int IsProductRegistered(void);
LRESULT CALLBACK UninstallWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ProgressDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
void CenterWindowOnScreen(HWND hwnd);
int GetSystemRootDir(LPSTR buffer);
int FinishUninstall(HWND hwnd);
int ShowFreshBox(HWND owner, LPCSTR text, UINT type);
void ToDisplayPath(LPCSTR path, LPSTR displayPath);
int Co_WindowsShutDown(UINT flags);
void LimitDllSearch(void);
HMODULE LoadSystemLibrary(LPCSTR fileName);
void InitCommonControlsOf(HMODULE commonControls);
