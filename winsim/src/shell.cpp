// The shell's task allocator, the desktop folder and its parsing of file
// system paths into item-id lists.
#include <stdlib.h>

#include <shlobj.h>

#include "desktop_internal.h"

namespace wsim {
namespace desk {

namespace {

const GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kIidMalloc = {0x00000002, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kIidShellFolder = {0x000214E6, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const ULONG kFileSystemAttribute = 0x40000000;

bool SameGuid(const GUID &a, const GUID &b)
{
    return memcmp(&a, &b, sizeof(GUID)) == 0;
}

HRESULT FaultResult(const char *call)
{
    DWORD error = 0;
    if (!detail::TakeFault(call, "*", &error))
        return S_OK;
    return HRESULT_FROM_WIN32(error);
}

// One reference count per object, shared by every interface pointer
// handed out; a release below zero is a fault of the program that no
// real object would survive.
ULONG AddReference(int *count)
{
    return static_cast<ULONG>(++*count);
}

ULONG ReleaseReference(int *count, const char *what)
{
    if (*count <= 0)
        Die("%s released more often than it was obtained", what);
    return static_cast<ULONG>(--*count);
}

class TaskAllocator : public IMalloc {
public:
    HRESULT QueryInterface(REFIID riid, void **object) override
    {
        if (object == nullptr)
            return E_POINTER;
        if (SameGuid(riid, kIidUnknown) || SameGuid(riid, kIidMalloc)) {
            AddRef();
            *object = static_cast<IMalloc *>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return AddReference(&S().mallocRefs); }
    ULONG Release() override { return ReleaseReference(&S().mallocRefs, "The task allocator"); }

    void *Alloc(SIZE_T size) override
    {
        std::vector<unsigned char> block(size > 0 ? size : 1, 0);
        void *data = block.data();
        S().taskBlocks[data] = std::move(block);
        return data;
    }

    void *Realloc(void *block, SIZE_T size) override
    {
        if (block == nullptr)
            return Alloc(size);
        if (size == 0) {
            Free(block);
            return nullptr;
        }
        auto it = S().taskBlocks.find(block);
        if (it == S().taskBlocks.end())
            Die("IMalloc::Realloc of a block that the task allocator did not give");
        void *moved = Alloc(size);
        SIZE_T keep = it->second.size() < size ? it->second.size() : size;
        memcpy(moved, block, keep);
        Free(block);
        return moved;
    }

    void Free(void *block) override
    {
        if (block == nullptr)
            return;
        auto it = S().taskBlocks.find(block);
        if (it == S().taskBlocks.end())
            Die("IMalloc::Free of a block that the task allocator did not give, or freed twice");
        S().idLists.erase(block);
        S().taskBlocks.erase(it);
    }

    SIZE_T GetSize(void *block) override
    {
        auto it = S().taskBlocks.find(block);
        return it == S().taskBlocks.end() ? static_cast<SIZE_T>(-1) : it->second.size();
    }

    int DidAlloc(void *block) override
    {
        if (block == nullptr)
            return -1;
        return S().taskBlocks.count(block) ? 1 : 0;
    }

    void HeapMinimize() override {}
};

// The root of the namespace. Parsing a path gives a list of one item that
// holds the path's long form: the program treats item-id lists as opaque.
class DesktopFolder : public IShellFolder {
public:
    HRESULT QueryInterface(REFIID riid, void **object) override
    {
        if (object == nullptr)
            return E_POINTER;
        if (SameGuid(riid, kIidUnknown) || SameGuid(riid, kIidShellFolder)) {
            AddRef();
            *object = static_cast<IShellFolder *>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return AddReference(&S().desktopRefs); }
    ULONG Release() override { return ReleaseReference(&S().desktopRefs, "The desktop folder"); }

    HRESULT ParseDisplayName(HWND, IBindCtx *, LPWSTR displayName, ULONG *eaten, PIDLIST_RELATIVE *idList,
                             ULONG *attributes) override
    {
        if (idList != nullptr)
            *idList = nullptr;
        HRESULT fault = FaultResult("ParseDisplayName");
        if (FAILED(fault))
            return fault;
        if (displayName == nullptr || idList == nullptr)
            return E_INVALIDARG;
        std::u16string wide = displayName;
        std::string longPath = detail::LongPathOf(detail::WideToAnsi(wide));
        // A folder is the same item with or without its final backslash;
        // only a drive's root keeps it. Trimmed on characters: in code
        // page 932 a byte 0x5C can end a double-byte character.
        std::u16string longWide = detail::AnsiToWide(longPath);
        while (longWide.size() > 3 && longWide.back() == u'\\')
            longWide.pop_back();
        longPath = detail::WideToAnsi(longWide);
        if (longPath.empty())
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        *idList = NewIdList(longPath);
        if (eaten != nullptr)
            *eaten = static_cast<ULONG>(wide.size());
        if (attributes != nullptr)
            *attributes &= kFileSystemAttribute;
        return S_OK;
    }

private:
    static LPITEMIDLIST NewIdList(const std::string &path)
    {
        // One item (size, the path and its NUL) and the terminating empty item.
        size_t itemSize = sizeof(WORD) + path.size() + 1;
        BYTE *block = static_cast<BYTE *>(Allocator().Alloc(itemSize + sizeof(WORD)));
        WORD cb = static_cast<WORD>(itemSize);
        memcpy(block, &cb, sizeof(WORD));
        memcpy(block + sizeof(WORD), path.c_str(), path.size() + 1);
        S().idLists.insert(block);
        return reinterpret_cast<LPITEMIDLIST>(block);
    }

public:
    static TaskAllocator &Allocator()
    {
        static TaskAllocator allocator;
        return allocator;
    }
};

DesktopFolder &Desktop()
{
    static DesktopFolder desktop;
    return desktop;
}

}  // namespace
}  // namespace desk

int OutstandingIdLists()
{
    return static_cast<int>(desk::S().idLists.size());
}

int OutstandingShellReferences()
{
    return desk::S().mallocRefs + desk::S().desktopRefs;
}

}  // namespace wsim

using namespace wsim;
using namespace wsim::desk;

HRESULT SHGetMalloc(IMalloc **allocator)
{
    if (allocator == nullptr)
        return E_INVALIDARG;
    *allocator = nullptr;
    HRESULT fault = FaultResult("SHGetMalloc");
    if (FAILED(fault))
        return fault;
    TaskAllocator &task = DesktopFolder::Allocator();
    task.AddRef();
    *allocator = &task;
    return S_OK;
}

HRESULT SHGetDesktopFolder(IShellFolder **folder)
{
    if (folder == nullptr)
        return E_INVALIDARG;
    *folder = nullptr;
    HRESULT fault = FaultResult("SHGetDesktopFolder");
    if (FAILED(fault))
        return fault;
    Desktop().AddRef();
    *folder = &Desktop();
    return S_OK;
}

// Fails with an empty path for a list that is not a file system path.
BOOL SHGetPathFromIDListA(PCIDLIST_ABSOLUTE idList, LPSTR path)
{
    if (path != nullptr)
        path[0] = '\0';
    if (FAILED(FaultResult("SHGetPathFromIDListA")))
        return FALSE;
    if (idList == nullptr || path == nullptr)
        return FALSE;
    const BYTE *item = reinterpret_cast<const BYTE *>(idList);
    WORD cb = 0;
    memcpy(&cb, item, sizeof(WORD));
    if (cb <= sizeof(WORD))
        return FALSE;
    const char *text = reinterpret_cast<const char *>(item + sizeof(WORD));
    size_t length = strnlen(text, cb - sizeof(WORD));
    if (length >= MAX_PATH)
        return FALSE;
    memcpy(path, text, length);
    path[length] = '\0';
    return TRUE;
}
