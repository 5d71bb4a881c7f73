// A seeded, random run of the registry and file calls the product makes,
// in a scratch key (HKEY_CURRENT_USER\Software\QwDiff<seed>) and a scratch
// directory (%TEMP%\QwDiff<seed>) that it creates and removes itself. Every
// call's result, error code, returned sizes and output buffer go to
// standard output, one call a line, so that two systems that run the same
// seed can be compared line by line.
//
//   qwdiff [SEED [COUNT]]      defaults: seed 1, 600 calls
//
// Output buffers are filled with a marker byte before each call and
// printed up to the last byte that is not the marker, so that a write
// past the reported size shows. Nothing printed depends on where the
// scratch places are.
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const BYTE kMarker = 0xAA;
const DWORD kLargeBuffer = 512;
const DWORD kDefaultSeed = 1;
const DWORD kDefaultCount = 600;
const size_t kTextSize = kLargeBuffer * 3 + 8;  // a buffer's bytes in hex
const size_t kLineSize = 4096;
const DWORD kMaxEntries = 64;  // entries of one enumeration that are shown

// Names chosen to collide: the same name in other cases, a "_" that
// sorts before letters in lower case and after them in upper case, names
// longer than most buffers, and bad paths.
// Key names may have 255 characters ("Registry element size limits");
// value names many more. A 256-character key name is left out: the
// simulation refuses it (ERROR_INVALID_PARAMETER) and Wine creates it.
#define QW_TEN(c) c c c c c c c c c c
#define QW_FIFTY(c) QW_TEN(c) QW_TEN(c) QW_TEN(c) QW_TEN(c) QW_TEN(c)
#define QW_LONGEST_KEY QW_FIFTY("k") QW_FIFTY("k") QW_FIFTY("k") QW_FIFTY("k") QW_FIFTY("k") "kkkkk"
#define QW_LONG_VALUE QW_FIFTY("w") QW_FIFTY("w") QW_FIFTY("w") QW_FIFTY("w") QW_FIFTY("w") QW_FIFTY("w")
const char *const kKeyPaths[] = {
    "Alpha", "alpha", "ALPHA\\Sub", "Alpha\\sub\\Leaf", "Beta", "beta\\Two", "Key_1", "KeyA",
    "Keyb", "a key name that is longer than most name buffers", "Z", "Alpha\\", "\\Alpha",
    "Alpha\\\\Sub", "Missing\\Below", QW_LONGEST_KEY,
};
const char *const kValueNames[] = {
    "", "v", "V", "Name", "name", "NAME2", "Value_1", "ValueA", "x\\y",
    "a value name that is longer than most name buffers", QW_LONG_VALUE,
};
const char *const kFileNames[] = {
    "a.txt", "A.TXT", "b.dat", "Long File Name.text", "c", "sub", "sub\\d.txt", "SUB\\e.log",
    "sub\\deeper", "missing\\f.txt", "a.txt.qel", "sub\\..\\b.dat",
};
const char *const kFindPatterns[] = {
    "*", "*.txt", "a*", "?.txt", "sub\\*", "SUB\\*.*", "missing\\*", "nosuch", "a.txt", "A.TXT", "sub",
    "*.qel", "sub\\deeper\\*",
};
const DWORD kValueTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_BINARY, REG_DWORD, REG_NONE};
const REGSAM kAccesses[] = {KEY_READ, KEY_WRITE, KEY_QUERY_VALUE, KEY_ALL_ACCESS};
const DWORD kDispositions[] = {CREATE_NEW, CREATE_ALWAYS, OPEN_EXISTING, OPEN_ALWAYS, TRUNCATE_EXISTING};
const DWORD kFileAccesses[] = {0, GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE, DELETE};

DWORD g_random;
DWORD g_step;
HKEY g_root;                           // the scratch key
char g_keyPath[MAX_PATH];              // and its path below HKEY_CURRENT_USER
char g_dir[MAX_PATH];                  // the scratch directory, no trailing backslash
HKEY g_held;                           // a key handle kept open across calls
char g_heldName[MAX_PATH];
REGSAM g_heldAccess;
HANDLE g_heldFile = INVALID_HANDLE_VALUE;  // a file handle kept open across calls
char g_heldFileName[MAX_PATH];
bool g_heldDeleted;  // the held file was deleted and waits for its handle to close

// xorshift32: the same numbers on every system for the same seed.
DWORD Next()
{
    g_random ^= g_random << 13;
    g_random ^= g_random >> 17;
    g_random ^= g_random << 5;
    return g_random;
}

// Each call draws from numbers of its own, so that a call whose result
// differs on the two systems (and so draws more or fewer numbers) does not
// change what the calls after it do.
void Reseed(DWORD seed, DWORD step)
{
    g_random = seed * 2654435761u ^ step * 0x9E3779B9u;
    if (!g_random)
        g_random = 1;
    for (int i = 0; i < 4; i++)
        Next();
}

DWORD Below(DWORD bound)
{
    return Next() % bound;
}

template <typename T, size_t N>
const T &Pick(const T (&items)[N])
{
    return items[Below((DWORD)N)];
}

// Appends one line, numbered by the call that made it, to text.
void AddLineV(char *text, size_t size, const char *format, va_list args)
{
    size_t used = strlen(text);
    int length = snprintf(text + used, size - used, "%lu ", (unsigned long)g_step);
    if (length < 0 || (size_t)length >= size - used)
        return;
    used += (size_t)length;
    vsnprintf(text + used, size - used, format, args);
    used = strlen(text);
    if (used + 1 < size) {
        text[used] = '\n';
        text[used + 1] = 0;
    }
}

void AddLine(char *text, size_t size, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    AddLineV(text, size, format, args);
    va_end(args);
}

void Say(const char *format, ...)
{
    char line[kLineSize];
    line[0] = 0;
    va_list args;
    va_start(args, format);
    AddLineV(line, sizeof(line), format, args);
    va_end(args);
    fputs(line, stdout);
}

// The bytes a call left in a buffer that was filled with the marker, in
// hex, up to the last byte it changed.
const char *Hex(const BYTE *bytes, DWORD size, char *text, size_t textSize)
{
    while (size > 0 && bytes[size - 1] == kMarker)
        size--;
    text[0] = 0;
    size_t used = 0;
    for (DWORD i = 0; i < size && used + 4 < textSize; i++)
        used += (size_t)snprintf(text + used, textSize - used, "%s%02x", i ? " " : "", bytes[i]);
    return size ? text : "-";
}

// A name buffer that was filled with the marker: the text before its NUL,
// or the bytes it holds when there is no NUL in it.
const char *NameText(const char *name, DWORD size, char *text, size_t textSize)
{
    if (memchr(name, 0, size)) {
        snprintf(text, textSize, "\"%s\"", name);
        return text;
    }
    char bytes[kTextSize];
    snprintf(text, textSize, "[%s]", Hex((const BYTE *)name, size, bytes, sizeof(bytes)));
    return text;
}

// Sizes around an exact fit: none at all, one short, exact, one over, and
// plenty.
DWORD BufferSizeAround(DWORD exact)
{
    switch (Below(5)) {
    case 0:
        return 0;
    case 1:
        return exact ? exact - 1 : 0;
    case 2:
        return exact;
    case 3:
        return exact + 1;
    default:
        return kLargeBuffer;
    }
}

// "dir\name" in a buffer; false when it does not fit.
bool JoinPath(char *path, size_t size, const char *dir, const char *name)
{
    int length = snprintf(path, size, "%s\\%s", dir, name);
    return length > 0 && (size_t)length < size;
}

// The scratch directory is short enough for every name of the run.
void FullPath(const char *name, char *path, size_t size)
{
    JoinPath(path, size, g_dir, name);
}

// ---- Registry ------------------------------------------------------------

// Value data for a type: text for the string types (with or without the
// final NUL, or none at all), raw bytes otherwise, now and then more than
// a large buffer holds.
DWORD MakeValueData(DWORD type, BYTE *data, DWORD capacity)
{
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        DWORD length = Below(4) == 0 ? 0 : Below(40);
        for (DWORD i = 0; i < length; i++)
            data[i] = (BYTE)('a' + Below(26));
        if (type == REG_MULTI_SZ && length > 2)
            data[length / 2] = 0;
        switch (Below(4)) {
        case 0:
            // Left without its NUL; the byte after it decides whether the
            // system counts one.
            data[length] = Below(2) ? 0 : 'z';
            return length;
        case 1:
            data[length] = 0;
            data[length + 1] = 0;
            return length + 2;
        default:
            data[length] = 0;
            return length + 1;
        }
    }
    DWORD size = type == REG_DWORD && Below(4) ? 4 : Below(8) == 0 ? kLargeBuffer + 1 + Below(64) : Below(24);
    if (size > capacity)
        size = capacity;
    for (DWORD i = 0; i < size; i++)
        data[i] = (BYTE)Next();
    return size;
}

// Opens a path below the scratch key, or reports why not.
bool OpenBelowRoot(const char *path, REGSAM access, HKEY *key)
{
    LONG rc = RegOpenKeyExA(g_root, path, 0, access, key);
    if (rc != ERROR_SUCCESS) {
        Say("RegOpenKeyExA \"%s\" access=%lx -> %ld", path, (unsigned long)access, (long)rc);
        return false;
    }
    return true;
}

void DoCreateKey()
{
    const char *path = Pick(kKeyPaths);
    HKEY key = NULL;
    DWORD disposition = 0xDEADBEEF;
    LONG rc = RegCreateKeyExA(g_root, path, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                              &disposition);
    Say("RegCreateKeyExA \"%s\" -> %ld disposition=%lx", path, (long)rc, (unsigned long)disposition);
    if (rc == ERROR_SUCCESS)
        RegCloseKey(key);
}

void DoOpenKey()
{
    const char *path = Pick(kKeyPaths);
    REGSAM access = Pick(kAccesses);
    HKEY key = NULL;
    LONG rc = RegOpenKeyExA(g_root, path, 0, access, &key);
    Say("RegOpenKeyExA \"%s\" access=%lx -> %ld", path, (unsigned long)access, (long)rc);
    if (rc == ERROR_SUCCESS)
        RegCloseKey(key);
}

void SetValueIn(HKEY key, const char *where)
{
    const char *name = Pick(kValueNames);
    DWORD type = Pick(kValueTypes);
    BYTE data[kLargeBuffer + 128];
    DWORD size = MakeValueData(type, data, sizeof(data));
    LONG rc = RegSetValueExA(key, name, 0, type, data, size);
    Say("RegSetValueExA %s \"%s\" type=%lu size=%lu -> %ld", where, name, (unsigned long)type,
        (unsigned long)size, (long)rc);
}

void DoSetValue()
{
    const char *path = Pick(kKeyPaths);
    HKEY key;
    if (!OpenBelowRoot(path, KEY_SET_VALUE, &key))
        return;
    SetValueIn(key, path);
    RegCloseKey(key);
}

// Asks for a value's size, then reads it into a buffer sized around it.
void QueryValueIn(HKEY key, const char *where)
{
    const char *name = Pick(kValueNames);
    DWORD type = 0xDEADBEEF;
    DWORD size = 0xDEADBEEF;
    LONG rc = RegQueryValueExA(key, name, NULL, &type, NULL, &size);
    // A failed call leaves the type undefined (Windows leaves what it
    // likes there), so it is not shown.
    if (rc != ERROR_SUCCESS) {
        Say("RegQueryValueExA %s \"%s\" size-only -> %ld size=%lu", where, name, (long)rc, (unsigned long)size);
        return;
    }
    Say("RegQueryValueExA %s \"%s\" size-only -> %ld type=%lu size=%lu", where, name, (long)rc,
        (unsigned long)type, (unsigned long)size);
    BYTE data[kLargeBuffer];
    char dataText[kTextSize];
    memset(data, kMarker, sizeof(data));
    DWORD capacity = BufferSizeAround(size);
    if (capacity > sizeof(data))
        capacity = sizeof(data);
    size = capacity;
    type = 0xDEADBEEF;
    rc = RegQueryValueExA(key, name, NULL, &type, data, &size);
    Say("RegQueryValueExA %s \"%s\" buffer=%lu -> %ld type=%lu size=%lu data=%s", where, name,
        (unsigned long)capacity, (long)rc, (unsigned long)type, (unsigned long)size,
        Hex(data, sizeof(data), dataText, sizeof(dataText)));
}

void DoQueryValue()
{
    const char *path = Pick(kKeyPaths);
    HKEY key;
    if (!OpenBelowRoot(path, KEY_QUERY_VALUE, &key))
        return;
    QueryValueIn(key, path);
    RegCloseKey(key);
}

// What one index of an enumeration returned, for printing once the whole
// enumeration is done.
struct Entry {
    char text[2 * kLineSize];
};

Entry g_entries[kMaxEntries];

int CompareEntries(const void *a, const void *b)
{
    return strcmp(((const Entry *)a)->text, ((const Entry *)b)->text);
}

// Neither RegEnumValue nor RegEnumKeyEx promises an order, and systems
// differ: Windows lists values in creation order and subkeys by their
// upper-case names, Wine both by lower-case names. An enumeration is
// therefore printed with its entries sorted and without their indexes
// (then the call that ended it), and the buffers of each entry's second
// call are sized by numbers drawn from what its first call returned, not
// from its index.
void PrintEntries(DWORD count)
{
    qsort(g_entries, count, sizeof(g_entries[0]), CompareEntries);
    for (DWORD i = 0; i < count; i++)
        fputs(g_entries[i].text, stdout);
    if (count < kMaxEntries)
        fputs(g_entries[count].text, stdout);
}

void ReseedFrom(const char *text)
{
    DWORD hash = 2166136261u;
    for (; *text; text++)
        hash = (hash ^ (BYTE)*text) * 16777619u;
    Reseed(hash, g_step);
}

// One index of a value enumeration: first with room for everything, then
// again with a name buffer and a data buffer sized around what the first
// call returned.
LONG EnumValueAt(HKEY key, DWORD index, Entry *entry)
{
    char name[kLargeBuffer];
    BYTE data[kLargeBuffer];
    char nameText[kTextSize + 4], dataText[kTextSize];
    memset(name, kMarker, sizeof(name));
    memset(data, kMarker, sizeof(data));
    DWORD nameLength = sizeof(name);
    DWORD size = sizeof(data);
    DWORD type = 0xDEADBEEF;
    LONG rc = RegEnumValueA(key, index, name, &nameLength, NULL, &type, data, &size);
    entry->text[0] = 0;
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) {
        AddLine(entry->text, sizeof(entry->text), "RegEnumValueA #%lu -> %ld name=%s length=%lu type=%lu size=%lu data=%s",
            (unsigned long)index, (long)rc, NameText(name, sizeof(name), nameText, sizeof(nameText)), (unsigned long)nameLength,
            (unsigned long)type, (unsigned long)size, Hex(data, sizeof(data), dataText, sizeof(dataText)));
        return rc;
    }
    AddLine(entry->text, sizeof(entry->text), "RegEnumValueA -> %ld name=%s length=%lu type=%lu size=%lu data=%s",
            (long)rc, NameText(name, sizeof(name), nameText, sizeof(nameText)), (unsigned long)nameLength,
            (unsigned long)type, (unsigned long)size, Hex(data, sizeof(data), dataText, sizeof(dataText)));
    ReseedFrom(entry->text);
    DWORD nameCapacity = BufferSizeAround(rc == ERROR_SUCCESS ? nameLength + 1 : 0);
    DWORD dataCapacity = BufferSizeAround(size);
    if (dataCapacity > sizeof(data))
        dataCapacity = sizeof(data);
    bool withData = Below(4) != 0;
    memset(name, kMarker, sizeof(name));
    memset(data, kMarker, sizeof(data));
    nameLength = nameCapacity;
    size = dataCapacity;
    type = 0xDEADBEEF;
    LONG again = RegEnumValueA(key, index, name, &nameLength, NULL, &type, withData ? data : NULL, &size);
    AddLine(entry->text, sizeof(entry->text),
            "  again name-buffer=%lu data-buffer=%lu%s -> %ld name=%s length=%lu type=%lu size=%lu data=%s",
            (unsigned long)nameCapacity, (unsigned long)dataCapacity, withData ? "" : " no-data", (long)again,
            NameText(name, sizeof(name), nameText, sizeof(nameText)), (unsigned long)nameLength,
            (unsigned long)type, (unsigned long)size, Hex(data, sizeof(data), dataText, sizeof(dataText)));
    return rc;
}

void EnumValuesIn(HKEY key)
{
    DWORD index = 0;
    LONG rc;
    while (index < kMaxEntries &&
           ((rc = EnumValueAt(key, index, &g_entries[index])) == ERROR_SUCCESS || rc == ERROR_MORE_DATA))
        index++;
    PrintEntries(index);
}

void DoEnumValues()
{
    const char *path = Pick(kKeyPaths);
    HKEY key;
    if (!OpenBelowRoot(path, KEY_QUERY_VALUE, &key))
        return;
    Say("enumerate values of \"%s\"", path);
    EnumValuesIn(key);
    RegCloseKey(key);
}

// One index of a subkey enumeration, as for values.
LONG EnumKeyAt(HKEY key, DWORD index, Entry *entry)
{
    char name[kLargeBuffer];
    char nameText[kTextSize + 4];
    memset(name, kMarker, sizeof(name));
    DWORD nameLength = sizeof(name);
    LONG rc = RegEnumKeyExA(key, index, name, &nameLength, NULL, NULL, NULL, NULL);
    entry->text[0] = 0;
    if (rc != ERROR_SUCCESS) {
        AddLine(entry->text, sizeof(entry->text), "RegEnumKeyExA #%lu -> %ld name=%s length=%lu", (unsigned long)index, (long)rc,
            NameText(name, sizeof(name), nameText, sizeof(nameText)), (unsigned long)nameLength);
        return rc;
    }
    AddLine(entry->text, sizeof(entry->text), "RegEnumKeyExA -> %ld name=%s length=%lu", (long)rc,
            NameText(name, sizeof(name), nameText, sizeof(nameText)), (unsigned long)nameLength);
    ReseedFrom(entry->text);
    DWORD capacity = BufferSizeAround(nameLength + 1);
    memset(name, kMarker, sizeof(name));
    nameLength = capacity;
    LONG again = RegEnumKeyExA(key, index, name, &nameLength, NULL, NULL, NULL, NULL);
    AddLine(entry->text, sizeof(entry->text), "  again buffer=%lu -> %ld name=%s length=%lu", (unsigned long)capacity,
            (long)again, NameText(name, sizeof(name), nameText, sizeof(nameText)), (unsigned long)nameLength);
    return rc;
}

void EnumKeysIn(HKEY key)
{
    DWORD index = 0;
    while (index < kMaxEntries && EnumKeyAt(key, index, &g_entries[index]) == ERROR_SUCCESS)
        index++;
    PrintEntries(index);
}

void DoEnumKeys()
{
    const char *path = Pick(kKeyPaths);
    HKEY key;
    if (!OpenBelowRoot(path, KEY_ENUMERATE_SUB_KEYS, &key))
        return;
    Say("enumerate subkeys of \"%s\"", path);
    EnumKeysIn(key);
    RegCloseKey(key);
}

void DoEnumRoot()
{
    Say("enumerate the scratch key");
    EnumKeysIn(g_root);
    EnumValuesIn(g_root);
}

void DoDeleteValue()
{
    const char *path = Pick(kKeyPaths);
    HKEY key;
    if (!OpenBelowRoot(path, KEY_SET_VALUE, &key))
        return;
    const char *name = Pick(kValueNames);
    Say("RegDeleteValueA \"%s\" \"%s\" -> %ld", path, name, (long)RegDeleteValueA(key, name));
    RegCloseKey(key);
}

void DoDeleteKey()
{
    const char *path = Pick(kKeyPaths);
    Say("RegDeleteKeyA \"%s\" -> %ld", path, (long)RegDeleteKeyA(g_root, path));
}

void DoQueryInfo()
{
    const char *path = Pick(kKeyPaths);
    HKEY key;
    if (!OpenBelowRoot(path, KEY_QUERY_VALUE, &key))
        return;
    DWORD subKeys = 0xDEADBEEF, maxSubKey = 0xDEADBEEF, values = 0xDEADBEEF, maxName = 0xDEADBEEF,
          maxData = 0xDEADBEEF;
    LONG rc = RegQueryInfoKeyA(key, NULL, NULL, NULL, &subKeys, &maxSubKey, NULL, &values, &maxName, &maxData, NULL,
                               NULL);
    Say("RegQueryInfoKeyA \"%s\" -> %ld subkeys=%lu longest=%lu values=%lu longest-name=%lu longest-data=%lu", path,
        (long)rc, (unsigned long)subKeys, (unsigned long)maxSubKey, (unsigned long)values, (unsigned long)maxName,
        (unsigned long)maxData);
    RegCloseKey(key);
}

// A key handle kept open while its key is changed or deleted under it,
// opened with one of several rights.
void DoHoldKey()
{
    if (g_held) {
        Say("RegCloseKey held \"%s\" -> %ld", g_heldName, (long)RegCloseKey(g_held));
        g_held = NULL;
        return;
    }
    const char *path = Pick(kKeyPaths);
    REGSAM access = Pick(kAccesses);
    HKEY key = NULL;
    LONG rc = RegOpenKeyExA(g_root, path, 0, access, &key);
    Say("RegOpenKeyExA held \"%s\" access=%lx -> %ld", path, (unsigned long)access, (long)rc);
    if (rc == ERROR_SUCCESS) {
        g_held = key;
        g_heldAccess = access;
        lstrcpynA(g_heldName, path, sizeof(g_heldName));
    }
}

void DoUseHeldKey()
{
    if (!g_held)
        return;
    char where[MAX_PATH + 8];
    snprintf(where, sizeof(where), "held \"%s\"", g_heldName);
    switch (Below(5)) {
    case 0:
        SetValueIn(g_held, where);
        break;
    case 1:
        QueryValueIn(g_held, where);
        break;
    case 2:
        Say("enumerate %s", where);
        EnumKeysIn(g_held);
        EnumValuesIn(g_held);
        break;
    case 3: {
        const char *path = Pick(kKeyPaths);
        HKEY key = NULL;
        LONG rc = RegCreateKeyExA(g_held, path, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_READ, NULL, &key, NULL);
        Say("RegCreateKeyExA %s \"%s\" -> %ld", where, path, (long)rc);
        if (rc == ERROR_SUCCESS)
            RegCloseKey(key);
        break;
    }
    default:
        // Deleting the key a handle stands for needs DELETE access on the
        // handle (NtDeleteKey's documented rule), which Wine does not check:
        // it deletes through a handle opened with KEY_WRITE. Only handles
        // that have the right are used.
        if (g_heldAccess & DELETE)
            Say("RegDeleteKeyA %s \"\" -> %ld", where, (long)RegDeleteKeyA(g_held, ""));
        break;
    }
}

// ---- Files ---------------------------------------------------------------

// The one name of the run that is another's alias folded away.
const char *Canonical(const char *name)
{
    return lstrcmpiA(name, "sub\\..\\b.dat") ? name : "b.dat";
}

bool SameFile(const char *a, const char *b)
{
    return !lstrcmpiA(Canonical(a), Canonical(b));
}

// A file that is deleted while a handle holds it open stays until the
// handle closes, and meanwhile "subsequent calls to CreateFile to open the
// file fail with ERROR_ACCESS_DENIED" (DeleteFile's documentation), as in
// the simulation. Wine opens it (or reports a sharing violation) and
// deletes it again, so calls on that name wait for the handle to close.
bool DeletePending(const char *name)
{
    return g_heldDeleted && SameFile(name, g_heldFileName);
}

void DoWriteFile()
{
    const char *name = Pick(kFileNames);
    if (DeletePending(name))
        return;
    DWORD disposition = Pick(kDispositions);
    // TRUNCATE_EXISTING is documented to need GENERIC_WRITE; without it
    // the simulation refuses the call (ERROR_INVALID_PARAMETER) where Wine
    // truncates the file, and what Windows does is not settled here, so
    // it always comes with GENERIC_WRITE.
    DWORD access = Below(3) || disposition == TRUNCATE_EXISTING ? GENERIC_WRITE : GENERIC_READ;
    char path[MAX_PATH];
    FullPath(name, path, sizeof(path));
    SetLastError(0xDEADBEEF);
    HANDLE file = CreateFileA(path, access, 0, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD error = GetLastError();
    if (file == INVALID_HANDLE_VALUE) {
        Say("CreateFileA \"%s\" access=%lx disposition=%lu -> failed error=%lu", name, (unsigned long)access,
            (unsigned long)disposition, (unsigned long)error);
        return;
    }
    char text[64];
    DWORD length = Below(40);
    for (DWORD i = 0; i < length; i++)
        text[i] = (char)('A' + Below(26));
    DWORD written = 0xDEADBEEF;
    SetLastError(0xDEADBEEF);
    BOOL ok = WriteFile(file, text, length, &written, NULL);
    DWORD writeError = ok ? 0 : GetLastError();
    Say("CreateFileA \"%s\" access=%lx disposition=%lu -> opened error=%lu; WriteFile %lu -> %d written=%lu "
        "error=%lu",
        name, (unsigned long)access, (unsigned long)disposition, (unsigned long)error, (unsigned long)length, ok,
        (unsigned long)written, (unsigned long)writeError);
    CloseHandle(file);
}

void DoReadFile()
{
    const char *name = Pick(kFileNames);
    if (DeletePending(name))
        return;
    char path[MAX_PATH];
    FullPath(name, path, sizeof(path));
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        Say("CreateFileA read \"%s\" -> failed error=%lu", name, (unsigned long)GetLastError());
        return;
    }
    BYTE data[kLargeBuffer];
    char dataText[kTextSize];
    memset(data, kMarker, sizeof(data));
    DWORD read = 0xDEADBEEF;
    BOOL ok = ReadFile(file, data, sizeof(data), &read, NULL);
    DWORD size = GetFileSize(file, NULL);
    Say("ReadFile \"%s\" -> %d read=%lu size=%lu data=%s", name, ok, (unsigned long)read, (unsigned long)size,
        Hex(data, sizeof(data), dataText, sizeof(dataText)));
    CloseHandle(file);
}

// Whether an entry holds the last component of a path under a name that
// differs from it in case.
bool TakenInOtherCase(const char *path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path, &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    const char *slash = strrchr(path, '\\');
    const char *leaf = slash ? slash + 1 : path;
    return strcmp(data.cFileName, leaf) != 0;
}

// Whether a name lies inside the directory another names.
bool IsBelow(const char *name, const char *dir)
{
    size_t length = strlen(dir);
    char head[MAX_PATH];
    if (strlen(name) <= length + 1 || length >= sizeof(head))
        return false;
    lstrcpynA(head, name, (int)length + 1);
    return !lstrcmpiA(head, dir) && name[length] == '\\' && strncmp(name + length + 1, "..", 2) != 0;
}

// The held file keeps its handle when it is renamed.
void FollowHeldFile(BOOL moved, const char *from, const char *to)
{
    if (moved && g_heldFile != INVALID_HANDLE_VALUE && SameFile(from, g_heldFileName))
        lstrcpynA(g_heldFileName, to, sizeof(g_heldFileName));
}

void DoMove()
{
    const char *from = Pick(kFileNames);
    const char *to = Pick(kFileNames);
    if (DeletePending(from) || DeletePending(to))
        return;
    // A rename that changes only the case of a name gives the file the
    // new case on NTFS; Wine reports success and keeps the old name, so
    // such renames are left out.
    if (lstrcmpiA(from, to) == 0 && strcmp(from, to) != 0)
        return;
    char source[MAX_PATH], target[MAX_PATH];
    FullPath(from, source, sizeof(source));
    FullPath(to, target, sizeof(target));
    DWORD flags = Below(2) ? MOVEFILE_REPLACE_EXISTING : 0;
    // Likewise a file that replaces one whose name differs in case takes
    // the name as given on NTFS and the replaced file's under Wine.
    if (TakenInOtherCase(target))
        return;
    // A directory moved into itself fails with ERROR_SHARING_VIOLATION in
    // the simulation and ERROR_INVALID_PARAMETER or ERROR_ACCESS_DENIED
    // under Wine; which one Windows gives is not settled here.
    if (IsBelow(to, from))
        return;
    // A directory with an open file inside cannot be renamed; the
    // simulation says so (ERROR_ACCESS_DENIED) before it looks at the
    // target, Wine after (ERROR_ALREADY_EXISTS), and Windows' order is not
    // settled here.
    if (g_heldFile != INVALID_HANDLE_VALUE && IsBelow(Canonical(g_heldFileName), from))
        return;
    SetLastError(0xDEADBEEF);
    if (Below(2)) {
        BOOL ok = MoveFileA(source, target);
        Say("MoveFileA \"%s\" \"%s\" -> %d error=%lu", from, to, ok, ok ? 0ul : (unsigned long)GetLastError());
        FollowHeldFile(ok, from, to);
        return;
    }
    BOOL ok = MoveFileExA(source, target, flags);
    Say("MoveFileExA \"%s\" \"%s\" flags=%lu -> %d error=%lu", from, to, (unsigned long)flags, ok,
        ok ? 0ul : (unsigned long)GetLastError());
    FollowHeldFile(ok, from, to);
}

void DoDeleteFile()
{
    const char *name = Pick(kFileNames);
    if (DeletePending(name))
        return;
    char path[MAX_PATH];
    FullPath(name, path, sizeof(path));
    SetLastError(0xDEADBEEF);
    BOOL ok = DeleteFileA(path);
    if (ok && g_heldFile != INVALID_HANDLE_VALUE && SameFile(name, g_heldFileName))
        g_heldDeleted = true;
    Say("DeleteFileA \"%s\" -> %d error=%lu", name, ok, ok ? 0ul : (unsigned long)GetLastError());
}

void DoDirectory()
{
    const char *name = Pick(kFileNames);
    if (DeletePending(name))
        return;
    char path[MAX_PATH];
    FullPath(name, path, sizeof(path));
    SetLastError(0xDEADBEEF);
    if (Below(2)) {
        BOOL ok = CreateDirectoryA(path, NULL);
        Say("CreateDirectoryA \"%s\" -> %d error=%lu", name, ok, ok ? 0ul : (unsigned long)GetLastError());
    } else {
        BOOL ok = RemoveDirectoryA(path);
        Say("RemoveDirectoryA \"%s\" -> %d error=%lu", name, ok, ok ? 0ul : (unsigned long)GetLastError());
    }
}

void DoAttributes()
{
    const char *name = Pick(kFileNames);
    if (DeletePending(name))
        return;
    char path[MAX_PATH];
    FullPath(name, path, sizeof(path));
    SetLastError(0xDEADBEEF);
    DWORD attributes = GetFileAttributesA(path);
    Say("GetFileAttributesA \"%s\" -> %lx error=%lu", name, (unsigned long)attributes,
        attributes == INVALID_FILE_ATTRIBUTES ? (unsigned long)GetLastError() : 0ul);
}

struct Found {
    char name[MAX_PATH];
    DWORD attributes;
    DWORD size;
    bool alias;
};

int CompareFound(const void *a, const void *b)
{
    return strcmp(((const Found *)a)->name, ((const Found *)b)->name);
}

// Whether the directory part of a name is a file.
bool BelowAFile(const char *name)
{
    const char *slash = strrchr(name, '\\');
    if (!slash)
        return false;
    char dir[MAX_PATH], path[MAX_PATH];
    lstrcpynA(dir, name, (int)(slash - name) + 1);
    FullPath(dir, path, sizeof(path));
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The entries a pattern finds, sorted: the order of a directory listing
// is the file system's (NTFS sorts, FAT does not), not the API's.
void DoFind()
{
    const char *pattern = Pick(kFindPatterns);
    char path[MAX_PATH];
    FullPath(pattern, path, sizeof(path));
    // A search below a name that is a file fails with ERROR_INVALID_NAME
    // under Wine and ERROR_PATH_NOT_FOUND in the simulation; which one
    // Windows gives is not settled here, so such searches are left out.
    if (BelowAFile(pattern))
        return;
    WIN32_FIND_DATAA data;
    SetLastError(0xDEADBEEF);
    HANDLE find = FindFirstFileA(path, &data);
    if (find == INVALID_HANDLE_VALUE) {
        Say("FindFirstFileA \"%s\" -> failed error=%lu", pattern, (unsigned long)GetLastError());
        return;
    }
    static Found found[64];
    DWORD count = 0;
    do {
        if (count < 64) {
            lstrcpynA(found[count].name, data.cFileName, MAX_PATH);
            found[count].attributes = data.dwFileAttributes;
            found[count].size = data.nFileSizeLow;
            found[count].alias = data.cAlternateFileName[0] != 0;
            count++;
        }
    } while (FindNextFileA(find, &data));
    DWORD error = GetLastError();
    FindClose(find);
    qsort(found, count, sizeof(found[0]), CompareFound);
    Say("FindFirstFileA \"%s\" -> %lu found, then error=%lu", pattern, (unsigned long)count, (unsigned long)error);
    for (DWORD i = 0; i < count; i++)
        Say("  \"%s\" attributes=%lx size=%lu%s", found[i].name, (unsigned long)found[i].attributes,
            (unsigned long)found[i].size, found[i].alias ? " alias" : "");
}

// A file handle kept open, with one of several rights and sharings, while
// other calls move, delete or open the file.
void DoHoldFile()
{
    if (g_heldFile != INVALID_HANDLE_VALUE) {
        Say("CloseHandle held \"%s\" -> %d", g_heldFileName, CloseHandle(g_heldFile));
        g_heldFile = INVALID_HANDLE_VALUE;
        g_heldDeleted = false;
        return;
    }
    const char *name = Pick(kFileNames);
    DWORD access = Pick(kFileAccesses);
    DWORD share = Below(8);
    char path[MAX_PATH];
    FullPath(name, path, sizeof(path));
    SetLastError(0xDEADBEEF);
    HANDLE file = CreateFileA(path, access, share, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    Say("CreateFileA held \"%s\" access=%lx share=%lu -> %s error=%lu", name, (unsigned long)access,
        (unsigned long)share, file == INVALID_HANDLE_VALUE ? "failed" : "opened", (unsigned long)GetLastError());
    if (file != INVALID_HANDLE_VALUE) {
        g_heldFile = file;
        lstrcpynA(g_heldFileName, name, sizeof(g_heldFileName));
    }
}

// ---- Links and handles, as the log is opened -----------------------------

typedef DWORD(WINAPI *FinalPathProc)(HANDLE file, LPSTR path, DWORD size, DWORD flags);
typedef BOOL(WINAPI *SetInformationProc)(HANDLE file, int infoClass, LPVOID info, DWORD size);
typedef LONG(WINAPI *DeleteKeyProc)(HANDLE key);

FARPROC SystemCall(const char *module, const char *name)
{
    HMODULE handle = GetModuleHandleA(module);
    return handle ? GetProcAddress(handle, name) : NULL;
}

// The second name of a file has a name of its own, never moved over or
// onto: Wine renames one hard link onto another of the same file as POSIX
// rename does, with success and both names left, where Windows finds the
// name taken.
const char kLinkName[] = "hard.lnk";

void DoHardLink()
{
    const char *name = kLinkName;
    const char *existing = Pick(kFileNames);
    if (DeletePending(existing))
        return;
    char path[MAX_PATH], existingPath[MAX_PATH];
    FullPath(name, path, sizeof(path));
    FullPath(existing, existingPath, sizeof(existingPath));
    // The program never makes links, and what follows depends only on
    // whether one was made: the error of a refusal is left out (for a
    // missing folder Wine 8 says ERROR_FILE_NOT_FOUND).
    Say("CreateHardLinkA \"%s\" \"%s\" -> %d", name, existing, CreateHardLinkA(path, existingPath, NULL));
}

// The final path, with the scratch directory's long form taken out so
// that nothing printed depends on where it is.
void SayFinalPath(HANDLE file, const char *name)
{
    FinalPathProc finalPath = (FinalPathProc)(void *)SystemCall("kernel32.dll", "GetFinalPathNameByHandleA");
    char longDir[MAX_PATH], path[MAX_PATH + 16];
    DWORD dirLength = GetLongPathNameA(g_dir, longDir, sizeof(longDir));
    if (!finalPath || dirLength == 0 || dirLength >= sizeof(longDir))
        return;
    // Too small a buffer gets the size needed, its NUL counted, as
    // documented; Wine 8's ANSI call leaves the NUL out. Only that it
    // asks for more is compared.
    bool asksMore = finalPath(file, path, 4, 0) > 4;
    DWORD length = finalPath(file, path, sizeof(path), 0);
    const char *rest = "(elsewhere)";
    if (length > 4 + dirLength && length < sizeof(path) && !strncmp(path, "\\\\?\\", 4)) {
        char head[MAX_PATH];
        lstrcpynA(head, path + 4, (int)dirLength + 1);
        if (!lstrcmpiA(head, longDir))
            rest = path + 4 + dirLength;
    }
    Say("GetFinalPathNameByHandleA \"%s\" -> %d %lu \\\\?\\<scratch>%s", name, asksMore,
        (unsigned long)(length - dirLength), rest);
}

// Opened as the log is: created only when new, else opened as it stands,
// never through a link; looked at; now and then emptied or deleted
// through the handle.
void DoOpenAsItself()
{
    const char *name = Below(4) ? Pick(kFileNames) : kLinkName;
    if (DeletePending(name))
        return;
    DWORD disposition = Below(2) ? CREATE_NEW : OPEN_EXISTING;
    char path[MAX_PATH];
    FullPath(name, path, sizeof(path));
    SetLastError(0xDEADBEEF);
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE | DELETE, 0, NULL, disposition,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    Say("CreateFileA as itself \"%s\" disposition=%lu -> %s error=%lu", name, (unsigned long)disposition,
        file == INVALID_HANDLE_VALUE ? "failed" : "opened", (unsigned long)GetLastError());
    if (file == INVALID_HANDLE_VALUE)
        return;
    BY_HANDLE_FILE_INFORMATION info;
    BOOL ok = GetFileInformationByHandle(file, &info);
    Say("GetFileType %lu GetFileInformationByHandle -> %d attributes=%lx size=%lu links=%lu",
        (unsigned long)GetFileType(file), ok, ok ? (unsigned long)info.dwFileAttributes : 0UL,
        ok ? (unsigned long)info.nFileSizeLow : 0UL, ok ? (unsigned long)info.nNumberOfLinks : 0UL);
    SayFinalPath(file, name);
    switch (Below(3)) {
    case 0:
        Say("SetEndOfFile -> %d", SetEndOfFile(file));
        break;
    case 1: {
        SetInformationProc setInformation =
            (SetInformationProc)(void *)SystemCall("kernel32.dll", "SetFileInformationByHandle");
        BOOLEAN deleteFile = TRUE;
        if (!setInformation)
            break;
        BOOL deleted = setInformation(file, 4, &deleteFile, sizeof(deleteFile));
        Say("SetFileInformationByHandle delete -> %d", deleted);
        // The held handle keeps the name until it closes, as after DeleteFileA.
        if (deleted && g_heldFile != INVALID_HANDLE_VALUE && SameFile(name, g_heldFileName))
            g_heldDeleted = true;
        break;
    }
    default:
        break;
    }
    CloseHandle(file);
    Say("after close \"%s\" attributes=%lx", name, (unsigned long)GetFileAttributesA(path));
}

// A key opened as the link it may be, and deleted through that handle.
void DoDeleteThroughHandle()
{
    const char *path = Pick(kKeyPaths);
    HKEY key;
    LONG rc = RegOpenKeyExA(g_root, path, REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &key);
    Say("RegOpenKeyExA as itself \"%s\" -> %ld", path, (long)rc);
    if (rc != ERROR_SUCCESS)
        return;
    // A key with subkeys stays: Windows says STATUS_CANNOT_DELETE, Wine 8
    // STATUS_ACCESS_DENIED. Only whether it went is compared.
    DeleteKeyProc deleteKey = (DeleteKeyProc)(void *)SystemCall("ntdll.dll", "NtDeleteKey");
    if (deleteKey)
        Say("NtDeleteKey \"%s\" -> %s", path, deleteKey(key) == 0 ? "deleted" : "refused");
    RegCloseKey(key);
}

// ---- The scratch places --------------------------------------------------

void RemoveKeyTree(HKEY parent, const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(parent, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char name[MAX_PATH];
    DWORD length = sizeof(name);
    while (RegEnumKeyExA(key, 0, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS) {
        RemoveKeyTree(key, name);
        length = sizeof(name);
        if (RegDeleteKeyA(key, name) != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
}

bool RemoveDirTree(const char *dir)
{
    char pattern[MAX_PATH];
    if (!JoinPath(pattern, sizeof(pattern), dir, "*"))
        return false;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(data.cFileName, ".") || !strcmp(data.cFileName, ".."))
                continue;
            char path[MAX_PATH];
            if (!JoinPath(path, sizeof(path), dir, data.cFileName))
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirTree(path);
            else
                DeleteFileA(path);
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    return RemoveDirectoryA(dir) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool MakeScratch(DWORD seed)
{
    snprintf(g_keyPath, sizeof(g_keyPath), "Software\\QwDiff%lu", (unsigned long)seed);
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof(temp), temp);
    if (length == 0 || length >= sizeof(temp)) {
        fprintf(stderr, "qwdiff: no temporary directory (error %lu)\n", (unsigned long)GetLastError());
        return false;
    }
    int used = snprintf(g_dir, sizeof(g_dir), "%sQwDiff%lu", temp, (unsigned long)seed);
    if (used <= 0 || (size_t)used + 32 >= sizeof(g_dir)) {
        fprintf(stderr, "qwdiff: the temporary directory's path is too long: %s\n", temp);
        return false;
    }
    // A run that was cut short leaves its places behind.
    RemoveKeyTree(HKEY_CURRENT_USER, g_keyPath);
    RegDeleteKeyA(HKEY_CURRENT_USER, g_keyPath);
    RemoveDirTree(g_dir);
    DWORD disposition;
    LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, g_keyPath, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                              &g_root, &disposition);
    if (rc != ERROR_SUCCESS || disposition != REG_CREATED_NEW_KEY) {
        fprintf(stderr, "qwdiff: cannot make a new HKCU\\%s (%ld)\n", g_keyPath, (long)rc);
        return false;
    }
    if (!CreateDirectoryA(g_dir, NULL)) {
        fprintf(stderr, "qwdiff: cannot make %s (error %lu)\n", g_dir, (unsigned long)GetLastError());
        return false;
    }
    return true;
}

bool RemoveScratch()
{
    if (g_held)
        RegCloseKey(g_held);
    if (g_heldFile != INVALID_HANDLE_VALUE)
        CloseHandle(g_heldFile);
    RegCloseKey(g_root);
    RemoveKeyTree(HKEY_CURRENT_USER, g_keyPath);
    bool ok = true;
    if (RegDeleteKeyA(HKEY_CURRENT_USER, g_keyPath) != ERROR_SUCCESS) {
        fprintf(stderr, "qwdiff: HKCU\\%s is left behind\n", g_keyPath);
        ok = false;
    }
    if (!RemoveDirTree(g_dir) || GetFileAttributesA(g_dir) != INVALID_FILE_ATTRIBUTES) {
        fprintf(stderr, "qwdiff: %s is left behind\n", g_dir);
        ok = false;
    }
    return ok;
}

typedef void (*Call)();

// Registry calls come up about twice as often as file calls, as in the
// product.
const Call kCalls[] = {
    DoCreateKey, DoCreateKey, DoOpenKey,   DoSetValue,  DoSetValue,    DoSetValue,   DoQueryValue,
    DoQueryValue, DoEnumValues, DoEnumKeys, DoEnumRoot,  DoDeleteValue, DoDeleteKey,  DoQueryInfo,
    DoHoldKey,   DoUseHeldKey, DoUseHeldKey, DoWriteFile, DoWriteFile,   DoReadFile,   DoMove,
    DoMove,      DoDeleteFile, DoDirectory, DoAttributes, DoFind,       DoHoldFile,   DoHardLink,
    DoOpenAsItself, DoOpenAsItself, DoDeleteThroughHandle,
};

bool ParseNumber(const char *text, DWORD *number)
{
    char *end;
    unsigned long value = strtoul(text, &end, 10);
    if (!text[0] || *end)
        return false;
    *number = (DWORD)value;
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    DWORD seed = kDefaultSeed;
    DWORD count = kDefaultCount;
    if (argc > 3 || (argc > 1 && !ParseNumber(argv[1], &seed)) || (argc > 2 && !ParseNumber(argv[2], &count))) {
        fprintf(stderr, "usage: qwdiff [SEED [COUNT]]\n");
        return 2;
    }
    if (!MakeScratch(seed))
        return 1;
    printf("seed %lu count %lu\n", (unsigned long)seed, (unsigned long)count);
    for (g_step = 1; g_step <= count; g_step++) {
        Reseed(seed, g_step);
        Pick(kCalls)();
    }
    g_step = 0;
    Say("final state");
    DoEnumRoot();
    bool removed = RemoveScratch();
    fflush(stdout);
    return removed ? 0 : 1;
}
