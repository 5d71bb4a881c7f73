// The log in a temporary directory where the user may have planted links:
// whatever is at the log's name, no other file is emptied, written,
// created or deleted. Wine follows a symbolic link even when asked not to
// and has no junctions of its own, so these cases are shown here.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "common/globals.h"
#include "support/machine.h"
#include "winsim.h"

namespace {

const char kLogName[] = "QWUNLOG.LOG";
const char kTempDir[] = "C:\\Documents and Settings\\Administrator\\Local Settings\\Temp";
const char kLog[] = "C:\\Documents and Settings\\Administrator\\Local Settings\\Temp\\QWUNLOG.LOG";
const char kMachineFile[] = "C:\\WINNT\\system32\\config\\SAM.LOG";
const char kMachineDir[] = "C:\\WINNT\\system32\\config";

class LogLinksSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTestMachine();
        CloseUninstallLog();
        wsim::PutFile(kMachineFile, "the machine's");
    }
    // Whatever answers at the log's name may tell who asked, never act as
    // the program: every open says so.
    void TearDown() override
    {
        CloseUninstallLog();
        EXPECT_EQ(0, wsim::OpenFileHandles());
        for (const wsim::FileOpen &open : wsim::FileOpens())
            EXPECT_EQ((DWORD)(SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION), open.flags & 0x001F0000) << open.path;
    }

    // Writes a line and closes the log; what the log's own file then holds.
    std::string WriteAndClose()
    {
        WriteUninstallLog("object", "message");
        CloseUninstallLog();
        return wsim::FileContents(kLog);
    }

    // The temporary directory (empty) made a junction into another folder.
    void TempDirLeadsInto(const char *target) { wsim::PutJunction(kTempDir, target); }
};

const char kLine[] = "object     :message \r\n";

// The name is removed as the link it is; a fresh plain log takes its place.
TEST_F(LogLinksSimTest, HardLinkAtTheLogsNameLeavesItsOtherNameAlone)
{
    ASSERT_TRUE(CreateHardLinkA(kLog, kMachineFile, NULL));
    ASSERT_EQ("the machine's", wsim::FileContents(kLog));

    EXPECT_EQ(1, OpenUninstallLog(kLogName));

    EXPECT_EQ(kLine, WriteAndClose());
    EXPECT_EQ("the machine's", wsim::FileContents(kMachineFile));
}

TEST_F(LogLinksSimTest, SymbolicLinkAtTheLogsNameIsReplacedNotFollowed)
{
    wsim::PutSymbolicLink(kLog, kMachineFile);
    wsim::PutSymbolicLink((std::string(kTempDir) + "\\dangling.log").c_str(), "C:\\WINNT\\system32\\planted.dll");
    std::vector<std::string> machineFiles = wsim::ListDir("C:\\WINNT\\system32");

    EXPECT_EQ(1, OpenUninstallLog(kLogName));

    EXPECT_EQ(kLine, WriteAndClose());
    EXPECT_EQ("the machine's", wsim::FileContents(kMachineFile));
    EXPECT_EQ(0u, GetFileAttributesA(kLog) & FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(machineFiles, wsim::ListDir("C:\\WINNT\\system32"));
}

// Any open that follows the link creates the file where it points, even
// with CREATE_NEW; on 2000 and XP nothing afterwards would tell. Where the
// link cannot be removed through its handle the log is unavailable.
TEST_F(LogLinksSimTest, DanglingSymbolicLinkCreatesNothingWhereItPoints)
{
    const struct {
        bool vistaFileCalls;
        bool redirectionTrust;
        int opened;
    } systems[] = {{true, true, 1}, {true, false, 1}, {false, false, 0}};
    const char kTarget[] = "C:\\WINNT\\system32\\QWUNLOG.DLL";
    for (const auto &system : systems) {
        SCOPED_TRACE(system.vistaFileCalls ? (system.redirectionTrust ? "22H2" : "Windows 8") : "XP");
        ResetTestMachine();
        wsim::SetNewerFileCalls(system.vistaFileCalls, system.redirectionTrust);
        wsim::PutSymbolicLink(kLog, kTarget);

        EXPECT_EQ(system.opened, OpenUninstallLog(kLogName));

        EXPECT_EQ(system.opened ? kLine : "", WriteAndClose());
        EXPECT_FALSE(wsim::FileExists(kTarget));
    }
}

// A junction on the way is followed by every open; a log made there is
// deleted again through its handle, and the log is unavailable.
TEST_F(LogLinksSimTest, LogThatWouldLandInAnotherFolderIsUnavailable)
{
    TempDirLeadsInto(kMachineDir);
    std::vector<std::string> machineFiles = wsim::ListDir(kMachineDir);

    EXPECT_EQ(0, OpenUninstallLog(kLogName));

    EXPECT_EQ(0, WriteUninstallLog("object", "message"));
    EXPECT_EQ(machineFiles, wsim::ListDir(kMachineDir));
}

// A name of that folder is closed untouched, whatever it is: a plain file,
// a second name of another file, a link of the machine's.
TEST_F(LogLinksSimTest, ExistingNameInAnotherFolderIsLeftAlone)
{
    const char kThere[] = "C:\\WINNT\\system32\\config\\QWUNLOG.LOG";
    for (int plant = 0; plant < 3; plant++) {
        SetUp();
        if (plant == 0)
            wsim::PutFile(kThere, "the machine's");
        else if (plant == 1)
            ASSERT_TRUE(CreateHardLinkA(kThere, kMachineFile, NULL));
        else
            wsim::PutSymbolicLink(kThere, kMachineFile, false);
        TempDirLeadsInto(kMachineDir);

        std::vector<std::string> machineFiles = wsim::ListDir(kMachineDir);

        EXPECT_EQ(0, OpenUninstallLog(kLogName)) << plant;

        EXPECT_EQ(machineFiles, wsim::ListDir(kMachineDir)) << plant;
        EXPECT_EQ(plant == 2 ? "" : "the machine's", wsim::FileContents(kThere)) << plant;
        EXPECT_EQ("the machine's", wsim::FileContents(kMachineFile)) << plant;
    }
}

// A pipe's server or a device that answers at the name is never written.
TEST_F(LogLinksSimTest, PipeOrDeviceAtTheLogsNameIsNotTheLog)
{
    for (DWORD type : {FILE_TYPE_PIPE, FILE_TYPE_CHAR}) {
        SetUp();
        wsim::PutDevice(kLog, type);

        EXPECT_EQ(0, OpenUninstallLog(kLogName)) << type;

        EXPECT_EQ(0, WriteUninstallLog("object", "message"));
        EXPECT_EQ("", wsim::FileContents(kLog));
        EXPECT_LE(2u, wsim::FileOpens().size());
    }
}

// The old run's lines would read as this run's failures.
TEST_F(LogLinksSimTest, OldLogThatCannotBeEmptiedMakesWayForAFreshOne)
{
    wsim::PutFile(kLog, "an older run's line\r\n");
    wsim::Fail("SetEndOfFile", "*", ERROR_ACCESS_DENIED);

    EXPECT_EQ(1, OpenUninstallLog(kLogName));

    EXPECT_EQ(kLine, WriteAndClose());
}

// The disk's letter case is not the user's; a double-byte character whose
// second byte looks like a letter is no letter.
TEST_F(LogLinksSimTest, FinalPathIsComparedWithoutCaseAndDoubleByteCharactersWhole)
{
    SetEnvironmentVariableA("TMP", "c:\\documents and settings\\administrator\\local settings\\temp");
    EXPECT_EQ(1, OpenUninstallLog(kLogName));
    CloseUninstallLog();
    EXPECT_EQ("", wsim::FileContents(kLog));

    ResetTestMachine(true);
    wsim::MakeDir("C:\\Work\\\x83\x61");
    wsim::PutJunction("C:\\Work\\\x83\x41", "C:\\Work\\\x83\x61");
    SetEnvironmentVariableA("TMP", "C:\\Work\\\x83\x41");
    EXPECT_EQ(0, OpenUninstallLog(kLogName));
    EXPECT_TRUE(wsim::ListDir("C:\\Work\\\x83\x61").empty());
}

// Only "X:\..." gets a log: a share's server and the object manager's
// names are never asked; the box names the path. (A drive-relative TMP
// never gets here: GetTempPathA makes it full, as Windows does.)
TEST_F(LogLinksSimTest, TemporaryPathOffALocalDriveGetsNoLog)
{
    const char *const kTemps[] = {"\\\\server\\share\\temp", "\\\\?\\C:\\temp", "\\\\.\\pipe\\temp"};
    for (const char *temp : kTemps) {
        SetUp();
        wsim::MakeDir("C:\\temp");
        SetEnvironmentVariableA("TMP", temp);

        EXPECT_EQ(0, OpenUninstallLog(kLogName)) << temp;

        EXPECT_EQ(std::string(temp) + "\\QWUNLOG.LOG", g_logPath);
        EXPECT_TRUE(wsim::FileOpens().empty()) << temp;
        EXPECT_TRUE(wsim::ListDir("C:\\temp").empty()) << temp;
    }
}

// With the redirection trust policy on, Windows refuses the user's junction
// itself; the log is unavailable and nothing is made behind it.
TEST_F(LogLinksSimTest, RedirectionTrustRefusesTheUsersJunction)
{
    TempDirLeadsInto(kMachineDir);
    std::vector<std::string> machineFiles = wsim::ListDir(kMachineDir);
    TrustNoRedirection();

    EXPECT_EQ(0, OpenUninstallLog(kLogName));

    // Refused at the open: no handle was ever looked at.
    EXPECT_EQ(0, wsim::CallCount("GetFinalPathNameByHandleA"));
    EXPECT_EQ(machineFiles, wsim::ListDir(kMachineDir));
}

// A log whose place cannot be told is not kept: the file just made goes
// again, and nothing is left behind.
TEST_F(LogLinksSimTest, LogWhoseFinalPathCannotBeHadIsUnavailableAndGone)
{
    for (const char *call : {"GetFinalPathNameByHandleA", "GetLongPathNameA", "GetFileInformationByHandle"}) {
        SetUp();
        wsim::Fail(call, "*", ERROR_NOT_ENOUGH_MEMORY);

        EXPECT_EQ(0, OpenUninstallLog(kLogName)) << call;

        EXPECT_FALSE(wsim::FileExists(kLog)) << call;
    }
    // A second name that cannot be removed stays, and so does the first.
    SetUp();
    ASSERT_TRUE(CreateHardLinkA(kLog, kMachineFile, NULL));
    wsim::Fail("SetFileInformationByHandle", "*", ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, OpenUninstallLog(kLogName));
    EXPECT_EQ("the machine's", wsim::FileContents(kLog));
}

TEST_F(LogLinksSimTest, DirectoryAtTheLogsNameIsLeftAlone)
{
    wsim::PutFile((std::string(kLog) + "\\inside.txt").c_str(), "kept");

    EXPECT_EQ(0, OpenUninstallLog(kLogName));

    EXPECT_EQ("kept", wsim::FileContents((std::string(kLog) + "\\inside.txt").c_str()));
}

// Windows 8 to 10 before 22H2 have the call but not the policy: its
// refusal changes nothing, and the final path still catches the junction.
TEST_F(LogLinksSimTest, WithoutThePolicyTheFinalPathStillCatchesTheJunction)
{
    wsim::SetNewerFileCalls(true, false);
    TempDirLeadsInto(kMachineDir);
    std::vector<std::string> machineFiles = wsim::ListDir(kMachineDir);
    TrustNoRedirection();

    EXPECT_EQ(0, OpenUninstallLog(kLogName));

    EXPECT_EQ(1, wsim::CallCount("SetProcessMitigationPolicy"));
    EXPECT_EQ(machineFiles, wsim::ListDir(kMachineDir));
}

// Windows 2000 and XP: no final path and no deletion through a handle. A
// plain log is made and emptied as ever; a hard link at the name cannot be
// removed, so the log is unavailable and the other name stays whole.
TEST_F(LogLinksSimTest, WithoutTheNewerCallsAPlainLogWorksAndALinkIsLeftAlone)
{
    wsim::SetNewerFileCalls(false, false);
    TrustNoRedirection();
    wsim::PutFile(kLog, "an older log");
    EXPECT_EQ(1, OpenUninstallLog(kLogName));
    EXPECT_EQ(kLine, WriteAndClose());

    ASSERT_TRUE(DeleteFileA(kLog));
    ASSERT_TRUE(CreateHardLinkA(kLog, kMachineFile, NULL));
    EXPECT_EQ(0, OpenUninstallLog(kLogName));
    EXPECT_EQ("the machine's", wsim::FileContents(kMachineFile));
    EXPECT_EQ(0, wsim::CallCount("GetFinalPathNameByHandleA"));
    EXPECT_EQ(0, wsim::CallCount("SetFileInformationByHandle"));
    EXPECT_EQ(0, wsim::CallCount("SetProcessMitigationPolicy"));
}

}  // namespace
