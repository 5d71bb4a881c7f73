// Whole runs through the controller and the progress dialog: the order of
// the steps, the dialog's lines and bar, the cursor, Cancel, and the
// system directory taken from "SystemRoot".
#include <stdio.h>

#include <algorithm>
#include <utility>

#include "app_sim_machine.h"

using namespace qwtest;

class RunTest : public ::testing::Test {
protected:
    void SetUp() override { FreshMachineWithProduct(); }
};

// What was posted to one window, in order; with the quit message when
// withQuit is set.
static std::vector<std::pair<UINT, WPARAM>> PostedTo(HWND hwnd, bool withQuit = true)
{
    std::vector<std::pair<UINT, WPARAM>> posted;
    for (const auto &e : wsim::MessageLog()) {
        if (e.kind == wsim::MessageEventKind::Posted && e.hwnd == hwnd)
            posted.push_back({e.message, e.wParam});
        else if (e.kind == wsim::MessageEventKind::Quit && withQuit)
            posted.push_back({WM_QUIT, e.wParam});
    }
    return posted;
}

static int SeqOfPost(HWND hwnd, UINT message)
{
    for (const auto &e : wsim::MessageLog())
        if (e.kind == wsim::MessageEventKind::Posted && e.hwnd == hwnd && e.message == message)
            return e.seq;
    return -1;
}

// The dialog's status lines and bar as one ordered story.
static std::vector<std::string> StatusStory()
{
    std::vector<std::pair<int, std::string>> events;
    for (const auto &t : wsim::TextChanges())
        if (t.id == IDC_STATUS_APPS || t.id == IDC_STATUS_FILES || t.id == IDC_STATUS_SETTINGS)
            events.push_back({t.seq, std::to_string(t.id) + " " + t.text});
    for (const auto &p : wsim::ProgressChanges())
        events.push_back({p.seq, "bar " + std::to_string(p.position)});
    std::sort(events.begin(), events.end());
    std::vector<std::string> story;
    for (const auto &e : events)
        story.push_back(e.second);
    return story;
}

static std::string LastText(int id)
{
    std::string text = "<never set>";
    for (const auto &t : wsim::TextChanges())
        if (t.id == id)
            text = t.text;
    return text;
}

TEST_F(RunTest, CancelRemovesNothingAndLeavesEmptyLog)
{
    wsim::QueueBoxAnswer(IDCANCEL);

    EXPECT_EQ(0, RunUninstaller());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kTextConfirm, boxes[0].text);
    EXPECT_EQ(APP_TITLE, boxes[0].caption);
    EXPECT_EQ((UINT)(MB_OKCANCEL | MB_ICONQUESTION), boxes[0].style);
    ASSERT_TRUE(ProgressDialog() != NULL);
    EXPECT_EQ(ProgressDialog(), boxes[0].owner);
    EXPECT_EQ("", wsim::FileContents(LogPath().c_str()));
    EXPECT_TRUE(wsim::FileExists(LogPath().c_str()));
    for (const char *name : kProgramFiles)
        EXPECT_TRUE(wsim::FileExists(SystemFile(name).c_str())) << name;
    EXPECT_TRUE(wsim::KeyExists(kUninstallKey));
    EXPECT_TRUE(wsim::KeyExists(kSettingsKey));
    EXPECT_FALSE(wsim::KeyExists(kQueueKey));
    EXPECT_EQ("<none>", RegSz(kRunKey, "QvCleanup"));
    EXPECT_TRUE(wsim::ProgressChanges().empty());
    EXPECT_EQ(0u, wsim::Now());
    EXPECT_TRUE(wsim::ExitRequests().empty());
    ExpectNothingLeftOpen();
}

TEST_F(RunTest, ControllerPostsItsStepsInOrder)
{
    wsim::QueueBoxAnswer(IDOK);
    wsim::QueueBoxAnswer(IDNO);

    EXPECT_EQ(0, RunUninstaller());

    std::vector<std::pair<UINT, WPARAM>> expected = {
        {UM_BEGIN, 0}, {UM_SHOWPROGRESS, 0}, {UM_END, 1}, {WM_DESTROY, 0}, {WM_QUIT, 0}};
    EXPECT_EQ(expected, PostedTo(Controller()));
    std::vector<std::pair<UINT, WPARAM>> toDialog = {{UM_BEGIN, 0}, {WM_COMMAND, IDOK}};
    EXPECT_EQ(toDialog, PostedTo(ProgressDialog(), false));
    auto log = wsim::MessageLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(wsim::MessageEventKind::QuitTaken, log.back().kind);
}

TEST_F(RunTest, ProgressDialogIsOwnedByControllerAndShowsIntro)
{
    wsim::QueueBoxAnswer(IDCANCEL);

    EXPECT_EQ(0, RunUninstaller());

    auto dialogs = WindowsOfClass("#32770");
    ASSERT_EQ(1u, dialogs.size());
    EXPECT_EQ(APP_TITLE, dialogs[0].title);
    EXPECT_EQ(Controller(), dialogs[0].owner);
    EXPECT_EQ("Uninstall will remove the QELVORA Wattrix2 from your computer.", LastText(IDC_INTRO));
    EXPECT_TRUE(wsim::CommonControlsInitialised());
}

TEST_F(RunTest, DialogStandsCentredOnScreen)
{
    wsim::SetScreenSize(1024, 768);
    wsim::QueueBoxAnswer(IDCANCEL);

    EXPECT_EQ(0, RunUninstaller());

    auto dialogs = WindowsOfClass("#32770");
    ASSERT_EQ(1u, dialogs.size());
    int width = dialogs[0].rect.right - dialogs[0].rect.left;
    int height = dialogs[0].rect.bottom - dialogs[0].rect.top;
    std::vector<wsim::WindowMove> moves;
    for (const auto &m : wsim::WindowMoves())
        if (m.hwnd == dialogs[0].hwnd)
            moves.push_back(m);
    ASSERT_EQ(1u, moves.size());
    EXPECT_EQ(512 - width / 2, moves[0].x);
    EXPECT_EQ(384 - height / 2, moves[0].y);
    EXPECT_TRUE(moves[0].insertAfter == NULL);
    EXPECT_EQ((UINT)(SWP_NOSIZE | SWP_NOZORDER), moves[0].flags);
}

TEST_F(RunTest, BarAndStatusLinesFollowTheStages)
{
    wsim::QueueBoxAnswer(IDOK);
    wsim::QueueBoxAnswer(IDNO);

    EXPECT_EQ(0, RunUninstaller());

    std::vector<std::string> expected = {
        "bar 1",
        "bar 2",
        "1002 Application.",
        "1003 Old files.",
        "1004 Setting.",
        "1002 please wait...",
        "bar 3",
        "1002 complete.",
        "1003 please wait...",
        "bar 4",
        "1003 complete.",
        "1004 please wait...",
        "bar 5",
        "1004 complete.",
        "bar 6",
    };
    EXPECT_EQ(expected, StatusStory());
}

// The first stage sleeps a second for each absent companion program; the
// dialog must show its state before the stage starts, and the later
// stages must not have run yet.
TEST_F(RunTest, FirstStageRunsAfterItsLineSaysPleaseWait)
{
    std::string appsLine;
    std::string filesLine;
    LRESULT barPosition = -1;
    bool trayStillThere = false;
    int sleeps = 0;
    wsim::OnSleep([&](DWORD) {
        if (sleeps++ > 0)
            return;
        char text[MAX_PATH];
        HWND dialog = ProgressDialog();
        GetDlgItemTextA(dialog, IDC_STATUS_APPS, text, sizeof(text));
        appsLine = text;
        GetDlgItemTextA(dialog, IDC_STATUS_FILES, text, sizeof(text));
        filesLine = text;
        barPosition = SendMessageA(GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0);
        trayStillThere = wsim::FileExists(SystemFile("QWTRAY.EXE").c_str());
    });
    wsim::QueueBoxAnswer(IDOK);
    wsim::QueueBoxAnswer(IDNO);

    EXPECT_EQ(0, RunUninstaller());
    wsim::OnSleep(nullptr);

    EXPECT_EQ(5, sleeps);
    EXPECT_EQ("please wait...", appsLine);
    EXPECT_EQ("Old files.", filesLine);
    EXPECT_EQ(3, barPosition);
    EXPECT_TRUE(trayStillThere);
    EXPECT_FALSE(wsim::FileExists(SystemFile("QWTRAY.EXE").c_str()));
    EXPECT_EQ("complete.", LastText(IDC_STATUS_APPS));
    EXPECT_EQ("complete.", LastText(IDC_STATUS_FILES));
    EXPECT_EQ("complete.", LastText(IDC_STATUS_SETTINGS));
}

TEST_F(RunTest, WaitCursorSpansTheDialog)
{
    HCURSOR before = wsim::CurrentCursor();
    wsim::QueueBoxAnswer(IDCANCEL);

    EXPECT_EQ(0, RunUninstaller());

    auto cursors = wsim::CursorChanges();
    auto dialogs = WindowsOfClass("#32770");
    ASSERT_EQ(2u, cursors.size());
    ASSERT_EQ(1u, dialogs.size());
    EXPECT_EQ(LoadCursorA(NULL, IDC_WAIT), cursors[0].cursor);
    EXPECT_LT(cursors[0].seq, dialogs[0].seq);
    EXPECT_EQ(before, cursors[1].cursor);
    EXPECT_GT(cursors[1].seq, wsim::Boxes()[0].seq);
    EXPECT_LT(cursors[1].seq, SeqOfPost(Controller(), UM_END));
    EXPECT_EQ(before, wsim::CurrentCursor());
}

// A dialog that cannot be created ends the run like Cancel, silently, with
// its result -1 carried by UM_END.
TEST_F(RunTest, DialogCreationFailureEndsQuietly)
{
    HCURSOR before = wsim::CurrentCursor();
    wsim::Fail("DialogBoxParamA", "*", ERROR_RESOURCE_NAME_NOT_FOUND);

    EXPECT_EQ(0, RunUninstaller());

    std::vector<std::pair<UINT, WPARAM>> expected = {
        {UM_BEGIN, 0}, {UM_SHOWPROGRESS, 0}, {UM_END, (WPARAM)-1}, {WM_DESTROY, 0}, {WM_QUIT, 0}};
    EXPECT_EQ(expected, PostedTo(Controller()));
    EXPECT_TRUE(wsim::Boxes().empty());
    EXPECT_EQ(2u, wsim::CursorChanges().size());
    EXPECT_EQ(before, wsim::CurrentCursor());
    EXPECT_EQ("", wsim::FileContents(LogPath().c_str()));
    EXPECT_TRUE(wsim::KeyExists(kUninstallKey));
    ExpectNothingLeftOpen();
}

// Without a confirmation box there is no consent: the dialog ends as on
// Cancel rather than waiting for an answer that never comes.
TEST_F(RunTest, ConfirmationBoxFailureCountsAsCancel)
{
    wsim::Fail("MessageBoxA", "*", ERROR_NOT_ENOUGH_MEMORY);

    EXPECT_EQ(0, RunUninstaller());

    std::vector<std::pair<UINT, WPARAM>> expected = {
        {UM_BEGIN, 0}, {UM_SHOWPROGRESS, 0}, {UM_END, 0}, {WM_DESTROY, 0}, {WM_QUIT, 0}};
    EXPECT_EQ(expected, PostedTo(Controller()));
    EXPECT_TRUE(wsim::KeyExists(kUninstallKey));
    EXPECT_TRUE(wsim::ProgressChanges().empty());
    ExpectNothingLeftOpen();
}

TEST_F(RunTest, MissingSystemRootEndsSilentlyWithoutDialog)
{
    ASSERT_TRUE(SetEnvironmentVariableA("SystemRoot", NULL));

    EXPECT_EQ(0, RunUninstaller());

    std::vector<std::pair<UINT, WPARAM>> expected = {{UM_END, 0}, {WM_DESTROY, 0}, {WM_QUIT, 0}};
    EXPECT_EQ(expected, PostedTo(Controller()));
    EXPECT_TRUE(ProgressDialog() == NULL);
    EXPECT_TRUE(wsim::Boxes().empty());
    EXPECT_TRUE(wsim::CursorChanges().empty());
    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_TRUE(wsim::FileExists(LogPath().c_str()));
    EXPECT_EQ("", wsim::FileContents(LogPath().c_str()));
    EXPECT_TRUE(wsim::KeyExists(kUninstallKey));
    ExpectNothingLeftOpen();
}

TEST_F(RunTest, SystemDirectoryIsRootPlusSystem32)
{
    wsim::QueueBoxAnswer(IDCANCEL);

    EXPECT_EQ(0, RunUninstaller());

    EXPECT_STREQ("C:\\WINNT", g_systemRoot);
    EXPECT_STREQ("C:\\WINNT\\system32", g_systemDir);
    EXPECT_EQ(0, g_errorOccurred);
}

TEST_F(RunTest, TrailingBackslashOfSystemRootIsKept)
{
    ASSERT_TRUE(SetEnvironmentVariableA("SystemRoot", "C:\\WINNT\\"));
    wsim::QueueBoxAnswer(IDCANCEL);

    EXPECT_EQ(0, RunUninstaller());

    EXPECT_STREQ("C:\\WINNT\\\\system32", g_systemDir);
}

// 250 characters plus "\system32" just fill MAX_PATH; at 251 the system
// directory cannot be held (it would overrun its buffer by one byte), so
// the run ends as without the value.
TEST_F(RunTest, SystemRootLongerThan250CharactersCountsAsMissing)
{
    std::string root = "C:\\" + std::string(247, 'R') + "T";
    ASSERT_EQ(251u, root.size());
    wsim::SetReportedWindowsDirectory(root.c_str());
    ASSERT_TRUE(SetEnvironmentVariableA("SystemRoot", root.c_str()));

    EXPECT_EQ(0, RunUninstaller());

    EXPECT_TRUE(ProgressDialog() == NULL);
    EXPECT_TRUE(wsim::Boxes().empty());
    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_TRUE(wsim::KeyExists(kUninstallKey));
    ExpectNothingLeftOpen();
}

TEST_F(RunTest, SystemRootOf250CharactersIsUsed)
{
    std::string root = "C:\\" + std::string(247, 'R');
    ASSERT_EQ(250u, root.size());
    wsim::SetReportedWindowsDirectory(root.c_str());
    ASSERT_TRUE(SetEnvironmentVariableA("SystemRoot", root.c_str()));
    wsim::QueueBoxAnswer(IDCANCEL);

    EXPECT_EQ(0, RunUninstaller());

    EXPECT_TRUE(ProgressDialog() != NULL);
    EXPECT_EQ(root + "\\system32", g_systemDir);
    EXPECT_EQ(0, g_errorOccurred);
}

TEST_F(RunTest, JapaneseRunShowsJapaneseTexts)
{
    FreshMachineWithProduct(wsim::Lang::Japanese);
    wsim::QueueBoxAnswer(IDOK);
    wsim::QueueBoxAnswer(IDNO);

    EXPECT_EQ(0, RunUninstaller());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(Ansi(u8"QELVORA Wattrix2 を削除しますか？"), boxes[0].text);
    EXPECT_EQ(Ansi(u8"アンインストールが完了しました。今すぐコンピュータを再起動しますか？"), boxes[1].text);
    EXPECT_EQ(APP_TITLE, boxes[1].caption);
    EXPECT_EQ(Ansi(u8"アンインストーラはコンピュータから QELVORA Wattrix2 を削除します。"), LastText(IDC_INTRO));
    std::vector<std::string> lines;
    for (const auto &t : wsim::TextChanges())
        if (t.id == IDC_STATUS_APPS)
            lines.push_back(t.text);
    std::vector<std::string> expected = {Ansi(u8"アプリケーションの停止"), Ansi(u8"お待ちください..."),
                                         Ansi(u8"完了")};
    EXPECT_EQ(expected, lines);
    EXPECT_EQ(Ansi(u8"完了"), LastText(IDC_STATUS_SETTINGS));
}

// A value of MAX_PATH characters or more cannot be held, even when it is
// the Windows directory; it is not cut. One less is taken whole.
TEST(SystemRootLimitsTest, ValueOfMaxPathCharactersIsNotTakenOneLessIs)
{
    char buffer[MAX_PATH + 8];
    std::string root = "C:\\" + std::string(MAX_PATH - 3, 'W');
    wsim::Reset();
    memset(buffer, 0xAA, sizeof(buffer));
    wsim::SetReportedWindowsDirectory(root.c_str());
    ASSERT_TRUE(SetEnvironmentVariableA("SystemRoot", root.c_str()));
    EXPECT_EQ(0, GetSystemRootDir(buffer));
    EXPECT_EQ((char)0xAA, buffer[0]);

    root.resize(MAX_PATH - 1);
    wsim::SetReportedWindowsDirectory(root.c_str());
    ASSERT_TRUE(SetEnvironmentVariableA("SystemRoot", root.c_str()));
    EXPECT_EQ(1, GetSystemRootDir(buffer));
    EXPECT_EQ(root, buffer);
    EXPECT_EQ((char)0xAA, buffer[MAX_PATH]);
}

// A folder of the user's with the product's files in its system32: the
// run ends as without "SystemRoot", and nothing there or in the real
// system directory is touched.
TEST_F(RunTest, SystemRootNamingAUserFolderEndsSilently)
{
    wsim::MakeDir("C:\\Users\\Public\\Fake\\system32");
    wsim::PutFile("C:\\Users\\Public\\Fake\\system32\\QvCleanup.exe", "user's");
    ASSERT_TRUE(SetEnvironmentVariableA("SystemRoot", "C:\\Users\\Public\\Fake"));
    std::vector<std::string> systemFiles = wsim::ListDir("C:\\WINNT\\system32");

    EXPECT_EQ(0, RunUninstaller());

    EXPECT_EQ(systemFiles, wsim::ListDir("C:\\WINNT\\system32"));
    EXPECT_TRUE(ProgressDialog() == NULL);
    EXPECT_TRUE(wsim::Boxes().empty());
    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_EQ(std::vector<std::string>{"QvCleanup.exe"}, wsim::ListDir("C:\\Users\\Public\\Fake\\system32"));
    EXPECT_TRUE(wsim::KeyExists(kUninstallKey));
    ExpectNothingLeftOpen();

    // Nor is the true one taken when the system will not say where it is.
    char buffer[MAX_PATH];
    ASSERT_TRUE(SetEnvironmentVariableA("SystemRoot", "C:\\WINNT"));
    wsim::Fail("GetSystemWindowsDirectoryA", "*", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(0, GetSystemRootDir(buffer));
}
