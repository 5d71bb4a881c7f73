// The end of a run whose stages have all been run: register the cleanup
// helper and offer the restart, or name the log when something failed.
#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include "app/app.h"
#include "common/common.h"
#include "common/globals.h"
#include "res/resource.h"

using Microsoft::WRL::ComPtr;

static const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\run";
static const char kHelperValue[] = "QvCleanup";
static const char kHelperFile[] = "\\QvCleanup.exe";

// The helper removes the queued files at the next log-on. A path that
// would not fit MAX_PATH is not written cut short; it counts as a failed
// write, like any other.
static int RegisterCleanupHelper(void)
{
    char helperPath[MAX_PATH];
    int length = FormatText(helperPath, sizeof(helperPath), "%s%s", g_systemDir, kHelperFile);

    if (length < MAX_PATH && Co_SetValueSz(HKEY_LOCAL_MACHINE, kRunKey, kHelperValue, helperPath))
        return 1;
    g_errorOccurred = 1;
    WriteUninstallLog(helperPath, LoadResText(IDS_ERR_MODIFY_VALUE));
    return 0;
}

// The log is closed before the restart is requested, so that its last
// lines are on disk whatever Windows does next.
static void OfferRestart(HWND hwnd)
{
    int answer = ShowFreshBox(hwnd, LoadResText(IDS_RESTART_PROMPT), MB_YESNO | MB_ICONINFORMATION);

    CloseUninstallLog();
    if (answer == IDYES)
        Co_WindowsShutDown(EWX_REBOOT);
}

// The log's path, or, when the log had no path because the temporary
// directory left no room for its name, that directory: the box must name
// some place for the user to look.
static void GetPathToName(LPSTR path)
{
    DWORD length;

    ZeroMemory(path, MAX_PATH);
    GetUninstallLogPath(path);
    if (path[0] != '\0')
        return;
    length = GetTempPathA(MAX_PATH, path);
    if (length == 0 || length >= MAX_PATH)
        path[0] = '\0';
    else if (path[length - 1] == '\\')
        path[length - 1] = '\0';
}

// The log stays open while the box is up, and is closed once it is gone.
static void ShowErrorBox(HWND hwnd)
{
    char logPath[MAX_PATH];
    char displayPath[MAX_PATH];
    char message[512];

    GetPathToName(logPath);
    ToDisplayPath(logPath, displayPath);
    FormatText(message, sizeof(message), LoadResText(IDS_ERROR_SEE_LOG), displayPath);
    ShowFreshBox(hwnd, message, MB_OK | MB_ICONINFORMATION);
    CloseUninstallLog();
}

int FinishUninstall(HWND hwnd)
{
    if (!g_errorOccurred && RegisterCleanupHelper()) {
        OfferRestart(hwnd);
        return 1;
    }
    ShowErrorBox(hwnd);
    return 1;
}

// The shell names every component by its long name, so a temporary
// directory given in 8.3 form comes back as the user knows it. Whatever
// the shell cannot convert, or is not asked to, is shown as it was given.
void ToDisplayPath(LPCSTR path, LPSTR displayPath)
{
    WCHAR widePath[MAX_PATH];
    char shellPath[MAX_PATH];
    ComPtr<IMalloc> allocator;
    ComPtr<IShellFolder> desktop;
    LPITEMIDLIST idList = NULL;
    ULONG eaten = 0;

    lstrcpynA(displayPath, path, MAX_PATH);
    if (!IsLocalDrivePath(path))
        return;
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH) == 0)
        return;
    if (FAILED(SHGetMalloc(allocator.GetAddressOf())))
        return;
    if (FAILED(SHGetDesktopFolder(desktop.GetAddressOf())))
        return;
    if (FAILED(desktop->ParseDisplayName(NULL, NULL, widePath, &eaten, &idList, NULL)) || idList == NULL)
        return;
    if (SHGetPathFromIDListA(idList, shellPath))
        lstrcpynA(displayPath, shellPath, MAX_PATH);
    allocator->Free(idList);
}

int Co_WindowsShutDown(UINT flags)
{
    HANDLE token;
    TOKEN_PRIVILEGES privileges;
    DWORD error;

    CoTrace("in Co_WindowsShutDown()\n");
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        CoTrace("OpenProcessToken()error", 1);
        return 0;
    }
    if (!LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
        CloseHandle(token);
        CoTrace("LookupPrivilegeValue()error", 1);
        return 0;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;

    // The call succeeds even when the token lacks the privilege; only the
    // last error tells (ERROR_NOT_ALL_ASSIGNED), so it decides.
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
    error = GetLastError();
    CloseHandle(token);
    if (error != ERROR_SUCCESS) {
        CoTrace("AdjustTokenPrivileges()error", 1);
        return 0;
    }

    if (!ExitWindowsEx(flags, 0)) {
        CoTrace("ExitWindowsEx()error", 1);
        return 0;
    }
    CoTrace("ExitWindowsEx() Sucess\n");
    return 1;
}
