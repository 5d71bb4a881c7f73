// The text loader: string-table texts in the user's language, handed out
// from a ring of buffers so that several can be in use at once.
#include "common.h"

#define TEXT_SLOTS 10
#define TEXT_SIZE 512

static char s_texts[TEXT_SLOTS][TEXT_SIZE];
static WORD s_nextSlot = 0;

// The text stays valid until ten further texts have been loaded. A missing
// id gives the empty text.
LPSTR LoadResText(UINT id)
{
    if (s_nextSlot >= TEXT_SLOTS)
        s_nextSlot = 0;
    LPSTR text = s_texts[s_nextSlot];
    if (LoadStringA(NULL, id, text, TEXT_SIZE) == 0)
        text[0] = '\0';
    s_nextSlot++;
    return text;
}
