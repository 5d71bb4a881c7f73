// The second stage and its renaming routine against the real file system
// and registry: a scratch directory stands in for the system directory.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "stages/stages.h"
#include "support/machine.h"
#include "stages/stage_support.h"

using namespace stage_test;

namespace {

const char kCleanupKey[] = "SOFTWARE\\QELVORA\\Cleanup";
const char kQueueKey[] = "SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles";
const HKEY HKLM = HKEY_LOCAL_MACHINE;

const char *const kProgramFiles[] = {
    "QWSAVER.CPL", "QWTRAY.EXE",     "QWREG.DLL",  "QWADAPT.DLL",   "QWTAB.DLL",
    "QWFNKEY.EXE", "QWDEVWATCH.EXE", "QWICON.EXE", "QWCLKICON.EXE",
};
const char *const kRetiredNames[] = {
    "QWSAVER.qel", "QWTRAY.qel",     "QWREG.qel",  "QWADAPT.qel",   "QWTAB.qel",
    "QWFNKEY.qel", "QWDEVWATCH.qel", "QWICON.qel", "QWCLKICON.qel",
};

class RetireFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTestMachine();
        RemoveKeyTree(HKLM, kCleanupKey);
        registry_.reset(new RegistryScope);
        registry_->Claim(HKLM, kQueueKey);
        UseSystemDir("qwstages\\system32");
        g_errorOccurred = 0;
        log_.reset(new ScratchLog);
    }
    void TearDown() override
    {
        log_.reset();
        dir_.reset();
        registry_.reset();
    }

    void UseSystemDir(const char *relative)
    {
        dir_.reset(new ScratchDir(relative));
        lstrcpynA(g_systemDir, dir_->Path().c_str(), MAX_PATH);
    }
    std::string Sys(const char *name) const { return dir_->File(name); }

    std::unique_ptr<RegistryScope> registry_;
    std::unique_ptr<ScratchDir> dir_;
    std::unique_ptr<ScratchLog> log_;
};

TEST_F(RetireFilesTest, RenameToSuffixReplacesTheExtension)
{
    dir_->Put("QWTRAY.EXE", "tray");
    char newPath[MAX_PATH];
    memset(newPath, 0xAB, sizeof(newPath));

    EXPECT_EQ(1, RenameToSuffix(Sys("QWTRAY.EXE").c_str(), ".qel", newPath));

    EXPECT_STREQ(Sys("QWTRAY.qel").c_str(), newPath);
    EXPECT_FALSE(FileThere(Sys("QWTRAY.EXE")));
    EXPECT_EQ("tray", FileText(Sys("QWTRAY.qel")));
}

TEST_F(RetireFilesTest, RenameToSuffixKeepsADottedDirectory)
{
    UseSystemDir("qw.stages\\system32");
    dir_->Put("QWTRAY.EXE", "tray");
    char newPath[MAX_PATH];

    EXPECT_EQ(1, RenameToSuffix(Sys("QWTRAY.EXE").c_str(), ".qel", newPath));

    EXPECT_STREQ(Sys("QWTRAY.qel").c_str(), newPath);
    EXPECT_EQ("tray", FileText(Sys("QWTRAY.qel")));
}

TEST_F(RetireFilesTest, RenameToSuffixAppendsToANameWithoutExtension)
{
    UseSystemDir("qw.stages\\system32");
    dir_->Put("README", "text");
    char newPath[MAX_PATH];

    EXPECT_EQ(1, RenameToSuffix(Sys("README").c_str(), ".qel", newPath));

    EXPECT_STREQ(Sys("README.qel").c_str(), newPath);
    EXPECT_EQ("text", FileText(Sys("README.qel")));
}

TEST_F(RetireFilesTest, RenameToSuffixDropsBlanksBeforeTheExtension)
{
    dir_->Put("QWTRAY .EXE", "tray");
    char newPath[MAX_PATH];

    EXPECT_EQ(1, RenameToSuffix(Sys("QWTRAY .EXE").c_str(), ".qel", newPath));

    EXPECT_STREQ(Sys("QWTRAY.qel").c_str(), newPath);
    EXPECT_FALSE(FileThere(Sys("QWTRAY .EXE")));
}

TEST_F(RetireFilesTest, RenameToSuffixOfAMissingFileLeavesNewPathUntouched)
{
    char newPath[MAX_PATH];
    memset(newPath, 0xAB, sizeof(newPath));

    EXPECT_EQ(0, RenameToSuffix(Sys("QWTRAY.EXE").c_str(), ".qel", newPath));

    for (size_t i = 0; i < sizeof(newPath); i++)
        ASSERT_EQ((char)0xAB, newPath[i]) << i;
    EXPECT_FALSE(FileThere(Sys("QWTRAY.qel")));
}

TEST_F(RetireFilesTest, RenameToSuffixFailsWhenAStaleTargetIsInUse)
{
    dir_->Put("QWTRAY.EXE", "new");
    dir_->Put("QWTRAY.qel", "old");
    char newPath[MAX_PATH];
    memset(newPath, 0xAB, sizeof(newPath));
    {
        HeldFile held(Sys("QWTRAY.qel"));
        EXPECT_EQ(0, RenameToSuffix(Sys("QWTRAY.EXE").c_str(), ".qel", newPath));
    }

    EXPECT_EQ((char)0xAB, newPath[0]);
    EXPECT_EQ("new", FileText(Sys("QWTRAY.EXE")));
    EXPECT_EQ("old", FileText(Sys("QWTRAY.qel")));
}

TEST_F(RetireFilesTest, RenameToSuffixKeepsAFileThatHasTheSuffixAlready)
{
    dir_->Put("QWTRAY.QEL", "tray");
    char newPath[MAX_PATH];

    EXPECT_EQ(1, RenameToSuffix(Sys("QWTRAY.QEL").c_str(), ".qel", newPath));

    EXPECT_STREQ(Sys("QWTRAY.qel").c_str(), newPath);
    EXPECT_EQ("tray", FileText(Sys("QWTRAY.qel")));
}

TEST_F(RetireFilesTest, QueuesEveryRenamedFileThenTheUninstaller)
{
    for (const char *name : kProgramFiles)
        dir_->Put(name, name);

    RetireInstalledFiles();

    for (size_t i = 0; i < 9; i++) {
        std::string valueName = "File" + std::to_string(i + 1);
        EXPECT_TRUE(HasSz(HKLM, kQueueKey, valueName.c_str(), Sys(kRetiredNames[i])));
        EXPECT_FALSE(FileThere(Sys(kProgramFiles[i]))) << kProgramFiles[i];
        EXPECT_EQ(kProgramFiles[i], FileText(Sys(kRetiredNames[i])));
    }
    EXPECT_TRUE(HasSz(HKLM, kQueueKey, "File10", Sys("QWUNINST.EXE")));
    EXPECT_TRUE(HasDword(HKLM, kQueueKey, "NextNumber", 11));
    EXPECT_EQ(11u, ValueNamesOf(HKLM, kQueueKey).size());
    EXPECT_EQ(0, g_errorOccurred);
    EXPECT_EQ("", log_->Lines());
}

TEST_F(RetireFilesTest, AbsentFilesLeaveNoGapInTheNumbering)
{
    PutDwordValue(HKLM, kQueueKey, "NextNumber", 5);
    dir_->Put("QWTRAY.EXE", "tray");
    dir_->Put("QWICON.EXE", "icon");

    RetireInstalledFiles();

    std::vector<std::string> expected = {"File5", "File6", "File7", "NextNumber"};
    EXPECT_EQ(expected, ValueNamesOf(HKLM, kQueueKey));
    EXPECT_TRUE(HasSz(HKLM, kQueueKey, "File5", Sys("QWTRAY.qel")));
    EXPECT_TRUE(HasSz(HKLM, kQueueKey, "File6", Sys("QWICON.qel")));
    EXPECT_TRUE(HasSz(HKLM, kQueueKey, "File7", Sys("QWUNINST.EXE")));
    EXPECT_TRUE(HasDword(HKLM, kQueueKey, "NextNumber", 8));
    EXPECT_EQ(0, g_errorOccurred);
    EXPECT_EQ("", log_->Lines());
}

TEST_F(RetireFilesTest, NextNumberZeroGivesFileZero)
{
    PutDwordValue(HKLM, kQueueKey, "NextNumber", 0);

    RetireInstalledFiles();

    EXPECT_TRUE(HasSz(HKLM, kQueueKey, "File0", Sys("QWUNINST.EXE")));
    EXPECT_TRUE(HasDword(HKLM, kQueueKey, "NextNumber", 1));
}

TEST_F(RetireFilesTest, NextNumberWrapsFromMinusOneToZero)
{
    PutDwordValue(HKLM, kQueueKey, "NextNumber", 4294967295u);
    dir_->Put("QWTRAY.EXE", "tray");

    RetireInstalledFiles();

    EXPECT_TRUE(HasSz(HKLM, kQueueKey, "File-1", Sys("QWTRAY.qel")));
    EXPECT_TRUE(HasSz(HKLM, kQueueKey, "File0", Sys("QWUNINST.EXE")));
    EXPECT_TRUE(HasDword(HKLM, kQueueKey, "NextNumber", 1));
}

TEST_F(RetireFilesTest, EntryNamePastElevenCharactersIsAFailedWrite)
{
    PutDwordValue(HKLM, kQueueKey, "NextNumber", 9999999);
    PutSzValue(HKLM, kQueueKey, "File1000000", "earlier entry");
    dir_->Put("QWTRAY.EXE", "tray");
    dir_->Put("QWICON.EXE", "icon");

    RetireInstalledFiles();

    EXPECT_TRUE(HasSz(HKLM, kQueueKey, "File9999999", Sys("QWTRAY.qel")));
    EXPECT_TRUE(HasSz(HKLM, kQueueKey, "File1000000", "earlier entry"));
    EXPECT_EQ(3u, ValueNamesOf(HKLM, kQueueKey).size());
    EXPECT_TRUE(HasDword(HKLM, kQueueKey, "NextNumber", 10000000));
    EXPECT_EQ("icon", FileText(Sys("QWICON.qel")));
    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_EQ(LogLine(Sys("QWICON.qel"), kModifyValueText) + LogLine(Sys("QWUNINST.EXE"), kModifyValueText),
              log_->Lines());
}

TEST_F(RetireFilesTest, NegativeEntryNamePastElevenCharactersIsAFailedWrite)
{
    // -1000000: "File-1000000" needs twelve characters.
    PutDwordValue(HKLM, kQueueKey, "NextNumber", 4293967296u);
    dir_->Put("QWTRAY.EXE", "tray");

    RetireInstalledFiles();

    std::vector<std::string> expected = {"NextNumber"};
    EXPECT_EQ(expected, ValueNamesOf(HKLM, kQueueKey));
    EXPECT_TRUE(HasDword(HKLM, kQueueKey, "NextNumber", 4293967296u));
    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_EQ(LogLine(Sys("QWTRAY.qel"), kModifyValueText) + LogLine(Sys("QWUNINST.EXE"), kModifyValueText),
              log_->Lines());
}

TEST_F(RetireFilesTest, RefNumIsLoweredByOne)
{
    const DWORD cases[][2] = {{3, 2}, {1, 0}, {4294967295u, 4294967294u}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c[0]);
        PutDwordValue(HKLM, kCleanupKey, "RefNum", c[0]);

        RetireInstalledFiles();

        EXPECT_TRUE(HasDword(HKLM, kCleanupKey, "RefNum", c[1]));
    }
}

TEST_F(RetireFilesTest, RefNumZeroStaysZero)
{
    PutDwordValue(HKLM, kCleanupKey, "RefNum", 0);

    RetireInstalledFiles();

    EXPECT_TRUE(HasDword(HKLM, kCleanupKey, "RefNum", 0));
}

TEST_F(RetireFilesTest, MissingRefNumIsCreatedAsZero)
{
    RetireInstalledFiles();

    EXPECT_TRUE(HasDword(HKLM, kCleanupKey, "RefNum", 0));
    EXPECT_EQ(0, g_errorOccurred);
}

TEST_F(RetireFilesTest, StaleTargetIsReplacedAndQueued)
{
    dir_->Put("QWTRAY.EXE", "new");
    dir_->Put("QWTRAY.qel", "old");

    RetireInstalledFiles();

    EXPECT_TRUE(HasSz(HKLM, kQueueKey, "File1", Sys("QWTRAY.qel")));
    EXPECT_EQ("new", FileText(Sys("QWTRAY.qel")));
    EXPECT_EQ(0, g_errorOccurred);
}

TEST_F(RetireFilesTest, StaleTargetInUseIsReportedAndNotQueued)
{
    dir_->Put("QWTRAY.EXE", "new");
    dir_->Put("QWTRAY.qel", "old");
    dir_->Put("QWICON.EXE", "icon");
    std::string lines;
    {
        HeldFile held(Sys("QWTRAY.qel"));
        RetireInstalledFiles();
        lines = log_->Lines();
    }

    EXPECT_EQ(LogLine(Sys("QWTRAY.EXE"), kDeleteFileText), lines);
    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_TRUE(HasSz(HKLM, kQueueKey, "File1", Sys("QWICON.qel")));
    EXPECT_TRUE(HasSz(HKLM, kQueueKey, "File2", Sys("QWUNINST.EXE")));
    EXPECT_TRUE(HasDword(HKLM, kQueueKey, "NextNumber", 3));
    EXPECT_EQ("new", FileText(Sys("QWTRAY.EXE")));
    EXPECT_EQ("old", FileText(Sys("QWTRAY.qel")));
}

TEST_F(RetireFilesTest, ProgramFileInUseIsReportedAndNotQueued)
{
    dir_->Put("QWTRAY.EXE", "tray");
    std::string lines;
    {
        HeldFile held(Sys("QWTRAY.EXE"));
        RetireInstalledFiles();
        lines = log_->Lines();
    }

    EXPECT_EQ(LogLine(Sys("QWTRAY.EXE"), kDeleteFileText), lines);
    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_TRUE(HasSz(HKLM, kQueueKey, "File1", Sys("QWUNINST.EXE")));
    EXPECT_TRUE(HasDword(HKLM, kQueueKey, "NextNumber", 2));
    EXPECT_EQ("tray", FileText(Sys("QWTRAY.EXE")));
    EXPECT_FALSE(FileThere(Sys("QWTRAY.qel")));
}

TEST_F(RetireFilesTest, HelpFilesAreDeleted)
{
    dir_->Put("QWSAVER.HLP", "h");
    dir_->Put("QWSAVER.GID", "g");
    dir_->Put("QWSAVER.FTS", "f");

    RetireInstalledFiles();

    EXPECT_FALSE(FileThere(Sys("QWSAVER.HLP")));
    EXPECT_FALSE(FileThere(Sys("QWSAVER.GID")));
    EXPECT_FALSE(FileThere(Sys("QWSAVER.FTS")));
    EXPECT_EQ(0, g_errorOccurred);
    EXPECT_EQ("", log_->Lines());
}

TEST_F(RetireFilesTest, HelpFileInUseIsReported)
{
    dir_->Put("QWSAVER.GID", "g");
    std::string lines;
    {
        HeldFile held(Sys("QWSAVER.GID"));
        RetireInstalledFiles();
        lines = log_->Lines();
    }

    EXPECT_EQ(LogLine(Sys("QWSAVER.GID"), kDeleteFileText), lines);
    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_EQ("g", FileText(Sys("QWSAVER.GID")));
}

// The part of g_systemDir followed by name that fits into MAX_PATH.
std::string Cut(const std::string &dir, const char *name)
{
    return (dir + name).substr(0, MAX_PATH - 1);
}

// 246 characters: "\QWDEVWATCH.EXE" and "\QWCLKICON.EXE" pass 259, the
// uninstaller's path takes exactly 259.
TEST_F(RetireFilesTest, ProgramPathsPastMaxPathAreReportedCut)
{
    std::string dir = "C:\\qwstages-long\\" + std::string(229, 'd');
    ASSERT_EQ(246u, dir.size());
    lstrcpynA(g_systemDir, dir.c_str(), MAX_PATH);

    RetireInstalledFiles();

    EXPECT_EQ(LogLine(Cut(dir, "\\QWDEVWATCH.EXE"), kDeleteFileText) +
                  LogLine(Cut(dir, "\\QWCLKICON.EXE"), kDeleteFileText),
              log_->Lines());
    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_TRUE(HasSz(HKLM, kQueueKey, "File1", dir + "\\QWUNINST.EXE"));
    EXPECT_TRUE(HasDword(HKLM, kQueueKey, "NextNumber", 2));
}

TEST_F(RetireFilesTest, UninstallerPathPastMaxPathIsReportedCut)
{
    std::string dir = "C:\\qwstages-long\\" + std::string(230, 'd');
    lstrcpynA(g_systemDir, dir.c_str(), MAX_PATH);

    RetireInstalledFiles();

    EXPECT_EQ(LogLine(Cut(dir, "\\QWDEVWATCH.EXE"), kDeleteFileText) +
                  LogLine(Cut(dir, "\\QWCLKICON.EXE"), kDeleteFileText) +
                  LogLine(Cut(dir, "\\QWUNINST.EXE"), kDeleteFileText),
              log_->Lines());
    EXPECT_EQ(1, g_errorOccurred);
    std::vector<std::string> expected = {"NextNumber"};
    EXPECT_EQ(expected, ValueNamesOf(HKLM, kQueueKey));
    EXPECT_TRUE(HasDword(HKLM, kQueueKey, "NextNumber", 1));
}

}  // namespace
