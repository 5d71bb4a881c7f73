// The process environment of a logged-on administrator, and the temporary
// directory that Windows derives from it.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core.h"

namespace wsim {
namespace {

std::vector<std::pair<std::string, std::string>> g_environment;
// Where Windows is installed, as the kernel knows it (not the environment).
std::string g_windowsDir = "C:\\WINNT";

std::pair<std::string, std::string> *Variable(LPCSTR name)
{
    for (auto &entry : g_environment)
        if (detail::SameName(entry.first, name))
            return &entry;
    return nullptr;
}

// A variable's value when it is set and not empty.
bool NonEmpty(LPCSTR name, std::string *value)
{
    const std::pair<std::string, std::string> *entry = Variable(name);
    if (!entry || entry->second.empty())
        return false;
    *value = entry->second;
    return true;
}

}  // namespace

namespace core {

void ResetEnvironment()
{
    static const char *const kFresh[][2] = {
        {"ALLUSERSPROFILE", "C:\\Documents and Settings\\All Users"},
        {"APPDATA", "C:\\Documents and Settings\\Administrator\\Application Data"},
        {"CommonProgramFiles", "C:\\Program Files\\Common Files"},
        {"COMPUTERNAME", "WSIM"},
        {"ComSpec", "C:\\WINNT\\system32\\cmd.exe"},
        {"HOMEDRIVE", "C:"},
        {"HOMEPATH", "\\"},
        {"LOGONSERVER", "\\\\WSIM"},
        {"NUMBER_OF_PROCESSORS", "1"},
        {"OS", "Windows_NT"},
        {"Path", "C:\\WINNT\\system32;C:\\WINNT;C:\\WINNT\\System32\\Wbem"},
        {"PATHEXT", ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH"},
        {"PROCESSOR_ARCHITECTURE", "x86"},
        {"ProgramFiles", "C:\\Program Files"},
        {"SystemDrive", "C:"},
        {"SystemRoot", "C:\\WINNT"},
        {"TEMP", "C:\\DOCUME~1\\ADMINI~1\\LOCALS~1\\Temp"},
        {"TMP", "C:\\DOCUME~1\\ADMINI~1\\LOCALS~1\\Temp"},
        {"USERDOMAIN", "WSIM"},
        {"USERNAME", "Administrator"},
        {"USERPROFILE", "C:\\Documents and Settings\\Administrator"},
        {"windir", "C:\\WINNT"},
    };
    g_environment.clear();
    g_windowsDir = "C:\\WINNT";
    for (const auto &entry : kFresh)
        g_environment.emplace_back(entry[0], entry[1]);
}

}  // namespace core

void SetReportedWindowsDirectory(const char *path)
{
    core::EnsureMachine();
    g_windowsDir = path;
}

}  // namespace wsim

using namespace wsim;

// Copies out as GetSystemDirectoryA does: the length without the NUL, or,
// when the buffer is too small, the size needed with it.
UINT GetSystemWindowsDirectoryA(LPSTR buffer, UINT size)
{
    if (core::Faulted("GetSystemWindowsDirectoryA", "*"))
        return 0;
    UINT length = (UINT)g_windowsDir.size();
    if (buffer == nullptr || size <= length)
        return length + 1;
    memcpy(buffer, g_windowsDir.c_str(), length + 1);
    return length;
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size)
{
    return GetSystemWindowsDirectoryA(buffer, size);
}

// The name the environment gives too; a buffer too small gets the size
// needed, the NUL counted.
BOOL GetComputerNameA(LPSTR buffer, LPDWORD size)
{
    static const char kName[] = "WSIM";
    if (*size < sizeof(kName)) {
        *size = sizeof(kName);
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    memcpy(buffer, kName, sizeof(kName));
    *size = sizeof(kName) - 1;
    return TRUE;
}

DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size)
{
    if (core::Faulted("GetEnvironmentVariableA", name ? name : ""))
        return 0;
    const std::pair<std::string, std::string> *entry = name && name[0] ? Variable(name) : nullptr;
    if (!entry) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    const std::string &value = entry->second;
    if (value.size() + 1 > size)
        return (DWORD)value.size() + 1;
    memcpy(buffer, value.c_str(), value.size() + 1);
    return (DWORD)value.size();
}

BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value)
{
    if (core::Faulted("SetEnvironmentVariableA", name ? name : ""))
        return FALSE;
    if (!name || !name[0] || strchr(name, '=')) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::pair<std::string, std::string> *entry = Variable(name);
    if (!value) {
        if (entry)
            g_environment.erase(g_environment.begin() + (entry - g_environment.data()));
        return TRUE;
    }
    if (entry)
        entry->second = value;
    else
        g_environment.emplace_back(name, value);
    return TRUE;
}

DWORD GetTempPathA(DWORD size, LPSTR buffer)
{
    if (core::Faulted("GetTempPathA", "*"))
        return 0;
    std::string path;
    if (!NonEmpty("TMP", &path) && !NonEmpty("TEMP", &path) && !NonEmpty("USERPROFILE", &path))
        path = "C:\\WINNT";
    // The value is read as a path: "C:" is the current directory of C:.
    path = detail::FullPathOfText(path);
    std::u16string wide = detail::AnsiToWide(path);
    for (char16_t &c : wide)
        if (c == u'/')
            c = u'\\';
    if (wide.back() != u'\\')
        wide += u'\\';
    path = detail::WideToAnsi(wide);
    // A buffer that is too small stays untouched; the result is then the
    // size needed, the NUL included.
    if (path.size() + 1 > size)
        return (DWORD)path.size() + 1;
    memcpy(buffer, path.c_str(), path.size() + 1);
    return (DWORD)path.size();
}

// The same path in UTF-16. Unlike the ANSI call it writes over the buffer:
// the rest of a buffer that is large enough is zeroed (up to 32767
// characters), and one that is too small is zeroed whole.
DWORD GetTempPathW(DWORD size, LPWSTR buffer)
{
    char path[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof(path), path);
    if (length == 0 || length >= sizeof(path))
        return 0;
    std::u16string wide = detail::AnsiToWide(path);
    const DWORD kZeroedAtMost = 32767;
    if (wide.size() + 1 > size) {
        if (buffer)
            memset(buffer, 0, size * sizeof(WCHAR));
        return (DWORD)wide.size() + 1;
    }
    memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
    for (DWORD i = (DWORD)wide.size() + 1; i < std::min(size, kZeroedAtMost); i++)
        buffer[i] = 0;
    return (DWORD)wide.size();
}
