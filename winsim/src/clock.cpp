// The virtual clock, and the calls that name the running process.
#include "desktop_internal.h"

namespace wsim {

DWORD Now()
{
    return desk::S().clock;
}

void OnSleep(std::function<void(DWORD milliseconds)> hook)
{
    desk::S().sleepHook = std::move(hook);
}

}  // namespace wsim

using namespace wsim::desk;

namespace {

const DWORD kInfinite = 0xFFFFFFFF;
const DWORD kProcessId = 0x1F4;

}  // namespace

// Nothing else runs while the one thread sleeps, so the clock jumps ahead
// at once; other programs' windows that were due to close by then are gone
// when the sleep returns.
void Sleep(DWORD milliseconds)
{
    Count("Sleep");
    if (milliseconds == kInfinite)
        Die("Sleep(INFINITE): the program would never wake up");
    S().clock += milliseconds;
    RemoveExpiredForeignWindows();
    if (S().sleepHook) {
        std::function<void(DWORD)> hook = S().sleepHook;
        hook(milliseconds);
    }
}

DWORD GetTickCount(void)
{
    Count("GetTickCount");
    return S().clock;
}

HANDLE GetCurrentProcess(void)
{
    Count("GetCurrentProcess");
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}

HANDLE GetCurrentThread(void)
{
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));
}

DWORD GetCurrentProcessId(void)
{
    Count("GetCurrentProcessId");
    return kProcessId;
}
