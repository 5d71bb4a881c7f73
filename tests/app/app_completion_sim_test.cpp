// The end of a run that removed the product: the cleanup helper and the
// restart, the error box naming the log, the shell's display path and the
// restart request with the shutdown privilege.
#include "app_sim_machine.h"

using namespace qwtest;

static const char kHelperPath[] = "C:\\WINNT\\system32\\QvCleanup.exe";
static const char kLongTemp[] = "C:\\Documents and Settings\\Administrator\\Local Settings\\Temp";
static const char kShortTemp[] = "C:\\DOCUME~1\\ADMINI~1\\LOCALS~1\\Temp";
// The box names the log by the shell's long form of its path.
static const std::string kErrorText = std::string(kTextErrorPrefix) + kLongTemp + "\\QWUNLOG.LOG.";

// The temporary directory as Windows 2000 reports it: in 8.3 form.
static void UseShortTempDirectory()
{
    wsim::MakeDir("C:\\Documents and Settings", "DOCUME~1");
    wsim::MakeDir("C:\\Documents and Settings\\Administrator", "ADMINI~1");
    wsim::MakeDir("C:\\Documents and Settings\\Administrator\\Local Settings", "LOCALS~1");
    wsim::MakeDir(kLongTemp);
    SetEnvironmentVariableA("TMP", kShortTemp);
    SetEnvironmentVariableA("TEMP", kShortTemp);
}

// Something the second stage must log: a help file held open elsewhere.
static void MakeStageFail()
{
    wsim::HoldFile(SystemFile("QWSAVER.GID").c_str());
}

// A whole run, confirmed and with the error box acknowledged, in which the
// second stage fails; the held file is given back afterwards.
static int RunWithAFailingStage()
{
    MakeStageFail();
    wsim::QueueBoxAnswer(IDOK);
    wsim::QueueBoxAnswer(IDOK);
    int exitCode = RunUninstaller();
    wsim::ReleaseFile(SystemFile("QWSAVER.GID").c_str());
    return exitCode;
}

// When the log's handle was closed (its seq), or -1; the log is closed
// once in a run.
static int LogCloseSeq()
{
    int seq = -1;
    for (const wsim::FileClose &close : wsim::FileCloses()) {
        if (close.path == LogPath()) {
            EXPECT_EQ(-1, seq) << "the log was closed twice";
            seq = close.seq;
        }
    }
    return seq;
}

static int QuitSeq()
{
    for (const wsim::MessageEvent &event : wsim::MessageLog()) {
        if (event.kind == wsim::MessageEventKind::Quit)
            return event.seq;
    }
    return -1;
}

class CompletionTest : public ::testing::Test {
protected:
    void SetUp() override { FreshMachineWithProduct(); }
    void TearDown() override { wsim::OnBox(nullptr); }
};

TEST_F(CompletionTest, SuccessWithRestartRegistersHelperAndRequestsRestart)
{
    int openDuringBox = -1;
    wsim::OnBox([&](const wsim::BoxRecord &box) {
        if (box.text == kTextRestart)
            openDuringBox = wsim::OpenFileHandles();
    });
    wsim::QueueBoxAnswer(IDOK);
    wsim::QueueBoxAnswer(IDYES);

    EXPECT_EQ(0, RunUninstaller());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(kTextRestart, boxes[1].text);
    EXPECT_EQ(APP_TITLE, boxes[1].caption);
    EXPECT_EQ((UINT)(MB_YESNO | MB_ICONINFORMATION), boxes[1].style);
    EXPECT_EQ(Controller(), boxes[1].owner);
    EXPECT_EQ(kHelperPath, RegSz(kRunKey, "QvCleanup"));
    auto requests = wsim::ExitRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ((UINT)EWX_REBOOT, requests[0].flags);
    EXPECT_EQ(0u, requests[0].reason);
    EXPECT_GT(requests[0].seq, boxes[1].seq);
    // The log's last lines are on disk before Windows is asked to restart.
    EXPECT_GT(LogCloseSeq(), boxes[1].seq);
    EXPECT_LT(LogCloseSeq(), requests[0].seq);
    EXPECT_EQ(1, openDuringBox);
    EXPECT_EQ("", wsim::FileContents(LogPath().c_str()));
    EXPECT_FALSE(wsim::KeyExists(kUninstallKey));
    EXPECT_EQ(0, g_errorOccurred);
    ExpectNothingLeftOpen();
}

TEST_F(CompletionTest, SuccessWithoutRestartRegistersHelperOnly)
{
    wsim::QueueBoxAnswer(IDOK);
    wsim::QueueBoxAnswer(IDNO);

    EXPECT_EQ(0, RunUninstaller());

    ASSERT_EQ(2u, wsim::Boxes().size());
    EXPECT_EQ(kHelperPath, RegSz(kRunKey, "QvCleanup"));
    EXPECT_TRUE(wsim::ExitRequests().empty());
    EXPECT_EQ(0, wsim::CallCount("ExitWindowsEx"));
    EXPECT_GT(LogCloseSeq(), wsim::Boxes()[1].seq);
    EXPECT_LT(LogCloseSeq(), QuitSeq());
    EXPECT_TRUE(wsim::FileExists(LogPath().c_str()));
    EXPECT_EQ("", wsim::FileContents(LogPath().c_str()));
    ExpectNothingLeftOpen();
}

// A refused restart shows nothing; the helper still runs at next log-on.
TEST_F(CompletionTest, RestartWithoutShutdownPrivilegeEndsQuietly)
{
    wsim::SetShutdownPrivilegeHeld(false);
    wsim::QueueBoxAnswer(IDOK);
    wsim::QueueBoxAnswer(IDYES);

    EXPECT_EQ(0, RunUninstaller());

    EXPECT_EQ(2u, wsim::Boxes().size());
    EXPECT_TRUE(wsim::ExitRequests().empty());
    EXPECT_EQ(0, wsim::CallCount("ExitWindowsEx"));
    EXPECT_EQ(kHelperPath, RegSz(kRunKey, "QvCleanup"));
    ExpectNothingLeftOpen();
}

// The log stays open, unshared, while the box names it, and is closed
// once the box is gone.
TEST_F(CompletionTest, StageFailureShowsErrorBoxNamingLog)
{
    bool logLockedDuringBox = false;
    wsim::OnBox([&](const wsim::BoxRecord &box) {
        if (box.text.compare(0, strlen(kTextErrorPrefix), kTextErrorPrefix) != 0)
            return;
        HANDLE h = CreateFileA(LogPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        logLockedDuringBox = h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    });
    EXPECT_EQ(0, RunWithAFailingStage());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(kErrorText, boxes[1].text);
    EXPECT_EQ(APP_TITLE, boxes[1].caption);
    EXPECT_EQ((UINT)(MB_OK | MB_ICONINFORMATION), boxes[1].style);
    EXPECT_EQ(Controller(), boxes[1].owner);
    EXPECT_TRUE(logLockedDuringBox);
    EXPECT_EQ("C:\\WINNT\\system32\\QWSAVER.GID     :Uninstaller could not delete the file. \r\n",
              wsim::FileContents(LogPath().c_str()));
    EXPECT_EQ("<none>", RegSz(kRunKey, "QvCleanup"));
    EXPECT_TRUE(wsim::ExitRequests().empty());
    ExpectNothingLeftOpen();
}

TEST_F(CompletionTest, ErrorBoxShowsShortTempDirectoryInLongForm)
{
    UseShortTempDirectory();
    EXPECT_EQ(0, RunWithAFailingStage());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(kErrorText, boxes[1].text);
    EXPECT_STREQ((std::string(kShortTemp) + "\\QWUNLOG.LOG").c_str(), g_logPath);
    ExpectNothingLeftOpen();
}

// Whichever shell step fails, the box names the log by the path it has,
// and every interface and item-id list obtained is given back.
TEST_F(CompletionTest, ErrorBoxFallsBackToLogPathWhenShellCannotConvert)
{
    static const char *const kShellCalls[] = {"SHGetMalloc", "SHGetDesktopFolder", "ParseDisplayName",
                                              "SHGetPathFromIDListA"};
    for (const char *call : kShellCalls) {
        FreshMachineWithProduct();
        UseShortTempDirectory();
        MakeStageFail();
        wsim::Fail(call, "*", ERROR_ACCESS_DENIED);
        wsim::QueueBoxAnswer(IDOK);
        wsim::QueueBoxAnswer(IDOK);

        EXPECT_EQ(0, RunUninstaller()) << call;
        wsim::ReleaseFile(SystemFile("QWSAVER.GID").c_str());

        auto boxes = wsim::Boxes();
        ASSERT_EQ(2u, boxes.size()) << call;
        EXPECT_EQ(std::string(kTextErrorPrefix) + kShortTemp + "\\QWUNLOG.LOG.", boxes[1].text) << call;
        EXPECT_EQ(0, wsim::OutstandingShellReferences()) << call;
        EXPECT_EQ(0, wsim::OutstandingIdLists()) << call;
        EXPECT_EQ(0, wsim::OpenFileHandles()) << call;
    }
}

TEST_F(CompletionTest, MissingRunKeyLeadsToErrorBox)
{
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"));
    wsim::QueueBoxAnswer(IDOK);
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(0, RunUninstaller());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(kErrorText, boxes[1].text);
    EXPECT_FALSE(wsim::KeyExists(kRunKey));
    EXPECT_EQ(std::string(kHelperPath) + "     :Uninstaller could not modify the registry value. \r\n",
              wsim::FileContents(LogPath().c_str()));
    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_TRUE(wsim::ExitRequests().empty());
    ExpectNothingLeftOpen();
}

TEST_F(CompletionTest, RefusedRunValueWriteLeadsToErrorBox)
{
    wsim::Fail("RegSetValueExA", "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|QvCleanup",
               ERROR_ACCESS_DENIED);
    wsim::QueueBoxAnswer(IDOK);
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(0, RunUninstaller());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(kErrorText, boxes[1].text);
    EXPECT_EQ(std::string(kHelperPath) + "     :Uninstaller could not modify the registry value. \r\n",
              wsim::FileContents(LogPath().c_str()));
    ExpectNothingLeftOpen();
}

// Without a temporary directory the log lies at the root of the current
// drive, and the box names it there with the drive, where the user can
// find the lines.
TEST_F(CompletionTest, ErrorBoxNamesRootLogWithItsDrive)
{
    wsim::Fail("GetTempPathA", "*", ERROR_INVALID_PARAMETER);
    EXPECT_EQ(0, RunWithAFailingStage());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(std::string(kTextErrorPrefix) + "C:\\QWUNLOG.LOG.", boxes[1].text);
    EXPECT_EQ("C:\\WINNT\\system32\\QWSAVER.GID     :Uninstaller could not delete the file. \r\n",
              wsim::FileContents("C:\\QWUNLOG.LOG"));
    ExpectNothingLeftOpen();
}

// A temporary directory that leaves no room for the log's name: the log
// is unavailable, yet the box names that directory and the run ends
// normally.
TEST_F(CompletionTest, UnavailableLogNamesTemporaryDirectory)
{
    std::string temp = "C:\\" + std::string(120, 'T') + "\\" + std::string(130, 'U');
    wsim::MakeDir(temp.c_str());
    SetEnvironmentVariableA("TMP", temp.c_str());
    SetEnvironmentVariableA("TEMP", temp.c_str());
    EXPECT_EQ(0, RunWithAFailingStage());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(std::string(kTextErrorPrefix) + temp + ".", boxes[1].text);
    EXPECT_TRUE(wsim::ListDir(temp.c_str()).empty());
    EXPECT_TRUE(g_hLogFile == NULL);
    ExpectNothingLeftOpen();
}

// A system directory so long that the helper's path would not fit is not
// written cut short: the write counts as failed.
TEST_F(CompletionTest, HelperPathThatWouldNotFitIsNotWritten)
{
    std::string systemDir = "C:\\" + std::string(247, 'R') + "\\system32";
    lstrcpynA(g_systemDir, systemDir.c_str(), MAX_PATH);
    ASSERT_EQ(259u, strlen(g_systemDir));
    OpenUninstallLog("QWUNLOG.LOG");
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(1, FinishUninstall(NULL));

    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kErrorText, boxes[0].text);
    EXPECT_EQ("<none>", RegSz(kRunKey, "QvCleanup"));
    EXPECT_EQ(1, g_errorOccurred);
    std::string log = wsim::FileContents(LogPath().c_str());
    EXPECT_NE(std::string::npos, log.find("     :Uninstaller could not modify the registry value. \r\n")) << log;
    EXPECT_TRUE(g_hLogFile == NULL);
    ExpectNothingLeftOpen();
}

TEST_F(CompletionTest, ToDisplayPathGivesLongFormAndReleasesShell)
{
    char display[MAX_PATH];
    UseShortTempDirectory();
    std::string shortLog = std::string(kShortTemp) + "\\QWUNLOG.LOG";
    wsim::PutFile(shortLog.c_str(), "");
    memset(display, 0xAA, sizeof(display));

    ToDisplayPath(shortLog.c_str(), display);

    EXPECT_EQ(std::string(kLongTemp) + "\\QWUNLOG.LOG", display);
    EXPECT_EQ(0, wsim::OutstandingShellReferences());
    EXPECT_EQ(0, wsim::OutstandingIdLists());
}

// The user chose the log's path through TMP; the shell parses only a
// path on a local drive, never a share or a namespace name.
TEST_F(CompletionTest, SharesAndNamespaceNamesAreShownWithoutTheShell)
{
    const char *const kPaths[] = {
        "\\\\server\\share\\QWUNLOG.LOG",
        "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\QWUNLOG.LOG",
        "\\\\?\\C:\\QWUNLOG.LOG",
        "QWUNLOG.LOG",
    };
    for (const char *path : kPaths) {
        char display[MAX_PATH];
        memset(display, 0xAA, sizeof(display));

        ToDisplayPath(path, display);

        EXPECT_STREQ(path, display);
        EXPECT_EQ((char)0xAA, display[strlen(path) + 1]) << path;
    }
    EXPECT_EQ(0, wsim::CallCount("ParseDisplayName"));
}

TEST_F(CompletionTest, WindowsShutDownRequestsRestartWithPrivilege)
{
    EXPECT_EQ(1, Co_WindowsShutDown(EWX_REBOOT));

    auto requests = wsim::ExitRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ((UINT)EWX_REBOOT, requests[0].flags);
    EXPECT_EQ(0u, requests[0].reason);
    EXPECT_TRUE(wsim::ShutdownPrivilegeEnabled());
    EXPECT_EQ(0, wsim::OpenTokenHandles());
}

// Each failing step ends the request at once with 0; the token is closed
// and no later step is tried.
TEST_F(CompletionTest, WindowsShutDownFailsAtEachStep)
{
    static const char *const kSteps[] = {"OpenProcessToken", "LookupPrivilegeValueA", "AdjustTokenPrivileges",
                                         "ExitWindowsEx"};
    for (size_t failing = 0; failing < ARRAYSIZE(kSteps); failing++) {
        wsim::Reset();
        wsim::Fail(kSteps[failing], "*", ERROR_ACCESS_DENIED);

        EXPECT_EQ(0, Co_WindowsShutDown(EWX_REBOOT)) << kSteps[failing];

        EXPECT_TRUE(wsim::ExitRequests().empty()) << kSteps[failing];
        EXPECT_EQ(0, wsim::OpenTokenHandles()) << kSteps[failing];
        for (size_t later = failing + 1; later < ARRAYSIZE(kSteps); later++)
            EXPECT_EQ(0, wsim::CallCount(kSteps[later])) << kSteps[failing] << " then " << kSteps[later];
    }
}

// Without the privilege the adjustment itself succeeds; only its last
// error (ERROR_NOT_ALL_ASSIGNED) tells, and it must stop the request.
TEST_F(CompletionTest, WindowsShutDownStopsWhenPrivilegeNotHeld)
{
    wsim::SetShutdownPrivilegeHeld(false);

    EXPECT_EQ(0, Co_WindowsShutDown(EWX_REBOOT));

    EXPECT_EQ(0, wsim::CallCount("ExitWindowsEx"));
    EXPECT_FALSE(wsim::ShutdownPrivilegeEnabled());
    EXPECT_EQ(0, wsim::OpenTokenHandles());
}

// An Enter pressed before a box is up, at the start or while the first
// stage sleeps, answers none: each box waits for its own answer.
TEST_F(CompletionTest, EnterTypedAheadAnswersNoBox)
{
    const struct {
        bool duringFirstStage;
        bool failingStage;
        int answers[2];
    } kCases[] = {{false, false, {IDCANCEL, 0}}, {true, false, {IDOK, IDNO}}, {true, true, {IDOK, IDOK}}};
    for (const auto &c : kCases) {
        FreshMachineWithProduct();
        if (c.failingStage)
            MakeStageFail();
        if (!c.duringFirstStage)
            wsim::TypeKey(VK_RETURN);
        wsim::OnSleep([](DWORD) {
            if (wsim::Now() == 1000)
                wsim::TypeKey(VK_RETURN);
        });
        for (int answer : c.answers)
            if (answer != 0)
                wsim::QueueBoxAnswer(answer);

        EXPECT_EQ(0, RunUninstaller());
        wsim::OnSleep(nullptr);

        std::vector<wsim::BoxRecord> boxes = wsim::Boxes();
        ASSERT_EQ(c.answers[1] != 0 ? 2u : 1u, boxes.size());
        EXPECT_FALSE(boxes.back().typedAhead);
        EXPECT_EQ(0, wsim::QueuedBoxAnswers());
        EXPECT_EQ(0, wsim::WaitingInput());
        EXPECT_TRUE(wsim::ExitRequests().empty());
        EXPECT_EQ(c.answers[0] == IDCANCEL, wsim::KeyExists(kUninstallKey));
        wsim::ReleaseFile(SystemFile("QWSAVER.GID").c_str());
    }
}
