// The second stage when single calls fail. The product is installed in full
// (nine program files, three help files, "NextNumber" 5, "RefNum" 3); each
// test breaks one call and checks the flag, the log bytes, and that every
// other step did what it does on a run without failures.
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <winsim.h>

#include "stages/stages.h"
#include "support/machine.h"
#include "stages/stage_support.h"

using namespace stage_test;

namespace {

const char kSystemDir[] = "C:\\WINNT\\system32";
const char kCleanupKey[] = "HKLM\\SOFTWARE\\QELVORA\\Cleanup";
const char kQueueKey[] = "HKLM\\SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles";

const char *const kProgramFiles[] = {
    "QWSAVER.CPL", "QWTRAY.EXE",     "QWREG.DLL",  "QWADAPT.DLL",   "QWTAB.DLL",
    "QWFNKEY.EXE", "QWDEVWATCH.EXE", "QWICON.EXE", "QWCLKICON.EXE",
};
const char *const kRetiredNames[] = {
    "QWSAVER.qel", "QWTRAY.qel",     "QWREG.qel",  "QWADAPT.qel",   "QWTAB.qel",
    "QWFNKEY.qel", "QWDEVWATCH.qel", "QWICON.qel", "QWCLKICON.qel",
};
const char *const kHelpFiles[] = {"QWSAVER.HLP", "QWSAVER.GID", "QWSAVER.FTS"};

std::string Sys(const char *name)
{
    return std::string(kSystemDir) + "\\" + name;
}

class RetireFilesSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTestMachine();
        lstrcpynA(g_systemDir, kSystemDir, MAX_PATH);
        g_errorOccurred = 0;
        for (const char *name : kProgramFiles)
            wsim::PutFile(Sys(name).c_str(), name);
        for (const char *name : kHelpFiles)
            wsim::PutFile(Sys(name).c_str(), name);
        wsim::PutDword(kQueueKey, "NextNumber", 5);
        wsim::PutDword(kCleanupKey, "RefNum", 3);
        OpenUninstallLog("QWUNLOG.LOG");
    }
    void TearDown() override { CloseUninstallLog(); }

    std::string Log()
    {
        CloseUninstallLog();
        return wsim::FileContents(g_logPath);
    }

    // The queue entries as "name=data", in the order they were written.
    std::vector<std::string> Queue()
    {
        std::vector<std::string> entries;
        for (const std::string &name : wsim::ValueNames(kQueueKey)) {
            if (name == "NextNumber")
                continue;
            DWORD type = 0;
            std::string data;
            wsim::GetValue(kQueueKey, name.c_str(), &type, &data);
            EXPECT_EQ((DWORD)REG_SZ, type) << name;
            entries.push_back(name + "=" + data.c_str());
        }
        return entries;
    }

    // The queue of a run in which the files `skipped` (indexes into the
    // program files) were not renamed and the entry write of `lost` failed.
    std::vector<std::string> ExpectedQueue(std::vector<size_t> skipped, int lost = -1)
    {
        std::vector<std::string> entries;
        DWORD number = 5;
        for (size_t i = 0; i < 9; i++) {
            if (std::find(skipped.begin(), skipped.end(), i) != skipped.end() || (int)i == lost)
                continue;
            entries.push_back("File" + std::to_string(number++) + "=" + Sys(kRetiredNames[i]));
        }
        entries.push_back("File" + std::to_string(number) + "=" + Sys("QWUNINST.EXE"));
        return entries;
    }

    DWORD Number(const char *key, const char *name)
    {
        DWORD type = 0;
        std::string data;
        if (!wsim::GetValue(key, name, &type, &data) || type != REG_DWORD || data.size() != 4)
            return 0xDEADBEEF;
        return *(const DWORD *)data.data();
    }

    void ExpectHelpFilesGone()
    {
        for (const char *name : kHelpFiles)
            EXPECT_FALSE(wsim::FileExists(Sys(name).c_str())) << name;
    }
};

TEST_F(RetireFilesSimTest, RunWithoutFailures)
{
    RetireInstalledFiles();

    EXPECT_EQ(ExpectedQueue({}), Queue());
    EXPECT_EQ(15u, Number(kQueueKey, "NextNumber"));
    EXPECT_EQ(2u, Number(kCleanupKey, "RefNum"));
    ExpectHelpFilesGone();
    EXPECT_EQ(0, g_errorOccurred);
    EXPECT_EQ("", Log());
    EXPECT_EQ(0, wsim::OpenKeyHandles());
    EXPECT_EQ(0, wsim::OpenFileHandles());
}

TEST_F(RetireFilesSimTest, RefusedRenameIsReportedAndNotQueued)
{
    wsim::Fail("MoveFileA", Sys("QWREG.DLL").c_str(), ERROR_ACCESS_DENIED);

    RetireInstalledFiles();

    EXPECT_EQ(LogLine(Sys("QWREG.DLL"), kDeleteFileText), Log());
    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_EQ(ExpectedQueue({2}), Queue());
    EXPECT_EQ(14u, Number(kQueueKey, "NextNumber"));
    EXPECT_EQ(2u, Number(kCleanupKey, "RefNum"));
    EXPECT_TRUE(wsim::FileExists(Sys("QWREG.DLL").c_str()));
    EXPECT_FALSE(wsim::FileExists(Sys("QWREG.qel").c_str()));
    ExpectHelpFilesGone();
}

TEST_F(RetireFilesSimTest, UndeletableStaleTargetIsReportedAndNotQueued)
{
    wsim::PutFile(Sys("QWREG.qel").c_str(), "old");
    wsim::Fail("DeleteFileA", Sys("QWREG.qel").c_str(), ERROR_ACCESS_DENIED);

    RetireInstalledFiles();

    EXPECT_EQ(LogLine(Sys("QWREG.DLL"), kDeleteFileText), Log());
    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_EQ(ExpectedQueue({2}), Queue());
    EXPECT_EQ(14u, Number(kQueueKey, "NextNumber"));
    EXPECT_EQ("QWREG.DLL", wsim::FileContents(Sys("QWREG.DLL").c_str()));
    EXPECT_EQ("old", wsim::FileContents(Sys("QWREG.qel").c_str()));
    ExpectHelpFilesGone();
}

TEST_F(RetireFilesSimTest, StaleTargetOfAnAbsentFileGoesSilently)
{
    ASSERT_TRUE(DeleteFileA(Sys("QWREG.DLL").c_str()));
    wsim::PutFile(Sys("QWREG.qel").c_str(), "old");

    RetireInstalledFiles();

    EXPECT_FALSE(wsim::FileExists(Sys("QWREG.qel").c_str()));
    EXPECT_EQ("", Log());
    EXPECT_EQ(0, g_errorOccurred);
    EXPECT_EQ(ExpectedQueue({2}), Queue());
    EXPECT_EQ(14u, Number(kQueueKey, "NextNumber"));
    ExpectHelpFilesGone();
}

TEST_F(RetireFilesSimTest, UndeletableStaleTargetOfAnAbsentFileIsNotReported)
{
    ASSERT_TRUE(DeleteFileA(Sys("QWREG.DLL").c_str()));
    wsim::PutFile(Sys("QWREG.qel").c_str(), "old");
    wsim::Fail("DeleteFileA", Sys("QWREG.qel").c_str(), ERROR_ACCESS_DENIED);

    RetireInstalledFiles();

    // The set-up's, the refused one of the ".qel", the three help files'.
    EXPECT_EQ(5, wsim::CallCount("DeleteFileA"));
    EXPECT_EQ("old", wsim::FileContents(Sys("QWREG.qel").c_str()));
    EXPECT_EQ("", Log());
    EXPECT_EQ(0, g_errorOccurred);
    EXPECT_EQ(ExpectedQueue({2}), Queue());
    EXPECT_EQ(14u, Number(kQueueKey, "NextNumber"));
    ExpectHelpFilesGone();
}

TEST_F(RetireFilesSimTest, RefusedEntryIsReportedAndItsNameReused)
{
    wsim::Fail("RegSetValueExA", "HKLM\\SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles|File6", ERROR_ACCESS_DENIED, 1);

    RetireInstalledFiles();

    EXPECT_EQ(LogLine(Sys("QWTRAY.qel"), kModifyValueText), Log());
    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_EQ(ExpectedQueue({}, 1), Queue());
    EXPECT_EQ(14u, Number(kQueueKey, "NextNumber"));
    EXPECT_EQ("QWTRAY.EXE", wsim::FileContents(Sys("QWTRAY.qel").c_str()));
    EXPECT_EQ(2u, Number(kCleanupKey, "RefNum"));
    ExpectHelpFilesGone();
}

TEST_F(RetireFilesSimTest, EveryEntryRefusedKeepsTheStartNumber)
{
    wsim::Fail("RegSetValueExA", "HKLM\\SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles|File5", ERROR_ACCESS_DENIED);

    RetireInstalledFiles();

    std::string expected;
    for (const char *name : kRetiredNames)
        expected += LogLine(Sys(name), kModifyValueText);
    expected += LogLine(Sys("QWUNINST.EXE"), kModifyValueText);
    EXPECT_EQ(expected, Log());
    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_TRUE(Queue().empty());
    EXPECT_EQ(5u, Number(kQueueKey, "NextNumber"));
    for (const char *name : kRetiredNames)
        EXPECT_TRUE(wsim::FileExists(Sys(name).c_str())) << name;
    EXPECT_EQ(2u, Number(kCleanupKey, "RefNum"));
    ExpectHelpFilesGone();
}

TEST_F(RetireFilesSimTest, QueueKeyThatCannotBeCreatedFailsEveryEntry)
{
    wsim::Fail("RegCreateKeyExA", kQueueKey, ERROR_ACCESS_DENIED);

    RetireInstalledFiles();

    std::string expected;
    for (const char *name : kRetiredNames)
        expected += LogLine(Sys(name), kModifyValueText);
    expected += LogLine(Sys("QWUNINST.EXE"), kModifyValueText);
    EXPECT_EQ(expected, Log());
    EXPECT_TRUE(Queue().empty());
    EXPECT_EQ(5u, Number(kQueueKey, "NextNumber"));
    EXPECT_EQ(2u, Number(kCleanupKey, "RefNum"));
    ExpectHelpFilesGone();
}

TEST_F(RetireFilesSimTest, RefusedNextNumberIsSilent)
{
    wsim::Fail("RegSetValueExA", "HKLM\\SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles|NextNumber", ERROR_ACCESS_DENIED);

    RetireInstalledFiles();

    EXPECT_EQ("", Log());
    EXPECT_EQ(0, g_errorOccurred);
    EXPECT_EQ(ExpectedQueue({}), Queue());
    EXPECT_EQ(5u, Number(kQueueKey, "NextNumber"));
    EXPECT_EQ(2u, Number(kCleanupKey, "RefNum"));
    ExpectHelpFilesGone();
}

TEST_F(RetireFilesSimTest, UnreadableRefNumIsWrittenAsZero)
{
    wsim::Fail("RegOpenKeyExA", kCleanupKey, ERROR_ACCESS_DENIED);

    RetireInstalledFiles();

    EXPECT_EQ("", Log());
    EXPECT_EQ(0, g_errorOccurred);
    EXPECT_EQ(0u, Number(kCleanupKey, "RefNum"));
    EXPECT_EQ(ExpectedQueue({}), Queue());
    ExpectHelpFilesGone();
}

TEST_F(RetireFilesSimTest, RefusedRefNumIsSilent)
{
    wsim::Fail("RegSetValueExA", "HKLM\\SOFTWARE\\QELVORA\\Cleanup|RefNum", ERROR_ACCESS_DENIED);

    RetireInstalledFiles();

    EXPECT_EQ("", Log());
    EXPECT_EQ(0, g_errorOccurred);
    EXPECT_EQ(3u, Number(kCleanupKey, "RefNum"));
    EXPECT_EQ(15u, Number(kQueueKey, "NextNumber"));
    ExpectHelpFilesGone();
}

TEST_F(RetireFilesSimTest, RefusedHelpFileDeletionIsReported)
{
    wsim::Fail("DeleteFileA", Sys("QWSAVER.HLP").c_str(), ERROR_ACCESS_DENIED);

    RetireInstalledFiles();

    EXPECT_EQ(LogLine(Sys("QWSAVER.HLP"), kDeleteFileText), Log());
    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_TRUE(wsim::FileExists(Sys("QWSAVER.HLP").c_str()));
    EXPECT_FALSE(wsim::FileExists(Sys("QWSAVER.GID").c_str()));
    EXPECT_FALSE(wsim::FileExists(Sys("QWSAVER.FTS").c_str()));
    EXPECT_EQ(ExpectedQueue({}), Queue());
}

TEST_F(RetireFilesSimTest, RenameToSuffixDoesNotFormATargetPastMaxPath)
{
    std::string path = "C:\\" + std::string(254, 'a');
    char newPath[MAX_PATH];
    memset(newPath, 0xAB, sizeof(newPath));

    EXPECT_EQ(0, RenameToSuffix(path.c_str(), ".qel", newPath));

    EXPECT_EQ((char)0xAB, newPath[0]);
    EXPECT_EQ(0, wsim::CallCount("MoveFileA"));
    EXPECT_EQ(0, wsim::CallCount("DeleteFileA"));
}

}  // namespace
