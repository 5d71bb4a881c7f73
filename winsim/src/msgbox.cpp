// Message boxes, answered by the user of the test script.
#include "desktop_internal.h"

namespace wsim {
namespace desk {

namespace {

const UINT kCancelTryContinue = 6;
const int kTryAgain = 10;
const int kContinue = 11;

// The buttons of each kind of box (MB_OK to the cancel, try again and
// continue box), in their order; 0 where a kind has fewer.
const int kButtons[][3] = {
    {IDOK, 0, 0},    {IDOK, IDCANCEL, 0},    {IDABORT, IDRETRY, IDIGNORE},       {IDYES, IDNO, IDCANCEL},
    {IDYES, IDNO, 0}, {IDRETRY, IDCANCEL, 0}, {IDCANCEL, kTryAgain, kContinue},
};

bool IsButtonOf(UINT type, int answer)
{
    UINT kind = type & MB_TYPEMASK;
    if (kind > kCancelTryContinue || answer == 0)
        return false;
    for (int button : kButtons[kind])
        if (button == answer)
            return true;
    return false;
}

// The box's default button; one past its last button is its first, as
// Windows takes it.
int DefaultButton(UINT type)
{
    UINT kind = type & MB_TYPEMASK;
    UINT index = (type & MB_DEFMASK) >> 8;
    if (kind > kCancelTryContinue)
        Die("a message box of an unknown kind (style 0x%x)", type);
    if (index > 2 || kButtons[kind][index] == 0)
        index = 0;
    return kButtons[kind][index];
}

// The box takes the user's waiting input before anything the user does
// once it is up: an Enter presses its default button; any other key is
// taken and does nothing. False when no Enter was waiting.
bool TakeTypedAnswer(UINT type, int *answer)
{
    bool pressed = false;
    while (!pressed && !S().input.empty()) {
        MSG msg = S().input.front();
        S().input.pop_front();
        pressed = msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN;
    }
    if (pressed)
        *answer = DefaultButton(type);
    return pressed;
}

// While the box is up its loop handles whatever is posted to the
// thread's windows, before any user could click; a quit message stays for
// the loop outside.
void RunBoxLoop()
{
    while (!S().queue.empty()) {
        MSG msg = S().queue.front();
        S().queue.pop_front();
        msg.time = Clock();
        Dispatch(msg);
    }
}

}  // namespace
}  // namespace desk

using namespace desk;

void QueueBoxAnswer(int answer)
{
    S().boxAnswers.push_back(answer);
}

int QueuedBoxAnswers()
{
    return static_cast<int>(S().boxAnswers.size());
}

std::vector<BoxRecord> Boxes()
{
    return S().boxes;
}

void OnBox(std::function<void(const BoxRecord &box)> hook)
{
    S().boxHook = std::move(hook);
}

}  // namespace wsim

using namespace wsim;
using namespace wsim::desk;

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    if (Faulted("MessageBoxA"))
        return 0;
    if (owner != nullptr && Find(owner) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    // user32 draws the box with the visual styles, which it loads by name.
    LoadOnDemand("uxtheme.dll");
    BoxRecord box;
    box.text = text ? text : "";
    box.caption = caption ? caption : "Error";
    box.style = type;
    box.owner = owner;
    if (TakeTypedAnswer(type, &box.answer)) {
        box.typedAhead = true;
    } else {
        if (S().boxAnswers.empty())
            Die("MessageBoxA with no answer queued: caption \"%s\", text \"%s\", style 0x%x", box.caption.c_str(),
                box.text.c_str(), type);
        box.answer = S().boxAnswers.front();
        S().boxAnswers.pop_front();
    }
    if (!IsButtonOf(type, box.answer))
        Die("answer %d is not a button of the box \"%s\" (style 0x%x)", box.answer, box.text.c_str(), type);

    HWND top = owner != nullptr ? TopLevelOf(owner) : nullptr;
    bool disabled = false;
    if (top != nullptr && IsEnabled(top)) {
        SetEnabled(top, FALSE);
        disabled = true;
    }
    box.ownerEnabled = top == nullptr || IsEnabled(top);
    box.time = Clock();
    box.seq = NextSeq();
    S().boxes.push_back(box);

    RunBoxLoop();
    if (S().boxHook) {
        std::function<void(const BoxRecord &)> hook = S().boxHook;
        hook(box);
    }
    if (disabled && Find(top) != nullptr)
        SetEnabled(top, TRUE);
    return box.answer;
}
