// The progress dialog's template run as a modal dialog, and the progress
// bar control, as Windows runs them.
#include <string.h>

#include "winsim_test_window.h"

#include <commctrl.h>

#include "res/resource.h"

using namespace winsim_test;

namespace {

const UINT kEndNow = WM_USER + 50;

struct DialogSeen {
    HWND dialog;
    LPARAM initParam;
    BOOL ownerEnabledAtInit;
    BOOL ownerEnabledAtEnd;
    char intro[64];
    char status[8];
    char progressClass[32];
    char caption[64];
    int posted;
};
DialogSeen g_seen;

INT_PTR CALLBACK ProbeDialogProc(HWND hDlg, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        g_seen.dialog = hDlg;
        g_seen.initParam = lParam;
        g_seen.ownerEnabledAtInit = IsWindowEnabled(GetParent(hDlg));
        GetDlgItemTextA(hDlg, IDC_INTRO, g_seen.intro, sizeof(g_seen.intro));
        GetDlgItemTextA(hDlg, IDC_STATUS_APPS, g_seen.status, sizeof(g_seen.status));
        GetClassNameA(GetDlgItem(hDlg, IDC_PROGRESS), g_seen.progressClass, sizeof(g_seen.progressClass));
        GetWindowTextA(hDlg, g_seen.caption, sizeof(g_seen.caption));
        PostMessageA(hDlg, kEndNow, 0, 0);
        return TRUE;
    case kEndNow:
        g_seen.posted++;
        g_seen.ownerEnabledAtEnd = IsWindowEnabled(GetParent(hDlg));
        EndDialog(hDlg, 77);
        return TRUE;
    default:
        return FALSE;
    }
}

class WinsimDialogTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        memset(&g_seen, 0, sizeof(g_seen));
        memset(g_seen.intro, 'x', sizeof(g_seen.intro));
        memset(g_seen.status, 'x', sizeof(g_seen.status));
    }
};

TEST_F(WinsimDialogTest, ModalDialogRunsItsOwnLoopWithTheOwnerDisabled)
{
    HWND owner = Create("Owner", WS_OVERLAPPED);
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_PROGRESS), owner,
                                     ProbeDialogProc, 1234);

    EXPECT_EQ(77, result);
    EXPECT_EQ(1234, g_seen.initParam);
    EXPECT_FALSE(g_seen.ownerEnabledAtInit);
    EXPECT_FALSE(g_seen.ownerEnabledAtEnd);
    EXPECT_EQ(1, g_seen.posted);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_FALSE(IsWindow(g_seen.dialog));
}

TEST_F(WinsimDialogTest, ControlsComeFromTheTemplate)
{
    HWND owner = Create("Owner", WS_OVERLAPPED);
    DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_PROGRESS), owner, ProbeDialogProc, 0);

    EXPECT_STREQ("QELVORA Wattrix2 Uninstaller", g_seen.caption);
    EXPECT_STREQ("...", g_seen.intro);
    EXPECT_STREQ("", g_seen.status);
    EXPECT_STREQ("msctls_progress32", g_seen.progressClass);
}

TEST_F(WinsimDialogTest, MissingTemplateGivesMinusOne)
{
    HWND owner = Create("Owner", WS_OVERLAPPED);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(-1, DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(999), owner, ProbeDialogProc, 0));
    EXPECT_EQ((DWORD)ERROR_RESOURCE_NAME_NOT_FOUND, GetLastError());
    EXPECT_EQ((HWND)NULL, g_seen.dialog);
    EXPECT_TRUE(IsWindowEnabled(owner));
}

typedef WindowTest WinsimProgressTest;

// The common controls register their classes when comctl32 is loaded, so
// the bar can be created before InitCommonControls runs.
TEST_F(WinsimProgressTest, BarStepsWithinItsRangeAndWrapsPastTheTop)
{
    HWND parent = Create("Parent");
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_BORDER, 0, 0, 100, 20, parent,
                               (HMENU)(INT_PTR)IDC_PROGRESS, GetModuleHandleA(NULL), NULL);
    ASSERT_NE((HWND)NULL, bar) << GetLastError();
    InitCommonControls();

    EXPECT_EQ(MAKELONG(0, 100), SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 6)));
    EXPECT_EQ(10, SendMessageA(bar, PBM_SETSTEP, 1, 0));
    EXPECT_EQ(0, SendMessageA(bar, PBM_STEPIT, 0, 0));
    EXPECT_EQ(1, SendMessageA(bar, PBM_GETPOS, 0, 0));
    EXPECT_EQ(1, SendMessageA(bar, PBM_SETPOS, 6, 0));
    EXPECT_EQ(6, SendMessageA(bar, PBM_STEPIT, 0, 0));
    EXPECT_EQ(1, SendMessageA(bar, PBM_GETPOS, 0, 0));

    SendMessageA(bar, PBM_SETSTEP, 4, 0);
    SendMessageA(bar, PBM_SETPOS, 5, 0);
    SendMessageA(bar, PBM_STEPIT, 0, 0);
    EXPECT_EQ(3, SendMessageA(bar, PBM_GETPOS, 0, 0));
}

TEST_F(WinsimProgressTest, PositionAndRangeAreClampedToEachOther)
{
    HWND parent = Create("Parent");
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, 0, 0, 100, 20, parent, NULL,
                               GetModuleHandleA(NULL), NULL);
    ASSERT_NE((HWND)NULL, bar);

    EXPECT_EQ(0, SendMessageA(bar, PBM_SETPOS, 150, 0));
    EXPECT_EQ(100, SendMessageA(bar, PBM_GETPOS, 0, 0));
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 6));
    EXPECT_EQ(6, SendMessageA(bar, PBM_GETPOS, 0, 0));
    EXPECT_EQ(6, SendMessageA(bar, PBM_DELTAPOS, (WPARAM)-10, 0));
    EXPECT_EQ(0, SendMessageA(bar, PBM_GETPOS, 0, 0));
}

}  // namespace
