// The uninstall log: one line for each operation of the run that failed,
// in a file in the user's temporary directory.
#include "common.h"
#include "globals.h"

#define LOG_LINE_SIZE 512

HANDLE g_hLogFile = NULL;
char g_logPath[MAX_PATH];

// Without a temporary directory the path is a backslash and the name: the
// root of whatever drive is current. The error box names the log by this
// path, so it is made full, drive included, before the file is created
// there. A full path that would not fit MAX_PATH leaves the path as it is
// (the result is then 0).
static int MakeFullPath(LPSTR path)
{
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path, MAX_PATH, full, NULL);

    if (length == 0 || length >= MAX_PATH)
        return 0;
    lstrcpynA(path, full, MAX_PATH);
    return 1;
}

// The log goes onto a local drive only. A temporary directory is judged as
// GetTempPathA gave it, so that one whose full path cannot be had is
// judged all the same; the full path is judged too, since the root of a
// current directory on a share lies on that share.
static int MakeLocalFullPath(LPSTR path, int hasTempDir)
{
    if (hasTempDir && !IsLocalDrivePath(path))
        return 0;
    return !MakeFullPath(path) || IsLocalDrivePath(path);
}

// Creates the log anew (an older log of that name is emptied; a link at
// its name is never written through). When the file cannot be created, or
// the temporary directory is not on a local drive, the log is unavailable:
// writes fail, but the path it would have had is still reported.
int OpenUninstallLog(LPCSTR fileName)
{
    char tempDir[MAX_PATH];
    tempDir[0] = '\0';
    DWORD length = GetTempPathA(MAX_PATH, tempDir);
    // A temporary directory that does not fit, or none at all, leaves the
    // log at the root of the current drive. GetTempPathA always ends the
    // directory with a backslash of its own, never the second byte of a
    // double-byte character.
    if (length == 0 || length >= MAX_PATH)
        tempDir[0] = '\0';
    else if (tempDir[length - 1] == '\\')
        tempDir[length - 1] = '\0';

    g_hLogFile = INVALID_HANDLE_VALUE;
    if (fileName == NULL || lstrlenA(tempDir) + 1 + lstrlenA(fileName) >= MAX_PATH) {
        g_logPath[0] = '\0';
        return 0;
    }
    FormatText(g_logPath, MAX_PATH, "%s\\%s", tempDir, fileName);
    if (!MakeLocalFullPath(g_logPath, tempDir[0] != '\0'))
        return 0;

    g_hLogFile = OpenLogFileSafely(g_logPath);
    return g_hLogFile != INVALID_HANDLE_VALUE ? 1 : 0;
}

// Appends "object     :message \r\n" (or "object\r\n" without a message).
// A line that would pass 511 bytes is cut, keeping its CR LF.
int WriteUninstallLog(LPCSTR object, LPCSTR message)
{
    if (g_hLogFile == NULL || g_hLogFile == INVALID_HANDLE_VALUE)
        return 0;

    char line[LOG_LINE_SIZE];
    if (object == NULL)
        object = "";
    if (message != NULL)
        FormatText(line, sizeof(line) - 2, "%s     :%s ", object, message);
    else
        FormatText(line, sizeof(line) - 2, "%s", object);
    lstrcatA(line, "\r\n");

    DWORD length = (DWORD)lstrlenA(line);
    DWORD written = 0;
    if (!WriteFile(g_hLogFile, line, length, &written, NULL) || written != length)
        return 0;
    return 1;
}

// The log's full path while the log is open or unavailable; NULL once it is
// closed (the destination is then left as it was).
LPSTR GetUninstallLogPath(LPSTR destination)
{
    if (g_hLogFile == NULL)
        return NULL;
    lstrcpynA(destination, g_logPath, MAX_PATH);
    return destination;
}

int CloseUninstallLog(void)
{
    if (g_hLogFile != NULL && g_hLogFile != INVALID_HANDLE_VALUE)
        CloseHandle(g_hLogFile);
    g_hLogFile = NULL;
    return 1;
}
