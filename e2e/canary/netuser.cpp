// The control of the planted-DLL scenario: a program that imports the
// account queries from netapi32.dll at load time, as the uninstaller
// once did. Started from the canaries' folder under the same settings as
// the uninstaller, it has to pick up the netapi32 canary; if it did not,
// the scenario could not see a planted DLL being loaded at all.
//
// It prints where its netapi32.dll came from. Only the system's is
// asked for the user's account level: a canary has none of its functions.
#include <windows.h>
#include <lm.h>
#include <stdio.h>
#include <string.h>

int main()
{
    char path[MAX_PATH];
    char system[MAX_PATH];
    HMODULE netapi = GetModuleHandleA("netapi32.dll");

    if (netapi == NULL || GetModuleFileNameA(netapi, path, sizeof(path)) == 0 ||
        GetSystemDirectoryA(system, sizeof(system)) == 0) {
        printf("netapi32.dll: not found among the loaded modules\n");
        return 1;
    }
    printf("netapi32.dll: %s\n", path);
    size_t length = strlen(system);
    if (_strnicmp(path, system, length) != 0 || path[length] != '\\')
        return 0;

    USER_INFO_1 *info = NULL;
    if (NetUserGetInfo(NULL, L"Administrator", 1, (LPBYTE *)&info) == NERR_Success) {
        printf("Administrator: privilege %lu\n", (unsigned long)info->usri1_priv);
        NetApiBufferFree(info);
    }
    return 0;
}
