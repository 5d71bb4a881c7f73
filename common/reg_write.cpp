// Registry writing and key removal.
#include "common.h"

// KEY_READ | KEY_WRITE: the access the Set functions ask for.
#define SET_ACCESS 0x2001F

// The deepest tree Co_DeleteRegNode walks, the given key included.
#define MAX_NODE_DEPTH 256

static int SetValue(HKEY key, LPCSTR valueName, DWORD type, const BYTE *data, DWORD size)
{
    LONG result = RegSetValueExA(key, valueName, 0, type, data, size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 1 : 0;
}

static HKEY OpenExisting(HKEY root, LPCSTR subKey)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(root, subKey, 0, SET_ACCESS, &key) != ERROR_SUCCESS)
        return NULL;
    return key;
}

// Opens the key, or creates it together with every missing key above it.
static HKEY OpenOrCreate(HKEY root, LPCSTR subKey)
{
    HKEY key = NULL;
    if (RegCreateKeyExA(root, subKey, 0, NULL, REG_OPTION_NON_VOLATILE, SET_ACCESS, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return NULL;
    return key;
}

static int SetSz(HKEY key, LPCSTR valueName, LPCSTR text)
{
    return SetValue(key, valueName, REG_SZ, (const BYTE *)text, (DWORD)lstrlenA(text) + 1);
}

static int SetNum(HKEY key, LPCSTR valueName, DWORD number)
{
    BYTE bytes[4];
    bytes[0] = (BYTE)number;
    bytes[1] = (BYTE)(number >> 8);
    bytes[2] = (BYTE)(number >> 16);
    bytes[3] = (BYTE)(number >> 24);
    return SetValue(key, valueName, REG_DWORD, bytes, sizeof(bytes));
}

int Co_SetValueSz(HKEY root, LPCSTR subKey, LPCSTR valueName, LPCSTR text)
{
    CoTrace("in Co_SetValueSz()\n");
    HKEY key = OpenExisting(root, subKey);
    return key != NULL ? SetSz(key, valueName, text) : 0;
}

int Co_SetValueNum(HKEY root, LPCSTR subKey, LPCSTR valueName, DWORD number)
{
    CoTrace("in Co_SetValueNum()\n");
    HKEY key = OpenExisting(root, subKey);
    return key != NULL ? SetNum(key, valueName, number) : 0;
}

int Co_SetCreateValueSz(HKEY root, LPCSTR subKey, LPCSTR valueName, LPCSTR text)
{
    CoTrace("in Co_SetCreateValueSz()\n");
    HKEY key = OpenOrCreate(root, subKey);
    return key != NULL ? SetSz(key, valueName, text) : 0;
}

int Co_SetCreateValueNum(HKEY root, LPCSTR subKey, LPCSTR valueName, DWORD number)
{
    CoTrace("in Co_SetCreateValueNum()\n");
    HKEY key = OpenOrCreate(root, subKey);
    return key != NULL ? SetNum(key, valueName, number) : 0;
}

int Co_DeleteRegValue(HKEY root, LPCSTR subKey, LPCSTR valueName)
{
    CoTrace("in Co_DeleteRegValue()\n");
    HKEY key = NULL;
    if (RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    LONG result = RegDeleteValueA(key, valueName);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 1 : 0;
}

// One level of the walk of Co_DeleteRegNode: the open key (NULL when it
// could not be opened or is closed), the length of the path buffer when
// the walk stood on this key, and how many of its subkeys the walk has
// given up on. Those stay in place and come first in the enumeration, since
// subkeys are taken in enumeration order, so the next subkey to visit is
// the one at that index.
typedef struct NODE_LEVEL {
    HKEY key;
    int pathLength;
    DWORD skipped;
} NODE_LEVEL;

// A key that is a link is opened as the link: it has no subkeys, and its
// deletion removes the link alone, never what it points to.
static void OpenLevel(HKEY root, LPCSTR path, NODE_LEVEL *level)
{
    level->key = NULL;
    level->pathLength = lstrlenA(path);
    level->skipped = 0;
    if (OpenKeyNoFollow(root, path, KEY_ALL_ACCESS, &level->key) != ERROR_SUCCESS)
        level->key = NULL;
}

// Deletes the level's key through its handle and closes it. A key that
// could not be opened for the walk may still allow its deletion alone, so
// it is opened for that. *missing tells whether the key was not there.
static int DeleteLevel(HKEY root, LPCSTR path, NODE_LEVEL *level, int *missing)
{
    HKEY key = level->key;
    LONG status = ERROR_SUCCESS;
    int deleted;

    level->key = NULL;
    *missing = 0;
    if (key == NULL)
        status = OpenKeyNoFollow(root, path, DELETE, &key);
    if (status != ERROR_SUCCESS) {
        *missing = status == ERROR_FILE_NOT_FOUND;
        return 0;
    }
    deleted = DeleteOpenKey(key);
    RegCloseKey(key);
    return deleted;
}

// Takes the level's next subkey to visit into name. Returns 1 when there is
// one, 0 when the level is done: no subkeys left, or an enumeration error
// (then *result becomes 0; the level is not enumerated again). A name that
// does not fit the buffer (255 double-byte characters take 510 bytes) lies
// beyond the walk's limits like a path that is too long: that subkey stays
// and its siblings are still visited.
static int NextSubkey(NODE_LEVEL *level, LPSTR name, int *result)
{
    if (level->key == NULL)
        return 0;
    DWORD nameLength = MAX_PATH;
    LONG status;
    while ((status = RegEnumKeyExA(level->key, level->skipped, name, &nameLength, NULL, NULL, NULL, NULL)) ==
           ERROR_MORE_DATA) {
        *result = 0;
        level->skipped++;
        nameLength = MAX_PATH;
    }
    if (status == ERROR_SUCCESS)
        return 1;
    if (status != ERROR_NO_MORE_ITEMS)
        *result = 0;
    return 0;
}

// Deletes a key and its whole subtree, deepest keys first. Every key is
// opened from the root by its full path, as itself when it is a link, and
// deleted through that handle. A subkey that cannot be deleted,
// or that lies beyond the walk's limits (a path of 259 characters, 256
// levels), stays in place with everything above it, and the walk goes on
// with its siblings; the result is then 0.
int Co_DeleteRegNode(HKEY root, LPCSTR keyPath)
{
    CoTrace("in Co_DeleteRegNode()\n");
    if (keyPath == NULL || keyPath[0] == '\0' || lstrlenA(keyPath) >= MAX_PATH)
        return 0;

    NODE_LEVEL *levels =
        (NODE_LEVEL *)VirtualAlloc(NULL, MAX_NODE_DEPTH * sizeof(NODE_LEVEL), MEM_COMMIT, PAGE_READWRITE);
    if (levels == NULL)
        return 0;

    char path[MAX_PATH];
    char name[MAX_PATH];
    int result = 1;
    int depth = 0;
    lstrcpynA(path, keyPath, MAX_PATH);
    OpenLevel(root, path, &levels[0]);

    for (;;) {
        NODE_LEVEL *level = &levels[depth];
        if (NextSubkey(level, name, &result)) {
            if (depth + 1 >= MAX_NODE_DEPTH || level->pathLength + 1 + lstrlenA(name) >= MAX_PATH) {
                result = 0;
                level->skipped++;
                continue;
            }
            wsprintfA(path + level->pathLength, "\\%s", name);
            depth++;
            OpenLevel(root, path, &levels[depth]);
            continue;
        }
        int missing;
        int deleted = DeleteLevel(root, path, level, &missing);
        if (depth == 0) {
            // The given key may be missing: then there is nothing to delete.
            if (!deleted && !missing)
                result = 0;
            break;
        }
        if (!deleted) {
            result = 0;
            levels[depth - 1].skipped++;
        }
        depth--;
        // Back to the parent's path by its length: cutting at the last
        // byte 0x5C could cut inside a double-byte character.
        path[levels[depth].pathLength] = '\0';
    }

    VirtualFree(levels, 0, MEM_RELEASE);
    return result;
}
