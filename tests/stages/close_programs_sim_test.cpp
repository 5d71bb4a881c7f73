// The first stage on the virtual clock: which companion windows are asked
// to close, when, and how long the stage waits for each program.
#include <chrono>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <winsim.h>
#include <winsim_desktop.h>

#include "stages/stages.h"
#include "support/machine.h"

namespace {

struct Companion {
    const char *className;
    const char *title;
};

// In the order the stage handles them.
const Companion kCompanions[] = {
    {"QWFNKEY", "QWFnkey"},   {"QWICON", "QwIcon"}, {"QWCLKICON", "QwClkIcon"},
    {"QWDEVWATCH", "Qwdevwatch"}, {"QWTRAY", "QwTray"},
};

// Virtual milliseconds the stage took.
DWORD RunStage()
{
    DWORD start = wsim::Now();
    EXPECT_EQ(1, CloseCompanionPrograms());
    return wsim::Now() - start;
}

std::vector<DWORD> CloseTimes(HWND hwnd)
{
    std::vector<DWORD> times;
    for (const wsim::ReceivedMessage &m : wsim::MessagesReceived(hwnd)) {
        EXPECT_EQ(static_cast<UINT>(WM_CLOSE), m.message);
        EXPECT_EQ(0u, m.wParam);
        EXPECT_EQ(0, m.lParam);
        times.push_back(m.time);
    }
    return times;
}

class CloseProgramsSimTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTestMachine(); }
};

TEST_F(CloseProgramsSimTest, NothingRunningWaitsOneSecondPerProgramAndPostsNothing)
{
    EXPECT_EQ(5000u, RunStage());
    EXPECT_EQ(0, wsim::CallCount("PostMessageA"));
    EXPECT_EQ(5, wsim::CallCount("Sleep"));
}

TEST_F(CloseProgramsSimTest, EveryProgramIsAskedInTurnAndClosesWithinItsFirstSecond)
{
    HWND windows[5];
    for (int i = 0; i < 5; i++)
        windows[i] = wsim::AddForeignWindow(kCompanions[i].className, kCompanions[i].title, 400);

    EXPECT_EQ(5000u, RunStage());
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(std::vector<DWORD>{1000u * i}, CloseTimes(windows[i])) << kCompanions[i].title;
        EXPECT_FALSE(wsim::ForeignWindowExists(windows[i])) << kCompanions[i].title;
    }
}

TEST_F(CloseProgramsSimTest, ProgramIgnoringCloseGetsFiveWaitsAndOneMessage)
{
    HWND devwatch = wsim::AddForeignWindow("QWDEVWATCH", "Qwdevwatch", wsim::kIgnoresClose);
    HWND tray = wsim::AddForeignWindow("QWTRAY", "QwTray", 0);

    EXPECT_EQ(9000u, RunStage());
    EXPECT_EQ(std::vector<DWORD>{3000u}, CloseTimes(devwatch));
    EXPECT_TRUE(wsim::ForeignWindowExists(devwatch));
    // The tray program comes next, once the five waits are over.
    EXPECT_EQ(std::vector<DWORD>{8000u}, CloseTimes(tray));
}

TEST_F(CloseProgramsSimTest, SlowProgramIsWaitedForUntilItsWindowIsGone)
{
    HWND icon = wsim::AddForeignWindow("QWICON", "QwIcon", 2500);

    // Gone at 3500: the checks at 2000 and 3000 still find it, the one at
    // 4000 does not.
    EXPECT_EQ(7000u, RunStage());
    EXPECT_EQ(std::vector<DWORD>{1000u}, CloseTimes(icon));
}

TEST_F(CloseProgramsSimTest, SameTitleOfAnotherClassKeepsTheWaitGoingWithoutBeingAsked)
{
    HWND lookalike = wsim::AddForeignWindow("SomeOtherClass", "QwTray", 0);

    EXPECT_EQ(9000u, RunStage());
    EXPECT_TRUE(wsim::MessagesReceived(lookalike).empty());
    EXPECT_TRUE(wsim::ForeignWindowExists(lookalike));
}

TEST_F(CloseProgramsSimTest, FunctionKeyProgramIsFoundByTitleWhateverItsClass)
{
    HWND fnkey = wsim::AddForeignWindow("Afx:400000:0", "QWFnkey", 100);

    EXPECT_EQ(5000u, RunStage());
    EXPECT_EQ(std::vector<DWORD>{0u}, CloseTimes(fnkey));
    EXPECT_FALSE(wsim::ForeignWindowExists(fnkey));
}

TEST_F(CloseProgramsSimTest, OnlyTheFirstWindowFoundIsAsked)
{
    HWND older = wsim::AddForeignWindow("QWCLKICON", "QwClkIcon", 0);
    HWND newer = wsim::AddForeignWindow("QWCLKICON", "QwClkIcon", 0);

    // The newer window is on top and closes; the older one, never asked,
    // keeps the wait going for all five seconds.
    EXPECT_EQ(9000u, RunStage());
    EXPECT_EQ(std::vector<DWORD>{2000u}, CloseTimes(newer));
    EXPECT_TRUE(wsim::MessagesReceived(older).empty());
    EXPECT_TRUE(wsim::ForeignWindowExists(older));
}

TEST_F(CloseProgramsSimTest, JapaneseMachineUsesTheSameClassesAndTitles)
{
    ResetTestMachine(true);
    HWND windows[5];
    for (int i = 0; i < 5; i++)
        windows[i] = wsim::AddForeignWindow(kCompanions[i].className, kCompanions[i].title, 0);

    EXPECT_EQ(5000u, RunStage());
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(std::vector<DWORD>{1000u * i}, CloseTimes(windows[i])) << kCompanions[i].title;
}

TEST_F(CloseProgramsSimTest, LongestStageTakesTwentyFiveVirtualSecondsAndLittleRealTime)
{
    for (const Companion &c : kCompanions)
        wsim::AddForeignWindow(c.className, c.title, wsim::kIgnoresClose);

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(25000u, RunStage());
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::milliseconds(500));
}

}  // namespace
