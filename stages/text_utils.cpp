// Small text helpers of the renaming routine.
#include "stages/stages.h"

// Removes the blanks (spaces only; tabs and line ends stay) at both ends of
// the text, in place. Returns 0 for the empty text, else 1, also when
// nothing but blanks was there.
int TrimBlanks(LPSTR text)
{
    int length = lstrlenA(text);
    if (length == 0)
        return 0;

    while (length > 0 && text[length - 1] == ' ')
        text[--length] = '\0';

    int leading = 0;
    while (text[leading] == ' ')
        leading++;
    // The text moves towards its start, so a forward copy never reads a
    // byte it has already overwritten.
    if (leading > 0) {
        for (int i = leading; i <= length; i++)
            text[i - leading] = text[i];
    }
    return 1;
}

// Counts the bytes of the text equal to the first byte of `character`.
// Bytes are compared one by one, with no regard to double-byte characters.
int CountChar(LPCSTR text, LPCSTR character)
{
    int count = 0;
    for (LPCSTR p = text; *p != '\0'; p++) {
        if (*p == character[0])
            count++;
    }
    return count;
}
