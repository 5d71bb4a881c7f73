// The uninstall log on the simulated machine: no temporary directory, a
// log held by another program, failing writes, a Japanese directory.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "common/globals.h"
#include "support/machine.h"
#include "winsim.h"

namespace {

const char kLogName[] = "QWUNLOG.LOG";
const char kFreshLog[] = "C:\\DOCUME~1\\ADMINI~1\\LOCALS~1\\Temp\\QWUNLOG.LOG";

class LogSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTestMachine();
        CloseUninstallLog();
    }
    void TearDown() override
    {
        CloseUninstallLog();
        EXPECT_EQ(0, wsim::OpenFileHandles());
    }
};

TEST_F(LogSimTest, LogOfAFreshMachineIsInTheUsersTemporaryDirectory)
{
    EXPECT_EQ(1, OpenUninstallLog(kLogName));
    EXPECT_STREQ(kFreshLog, g_logPath);
    WriteUninstallLog("object", "message");
    CloseUninstallLog();
    EXPECT_EQ("object     :message \r\n",
              wsim::FileContents("C:\\Documents and Settings\\Administrator\\Local Settings\\Temp\\QWUNLOG.LOG"));
}

TEST_F(LogSimTest, WithoutATemporaryDirectoryTheLogGoesToTheRootOfTheDrive)
{
    wsim::Fail("GetTempPathA", "*", ERROR_INVALID_PARAMETER);
    EXPECT_EQ(1, OpenUninstallLog(kLogName));
    EXPECT_STREQ("C:\\QWUNLOG.LOG", g_logPath);
    EXPECT_TRUE(wsim::FileExists("C:\\QWUNLOG.LOG"));
}

// The drive is only added when the full path can be had; otherwise the
// log is still created, by the path as it was formed.
TEST_F(LogSimTest, RootPathStaysAsFormedWhenTheFullPathCannotBeHad)
{
    wsim::Fail("GetTempPathA", "*", ERROR_INVALID_PARAMETER);
    wsim::Fail("GetFullPathNameA", "*", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(1, OpenUninstallLog(kLogName));
    EXPECT_STREQ("\\QWUNLOG.LOG", g_logPath);
    WriteUninstallLog("object", "message");
    CloseUninstallLog();
    EXPECT_EQ("object     :message \r\n", wsim::FileContents("C:\\QWUNLOG.LOG"));
}

TEST_F(LogSimTest, TemporaryDirectoryTooLongForTheBufferCountsAsNone)
{
    std::string longDir = "C:\\" + std::string(300, 't');
    SetEnvironmentVariableA("TMP", longDir.c_str());
    EXPECT_EQ(1, OpenUninstallLog(kLogName));
    EXPECT_STREQ("C:\\QWUNLOG.LOG", g_logPath);
}

TEST_F(LogSimTest, LogHeldByAnotherProgramIsUnavailable)
{
    wsim::PutFile(kFreshLog, "another program's");
    wsim::HoldFile(kFreshLog);
    EXPECT_EQ(0, OpenUninstallLog(kLogName));
    EXPECT_EQ(0, WriteUninstallLog("object", "message"));
    char path[MAX_PATH];
    ASSERT_EQ(path, GetUninstallLogPath(path));
    EXPECT_STREQ(kFreshLog, path);
    EXPECT_EQ(0, wsim::CallCount("WriteFile"));
    EXPECT_EQ("another program's", wsim::FileContents(kFreshLog));
}

TEST_F(LogSimTest, FailedWriteLosesThatLineOnly)
{
    ASSERT_EQ(1, OpenUninstallLog(kLogName));
    wsim::Fail("WriteFile", kFreshLog, ERROR_DISK_FULL, 1);
    EXPECT_EQ(0, WriteUninstallLog("lost", "message"));
    EXPECT_EQ(1, WriteUninstallLog("kept", "message"));
    CloseUninstallLog();
    EXPECT_EQ("kept     :message \r\n", wsim::FileContents(kFreshLog));
}

// "表" (0x95 0x5C) ends in a byte that looks like a backslash; only the
// backslash GetTempPathA adds may go.
TEST_F(LogSimTest, JapaneseTemporaryDirectoryKeepsItsLastCharacter)
{
    ResetTestMachine(true);
    wsim::MakeDir("C:\\\x95\x5c");
    SetEnvironmentVariableA("TMP", "C:\\\x95\x5c");
    EXPECT_EQ(1, OpenUninstallLog(kLogName));
    EXPECT_STREQ("C:\\\x95\x5c\\QWUNLOG.LOG", g_logPath);
    EXPECT_TRUE(wsim::FileExists("C:\\\x95\x5c\\QWUNLOG.LOG"));
}

TEST_F(LogSimTest, LogIsCreatedForReadingAndWritingSharedWithNobody)
{
    ASSERT_EQ(1, OpenUninstallLog(kLogName));
    HANDLE other = CreateFileA(kFreshLog, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0,
                               NULL);
    EXPECT_EQ(INVALID_HANDLE_VALUE, other);
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    char byte;
    DWORD read = 5;
    EXPECT_TRUE(ReadFile(g_hLogFile, &byte, 1, &read, NULL));
    EXPECT_EQ(0u, read);
}

}  // namespace
