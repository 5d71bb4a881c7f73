// The library loader: the modules of the process, where a DLL asked for by
// name is found, and the functions that the system's DLLs export.
#include <algorithm>

#include <winternl.h>

#include "core.h"
#include "desktop_internal.h"
#include "winsim.h"

namespace wsim {
namespace desk {
namespace {

const char kSystemDir[] = "C:\\WINNT\\system32";
const char kWindowsDir[] = "C:\\WINNT";
// Where the linker puts an executable's image unless told otherwise.
const uintptr_t kImageBase = 0x00400000;

struct Export {
    const char *name;
    FARPROC function;
};

template <typename Function>
FARPROC AsFarProc(Function *function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void *>(function));
}

// Known DLLs are mapped from the system directory whatever the search
// order says.
const char *const kKnownLibraries[] = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
                                       "ole32.dll",    "rpcrt4.dll", "msvcrt.dll", "shlwapi.dll"};
const char *const kOtherSystemLibraries[] = {
    "netapi32.dll", "comctl32.dll", "netutils.dll", "srvcli.dll",  "wkscli.dll", "samcli.dll",
    "logoncli.dll", "uxtheme.dll",  "dwmapi.dll",   "cryptbase.dll", "userenv.dll", "profapi.dll",
    "propsys.dll",  "apphelp.dll",  "oleacc.dll",   "clbcatq.dll", "ntmarta.dll", "sspicli.dll",
    "secur32.dll",
};
// What the program's image imports: loaded before its first instruction.
const char *const kProgramImports[] = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll"};
// netapi32's own imports, as on Windows 7.
const char *const kNetapiImports[] = {"netutils.dll", "srvcli.dll", "wkscli.dll", "samcli.dll", "logoncli.dll"};

bool IsOneOf(const std::string &name, const char *const *names, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        if (detail::SameName(name, names[i]))
            return true;
    }
    return false;
}

bool IsKnownLibrary(const std::string &name)
{
    return IsOneOf(name, kKnownLibraries, ARRAYSIZE(kKnownLibraries));
}

bool IsSystemLibrary(const std::string &name)
{
    for (const std::string &removed : S().removedLibraries) {
        if (detail::SameName(name, removed))
            return false;
    }
    return IsKnownLibrary(name) || IsOneOf(name, kOtherSystemLibraries, ARRAYSIZE(kOtherSystemLibraries));
}

std::string FileNameOf(const std::string &path)
{
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string &path)
{
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool HasPath(const std::string &name)
{
    return name.find_first_of("\\/") != std::string::npos;
}

// Without a path and without an extension, ".dll" is added.
std::string WithExtension(const std::string &name)
{
    if (FileNameOf(name).find('.') != std::string::npos)
        return name;
    return name + ".dll";
}

Module *ModuleByHandle(HMODULE handle)
{
    for (Module &module : S().modules) {
        if (module.handle == handle)
            return &module;
    }
    return nullptr;
}

Module *ModuleByName(const std::string &name)
{
    bool byPath = HasPath(name);
    for (Module &module : S().modules) {
        if (byPath ? detail::SameName(module.path, name) : detail::SameName(FileNameOf(module.path), name))
            return &module;
    }
    return nullptr;
}

// A system DLL in the system directory, or a planted file anywhere.
bool Loadable(const std::string &path)
{
    if (detail::SameName(FolderOf(path), kSystemDir) && IsSystemLibrary(FileNameOf(path)))
        return true;
    return path.size() > 4 && detail::SameName(path.substr(path.size() - 4), ".dll") && FileExists(path.c_str());
}

std::vector<std::string> PathFolders()
{
    std::vector<std::string> folders;
    char value[4096];
    DWORD length = GetEnvironmentVariableA("Path", value, sizeof(value));
    if (length == 0 || length >= sizeof(value))
        return folders;
    std::string path = value;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(';', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            folders.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

std::string CurrentFolder()
{
    char folder[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    std::string text = folder;
    if (text.size() > 3 && text.back() == '\\')
        text.pop_back();
    if (text.size() == 3)
        text.pop_back();
    return text;
}

// The folders searched for a name, in order. firstFolder is the program's
// folder, or the folder of the DLL whose imports are being loaded with
// the altered search path.
std::vector<std::string> SearchFolders(const std::string &firstFolder)
{
    State &s = S();
    if (s.defaultDirectories & (LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)) {
        std::vector<std::string> folders;
        if (s.defaultDirectories & (LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS))
            folders.push_back(FolderOf(s.programPath));
        folders.push_back(kSystemDir);
        return folders;
    }
    std::vector<std::string> folders = {firstFolder};
    if (!s.dllDirectory.empty())
        folders.push_back(s.dllDirectory);
    folders.push_back(kSystemDir);
    folders.push_back(kWindowsDir);
    if (!s.dllDirectorySet)
        folders.push_back(CurrentFolder());
    for (const std::string &folder : PathFolders())
        folders.push_back(folder);
    return folders;
}

HMODULE Map(const std::string &name, const std::string &path, bool alteredSearch);

// Finds a DLL asked for by name: a loaded module first, then the folders.
HMODULE LoadByName(const std::string &name, const std::string &firstFolder)
{
    if (Module *module = ModuleByName(name)) {
        module->references++;
        return module->handle;
    }
    if (IsKnownLibrary(name))
        return Map(name, std::string(kSystemDir) + "\\" + name, false);
    for (const std::string &folder : SearchFolders(firstFolder)) {
        std::string path = folder + "\\" + name;
        if (!folder.empty() && Loadable(path))
            return Map(name, path, false);
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

std::vector<std::string> ImportsOf(const Module &module)
{
    if (!module.planted && detail::SameName(FileNameOf(module.path), "netapi32.dll"))
        return std::vector<std::string>(kNetapiImports, kNetapiImports + ARRAYSIZE(kNetapiImports));
    return {};
}

void RegisterCommonControlClasses()
{
    S().classes.push_back({PROGRESS_CLASSA, S().nextAtom++, ProgressClassProc, StandardCursor(32512), true});
}

void UnregisterCommonControlClasses()
{
    std::vector<WindowClass> &classes = S().classes;
    classes.erase(std::remove_if(classes.begin(), classes.end(),
                                 [](const WindowClass &cls) { return cls.name == PROGRESS_CLASSA; }),
                  classes.end());
}

bool IsSystemComctl(const Module &module)
{
    return !module.planted && detail::SameName(FileNameOf(module.path), "comctl32.dll");
}

// Maps the file and, as the loader does, its imports: with the altered
// search path they are looked for in the DLL's own folder first, else in
// the program's folder first. An import that is missing fails the load.
HMODULE Map(const std::string &name, const std::string &path, bool alteredSearch)
{
    State &s = S();
    Module module;
    module.path = path;
    module.planted = !(detail::SameName(FolderOf(path), kSystemDir) && IsSystemLibrary(FileNameOf(path)));
    module.handle = reinterpret_cast<HMODULE>(s.nextModule);
    module.references = 1;
    s.nextModule += 0x10000;
    s.modules.push_back(module);
    s.libraryLoads.push_back({name, path, module.planted, Clock(), NextSeq()});

    std::string firstFolder = alteredSearch ? FolderOf(path) : FolderOf(s.programPath);
    for (const std::string &import : ImportsOf(module)) {
        if (LoadByName(import, firstFolder) == nullptr) {
            s.modules.erase(std::find_if(s.modules.begin(), s.modules.end(),
                                         [&](const Module &m) { return m.handle == module.handle; }));
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
    }
    if (IsSystemComctl(module))
        RegisterCommonControlClasses();
    return module.handle;
}

std::vector<Export> ExportsOf(const Module &module)
{
    if (module.planted)
        return {};
    std::string file = FileNameOf(module.path);
    if (detail::SameName(file, "netapi32.dll")) {
        return {{"NetUserGetInfo", AsFarProc(&NetUserGetInfo)},
                {"NetGetDCName", AsFarProc(&NetGetDCName)},
                {"NetApiBufferFree", AsFarProc(&NetApiBufferFree)}};
    }
    if (detail::SameName(file, "comctl32.dll"))
        return {{"InitCommonControls", AsFarProc(&InitCommonControls)}};
    if (detail::SameName(file, "ntdll.dll"))
        return {{"NtClose", AsFarProc(&NtClose)},
                {"NtCreateKey", AsFarProc(&NtCreateKey)},
                {"NtDeleteKey", AsFarProc(&NtDeleteKey)},
                {"NtDeleteValueKey", AsFarProc(&NtDeleteValueKey)},
                {"NtOpenKey", AsFarProc(&NtOpenKey)},
                {"NtQueryInformationFile", AsFarProc(&NtQueryInformationFile)},
                {"NtSetValueKey", AsFarProc(&NtSetValueKey)},
                {"RtlFormatCurrentUserKeyPath", AsFarProc(&RtlFormatCurrentUserKeyPath)},
                {"RtlFreeUnicodeString", AsFarProc(&RtlFreeUnicodeString)},
                {"RtlInitUnicodeString", AsFarProc(&RtlInitUnicodeString)}};
    if (!detail::SameName(file, "kernel32.dll"))
        return {};
    std::vector<Export> kernel = {{"LoadLibraryA", AsFarProc(&LoadLibraryA)},
                                  {"LoadLibraryExA", AsFarProc(&LoadLibraryExA)},
                                  {"GetProcAddress", AsFarProc(&GetProcAddress)}};
    if (S().hasSetDllDirectory)
        kernel.push_back({"SetDllDirectoryA", AsFarProc(&SetDllDirectoryA)});
    if (S().hasSetDefaultDllDirectories)
        kernel.push_back({"SetDefaultDllDirectories", AsFarProc(&SetDefaultDllDirectories)});
    // Without the newer file calls the system stands for 2000 or XP, which
    // lack the mitigation policies too; with them but without the
    // redirection trust policy, for Windows 8 to 10 before 22H2, which
    // have the call and refuse that policy.
    if (core::HasVistaFileCalls()) {
        kernel.push_back({"GetFinalPathNameByHandleA", AsFarProc(&GetFinalPathNameByHandleA)});
        kernel.push_back({"SetFileInformationByHandle", AsFarProc(&SetFileInformationByHandle)});
        kernel.push_back({"SetProcessMitigationPolicy", AsFarProc(&SetProcessMitigationPolicy)});
    }
    return kernel;
}

}  // namespace

void LoadProgramImports()
{
    State &s = S();
    s.modules.push_back({reinterpret_cast<HMODULE>(kImageBase), s.programPath, false, 1});
    // ntdll is mapped into every process before its first instruction;
    // the loader never searches for it.
    s.modules.push_back({reinterpret_cast<HMODULE>(s.nextModule), std::string(kSystemDir) + "\\ntdll.dll", false, 1});
    s.nextModule += 0x10000;
    for (const char *import : kProgramImports)
        Map(import, std::string(kSystemDir) + "\\" + import, false);
}

void LoadOnDemand(const char *fileName)
{
    LoadByName(fileName, FolderOf(S().programPath));
}

}  // namespace desk

void SetDllSearchCalls(bool setDllDirectory, bool setDefaultDllDirectories)
{
    desk::S().hasSetDllDirectory = setDllDirectory;
    desk::S().hasSetDefaultDllDirectories = setDefaultDllDirectories;
}

void SetProgramPath(const char *path)
{
    desk::S().programPath = path;
    desk::S().modules.front().path = path;
}

void RemoveSystemLibrary(const char *fileName)
{
    desk::S().removedLibraries.push_back(fileName);
}

std::vector<LibraryLoad> LibraryLoads()
{
    return desk::S().libraryLoads;
}

std::string LoadedLibraryPath(const char *fileName)
{
    for (const desk::Module &module : desk::S().modules) {
        if (detail::SameName(desk::FileNameOf(module.path), fileName))
            return module.path;
    }
    return std::string();
}

}  // namespace wsim

using namespace wsim::desk;

// The program's own image, and the modules loaded since, by file name or
// full path. Nothing is searched for and nothing loaded.
HMODULE GetModuleHandleA(LPCSTR name)
{
    if (Faulted("GetModuleHandleA"))
        return nullptr;
    if (name == nullptr)
        return reinterpret_cast<HMODULE>(kImageBase);
    if (Module *module = ModuleByName(WithExtension(name)))
        return module->handle;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

HMODULE LoadLibraryA(LPCSTR name)
{
    return LoadLibraryExA(name, nullptr, 0);
}

HMODULE LoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags)
{
    DWORD error = 0;
    if (wsim::detail::TakeFault("LoadLibraryExA", name ? name : "", &error)) {
        SetLastError(error);
        return nullptr;
    }
    if (name == nullptr || name[0] == '\0' || file != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string request = WithExtension(name);
    if (!HasPath(request))
        return LoadByName(request, FolderOf(S().programPath));
    if (Module *module = ModuleByName(request)) {
        module->references++;
        return module->handle;
    }
    if (!Loadable(request)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return Map(FileNameOf(request), request, (flags & LOAD_WITH_ALTERED_SEARCH_PATH) != 0);
}

// A module goes when its last reference does; comctl32 takes its classes
// with it.
BOOL FreeLibrary(HMODULE handle)
{
    Count("FreeLibrary");
    State &s = S();
    Module *module = ModuleByHandle(handle);
    if (module == nullptr || handle == reinterpret_cast<HMODULE>(kImageBase)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--module->references > 0)
        return TRUE;
    bool comctl = IsSystemComctl(*module);
    s.modules.erase(s.modules.begin() + (module - s.modules.data()));
    if (comctl)
        UnregisterCommonControlClasses();
    return TRUE;
}

FARPROC GetProcAddress(HMODULE handle, LPCSTR name)
{
    DWORD error = 0;
    if (wsim::detail::TakeFault("GetProcAddress", name ? name : "", &error)) {
        SetLastError(error);
        return nullptr;
    }
    Module *module = ModuleByHandle(handle);
    if (module == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    for (const Export &entry : ExportsOf(*module)) {
        if (name != nullptr && strcmp(entry.name, name) == 0)
            return entry.function;
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

DWORD GetModuleFileNameA(HMODULE handle, LPSTR buffer, DWORD size)
{
    Count("GetModuleFileNameA");
    Module *module = ModuleByHandle(handle == nullptr ? reinterpret_cast<HMODULE>(kImageBase) : handle);
    if (module == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (size == 0)
        return 0;
    // Cut short to the buffer, with its terminator, as Windows XP and later do.
    DWORD length = (DWORD)std::min<size_t>(module->path.size(), size - 1);
    memcpy(buffer, module->path.c_str(), length);
    buffer[length] = '\0';
    if (length < module->path.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    return length;
}

// The real one, whatever "SystemRoot" says. A fault makes it give 0 and
// leave the buffer as it was, as a failed call does.
UINT GetSystemDirectoryA(LPSTR buffer, UINT size)
{
    if (Faulted("GetSystemDirectoryA"))
        return 0;
    UINT length = (UINT)strlen(kSystemDir);
    if (buffer == nullptr || size <= length)
        return length + 1;
    memcpy(buffer, kSystemDir, length + 1);
    return length;
}

// An empty text takes the current directory out of the search; a folder
// is searched after the program's; null restores the standard order.
BOOL SetDllDirectoryA(LPCSTR path)
{
    Count("SetDllDirectoryA");
    State &s = S();
    s.dllDirectorySet = path != nullptr;
    s.dllDirectory = path != nullptr ? path : "";
    return TRUE;
}

BOOL SetDefaultDllDirectories(DWORD directoryFlags)
{
    Count("SetDefaultDllDirectories");
    const DWORD kValid = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
                         LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
    if (directoryFlags == 0 || (directoryFlags & ~kValid) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    S().defaultDirectories = directoryFlags;
    return TRUE;
}
