// netapi32 of the simulated Windows: account records and domain lookup.
#pragma once

#include "lmcons.h"

#define NERR_BASE 2100
#define NERR_InvalidComputer 2351
#define NERR_UserNotFound 2221
#define NERR_DCNotFound 2453
#define USER_PRIV_GUEST 0
#define USER_PRIV_USER 1
#define USER_PRIV_ADMIN 2

typedef struct _USER_INFO_1 {
    LPWSTR usri1_name;
    LPWSTR usri1_password;
    DWORD usri1_password_age;
    DWORD usri1_priv;
    LPWSTR usri1_home_dir;
    LPWSTR usri1_comment;
    DWORD usri1_flags;
    LPWSTR usri1_script_path;
} USER_INFO_1, *PUSER_INFO_1, *LPUSER_INFO_1;

NET_API_STATUS NetUserGetInfo(LPCWSTR server, LPCWSTR userName, DWORD level, LPBYTE *buffer);
NET_API_STATUS NetGetDCName(LPCWSTR server, LPCWSTR domain, LPBYTE *buffer);
NET_API_STATUS NetApiBufferFree(LPVOID buffer);
