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
// Where the linker puts an executable's image unless told otherwise.
const uintptr_t kImageBase = 0x00400000;
const DWORD kErrorModNotFound = 126;

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

DWORD GetCurrentProcessId(void)
{
    Count("GetCurrentProcessId");
    return kProcessId;
}

// The program's own image, and the system libraries that it imports,
// which are loaded with it.
HMODULE GetModuleHandleA(LPCSTR name)
{
    if (Faulted("GetModuleHandleA"))
        return nullptr;
    if (name == nullptr)
        return reinterpret_cast<HMODULE>(kImageBase);
    static const char *const kLoaded[] = {"kernel32", "user32", "advapi32", "netapi32", "shell32", "comctl32"};
    std::string base = name;
    if (base.size() > 4 && wsim::detail::SameName(base.substr(base.size() - 4), ".dll"))
        base.resize(base.size() - 4);
    for (size_t i = 0; i < ARRAYSIZE(kLoaded); i++) {
        if (wsim::detail::SameName(base, kLoaded[i]))
            return reinterpret_cast<HMODULE>(0x77000000u + (i << 20));
    }
    SetLastError(kErrorModNotFound);
    return nullptr;
}
