// Virtual memory: committed blocks of whole pages, zero-filled, and given
// back only whole. The process heap: blocks of any size.
#include <cstdlib>
#include <map>

#include "core.h"
#include "winsim.h"

namespace wsim {
namespace {

const SIZE_T kPage = 4096;

std::map<void *, SIZE_T> g_blocks;
std::map<void *, SIZE_T> g_heapBlocks;
// The process heap's handle; it has no other heap beside it.
char g_processHeap;

}  // namespace

namespace core {

void ResetMemory()
{
    // The old machine's memory goes with it.
    for (const auto &block : g_blocks)
        free(block.first);
    g_blocks.clear();
    for (const auto &block : g_heapBlocks)
        free(block.first);
    g_heapBlocks.clear();
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

HANDLE GetProcessHeap(void)
{
    return &g_processHeap;
}

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T size)
{
    if (heap != &g_processHeap)
        return nullptr;
    // Even an empty block has an address of its own.
    void *block = malloc(size ? size : 1);
    if (!block)
        return nullptr;
    if (flags & HEAP_ZERO_MEMORY)
        memset(block, 0, size);
    g_heapBlocks[block] = size;
    return block;
}

BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block)
{
    (void)flags;
    auto it = g_heapBlocks.find(block);
    if (heap != &g_processHeap || it == g_heapBlocks.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    free(block);
    g_heapBlocks.erase(it);
    return TRUE;
}
