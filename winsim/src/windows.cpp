// Window classes and windows: the program's own, the system's controls,
// and the top-level windows of other programs.
#include "desktop_internal.h"

namespace wsim {
namespace desk {

namespace {

// Metrics of the Windows 2000 standard look.
const int kCaptionHeight = 19;
const int kSizeFrame = 4;
const int kFixedFrame = 3;

HWND NewHandle()
{
    HWND hwnd = reinterpret_cast<HWND>(S().nextHandle);
    S().nextHandle += 2;
    return hwnd;
}

void RecordCreated(HWND hwnd, const Window &w, const char *title)
{
    CreatedWindow record;
    record.hwnd = hwnd;
    record.className = w.className;
    record.title = title ? title : "";
    record.style = w.style;
    record.exStyle = w.exStyle;
    record.rect = ScreenRect(w);
    record.parent = w.parent;
    record.owner = w.owner;
    record.id = w.id;
    record.time = Clock();
    record.seq = NextSeq();
    S().created.push_back(record);
}

void ForgetCreated(HWND hwnd)
{
    std::vector<CreatedWindow> &created = S().created;
    for (size_t i = 0; i < created.size(); i++) {
        if (created[i].hwnd == hwnd) {
            created.erase(created.begin() + i);
            return;
        }
    }
}

void RemoveFromList(std::vector<HWND> &list, HWND hwnd)
{
    for (size_t i = 0; i < list.size(); i++) {
        if (list[i] == hwnd) {
            list.erase(list.begin() + i);
            return;
        }
    }
}

void Erase(HWND hwnd)
{
    Window *w = Find(hwnd);
    if (w == nullptr)
        return;
    if (w->parent != nullptr) {
        Window *parent = Find(w->parent);
        if (parent != nullptr)
            RemoveFromList(parent->children, hwnd);
    }
    RemoveFromList(S().zOrder, hwnd);
    S().windows.erase(hwnd);
}

// A window whose creation failed gets no WM_DESTROY, only WM_NCDESTROY,
// as do the children it may have created meanwhile.
void DiscardWindow(HWND hwnd)
{
    Window *w = Find(hwnd);
    if (w == nullptr || w->destroying)
        return;
    w->destroying = true;
    std::vector<HWND> children = w->children;
    for (HWND child : children)
        DiscardWindow(child);
    CallProc(hwnd, WM_NCDESTROY, 0, 0);
    Erase(hwnd);
}

bool ClassMatches(const Window &w, LPCSTR className)
{
    if (IS_INTRESOURCE(className)) {
        const WindowClass *cls = FindClassAtom(LOWORD(reinterpret_cast<ULONG_PTR>(className)));
        return cls != nullptr && detail::SameName(w.className, cls->name);
    }
    return detail::SameName(w.className, className);
}

int CopyText(const std::string &text, LPSTR buffer, int size)
{
    if (buffer == nullptr || size <= 0)
        return 0;
    int count = static_cast<int>(text.size());
    if (count > size - 1)
        count = size - 1;
    memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return count;
}

void SetProgressPos(HWND hwnd, Window &w, int pos)
{
    if (pos < w.pbMin)
        pos = w.pbMin;
    if (pos > w.pbMax)
        pos = w.pbMax;
    if (pos == w.pbPos)
        return;
    w.pbPos = pos;
    S().progress.push_back({hwnd, pos, Clock(), NextSeq()});
}

LRESULT SetProgressRange(HWND hwnd, Window &w, int low, int high)
{
    LRESULT previous = MAKELONG(LOWORD(w.pbMin), LOWORD(w.pbMax));
    if (w.pbMin == low && w.pbMax == high)
        return previous;
    w.pbMin = low;
    w.pbMax = high;
    SetProgressPos(hwnd, w, w.pbPos);
    return previous;
}

// A step past the top wraps around into the range rather than stopping
// at the end, as the common control does.
LRESULT StepProgress(HWND hwnd, Window &w)
{
    int old = w.pbPos;
    if (w.pbMin == w.pbMax)
        return old;
    int pos = old + w.pbStep;
    int span = w.pbMax - w.pbMin;
    if (pos > w.pbMax)
        pos = (pos - w.pbMin) % span + w.pbMin;
    if (pos < w.pbMin)
        pos = (pos - w.pbMin) % span + w.pbMax;
    if (pos != old) {
        w.pbPos = pos;
        S().progress.push_back({hwnd, pos, Clock(), NextSeq()});
    }
    return old;
}

}  // namespace

// Windows' order: the windows it owns go first; then WM_DESTROY to the
// window before its children, and WM_NCDESTROY to the children before it.
void DestroyTree(HWND hwnd)
{
    Window *w = Find(hwnd);
    if (w == nullptr || w->destroying)
        return;
    w->destroying = true;
    std::vector<HWND> owned;
    for (const auto &entry : S().windows) {
        if (entry.second.owner == hwnd && !entry.second.foreign)
            owned.push_back(entry.first);
    }
    for (HWND o : owned)
        DestroyTree(o);
    CallProc(hwnd, WM_DESTROY, 0, 0);
    w = Find(hwnd);
    if (w == nullptr)
        return;
    std::vector<HWND> children = w->children;
    for (HWND child : children)
        DestroyTree(child);
    CallProc(hwnd, WM_NCDESTROY, 0, 0);
    Erase(hwnd);
}

BOOL SetEnabled(HWND hwnd, BOOL enable)
{
    Window *w = Find(hwnd);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    bool wasDisabled = (w->style & WS_DISABLED) != 0;
    if (enable)
        w->style &= ~WS_DISABLED;
    else
        w->style |= WS_DISABLED;
    if (wasDisabled != !enable && !w->foreign)
        CallProc(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

bool IsEnabled(HWND hwnd)
{
    Window *w = Find(hwnd);
    return w != nullptr && !(w->style & WS_DISABLED);
}

Window *Find(HWND hwnd)
{
    auto it = S().windows.find(hwnd);
    return it == S().windows.end() ? nullptr : &it->second;
}

Window *FindOwn(HWND hwnd)
{
    Window *w = Find(hwnd);
    return (w != nullptr && !w->foreign) ? w : nullptr;
}

HWND TopLevelOf(HWND hwnd)
{
    Window *w = Find(hwnd);
    while (w != nullptr && (w->style & WS_CHILD) && w->parent != nullptr) {
        hwnd = w->parent;
        w = Find(hwnd);
    }
    return hwnd;
}

RECT NonClientSize(DWORD style, DWORD exStyle)
{
    int frame = 0;
    if (style & WS_THICKFRAME)
        frame = kSizeFrame;
    else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        frame = kFixedFrame;
    else if (style & WS_BORDER)
        frame = 1;
    int caption = ((style & WS_CAPTION) == WS_CAPTION) ? kCaptionHeight : 0;
    RECT size = {frame, frame + caption, frame, frame};
    return size;
}

POINT ClientOrigin(const Window &w)
{
    RECT screen = ScreenRect(w);
    RECT frame = NonClientSize(w.style, w.exStyle);
    POINT origin = {screen.left + frame.left, screen.top + frame.top};
    return origin;
}

RECT ScreenRect(const Window &w)
{
    RECT rect = w.rect;
    if ((w.style & WS_CHILD) && w.parent != nullptr) {
        Window *parent = Find(w.parent);
        if (parent != nullptr) {
            POINT origin = ClientOrigin(*parent);
            rect.left += origin.x;
            rect.right += origin.x;
            rect.top += origin.y;
            rect.bottom += origin.y;
        }
    }
    return rect;
}

// A class the program registered hides a system class of the same name.
const WindowClass *FindClass(const std::string &name)
{
    const WindowClass *found = nullptr;
    for (const WindowClass &cls : S().classes) {
        if (detail::SameName(cls.name, name) && (found == nullptr || found->system))
            found = &cls;
    }
    return found;
}

const WindowClass *FindClassAtom(ATOM atom)
{
    for (const WindowClass &cls : S().classes) {
        if (cls.atom == atom)
            return &cls;
    }
    return nullptr;
}

void RegisterSystemClasses()
{
    State &s = S();
    const ATOM kDialogAtom = 0x8002;
    HCURSOR arrow = StandardCursor(32512);
    s.classes.push_back({"#32770", kDialogAtom, DialogClassProc, arrow, true});
    s.classes.push_back({"Button", s.nextAtom++, ButtonClassProc, arrow, true});
    s.classes.push_back({"Static", s.nextAtom++, StaticClassProc, arrow, true});
}

LRESULT CallProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *w = Find(hwnd);
    if (w == nullptr)
        return 0;
    if (w->foreign) {
        ReceiveForeign(*w, message, wParam, lParam);
        return 0;
    }
    WNDPROC proc = w->proc;
    return proc(hwnd, message, wParam, lParam);
}

void RemoveExpiredForeignWindows()
{
    std::vector<HWND> expired;
    for (const auto &entry : S().windows) {
        const Window &w = entry.second;
        if (w.foreign && w.closing && w.closeAt <= Clock())
            expired.push_back(entry.first);
    }
    for (HWND hwnd : expired)
        Erase(hwnd);
}

// The other program handles the message in its own process; what matters
// here is that it arrived and, for WM_CLOSE, that the window starts to
// close. The window may be gone when this returns.
void ReceiveForeign(Window &w, UINT message, WPARAM wParam, LPARAM lParam)
{
    S().received[w.hwnd].push_back({message, wParam, lParam, Clock(), NextSeq()});
    if (message == WM_CLOSE && w.closeDelay != kIgnoresClose && !w.closing) {
        w.closing = true;
        w.closeAt = Clock() + static_cast<DWORD>(w.closeDelay);
        RemoveExpiredForeignWindows();
    }
}

HWND CreateWindowOfClass(WindowClass cls, DWORD exStyle, const char *title, DWORD style, int x, int y, int cx,
                         int cy, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    bool child = (style & WS_CHILD) != 0;
    HWND owner = nullptr;
    if (child) {
        if (parent == nullptr) {
            SetLastError(ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        if (FindOwn(parent) == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
    } else if (parent != nullptr) {
        if (Find(parent) == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        owner = TopLevelOf(parent);
        parent = nullptr;
    }

    // Overlapped windows get the system's default place and size; the
    // others start empty at the origin.
    bool overlapped = !child && !(style & WS_POPUP);
    if (x == CW_USEDEFAULT) {
        x = 0;
        y = 0;
    }
    if (cx == CW_USEDEFAULT) {
        cx = overlapped ? S().screenWidth * 3 / 4 : 0;
        cy = overlapped ? S().screenHeight * 3 / 4 : 0;
    }

    HWND hwnd = NewHandle();
    Window w;
    w.hwnd = hwnd;
    w.className = cls.name;
    w.proc = cls.proc;
    w.style = style;
    w.exStyle = exStyle;
    w.rect = {x, y, x + (cx > 0 ? cx : 0), y + (cy > 0 ? cy : 0)};
    w.parent = child ? parent : nullptr;
    w.owner = owner;
    w.id = child ? static_cast<int>(reinterpret_cast<intptr_t>(menu)) : 0;
    S().windows[hwnd] = w;
    if (child)
        Find(parent)->children.push_back(hwnd);
    else
        S().zOrder.insert(S().zOrder.begin(), hwnd);
    RecordCreated(hwnd, w, title);

    CREATESTRUCTA cs;
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = child ? parent : owner;
    cs.cy = cy;
    cs.cx = cx;
    cs.y = y;
    cs.x = x;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = title;
    cs.lpszClass = cls.name.c_str();
    cs.dwExStyle = exStyle;
    if (!CallProc(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        CallProc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DiscardWindow(hwnd);
        ForgetCreated(hwnd);
        return nullptr;
    }
    if (Find(hwnd) == nullptr)
        return nullptr;
    if (style & WS_VISIBLE)
        CallProc(hwnd, WM_SHOWWINDOW, TRUE, 0);
    return hwnd;
}

LRESULT CALLBACK StaticClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK ButtonClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK ProgressClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *w = FindOwn(hwnd);
    if (w == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case PBM_SETRANGE:
        return SetProgressRange(hwnd, *w, LOWORD(lParam), HIWORD(lParam));
    case PBM_SETRANGE32:
        return SetProgressRange(hwnd, *w, static_cast<int>(wParam), static_cast<int>(lParam));
    case PBM_GETRANGE:
        if (lParam != 0) {
            PBRANGE *range = reinterpret_cast<PBRANGE *>(lParam);
            range->iLow = w->pbMin;
            range->iHigh = w->pbMax;
        }
        return wParam ? w->pbMin : w->pbMax;
    case PBM_SETPOS: {
        int old = w->pbPos;
        SetProgressPos(hwnd, *w, static_cast<int>(wParam));
        return old;
    }
    case PBM_DELTAPOS: {
        int old = w->pbPos;
        if (wParam != 0)
            SetProgressPos(hwnd, *w, old + static_cast<int>(wParam));
        return old;
    }
    case PBM_SETSTEP: {
        int old = w->pbStep;
        w->pbStep = static_cast<int>(wParam);
        return old;
    }
    case PBM_STEPIT:
        return StepProgress(hwnd, *w);
    case PBM_GETPOS:
        return w->pbPos;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

}  // namespace desk

using namespace desk;

HWND AddForeignWindow(const char *className, const char *title, int closeDelayMs)
{
    HWND hwnd = NewHandle();
    Window w;
    w.hwnd = hwnd;
    w.foreign = true;
    w.className = className ? className : "";
    w.title = title ? title : "";
    bool dialog = w.className == "#32770";
    w.style = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | (dialog ? (WS_POPUP | DS_MODALFRAME) : 0);
    w.rect = {100, 100, 500, 400};
    w.closeDelay = closeDelayMs;
    S().windows[hwnd] = w;
    S().zOrder.insert(S().zOrder.begin(), hwnd);
    return hwnd;
}

bool ForeignWindowExists(HWND hwnd)
{
    Window *w = Find(hwnd);
    return w != nullptr && w->foreign;
}

std::vector<ReceivedMessage> MessagesReceived(HWND hwnd)
{
    auto it = S().received.find(hwnd);
    return it == S().received.end() ? std::vector<ReceivedMessage>() : it->second;
}

}  // namespace wsim

using namespace wsim::desk;

ATOM RegisterClassA(const WNDCLASSA *wc)
{
    if (Faulted("RegisterClassA"))
        return 0;
    if (wc == nullptr || wc->lpszClassName == nullptr || IS_INTRESOURCE(wc->lpszClassName) ||
        wc->lpfnWndProc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const WindowClass *existing = FindClass(wc->lpszClassName);
    if (existing != nullptr && !existing->system) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    ATOM atom = S().nextAtom++;
    S().classes.push_back({wc->lpszClassName, atom, wc->lpfnWndProc, wc->hCursor, false});
    return atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE)
{
    Count("UnregisterClassA");
    const WindowClass *cls = IS_INTRESOURCE(className)
                                 ? FindClassAtom(LOWORD(reinterpret_cast<ULONG_PTR>(className)))
                                 : FindClass(className);
    if (cls == nullptr || cls->system) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    for (const auto &entry : S().windows) {
        if (!entry.second.foreign && wsim::detail::SameName(entry.second.className, cls->name)) {
            SetLastError(ERROR_CLASS_HAS_WINDOWS);
            return FALSE;
        }
    }
    std::vector<WindowClass> &classes = S().classes;
    classes.erase(classes.begin() + (cls - classes.data()));
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    if (Faulted("CreateWindowExA"))
        return nullptr;
    const WindowClass *cls = nullptr;
    if (IS_INTRESOURCE(className))
        cls = FindClassAtom(LOWORD(reinterpret_cast<ULONG_PTR>(className)));
    else if (className != nullptr)
        cls = FindClass(className);
    if (cls == nullptr) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    return CreateWindowOfClass(*cls, exStyle, windowName, style, x, y, width, height, parent, menu, instance,
                               param);
}

BOOL DestroyWindow(HWND hwnd)
{
    Count("DestroyWindow");
    Window *w = Find(hwnd);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->foreign) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DestroyTree(hwnd);
    return TRUE;
}

BOOL IsWindow(HWND hwnd)
{
    Count("IsWindow");
    return Find(hwnd) != nullptr;
}

BOOL IsWindowEnabled(HWND hwnd)
{
    Count("IsWindowEnabled");
    Window *w = Find(hwnd);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return (w->style & WS_DISABLED) ? FALSE : TRUE;
}

BOOL IsWindowVisible(HWND hwnd)
{
    Count("IsWindowVisible");
    Window *w = Find(hwnd);
    while (w != nullptr) {
        if (!(w->style & WS_VISIBLE))
            return FALSE;
        if (!(w->style & WS_CHILD) || w->parent == nullptr)
            return TRUE;
        w = Find(w->parent);
    }
    return FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    Count("EnableWindow");
    return SetEnabled(hwnd, enable);
}

HWND GetParent(HWND hwnd)
{
    Count("GetParent");
    Window *w = Find(hwnd);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (w->style & WS_CHILD)
        return w->parent;
    if (w->style & WS_POPUP)
        return w->owner;
    return nullptr;
}

// Top-level windows only, topmost first, of every program; class and title
// compare without regard to case, and a null one matches any.
HWND FindWindowA(LPCSTR className, LPCSTR windowName)
{
    Count("FindWindowA");
    RemoveExpiredForeignWindows();
    for (HWND hwnd : S().zOrder) {
        const Window &w = *Find(hwnd);
        if (className != nullptr && !ClassMatches(w, className))
            continue;
        if (windowName != nullptr && !wsim::detail::SameName(w.title, windowName))
            continue;
        return hwnd;
    }
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
}

int GetWindowTextA(HWND hwnd, LPSTR text, int size)
{
    Count("GetWindowTextA");
    Window *w = Find(hwnd);
    if (w == nullptr) {
        if (text != nullptr && size > 0)
            text[0] = '\0';
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (text == nullptr || size <= 0)
        return 0;
    if (w->foreign)
        return CopyText(w->title, text, size);
    return static_cast<int>(CallProc(hwnd, WM_GETTEXT, size, reinterpret_cast<LPARAM>(text)));
}

BOOL SetWindowTextA(HWND hwnd, LPCSTR text)
{
    Count("SetWindowTextA");
    Window *w = Find(hwnd);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->foreign) {
        w->title = text ? text : "";
        return TRUE;
    }
    return CallProc(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetClassNameA(HWND hwnd, LPSTR name, int size)
{
    Count("GetClassNameA");
    Window *w = Find(hwnd);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return CopyText(w->className, name, size);
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Count("DefWindowProcA");
    Window *w = FindOwn(hwnd);
    if (w == nullptr)
        return 0;
    switch (message) {
    case WM_NCCREATE: {
        const CREATESTRUCTA *cs = reinterpret_cast<const CREATESTRUCTA *>(lParam);
        if (cs != nullptr && cs->lpszName != nullptr && !IS_INTRESOURCE(cs->lpszName))
            w->title = cs->lpszName;
        return TRUE;
    }
    case WM_SETTEXT: {
        w->title = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
        int id = (w->style & WS_CHILD) ? w->id : 0;
        S().texts.push_back({hwnd, id, w->title, Clock(), NextSeq()});
        return TRUE;
    }
    case WM_GETTEXT:
        return CopyText(w->title, reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->title.size());
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            CallProc(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    default:
        return 0;
    }
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect)
{
    Count("GetWindowRect");
    Window *w = Find(hwnd);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (rect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *rect = ScreenRect(*w);
    return TRUE;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    Count("SetWindowPos");
    Window *w = Find(hwnd);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT &r = w->rect;
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    if (!(flags & SWP_NOMOVE)) {
        r.left = x;
        r.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        width = cx > 0 ? cx : 0;
        height = cy > 0 ? cy : 0;
    }
    r.right = r.left + width;
    r.bottom = r.top + height;
    if (!(flags & SWP_NOZORDER) && !(w->style & WS_CHILD)) {
        std::vector<HWND> &z = S().zOrder;
        RemoveFromList(z, hwnd);
        if (insertAfter == HWND_BOTTOM) {
            z.push_back(hwnd);
        } else {
            size_t at = 0;
            for (size_t i = 0; i < z.size(); i++) {
                if (z[i] == insertAfter)
                    at = i + 1;
            }
            z.insert(z.begin() + at, hwnd);
        }
    }
    S().moves.push_back({hwnd, insertAfter, x, y, cx, cy, flags, Clock(), NextSeq()});
    return TRUE;
}
