// The simulated desktop's own controls and records: the user answering
// boxes, other programs' windows, the clock, the observer of the program's
// windows, accounts, the token and the shell's bookkeeping.
#include <commctrl.h>
#include <lm.h>
#include <shlobj.h>
#include <string.h>

#include <string>
#include <vector>

#include <winsim.h>
#include <winsim_desktop.h>

#include "res/resource.h"
#include "winsim_test_window.h"

using namespace winsim_test;

namespace {

const UINT kPing = WM_USER + 7;

typedef WindowTest WinsimBoxSimTest;

TEST_F(WinsimBoxSimTest, BoxTakesTheQueuedAnswerAndIsRecordedWithItsOwnerDisabled)
{
    HWND owner = Create("Owner");
    wsim::QueueBoxAnswer(IDCANCEL);
    wsim::QueueBoxAnswer(IDYES);

    EXPECT_EQ(IDCANCEL, MessageBoxA(owner, "Sure?", "Caption", MB_OKCANCEL | MB_ICONQUESTION));
    EXPECT_EQ(IDYES, MessageBoxA(NULL, "Restart?", "Caption", MB_YESNO | MB_ICONINFORMATION));

    std::vector<wsim::BoxRecord> boxes = wsim::Boxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ("Sure?", boxes[0].text);
    EXPECT_EQ("Caption", boxes[0].caption);
    EXPECT_EQ((UINT)(MB_OKCANCEL | MB_ICONQUESTION), boxes[0].style);
    EXPECT_EQ(owner, boxes[0].owner);
    EXPECT_FALSE(boxes[0].ownerEnabled);
    EXPECT_EQ(IDCANCEL, boxes[0].answer);
    EXPECT_EQ((HWND)NULL, boxes[1].owner);
    EXPECT_LT(boxes[0].seq, boxes[1].seq);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(0, wsim::QueuedBoxAnswers());
}

TEST_F(WinsimBoxSimTest, BoxLoopHandlesPostedMessagesBeforeTheUserAnswers)
{
    HWND hwnd = Create("Posted to");
    PostMessageA(hwnd, kPing, 1, 0);
    size_t messagesSeenByHook = 0;
    wsim::OnBox([&](const wsim::BoxRecord &box) {
        EXPECT_EQ("Text", box.text);
        messagesSeenByHook = MessagesOf(hwnd, {kPing}).size();
    });
    wsim::QueueBoxAnswer(IDOK);

    MessageBoxA(NULL, "Text", "Caption", MB_OK);
    EXPECT_EQ(1u, messagesSeenByHook);
}

TEST_F(WinsimBoxSimTest, BoxWithoutAnAnswerStopsTheTest)
{
    EXPECT_DEATH(MessageBoxA(NULL, "Unexpected", "Caption", MB_OK), "no answer queued.*Unexpected");
}

TEST_F(WinsimBoxSimTest, AnswerThatIsNotAButtonOfTheBoxStopsTheTest)
{
    wsim::QueueBoxAnswer(IDCANCEL);
    EXPECT_DEATH(MessageBoxA(NULL, "Only OK", "Caption", MB_OK), "not a button");
}

TEST_F(WinsimBoxSimTest, FailingBoxShowsNothing)
{
    wsim::Fail("MessageBoxA", "*", ERROR_NOT_ENOUGH_MEMORY, 1);
    SetLastError(0);
    EXPECT_EQ(0, MessageBoxA(NULL, "Text", "Caption", MB_OK));
    EXPECT_EQ((DWORD)ERROR_NOT_ENOUGH_MEMORY, GetLastError());
    EXPECT_TRUE(wsim::Boxes().empty());
}

TEST_F(WinsimBoxSimTest, WaitingOnAnEmptyQueueStopsTheTest)
{
    MSG msg;
    EXPECT_DEATH(GetMessageA(&msg, NULL, 0, 0), "wait forever");
}

class WinsimForeignSimTest : public ::testing::Test {
protected:
    void SetUp() override { wsim::Reset(); }
};

TEST_F(WinsimForeignSimTest, WindowClosesOnceTheClockPassesItsDelay)
{
    HWND other = wsim::AddForeignWindow("OtherClass", "Other", 1500);
    EXPECT_EQ(other, FindWindowA("otherclass", "OTHER"));
    EXPECT_TRUE(PostMessageA(other, WM_CLOSE, 0, 0));

    Sleep(1000);
    EXPECT_EQ(other, FindWindowA(NULL, "Other"));
    Sleep(500);
    EXPECT_EQ((HWND)NULL, FindWindowA(NULL, "Other"));
    EXPECT_FALSE(IsWindow(other));
    std::vector<wsim::ReceivedMessage> got = wsim::MessagesReceived(other);
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ((UINT)WM_CLOSE, got[0].message);
    EXPECT_EQ(0u, got[0].time);
}

TEST_F(WinsimForeignSimTest, WindowThatIgnoresCloseStaysAndCannotBeDestroyedFromHere)
{
    HWND sheet = wsim::AddForeignWindow("#32770", "Power Save Properties", wsim::kIgnoresClose);
    PostMessageA(sheet, WM_CLOSE, 0, 0);
    Sleep(60000);
    EXPECT_TRUE(wsim::ForeignWindowExists(sheet));
    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(sheet));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
}

TEST_F(WinsimForeignSimTest, WindowAddedLastIsFoundFirst)
{
    HWND first = wsim::AddForeignWindow("Same", "Same", 0);
    HWND second = wsim::AddForeignWindow("Same", "Same", 0);
    EXPECT_EQ(second, FindWindowA("Same", "Same"));
    SendMessageA(second, WM_CLOSE, 0, 0);
    EXPECT_EQ(first, FindWindowA("Same", "Same"));
}

TEST_F(WinsimForeignSimTest, OwnerOfABoxIsDisabledOnlyWhileTheBoxIsUp)
{
    HWND sheet = wsim::AddForeignWindow("#32770", "Power Save Properties", wsim::kIgnoresClose);
    bool enabledDuringBox = true;
    wsim::OnBox([&](const wsim::BoxRecord &) { enabledDuringBox = IsWindowEnabled(sheet) != FALSE; });
    wsim::QueueBoxAnswer(IDOK);

    MessageBoxA(sheet, "Close it", "Caption", MB_OK | MB_ICONINFORMATION);
    EXPECT_FALSE(enabledDuringBox);
    EXPECT_TRUE(IsWindowEnabled(sheet));
}

TEST_F(WinsimForeignSimTest, ClockMovesOnlyWithSleep)
{
    EXPECT_EQ(0u, wsim::Now());
    std::vector<std::pair<DWORD, DWORD>> seen;
    wsim::OnSleep([&](DWORD ms) { seen.push_back({ms, wsim::Now()}); });
    Sleep(250);
    Sleep(0);
    EXPECT_EQ(250u, wsim::Now());
    EXPECT_EQ(250u, GetTickCount());
    EXPECT_EQ((std::vector<std::pair<DWORD, DWORD>>{{250u, 250u}, {0u, 250u}}), seen);
}

INT_PTR CALLBACK RecordedDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SendMessageA(GetDlgItem(hDlg, IDC_PROGRESS), PBM_SETRANGE, 0, MAKELPARAM(0, 6));
        SendMessageA(GetDlgItem(hDlg, IDC_PROGRESS), PBM_SETSTEP, 1, 0);
        SetWindowPos(hDlg, NULL, 244, 240, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        PostMessageA(hDlg, kPing, 0, 0);
        return TRUE;
    case kPing:
        SendMessageA(GetDlgItem(hDlg, IDC_PROGRESS), PBM_STEPIT, 0, 0);
        SetDlgItemTextA(hDlg, IDC_STATUS_APPS, "please wait...");
        Sleep(1000);
        SendMessageA(GetDlgItem(hDlg, IDC_PROGRESS), PBM_STEPIT, 0, 0);
        SetDlgItemTextA(hDlg, IDC_STATUS_APPS, "complete.");
        PostMessageA(hDlg, WM_COMMAND, IDOK, 0);
        return TRUE;
    case WM_COMMAND:
        EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

typedef WindowTest WinsimObserverSimTest;

TEST_F(WinsimObserverSimTest, DialogAndControlsAreRecordedInPixelsOfTwoPerDialogUnit)
{
    HWND owner = Create("Owner", WS_OVERLAPPED);
    ASSERT_EQ(IDOK, DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_PROGRESS), owner,
                                    RecordedDialogProc, 0));

    std::vector<wsim::CreatedWindow> created = wsim::CreatedWindows();
    ASSERT_EQ(8u, created.size());
    const wsim::CreatedWindow &dialog = created[1];
    EXPECT_EQ("#32770", dialog.className);
    EXPECT_EQ("QELVORA Wattrix2 Uninstaller", dialog.title);
    EXPECT_EQ(owner, dialog.owner);
    // 265 x 131 units: 530 x 262 pixels inside a 3-pixel frame and a
    // 19-pixel caption.
    EXPECT_EQ(536, dialog.rect.right - dialog.rect.left);
    EXPECT_EQ(287, dialog.rect.bottom - dialog.rect.top);

    const wsim::CreatedWindow &bar = created[2];
    EXPECT_EQ(PROGRESS_CLASSA, bar.className);
    EXPECT_EQ(IDC_PROGRESS, bar.id);
    EXPECT_EQ(dialog.hwnd, bar.parent);
    EXPECT_EQ((DWORD)(WS_CHILD | WS_VISIBLE | WS_BORDER), bar.style & (WS_CHILD | WS_VISIBLE | WS_BORDER));
    EXPECT_EQ(dialog.rect.left + 3 + 30, bar.rect.left);
    EXPECT_EQ(dialog.rect.top + 3 + 19 + 210, bar.rect.top);
    EXPECT_EQ(474, bar.rect.right - bar.rect.left);
    EXPECT_EQ(30, bar.rect.bottom - bar.rect.top);
    EXPECT_EQ(0xFFFF, created[4].id);
    EXPECT_EQ("", created[4].title);
}

TEST_F(WinsimObserverSimTest, TextsBarPositionsAndMovesAreRecordedInOrderWithTheirTimes)
{
    HWND owner = Create("Owner", WS_OVERLAPPED);
    DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_PROGRESS), owner, RecordedDialogProc, 0);

    std::vector<wsim::TextChange> texts = wsim::TextChanges();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ(IDC_STATUS_APPS, texts[0].id);
    EXPECT_EQ("please wait...", texts[0].text);
    EXPECT_EQ(0u, texts[0].time);
    EXPECT_EQ("complete.", texts[1].text);
    EXPECT_EQ(1000u, texts[1].time);

    std::vector<wsim::ProgressChange> bar = wsim::ProgressChanges();
    ASSERT_EQ(2u, bar.size());
    EXPECT_EQ(1, bar[0].position);
    EXPECT_LT(bar[0].seq, texts[0].seq);
    EXPECT_EQ(2, bar[1].position);
    EXPECT_EQ(1000u, bar[1].time);

    std::vector<wsim::WindowMove> moves = wsim::WindowMoves();
    ASSERT_EQ(1u, moves.size());
    EXPECT_EQ(244, moves[0].x);
    EXPECT_EQ((UINT)(SWP_NOSIZE | SWP_NOZORDER), moves[0].flags);
}

TEST_F(WinsimObserverSimTest, MessageLogShowsPostsAndDispatchesInOrder)
{
    HWND hwnd = Create("Logged");
    PostMessageA(hwnd, kPing, 0, 0);
    PostQuitMessage(0);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0))
        DispatchMessageA(&msg);

    std::vector<wsim::MessageEvent> log = wsim::MessageLog();
    ASSERT_EQ(4u, log.size());
    EXPECT_EQ(wsim::MessageEventKind::Posted, log[0].kind);
    EXPECT_EQ(kPing, log[0].message);
    EXPECT_EQ(wsim::MessageEventKind::Quit, log[1].kind);
    EXPECT_EQ(wsim::MessageEventKind::Dispatched, log[2].kind);
    EXPECT_EQ(hwnd, log[2].hwnd);
    EXPECT_EQ(wsim::MessageEventKind::QuitTaken, log[3].kind);
}

TEST_F(WinsimObserverSimTest, DialogThatCannotBeCreatedGivesMinusOneAndLeavesTheOwnerEnabled)
{
    HWND owner = Create("Owner", WS_OVERLAPPED);
    wsim::Fail("DialogBoxParamA", "*", ERROR_NOT_ENOUGH_MEMORY, 1);
    EXPECT_EQ(-1, DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_PROGRESS), owner,
                                  RecordedDialogProc, 0));
    EXPECT_EQ((DWORD)ERROR_NOT_ENOUGH_MEMORY, GetLastError());
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(1u, wsim::CreatedWindows().size());
}

TEST_F(WinsimObserverSimTest, CursorScreenAndCommonControlsAreVisibleToTests)
{
    HCURSOR arrow = LoadCursorA(NULL, IDC_ARROW);
    HCURSOR wait = LoadCursorA(NULL, IDC_WAIT);
    EXPECT_EQ(arrow, wsim::CurrentCursor());
    EXPECT_EQ(arrow, SetCursor(wait));
    EXPECT_EQ(wait, wsim::CurrentCursor());
    ASSERT_EQ(1u, wsim::CursorChanges().size());

    wsim::SetScreenSize(1024, 768);
    EXPECT_EQ(1024, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(768, GetSystemMetrics(SM_CYSCREEN));

    EXPECT_FALSE(wsim::CommonControlsInitialised());
    InitCommonControls();
    EXPECT_TRUE(wsim::CommonControlsInitialised());
}

class WinsimAccountsSimTest : public ::testing::Test {
protected:
    void SetUp() override { wsim::Reset(); }

    static NET_API_STATUS Privilege(LPCWSTR server, const char *user, DWORD *privilege)
    {
        WCHAR name[64];
        MultiByteToWideChar(CP_ACP, 0, user, -1, name, 64);
        LPBYTE buffer = NULL;
        NET_API_STATUS status = NetUserGetInfo(server, name, 1, &buffer);
        if (status == NERR_Success) {
            *privilege = ((USER_INFO_1 *)buffer)->usri1_priv;
            NetApiBufferFree(buffer);
        }
        return status;
    }
};

TEST_F(WinsimAccountsSimTest, DomainControllerAnswersForItsOwnAccounts)
{
    wsim::SetUserName("jdoe");
    wsim::SetDomainController("CORPDC");
    wsim::SetDomainAccount("jdoe", USER_PRIV_ADMIN);

    DWORD privilege = 99;
    EXPECT_EQ((NET_API_STATUS)NERR_UserNotFound, Privilege(NULL, "jdoe", &privilege));
    LPBYTE dc = NULL;
    ASSERT_EQ((NET_API_STATUS)NERR_Success, NetGetDCName(NULL, NULL, &dc));
    EXPECT_EQ(std::u16string(u"\\\\CORPDC"), std::u16string((const char16_t *)dc));
    EXPECT_EQ((NET_API_STATUS)NERR_Success, Privilege((LPCWSTR)dc, "JDOE", &privilege));
    EXPECT_EQ((DWORD)USER_PRIV_ADMIN, privilege);
    EXPECT_EQ(1, wsim::OutstandingNetBuffers());
    NetApiBufferFree(dc);
    EXPECT_EQ(0, wsim::OutstandingNetBuffers());

    std::vector<wsim::AccountQuery> queries = wsim::AccountQueries();
    ASSERT_EQ(2u, queries.size());
    EXPECT_EQ("", queries[0].server);
    EXPECT_EQ("\\\\CORPDC", queries[1].server);
    EXPECT_EQ("JDOE", queries[1].user);
}

TEST_F(WinsimAccountsSimTest, MachineOutsideADomainHasNoController)
{
    LPBYTE dc = (LPBYTE)&dc;
    EXPECT_EQ((NET_API_STATUS)NERR_DCNotFound, NetGetDCName(NULL, NULL, &dc));
    EXPECT_EQ(0, wsim::OutstandingNetBuffers());
    wsim::SetLocalAccount("Administrator", USER_PRIV_USER);
    DWORD privilege = 99;
    EXPECT_EQ((NET_API_STATUS)NERR_Success, Privilege(NULL, "administrator", &privilege));
    EXPECT_EQ((DWORD)USER_PRIV_USER, privilege);
    wsim::SetLocalAccount("Administrator", wsim::kNoAccount);
    EXPECT_EQ((NET_API_STATUS)NERR_UserNotFound, Privilege(NULL, "Administrator", &privilege));
}

TEST_F(WinsimAccountsSimTest, NetworkFaultComesBackAsTheStatus)
{
    wsim::Fail("NetUserGetInfo", "*", NERR_InvalidComputer, 1);
    DWORD privilege = 0;
    SetLastError(0);
    EXPECT_EQ((NET_API_STATUS)NERR_InvalidComputer, Privilege(NULL, "Administrator", &privilege));
    EXPECT_EQ(0u, GetLastError());
    EXPECT_EQ((NET_API_STATUS)NERR_Success, Privilege(NULL, "Administrator", &privilege));
}

class WinsimTokenSimTest : public ::testing::Test {
protected:
    void SetUp() override { wsim::Reset(); }

    static BOOL EnableShutdown(HANDLE token)
    {
        TOKEN_PRIVILEGES privileges;
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
        return AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
    }
};

TEST_F(WinsimTokenSimTest, RestartNeedsTheShutdownPrivilegeEnabledAndIsOnlyRecorded)
{
    SetLastError(0);
    EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_EQ((DWORD)ERROR_PRIVILEGE_NOT_HELD, GetLastError());

    HANDLE token = NULL;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    EXPECT_EQ(1, wsim::OpenTokenHandles());
    EXPECT_TRUE(EnableShutdown(token));
    EXPECT_TRUE(wsim::ShutdownPrivilegeEnabled());
    Sleep(30);
    EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT, 0));
    CloseHandle(token);
    EXPECT_EQ(0, wsim::OpenTokenHandles());

    std::vector<wsim::ExitRequest> requests = wsim::ExitRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ((UINT)EWX_REBOOT, requests[0].flags);
    EXPECT_EQ(30u, requests[0].time);
}

TEST_F(WinsimTokenSimTest, UserWithoutTheShutdownPrivilegeGetsNotAllAssigned)
{
    wsim::SetShutdownPrivilegeHeld(false);
    HANDLE token = NULL;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    SetLastError(0);
    EXPECT_TRUE(EnableShutdown(token));
    EXPECT_EQ((DWORD)ERROR_NOT_ALL_ASSIGNED, GetLastError());
    EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_TRUE(wsim::ExitRequests().empty());
    CloseHandle(token);
}

TEST_F(WinsimTokenSimTest, TokenCallsFailAsTold)
{
    HANDLE token = NULL;
    wsim::Fail("OpenProcessToken", "*", ERROR_ACCESS_DENIED, 1);
    EXPECT_FALSE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ(0, wsim::OpenTokenHandles());

    wsim::Fail("ExitWindowsEx", "*", ERROR_SHUTDOWN_IN_PROGRESS, 1);
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    EnableShutdown(token);
    EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_EQ((DWORD)ERROR_SHUTDOWN_IN_PROGRESS, GetLastError());
    CloseHandle(token);
}

class WinsimShellSimTest : public ::testing::Test {
protected:
    void SetUp() override { wsim::Reset(); }
};

TEST_F(WinsimShellSimTest, ReferencesAndItemListsAreCountedUntilReleased)
{
    wsim::MakeDir("C:\\Documents and Settings\\Administrator", "ADMINI~1");
    IMalloc *allocator = NULL;
    IShellFolder *desktop = NULL;
    ASSERT_EQ(S_OK, SHGetMalloc(&allocator));
    ASSERT_EQ(S_OK, SHGetDesktopFolder(&desktop));
    EXPECT_EQ(2, wsim::OutstandingShellReferences());

    WCHAR path[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, "C:\\DOCUME~1\\ADMINI~1", -1, path, MAX_PATH);
    LPITEMIDLIST idList = NULL;
    ASSERT_EQ(S_OK, desktop->ParseDisplayName(NULL, NULL, path, NULL, &idList, NULL));
    EXPECT_EQ(1, wsim::OutstandingIdLists());
    char text[MAX_PATH];
    EXPECT_TRUE(SHGetPathFromIDListA(idList, text));
    EXPECT_STREQ("C:\\Documents and Settings\\Administrator", text);

    allocator->Free(idList);
    EXPECT_EQ(0, wsim::OutstandingIdLists());
    desktop->Release();
    allocator->Release();
    EXPECT_EQ(0, wsim::OutstandingShellReferences());
}

TEST_F(WinsimShellSimTest, ShellCallsFailAsTold)
{
    IMalloc *allocator = (IMalloc *)&allocator;
    wsim::Fail("SHGetMalloc", "*", (DWORD)E_OUTOFMEMORY, 1);
    EXPECT_EQ(E_OUTOFMEMORY, SHGetMalloc(&allocator));
    EXPECT_EQ((IMalloc *)NULL, allocator);

    IShellFolder *desktop = NULL;
    ASSERT_EQ(S_OK, SHGetDesktopFolder(&desktop));
    wsim::Fail("ParseDisplayName", "*", ERROR_ACCESS_DENIED, 1);
    WCHAR path[] = {'C', ':', '\\', 0};
    LPITEMIDLIST idList = NULL;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED),
              desktop->ParseDisplayName(NULL, NULL, path, NULL, &idList, NULL));
    EXPECT_EQ((LPITEMIDLIST)NULL, idList);
    desktop->Release();
    EXPECT_EQ(0, wsim::OutstandingShellReferences());
}

TEST_F(WinsimShellSimTest, FreeingAnItemListTwiceStopsTheTest)
{
    IMalloc *allocator = NULL;
    ASSERT_EQ(S_OK, SHGetMalloc(&allocator));
    void *block = allocator->Alloc(16);
    allocator->Free(block);
    EXPECT_DEATH(allocator->Free(block), "freed twice");
    allocator->Release();
}

}  // namespace
