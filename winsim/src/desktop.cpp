// The desktop side's shared state and its reset, the records that tests
// read, the screen, cursors and icons, and the common controls.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "desktop_internal.h"

namespace wsim {
namespace desk {

// Handles of the standard cursors and icons: fixed, distinct and never
// dereferenced, like the shared handles of the real system resources.
HCURSOR StandardCursor(WORD id)
{
    return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x00650000u | id));
}

namespace {

HICON StandardIcon(WORD id)
{
    return reinterpret_cast<HICON>(static_cast<uintptr_t>(0x00660000u | id));
}

HANDLE ModuleResourceHandle(WORD type, WORD id)
{
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x00670000u | (type << 12) | (id & 0x0FFF)));
}

void Init(State &s)
{
    s.cursor = StandardCursor(32512);
    s.localAccounts["Administrator"] = USER_PRIV_ADMIN;
    s.localAccounts["Guest"] = USER_PRIV_GUEST;
}

void ResetDesktop()
{
    S() = State();
    Init(S());
    RegisterSystemClasses();
    LoadProgramImports();
}

const bool kResetRegistered = (detail::OnReset(ResetDesktop), true);

}  // namespace

State &S()
{
    static State state;
    static bool ready = false;
    if (!ready) {
        ready = true;
        (void)kResetRegistered;
        Init(state);
        RegisterSystemClasses();
        LoadProgramImports();
    }
    return state;
}

void Die(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    fputs("winsim: ", stderr);
    vfprintf(stderr, format, args);
    fputs("\n", stderr);
    va_end(args);
    fflush(stderr);
    abort();
}

int NextSeq()
{
    return ++S().seq;
}

DWORD Clock()
{
    return S().clock;
}

bool Faulted(const char *call)
{
    DWORD error = 0;
    if (!detail::TakeFault(call, "*", &error))
        return false;
    SetLastError(error);
    return true;
}

void Count(const char *call)
{
    DWORD error = 0;
    detail::TakeFault(call, "*", &error);
}

}  // namespace desk

using namespace desk;

std::vector<CreatedWindow> CreatedWindows()
{
    return S().created;
}

std::vector<MessageEvent> MessageLog()
{
    return S().messageLog;
}

std::vector<TextChange> TextChanges()
{
    return S().texts;
}

std::vector<ProgressChange> ProgressChanges()
{
    return S().progress;
}

std::vector<WindowMove> WindowMoves()
{
    return S().moves;
}

std::vector<CursorChange> CursorChanges()
{
    return S().cursors;
}

HCURSOR CurrentCursor()
{
    return S().cursor;
}

bool CommonControlsInitialised()
{
    return S().commonControlsInitialised;
}

void SetScreenSize(int width, int height)
{
    S().screenWidth = width;
    S().screenHeight = height;
}

}  // namespace wsim

using namespace wsim::desk;

int GetSystemMetrics(int index)
{
    Count("GetSystemMetrics");
    switch (index) {
    case SM_CXSCREEN:
        return S().screenWidth;
    case SM_CYSCREEN:
        return S().screenHeight;
    default:
        return 0;
    }
}

// The standard cursors and icons come with a null instance; the program's
// own module holds only the resources that the resource compiler put in
// it, all under numeric ids.
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    if (Faulted("LoadCursorA"))
        return nullptr;
    if (!IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    WORD id = LOWORD(reinterpret_cast<ULONG_PTR>(name));
    if (instance == nullptr) {
        if (id >= 32512 && id <= 32651)
            return StandardCursor(id);
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const BYTE *data = nullptr;
    DWORD size = 0;
    const WORD kGroupCursor = 12;
    if (!wsim::detail::FindResourceData(kGroupCursor, id, &data, &size)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return static_cast<HCURSOR>(ModuleResourceHandle(kGroupCursor, id));
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name)
{
    if (Faulted("LoadIconA"))
        return nullptr;
    if (!IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    WORD id = LOWORD(reinterpret_cast<ULONG_PTR>(name));
    if (instance == nullptr) {
        if (id >= 32512 && id <= 32517)
            return StandardIcon(id);
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const BYTE *data = nullptr;
    DWORD size = 0;
    const WORD kGroupIcon = 14;
    if (!wsim::detail::FindResourceData(kGroupIcon, id, &data, &size)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return static_cast<HICON>(ModuleResourceHandle(kGroupIcon, id));
}

HCURSOR SetCursor(HCURSOR cursor)
{
    Count("SetCursor");
    HCURSOR previous = S().cursor;
    S().cursor = cursor;
    S().cursors.push_back({cursor, Clock(), NextSeq()});
    return previous;
}

HCURSOR GetCursor(void)
{
    Count("GetCursor");
    return S().cursor;
}

void InitCommonControls(void)
{
    Count("InitCommonControls");
    S().commonControlsInitialised = true;
}

namespace wsim {
namespace detail {

int NextRecordSeq()
{
    return desk::NextSeq();
}

DWORD RecordTime()
{
    return desk::Clock();
}

}  // namespace detail
}  // namespace wsim
