// The machine as a whole: its language, its reset, the faults that tests
// inject, the count of calls, and the thread's last error.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "core.h"
#include "winsim.h"

namespace wsim {
namespace {

struct Fault {
    std::string call;
    std::string target;
    DWORD error;
    int remaining;  // -1: for ever
};

struct Machine {
    bool ready = false;
    Lang lang = Lang::English;
    std::vector<Fault> faults;
    std::map<std::string, int> calls;  // keyed by upper-case call name
};

Machine &M()
{
    static Machine machine;
    return machine;
}

std::vector<void (*)()> &ResetHooks()
{
    static std::vector<void (*)()> hooks;
    return hooks;
}

DWORD g_lastError = 0;

std::string UpperAscii(const char *text)
{
    std::string upper(text ? text : "");
    for (char &c : upper)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    return upper;
}

// Fault targets may name a registry root in its long form; calls report
// the short one.
std::string ShortRootForm(const std::string &target)
{
    static const char *const kLong[][2] = {{"HKEY_LOCAL_MACHINE", "HKLM"},
                                           {"HKEY_CURRENT_USER", "HKCU"},
                                           {"HKEY_CLASSES_ROOT", "HKCR"},
                                           {"HKEY_USERS", "HKU"}};
    std::string upper = UpperAscii(target.c_str());
    for (const auto &names : kLong) {
        size_t n = strlen(names[0]);
        if (upper.compare(0, n, names[0]) == 0 && (upper.size() == n || upper[n] == '\\'))
            return names[1] + target.substr(n);
    }
    return target;
}

bool TargetMatches(const std::string &faultTarget, const std::string &target)
{
    if (faultTarget == "*")
        return true;
    return detail::SameName(faultTarget, ShortRootForm(target));
}

}  // namespace

void Reset(Lang lang)
{
    Machine &m = M();
    m.ready = true;
    m.lang = lang;
    m.faults.clear();
    m.calls.clear();
    g_lastError = 0;
    core::ResetHandles();
    core::ResetRegistry();
    core::ResetFiles();
    core::ResetEnvironment();
    core::ResetMemory();
    for (void (*hook)() : ResetHooks())
        hook();
}

Lang Language()
{
    core::EnsureMachine();
    return M().lang;
}

void Fail(const char *call, const char *target, DWORD error, int times)
{
    core::EnsureMachine();
    if (times == 0)
        return;
    M().faults.push_back(Fault{UpperAscii(call), ShortRootForm(target ? target : "*"), error, times});
}

int CallCount(const char *call)
{
    core::EnsureMachine();
    auto it = M().calls.find(UpperAscii(call));
    return it == M().calls.end() ? 0 : it->second;
}

namespace detail {

bool TakeFault(const char *call, const std::string &target, DWORD *error)
{
    core::EnsureMachine();
    M().calls[UpperAscii(call)]++;
    return core::MatchFault(call, target, error);
}

void OnReset(void (*hook)())
{
    ResetHooks().push_back(hook);
}

WORD UiLanguage()
{
    return Language() == Lang::Japanese ? 1041 : 1033;
}

UINT AnsiCodePage()
{
    return Language() == Lang::Japanese ? 932 : 1252;
}

}  // namespace detail

namespace core {

bool MatchFault(const char *call, const std::string &target, DWORD *error)
{
    Machine &m = M();
    std::string name = UpperAscii(call);
    for (auto it = m.faults.begin(); it != m.faults.end(); ++it) {
        if (it->call != name || !TargetMatches(it->target, target))
            continue;
        *error = it->error;
        if (it->remaining > 0 && --it->remaining == 0)
            m.faults.erase(it);
        return true;
    }
    return false;
}

void EnsureMachine()
{
    if (!M().ready)
        Reset(Lang::English);
}

bool Faulted(const char *call, const std::string &target)
{
    DWORD error = 0;
    if (!detail::TakeFault(call, target, &error))
        return false;
    SetLastError(error);
    return true;
}

}  // namespace core
}  // namespace wsim

DWORD GetLastError(void)
{
    return wsim::g_lastError;
}

void SetLastError(DWORD error)
{
    wsim::g_lastError = error;
}

// Without the newer file calls the machine stands for Windows 2000 (5.0,
// build 2195), as its CurrentVersion key says; with them for Windows 8 and
// later, which tell a program without a manifest 6.2, build 9200.
DWORD GetVersion(void)
{
    wsim::core::EnsureMachine();
    if (wsim::core::HasVistaFileCalls())
        return (9200u << 16) | (2u << 8) | 6u;
    return (2195u << 16) | 5u;
}
