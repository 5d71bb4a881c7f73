// The user's name and account record, and the process token's privileges,
// as Windows gives them.
#include <string.h>

#include <gtest/gtest.h>
#include <windows.h>
#include <lm.h>

#include "support/machine.h"

namespace {

class WinsimSecurityTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTestMachine(); }
};

TEST_F(WinsimSecurityTest, UserNameSizeCountsTheTerminatorBothWays)
{
    char name[UNLEN + 1];
    DWORD size = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetUserNameA(name, &size));
    EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
    DWORD needed = size;
    ASSERT_GT(needed, 1u);

    size = needed - 1;
    memset(name, 'x', sizeof(name));
    EXPECT_FALSE(GetUserNameA(name, &size));
    EXPECT_EQ(needed, size);

    size = sizeof(name);
    EXPECT_TRUE(GetUserNameA(name, &size));
    EXPECT_EQ(needed, size);
    EXPECT_EQ(needed - 1, (DWORD)strlen(name));
}

TEST_F(WinsimSecurityTest, LocalAccountRecordOfTheCurrentUser)
{
    char name[UNLEN + 1];
    DWORD size = sizeof(name);
    ASSERT_TRUE(GetUserNameA(name, &size));
    WCHAR wide[UNLEN + 1];
    ASSERT_NE(0, MultiByteToWideChar(CP_ACP, 0, name, -1, wide, UNLEN + 1));

    LPBYTE buffer = NULL;
    ASSERT_EQ((NET_API_STATUS)NERR_Success, NetUserGetInfo(NULL, wide, 1, &buffer));
    ASSERT_NE((LPBYTE)NULL, buffer);
    USER_INFO_1 *info = (USER_INFO_1 *)buffer;
    char back[UNLEN + 1];
    ASSERT_NE(0, WideCharToMultiByte(CP_ACP, 0, info->usri1_name, -1, back, sizeof(back), NULL, NULL));
    EXPECT_EQ(0, lstrcmpiA(name, back));
    EXPECT_EQ((NET_API_STATUS)NERR_Success, NetApiBufferFree(buffer));
}

TEST_F(WinsimSecurityTest, RecordOfAnUnknownUserIsNotFound)
{
    WCHAR name[32];
    ASSERT_NE(0, MultiByteToWideChar(CP_ACP, 0, "QwTestNoSuchUser", -1, name, 32));
    LPBYTE buffer = NULL;
    EXPECT_EQ((NET_API_STATUS)NERR_UserNotFound, NetUserGetInfo(NULL, name, 1, &buffer));
    EXPECT_EQ((NET_API_STATUS)NERR_Success, NetApiBufferFree(NULL));
}

TEST_F(WinsimSecurityTest, ShutdownPrivilegeHasItsWindowsIdentifier)
{
    LUID luid;
    memset(&luid, 0xcc, sizeof(luid));
    ASSERT_TRUE(LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &luid));
    EXPECT_EQ(19u, luid.LowPart);
    EXPECT_EQ(0, luid.HighPart);

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(LookupPrivilegeValueA(NULL, "SeNoSuchPrivilege", &luid));
    EXPECT_EQ((DWORD)ERROR_NO_SUCH_PRIVILEGE, GetLastError());
}

// Whether it all went through shows only in the last error: cleared on
// full success, ERROR_NOT_ALL_ASSIGNED when the token lacks a privilege.
TEST_F(WinsimSecurityTest, AdjustingPrivilegesReportsThroughTheLastError)
{
    HANDLE token = NULL;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    ASSERT_TRUE(LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid));

    SetLastError(0xdeadbeef);
    EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL));
    EXPECT_EQ((DWORD)ERROR_SUCCESS, GetLastError());

    privileges.Privileges[0].Luid.LowPart = 999;
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL));
    EXPECT_EQ((DWORD)ERROR_NOT_ALL_ASSIGNED, GetLastError());

    EXPECT_TRUE(CloseHandle(token));
}

TEST_F(WinsimSecurityTest, TokenOpenedForQueryOnlyCannotBeAdjusted)
{
    HANDLE token = NULL;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    ASSERT_TRUE(LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid));

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_TRUE(CloseHandle(token));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CloseHandle(token));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
}

}  // namespace
