// The hidden controller window. It drives the run by posting its private
// messages to itself, so that each step ends before the next one begins.
#include <windows.h>

#include "app/app.h"
#include "common/common.h"
#include "common/globals.h"
#include "res/resource.h"

static const char kSystemSubdir[] = "\\system32";

// Opens the log and works out the system directory. A "SystemRoot" too
// long to take "\system32" within MAX_PATH counts as missing: every file
// path of the run is built on the system directory.
static void OnCreate(HWND hwnd)
{
    OpenUninstallLog("QWUNLOG.LOG");

    ZeroMemory(g_systemRoot, sizeof(g_systemRoot));
    if (GetSystemRootDir(g_systemRoot) && lstrlenA(g_systemRoot) + lstrlenA(kSystemSubdir) < MAX_PATH) {
        ZeroMemory(g_systemDir, sizeof(g_systemDir));
        lstrcpynA(g_systemDir, g_systemRoot, MAX_PATH);
        lstrcatA(g_systemDir, kSystemSubdir);
        g_errorOccurred = 0;
        PostMessageA(hwnd, UM_BEGIN, 0, 0);
    } else {
        g_errorOccurred = 1;
        PostMessageA(hwnd, UM_END, 0, 0);
    }
}

static void OnBegin(HWND hwnd)
{
    g_hSavedCursor = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    PostMessageA(hwnd, UM_SHOWPROGRESS, 0, 0);
}

static void OnShowProgress(HWND hwnd)
{
    // The dialog holds a progress bar, whose class must exist before the
    // dialog is created. Without the system's comctl32 the dialog cannot
    // be created, and the run ends as for any dialog that could not be.
    HMODULE commonControls = LoadSystemLibrary("comctl32.dll");

    InitCommonControlsOf(commonControls);
    g_dialogResult = DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_PROGRESS), hwnd, ProgressDlgProc, 0);
    if (commonControls != NULL)
        FreeLibrary(commonControls);
    SetCursor(g_hSavedCursor);
    PostMessageA(hwnd, UM_END, (WPARAM)g_dialogResult, 0);
}

// Only a dialog that ran the stages (result 1) leads to the completion,
// which closes the log itself.
static void OnEnd(HWND hwnd, WPARAM result)
{
    if (result == 1)
        FinishUninstall(hwnd);
    else
        CloseUninstallLog();
    PostMessageA(hwnd, WM_DESTROY, 0, 0);
}

LRESULT CALLBACK UninstallWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate(hwnd);
        return 0;
    case UM_BEGIN:
        OnBegin(hwnd);
        return 1;
    case UM_SHOWPROGRESS:
        OnShowProgress(hwnd);
        return 0;
    case UM_END:
        OnEnd(hwnd, wParam);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

// The environment is the user's: a "SystemRoot" that named a folder of the
// user's would turn every rename, delete and queue entry of the run, and
// the helper's Run value, to files of the user's choosing. So the value
// counts only when it names the system's own Windows directory, letter
// case aside and with one trailing backslash allowed; it is then used as
// it stands.
static int IsSystemWindowsDir(LPCSTR value)
{
    char windowsDir[MAX_PATH];
    UINT length = GetSystemWindowsDirectoryA(windowsDir, MAX_PATH);
    int valueLength = lstrlenA(value);

    if (length == 0 || length >= MAX_PATH)
        return 0;
    if (TextEqualsNoCase(value, windowsDir))
        return 1;
    if (valueLength == 0 || value[valueLength - 1] != '\\' || (UINT)valueLength != length + 1)
        return 0;
    lstrcatA(windowsDir, "\\");
    return TextEqualsNoCase(value, windowsDir);
}

// A value that does not fit MAX_PATH is treated like a missing one rather
// than used cut short, and so is one that names another folder.
int GetSystemRootDir(LPSTR buffer)
{
    char value[MAX_PATH];
    DWORD length;

    ZeroMemory(value, sizeof(value));
    length = GetEnvironmentVariableA("SystemRoot", value, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !IsSystemWindowsDir(value))
        return 0;
    lstrcpynA(buffer, value, MAX_PATH);
    return 1;
}
