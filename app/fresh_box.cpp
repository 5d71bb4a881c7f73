// Boxes that take only what the user does once they are up.
#include <windows.h>

#include "app/app.h"

// The first stage sleeps on the program's only thread, and keys pressed
// meanwhile wait in its queue; a box would take a waiting Enter as its
// default button, answering a question that nobody saw. Keyboard and
// mouse input is dropped unseen; posted messages stay, in order.
static void DropWaitingInput(void)
{
    MSG msg;

    while (PeekMessageA(&msg, NULL, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
        continue;
    while (PeekMessageA(&msg, NULL, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE))
        continue;
}

int ShowFreshBox(HWND owner, LPCSTR text, UINT type)
{
    DropWaitingInput();
    return MessageBoxA(owner, text, APP_TITLE, type);
}
