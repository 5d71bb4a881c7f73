// Centring a real top-level window on the primary screen.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/app.h"
#include "support/machine.h"

static const char kClassName[] = "QwCenterTestClass";

class CenterWindowOnScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA wc;
        ResetTestMachine();
        ZeroMemory(&wc, sizeof(wc));
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = kClassName;
        ASSERT_NE(0, RegisterClassA(&wc));
    }
    void TearDown() override
    {
        if (hwnd_ != NULL)
            DestroyWindow(hwnd_);
        UnregisterClassA(kClassName, GetModuleHandleA(NULL));
    }

    HWND Create(int x, int y, int width, int height)
    {
        hwnd_ = CreateWindowExA(0, kClassName, "centre me", WS_POPUP, x, y, width, height, NULL, NULL,
                                GetModuleHandleA(NULL), NULL);
        return hwnd_;
    }

    HWND hwnd_ = NULL;
};

TEST_F(CenterWindowOnScreenTest, MovesToScreenCentreKeepingSize)
{
    RECT rect;
    ASSERT_NE((HWND)NULL, Create(7, 9, 400, 300));

    CenterWindowOnScreen(hwnd_);

    ASSERT_TRUE(GetWindowRect(hwnd_, &rect));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) / 2 - 200, rect.left);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN) / 2 - 150, rect.top);
    EXPECT_EQ(400, rect.right - rect.left);
    EXPECT_EQ(300, rect.bottom - rect.top);
}

// Each half is truncated before the subtraction: an odd width of 399 puts
// the window at half the screen minus 199, not minus 199.5 rounded.
TEST_F(CenterWindowOnScreenTest, OddSizesHalveBeforeSubtracting)
{
    RECT rect;
    ASSERT_NE((HWND)NULL, Create(0, 0, 399, 301));

    CenterWindowOnScreen(hwnd_);

    ASSERT_TRUE(GetWindowRect(hwnd_, &rect));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) / 2 - 199, rect.left);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN) / 2 - 150, rect.top);
    EXPECT_EQ(399, rect.right - rect.left);
    EXPECT_EQ(301, rect.bottom - rect.top);
}
