#include "fixture_util.h"

void WideToUtf8(LPCWSTR text, LPSTR utf8, int size)
{
    if (size <= 0)
        return;
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, size, NULL, NULL) == 0)
        utf8[0] = '\0';
    utf8[size - 1] = '\0';
}

void AnsiToUtf8(LPCSTR text, LPSTR utf8, int size)
{
    WCHAR wide[1024];

    if (size <= 0)
        return;
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, ARRAYSIZE(wide)) == 0) {
        utf8[0] = '\0';
        return;
    }
    wide[ARRAYSIZE(wide) - 1] = L'\0';
    WideToUtf8(wide, utf8, size);
}

static int AppendToHandle(HANDLE file, LPCSTR text)
{
    DWORD written = 0;
    DWORD length = (DWORD)lstrlenA(text);
    int ok;

    if (file == INVALID_HANDLE_VALUE)
        return 0;
    SetFilePointer(file, 0, NULL, FILE_END);
    ok = WriteFile(file, text, length, &written, NULL) && written == length;
    CloseHandle(file);
    return ok;
}

// The record files are read by the scenario while the fixture still runs,
// so they are shared for reading.
int AppendToFile(LPCSTR path, LPCSTR text)
{
    return AppendToHandle(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, NULL),
                          text);
}

int AppendToFileW(LPCWSTR path, LPCSTR text)
{
    return AppendToHandle(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, NULL),
                          text);
}

int PathExists(LPCSTR path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}
