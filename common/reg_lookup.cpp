// Registry value lookup. The lookups walk the key's values in enumeration
// order and compare each name byte for byte, letter case included, unlike
// the registry's own name lookup.
#include "common.h"

#define LOOKUP_BUFFER_SIZE MAX_PATH

// What the walk found: nothing, a value whose data is in the caller's
// data buffer, or a value whose data was too large for it.
enum LookupResult { LOOKUP_MISSING, LOOKUP_FOUND, LOOKUP_FOUND_LARGE };

// Reads the name of the value at index again, without its data, and tells
// whether it is the wanted name. Used when the data did not fit: Windows
// then leaves the name buffer untouched, and the zero-filled buffer would
// otherwise pass for the default value's empty name.
static int NameAtIndexIs(HKEY key, DWORD index, LPCSTR valueName, DWORD *dataSize)
{
    char name[LOOKUP_BUFFER_SIZE];
    DWORD nameLength = LOOKUP_BUFFER_SIZE;
    memset(name, 0, sizeof(name));
    if (RegEnumValueA(key, index, name, &nameLength, NULL, NULL, NULL, dataSize) != ERROR_SUCCESS)
        return 0;
    return TextEquals(name, valueName);
}

// Walks the values of an open key until it meets the wanted name. The data
// of a match lands in data (LOOKUP_BUFFER_SIZE bytes, zero-filled before
// each call); for a match whose data did not fit, *index and *dataSize say
// where it is and how large it is.
static enum LookupResult FindValue(HKEY key, LPCSTR valueName, BYTE *data, DWORD *index, DWORD *dataSize)
{
    char name[LOOKUP_BUFFER_SIZE];
    for (DWORD i = 0;; i++) {
        DWORD nameLength = LOOKUP_BUFFER_SIZE;
        DWORD dataLength = LOOKUP_BUFFER_SIZE;
        DWORD type = 0;
        memset(name, 0, sizeof(name));
        memset(data, 0, LOOKUP_BUFFER_SIZE);
        LONG result = RegEnumValueA(key, i, name, &nameLength, NULL, &type, data, &dataLength);
        if (result == ERROR_SUCCESS) {
            if (TextEquals(name, valueName))
                return LOOKUP_FOUND;
        } else if (result == ERROR_MORE_DATA) {
            if (NameAtIndexIs(key, i, valueName, dataSize)) {
                *index = i;
                return LOOKUP_FOUND_LARGE;
            }
        } else {
            // ERROR_NO_MORE_ITEMS ends the walk; any other error (the key
            // deleted under us, for one) would come back at every index.
            return LOOKUP_MISSING;
        }
    }
}

// Reads the data of a value too large for the lookup buffer into a block
// of its own, and copies its first bytes out: at most copySize bytes, the
// rest of destination (up to copySize) zero-filled. Returns 0 when the
// data could not be read.
static int CopyLargeValue(HKEY key, DWORD index, DWORD dataSize, BYTE *destination, DWORD copySize)
{
    BYTE *block = (BYTE *)VirtualAlloc(NULL, dataSize, MEM_COMMIT, PAGE_READWRITE);
    if (block == NULL)
        return 0;
    char name[LOOKUP_BUFFER_SIZE];
    DWORD nameLength = LOOKUP_BUFFER_SIZE;
    DWORD dataLength = dataSize;
    int copied = 0;
    if (RegEnumValueA(key, index, name, &nameLength, NULL, NULL, block, &dataLength) == ERROR_SUCCESS) {
        memcpy(destination, block, copySize < dataLength ? copySize : dataLength);
        copied = 1;
    }
    VirtualFree(block, 0, MEM_RELEASE);
    return copied;
}

static HKEY OpenForLookup(HKEY root, LPCSTR subKey)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        CoTrace("RegOpenKeyEx() error", 0);
        return NULL;
    }
    return key;
}

// Opens the key, walks it for the value and copies its data into `data`
// (LOOKUP_BUFFER_SIZE bytes); of a value too large for one enumeration at
// most `largeCopy` bytes are taken. Returns 1 when the value was found.
static int LookupValue(HKEY root, LPCSTR subKey, LPCSTR valueName, BYTE *data, DWORD largeCopy)
{
    HKEY key = OpenForLookup(root, subKey);
    if (key == NULL)
        return 0;

    DWORD index = 0, dataSize = 0;
    int found = 0;
    switch (FindValue(key, valueName, data, &index, &dataSize)) {
    case LOOKUP_FOUND:
        found = 1;
        break;
    case LOOKUP_FOUND_LARGE:
        memset(data, 0, LOOKUP_BUFFER_SIZE);
        found = CopyLargeValue(key, index, dataSize, data, largeCopy);
        break;
    case LOOKUP_MISSING:
        break;
    }
    RegCloseKey(key);
    return found;
}

// Whatever the value's type, the number is its first four data bytes,
// little-endian, completed with zeros when the data is shorter.
int Co_GetRegValueNum(HKEY root, LPCSTR subKey, LPCSTR valueName, DWORD *number)
{
    CoTrace("in Co_GetRegValueNum()\n");
    *number = 0;
    BYTE data[LOOKUP_BUFFER_SIZE];
    if (!LookupValue(root, subKey, valueName, data, 4))
        return 0;
    *number = (DWORD)data[0] | ((DWORD)data[1] << 8) | ((DWORD)data[2] << 16) | ((DWORD)data[3] << 24);
    return 1;
}

// Whatever the value's type, the text is its data up to the first NUL, cut
// to 259 bytes and a NUL so that it always ends within the caller's 260.
int Co_GetRegValueSz(HKEY root, LPCSTR subKey, LPCSTR valueName, LPSTR text)
{
    CoTrace("in Co_GetRegValueSz()\n");
    BYTE data[LOOKUP_BUFFER_SIZE];
    if (!LookupValue(root, subKey, valueName, data, LOOKUP_BUFFER_SIZE - 1))
        return 0;
    lstrcpynA(text, (LPCSTR)data, MAX_PATH);
    return 1;
}
