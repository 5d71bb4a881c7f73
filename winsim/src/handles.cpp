// Kernel handle values and the closers of the other sides' handles.
#include <vector>

#include "core.h"

namespace wsim {
namespace {

ULONG_PTR g_nextHandle = 0x100;

std::vector<bool (*)(HANDLE)> &Closers()
{
    static std::vector<bool (*)(HANDLE)> closers;
    return closers;
}

}  // namespace

namespace detail {

void OnCloseHandle(bool (*closer)(HANDLE handle))
{
    Closers().push_back(closer);
}

}  // namespace detail

namespace core {

void ResetHandles()
{
    g_nextHandle = 0x100;
}

ULONG_PTR NextHandleValue()
{
    g_nextHandle += 4;
    return g_nextHandle;
}

bool CloseForeignHandle(HANDLE handle)
{
    for (bool (*closer)(HANDLE) : Closers())
        if (closer(handle))
            return true;
    return false;
}

}  // namespace core
}  // namespace wsim
