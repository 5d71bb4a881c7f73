// The step "install": puts the product on the machine the way its
// installer leaves it, so that a whole-program run of the uninstaller has
// something to remove. It always first clears what an earlier scenario
// may have left (files, keys, values, the helper's queue), so the state
// after it is exact whatever ran before on the machine. It also makes the
// Wine machine itself ready for the runs: the uninstaller (only it) takes
// the system directory's netapi32.dll as a native DLL, so that the
// account-query stand-in put there answers it, and a crashing program ends
// instead of waiting in a crash dialog.
//
//   install [options]
//     --clean                   clear the product's state and stop there
//     --shared-helper           with --clean: another of the maker's products
//                               relies on the cleanup helper, which stays
//                               installed (--helper) with its Run value and
//                               "RefNum" 1
//     --keep-queue              install over what earlier runs left: the
//                               helper's keys (queue and counters) and its Run
//                               value stay, and "RefNum" is raised by one, as
//                               the product's installer counts itself in
//     --uninstaller PATH        copy PATH to the system directory as QWUNINST.EXE
//     --helper PATH             copy PATH to the system directory as QvCleanup.exe
//     --display-name TEXT       "DisplayName" of the Uninstall entry
//     --uninstall-string TEXT   "UninstallString" of the Uninstall entry
//     --no-uninstall-entry      no Uninstall entry at all
//     --skip-file NAME          leave out one of the twelve files (repeatable)
//     --stale-qel STEM          an older STEM.qel in the system directory (repeatable)
//     --next-number N           a stored "NextNumber" of the queue
//     --refnum N                "RefNum" (default 1)
//     --no-refnum               no "RefNum"
//     --no-run-key              the machine's Run key does not exist
//     --spin-dword              "DiskSpinDownMin" stored as a REG_DWORD
//     --queue-entry NAME=PATH   an entry already in the cleanup queue
//     --neighbour KEY=NAME      another program's Uninstall entry, KEY with
//                               DisplayName NAME (repeatable; not the
//                               product's, so never cleared)
//     --account-stand-in PATH   PATH in the system directory as netapi32.dll,
//                               where the uninstaller loads it from (also
//                               with --clean, so that the machine before an
//                               install and after a removal hold the same
//                               file); Wine's own file is put back by the
//                               next install without it
//     --sentinels-64            on 64-bit Windows, keys and files of the
//                               product's names in the 64-bit registry view
//                               and the 64-bit system directory, which a
//                               32-bit uninstaller must leave alone
//     --logon-control           on 64-bit Windows, a file QvOnly32.exe in the
//                               32-bit system directory only, and a Run value
//                               "QvOnly32" of the 64-bit view naming it in
//                               system32, where a 64-bit log-on must not find it
//
// Under WoW64 this 32-bit program works in the 32-bit views, as the
// product's 32-bit installer does; the 64-bit sentinels are always
// cleared, and only planted when asked for.
#include <windows.h>
#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fixture_util.h"
#include "steps.h"

static const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QELVORA Wattrix2";
static const char kMachineSettingsKey[] = "SOFTWARE\\QELVORA\\Power Management";
static const char kVendorKey[] = "SOFTWARE\\QELVORA";
static const char kCleanupKey[] = "SOFTWARE\\QELVORA\\Cleanup";
static const char kRemoveFilesKey[] = "SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles";
static const char kClsidKey[] = "CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}";
static const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
static const char kSheetHandlerKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Power\\shellex"
                                       "\\PropertySheetHandlers\\CPL Extension Sample";
static const char kHotkeyKey[] = "SYSTEM\\CurrentControlSet\\Services\\QvHotkey";
static const char kHotkeyRunKey[] = "SYSTEM\\CurrentControlSet\\Services\\QvHotkey\\Run";
static const char kPowerCfgKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\PowerCfg";
static const char kFdcKey[] = "SYSTEM\\CurrentControlSet\\Services\\Fdc\\Parameters";
static const char kUninstallRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
static const char kWineNetapi[] = "netapi32.qw-wine";
static const char kControlName[] = "QvOnly32";
static const char kControlFile[] = "QvOnly32.exe";

static const char *const kProductFiles[] = {
    "QWSAVER.CPL", "QWTRAY.EXE",    "QWREG.DLL",  "QWADAPT.DLL",   "QWTAB.DLL",   "QWFNKEY.EXE",
    "QWDEVWATCH.EXE", "QWICON.EXE", "QWCLKICON.EXE", "QWSAVER.HLP", "QWSAVER.GID", "QWSAVER.FTS",
};

#define MAX_SKIPPED 12
#define MAX_QUEUED 8
#define MAX_NEIGHBOURS 4

struct Options {
    int cleanOnly;
    int sharedHelper;
    int keepQueue;
    const char *uninstaller;
    const char *helper;
    const char *displayName;
    const char *uninstallString;
    int noUninstallEntry;
    const char *skipped[MAX_SKIPPED];
    int skippedCount;
    const char *staleQel[MAX_SKIPPED];
    int staleCount;
    int hasNextNumber;
    DWORD nextNumber;
    int hasRefNum;
    DWORD refNum;
    int noRunKey;
    int spinDword;
    const char *queued[MAX_QUEUED];
    int queuedCount;
    const char *neighbours[MAX_NEIGHBOURS];
    int neighbourCount;
    const char *accountStandIn;
    int sentinels64;
    int logonControl;
};

static char g_systemDir[MAX_PATH];
static int g_failed;

static void Fail(const char *what, const char *object, DWORD error)
{
    printf("install: %s %s failed (%lu)\n", what, object, (unsigned long)error);
    g_failed = 1;
}

static void SetValue(HKEY root, const char *key, const char *name, DWORD type, const void *data, DWORD size)
{
    HKEY handle;
    LONG result = RegCreateKeyExA(root, key, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_WRITE, NULL, &handle, NULL);

    if (result != ERROR_SUCCESS) {
        Fail("creating", key, (DWORD)result);
        return;
    }
    result = RegSetValueExA(handle, name, 0, type, (const BYTE *)data, size);
    if (result != ERROR_SUCCESS)
        Fail("writing", name, (DWORD)result);
    RegCloseKey(handle);
}

static void SetSz(HKEY root, const char *key, const char *name, const char *text)
{
    SetValue(root, key, name, REG_SZ, text, (DWORD)strlen(text) + 1);
}

static void SetDword(HKEY root, const char *key, const char *name, DWORD number)
{
    SetValue(root, key, name, REG_DWORD, &number, sizeof(number));
}

static void SystemPath(const char *name, char *path)
{
    snprintf(path, MAX_PATH, "%s\\%s", g_systemDir, name);
}

static void DeleteTree(HKEY root, const char *key)
{
    DWORD result = SHDeleteKeyA(root, key);

    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        Fail("deleting", key, result);
}

static void DeleteValue(HKEY root, const char *key, const char *name)
{
    HKEY handle;
    LONG result;

    if (RegOpenKeyExA(root, key, 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS)
        return;
    result = RegDeleteValueA(handle, name);
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        Fail("deleting", name, (DWORD)result);
    RegCloseKey(handle);
}

// The vendor key is shared with the maker's other products; it goes only
// when nothing is left in it.
static void DeleteIfEmpty(HKEY root, const char *key)
{
    HKEY handle;
    DWORD subkeys = 0;
    DWORD values = 0;

    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return;
    RegQueryInfoKeyA(handle, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, NULL, NULL, NULL, NULL);
    RegCloseKey(handle);
    if (subkeys == 0 && values == 0)
        RegDeleteKeyA(root, key);
}

static void DeleteFileIfPresent(const char *path)
{
    if (!DeleteFileA(path) && GetLastError() != ERROR_FILE_NOT_FOUND)
        Fail("deleting", path, GetLastError());
}

static void CleanFiles(void)
{
    char path[MAX_PATH];
    char stem[MAX_PATH];

    for (size_t i = 0; i < ARRAYSIZE(kProductFiles); i++) {
        SystemPath(kProductFiles[i], path);
        DeleteFileIfPresent(path);
        lstrcpynA(stem, kProductFiles[i], MAX_PATH);
        strrchr(stem, '.')[0] = '\0';
        snprintf(path, MAX_PATH, "%s\\%s.qel", g_systemDir, stem);
        DeleteFileIfPresent(path);
    }
    SystemPath("QWUNINST.EXE", path);
    DeleteFileIfPresent(path);
    SystemPath("QvCleanup.exe", path);
    DeleteFileIfPresent(path);
}

static void CleanRegistry(const struct Options *options)
{
    DeleteTree(HKEY_LOCAL_MACHINE, kMachineSettingsKey);
    DeleteTree(HKEY_CURRENT_USER, kMachineSettingsKey);
    DeleteTree(HKEY_CLASSES_ROOT, kClsidKey);
    DeleteTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    if (!options->keepQueue) {
        DeleteTree(HKEY_LOCAL_MACHINE, kCleanupKey);
        DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, "QvCleanup");
    }
    DeleteTree(HKEY_LOCAL_MACHINE, kSheetHandlerKey);
    DeleteTree(HKEY_LOCAL_MACHINE, kHotkeyKey);
    DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, "Qwtray");
    DeleteValue(HKEY_LOCAL_MACHINE, kPowerCfgKey, "DiskSpinDownMin");
    DeleteValue(HKEY_LOCAL_MACHINE, kFdcKey, "MaskDmaAtWakingUp");
    DeleteIfEmpty(HKEY_LOCAL_MACHINE, kVendorKey);
    DeleteIfEmpty(HKEY_CURRENT_USER, kVendorKey);
}

static int IsSkipped(const struct Options *options, const char *name)
{
    for (int i = 0; i < options->skippedCount; i++) {
        if (lstrcmpiA(options->skipped[i], name) == 0)
            return 1;
    }
    return 0;
}

static void WriteFixtureFile(const char *path, const char *content)
{
    DWORD written = 0;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);

    if (file == INVALID_HANDLE_VALUE) {
        Fail("creating", path, GetLastError());
        return;
    }
    if (!WriteFile(file, content, (DWORD)strlen(content), &written, NULL))
        Fail("writing", path, GetLastError());
    CloseHandle(file);
}

static void CopyIntoSystemDir(const char *source, const char *name)
{
    char path[MAX_PATH];

    SystemPath(name, path);
    if (!CopyFileA(source, path, FALSE))
        Fail("copying", source, GetLastError());
}

// Another program's entry in the list of installed programs.
static void InstallNeighbour(const char *entry)
{
    char key[MAX_PATH];
    char command[MAX_PATH];
    const char *equals = strchr(entry, '=');
    int keyLength = (int)(equals - entry);

    if (snprintf(key, sizeof(key), "%s\\%.*s", kUninstallRoot, keyLength, entry) >= (int)sizeof(key) ||
        snprintf(command, sizeof(command), "C:\\Program Files\\%.*s\\uninstall.exe", keyLength, entry) >=
            (int)sizeof(command)) {
        Fail("naming", entry, ERROR_BUFFER_OVERFLOW);
        return;
    }
    SetSz(HKEY_LOCAL_MACHINE, key, "DisplayName", equals + 1);
    SetSz(HKEY_LOCAL_MACHINE, key, "UninstallString", command);
}

// Wine's own netapi32.dll waits under another name while the stand-in is
// in its place.
static void RestoreWineNetapi(void)
{
    char saved[MAX_PATH];
    char path[MAX_PATH];

    SystemPath(kWineNetapi, saved);
    if (!PathExists(saved))
        return;
    SystemPath("netapi32.dll", path);
    DeleteFileIfPresent(path);
    if (!MoveFileA(saved, path))
        Fail("restoring", path, GetLastError());
}

// A prefix cloned by hard links shares the system directory's files with
// its original, so the file is moved aside and the stand-in copied in as
// a new file, never written over the old one.
static void InstallAccountStandIn(const char *source)
{
    char saved[MAX_PATH];
    char path[MAX_PATH];

    SystemPath(kWineNetapi, saved);
    SystemPath("netapi32.dll", path);
    if (!MoveFileA(path, saved)) {
        Fail("moving", path, GetLastError());
        return;
    }
    if (!CopyFileA(source, path, TRUE))
        Fail("copying", source, GetLastError());
}

static int IsWow64(void)
{
    BOOL wow64 = FALSE;

    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// The 64-bit system directory as a 32-bit program names it.
static void NativeSystemPath(const char *name, char *path)
{
    char windows[MAX_PATH];

    GetWindowsDirectoryA(windows, MAX_PATH);
    snprintf(path, MAX_PATH, "%s\\sysnative\\%s", windows, name);
}

// Deletes a key of the 64-bit view with its subkeys; from the root each
// time, so that every open names the view. 1 when the key is gone.
static int DeleteSubtree64(HKEY root, const char *key)
{
    char child[MAX_PATH];
    char path[MAX_PATH * 2];
    DWORD length = MAX_PATH;
    HKEY handle;
    LONG result;

    if (RegOpenKeyExA(root, key, 0, KEY_READ | KEY_WOW64_64KEY, &handle) != ERROR_SUCCESS)
        return 1;
    while (RegEnumKeyExA(handle, 0, child, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS) {
        snprintf(path, sizeof(path), "%s\\%s", key, child);
        if (!DeleteSubtree64(root, path))
            break;
        length = MAX_PATH;
    }
    RegCloseKey(handle);
    result = RegDeleteKeyExA(root, key, KEY_WOW64_64KEY, 0);
    if (result != ERROR_SUCCESS)
        Fail("deleting", key, (DWORD)result);
    return result == ERROR_SUCCESS;
}

static void SetSz64(const char *key, const char *name, const char *text)
{
    HKEY handle;
    LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, NULL, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE | KEY_WOW64_64KEY, NULL, &handle, NULL);

    if (result != ERROR_SUCCESS) {
        Fail("creating", key, (DWORD)result);
        return;
    }
    result = RegSetValueExA(handle, name, 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text) + 1);
    if (result != ERROR_SUCCESS)
        Fail("writing", name, (DWORD)result);
    RegCloseKey(handle);
}

// The sentinels' keys, all under HKLM\SOFTWARE, the part of the machine
// that WoW64 splits into two views. The user's SOFTWARE and SYSTEM are
// one for both, so they hold no sentinel.
static const char *const kSentinelKeys[] = {
    kVendorKey,
    "SOFTWARE\\Classes\\CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}",
    kUninstallKey,
    kSheetHandlerKey,
};

static void DeleteValue64(const char *key, const char *name)
{
    HKEY handle;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &handle) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(handle, name);
    RegCloseKey(handle);
}

static void CleanSentinels64(void)
{
    char path[MAX_PATH];

    for (size_t i = 0; i < ARRAYSIZE(kSentinelKeys); i++)
        DeleteSubtree64(HKEY_LOCAL_MACHINE, kSentinelKeys[i]);
    DeleteValue64(kPowerCfgKey, "DiskSpinDownMin");
    DeleteValue64(kRunKey, "Qwtray");
    DeleteValue64(kRunKey, "QvCleanup");
    DeleteValue64(kRunKey, kControlName);
    SystemPath(kControlFile, path);
    DeleteFileIfPresent(path);
    for (size_t i = 0; i < ARRAYSIZE(kProductFiles); i++) {
        NativeSystemPath(kProductFiles[i], path);
        DeleteFileIfPresent(path);
    }
    NativeSystemPath("QWUNINST.EXE", path);
    DeleteFileIfPresent(path);
    NativeSystemPath("QvCleanup.exe", path);
    DeleteFileIfPresent(path);
}

// Same names as the product's, other contents, so that a snapshot tells
// the views apart.
static void InstallSentinels64(void)
{
    char path[MAX_PATH];
    char content[MAX_PATH];

    SetSz64(kMachineSettingsKey, "Version", "64-bit sentinel");
    SetSz64("SOFTWARE\\QELVORA\\Power Management\\Profiles\\AC", "Standby", "64-bit sentinel");
    SetSz64(kCleanupKey, "RefNum", "64-bit sentinel");
    SetSz64(kRemoveFilesKey, "File1", "64-bit sentinel");
    SetSz64(kSentinelKeys[1], "", "64-bit sentinel");
    SetSz64(kUninstallKey, "DisplayName", "QELVORA Wattrix2 64-bit sentinel");
    SetSz64(kSheetHandlerKey, "", "64-bit sentinel");
    SetSz64(kPowerCfgKey, "DiskSpinDownMin", "64-bit sentinel");
    SetSz64(kRunKey, "Qwtray", "64-bit sentinel");
    SetSz64(kRunKey, "QvCleanup", "64-bit sentinel");
    for (size_t i = 0; i < ARRAYSIZE(kProductFiles); i++) {
        NativeSystemPath(kProductFiles[i], path);
        snprintf(content, sizeof(content), "64-bit sentinel %s\r\n", kProductFiles[i]);
        WriteFixtureFile(path, content);
    }
    NativeSystemPath("QWUNINST.EXE", path);
    WriteFixtureFile(path, "64-bit sentinel QWUNINST.EXE\r\n");
    NativeSystemPath("QvCleanup.exe", path);
    WriteFixtureFile(path, "64-bit sentinel QvCleanup.exe\r\n");
}

// The control tells the two ways of starting a Run value apart. The value
// names the file by "system32", as this 32-bit program knows the system
// directory; started by a 64-bit process, that is the 64-bit system
// directory, which has no such file. The file is no program, so nothing
// runs even if it is found.
static void InstallLogonControl(void)
{
    char path[MAX_PATH];

    SystemPath(kControlFile, path);
    WriteFixtureFile(path, "only in the 32-bit system directory\r\n");
    SetSz64(kRunKey, kControlName, path);
}

static void InstallFiles(const struct Options *options)
{
    char path[MAX_PATH];
    char content[MAX_PATH];

    for (size_t i = 0; i < ARRAYSIZE(kProductFiles); i++) {
        if (IsSkipped(options, kProductFiles[i]))
            continue;
        SystemPath(kProductFiles[i], path);
        snprintf(content, sizeof(content), "QELVORA Wattrix2 %s\r\n", kProductFiles[i]);
        WriteFixtureFile(path, content);
    }
    for (int i = 0; i < options->staleCount; i++) {
        snprintf(path, MAX_PATH, "%s\\%s.qel", g_systemDir, options->staleQel[i]);
        WriteFixtureFile(path, "stale file of an earlier run\r\n");
    }
    if (options->uninstaller != NULL)
        CopyIntoSystemDir(options->uninstaller, "QWUNINST.EXE");
    if (options->helper != NULL)
        CopyIntoSystemDir(options->helper, "QvCleanup.exe");
    if (options->sentinels64)
        InstallSentinels64();
    if (options->logonControl)
        InstallLogonControl();
}

// A missing or unreadable count counts as 0.
static DWORD StoredRefNum(void)
{
    HKEY key;
    DWORD refNum = 0;
    DWORD type = 0;
    DWORD size = sizeof(refNum);

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCleanupKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    if (RegQueryValueExA(key, "RefNum", NULL, &type, (BYTE *)&refNum, &size) != ERROR_SUCCESS || type != REG_DWORD)
        refNum = 0;
    RegCloseKey(key);
    return refNum;
}

// What another of the maker's products leaves for the helper it shares:
// the helper itself, the value that starts it at log-on, one count.
static void InstallSharedHelper(const struct Options *options)
{
    char path[MAX_PATH];

    if (options->helper == NULL) {
        Fail("installing", "the shared helper without --helper", ERROR_INVALID_PARAMETER);
        return;
    }
    CopyIntoSystemDir(options->helper, "QvCleanup.exe");
    SystemPath("QvCleanup.exe", path);
    SetSz(HKEY_LOCAL_MACHINE, kRunKey, "QvCleanup", path);
    SetDword(HKEY_LOCAL_MACHINE, kCleanupKey, "RefNum", 1);
}

static void InstallSettings(const struct Options *options)
{
    char path[MAX_PATH];

    // The product's own trees, with subkeys several levels deep.
    SetSz(HKEY_LOCAL_MACHINE, kMachineSettingsKey, "Version", "2.0");
    SetSz(HKEY_LOCAL_MACHINE, kMachineSettingsKey, "InstallDir", g_systemDir);
    SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\QELVORA\\Power Management\\Profiles\\AC", "Standby", 10);
    SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\QELVORA\\Power Management\\Profiles\\DC", "Standby", 5);
    SetDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\QELVORA\\Power Management\\Profiles\\DC\\Custom", "Dim", 2);
    SetSz(HKEY_LOCAL_MACHINE, "SOFTWARE\\QELVORA\\Power Management\\Devices\\Floppy", "", "A:");

    SetSz(HKEY_CURRENT_USER, kMachineSettingsKey, "LastProfile", "AC");
    SetDword(HKEY_CURRENT_USER, "SOFTWARE\\QELVORA\\Power Management\\Tray", "ShowIcon", 1);
    SetSz(HKEY_CURRENT_USER, "SOFTWARE\\QELVORA\\Power Management\\Tray\\Menu", "Order", "AC,DC");

    SetSz(HKEY_CLASSES_ROOT, kClsidKey, "", "QELVORA Power Save Sheet");
    SystemPath("QWSAVER.CPL", path);
    SetSz(HKEY_CLASSES_ROOT, "CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}\\InprocServer32", "", path);
    SetSz(HKEY_CLASSES_ROOT, "CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}\\InprocServer32", "ThreadingModel",
          "Apartment");

    if (!options->noUninstallEntry) {
        SetSz(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", options->displayName);
        SetSz(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", options->uninstallString);
        SetSz(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher", "QELVORA");
    }
    for (int i = 0; i < options->neighbourCount; i++)
        InstallNeighbour(options->neighbours[i]);

    // Values in keys that are not the product's: only the values go.
    if (options->noRunKey) {
        DeleteTree(HKEY_LOCAL_MACHINE, kRunKey);
    } else {
        SystemPath("QWTRAY.EXE", path);
        SetSz(HKEY_LOCAL_MACHINE, kRunKey, "Qwtray", path);
    }
    SetSz(HKEY_LOCAL_MACHINE, kSheetHandlerKey, "", "{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}");
    SetSz(HKEY_LOCAL_MACHINE, kSheetHandlerKey, "Description", "kept");
    SystemPath("QWFNKEY.EXE", path);
    SetSz(HKEY_LOCAL_MACHINE, kHotkeyRunKey, "QWFnkey", path);
    SetSz(HKEY_LOCAL_MACHINE, kHotkeyRunKey, "QvVolume", "QVVOL.EXE");

    // The two system settings the product changed.
    if (options->spinDword)
        SetDword(HKEY_LOCAL_MACHINE, kPowerCfgKey, "DiskSpinDownMin", 10);
    else
        SetSz(HKEY_LOCAL_MACHINE, kPowerCfgKey, "DiskSpinDownMin", "10");
    SetDword(HKEY_LOCAL_MACHINE, kFdcKey, "MaskDmaAtWakingUp", 1);

    // The cleanup helper's counters.
    if (options->keepQueue)
        SetDword(HKEY_LOCAL_MACHINE, kCleanupKey, "RefNum", StoredRefNum() + 1);
    else if (options->hasRefNum)
        SetDword(HKEY_LOCAL_MACHINE, kCleanupKey, "RefNum", options->refNum);
    if (options->hasNextNumber)
        SetDword(HKEY_LOCAL_MACHINE, kRemoveFilesKey, "NextNumber", options->nextNumber);
    for (int i = 0; i < options->queuedCount; i++) {
        char name[MAX_PATH];
        const char *equals = strchr(options->queued[i], '=');
        lstrcpynA(name, options->queued[i], (int)(equals - options->queued[i]) + 1);
        SetSz(HKEY_LOCAL_MACHINE, kRemoveFilesKey, name, equals + 1);
    }
}

static void SetUpTestMachine(void)
{
    SetSz(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\QWUNINST.EXE\\DllOverrides", "netapi32", "native");
    SetDword(HKEY_CURRENT_USER, "Software\\Wine\\WineDbg", "ShowCrashDialog", 0);
}

static int NeedArgument(int i, int argc, const char *option)
{
    if (i + 1 < argc)
        return 1;
    printf("install: %s needs an argument\n", option);
    return 0;
}

static int ParseOptions(int argc, char **argv, struct Options *options)
{
    ZeroMemory(options, sizeof(*options));
    options->displayName = "QELVORA Wattrix2";
    options->uninstallString = "QWUNINST.EXE";
    options->hasRefNum = 1;
    options->refNum = 1;

    for (int i = 1; i < argc; i++) {
        const char *option = argv[i];
        if (strcmp(option, "--clean") == 0) {
            options->cleanOnly = 1;
        } else if (strcmp(option, "--shared-helper") == 0) {
            options->sharedHelper = 1;
        } else if (strcmp(option, "--keep-queue") == 0) {
            options->keepQueue = 1;
        } else if (strcmp(option, "--no-uninstall-entry") == 0) {
            options->noUninstallEntry = 1;
        } else if (strcmp(option, "--no-refnum") == 0) {
            options->hasRefNum = 0;
        } else if (strcmp(option, "--no-run-key") == 0) {
            options->noRunKey = 1;
        } else if (strcmp(option, "--spin-dword") == 0) {
            options->spinDword = 1;
        } else if (strcmp(option, "--sentinels-64") == 0) {
            options->sentinels64 = 1;
        } else if (strcmp(option, "--logon-control") == 0) {
            options->logonControl = 1;
        } else if (!NeedArgument(i, argc, option)) {
            return 0;
        } else if (strcmp(option, "--uninstaller") == 0) {
            options->uninstaller = argv[++i];
        } else if (strcmp(option, "--helper") == 0) {
            options->helper = argv[++i];
        } else if (strcmp(option, "--display-name") == 0) {
            options->displayName = argv[++i];
        } else if (strcmp(option, "--uninstall-string") == 0) {
            options->uninstallString = argv[++i];
        } else if (strcmp(option, "--skip-file") == 0 && options->skippedCount < MAX_SKIPPED) {
            options->skipped[options->skippedCount++] = argv[++i];
        } else if (strcmp(option, "--stale-qel") == 0 && options->staleCount < MAX_SKIPPED) {
            options->staleQel[options->staleCount++] = argv[++i];
        } else if (strcmp(option, "--next-number") == 0) {
            options->hasNextNumber = 1;
            options->nextNumber = (DWORD)strtoul(argv[++i], NULL, 0);
        } else if (strcmp(option, "--queue-entry") == 0 && options->queuedCount < MAX_QUEUED &&
                   strchr(argv[i + 1], '=') != NULL) {
            options->queued[options->queuedCount++] = argv[++i];
        } else if (strcmp(option, "--neighbour") == 0 && options->neighbourCount < MAX_NEIGHBOURS &&
                   strchr(argv[i + 1], '=') != NULL) {
            options->neighbours[options->neighbourCount++] = argv[++i];
        } else if (strcmp(option, "--account-stand-in") == 0) {
            options->accountStandIn = argv[++i];
        } else if (strcmp(option, "--refnum") == 0) {
            options->hasRefNum = 1;
            options->refNum = (DWORD)strtoul(argv[++i], NULL, 0);
        } else {
            printf("install: unknown option %s\n", option);
            return 0;
        }
    }
    return 1;
}

int InstallStep(int argc, char **argv)
{
    struct Options options;

    if (!ParseOptions(argc, argv, &options))
        return 0;
    if (GetSystemDirectoryA(g_systemDir, MAX_PATH) == 0) {
        printf("install: no system directory\n");
        return 0;
    }

    g_failed = 0;
    SetUpTestMachine();
    RestoreWineNetapi();
    CleanFiles();
    CleanRegistry(&options);
    if (IsWow64())
        CleanSentinels64();
    if ((options.sentinels64 || options.logonControl) && !IsWow64()) {
        printf("install: --sentinels-64 and --logon-control need 64-bit Windows\n");
        return 0;
    }
    if (options.sharedHelper && !options.cleanOnly) {
        printf("install: --shared-helper goes with --clean\n");
        return 0;
    }
    if (options.sharedHelper) {
        InstallSharedHelper(&options);
    } else if (!options.cleanOnly) {
        InstallFiles(&options);
        InstallSettings(&options);
    }
    if (options.accountStandIn != NULL)
        InstallAccountStandIn(options.accountStandIn);
    return !g_failed;
}
