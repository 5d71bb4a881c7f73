// Control of the simulated desktop, for tests only: other programs'
// windows, the virtual clock, the user who answers message boxes, the
// record of what the program's own windows did, the screen, the accounts,
// the process token and the shell. wsim::Reset (winsim.h) returns all of it
// to the state described with each function and forgets every record.
//
// Faults of the calls of this side go through wsim::Fail(call, "*", error)
// with the Win32 name of the call: RegisterClassA, CreateWindowExA,
// PostMessageA, DialogBoxParamA, MessageBoxA, LoadCursorA, LoadIconA,
// GetModuleHandleA, GetUserNameA, NetUserGetInfo, NetGetDCName,
// OpenProcessToken, LookupPrivilegeValueA, AdjustTokenPrivileges,
// ExitWindowsEx, SHGetMalloc, SHGetDesktopFolder, ParseDisplayName,
// SHGetPathFromIDListA. The failing call returns what the real one returns
// on failure and sets the last error to `error`; the network calls return
// `error` as their status instead, and the shell calls return
// HRESULT_FROM_WIN32(error) (an HRESULT passed as error is returned as is).
// The other calls of this side cannot be made to fail, but every call is
// counted for wsim::CallCount.
//
// Records carry `seq`, one counter shared by all records of this header,
// so that tests can order events of different kinds, and `time`, the
// virtual clock when the event happened.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>
#include <lm.h>

namespace wsim {

// ---- Virtual clock -------------------------------------------------------
// Milliseconds since Reset. Sleep advances it at once, without waiting;
// GetTickCount reads it. Nothing else moves it.
DWORD Now();
// Called at the end of every Sleep of the program, with the clock already
// advanced (null to remove). Lets a test look at the program mid-stage.
void OnSleep(std::function<void(DWORD milliseconds)> hook);

// ---- Other programs' windows ---------------------------------------------
// A top-level window of another process, of the given class ("#32770" for
// a dialog such as a property sheet) and title. closeDelayMs says what it
// does with WM_CLOSE (posted or sent): it disappears once the clock has
// moved closeDelayMs past the arrival of the first WM_CLOSE (0: at once),
// or, with kIgnoresClose, it stays. FindWindowA sees these windows like
// the program's own ones; like on Windows, the window added last is found
// first (new windows come on top of the Z order).
const int kIgnoresClose = -1;
HWND AddForeignWindow(const char *className, const char *title, int closeDelayMs = 0);
// False once the window has closed (its closing time has passed).
bool ForeignWindowExists(HWND hwnd);
struct ReceivedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    int seq;
};
// Messages posted or sent to another program's window, in arrival order.
std::vector<ReceivedMessage> MessagesReceived(HWND hwnd);
// IsWindowEnabled tells whether any window (this one included) is disabled,
// e.g. while it owns a message box.

// ---- Message boxes -------------------------------------------------------
// The user's answers, taken one per box in order: IDOK, IDCANCEL, IDYES,
// IDNO (or another button of the box). An answer that is not a button of
// the box, or a box shown with no answer queued, is a fault of the test:
// winsim prints the box and aborts the test program at once, so a box that
// nobody expected can never pass unnoticed.
void QueueBoxAnswer(int answer);
int QueuedBoxAnswers();
// The user presses and releases a key (VK_RETURN, say) whatever the
// program is doing: the key waits in the thread's input queue, which
// GetMessageA and PeekMessageA hand out after the posted messages of
// their range, until something takes it. A box takes the keys that wait
// before the answer queued for it: an Enter presses its default button
// (the queued answer then stays for the next box); other keys do nothing.
void TypeKey(WPARAM key);
// Key messages waiting in the input queue (two for each key typed).
int WaitingInput();
struct BoxRecord {
    std::string text;
    std::string caption;
    UINT style;
    HWND owner;         // as passed (null for none)
    bool ownerEnabled;  // owner's state while the box was up (Windows disables it)
    int answer;
    bool typedAhead = false;  // answered by an Enter that waited for it (TypeKey)
    DWORD time;
    int seq;
};
// Every box shown since Reset, in order.
std::vector<BoxRecord> Boxes();
// Called while each box is up, after the box's modal loop has handled the
// messages that were waiting and before the user answers (null to
// remove): the place to look at the program's state at that moment.
void OnBox(std::function<void(const BoxRecord &box)> hook);

// ---- The program's own windows -------------------------------------------
// Style and title are as the program passed them. A dialog is created
// hidden and shown after WM_INITDIALOG, as Windows does, so its record
// lacks WS_VISIBLE; its controls come right after it, in template order.
struct CreatedWindow {
    HWND hwnd;
    std::string className;
    std::string title;
    DWORD style;
    DWORD exStyle;
    RECT rect;    // in screen pixels, as created
    HWND parent;  // for child windows
    HWND owner;   // for top-level windows
    int id;       // control id of child windows
    DWORD time;
    int seq;
};
// Windows created successfully, dialogs and their controls included.
std::vector<CreatedWindow> CreatedWindows();

enum class MessageEventKind {
    Posted,      // PostMessageA to one of the program's windows or the thread
    Dispatched,  // handed to a window procedure by DispatchMessageA or a modal loop
    Sent,        // SendMessageA by the program
    Quit,        // PostQuitMessage (wParam: the exit code)
    QuitTaken,   // GetMessageA returned 0 for the quit message
};
struct MessageEvent {
    MessageEventKind kind;
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    int seq;
};
std::vector<MessageEvent> MessageLog();

// Texts set on the program's windows with WM_SETTEXT (SetWindowTextA,
// SetDlgItemTextA): id is the control id, 0 for a top-level window.
struct TextChange {
    HWND hwnd;
    int id;
    std::string text;
    DWORD time;
    int seq;
};
std::vector<TextChange> TextChanges();

// Every change of a progress bar's position (PBM_SETPOS, PBM_STEPIT,
// PBM_DELTAPOS, or a range that clamps it).
struct ProgressChange {
    HWND hwnd;
    int position;
    DWORD time;
    int seq;
};
std::vector<ProgressChange> ProgressChanges();

// Every SetWindowPos call that succeeded, with its arguments.
struct WindowMove {
    HWND hwnd;
    HWND insertAfter;
    int x, y, cx, cy;
    UINT flags;
    DWORD time;
    int seq;
};
std::vector<WindowMove> WindowMoves();

// Every SetCursor call (the cursor set) and the cursor now in force (the
// standard arrow after Reset; compare with LoadCursorA(NULL, IDC_WAIT) and
// the like).
struct CursorChange {
    HCURSOR cursor;
    DWORD time;
    int seq;
};
std::vector<CursorChange> CursorChanges();
HCURSOR CurrentCursor();

// Whether InitCommonControls was called since Reset. The common controls'
// classes (the progress bar's) exist while comctl32 is loaded, which
// registers them as it loads and removes them as it unloads.
bool CommonControlsInitialised();

// ---- Screen --------------------------------------------------------------
// The primary screen for GetSystemMetrics(SM_CXSCREEN/SM_CYSCREEN).
// 1024 x 768 after Reset.
void SetScreenSize(int width, int height);

// Dialogs are laid out with fixed base units of 8 x 16 pixels (one dialog
// unit is 2 pixels either way); a dialog with a caption adds a 3-pixel
// frame on each side and a 19-pixel caption to its client area.

// ---- Accounts ------------------------------------------------------------
// After Reset: the user "Administrator", a local administrator, and a
// local "Guest" account; the machine is in no domain.
void SetUserName(const char *name);
// The privilege of a local account (USER_PRIV_GUEST, _USER, _ADMIN), or
// kNoAccount to remove it (NetUserGetInfo: NERR_UserNotFound).
const int kNoAccount = -1;
void SetLocalAccount(const char *name, int privilege);
// The primary domain controller: NetGetDCName gives "\\" + dcName; null
// puts the machine outside any domain (NERR_DCNotFound). Accounts on the
// controller are set separately, likewise.
void SetDomainController(const char *dcName);
void SetDomainAccount(const char *name, int privilege);
// NetUserGetInfo queries in order: the server as passed ("" for none) and
// the user name, both converted to the ANSI code page.
struct AccountQuery {
    std::string server;
    std::string user;
    NET_API_STATUS status;
};
std::vector<AccountQuery> AccountQueries();
// Buffers returned by NetUserGetInfo and NetGetDCName not yet freed with
// NetApiBufferFree.
int OutstandingNetBuffers();

// ---- Process token and restart -------------------------------------------
// Whether the process's token holds the shutdown privilege (true after
// Reset, as for an administrator). It starts disabled, as on Windows.
void SetShutdownPrivilegeHeld(bool held);
bool ShutdownPrivilegeEnabled();
// Token handles from OpenProcessToken not yet closed with CloseHandle.
int OpenTokenHandles();
// ExitWindowsEx requests that Windows accepted: recorded, never performed.
struct ExitRequest {
    UINT flags;
    DWORD reason;
    DWORD time;
    int seq;
};
std::vector<ExitRequest> ExitRequests();

// ---- Libraries -----------------------------------------------------------
// The program's image, C:\WINNT\system32\QWUNINST.EXE after Reset, and
// what it imports are loaded: kernel32, user32, gdi32, advapi32 and
// shell32, all known DLLs. The system's DLLs lie in the system directory
// C:\WINNT\system32 (which GetSystemDirectoryA gives whatever the
// environment says, and fails to give only when a fault says so) without
// being files there: the known DLLs, netapi32
// (exporting NetUserGetInfo, NetGetDCName, NetApiBufferFree; importing
// netutils, srvcli, wkscli, samcli and logoncli, which are there too),
// comctl32 (InitCommonControls), and the DLLs that Windows' own DLLs load
// on demand (uxtheme, dwmapi, cryptbase, userenv, profapi, propsys,
// apphelp, oleacc, clbcatq, ntmarta, sspicli, secur32). Any file ending in
// ".dll" elsewhere (wsim::PutFile) is a planted DLL: it loads, exports
// nothing, and is recorded. Dialogs and message boxes load uxtheme by name
// as user32 does for the visual styles.
//
// A name without a path is searched for as Windows searches: a loaded
// module of that name, then the known DLLs in the system directory; with
// the default directories set to the system directory, there alone;
// otherwise the program's folder (or, for the imports of a DLL loaded by
// full path with LOAD_WITH_ALTERED_SEARCH_PATH, that DLL's folder), the
// folder given to SetDllDirectoryA, the system directory, the Windows
// directory, the current directory (left out once SetDllDirectoryA was
// called with a text, an empty one too; a null pointer puts it back), and
// the folders of "Path".
//
// Whether kernel32 has SetDllDirectoryA (XP SP1 and later) and
// SetDefaultDllDirectories (8 and later, Vista and 7 with its update):
// GetProcAddress finds them only then. Both after Reset.
void SetDllSearchCalls(bool setDllDirectory, bool setDefaultDllDirectories);
void SetProgramPath(const char *path);
// A system DLL that this machine lacks, as Windows 2000 lacks dwmapi or a
// broken install lacks comctl32.
void RemoveSystemLibrary(const char *fileName);
// Every module mapped since Reset, in order: the name it was asked for
// (for an import or an on-demand load, the DLL's file name), the file it
// came from, and whether that file was a planted one.
struct LibraryLoad {
    std::string name;
    std::string path;
    bool planted;
    DWORD time;
    int seq;
};
std::vector<LibraryLoad> LibraryLoads();
// The file a loaded module of that file name came from; empty when none
// is loaded.
std::string LoadedLibraryPath(const char *fileName);

// ---- Shell ---------------------------------------------------------------
// Item-id lists handed out by ParseDisplayName and not yet freed with the
// task allocator; references to the task allocator and the desktop folder
// handed out (SHGetMalloc, SHGetDesktopFolder, AddRef) and not yet
// released. Both are 0 when the program cleaned up after itself.
int OutstandingIdLists();
int OutstandingShellReferences();

}  // namespace wsim
