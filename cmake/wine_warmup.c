/* Started once before the windows tests: the first Wine process of a
   session boots the prefix (services, device manager, desktop), which
   takes a while, most of all under emulation. Doing it here keeps that
   cost out of the tests' own time limits and makes a broken Wine fail
   here, plainly. */
#include <windows.h>

int main(void)
{
    /* Asking for the desktop window starts Wine's desktop process. */
    return GetDesktopWindow() != NULL ? 0 : 1;
}
