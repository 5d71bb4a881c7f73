// A canary DLL for the planted-DLL scenario: copied under the names of
// DLLs that the uninstaller or the system's own DLLs may load, into the
// folder that the uninstaller is started from. Whenever the loader takes
// it from there, it appends a line to NAME.dll.loaded beside itself: the
// image file of the process that loaded it.
//
// It exports nothing and imports only from kernel32, so that loading it
// pulls in no other DLL, and it carries no C runtime, whose own DLL could
// be one of the names it bears. It lets the process go on, so that one
// run shows every canary a program picks up, not only the first.
#include <windows.h>

extern "C" BOOL WINAPI CanaryEntry(HINSTANCE instance, DWORD reason, LPVOID)
{
    char marker[MAX_PATH + 8];
    char image[MAX_PATH + 2];

    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    DWORD length = GetModuleFileNameA(instance, marker, MAX_PATH);
    DWORD imageLength = GetModuleFileNameA(NULL, image, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || imageLength == 0 || imageLength >= MAX_PATH)
        return TRUE;
    lstrcpyA(marker + length, ".loaded");
    image[imageLength++] = '\r';
    image[imageLength++] = '\n';
    HANDLE file = CreateFileA(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(file, image, imageLength, &written, NULL);
        CloseHandle(file);
    }
    return TRUE;
}
