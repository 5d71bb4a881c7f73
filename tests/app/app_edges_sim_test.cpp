// The program flow on paths that a normal run does not take: a previous
// instance passed to WinMain, a command from another control of the
// progress dialog, centring a window that is gone, and an error box when
// the temporary directory has gone too.
#include "app_sim_machine.h"

using namespace qwtest;

namespace {

class AppEdgesTest : public ::testing::Test {
protected:
    void SetUp() override { FreshMachineWithProduct(); }
};

// With a previous instance the class is taken as registered by it; here
// none is, so the controller cannot be created and the run ends silently.
TEST_F(AppEdgesTest, PreviousInstanceLeavesTheClassUnregistered)
{
    EXPECT_EQ(0, WinMain(GetModuleHandleA(NULL), GetModuleHandleA(NULL), (LPSTR) "", SW_SHOWNORMAL));

    EXPECT_EQ(0, wsim::CallCount("RegisterClassA"));
    EXPECT_EQ(1, wsim::CallCount("CreateWindowExA"));
    EXPECT_TRUE(wsim::Boxes().empty());
    ExpectNothingWritten();
    ExpectNothingLeftOpen();
}

// Only OK and Cancel mean something; any other command leaves the dialog
// as it was and runs nothing.
TEST_F(AppEdgesTest, OtherCommandOfTheProgressDialogIsIgnored)
{
    EXPECT_EQ(FALSE, ProgressDlgProc(NULL, WM_COMMAND, (WPARAM)IDC_PROGRESS, 0));

    EXPECT_TRUE(wsim::TextChanges().empty());
    EXPECT_EQ(0, wsim::CallCount("FindWindowA"));
    EXPECT_TRUE(wsim::KeyExists(kSettingsKey));
}

TEST_F(AppEdgesTest, WindowThatIsGoneIsNotMoved)
{
    CenterWindowOnScreen((HWND)0x1234);

    EXPECT_TRUE(wsim::WindowMoves().empty());
}

// The log had no path (a temporary directory of 248 characters leaves no
// room for its name), and by the time the box is shown the directory
// cannot be reported either: the box still comes, naming no place, and
// the log is closed.
TEST_F(AppEdgesTest, ErrorBoxComesWhenNoPlaceIsLeftToName)
{
    const std::string later[] = {"", "C:\\" + std::string(300, 'l')};
    for (const std::string &temp : later) {
        SCOPED_TRACE(temp.size());
        FreshMachineWithProduct();
        SetEnvironmentVariableA("TMP", ("C:\\" + std::string(245, 't')).c_str());
        OpenUninstallLog("QWUNLOG.LOG");
        ASSERT_STREQ("", g_logPath);
        if (temp.empty())
            wsim::Fail("GetTempPathA", "*", ERROR_INVALID_PARAMETER);
        else
            SetEnvironmentVariableA("TMP", temp.c_str());
        g_errorOccurred = 1;
        wsim::QueueBoxAnswer(IDOK);

        EXPECT_EQ(1, FinishUninstall(NULL));

        auto boxes = wsim::Boxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(std::string(kTextErrorPrefix) + ".", boxes[0].text);
        EXPECT_TRUE(g_hLogFile == NULL);
        ExpectNothingLeftOpen();
    }
}

}  // namespace
