// shell32 of the simulated Windows: the task allocator, the desktop folder
// and path conversion through item-id lists.
#pragma once

#include "windows.h"

typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID, IID;
typedef const IID &REFIID;

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void **object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
};

struct IMalloc : public IUnknown {
    virtual void *Alloc(SIZE_T size) = 0;
    virtual void *Realloc(void *block, SIZE_T size) = 0;
    virtual void Free(void *block) = 0;
    virtual SIZE_T GetSize(void *block) = 0;
    virtual int DidAlloc(void *block) = 0;
    virtual void HeapMinimize() = 0;
};
typedef IMalloc *LPMALLOC;

struct IBindCtx;

typedef struct _SHITEMID {
    WORD cb;
    BYTE abID[1];
} SHITEMID;
typedef struct _ITEMIDLIST {
    SHITEMID mkid;
} ITEMIDLIST, *LPITEMIDLIST;
typedef const ITEMIDLIST *LPCITEMIDLIST;
typedef LPITEMIDLIST PIDLIST_RELATIVE;
typedef LPCITEMIDLIST PCIDLIST_ABSOLUTE;

struct IShellFolder : public IUnknown {
    virtual HRESULT ParseDisplayName(HWND owner, IBindCtx *bindContext, LPWSTR displayName, ULONG *eaten,
                                     PIDLIST_RELATIVE *idList, ULONG *attributes) = 0;
};
typedef IShellFolder *LPSHELLFOLDER;

HRESULT SHGetMalloc(IMalloc **allocator);
HRESULT SHGetDesktopFolder(IShellFolder **folder);
BOOL SHGetPathFromIDListA(PCIDLIST_ABSOLUTE idList, LPSTR path);
