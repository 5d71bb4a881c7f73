// The log's functions given null texts: a missing file name leaves the log
// unavailable, a missing object is written as the empty text.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "common/globals.h"
#include "support/machine.h"

namespace {

class LogArgumentsTest : public ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        CloseUninstallLog();
        ASSERT_TRUE(SetEnvironmentVariableA("TMP", Dir().c_str()));
    }
    void TearDown() override
    {
        CloseUninstallLog();
        ScratchTest::TearDown();
    }
};

TEST_F(LogArgumentsTest, NullFileNameLeavesTheLogUnavailableWithoutAPath)
{
    EXPECT_EQ(0, OpenUninstallLog(NULL));

    EXPECT_EQ(INVALID_HANDLE_VALUE, g_hLogFile);
    EXPECT_EQ(0, WriteUninstallLog("object", "message"));
    char path[MAX_PATH] = "untouched";
    EXPECT_EQ(path, GetUninstallLogPath(path));
    EXPECT_STREQ("", path);
}

TEST_F(LogArgumentsTest, NullObjectIsWrittenAsTheEmptyText)
{
    ASSERT_EQ(1, OpenUninstallLog("QWUNLOG.LOG"));

    EXPECT_EQ(1, WriteUninstallLog(NULL, "message"));

    CloseUninstallLog();
    HANDLE file = CreateFileA(File("QWUNLOG.LOG").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0,
                              NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    char buffer[64];
    DWORD read = 0;
    ReadFile(file, buffer, sizeof(buffer), &read, NULL);
    CloseHandle(file);
    EXPECT_EQ("     :message \r\n", std::string(buffer, read));
}

}  // namespace
