// The step "snapshot": writes registry trees and directory listings as
// text, so that a scenario can compare the machine's state with what it
// expects, byte for byte.
//
//   snapshot FILE ROOT\PATH[|VALUE]... [dir:PATH]...
//
// FILE is made in the records directory.
// ROOT is HKLM, HKCU, HKCR or HKU. Each tree is written key by key, the
// key's path in brackets, then one line per value; keys and values are
// sorted by name, letter case aside, so the text does not depend on the
// order in which they were created. A missing key gives "[PATH] missing".
// With "|VALUE" only that one value of the key is written, or
// "VALUE" missing; the key's other values and subkeys are left out.
// Value lines (UTF-8; "@" is the default value):
//
//   "Name" REG_SZ(LENGTH) "text"      LENGTH: the stored bytes, NUL included
//   "Name" REG_DWORD 11
//   "Name" REG_MULTI_SZ(LENGTH) "a" "b" ""   each string up to its NUL
//   "Name" TYPE(LENGTH) 0a 0b ...     any other type or size, as bytes
//
// "64:ROOT\PATH" reads the 64-bit registry view (KEY_WOW64_64KEY) and is
// written with that prefix; on 32-bit Windows it is the one view.
//
// "dir:PATH" lists the files of a directory (not its subdirectories),
// sorted like the keys: "<PATH>" then one line "NAME SIZE" per file.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fixture_util.h"
#include "steps.h"

#define NAME_SIZE 1024
#define LINE_SIZE 8192

static HANDLE g_out;
static REGSAM g_view;

static void WriteLine(const char *line)
{
    DWORD written;

    WriteFile(g_out, line, (DWORD)strlen(line), &written, NULL);
    WriteFile(g_out, "\n", 1, &written, NULL);
}

// ANSI text to UTF-8 with control characters spelled out.
static void Printable(const char *ansi, int length, char *out, int size)
{
    char text[LINE_SIZE];
    char utf8[LINE_SIZE];
    int used = 0;

    if (length >= (int)sizeof(text))
        length = sizeof(text) - 1;
    memcpy(text, ansi, length);
    text[length] = '\0';
    AnsiToUtf8(text, utf8, sizeof(utf8));
    for (const unsigned char *p = (const unsigned char *)utf8; *p != '\0' && used < size - 5; p++) {
        if (*p < 0x20)
            used += snprintf(out + used, size - used, "\\x%02x", *p);
        else
            out[used++] = (char)*p;
    }
    out[used] = '\0';
}

static int CompareNames(const void *a, const void *b)
{
    const char *left = *(const char *const *)a;
    const char *right = *(const char *const *)b;
    int order = lstrcmpiA(left, right);

    return order != 0 ? order : strcmp(left, right);
}

static const char *TypeName(DWORD type)
{
    switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    }
    return "REG_OTHER";
}

static void WriteValue(const char *name, DWORD type, const BYTE *data, DWORD size)
{
    static char line[LINE_SIZE * 2];
    char printableName[LINE_SIZE];
    char text[LINE_SIZE];
    int used;

    if (name[0] == '\0') {
        lstrcpynA(printableName, "@", sizeof(printableName));
    } else {
        Printable(name, lstrlenA(name), text, sizeof(text));
        snprintf(printableName, sizeof(printableName), "\"%s\"", text);
    }

    if ((type == REG_SZ || type == REG_EXPAND_SZ) && size > 0) {
        Printable((const char *)data, (int)strnlen((const char *)data, size), text, sizeof(text));
        snprintf(line, sizeof(line), "%s %s(%lu) \"%s\"", printableName, TypeName(type), (unsigned long)size, text);
    } else if (type == REG_MULTI_SZ) {
        used = snprintf(line, sizeof(line), "%s REG_MULTI_SZ(%lu)", printableName, (unsigned long)size);
        for (DWORD at = 0; at < size && used < (int)sizeof(line) - 8;) {
            int length = (int)strnlen((const char *)data + at, size - at);
            Printable((const char *)data + at, length, text, sizeof(text));
            used += snprintf(line + used, sizeof(line) - used, " \"%s\"", text);
            at += (DWORD)length + 1;
        }
    } else if (type == REG_DWORD && size == 4) {
        snprintf(line, sizeof(line), "%s REG_DWORD %lu", printableName, (unsigned long)*(const DWORD *)data);
    } else {
        used = snprintf(line, sizeof(line), "%s %s(%lu)", printableName, TypeName(type), (unsigned long)size);
        for (DWORD i = 0; i < size && used < (int)sizeof(line) - 4; i++)
            used += snprintf(line + used, sizeof(line) - used, " %02x", data[i]);
    }
    WriteLine(line);
}

// The names of the key's values or subkeys, sorted; freed by the caller.
static char **SortedNames(HKEY key, int subkeys, DWORD *count)
{
    DWORD keys = 0, values = 0;
    char **names;

    *count = 0;
    if (RegQueryInfoKeyA(key, NULL, NULL, NULL, &keys, NULL, NULL, &values, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
        return NULL;
    DWORD total = subkeys ? keys : values;
    if (total == 0)
        return NULL;
    names = (char **)calloc(total, sizeof(char *) + NAME_SIZE);
    if (names == NULL)
        return NULL;
    for (DWORD i = 0; i < total; i++) {
        char *name = (char *)(names + total) + (size_t)i * NAME_SIZE;
        DWORD length = NAME_SIZE;
        LONG result = subkeys ? RegEnumKeyExA(key, i, name, &length, NULL, NULL, NULL, NULL)
                              : RegEnumValueA(key, i, name, &length, NULL, NULL, NULL, NULL);
        if (result != ERROR_SUCCESS)
            break;
        names[(*count)++] = name;
    }
    qsort(names, *count, sizeof(char *), CompareNames);
    return names;
}

static void DumpValues(HKEY key)
{
    DWORD count;
    DWORD maxData = 0;
    char **names = SortedNames(key, 0, &count);
    BYTE *data;

    RegQueryInfoKeyA(key, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, &maxData, NULL, NULL);
    data = (BYTE *)malloc(maxData + 1);
    for (DWORD i = 0; i < count && data != NULL; i++) {
        DWORD type = 0;
        DWORD size = maxData + 1;
        if (RegQueryValueExA(key, names[i], NULL, &type, data, &size) == ERROR_SUCCESS)
            WriteValue(names[i], type, data, size);
    }
    free(data);
    free(names);
}

static void DumpOneValue(HKEY root, const char *rootName, const char *path, const char *name)
{
    static char line[LINE_SIZE];
    static BYTE data[65536];
    HKEY key;
    DWORD type = 0;
    DWORD size = sizeof(data);

    snprintf(line, sizeof(line), "[%s\\%s]", rootName, path);
    if (RegOpenKeyExA(root, path, 0, KEY_READ | g_view, &key) != ERROR_SUCCESS) {
        lstrcatA(line, " missing");
        WriteLine(line);
        return;
    }
    WriteLine(line);
    if (RegQueryValueExA(key, name, NULL, &type, data, &size) == ERROR_SUCCESS) {
        WriteValue(name, type, data, size);
    } else {
        snprintf(line, sizeof(line), "\"%s\" missing", name);
        WriteLine(line);
    }
    RegCloseKey(key);
}

static void DumpKey(HKEY root, const char *rootName, const char *path)
{
    static char line[LINE_SIZE];
    char printable[LINE_SIZE];
    HKEY key;
    DWORD count;
    char **names;

    Printable(path, lstrlenA(path), printable, sizeof(printable));
    if (RegOpenKeyExA(root, path[0] != '\0' ? path : NULL, 0, KEY_READ | g_view, &key) != ERROR_SUCCESS) {
        snprintf(line, sizeof(line), "[%s%s%s] missing", rootName, path[0] ? "\\" : "", printable);
        WriteLine(line);
        return;
    }
    snprintf(line, sizeof(line), "[%s%s%s]", rootName, path[0] ? "\\" : "", printable);
    WriteLine(line);
    DumpValues(key);

    names = SortedNames(key, 1, &count);
    RegCloseKey(key);
    for (DWORD i = 0; i < count; i++) {
        char child[LINE_SIZE];
        snprintf(child, sizeof(child), "%s%s%s", path, path[0] ? "\\" : "", names[i]);
        DumpKey(root, rootName, child);
    }
    free(names);
}

static HKEY RootOf(const char *name)
{
    if (strcmp(name, "HKLM") == 0)
        return HKEY_LOCAL_MACHINE;
    if (strcmp(name, "HKCU") == 0)
        return HKEY_CURRENT_USER;
    if (strcmp(name, "HKCR") == 0)
        return HKEY_CLASSES_ROOT;
    if (strcmp(name, "HKU") == 0)
        return HKEY_USERS;
    return NULL;
}

// Each name of the directory's files, with its size, in sorted order.
static void ListDirectory(const char *directory)
{
    static char line[LINE_SIZE];
    char pattern[MAX_PATH];
    WIN32_FIND_DATAA found;
    HANDLE find;
    char **names = NULL;
    DWORD *sizes = NULL;
    DWORD count = 0, capacity = 0;

    snprintf(line, sizeof(line), "<%s>", directory);
    WriteLine(line);
    snprintf(pattern, sizeof(pattern), "%s\\*", directory);
    find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        if (count == capacity) {
            DWORD grownCapacity = capacity ? capacity * 2 : 256;
            char **grown = (char **)realloc(names, grownCapacity * sizeof(char *));
            if (grown == NULL)
                break;
            names = grown;
            capacity = grownCapacity;
        }
        names[count] = _strdup(found.cFileName);
        if (names[count] != NULL)
            count++;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    if (names == NULL)
        return;

    qsort(names, count, sizeof(char *), CompareNames);
    sizes = (DWORD *)calloc(count, sizeof(DWORD));
    for (DWORD i = 0; i < count && sizes != NULL; i++) {
        char path[MAX_PATH];
        WIN32_FILE_ATTRIBUTE_DATA data;
        snprintf(path, sizeof(path), "%s\\%s", directory, names[i]);
        if (GetFileAttributesExA(path, GetFileExInfoStandard, &data))
            sizes[i] = data.nFileSizeLow;
        snprintf(line, sizeof(line), "%s %lu", names[i], (unsigned long)sizes[i]);
        WriteLine(line);
    }
    for (DWORD i = 0; i < count; i++)
        free(names[i]);
    free(names);
    free(sizes);
}

static int DumpArgument(const char *argument)
{
    char rootName[16];
    char path[LINE_SIZE];
    const char *slash = strchr(argument, '\\');
    int rootLength = slash != NULL ? (int)(slash - argument) : lstrlenA(argument);
    HKEY root;
    char *bar;

    if (strncmp(argument, "dir:", 4) == 0) {
        if (!ExpandPath(argument + 4, path))
            return 0;
        ListDirectory(path);
        return 1;
    }
    g_view = strncmp(argument, "64:", 3) == 0 ? KEY_WOW64_64KEY : 0;
    lstrcpynA(rootName, argument, rootLength < 7 ? rootLength + 1 : 8);
    root = RootOf(g_view != 0 ? rootName + 3 : rootName);
    if (root == NULL)
        return 0;
    lstrcpynA(path, slash != NULL ? slash + 1 : "", sizeof(path));
    bar = strchr(path, '|');
    if (bar != NULL) {
        *bar = '\0';
        DumpOneValue(root, rootName, path, bar + 1);
    } else {
        DumpKey(root, rootName, path);
    }
    return 1;
}

int SnapshotStep(int argc, char **argv)
{
    char file[MAX_PATH];
    int ok = 1;

    if (argc < 3 || !RecordPath(argv[1], file))
        return 0;
    g_out = CreateFileA(file, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (g_out == INVALID_HANDLE_VALUE)
        return 0;
    for (int i = 2; i < argc; i++)
        ok = DumpArgument(argv[i]) && ok;
    CloseHandle(g_out);
    return ok;
}
