// The process's access token, its privileges, and the restart request.
#include "desktop_internal.h"

namespace wsim {
namespace desk {

namespace {

struct PrivilegeName {
    const char *name;
    DWORD luid;
};

// The locally unique identifiers that Windows gives its privileges.
const PrivilegeName kPrivileges[] = {
    {"SeSecurityPrivilege", 8},         {"SeTakeOwnershipPrivilege", 9}, {"SeSystemtimePrivilege", 12},
    {"SeBackupPrivilege", 17},          {"SeRestorePrivilege", 18},      {"SeShutdownPrivilege", 19},
    {"SeDebugPrivilege", 20},           {"SeChangeNotifyPrivilege", 23}, {"SeRemoteShutdownPrivilege", 24},
};
const DWORD kShutdownLuid = 19;
const DWORD kChangeNotifyLuid = 23;

bool CloseToken(HANDLE handle)
{
    return S().tokens.erase(handle) != 0;
}

const bool kCloserRegistered = (detail::OnCloseHandle(CloseToken), true);

// The privileges an administrator's token holds that matter here: the
// shutdown privilege (unless the test takes it away), held but disabled
// until asked for, and bypass traverse checking, always held and enabled.
bool Holds(DWORD luid)
{
    return luid == kChangeNotifyLuid || (luid == kShutdownLuid && S().shutdownHeld);
}

bool IsEnabledPrivilege(DWORD luid)
{
    return luid == kChangeNotifyLuid || (luid == kShutdownLuid && S().shutdownEnabled);
}

void SetPrivilege(DWORD luid, bool enable)
{
    if (luid == kShutdownLuid)
        S().shutdownEnabled = enable;
}

}  // namespace
}  // namespace desk

using namespace desk;

void SetShutdownPrivilegeHeld(bool held)
{
    (void)kCloserRegistered;
    S().shutdownHeld = held;
    if (!held)
        S().shutdownEnabled = false;
}

bool ShutdownPrivilegeEnabled()
{
    return S().shutdownEnabled;
}

int OpenTokenHandles()
{
    return static_cast<int>(S().tokens.size());
}

std::vector<ExitRequest> ExitRequests()
{
    return S().exitRequests;
}

}  // namespace wsim

using namespace wsim;
using namespace wsim::desk;

BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token)
{
    (void)kCloserRegistered;
    if (Faulted("OpenProcessToken"))
        return FALSE;
    if (process != GetCurrentProcess()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (token == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    HANDLE handle = reinterpret_cast<HANDLE>(S().nextToken);
    S().nextToken += 4;
    S().tokens[handle] = Token{access};
    *token = handle;
    return TRUE;
}

BOOL LookupPrivilegeValueA(LPCSTR, LPCSTR name, PLUID luid)
{
    if (Faulted("LookupPrivilegeValueA"))
        return FALSE;
    if (name == nullptr || luid == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (const PrivilegeName &p : kPrivileges) {
        if (detail::SameName(p.name, name)) {
            luid->LowPart = p.luid;
            luid->HighPart = 0;
            return TRUE;
        }
    }
    SetLastError(ERROR_NO_SUCH_PRIVILEGE);
    return FALSE;
}

// Success even when the token lacks one of the privileges: the call then
// says so only through the last error, ERROR_NOT_ALL_ASSIGNED; a complete
// success clears the last error.
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD bufferLength,
                           PTOKEN_PRIVILEGES previousState, PDWORD returnLength)
{
    if (Faulted("AdjustTokenPrivileges"))
        return FALSE;
    auto it = S().tokens.find(token);
    if (it == S().tokens.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD access = it->second.access;
    if (!(access & TOKEN_ADJUST_PRIVILEGES) || (previousState != nullptr && !(access & TOKEN_QUERY))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!disableAll && newState == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (previousState != nullptr) {
        DWORD count = disableAll ? 1 : newState->PrivilegeCount;
        DWORD needed = static_cast<DWORD>(sizeof(TOKEN_PRIVILEGES) +
                                          (count > 0 ? count - 1 : 0) * sizeof(LUID_AND_ATTRIBUTES));
        if (returnLength != nullptr)
            *returnLength = needed;
        if (bufferLength < needed) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        previousState->PrivilegeCount = 0;
    }

    bool allAssigned = true;
    if (disableAll) {
        if (previousState != nullptr && S().shutdownEnabled) {
            previousState->Privileges[0].Luid = {kShutdownLuid, 0};
            previousState->Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            previousState->PrivilegeCount = 1;
        }
        SetPrivilege(kShutdownLuid, false);
    } else {
        for (DWORD i = 0; i < newState->PrivilegeCount; i++) {
            const LUID_AND_ATTRIBUTES &p = newState->Privileges[i];
            if (p.Luid.HighPart != 0 || !Holds(p.Luid.LowPart)) {
                allAssigned = false;
                continue;
            }
            bool enable = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
            bool was = IsEnabledPrivilege(p.Luid.LowPart);
            if (previousState != nullptr && was != enable) {
                DWORD n = previousState->PrivilegeCount++;
                previousState->Privileges[n].Luid = p.Luid;
                previousState->Privileges[n].Attributes = was ? SE_PRIVILEGE_ENABLED : 0;
            }
            SetPrivilege(p.Luid.LowPart, enable);
        }
    }
    SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

// Logging off needs nothing; shutting down, restarting and powering off
// need the shutdown privilege enabled. An accepted request is recorded;
// the machine goes on as if the restart were still to come.
BOOL ExitWindowsEx(UINT flags, DWORD reason)
{
    if (Faulted("ExitWindowsEx"))
        return FALSE;
    if ((flags & (EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF)) && !S().shutdownEnabled) {
        SetLastError(ERROR_PRIVILEGE_NOT_HELD);
        return FALSE;
    }
    S().exitRequests.push_back({flags, reason, Clock(), NextSeq()});
    return TRUE;
}
