// The C runtime's stream calls on Windows paths, as Wine's tests make them
// to write a small file: mapped onto the simulated files, so that the file
// is made on the simulated disk and not on the host's.
#pragma once

#include <windows.h>

#include <stdio.h>

static inline FILE *conformance_fopen(const char *path, const char *mode)
{
    bool reads = mode[0] == 'r';
    HANDLE file = CreateFileA(path, reads ? GENERIC_READ : GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              reads ? OPEN_EXISTING : CREATE_ALWAYS, 0, NULL);
    return file == INVALID_HANDLE_VALUE ? NULL : (FILE *)file;
}

static inline int conformance_fputs(const char *text, FILE *stream)
{
    DWORD written;
    return WriteFile((HANDLE)stream, text, (DWORD)strlen(text), &written, NULL) ? 0 : EOF;
}

static inline int conformance_fclose(FILE *stream)
{
    return CloseHandle((HANDLE)stream) ? 0 : EOF;
}

#define fopen conformance_fopen
#define fputs conformance_fputs
#define fclose conformance_fclose
