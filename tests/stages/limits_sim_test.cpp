// The stages at the edges of their buffers and when the walks and searches
// under them fail: 259-character paths, the eleven characters of a queue
// entry's name, an unreadable queue counter, enumeration errors under the
// third stage, and file searches that fail.
#include <string.h>

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
const char kQueueKey[] = "HKLM\\SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles";
const char kRunKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\run";

const char *const kProgramFiles[] = {
    "\\QWSAVER.CPL", "\\QWTRAY.EXE",     "\\QWREG.DLL",  "\\QWADAPT.DLL",   "\\QWTAB.DLL",
    "\\QWFNKEY.EXE", "\\QWDEVWATCH.EXE", "\\QWICON.EXE", "\\QWCLKICON.EXE",
};
const char *const kHelpFiles[] = {"\\QWSAVER.HLP", "\\QWSAVER.GID", "\\QWSAVER.FTS"};

class StageLimitsSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTestMachine();
        UseSystemDir(kSystemDir);
        g_errorOccurred = 0;
        OpenUninstallLog("QWUNLOG.LOG");
    }
    void TearDown() override
    {
        CloseUninstallLog();
        EXPECT_EQ(0, wsim::OpenKeyHandles());
        EXPECT_EQ(0, wsim::OpenFileHandles());
        EXPECT_EQ(0, wsim::LiveAllocations());
    }

    void UseSystemDir(const std::string &dir)
    {
        wsim::MakeDir(dir.c_str());
        lstrcpynA(g_systemDir, dir.c_str(), MAX_PATH);
    }
    std::string Sys(const char *name) const { return std::string(g_systemDir) + name; }
    std::string Log()
    {
        CloseUninstallLog();
        return wsim::FileContents(g_logPath);
    }
    std::string Entry(const char *name)
    {
        DWORD type = 0;
        std::string data;
        if (!wsim::GetValue(kQueueKey, name, &type, &data) || type != REG_SZ)
            return "<none>";
        return data.c_str();
    }
    DWORD NextNumber()
    {
        DWORD type = 0;
        std::string data;
        if (!wsim::GetValue(kQueueKey, "NextNumber", &type, &data) || type != REG_DWORD || data.size() != 4)
            return 0xDEADBEEF;
        return *(const DWORD *)data.data();
    }
};

// 248 characters: "\QWTRAY.EXE" gives a path of 259 and a target of the
// same length; every name of twelve characters or more passes 259.
TEST_F(StageLimitsSimTest, ProgramPathOf259CharactersIsRetiredAndLongerOnesAreReported)
{
    UseSystemDir("C:\\" + std::string(245, 'd'));
    wsim::PutFile(Sys("\\QWTRAY.EXE").c_str(), "tray");
    ASSERT_EQ(259u, Sys("\\QWTRAY.EXE").size());

    RetireInstalledFiles();

    EXPECT_EQ(Sys("\\QWTRAY.qel"), Entry("File1"));
    EXPECT_EQ("tray", wsim::FileContents(Sys("\\QWTRAY.qel").c_str()));
    EXPECT_EQ(2u, NextNumber());
    std::string expected;
    for (const char *name : kProgramFiles)
        if (Sys(name).size() >= MAX_PATH)
            expected += LogLine(Sys(name).substr(0, MAX_PATH - 1), kDeleteFileText);
    expected += LogLine(Sys("\\QWUNINST.EXE").substr(0, MAX_PATH - 1), kDeleteFileText);
    for (const char *name : kHelpFiles)
        expected += LogLine(Sys(name).substr(0, MAX_PATH - 1), kDeleteFileText);
    EXPECT_EQ(expected, Log());
    EXPECT_EQ(1, g_errorOccurred);
}

// A path without a dot takes the suffix on its end: 255 characters make a
// target of 259, 256 one of 260, which is not formed.
TEST_F(StageLimitsSimTest, RenameToSuffixFormsATargetOf259CharactersAndNoLonger)
{
    std::string dir = "C:\\" + std::string(200, 'd');
    wsim::MakeDir(dir.c_str());
    std::string fits = dir + "\\" + std::string(51, 'a');
    std::string over = dir + "\\" + std::string(52, 'b');
    ASSERT_EQ(255u, fits.size());
    wsim::PutFile(fits.c_str(), "fits");
    wsim::PutFile(over.c_str(), "over");
    char newPath[MAX_PATH + 8];
    memset(newPath, 'x', sizeof(newPath));

    EXPECT_EQ(0, RenameToSuffix(over.c_str(), ".qel", newPath));
    EXPECT_EQ('x', newPath[0]);
    EXPECT_EQ(0, wsim::CallCount("MoveFileA"));

    EXPECT_EQ(1, RenameToSuffix(fits.c_str(), ".qel", newPath));
    EXPECT_EQ(fits + ".qel", newPath);
    EXPECT_EQ('x', newPath[MAX_PATH]);
    EXPECT_EQ("fits", wsim::FileContents((fits + ".qel").c_str()));
    EXPECT_TRUE(wsim::FileExists(over.c_str()));
}

TEST_F(StageLimitsSimTest, RenameToSuffixRefusesAPathOf260Characters)
{
    std::string path = "C:\\" + std::string(200, 'd') + "\\" + std::string(56, 'c');
    ASSERT_EQ((size_t)MAX_PATH, path.size());
    char newPath[MAX_PATH];
    memset(newPath, 'x', sizeof(newPath));

    EXPECT_EQ(0, RenameToSuffix(path.c_str(), ".qel", newPath));

    EXPECT_EQ('x', newPath[0]);
    EXPECT_EQ(0, wsim::CallCount("FindFirstFileA"));
    EXPECT_EQ(0, wsim::CallCount("MoveFileA"));
}

// A lead byte as the last byte of the path has no second byte to step
// over: the extension is that one byte, and it goes.
TEST_F(StageLimitsSimTest, ExtensionOfALoneLeadByteIsReplaced)
{
    ResetTestMachine(true);
    UseSystemDir(kSystemDir);
    std::string path = Sys("\\QWTRAY.\x95");
    wsim::PutFile(path.c_str(), "tray");
    char newPath[MAX_PATH];

    EXPECT_EQ(1, RenameToSuffix(path.c_str(), ".qel", newPath));

    EXPECT_EQ(Sys("\\QWTRAY.qel"), newPath);
    EXPECT_EQ("tray", wsim::FileContents(newPath));
}

// -999999 is the lowest number whose entry name, "File-999999", has
// eleven characters.
TEST_F(StageLimitsSimTest, NegativeEntryNameOfElevenCharactersIsWritten)
{
    wsim::PutDword(kQueueKey, "NextNumber", (DWORD)-999999);
    wsim::PutFile(Sys("\\QWTRAY.EXE").c_str(), "tray");

    RetireInstalledFiles();

    EXPECT_EQ(Sys("\\QWTRAY.qel"), Entry("File-999999"));
    EXPECT_EQ(Sys("\\QWUNINST.EXE"), Entry("File-999998"));
    EXPECT_EQ((DWORD)-999997, NextNumber());
    EXPECT_EQ("", Log());
    EXPECT_EQ(0, g_errorOccurred);
}

// A counter that cannot be read counts as none: the queue starts at 1.
TEST_F(StageLimitsSimTest, UnreadableNextNumberStartsTheQueueAtOne)
{
    wsim::PutDword(kQueueKey, "NextNumber", 5);
    wsim::PutFile(Sys("\\QWTRAY.EXE").c_str(), "tray");
    wsim::Fail("RegEnumValueA", kQueueKey, ERROR_ACCESS_DENIED);

    RetireInstalledFiles();

    EXPECT_EQ(Sys("\\QWTRAY.qel"), Entry("File1"));
    EXPECT_EQ(Sys("\\QWUNINST.EXE"), Entry("File2"));
    EXPECT_EQ(3u, NextNumber());
    EXPECT_EQ("", Log());
}

TEST_F(StageLimitsSimTest, FileWhoseSearchFailsIsPassedOverAsAbsent)
{
    wsim::PutFile(Sys("\\QWTRAY.EXE").c_str(), "tray");
    wsim::PutFile(Sys("\\QWSAVER.HLP").c_str(), "help");
    wsim::Fail("FindFirstFileA", Sys("\\QWTRAY.EXE").c_str(), ERROR_ACCESS_DENIED);
    wsim::Fail("FindFirstFileA", Sys("\\QWSAVER.HLP").c_str(), ERROR_ACCESS_DENIED);

    RetireInstalledFiles();

    EXPECT_EQ("tray", wsim::FileContents(Sys("\\QWTRAY.EXE").c_str()));
    EXPECT_EQ("help", wsim::FileContents(Sys("\\QWSAVER.HLP").c_str()));
    EXPECT_EQ(Sys("\\QWUNINST.EXE"), Entry("File1"));
    EXPECT_EQ(0, wsim::CallCount("MoveFileA"));
    EXPECT_EQ(0, wsim::CallCount("DeleteFileA"));
    EXPECT_EQ("", Log());
    EXPECT_EQ(0, g_errorOccurred);
}

// A value the lookup cannot enumerate does not exist for the stage.
TEST_F(StageLimitsSimTest, RunValueBehindAnEnumerationErrorStaysUnlogged)
{
    wsim::PutSz(kRunKey, "Qwtray", "QWTRAY.EXE");
    wsim::Fail("RegEnumValueA", kRunKey, ERROR_ACCESS_DENIED);

    RemoveProductSettings();

    EXPECT_TRUE(wsim::GetValue(kRunKey, "Qwtray", NULL, NULL));
    EXPECT_EQ(0, wsim::CallCount("RegDeleteValueA"));
    EXPECT_EQ("", Log());
    EXPECT_EQ(0, g_errorOccurred);
}

TEST_F(StageLimitsSimTest, TreeBehindAnEnumerationErrorIsReportedWithItsPath)
{
    const char tree[] = "HKLM\\SOFTWARE\\Classes\\CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}";
    wsim::CreateKey((std::string(tree) + "\\InprocServer32").c_str());
    wsim::Fail("RegEnumKeyExA", tree, ERROR_ACCESS_DENIED);

    RemoveProductSettings();

    EXPECT_TRUE(wsim::KeyExists((std::string(tree) + "\\InprocServer32").c_str()));
    EXPECT_EQ(LogLine("CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}", kDeleteKeyText), Log());
    EXPECT_EQ(1, g_errorOccurred);
}

}  // namespace
