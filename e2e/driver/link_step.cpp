// The step "reglink": what any program of the user can do in the user's
// own hive, HKEY_CURRENT_USER: make a key a registry link to a key of the
// machine. A plain key tree already at that path is removed first, so the
// product's own tree key can become the link. The target gets a value and
// a subkey, so that any deletion through the link would show.
//
//   reglink KEY TARGET     HKCU\KEY becomes a link to HKLM\TARGET
//
// And the step "userenv": a variable of the user's environment, as the
// user sets it in HKEY_CURRENT_USER\Environment; processes started from
// outside (a log-on, Wine's launcher) take it, "SystemRoot" included.
//
//   userenv NAME [VALUE]   sets the variable, or with no value removes it
#include <windows.h>
#include <shlwapi.h>

#include "steps.h"

#define LINK_OPTION 0x00000002L  // REG_OPTION_CREATE_LINK
#define LINK_TYPE 6              // REG_LINK

static int MakeTarget(LPCSTR target)
{
    char deep[MAX_PATH];
    HKEY key;

    if (lstrlenA(target) + 6 >= MAX_PATH)
        return 0;
    lstrcpyA(deep, target);
    lstrcatA(deep, "\\Deep");
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, deep, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) != ERROR_SUCCESS)
        return 0;
    LONG status = RegSetValueExA(key, "Kept", 0, REG_SZ, (const BYTE *)"yes", 4);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

int RegLinkStep(int argc, char **argv)
{
    WCHAR key[MAX_PATH];
    WCHAR target[MAX_PATH] = L"\\REGISTRY\\MACHINE\\";
    int prefix = lstrlenW(target);
    HKEY link;

    if (argc != 3 || !MakeTarget(argv[2]))
        return 0;
    if (MultiByteToWideChar(CP_ACP, 0, argv[1], -1, key, MAX_PATH) == 0 ||
        MultiByteToWideChar(CP_ACP, 0, argv[2], -1, target + prefix, MAX_PATH - prefix) == 0)
        return 0;
    SHDeleteKeyA(HKEY_CURRENT_USER, argv[1]);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, NULL, LINK_OPTION, KEY_ALL_ACCESS, NULL, &link, NULL) !=
        ERROR_SUCCESS)
        return 0;
    // The link's target is the value's text without its NUL.
    LONG status = RegSetValueExW(link, L"SymbolicLinkValue", 0, LINK_TYPE, (const BYTE *)target,
                                 (DWORD)lstrlenW(target) * sizeof(WCHAR));
    RegCloseKey(link);
    return status == ERROR_SUCCESS;
}

int UserEnvStep(int argc, char **argv)
{
    HKEY key;
    LONG status;

    if (argc != 2 && argc != 3)
        return 0;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Environment", 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    if (argc == 3)
        status = RegSetValueExA(key, argv[1], 0, REG_SZ, (const BYTE *)argv[2], (DWORD)lstrlenA(argv[2]) + 1);
    else
        status = RegDeleteValueA(key, argv[1]);
    RegCloseKey(key);
    return status == ERROR_SUCCESS || (argc == 2 && status == ERROR_FILE_NOT_FOUND);
}
