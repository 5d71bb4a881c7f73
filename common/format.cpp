// Bounded formatting through the system's formatter, so that the program
// needs none of the compiler runtime's.
#include "common.h"

// wvsprintfA is told no buffer size. Windows documents 1024 bytes as the
// most it writes; one byte more leaves room for the NUL whichever way an
// implementation counts that limit.
#define WSPRINTF_LIMIT 1024

// Formats as wvsprintfA does and keeps as much of the text as fits into
// buffer: at most size - 1 bytes and the NUL. Returns the length of the
// whole text (as far as wvsprintfA's limit goes), so that a result of size
// or more tells the caller that the text was cut.
int FormatText(LPSTR buffer, int size, LPCSTR format, ...)
{
    char whole[WSPRINTF_LIMIT + 1];
    va_list args;

    va_start(args, format);
    wvsprintfA(whole, format, args);
    va_end(args);
    whole[WSPRINTF_LIMIT] = '\0';
    if (size > 0)
        lstrcpynA(buffer, whole, size);
    return lstrlenA(whole);
}
