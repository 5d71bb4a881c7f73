// Runs that end before the controller window exists: the refusals, which
// say why, and the silent ends. None of them may write anything.
#include "app_sim_machine.h"

using namespace qwtest;

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { FreshMachineWithProduct(); }
};

TEST_F(StartupTest, OpenPropertySheetRefusesWithBoxOwnedBySheet)
{
    HWND sheet = wsim::AddForeignWindow("#32770", "Power Save Properties");
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(0, RunUninstaller());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kTextCloseProperties, boxes[0].text);
    EXPECT_EQ(APP_TITLE, boxes[0].caption);
    EXPECT_EQ((UINT)(MB_OK | MB_ICONINFORMATION), boxes[0].style);
    EXPECT_EQ(sheet, boxes[0].owner);
    EXPECT_FALSE(boxes[0].ownerEnabled);
    ExpectNothingWritten();
    ExpectNothingLeftOpen();
}

// Links that the user made are refused for the whole run, from before the
// first check on.
TEST_F(StartupTest, RedirectionTrustIsOnBeforeTheFirstCheck)
{
    wsim::AddForeignWindow("#32770", "Power Save Properties");
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(0, RunUninstaller());

    EXPECT_EQ(1u, wsim::Boxes().size());
    EXPECT_EQ(1, wsim::CallCount("SetProcessMitigationPolicy"));
}

// The sheet check comes first: a non-administrator with the sheet open
// hears only about the sheet, and the accounts are never asked.
TEST_F(StartupTest, PropertySheetCheckPrecedesAdministratorCheck)
{
    wsim::SetLocalAccount("Administrator", USER_PRIV_USER);
    wsim::AddForeignWindow("#32770", "Power Save Properties");
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(0, RunUninstaller());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kTextCloseProperties, boxes[0].text);
    EXPECT_TRUE(wsim::AccountQueries().empty());
    ExpectNothingWritten();
}

// Only a dialog-class window is the sheet; another window of that title
// does not block the run.
TEST_F(StartupTest, SheetTitleOnOtherClassDoesNotRefuse)
{
    wsim::AddForeignWindow("PowerSaveFrame", "Power Save Properties");
    wsim::QueueBoxAnswer(IDCANCEL);

    EXPECT_EQ(0, RunUninstaller());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kTextConfirm, boxes[0].text);
}

TEST_F(StartupTest, JapaneseSheetTitleIsNotSearchedOnEnglishMachine)
{
    // "Power Save Properties" in Japanese, in code page 932.
    wsim::AddForeignWindow("#32770", "\x8f\xc8\x93\x64\x97\xcd\x83\x76\x83\x8d\x83\x70\x83\x65\x83\x42");
    wsim::QueueBoxAnswer(IDCANCEL);

    EXPECT_EQ(0, RunUninstaller());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kTextConfirm, boxes[0].text);
}

TEST_F(StartupTest, JapaneseMachineRefusesForJapaneseSheetInJapanese)
{
    FreshMachineWithProduct(wsim::Lang::Japanese);
    HWND sheet = wsim::AddForeignWindow("#32770", Ansi(u8"省電力プロパティ").c_str());
    wsim::AddForeignWindow("#32770", "Power Save Properties");
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(0, RunUninstaller());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(Ansi(u8"省電力設定プロパティを閉じて再実行して下さい。"), boxes[0].text);
    EXPECT_EQ(APP_TITLE, boxes[0].caption);
    EXPECT_EQ(sheet, boxes[0].owner);
    ExpectNothingWritten();
}

TEST_F(StartupTest, NonAdministratorOutsideDomainIsRefused)
{
    wsim::SetLocalAccount("Administrator", USER_PRIV_USER);
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(0, RunUninstaller());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kTextNeedAdmin, boxes[0].text);
    EXPECT_EQ(APP_TITLE, boxes[0].caption);
    EXPECT_EQ((UINT)(MB_OK | MB_ICONINFORMATION), boxes[0].style);
    EXPECT_TRUE(boxes[0].owner == NULL);
    // Without a domain controller the second query asks this machine again.
    auto queries = wsim::AccountQueries();
    ASSERT_EQ(2u, queries.size());
    EXPECT_EQ("", queries[0].server);
    EXPECT_EQ("Administrator", queries[0].user);
    EXPECT_EQ("", queries[1].server);
    EXPECT_EQ("Administrator", queries[1].user);
    ExpectNothingWritten();
    ExpectNothingLeftOpen();
}

TEST_F(StartupTest, GuestIsRefused)
{
    wsim::SetUserName("Guest");
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(0, RunUninstaller());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kTextNeedAdmin, boxes[0].text);
    ExpectNothingWritten();
}

TEST_F(StartupTest, DomainAdministratorWithoutLocalAccountPasses)
{
    wsim::SetUserName("jsmith");
    wsim::SetDomainController("CORPDC");
    wsim::SetDomainAccount("jsmith", USER_PRIV_ADMIN);
    wsim::QueueBoxAnswer(IDCANCEL);

    EXPECT_EQ(0, RunUninstaller());

    auto queries = wsim::AccountQueries();
    ASSERT_EQ(2u, queries.size());
    EXPECT_EQ("", queries[0].server);
    EXPECT_EQ("jsmith", queries[0].user);
    EXPECT_EQ(NERR_UserNotFound, queries[0].status);
    EXPECT_EQ("\\\\CORPDC", queries[1].server);
    EXPECT_EQ("jsmith", queries[1].user);
    EXPECT_EQ(NERR_Success, queries[1].status);
    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kTextConfirm, boxes[0].text);
    ExpectNothingLeftOpen();
}

TEST_F(StartupTest, DomainUserWhoIsNoDomainAdministratorIsRefused)
{
    wsim::SetUserName("jsmith");
    wsim::SetLocalAccount("jsmith", USER_PRIV_USER);
    wsim::SetDomainController("CORPDC");
    wsim::SetDomainAccount("jsmith", USER_PRIV_USER);
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(0, RunUninstaller());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kTextNeedAdmin, boxes[0].text);
    EXPECT_EQ(2u, wsim::AccountQueries().size());
    ExpectNothingWritten();
    ExpectNothingLeftOpen();
}

TEST_F(StartupTest, UnreadableUserNameIsRefused)
{
    wsim::Fail("GetUserNameA", "*", ERROR_INSUFFICIENT_BUFFER);
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(0, RunUninstaller());

    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kTextNeedAdmin, boxes[0].text);
    EXPECT_TRUE(wsim::AccountQueries().empty());
    ExpectNothingWritten();
}

// The controller of a running copy stops a second one without a word.
TEST_F(StartupTest, SecondCopyEndsSilently)
{
    wsim::AddForeignWindow(APP_TITLE, APP_TITLE);

    EXPECT_EQ(0, RunUninstaller());

    EXPECT_TRUE(wsim::Boxes().empty());
    ExpectNothingWritten();
    ExpectNothingLeftOpen();
}

// The other copy's progress dialog has the same title but the dialog
// class; on its own it is not taken for a running copy.
TEST_F(StartupTest, OtherCopysDialogAloneDoesNotStopRun)
{
    wsim::AddForeignWindow("#32770", APP_TITLE);
    wsim::QueueBoxAnswer(IDCANCEL);

    EXPECT_EQ(0, RunUninstaller());

    ASSERT_EQ(1u, wsim::Boxes().size());
    EXPECT_EQ(kTextConfirm, wsim::Boxes()[0].text);
}

TEST_F(StartupTest, DisplayNameDifferingInCaseEndsSilently)
{
    wsim::PutSz(kUninstallKey, "DisplayName", "Qelvora Wattrix2");

    EXPECT_EQ(0, RunUninstaller());

    EXPECT_TRUE(wsim::Boxes().empty());
    ExpectNothingWritten();
    ExpectNothingLeftOpen();
}

TEST_F(StartupTest, FullPathUninstallStringEndsSilently)
{
    wsim::PutSz(kUninstallKey, "UninstallString", "C:\\WINNT\\system32\\QWUNINST.EXE");

    EXPECT_EQ(0, RunUninstaller());

    EXPECT_TRUE(wsim::Boxes().empty());
    EXPECT_FALSE(wsim::FileExists(LogPath().c_str()));
    EXPECT_TRUE(Controller() == NULL);
    ExpectNothingLeftOpen();
}

TEST_F(StartupTest, ClassRegistrationFailureEndsSilently)
{
    wsim::Fail("RegisterClassA", "*", ERROR_NOT_ENOUGH_MEMORY);

    EXPECT_EQ(0, RunUninstaller());

    EXPECT_TRUE(wsim::Boxes().empty());
    EXPECT_EQ(0, wsim::CallCount("CreateWindowExA"));
    ExpectNothingWritten();
    ExpectNothingLeftOpen();
}

TEST_F(StartupTest, WindowCreationFailureEndsSilently)
{
    wsim::Fail("CreateWindowExA", "*", ERROR_NOT_ENOUGH_MEMORY);

    EXPECT_EQ(0, RunUninstaller());

    EXPECT_EQ(1, wsim::CallCount("CreateWindowExA"));
    EXPECT_TRUE(wsim::Boxes().empty());
    ExpectNothingWritten();
    ExpectNothingLeftOpen();
}

// The controller is created as described and never shown.
TEST_F(StartupTest, ControllerWindowIsHidden)
{
    wsim::QueueBoxAnswer(IDCANCEL);

    EXPECT_EQ(0, RunUninstaller());

    auto controllers = WindowsOfClass(APP_TITLE);
    ASSERT_EQ(1u, controllers.size());
    EXPECT_EQ(APP_TITLE, controllers[0].title);
    EXPECT_EQ(0x00CE0000u, controllers[0].style);
    EXPECT_EQ(0u, controllers[0].exStyle);
    EXPECT_TRUE(controllers[0].owner == NULL);
    EXPECT_FALSE(IsWindowVisible(controllers[0].hwnd));
    EXPECT_EQ(GetModuleHandleA(NULL), g_hInstance);
}
