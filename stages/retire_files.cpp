// Second stage: the program files in the system directory are renamed to
// ".qel" and queued, with the uninstaller itself, for the cleanup helper
// that removes them at the next log-on; the help files go at once.

#include "common/common.h"
#include "common/globals.h"
#include "res/resource.h"
#include "stages/stages.h"

// A queue entry's value name: "File" and the entry number in "%d" form, at
// most 11 characters and the NUL.
#define VALUE_NAME_SIZE 12

static const char kRemoveFilesKey[] = "SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles";
static const char kCleanupKey[] = "SOFTWARE\\QELVORA\\Cleanup";
static const char kRetiredSuffix[] = ".qel";
static const char kUninstallerName[] = "\\QWUNINST.EXE";

static LPCSTR const kRetiredFiles[] = {
    "\\QWSAVER.CPL", "\\QWTRAY.EXE",     "\\QWREG.DLL",  "\\QWADAPT.DLL",   "\\QWTAB.DLL",
    "\\QWFNKEY.EXE", "\\QWDEVWATCH.EXE", "\\QWICON.EXE", "\\QWCLKICON.EXE",
};

static LPCSTR const kHelpFiles[] = {"\\QWSAVER.HLP", "\\QWSAVER.GID", "\\QWSAVER.FTS"};

static void ReportFailure(LPCSTR object, UINT messageId)
{
    g_errorOccurred = 1;
    WriteUninstallLog(object, LoadResText(messageId));
}

// An exact path, no wildcards: finds the file itself or nothing.
static int FileIsPresent(LPCSTR path)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(path, &found);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(find);
    return 1;
}

// path := g_systemDir followed by name. Returns 0 when the whole path does
// not fit; path then holds as much of it as fits, for the log.
static int BuildSystemPath(LPCSTR name, LPSTR path)
{
    lstrcpynA(path, g_systemDir, MAX_PATH);
    int length = lstrlenA(path);
    lstrcpynA(path + length, name, MAX_PATH - length);
    return length + lstrlenA(name) < MAX_PATH;
}

// The dot that begins the file name's extension: the last dot with no
// backslash after it, or NULL. The path is read from its start, a whole
// double-byte character at a time, since the second byte of one may be
// 0x5C, as in the extension of "QWTRAY.\x95\x5c" on a Japanese machine.
static LPSTR ExtensionDot(LPSTR path)
{
    LPSTR dot = NULL;
    for (LPSTR p = path; *p != '\0'; p++) {
        if (IsDBCSLeadByte((BYTE)*p) && p[1] != '\0')
            p++;
        else if (*p == '.')
            dot = p;
        else if (*p == '\\')
            dot = NULL;
    }
    return dot;
}

// The target of the rename: the path without its extension, blanks at both
// ends removed, followed by the suffix. A dot that comes before the last
// backslash belongs to a directory, so then the file has no extension and
// the suffix is appended; the file never leaves its directory.
static int MakeSuffixTarget(LPCSTR path, LPCSTR suffix, LPSTR target)
{
    if (lstrlenA(path) >= MAX_PATH)
        return 0;
    lstrcpynA(target, path, MAX_PATH);

    if (CountChar(path, ".") > 0) {
        LPSTR dot = ExtensionDot(target);
        if (dot != NULL) {
            *dot = '\0';
            TrimBlanks(target);
        }
    }

    int length = lstrlenA(target);
    if (length + lstrlenA(suffix) >= MAX_PATH)
        return 0;
    lstrcpynA(target + length, suffix, MAX_PATH - length);
    return 1;
}

// A file of the target's name left from an earlier run must go before the
// move. Returns 0 when it is there and cannot be deleted. A target that
// differs from the path in letter case alone is the file itself.
static int RemoveStaleTarget(LPCSTR path, LPCSTR target)
{
    if (!FileIsPresent(target))
        return 1;
    if (lstrcmpiA(path, target) == 0)
        return 1;
    return DeleteFileA(target) ? 1 : 0;
}

// target := the target of the rename, with a file of its name from an
// earlier run deleted. Returns 0 when the target would not fit or that
// file cannot be deleted.
static int ClearSuffixTarget(LPCSTR path, LPCSTR suffix, LPSTR target)
{
    return MakeSuffixTarget(path, suffix, target) && RemoveStaleTarget(path, target);
}

// Renames the file to the same path with `suffix` in place of its
// extension. On success newPath (MAX_PATH bytes) receives the new path and
// the result is 1; on failure the file stays where it was, newPath is left
// untouched and the result is 0.
int RenameToSuffix(LPCSTR path, LPCSTR suffix, LPSTR newPath)
{
    char target[MAX_PATH];

    if (!ClearSuffixTarget(path, suffix, target))
        return 0;
    if (!MoveFileA(path, target))
        return 0;
    lstrcpynA(newPath, target, MAX_PATH);
    return 1;
}

// "File%d" of the counter, or 0 when that would not fit into the 12 bytes
// of a value name; such an entry is never written under a cut-off name,
// which could overwrite another entry of the queue.
static int FormValueName(DWORD counter, LPSTR valueName)
{
    return FormatText(valueName, VALUE_NAME_SIZE, "File%d", (int)counter) < VALUE_NAME_SIZE;
}

// Writes one queue entry under the counter's name and advances the counter;
// a failed entry leaves the counter, so the next entry takes the same name.
static void QueueForRemoval(LPCSTR path, DWORD *counter)
{
    char valueName[VALUE_NAME_SIZE];

    if (FormValueName(*counter, valueName) &&
        Co_SetCreateValueSz(HKEY_LOCAL_MACHINE, kRemoveFilesKey, valueName, path)) {
        (*counter)++;
        return;
    }
    ReportFailure(path, IDS_ERR_MODIFY_VALUE);
}

// An absent program file is passed over, but a ".qel" of its name left
// by an earlier run goes as it would before a rename. That one is not the
// product's file and nothing of the product stays with it, so whether it
// goes is not reported. A program file that is there and cannot be renamed
// stays in place unqueued, and is reported, since the product then stays
// on the machine.
static void RetireProgramFile(LPCSTR name, DWORD *counter)
{
    char path[MAX_PATH];
    char newPath[MAX_PATH];

    if (!BuildSystemPath(name, path)) {
        ReportFailure(path, IDS_ERR_DELETE_FILE);
        return;
    }
    if (!FileIsPresent(path)) {
        char target[MAX_PATH];
        ClearSuffixTarget(path, kRetiredSuffix, target);
        return;
    }
    if (!RenameToSuffix(path, kRetiredSuffix, newPath)) {
        ReportFailure(path, IDS_ERR_DELETE_FILE);
        return;
    }
    QueueForRemoval(newPath, counter);
}

// The running uninstaller cannot delete itself: its copy in the system
// directory is queued under its own name, whether it is there or not.
static void QueueUninstaller(DWORD *counter)
{
    char path[MAX_PATH];

    if (!BuildSystemPath(kUninstallerName, path)) {
        ReportFailure(path, IDS_ERR_DELETE_FILE);
        return;
    }
    QueueForRemoval(path, counter);
}

// One run fewer that uses the cleanup helper; never below 0. Best effort.
static void LowerRefNum(void)
{
    DWORD refNum;

    if (!Co_GetRegValueNum(HKEY_LOCAL_MACHINE, kCleanupKey, "RefNum", &refNum))
        refNum = 0;
    Co_SetCreateValueNum(HKEY_LOCAL_MACHINE, kCleanupKey, "RefNum", refNum > 0 ? refNum - 1 : 0);
}

static void DeleteHelpFile(LPCSTR name)
{
    char path[MAX_PATH];

    if (!BuildSystemPath(name, path)) {
        ReportFailure(path, IDS_ERR_DELETE_FILE);
        return;
    }
    if (!FileIsPresent(path))
        return;
    if (!DeleteFileA(path))
        ReportFailure(path, IDS_ERR_DELETE_FILE);
}

void RetireInstalledFiles(void)
{
    DWORD counter;

    if (!Co_GetRegValueNum(HKEY_LOCAL_MACHINE, kRemoveFilesKey, "NextNumber", &counter))
        counter = 1;

    for (size_t i = 0; i < ARRAYSIZE(kRetiredFiles); i++)
        RetireProgramFile(kRetiredFiles[i], &counter);
    QueueUninstaller(&counter);

    // The counters are best effort: their writes are not checked.
    Co_SetCreateValueNum(HKEY_LOCAL_MACHINE, kRemoveFilesKey, "NextNumber", counter);
    LowerRefNum();

    for (size_t i = 0; i < ARRAYSIZE(kHelpFiles); i++)
        DeleteHelpFile(kHelpFiles[i]);
}
