// The program runs with administrator rights, often from a download folder
// or a share that other users can write to. Windows looks for a DLL that
// is not one of its known DLLs in the program's folder first, so every DLL
// loaded by name could be somebody else's code. The program therefore
// imports only DLLs that Windows always takes from the system directory,
// loads the others itself by full path, and keeps the system's own DLLs
// from searching the program's folder and the current directory.
#include <windows.h>

#include "app/app.h"
#include "common/common.h"
#include "common/globals.h"

// From the update that added SetDefaultDllDirectories (Windows 8, and
// Windows Vista and 7 with that update); older headers lack it.
static const DWORD kSearchSystem32 = 0x00000800;

typedef BOOL(WINAPI *SetDefaultDllDirectoriesProc)(DWORD directoryFlags);
typedef BOOL(WINAPI *SetDllDirectoryProc)(LPCSTR pathName);

// DLLs that the system's own DLLs load by name, on demand, on the systems
// without SetDefaultDllDirectories (2000, XP, Vista and 7 without the
// update): the visual styles (uxtheme) and the desktop composition they use
// (dwmapi) for the dialog and the boxes; the account service's helpers
// (netutils, srvcli, wkscli, samcli, logoncli) and the security packages
// that it and advapi32 load (sspicli, secur32, cryptbase, ntmarta); the
// user profile (userenv, profapi) and property system (propsys) that the
// shell asks for when it parses a path; the compatibility engine
// (apphelp); accessibility (oleacc), which user32 loads when a screen
// reader asks; and the COM catalogue (clbcatq) behind the shell's folders.
// Loaded from the system directory first, each is the module that a later
// load by name finds already there. A system that lacks one never loads it.
static const char *const kOnDemandLibraries[] = {
    "uxtheme.dll", "dwmapi.dll",  "netutils.dll", "srvcli.dll",  "wkscli.dll",  "samcli.dll",
    "logoncli.dll", "sspicli.dll", "secur32.dll",  "cryptbase.dll", "ntmarta.dll", "userenv.dll",
    "profapi.dll", "propsys.dll", "apphelp.dll",  "oleacc.dll",  "clbcatq.dll",
};

// Where the default search directories can be set, they are the system
// directory alone. Otherwise the current directory leaves the search where
// SetDllDirectoryA exists (XP SP1 and later), and what the system's DLLs
// load on demand is loaded now, from the system directory.
void LimitDllSearch(void)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetDefaultDllDirectoriesProc setDefaultDirectories =
        (SetDefaultDllDirectoriesProc)(void *)FindLibraryFunction(kernel, "SetDefaultDllDirectories");
    SetDllDirectoryProc setDllDirectory;

    if (setDefaultDirectories != NULL && setDefaultDirectories(kSearchSystem32)) {
        g_dllSearchLimited = 1;
        return;
    }
    setDllDirectory = (SetDllDirectoryProc)(void *)FindLibraryFunction(kernel, "SetDllDirectoryA");
    if (setDllDirectory != NULL)
        setDllDirectory("");
    for (size_t i = 0; i < sizeof(kOnDemandLibraries) / sizeof(kOnDemandLibraries[0]); i++)
        LoadSystemLibrary(kOnDemandLibraries[i]);
}

// The system directory as Windows knows it, never from the environment,
// which the user controls. The DLL's own imports are then looked for in
// that directory first, or, once the search is limited, there alone.
HMODULE LoadSystemLibrary(LPCSTR fileName)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);

    if (length == 0 || length >= MAX_PATH)
        return NULL;
    if (FormatText(path + length, MAX_PATH - (int)length, "\\%s", fileName) >= MAX_PATH - (int)length)
        return NULL;
    return LoadLibraryExA(path, NULL, g_dllSearchLimited ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The progress bar's class comes from comctl32; without it the dialog
// cannot be created.
void InitCommonControlsOf(HMODULE commonControls)
{
    typedef void(WINAPI * InitCommonControlsProc)(void);
    InitCommonControlsProc init = (InitCommonControlsProc)(void *)FindLibraryFunction(commonControls, "InitCommonControls");

    if (init != NULL)
        init();
}
