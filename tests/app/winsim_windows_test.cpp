// Window classes and windows as Windows handles them: registration,
// creation and destruction messages, texts, searches, owners and places.
#include <string.h>

#include "winsim_test_window.h"

using namespace winsim_test;

namespace {

typedef WindowTest WinsimWindowsTest;

TEST_F(WinsimWindowsTest, SecondRegistrationOfAClassFails)
{
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(NULL);
    std::string sameNameOtherCase = ClassName();
    for (char &c : sameNameOtherCase)
        c = (char)toupper((unsigned char)c);
    wc.lpszClassName = sameNameOtherCase.c_str();

    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, RegisterClassA(&wc));
    EXPECT_EQ((DWORD)ERROR_CLASS_ALREADY_EXISTS, GetLastError());
    EXPECT_GE(Atom(), 0xC000);
}

TEST_F(WinsimWindowsTest, CreationDeliversNcCreateAndCreateBeforeItReturns)
{
    int marker = 0;
    HWND hwnd = CreateWindowExA(0, ClassName(), "Title", WS_POPUP, 0, 0, 50, 50, NULL, NULL,
                                GetModuleHandleA(NULL), &marker);
    ASSERT_NE((HWND)NULL, hwnd);

    EXPECT_EQ((std::vector<UINT>{WM_NCCREATE, WM_CREATE}), MessagesOf(hwnd, {WM_NCCREATE, WM_CREATE}));
    EXPECT_EQ(&marker, g_createParam);
    char title[16];
    EXPECT_EQ(5, GetWindowTextA(hwnd, title, sizeof(title)));
    EXPECT_STREQ("Title", title);

    g_received.clear();
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ((std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}), MessagesOf(hwnd, {WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WinsimWindowsTest, CreateAnsweringMinusOneFailsTheCreation)
{
    g_createResult = -1;
    HWND hwnd = Create("Refused");

    EXPECT_EQ((HWND)NULL, hwnd);
    ASSERT_FALSE(g_received.empty());
    HWND attempted = g_received[0].hwnd;
    EXPECT_FALSE(IsWindow(attempted));
    EXPECT_EQ((std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_NCDESTROY}),
              MessagesOf(attempted, {WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(WinsimWindowsTest, TitleIsStoredByTheDefaultHandlingOfNcCreate)
{
    g_passNcCreate = false;
    HWND hwnd = Create("Never stored");
    ASSERT_NE((HWND)NULL, hwnd);

    char title[32];
    memset(title, 'x', sizeof(title));
    EXPECT_EQ(0, GetWindowTextA(hwnd, title, sizeof(title)));
    EXPECT_EQ('\0', title[0]);
}

TEST_F(WinsimWindowsTest, WindowTextIsCutToTheBufferAndTerminated)
{
    HWND hwnd = Create("Uninstaller");
    char text[8];
    memset(text, 'x', sizeof(text));

    EXPECT_EQ(3, GetWindowTextA(hwnd, text, 4));
    EXPECT_STREQ("Uni", text);
    EXPECT_EQ('x', text[4]);

    EXPECT_TRUE(SetWindowTextA(hwnd, "Other"));
    EXPECT_EQ(5, GetWindowTextA(hwnd, text, sizeof(text)));
    EXPECT_STREQ("Other", text);
}

TEST_F(WinsimWindowsTest, ClassNameComesBackAsRegistered)
{
    HWND hwnd = Create("Any");
    char name[64];
    memset(name, 'x', sizeof(name));

    EXPECT_EQ((int)strlen(ClassName()), GetClassNameA(hwnd, name, sizeof(name)));
    EXPECT_STREQ(ClassName(), name);
    EXPECT_EQ(6, GetClassNameA(hwnd, name, 7));
    EXPECT_EQ(0, strncmp(ClassName(), name, 6));
    EXPECT_EQ('\0', name[6]);
}

TEST_F(WinsimWindowsTest, FindWindowIgnoresCaseAndTakesNullForAny)
{
    HWND hwnd = Create("QwTest Find Me");
    std::string upperClass = ClassName();
    for (char &c : upperClass)
        c = (char)toupper((unsigned char)c);

    EXPECT_EQ(hwnd, FindWindowA(ClassName(), "QwTest Find Me"));
    EXPECT_EQ(hwnd, FindWindowA(upperClass.c_str(), "qwtest find me"));
    EXPECT_EQ(hwnd, FindWindowA(NULL, "QWTEST FIND ME"));
    EXPECT_EQ(hwnd, FindWindowA(ClassName(), NULL));
    EXPECT_EQ((HWND)NULL, FindWindowA(ClassName(), "QwTest Find"));
    EXPECT_EQ((HWND)NULL, FindWindowA("QwTest.NoSuchClass", "QwTest Find Me"));
}

TEST_F(WinsimWindowsTest, FindWindowSeesTopLevelWindowsOnly)
{
    HWND parent = Create("QwTest Parent");
    HWND child = Create("QwTest Child", WS_CHILD, parent, 7);
    ASSERT_NE((HWND)NULL, child);

    SetLastError(0xdeadbeef);
    EXPECT_EQ((HWND)NULL, FindWindowA(NULL, "QwTest Child"));
    EXPECT_EQ((DWORD)ERROR_CANNOT_FIND_WND_CLASS, GetLastError());
    EXPECT_EQ(parent, FindWindowA(NULL, "QwTest Parent"));

    DestroyWindow(parent);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ((HWND)NULL, FindWindowA(NULL, "QwTest Parent"));
}

TEST_F(WinsimWindowsTest, DefaultHandlingOfCloseDestroysTheWindow)
{
    HWND hwnd = Create("Closing");
    EXPECT_EQ(0, SendMessageA(hwnd, WM_CLOSE, 0, 0));
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WinsimWindowsTest, EnableWindowTellsWhetherTheWindowWasDisabled)
{
    HWND hwnd = Create("Enabled");
    EXPECT_TRUE(IsWindowEnabled(hwnd));
    EXPECT_FALSE(EnableWindow(hwnd, FALSE));
    EXPECT_FALSE(IsWindowEnabled(hwnd));
    EXPECT_TRUE(EnableWindow(hwnd, FALSE));
    EXPECT_TRUE(EnableWindow(hwnd, TRUE));
    EXPECT_TRUE(IsWindowEnabled(hwnd));
}

TEST_F(WinsimWindowsTest, ParentIsTheParentOfAChildAndTheOwnerOfAPopup)
{
    HWND top = Create("Top", WS_OVERLAPPED);
    HWND child = Create("Child", WS_CHILD, top, 3);
    HWND popup = Create("Popup", WS_POPUP, child);
    HWND ownedOverlapped = Create("Owned", WS_OVERLAPPED, top);

    EXPECT_EQ(top, GetParent(child));
    // An owner given as a child is replaced by its top-level window.
    EXPECT_EQ(top, GetParent(popup));
    EXPECT_EQ((HWND)NULL, GetParent(ownedOverlapped));
    EXPECT_EQ((HWND)NULL, GetParent(top));
}

TEST_F(WinsimWindowsTest, SetWindowPosMovesAndKeepsTheSize)
{
    RECT place = {10, 20, 210, 120};
    HWND hwnd = Create("Moved", WS_POPUP, NULL, 0, place);

    EXPECT_TRUE(SetWindowPos(hwnd, NULL, 313, 240, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    RECT rect;
    memset(&rect, 0xcc, sizeof(rect));
    EXPECT_TRUE(GetWindowRect(hwnd, &rect));
    EXPECT_EQ(313, rect.left);
    EXPECT_EQ(240, rect.top);
    EXPECT_EQ(513, rect.right);
    EXPECT_EQ(340, rect.bottom);
}

TEST_F(WinsimWindowsTest, CallsOnADestroyedWindowFail)
{
    HWND hwnd = Create("Gone");
    DestroyWindow(hwnd);
    RECT rect;
    char text[8] = "xxxxxxx";

    EXPECT_FALSE(DestroyWindow(hwnd));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetWindowRect(hwnd, &rect));
    EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, GetLastError());
    EXPECT_EQ(0, GetWindowTextA(hwnd, text, sizeof(text)));
    EXPECT_EQ('\0', text[0]);
}

TEST_F(WinsimWindowsTest, StandardCursorsAreDistinctAndSetCursorGivesThePreviousOne)
{
    HCURSOR arrow = LoadCursorA(NULL, IDC_ARROW);
    HCURSOR wait = LoadCursorA(NULL, IDC_WAIT);
    ASSERT_NE((HCURSOR)NULL, arrow);
    ASSERT_NE((HCURSOR)NULL, wait);
    EXPECT_NE(arrow, wait);
    EXPECT_EQ(arrow, LoadCursorA(NULL, IDC_ARROW));

    HCURSOR before = SetCursor(wait);
    EXPECT_EQ(wait, GetCursor());
    EXPECT_EQ(wait, SetCursor(before));
    EXPECT_EQ(before, GetCursor());
}

TEST_F(WinsimWindowsTest, IconByANameTheModuleLacksIsNotLoaded)
{
    EXPECT_EQ((HICON)NULL, LoadIconA(GetModuleHandleA(NULL), "QWUNINST.ICO"));
    EXPECT_NE((HICON)NULL, LoadIconA(NULL, IDI_APPLICATION));
}

}  // namespace
