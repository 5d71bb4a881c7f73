// The logged-on user, the account records of the local machine and of the
// domain controller, and the buffers that the network calls hand out.
#include "desktop_internal.h"

namespace wsim {
namespace desk {

namespace {

const NET_API_STATUS kErrorBadNetPath = 53;
const NET_API_STATUS kErrorInvalidLevel = 124;

// A network call's fault comes back as its status; the thread's last
// error is not involved.
bool NetFault(const char *call, NET_API_STATUS *status)
{
    DWORD error = 0;
    if (!detail::TakeFault(call, "*", &error))
        return false;
    *status = error;
    return true;
}

BYTE *NewNetBuffer(size_t size)
{
    std::vector<unsigned char> block(size, 0);
    void *data = block.data();
    S().netBuffers[data] = std::move(block);
    return static_cast<BYTE *>(data);
}

const std::pair<const std::string, int> *FindAccount(const std::map<std::string, int> &accounts,
                                                      const std::string &name)
{
    for (const auto &entry : accounts) {
        if (detail::SameName(entry.first, name))
            return &entry;
    }
    return nullptr;
}

void SetAccount(std::map<std::string, int> &accounts, const char *name, int privilege)
{
    for (auto it = accounts.begin(); it != accounts.end(); ++it) {
        if (detail::SameName(it->first, name)) {
            accounts.erase(it);
            break;
        }
    }
    if (privilege != kNoAccount)
        accounts[name] = privilege;
}

std::string ServerName(LPCWSTR server)
{
    if (server == nullptr)
        return "";
    std::string name = detail::WideToAnsi(server);
    if (name.compare(0, 2, "\\\\") == 0)
        name.erase(0, 2);
    return name;
}

// USER_INFO_1 followed in the same block by the name; the other texts are
// empty, as for an account that has none set.
LPBYTE NewUserInfo(const std::string &accountName, int privilege)
{
    std::u16string name = detail::AnsiToWide(accountName);
    size_t nameBytes = (name.size() + 1) * sizeof(WCHAR);
    BYTE *block = NewNetBuffer(sizeof(USER_INFO_1) + nameBytes + sizeof(WCHAR));
    USER_INFO_1 *info = reinterpret_cast<USER_INFO_1 *>(block);
    WCHAR *nameCopy = reinterpret_cast<WCHAR *>(block + sizeof(USER_INFO_1));
    memcpy(nameCopy, name.c_str(), nameBytes);
    WCHAR *empty = reinterpret_cast<WCHAR *>(block + sizeof(USER_INFO_1) + nameBytes);
    info->usri1_name = nameCopy;
    info->usri1_password = nullptr;
    info->usri1_password_age = 0;
    info->usri1_priv = static_cast<DWORD>(privilege);
    info->usri1_home_dir = empty;
    info->usri1_comment = empty;
    info->usri1_flags = 0;
    info->usri1_script_path = empty;
    return block;
}

}  // namespace
}  // namespace desk

using namespace desk;

void SetUserName(const char *name)
{
    S().userName = name;
}

void SetLocalAccount(const char *name, int privilege)
{
    SetAccount(S().localAccounts, name, privilege);
}

void SetDomainController(const char *dcName)
{
    S().dcName = dcName ? dcName : "";
}

void SetDomainAccount(const char *name, int privilege)
{
    SetAccount(S().domainAccounts, name, privilege);
}

std::vector<AccountQuery> AccountQueries()
{
    return S().accountQueries;
}

int OutstandingNetBuffers()
{
    return static_cast<int>(S().netBuffers.size());
}

}  // namespace wsim

using namespace wsim;
using namespace wsim::desk;

// The size goes in and comes back with the terminating NUL counted; a
// buffer that is too small gets nothing and learns the size it needs.
BOOL GetUserNameA(LPSTR buffer, LPDWORD size)
{
    if (Faulted("GetUserNameA"))
        return FALSE;
    if (size == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string &name = S().userName;
    DWORD needed = static_cast<DWORD>(name.size() + 1);
    if (buffer == nullptr || *size < needed) {
        *size = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(buffer, name.c_str(), needed);
    *size = needed;
    return TRUE;
}

// A null or empty server is the local machine; otherwise only the domain
// controller answers.
NET_API_STATUS NetUserGetInfo(LPCWSTR server, LPCWSTR userName, DWORD level, LPBYTE *buffer)
{
    NET_API_STATUS status = NERR_Success;
    if (NetFault("NetUserGetInfo", &status))
        return status;
    std::string serverName = ServerName(server);
    std::string user = userName ? detail::WideToAnsi(userName) : "";
    const std::map<std::string, int> *accounts = &S().localAccounts;
    const std::pair<const std::string, int> *account = nullptr;
    if (buffer == nullptr || userName == nullptr) {
        status = ERROR_INVALID_PARAMETER;
    } else if (level != 0 && level != 1) {
        status = kErrorInvalidLevel;
    } else if (!serverName.empty() && (S().dcName.empty() || !detail::SameName(serverName, S().dcName))) {
        status = kErrorBadNetPath;
    } else {
        if (!serverName.empty())
            accounts = &S().domainAccounts;
        account = FindAccount(*accounts, user);
        if (account == nullptr)
            status = NERR_UserNotFound;
    }
    S().accountQueries.push_back({serverName.empty() ? "" : "\\\\" + serverName, user, status});
    if (status == NERR_Success)
        *buffer = NewUserInfo(account->first, account->second);
    return status;
}

// The name of the primary domain controller, as "\\NAME".
NET_API_STATUS NetGetDCName(LPCWSTR server, LPCWSTR, LPBYTE *buffer)
{
    NET_API_STATUS status = NERR_Success;
    if (NetFault("NetGetDCName", &status))
        return status;
    if (buffer == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (!ServerName(server).empty())
        return kErrorBadNetPath;
    if (S().dcName.empty())
        return NERR_DCNotFound;
    std::u16string name = u"\\\\" + detail::AnsiToWide(S().dcName);
    size_t bytes = (name.size() + 1) * sizeof(WCHAR);
    BYTE *block = NewNetBuffer(bytes);
    memcpy(block, name.c_str(), bytes);
    *buffer = block;
    return NERR_Success;
}

NET_API_STATUS NetApiBufferFree(LPVOID buffer)
{
    Count("NetApiBufferFree");
    if (buffer == nullptr)
        return NERR_Success;
    auto it = S().netBuffers.find(buffer);
    if (it == S().netBuffers.end())
        return ERROR_INVALID_PARAMETER;
    S().netBuffers.erase(it);
    return NERR_Success;
}
