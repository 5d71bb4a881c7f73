// The uninstall log, written into the test's scratch directory by pointing
// TMP at it.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "common/globals.h"
#include "support/machine.h"

namespace {

const char kLogName[] = "QWUNLOG.LOG";

class LogTest : public ScratchTest {
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

    std::string LogPath() { return File(kLogName); }
};

TEST_F(LogTest, LinesGoToTheLogInTheTemporaryDirectoryInOrder)
{
    EXPECT_EQ(1, OpenUninstallLog(kLogName));
    EXPECT_STREQ(LogPath().c_str(), g_logPath);
    EXPECT_EQ(1, WriteUninstallLog("C:\\WINNT\\system32\\QWTRAY.EXE", "Uninstaller could not delete the file."));
    EXPECT_EQ(1, WriteUninstallLog("SOFTWARE\\QELVORA", "Uninstaller could not delete the registry node."));
    EXPECT_EQ(1, CloseUninstallLog());
    EXPECT_EQ("C:\\WINNT\\system32\\QWTRAY.EXE     :Uninstaller could not delete the file. \r\n"
              "SOFTWARE\\QELVORA     :Uninstaller could not delete the registry node. \r\n",
              FileText(LogPath()));
}

TEST_F(LogTest, TemporaryDirectoryWithTrailingBackslashGivesTheSamePath)
{
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", (Dir() + "\\").c_str()));
    EXPECT_EQ(1, OpenUninstallLog(kLogName));
    char path[MAX_PATH];
    EXPECT_EQ(path, GetUninstallLogPath(path));
    EXPECT_EQ(LogPath(), path);
}

TEST_F(LogTest, EachRunStartsTheLogAfresh)
{
    ASSERT_EQ(1, OpenUninstallLog(kLogName));
    WriteUninstallLog("first run", "message");
    CloseUninstallLog();
    ASSERT_EQ(1, OpenUninstallLog(kLogName));
    WriteUninstallLog("second run", "message");
    CloseUninstallLog();
    EXPECT_EQ("second run     :message \r\n", FileText(LogPath()));
}

TEST_F(LogTest, RunWithoutFailuresLeavesAnEmptyLog)
{
    ASSERT_EQ(1, OpenUninstallLog(kLogName));
    CloseUninstallLog();
    EXPECT_EQ("", FileText(LogPath()));
}

TEST_F(LogTest, DefaultValueLineBeginsWithTheBlanksAndLineWithoutMessageHasNoSeparator)
{
    ASSERT_EQ(1, OpenUninstallLog(kLogName));
    WriteUninstallLog("", "Uninstaller could not delete the registry value.");
    WriteUninstallLog("object only", NULL);
    CloseUninstallLog();
    EXPECT_EQ("     :Uninstaller could not delete the registry value. \r\nobject only\r\n", FileText(LogPath()));
}

TEST_F(LogTest, LogThatCannotBeCreatedIsUnavailableButNamed)
{
    HANDLE holder = CreateFileA(LogPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);

    EXPECT_EQ(0, OpenUninstallLog(kLogName));
    EXPECT_EQ(INVALID_HANDLE_VALUE, g_hLogFile);
    EXPECT_EQ(0, WriteUninstallLog("object", "message"));
    char path[MAX_PATH];
    EXPECT_EQ(path, GetUninstallLogPath(path));
    EXPECT_EQ(LogPath(), path);
    EXPECT_EQ(1, CloseUninstallLog());
    EXPECT_EQ((HANDLE)NULL, g_hLogFile);

    CloseHandle(holder);
    EXPECT_EQ("", FileText(LogPath()));
}

TEST_F(LogTest, ClosedLogTakesNoLinesAndNamesNoPath)
{
    EXPECT_EQ(0, WriteUninstallLog("before opening", "message"));
    ASSERT_EQ(1, OpenUninstallLog(kLogName));
    EXPECT_EQ(1, CloseUninstallLog());
    EXPECT_EQ(0, WriteUninstallLog("after closing", "message"));
    char path[MAX_PATH] = "untouched";
    EXPECT_EQ((LPSTR)NULL, GetUninstallLogPath(path));
    EXPECT_STREQ("untouched", path);
    EXPECT_EQ(1, CloseUninstallLog());
    EXPECT_EQ("", FileText(LogPath()));
}

TEST_F(LogTest, OverlongLineIsCutAndKeepsItsLineEnd)
{
    ASSERT_EQ(1, OpenUninstallLog(kLogName));
    std::string object(600, 'o');
    EXPECT_EQ(1, WriteUninstallLog(object.c_str(), "message"));
    EXPECT_EQ(1, WriteUninstallLog("next", "message"));
    CloseUninstallLog();
    EXPECT_EQ(std::string(509, 'o') + "\r\nnext     :message \r\n", FileText(LogPath()));
}

// A temporary directory too long for the buffer gives no path (Wine's
// GetTempPathA fails, Windows' reports the size it needs), so the log goes
// to the root of the current drive, and its path says which drive that
// is. The file may land at the root of the drive the tests run from; it is
// removed again.
TEST_F(LogTest, WithoutATemporaryDirectoryTheLogIsNamedWithTheCurrentDrive)
{
    char current[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    ASSERT_TRUE(length >= 2 && length < MAX_PATH && current[1] == ':') << current;
    std::string expected = std::string(current, 2) + "\\" + kLogName;
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", ("C:\\" + std::string(300, 't')).c_str()));

    OpenUninstallLog(kLogName);

    EXPECT_STREQ(expected.c_str(), g_logPath);
    char path[MAX_PATH];
    memset(path, 'x', sizeof(path));
    EXPECT_EQ(path, GetUninstallLogPath(path));
    EXPECT_EQ(expected, path);
    CloseUninstallLog();
    DeleteFileA(expected.c_str());
}

TEST_F(LogTest, PathThatWouldPass259CharactersIsNotFormed)
{
    std::string longDir = "C:\\" + std::string(240, 'd');
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", longDir.c_str()));
    EXPECT_EQ(0, OpenUninstallLog(kLogName));
    EXPECT_EQ(INVALID_HANDLE_VALUE, g_hLogFile);
    EXPECT_EQ(0, WriteUninstallLog("object", "message"));
    char path[MAX_PATH];
    memset(path, 'x', sizeof(path));
    ASSERT_EQ(path, GetUninstallLogPath(path));
    EXPECT_LT(strlen(path), (size_t)MAX_PATH);
}

// The log's functions given null texts: a missing file name leaves the log
// unavailable, a missing object is written as the empty text.
TEST_F(LogTest, NullFileNameLeavesTheLogUnavailableWithoutAPath)
{
    EXPECT_EQ(0, OpenUninstallLog(NULL));

    EXPECT_EQ(INVALID_HANDLE_VALUE, g_hLogFile);
    EXPECT_EQ(0, WriteUninstallLog("object", "message"));
    char path[MAX_PATH] = "untouched";
    EXPECT_EQ(path, GetUninstallLogPath(path));
    EXPECT_STREQ("", path);
}

TEST_F(LogTest, NullObjectIsWrittenAsTheEmptyText)
{
    ASSERT_EQ(1, OpenUninstallLog("QWUNLOG.LOG"));

    EXPECT_EQ(1, WriteUninstallLog(NULL, "message"));

    CloseUninstallLog();
    EXPECT_EQ("     :message \r\n", FileText(File("QWUNLOG.LOG")));
}

}  // namespace
