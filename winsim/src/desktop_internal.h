// What the files of the desktop side (windows, messages, dialogs, boxes,
// accounts, token, shell, clock) share: one state, reset as a whole.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>
#include <lm.h>

#include "internal.h"
#include "winsim_desktop.h"

namespace wsim {
namespace desk {

struct WindowClass {
    std::string name;
    ATOM atom;
    WNDPROC proc;
    HCURSOR cursor;
    bool system;
};

struct Window {
    HWND hwnd = nullptr;
    bool foreign = false;
    std::string className;
    WNDPROC proc = nullptr;
    std::string title;
    DWORD style = 0;
    DWORD exStyle = 0;
    // Top-level windows: screen pixels. Child windows: relative to the
    // parent's client area.
    RECT rect = {0, 0, 0, 0};
    HWND parent = nullptr;
    HWND owner = nullptr;
    int id = 0;
    std::vector<HWND> children;  // in creation order
    bool destroying = false;

    // Dialogs.
    bool dialog = false;
    DLGPROC dlgProc = nullptr;
    bool dialogEnded = false;
    INT_PTR dialogResult = 0;
    bool ownerDisabledByDialog = false;

    // Progress bars.
    int pbMin = 0, pbMax = 100, pbPos = 0, pbStep = 10;

    // Other programs' windows.
    int closeDelay = 0;
    bool closing = false;
    DWORD closeAt = 0;
};

struct Module {
    HMODULE handle;
    std::string path;
    bool planted;
    int references;
};

struct Token {
    DWORD access;
};

struct State {
    DWORD clock = 0;
    std::function<void(DWORD)> sleepHook;
    int seq = 0;

    std::vector<WindowClass> classes;
    ATOM nextAtom = 0xC000;
    std::map<HWND, Window> windows;
    std::vector<HWND> zOrder;  // top-level windows, topmost first
    uintptr_t nextHandle = 0x10010;

    // What other programs' windows received; kept after they close.
    std::map<HWND, std::vector<ReceivedMessage>> received;

    std::deque<MSG> queue;
    // Keys and clicks of the user, apart from the posted messages.
    std::deque<MSG> input;
    bool quitPosted = false;
    int quitCode = 0;

    std::deque<int> boxAnswers;
    std::function<void(const BoxRecord &)> boxHook;
    std::vector<BoxRecord> boxes;

    std::vector<CreatedWindow> created;
    std::vector<MessageEvent> messageLog;
    std::vector<TextChange> texts;
    std::vector<ProgressChange> progress;
    std::vector<WindowMove> moves;
    std::vector<CursorChange> cursors;
    HCURSOR cursor = nullptr;
    bool commonControlsInitialised = false;
    int screenWidth = 1024, screenHeight = 768;

    std::string userName = "Administrator";
    std::map<std::string, int> localAccounts;  // keys upper-cased
    std::string dcName;
    std::map<std::string, int> domainAccounts;
    std::vector<AccountQuery> accountQueries;
    std::map<void *, std::vector<unsigned char>> netBuffers;

    bool shutdownHeld = true;
    bool shutdownEnabled = false;
    std::map<HANDLE, Token> tokens;
    uintptr_t nextToken = 0x7E000000;
    std::vector<ExitRequest> exitRequests;

    int mallocRefs = 0;
    int desktopRefs = 0;
    std::map<void *, std::vector<unsigned char>> taskBlocks;
    std::set<void *> idLists;
    // The library loader.
    std::string programPath = "C:\\WINNT\\system32\\QWUNINST.EXE";
    std::vector<Module> modules;  // the program's image first
    uintptr_t nextModule = 0x70000000;
    std::vector<LibraryLoad> libraryLoads;
    std::vector<std::string> removedLibraries;
    bool hasSetDllDirectory = true;
    bool hasSetDefaultDllDirectories = true;
    bool dllDirectorySet = false;
    std::string dllDirectory;
    DWORD defaultDirectories = 0;
};

State &S();

HCURSOR StandardCursor(WORD id);

// Stops the test program with a message: winsim was asked for something
// that would hang or that no real user could do.
[[noreturn]] void Die(const char *format, ...) __attribute__((format(printf, 1, 2)));

int NextSeq();
DWORD Clock();
// Counts the call; if a fault applies to it, sets the last error and
// says so.
bool Faulted(const char *call);
// Counts a call that cannot fail.
void Count(const char *call);

// Windows.
Window *Find(HWND hwnd);
Window *FindOwn(HWND hwnd);
// Top-level ancestor of a window (the window itself when top-level).
HWND TopLevelOf(HWND hwnd);
RECT ScreenRect(const Window &w);
POINT ClientOrigin(const Window &w);
const WindowClass *FindClass(const std::string &name);
const WindowClass *FindClassAtom(ATOM atom);
LRESULT CallProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void RemoveExpiredForeignWindows();
void ReceiveForeign(Window &w, UINT message, WPARAM wParam, LPARAM lParam);
// CreateWindowExA once the class is known: the window, its record, and
// WM_NCCREATE and WM_CREATE delivered before it returns.
HWND CreateWindowOfClass(WindowClass cls, DWORD exStyle, const char *title, DWORD style, int x, int y, int cx,
                         int cy, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// DestroyWindow and EnableWindow without counting a call of the program.
void DestroyTree(HWND hwnd);
BOOL SetEnabled(HWND hwnd, BOOL enable);
bool IsEnabled(HWND hwnd);
// Frame and caption around a window's client area, in pixels.
RECT NonClientSize(DWORD style, DWORD exStyle);
void RegisterSystemClasses();
// The program's image and its imports, as at its start.
void LoadProgramImports();
// A system DLL loading another by name, as user32 loads the visual styles.
void LoadOnDemand(const char *fileName);

// Messages.
void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT Dispatch(const MSG &msg);
// Takes the next message for any of the thread's windows; false when the
// queue is empty. The quit message comes out only when nothing else is
// waiting.
bool TakeMessage(MSG *msg);

// Window procedures of the classes the system provides.
LRESULT CALLBACK DialogClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ButtonClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ProgressClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace desk
}  // namespace wsim
