// The cleanup helper, started at log-on through the machine's Run key. It
// works off the deferred-removal queue: every "File<n>" entry under
// HKLM\SOFTWARE\QELVORA\Cleanup\RemoveFiles names a file to delete. An
// entry is removed once its file is gone; one whose file cannot be deleted
// yet stays for the next log-on, and an entry it does not understand is
// never touched.
//
// "RefNum" counts the products that still rely on the helper. While it is
// above 0, or while the queue still holds anything, the helper stays. At 0
// with an empty queue it takes itself off the machine: its Run value, its
// keys, and its own file at the next restart.
#include <windows.h>
#include <shlwapi.h>
#include <stdlib.h>
#include <string.h>

static const char kCleanupKey[] = "SOFTWARE\\QELVORA\\Cleanup";
static const char kRemoveFilesKey[] = "SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles";
static const char kVendorKey[] = "SOFTWARE\\QELVORA";
static const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
static const char kRunValue[] = "QvCleanup";
static const char kNextNumber[] = "NextNumber";

// Entry names are "File" and a number in "%d" form: at most 11 characters.
#define ENTRY_NAME_SIZE 12

// "File", an optional minus sign, then one or more digits and nothing else.
static int IsEntryName(const char *name)
{
    const char *p = name + 4;

    if (strncmp(name, "File", 4) != 0)
        return 0;
    if (*p == '-')
        p++;
    if (*p < '0' || *p > '9')
        return 0;
    while (*p >= '0' && *p <= '9')
        p++;
    return *p == '\0';
}

// Deletes the file that one entry names. 1 when the file is gone
// afterwards, also when it was gone already.
static int RemoveQueuedFile(HKEY queue, const char *name)
{
    char path[MAX_PATH];
    DWORD type = 0;
    DWORD size = sizeof(path);

    ZeroMemory(path, sizeof(path));
    if (RegQueryValueExA(queue, name, NULL, &type, (BYTE *)path, &size) != ERROR_SUCCESS)
        return 0;
    if (type != REG_SZ || path[0] == '\0' || path[MAX_PATH - 1] != '\0')
        return 0;
    if (DeleteFileA(path))
        return 1;
    return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
}

// The entries are collected before any is removed: deleting values while
// enumerating them would shift the indices under the walk.
static char *CollectEntryNames(HKEY queue, DWORD *count)
{
    DWORD values = 0;
    char *names;
    DWORD found = 0;

    *count = 0;
    if (RegQueryInfoKeyA(queue, NULL, NULL, NULL, NULL, NULL, NULL, &values, NULL, NULL, NULL, NULL) !=
            ERROR_SUCCESS ||
        values == 0)
        return NULL;
    names = (char *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (SIZE_T)values * ENTRY_NAME_SIZE);
    if (names == NULL)
        return NULL;

    for (DWORD index = 0; index < values; index++) {
        char name[MAX_PATH];
        DWORD length = sizeof(name);
        if (RegEnumValueA(queue, index, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            continue;
        if (length >= ENTRY_NAME_SIZE || !IsEntryName(name))
            continue;
        lstrcpynA(names + found * ENTRY_NAME_SIZE, name, ENTRY_NAME_SIZE);
        found++;
    }
    *count = found;
    return names;
}

// Works off the queue. Returns 1 when nothing but the entry counter is
// left in it afterwards.
static int WorkOffQueue(void)
{
    HKEY queue;
    DWORD count;
    DWORD left = 0;
    char *names;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRemoveFilesKey, 0, KEY_READ | KEY_SET_VALUE, &queue) != ERROR_SUCCESS)
        return 1;
    names = CollectEntryNames(queue, &count);
    for (DWORD i = 0; i < count; i++) {
        const char *name = names + i * ENTRY_NAME_SIZE;
        if (RemoveQueuedFile(queue, name))
            RegDeleteValueA(queue, name);
    }
    if (names != NULL)
        HeapFree(GetProcessHeap(), 0, names);

    if (RegQueryInfoKeyA(queue, NULL, NULL, NULL, NULL, NULL, NULL, &left, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
        left = 1;
    if (left == 1 && RegQueryValueExA(queue, kNextNumber, NULL, NULL, NULL, NULL) == ERROR_SUCCESS)
        left = 0;
    RegCloseKey(queue);
    return left == 0;
}

// A missing count means that no product relies on the helper any more.
static DWORD ReadRefNum(void)
{
    HKEY key;
    DWORD refNum = 0;
    DWORD type = 0;
    DWORD size = sizeof(refNum);

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCleanupKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    if (RegQueryValueExA(key, "RefNum", NULL, &type, (BYTE *)&refNum, &size) != ERROR_SUCCESS || type != REG_DWORD ||
        size != sizeof(refNum))
        refNum = 0;
    RegCloseKey(key);
    return refNum;
}

// The vendor key is shared with the maker's other products; it goes only
// when nothing is left in it.
static void DeleteVendorKeyIfEmpty(void)
{
    HKEY key;
    DWORD subkeys = 1;
    DWORD values = 1;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVendorKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, NULL, NULL, NULL, NULL);
    RegCloseKey(key);
    if (subkeys == 0 && values == 0)
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kVendorKey);
}

static void RemoveSelf(void)
{
    HKEY run;
    char self[MAX_PATH];
    DWORD length;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
        RegDeleteValueA(run, kRunValue);
        RegCloseKey(run);
    }
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kCleanupKey);
    DeleteVendorKeyIfEmpty();

    // A running program cannot delete its own file; Windows does it at the
    // next restart.
    length = GetModuleFileNameA(NULL, self, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        MoveFileExA(self, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int queueEmpty = WorkOffQueue();

    if (queueEmpty && ReadRefNum() == 0)
        RemoveSelf();
    return 0;
}
