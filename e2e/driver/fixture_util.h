// Small helpers shared by the whole-program test fixtures: UTF-8 records
// that the scenario scripts compare byte for byte.
#pragma once

#include <windows.h>

// Converts ANSI text (the process's code page) to UTF-8 through UTF-16.
// The result is always NUL-terminated within size bytes.
void AnsiToUtf8(LPCSTR text, LPSTR utf8, int size);

// Converts UTF-16 text to UTF-8, NUL-terminated within size bytes.
void WideToUtf8(LPCWSTR text, LPSTR utf8, int size);

// Appends the bytes of text to the file at path, creating it when
// missing. Returns 1 when everything was written.
int AppendToFile(LPCSTR path, LPCSTR text);
int AppendToFileW(LPCWSTR path, LPCSTR text);

// 1 when a file or directory of that name exists.
int PathExists(LPCSTR path);
