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

// Letter case ignored for A to Z alone, as two paths that the file system
// gave back differ in case at most there (the drive letter); a double-byte
// character is compared whole, since its second byte may look like a letter.
int TextEqualsNoCase(LPCSTR a, LPCSTR b)
{
    for (;;) {
        char x = *a;
        char y = *b;
        if (IsDBCSLeadByte((BYTE)x)) {
            if (x != y || a[1] != b[1] || a[1] == '\0')
                return 0;
            a += 2;
            b += 2;
            continue;
        }
        if (x >= 'a' && x <= 'z')
            x = (char)(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = (char)(y - 'a' + 'A');
        if (x != y)
            return 0;
        if (x == '\0')
            return 1;
        a++;
        b++;
    }
}

// "X:\..." and nothing else. The user chooses the log's place through TMP:
// a share would have this elevated process authenticate to its server, a
// "\\?\" or "\\.\" name reaches the object manager's links, pipes and
// devices, a drive-relative "X:..." depends on a current directory, and the
// shell would parse a namespace name ("::{...}") by loading its handlers.
int IsLocalDrivePath(LPCSTR path)
{
    char drive = path[0];

    if (drive >= 'a' && drive <= 'z')
        drive = (char)(drive - 'a' + 'A');
    return drive >= 'A' && drive <= 'Z' && path[1] == ':' && path[2] == '\\';
}
