// The thread's message queue as Windows runs it: order of posted messages,
// the quit message, filters and dispatching.
#include "winsim_test_window.h"

using namespace winsim_test;

namespace {

typedef WindowTest WinsimMessagesTest;

const UINT kFirst = WM_USER + 1;
const UINT kSecond = WM_USER + 2;

TEST_F(WinsimMessagesTest, PostedMessagesComeInOrderAndTheQuitMessageLast)
{
    HWND hwnd = Create("Queue");
    EXPECT_TRUE(PostMessageA(hwnd, kFirst, 1, 2));
    PostQuitMessage(7);
    EXPECT_TRUE(PostMessageA(hwnd, kSecond, 3, 4));

    MSG msg;
    ASSERT_EQ(TRUE, GetMessageA(&msg, NULL, 0, 0));
    EXPECT_EQ(hwnd, msg.hwnd);
    EXPECT_EQ(kFirst, msg.message);
    EXPECT_EQ(1u, msg.wParam);
    EXPECT_EQ(2, msg.lParam);
    ASSERT_EQ(TRUE, GetMessageA(&msg, NULL, 0, 0));
    EXPECT_EQ(kSecond, msg.message);
    EXPECT_EQ(FALSE, GetMessageA(&msg, NULL, 0, 0));
    EXPECT_EQ((UINT)WM_QUIT, msg.message);
    EXPECT_EQ(7u, msg.wParam);
    EXPECT_EQ((HWND)NULL, msg.hwnd);
}

TEST_F(WinsimMessagesTest, GetMessageForAWindowThatIsGoneFails)
{
    HWND hwnd = Create("Gone");
    DestroyWindow(hwnd);
    MSG msg;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(-1, GetMessageA(&msg, hwnd, 0, 0));
    EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, GetLastError());
}

TEST_F(WinsimMessagesTest, PeekWithoutRemovingLeavesTheMessageAndFiltersApply)
{
    HWND one = Create("One");
    HWND two = Create("Two");
    PostMessageA(one, kFirst, 0, 0);
    PostMessageA(two, kSecond, 0, 0);

    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, two, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(kSecond, msg.message);
    ASSERT_TRUE(PeekMessageA(&msg, NULL, kSecond, kSecond, PM_REMOVE));
    EXPECT_EQ(two, msg.hwnd);
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(one, msg.hwnd);
    EXPECT_EQ(kFirst, msg.message);
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
}

TEST_F(WinsimMessagesTest, DispatchHandsTheMessageToTheWindowProcedure)
{
    HWND hwnd = Create("Dispatch");
    PostMessageA(hwnd, kFirst, 11, 22);
    MSG msg;
    ASSERT_EQ(TRUE, GetMessageA(&msg, NULL, 0, 0));
    g_received.clear();

    EXPECT_FALSE(TranslateMessage(&msg));
    DispatchMessageA(&msg);
    ASSERT_EQ(1u, g_received.size());
    EXPECT_EQ(hwnd, g_received[0].hwnd);
    EXPECT_EQ(kFirst, g_received[0].message);
    EXPECT_EQ(11u, g_received[0].wParam);
    EXPECT_EQ(22, g_received[0].lParam);
}

TEST_F(WinsimMessagesTest, PostingToAWindowThatIsGoneFails)
{
    HWND hwnd = Create("Gone");
    DestroyWindow(hwnd);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(PostMessageA(hwnd, kFirst, 0, 0));
    EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, GetLastError());
}

TEST_F(WinsimMessagesTest, PostingToNoWindowQueuesAThreadMessage)
{
    EXPECT_TRUE(PostMessageA(NULL, kFirst, 5, 6));
    MSG msg;
    ASSERT_EQ(TRUE, GetMessageA(&msg, NULL, 0, 0));
    EXPECT_EQ((HWND)NULL, msg.hwnd);
    EXPECT_EQ(kFirst, msg.message);
    EXPECT_EQ(5u, msg.wParam);
}

TEST_F(WinsimMessagesTest, SendCallsTheProcedureAtOnce)
{
    HWND hwnd = Create("Send");
    g_received.clear();
    SendMessageA(hwnd, kSecond, 8, 9);
    ASSERT_EQ(1u, g_received.size());
    EXPECT_EQ(kSecond, g_received[0].message);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE));
}

}  // namespace
