// Byte-for-byte text comparison. The system's lstrcmpA compares by the
// user's locale, which would take some different names for the same.
#include "common.h"

int TextEquals(LPCSTR a, LPCSTR b)
{
    while (*a != '\0' && *a == *b) {
        a++;
        b++;
    }
    return *a == *b ? 1 : 0;
}
