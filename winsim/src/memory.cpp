// Virtual memory: committed blocks of whole pages, zero-filled, and given
// back only whole.
#include <cstdlib>
#include <map>

#include "core.h"
#include "winsim.h"

namespace wsim {
namespace {

const SIZE_T kPage = 4096;

std::map<void *, SIZE_T> g_blocks;

}  // namespace

namespace core {

void ResetMemory()
{
    // The old machine's memory goes with it.
    for (const auto &block : g_blocks)
        free(block.first);
    g_blocks.clear();
}

}  // namespace core

int LiveAllocations()
{
    core::EnsureMachine();
    return (int)g_blocks.size();
}

}  // namespace wsim

using namespace wsim;

LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD type, DWORD protect)
{
    (void)protect;
    if (core::Faulted("VirtualAlloc", "*"))
        return nullptr;
    if (address || size == 0 || !(type & (MEM_COMMIT | MEM_RESERVE))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    SIZE_T rounded = (size + kPage - 1) / kPage * kPage;
    void *block = aligned_alloc(kPage, rounded);
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    memset(block, 0, rounded);
    g_blocks[block] = rounded;
    return block;
}

BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD type)
{
    if (core::Faulted("VirtualFree", "*"))
        return FALSE;
    if (type != MEM_RELEASE && type != MEM_DECOMMIT) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (type == MEM_RELEASE && size != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto it = g_blocks.find(address);
    if (it == g_blocks.end()) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    if (type == MEM_RELEASE) {
        free(address);
        g_blocks.erase(it);
    }
    return TRUE;
}

// The process heap: blocks of the C runtime's, zero-filled when asked.
HANDLE GetProcessHeap(void)
{
    static int heap;
    return &heap;
}

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T size)
{
    (void)heap;
    return (flags & HEAP_ZERO_MEMORY) ? calloc(1, size ? size : 1) : malloc(size ? size : 1);
}

BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID memory)
{
    (void)heap;
    (void)flags;
    free(memory);
    return TRUE;
}
