// Stand-in for the account queries of netapi32, loaded in place of the
// system's library by the whole-program runs. The test machine has neither
// real accounts nor a domain, so the scenario says through the process
// environment what the queries report:
//
//   QW_NET_PRIV        privilege of the user on this machine (default 2,
//                      administrator); "fail" makes the local query fail
//   QW_NET_DC          name of the domain controller; without it there
//                      is no domain and NetGetDCName fails
//   QW_NET_DC_PRIV     privilege of the user on the domain controller
//                      (default 0, guest); "fail" makes that query fail
//   QW_NET_LOG         file that receives one line per call, UTF-8
#include <windows.h>
#include <lm.h>
#include <stdio.h>
#include <stdlib.h>

#include "driver/fixture_util.h"

static int ReadSetting(LPCWSTR name, LPWSTR value, DWORD size)
{
    DWORD length = GetEnvironmentVariableW(name, value, size);
    return length > 0 && length < size;
}

static void LogCall(LPCWSTR text)
{
    WCHAR path[MAX_PATH];
    char line[1024];

    if (!ReadSetting(L"QW_NET_LOG", path, MAX_PATH))
        return;
    WideToUtf8(text, line, sizeof(line) - 2);
    lstrcatA(line, "\n");
    AppendToFileW(path, line);
}

static LPVOID Allocate(DWORD size)
{
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}

// The privilege a setting gives, or -1 when the query is to fail.
static int PrivilegeFrom(LPCWSTR name, int fallback)
{
    WCHAR value[32];

    if (!ReadSetting(name, value, ARRAYSIZE(value)))
        return fallback;
    if (lstrcmpiW(value, L"fail") == 0)
        return -1;
    return _wtoi(value);
}

// 1 when the server names the configured domain controller.
static int IsDomainController(LPCWSTR server)
{
    WCHAR controller[MAX_PATH];

    return server != NULL && ReadSetting(L"QW_NET_DC", controller, MAX_PATH) && lstrcmpiW(server, controller) == 0;
}

extern "C" NET_API_STATUS WINAPI NetApiBufferAllocate(DWORD size, LPVOID *buffer)
{
    if (buffer == NULL)
        return ERROR_INVALID_PARAMETER;
    *buffer = Allocate(size);
    return *buffer != NULL ? NERR_Success : ERROR_NOT_ENOUGH_MEMORY;
}

extern "C" NET_API_STATUS WINAPI NetApiBufferFree(LPVOID buffer)
{
    if (buffer != NULL)
        HeapFree(GetProcessHeap(), 0, buffer);
    return NERR_Success;
}

// Level 1 only. The record and the name it points to are one block, so
// that one NetApiBufferFree releases both, as with the system's library.
extern "C" NET_API_STATUS WINAPI NetUserGetInfo(LPCWSTR server, LPCWSTR user, DWORD level, LPBYTE *buffer)
{
    WCHAR call[600];
    int local = server == NULL || server[0] == L'\0';
    int privilege;
    USER_INFO_1 *record;
    DWORD nameLength;

    _snwprintf(call, ARRAYSIZE(call), L"NetUserGetInfo server=%ls user=%ls level=%lu", local ? L"(local)" : server,
               user != NULL ? user : L"(null)", (unsigned long)level);
    call[ARRAYSIZE(call) - 1] = L'\0';
    LogCall(call);

    if (buffer == NULL || user == NULL)
        return ERROR_INVALID_PARAMETER;
    *buffer = NULL;
    if (level != 1)
        return ERROR_INVALID_LEVEL;
    if (local)
        privilege = PrivilegeFrom(L"QW_NET_PRIV", USER_PRIV_ADMIN);
    else if (IsDomainController(server))
        privilege = PrivilegeFrom(L"QW_NET_DC_PRIV", USER_PRIV_GUEST);
    else
        return NERR_InvalidComputer;
    if (privilege < 0)
        return NERR_UserNotFound;

    nameLength = (DWORD)lstrlenW(user) + 1;
    record = (USER_INFO_1 *)Allocate(sizeof(USER_INFO_1) + nameLength * sizeof(WCHAR));
    if (record == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    record->usri1_name = (LPWSTR)(record + 1);
    lstrcpynW(record->usri1_name, user, (int)nameLength);
    record->usri1_priv = (DWORD)privilege;
    record->usri1_flags = UF_SCRIPT | UF_NORMAL_ACCOUNT;
    *buffer = (LPBYTE)record;
    return NERR_Success;
}

extern "C" NET_API_STATUS WINAPI NetGetDCName(LPCWSTR server, LPCWSTR domain, LPBYTE *buffer)
{
    WCHAR controller[MAX_PATH];
    LPWSTR copy;
    int length;

    (void)server;
    (void)domain;
    LogCall(L"NetGetDCName");
    if (buffer == NULL)
        return ERROR_INVALID_PARAMETER;
    *buffer = NULL;
    if (!ReadSetting(L"QW_NET_DC", controller, MAX_PATH))
        return NERR_DCNotFound;

    length = lstrlenW(controller) + 1;
    copy = (LPWSTR)Allocate((DWORD)length * sizeof(WCHAR));
    if (copy == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    lstrcpynW(copy, controller, length);
    *buffer = (LPBYTE)copy;
    return NERR_Success;
}
