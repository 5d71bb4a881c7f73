// The next log-on, as Windows performs it for the machine's Run key. Wine's
// restart starts no Run values, so the whole-program runs start this
// program in its place. It is built twice from this file:
//
//   qwlogon.exe            32-bit. On 32-bit Windows it is the shell: it
//                          starts the string values of
//                          HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run.
//   qwlogon.exe /Run6432   32-bit, on 64-bit Windows: what the 32-bit
//                          SysWOW64\runonce.exe /Run6432 does there, it
//                          starts the values of the 32-bit view of that key
//                          (Wow6432Node) from a 32-bit process, for which
//                          "system32" is the 32-bit system directory.
//   qwlogon64.exe          64-bit, on 64-bit Windows: the 64-bit shell. It
//                          starts the values of the 64-bit view itself and,
//                          when the 32-bit view holds values, starts
//                          qwlogon.exe /Run6432 from its own directory.
//
// Windows starts the values without waiting for them. Here each one is
// waited for, so that its exit code is known and the machine is settled
// when the scenario looks at it afterwards.
//
// The record goes to standard output, UTF-8, one line each:
//
//   [KEY] WHO             the key's values as WHO starts them: "shell",
//                         "64-bit shell" or "runonce /Run6432"
//   "NAME" "COMMAND": IMAGE BITS-bit, exit N
//                         the value's command ran as the program IMAGE
//   "NAME" "COMMAND": not started, error N
//   "NAME" "COMMAND": IMAGE BITS-bit, still running after S s
//   runonce /Run6432: exit N          (64-bit shell only)
//   [KEY] no values, runonce not started (64-bit shell only)
//
// The exit code is 0 when the keys were read, 1 when one could not be, 2
// when the program was started in a way that Windows never would.
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include "driver/fixture_util.h"

static const WCHAR kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
static const WCHAR kRunKeyText[] = L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
static const WCHAR kRunOnceHalf[] = L"qwlogon.exe";

// Run values are few; names and commands longer than these are not
// started, as a command line longer than MAX_PATH would not fit anyway.
#define MAX_VALUES 64
#define NAME_SIZE 256
#define WAIT_SECONDS 120

struct RunValue {
    WCHAR name[NAME_SIZE];
    WCHAR command[MAX_PATH];
};

static struct RunValue g_values[MAX_VALUES];

static void Say(LPCWSTR text)
{
    char utf8[4 * MAX_PATH];
    DWORD written = 0;

    WideToUtf8(text, utf8, sizeof(utf8) - 1);
    lstrcatA(utf8, "\n");
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8, (DWORD)lstrlenA(utf8), &written, NULL);
}

static int IsWow64(HANDLE process)
{
    BOOL wow64 = FALSE;

    return IsWow64Process(process, &wow64) && wow64;
}

// 64-bit Windows, whichever half this is.
static int MachineIs64Bit(void)
{
    return sizeof(void *) == 8 || IsWow64(GetCurrentProcess());
}

// The started program's image file, as the system resolved the command.
// Windows 2000 and XP have no such call; the record then says "?".
static void ImageOf(HANDLE process, LPWSTR image)
{
    typedef BOOL(WINAPI * QueryImage)(HANDLE, DWORD, LPWSTR, PDWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    QueryImage query = (QueryImage)(void *)GetProcAddress(kernel, "QueryFullProcessImageNameW");
    DWORD size = MAX_PATH;

    lstrcpynW(image, L"?", MAX_PATH);
    if (query != NULL && !query(process, 0, image, &size))
        lstrcpynW(image, L"?", MAX_PATH);
}

// The string values of the key, in the key's order; read before any is
// started, since a started program may change the key (the cleanup helper
// deletes its own value). -1 when the key cannot be read.
static int ReadRunValues(REGSAM view)
{
    HKEY key;
    int count = 0;
    LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_READ | view, &key);

    if (result == ERROR_FILE_NOT_FOUND)
        return 0;
    if (result != ERROR_SUCCESS)
        return -1;
    for (DWORD index = 0; count < MAX_VALUES; index++) {
        struct RunValue *value = &g_values[count];
        WCHAR data[MAX_PATH];
        DWORD nameLength = NAME_SIZE;
        DWORD size = sizeof(data) - sizeof(WCHAR);
        DWORD type = 0;
        ZeroMemory(data, sizeof(data));
        result = RegEnumValueW(key, index, value->name, &nameLength, NULL, &type, (BYTE *)data, &size);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            continue;
        if (type == REG_SZ) {
            lstrcpynW(value->command, data, MAX_PATH);
        } else {
            DWORD expanded = ExpandEnvironmentStringsW(data, value->command, MAX_PATH);
            if (expanded == 0 || expanded > MAX_PATH)
                continue;
        }
        count++;
    }
    RegCloseKey(key);
    return count;
}

// Waits for a started program and says how it ended.
static void WaitAndSay(LPCWSTR prefix, PROCESS_INFORMATION *process)
{
    WCHAR image[MAX_PATH];
    WCHAR line[4 * MAX_PATH];
    DWORD exitCode = 0;
    int bits = MachineIs64Bit() && !IsWow64(process->hProcess) ? 64 : 32;

    ImageOf(process->hProcess, image);
    if (WaitForSingleObject(process->hProcess, WAIT_SECONDS * 1000) != WAIT_OBJECT_0) {
        _snwprintf(line, ARRAYSIZE(line), L"%ls: %ls %d-bit, still running after %d s", prefix, image, bits,
                   WAIT_SECONDS);
    } else {
        GetExitCodeProcess(process->hProcess, &exitCode);
        _snwprintf(line, ARRAYSIZE(line), L"%ls: %ls %d-bit, exit %lu", prefix, image, bits,
                   (unsigned long)exitCode);
    }
    line[ARRAYSIZE(line) - 1] = L'\0';
    Say(line);
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
}

// Starts one value's command as the shell does: the command line as it
// stands, no handles of ours, the system resolving the program's path for
// this process's bitness.
static void StartValue(const struct RunValue *value)
{
    WCHAR command[MAX_PATH];
    WCHAR prefix[NAME_SIZE + MAX_PATH + 8];
    WCHAR line[ARRAYSIZE(prefix) + 32];
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;

    lstrcpynW(command, value->command, MAX_PATH);
    _snwprintf(prefix, ARRAYSIZE(prefix), L"\"%ls\" \"%ls\"", value->name, value->command);
    prefix[ARRAYSIZE(prefix) - 1] = L'\0';
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    if (!CreateProcessW(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        _snwprintf(line, ARRAYSIZE(line), L"%ls: not started, error %lu", prefix, (unsigned long)GetLastError());
        line[ARRAYSIZE(line) - 1] = L'\0';
        Say(line);
        return;
    }
    WaitAndSay(prefix, &process);
}

// Starts every string value of one view of the Run key. 0 when the key
// could not be read.
static int StartRunValues(REGSAM view, LPCWSTR who)
{
    WCHAR line[MAX_PATH];
    int count = ReadRunValues(view);

    _snwprintf(line, ARRAYSIZE(line), L"[%ls] %ls", kRunKeyText, who);
    line[ARRAYSIZE(line) - 1] = L'\0';
    Say(line);
    if (count < 0) {
        Say(L"the key cannot be read");
        return 0;
    }
    for (int i = 0; i < count; i++)
        StartValue(&g_values[i]);
    return 1;
}

// 1 when the 32-bit view of the Run key holds any value; the 64-bit shell
// starts runonce /Run6432 only then.
static int RunKey32HasValues(void)
{
    HKEY key;
    DWORD values = 0;

    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
        return 0;
    if (RegQueryInfoKeyW(key, NULL, NULL, NULL, NULL, NULL, NULL, &values, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
        values = 0;
    RegCloseKey(key);
    return values > 0;
}

// The 32-bit half, from this program's directory, with our standard
// handles so that its lines join this record.
static int StartRunOnceHalf(void)
{
    WCHAR command[MAX_PATH + 16];
    WCHAR path[MAX_PATH];
    WCHAR line[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    DWORD exitCode = 1;
    LPWSTR slash;
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;

    slash = length > 0 && length < MAX_PATH ? wcsrchr(path, L'\\') : NULL;
    if (slash == NULL || (size_t)(slash + 1 - path) + lstrlenW(kRunOnceHalf) >= MAX_PATH)
        return 0;
    lstrcpyW(slash + 1, kRunOnceHalf);
    _snwprintf(command, ARRAYSIZE(command), L"\"%ls\" /Run6432", path);
    command[ARRAYSIZE(command) - 1] = L'\0';
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    if (!CreateProcessW(NULL, command, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) {
        _snwprintf(line, ARRAYSIZE(line), L"runonce /Run6432: not started, error %lu", (unsigned long)GetLastError());
        line[ARRAYSIZE(line) - 1] = L'\0';
        Say(line);
        return 0;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &exitCode);
    _snwprintf(line, ARRAYSIZE(line), L"runonce /Run6432: exit %lu", (unsigned long)exitCode);
    line[ARRAYSIZE(line) - 1] = L'\0';
    Say(line);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode == 0;
}

static int Shell64(void)
{
    WCHAR line[MAX_PATH];
    int ok = StartRunValues(KEY_WOW64_64KEY, L"64-bit shell");

    if (RunKey32HasValues())
        return StartRunOnceHalf() && ok;
    _snwprintf(line, ARRAYSIZE(line), L"[%ls] no values, runonce not started", kRunKeyText);
    line[ARRAYSIZE(line) - 1] = L'\0';
    Say(line);
    return ok;
}

// The 32-bit build: the shell of a 32-bit machine, or runonce's part on a
// 64-bit one. Each is refused where Windows would not run it.
static int Shell32(int run6432)
{
    if (run6432 != IsWow64(GetCurrentProcess())) {
        Say(run6432 ? L"/Run6432 is for 64-bit Windows" : L"on 64-bit Windows the log-on is qwlogon64.exe");
        return -1;
    }
    // A 32-bit process sees the 32-bit view of the key without asking.
    return StartRunValues(0, run6432 ? L"runonce /Run6432" : L"shell");
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    LPWSTR *argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    int run6432 = argv != NULL && argc == 2 && lstrcmpiW(argv[1], L"/Run6432") == 0;
    int wellFormed = argv != NULL && (argc == 1 || run6432);
    int result;

    if (argv != NULL)
        LocalFree(argv);
    if (!wellFormed || (sizeof(void *) == 8 && run6432))
        return 2;
    result = sizeof(void *) == 8 ? Shell64() : Shell32(run6432);
    if (result < 0)
        return 2;
    return result ? 0 : 1;
}
