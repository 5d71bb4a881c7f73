// The thread's message queue: posting, sending, fetching and dispatching.
#include "desktop_internal.h"

namespace wsim {
namespace desk {

namespace {

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
const UINT kKeyUp = 0x0101;
const UINT kSysKeyUp = 0x0105;

void Record(MessageEventKind kind, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    S().messageLog.push_back({kind, hwnd, message, wParam, lParam, Clock(), NextSeq()});
}

bool IsWithin(HWND hwnd, HWND ancestor)
{
    while (hwnd != nullptr) {
        if (hwnd == ancestor)
            return true;
        Window *w = Find(hwnd);
        if (w == nullptr || !(w->style & WS_CHILD))
            return false;
        hwnd = w->parent;
    }
    return false;
}

bool Matches(const MSG &msg, HWND filter, UINT first, UINT last)
{
    if (filter == kThreadMessagesOnly) {
        if (msg.hwnd != nullptr)
            return false;
    } else if (filter != nullptr && !IsWithin(msg.hwnd, filter)) {
        return false;
    }
    if (first == 0 && last == 0)
        return true;
    return msg.message >= first && msg.message <= last;
}

bool TakeFrom(std::deque<MSG> &queue, MSG *msg, HWND filter, UINT first, UINT last, bool remove)
{
    for (size_t i = 0; i < queue.size(); i++) {
        if (!Matches(queue[i], filter, first, last))
            continue;
        *msg = queue[i];
        if (remove)
            queue.erase(queue.begin() + i);
        msg->time = Clock();
        return true;
    }
    return false;
}

// Posted messages first, in order, then the user's input, as Windows
// hands them out; the quit message only once none of them is left, and
// only for a fetch without a window filter.
bool TakeMatching(MSG *msg, HWND filter, UINT first, UINT last, bool remove)
{
    if (TakeFrom(S().queue, msg, filter, first, last, remove) ||
        TakeFrom(S().input, msg, filter, first, last, remove))
        return true;
    bool quitInRange = (first == 0 && last == 0) || (first <= WM_QUIT && WM_QUIT <= last);
    if (!S().quitPosted || filter != nullptr || !quitInRange)
        return false;
    msg->hwnd = nullptr;
    msg->message = WM_QUIT;
    msg->wParam = static_cast<WPARAM>(S().quitCode);
    msg->lParam = 0;
    msg->time = Clock();
    msg->pt.x = 0;
    msg->pt.y = 0;
    if (remove)
        S().quitPosted = false;
    return true;
}

bool ValidFilter(HWND hwnd)
{
    return hwnd == nullptr || hwnd == kThreadMessagesOnly || FindOwn(hwnd) != nullptr;
}

}  // namespace

void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg;
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = Clock();
    msg.pt.x = 0;
    msg.pt.y = 0;
    S().queue.push_back(msg);
    Record(MessageEventKind::Posted, hwnd, message, wParam, lParam);
}

LRESULT Dispatch(const MSG &msg)
{
    if (msg.hwnd == nullptr)
        return 0;
    if (FindOwn(msg.hwnd) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    Record(MessageEventKind::Dispatched, msg.hwnd, msg.message, msg.wParam, msg.lParam);
    return CallProc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

bool TakeMessage(MSG *msg)
{
    return TakeMatching(msg, nullptr, 0, 0, true);
}

}  // namespace desk

// Keyboard input goes to the window with the focus when it is taken, so
// it is queued for none here.
void TypeKey(WPARAM key)
{
    MSG msg = {};
    msg.message = WM_KEYDOWN;
    msg.wParam = key;
    desk::S().input.push_back(msg);
    msg.message = WM_KEYUP;
    desk::S().input.push_back(msg);
}

int WaitingInput()
{
    return static_cast<int>(desk::S().input.size());
}
}  // namespace wsim

using namespace wsim;
using namespace wsim::desk;

// One thread and no timers: when the queue is empty nothing can ever post
// to it, and the real call would wait forever.
BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last)
{
    Count("GetMessageA");
    if (!ValidFilter(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    if (msg == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return -1;
    }
    if (!TakeMatching(msg, hwnd, first, last, true))
        Die("GetMessageA would wait forever: no message is queued for the thread and nothing else can post one");
    if (msg->message == WM_QUIT) {
        Record(MessageEventKind::QuitTaken, nullptr, WM_QUIT, msg->wParam, 0);
        return FALSE;
    }
    return TRUE;
}

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT remove)
{
    Count("PeekMessageA");
    if (!ValidFilter(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (msg == nullptr)
        return FALSE;
    return TakeMatching(msg, hwnd, first, last, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

// Key presses of letters and digits become characters (lower-case: no
// key is ever held with them). Any key message counts as translated.
BOOL TranslateMessage(const MSG *msg)
{
    Count("TranslateMessage");
    if (msg == nullptr)
        return FALSE;
    UINT m = msg->message;
    if (m != WM_KEYDOWN && m != WM_SYSKEYDOWN && m != kKeyUp && m != kSysKeyUp)
        return FALSE;
    if (m == WM_KEYDOWN || m == WM_SYSKEYDOWN) {
        WPARAM key = msg->wParam;
        WPARAM ch = 0;
        if (key >= '0' && key <= '9')
            ch = key;
        else if (key >= 'A' && key <= 'Z')
            ch = key - 'A' + 'a';
        if (ch != 0)
            Post(msg->hwnd, m == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, ch, msg->lParam);
    }
    return TRUE;
}

LRESULT DispatchMessageA(const MSG *msg)
{
    Count("DispatchMessageA");
    if (msg == nullptr)
        return 0;
    return Dispatch(*msg);
}

// A null window posts to the thread itself. Another program's window gets
// the message in that program.
BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (Faulted("PostMessageA"))
        return FALSE;
    if (hwnd == nullptr) {
        Post(nullptr, message, wParam, lParam);
        return TRUE;
    }
    Window *w = Find(hwnd);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->foreign) {
        ReceiveForeign(*w, message, wParam, lParam);
        return TRUE;
    }
    Post(hwnd, message, wParam, lParam);
    return TRUE;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Count("SendMessageA");
    Window *w = Find(hwnd);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!w->foreign)
        Record(MessageEventKind::Sent, hwnd, message, wParam, lParam);
    return CallProc(hwnd, message, wParam, lParam);
}

void PostQuitMessage(int exitCode)
{
    Count("PostQuitMessage");
    S().quitPosted = true;
    S().quitCode = exitCode;
    Record(MessageEventKind::Quit, nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}
