// Modal dialogs built from the templates in the program's resources, and
// the dialog manager's calls on their controls.
#include <stdlib.h>

#include "desktop_internal.h"

namespace wsim {
namespace desk {

namespace {

const WORD kRtDialog = 5;
// Pixels per dialog unit: base units of 8 x 16 pixels make one horizontal
// unit (a quarter of the base width) and one vertical unit (an eighth of
// the base height) two pixels each.
const int kPixelsPerUnitX = 2;
const int kPixelsPerUnitY = 2;

struct DialogItem {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::string className;
    std::string title;
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string className;
    std::string title;
    std::vector<DialogItem> items;
};

// Reads the little-endian template as the resource compiler wrote it;
// every read is bounded by the resource's size.
class TemplateReader {
public:
    TemplateReader(const BYTE *data, DWORD size) : data_(data), size_(size), pos_(0), ok_(true) {}

    bool Ok() const { return ok_; }

    WORD Word()
    {
        if (!Need(2))
            return 0;
        WORD value = static_cast<WORD>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return value;
    }

    DWORD Dword()
    {
        DWORD low = Word();
        DWORD high = Word();
        return low | (high << 16);
    }

    short Short() { return static_cast<short>(Word()); }

    BYTE Byte()
    {
        if (!Need(1))
            return 0;
        return data_[pos_++];
    }

    void AlignDword() { pos_ = (pos_ + 3) & ~static_cast<DWORD>(3); }

    void Skip(DWORD count)
    {
        if (Need(count))
            pos_ += count;
    }

    std::u16string WideString()
    {
        std::u16string text;
        for (;;) {
            WORD c = Word();
            if (!ok_ || c == 0)
                return text;
            text.push_back(static_cast<char16_t>(c));
        }
    }

    // A name or an ordinal: 0 for none, 0xFFFF and a number, or a string.
    void NameOrOrdinal(std::string *text, WORD *ordinal)
    {
        text->clear();
        *ordinal = 0;
        if (!Need(2))
            return;
        WORD first = static_cast<WORD>(data_[pos_] | (data_[pos_ + 1] << 8));
        if (first == 0) {
            pos_ += 2;
        } else if (first == 0xFFFF) {
            pos_ += 2;
            *ordinal = Word();
        } else {
            *text = detail::WideToAnsi(WideString());
        }
    }

private:
    bool Need(DWORD count)
    {
        if (!ok_ || pos_ > size_ || size_ - pos_ < count)
            ok_ = false;
        return ok_;
    }

    const BYTE *data_;
    DWORD size_;
    DWORD pos_;
    bool ok_;
};

const char *PredefinedClass(WORD ordinal)
{
    switch (ordinal) {
    case 0x0080:
        return "Button";
    case 0x0081:
        return "Edit";
    case 0x0082:
        return "Static";
    case 0x0083:
        return "ListBox";
    case 0x0084:
        return "ScrollBar";
    case 0x0085:
        return "ComboBox";
    default:
        return nullptr;
    }
}

bool ReadItem(TemplateReader &r, bool extended, DialogItem *item)
{
    r.AlignDword();
    if (extended) {
        r.Dword();  // help id
        item->exStyle = r.Dword();
        item->style = r.Dword();
    } else {
        item->style = r.Dword();
        item->exStyle = r.Dword();
    }
    item->x = r.Short();
    item->y = r.Short();
    item->cx = r.Short();
    item->cy = r.Short();
    item->id = extended ? static_cast<int>(r.Dword()) : static_cast<int>(r.Word());
    WORD ordinal = 0;
    r.NameOrOrdinal(&item->className, &ordinal);
    if (ordinal != 0) {
        const char *name = PredefinedClass(ordinal);
        if (name == nullptr)
            return false;
        item->className = name;
    }
    // A numeric title names an image resource of a picture control; the
    // control's text stays empty.
    r.NameOrOrdinal(&item->title, &ordinal);
    WORD extra = r.Word();
    r.Skip(extra);
    return r.Ok();
}

// Both layouts that the resource compiler emits: DIALOG statements as
// DLGTEMPLATE, DIALOGEX statements as DLGTEMPLATEEX.
bool ParseTemplate(const BYTE *data, DWORD size, DialogTemplate *t)
{
    TemplateReader r(data, size);
    WORD version = r.Word();
    WORD signature = r.Word();
    bool extended = version == 1 && signature == 0xFFFF;
    TemplateReader reader(data, size);
    if (extended) {
        reader.Dword();  // version and signature
        reader.Dword();  // help id
        t->exStyle = reader.Dword();
        t->style = reader.Dword();
    } else {
        t->style = reader.Dword();
        t->exStyle = reader.Dword();
    }
    WORD count = reader.Word();
    t->x = reader.Short();
    t->y = reader.Short();
    t->cx = reader.Short();
    t->cy = reader.Short();
    std::string menu;
    WORD ordinal = 0;
    reader.NameOrOrdinal(&menu, &ordinal);
    reader.NameOrOrdinal(&t->className, &ordinal);
    if (ordinal != 0)
        return false;
    t->title = detail::WideToAnsi(reader.WideString());
    if (t->style & DS_SETFONT) {
        reader.Word();  // point size
        if (extended) {
            reader.Word();  // weight
            reader.Byte();  // italic
            reader.Byte();  // character set
        }
        reader.WideString();
    }
    for (WORD i = 0; i < count; i++) {
        DialogItem item;
        if (!ReadItem(reader, extended, &item))
            return false;
        t->items.push_back(item);
    }
    return reader.Ok();
}

HWND FirstTabStop(const Window &dlg)
{
    for (HWND child : dlg.children) {
        const Window *w = Find(child);
        if (w != nullptr && (w->style & WS_TABSTOP) && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED))
            return child;
    }
    return nullptr;
}

HWND CreateControls(HWND dlg, const DialogTemplate &t, HINSTANCE instance)
{
    for (const DialogItem &item : t.items) {
        const WindowClass *cls = FindClass(item.className);
        if (cls == nullptr) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        HWND control = CreateWindowOfClass(
            *cls, item.exStyle, item.title.c_str(), item.style | WS_CHILD, item.x * kPixelsPerUnitX,
            item.y * kPixelsPerUnitY, item.cx * kPixelsPerUnitX, item.cy * kPixelsPerUnitY, dlg,
            reinterpret_cast<HMENU>(static_cast<intptr_t>(item.id)), instance, nullptr);
        if (control == nullptr)
            return nullptr;
    }
    return dlg;
}

// The dialog window is created hidden, gets its controls and
// WM_INITDIALOG, and is shown afterwards when its template asks for it.
HWND CreateDialogWindow(const DialogTemplate &t, HINSTANCE instance, HWND owner, DLGPROC proc, LPARAM param)
{
    const WindowClass *cls = FindClass(t.className.empty() ? "#32770" : t.className);
    if (cls == nullptr) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    DWORD exStyle = t.exStyle;
    if (t.style & DS_MODALFRAME)
        exStyle |= WS_EX_DLGMODALFRAME;
    DWORD style = t.style & ~static_cast<DWORD>(WS_VISIBLE);
    RECT frame = NonClientSize(style, exStyle);
    int width = t.cx * kPixelsPerUnitX + frame.left + frame.right;
    int height = t.cy * kPixelsPerUnitY + frame.top + frame.bottom;
    HWND dlg = CreateWindowOfClass(*cls, exStyle, t.title.c_str(), style, t.x * kPixelsPerUnitX,
                                   t.y * kPixelsPerUnitY, width, height, owner, nullptr, instance, nullptr);
    if (dlg == nullptr)
        return nullptr;
    Window *w = Find(dlg);
    w->dialog = true;
    w->dlgProc = proc;
    if (CreateControls(dlg, t, instance) == nullptr) {
        DWORD error = GetLastError();
        DestroyTree(dlg);
        SetLastError(error);
        return nullptr;
    }
    CallProc(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(FirstTabStop(*Find(dlg))), param);
    w = Find(dlg);
    if (w == nullptr)
        return nullptr;
    if ((t.style & WS_VISIBLE) && !w->dialogEnded) {
        w->style |= WS_VISIBLE;
        CallProc(dlg, WM_SHOWWINDOW, TRUE, 0);
    }
    return dlg;
}

bool TemplateId(LPCSTR name, WORD *id)
{
    if (IS_INTRESOURCE(name)) {
        *id = LOWORD(reinterpret_cast<ULONG_PTR>(name));
        return true;
    }
    if (name == nullptr || name[0] != '#')
        return false;
    char *end = nullptr;
    unsigned long value = strtoul(name + 1, &end, 10);
    if (end == name + 1 || *end != '\0' || value > 0xFFFF)
        return false;
    *id = static_cast<WORD>(value);
    return true;
}

void EnableOwnerAgain(Window &dlg)
{
    if (!dlg.ownerDisabledByDialog)
        return;
    dlg.ownerDisabledByDialog = false;
    if (Find(dlg.owner) != nullptr)
        SetEnabled(dlg.owner, TRUE);
}

// The dialog's own loop: it hands every message of the thread to its
// window until EndDialog; a quit message ends it and is posted again for
// the loop outside.
INT_PTR RunModalLoop(HWND dlg)
{
    for (;;) {
        Window *w = Find(dlg);
        if (w == nullptr)
            return -1;
        if (w->dialogEnded)
            return w->dialogResult;
        MSG msg;
        if (!TakeMessage(&msg))
            Die("DialogBoxParamA would wait forever: the dialog \"%s\" has not ended and no message is queued",
                w->title.c_str());
        if (msg.message == WM_QUIT) {
            S().quitPosted = true;
            S().quitCode = static_cast<int>(msg.wParam);
            return w->dialogResult;
        }
        Dispatch(msg);
    }
}

}  // namespace

LRESULT CALLBACK DialogClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *w = FindOwn(hwnd);
    DLGPROC proc = w != nullptr ? w->dlgProc : nullptr;
    if (proc != nullptr) {
        INT_PTR handled = proc(hwnd, message, wParam, lParam);
        if (handled)
            return message == WM_INITDIALOG ? handled : 0;
    }
    switch (message) {
    case WM_INITDIALOG:
        return 0;
    case WM_CLOSE: {
        HWND cancel = nullptr;
        if ((w = FindOwn(hwnd)) != nullptr) {
            for (HWND child : w->children) {
                const Window *c = Find(child);
                if (c != nullptr && c->id == IDCANCEL)
                    cancel = child;
            }
        }
        Post(hwnd, WM_COMMAND, IDCANCEL, reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

}  // namespace desk
}  // namespace wsim

using namespace wsim;
using namespace wsim::desk;

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param)
{
    if (Faulted("DialogBoxParamA"))
        return -1;
    if (owner != nullptr && Find(owner) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    // user32 draws the dialog with the visual styles, which it loads by name.
    LoadOnDemand("uxtheme.dll");
    WORD id = 0;
    const BYTE *data = nullptr;
    DWORD size = 0;
    if (!TemplateId(templateName, &id) || !detail::FindResourceData(kRtDialog, id, &data, &size)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    DialogTemplate t;
    if (!ParseTemplate(data, size, &t))
        Die("DialogBoxParamA: the template of dialog %u cannot be read", id);

    // The owner is disabled before the dialog exists, so it is already
    // disabled when WM_INITDIALOG arrives.
    HWND top = owner != nullptr ? TopLevelOf(owner) : nullptr;
    bool disabled = false;
    if (top != nullptr && IsEnabled(top)) {
        SetEnabled(top, FALSE);
        disabled = true;
    }
    HWND dlg = CreateDialogWindow(t, instance, top, proc, param);
    if (dlg == nullptr) {
        DWORD error = GetLastError();
        if (disabled && Find(top) != nullptr)
            SetEnabled(top, TRUE);
        SetLastError(error);
        return -1;
    }
    Find(dlg)->ownerDisabledByDialog = disabled;
    INT_PTR result = RunModalLoop(dlg);
    Window *w = Find(dlg);
    if (w != nullptr) {
        EnableOwnerAgain(*w);
        DestroyTree(dlg);
    } else if (disabled && Find(top) != nullptr && !IsEnabled(top)) {
        SetEnabled(top, TRUE);
    }
    return result;
}

BOOL EndDialog(HWND hDlg, INT_PTR result)
{
    Count("EndDialog");
    Window *w = FindOwn(hDlg);
    if (w == nullptr || !w->dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    w->dialogEnded = true;
    w->dialogResult = result;
    EnableOwnerAgain(*w);
    return TRUE;
}

HWND GetDlgItem(HWND hDlg, int id)
{
    Count("GetDlgItem");
    Window *w = Find(hDlg);
    if (w == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND child : w->children) {
        const Window *c = Find(child);
        if (c != nullptr && c->id == id)
            return child;
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

BOOL SetDlgItemTextA(HWND hDlg, int id, LPCSTR text)
{
    Count("SetDlgItemTextA");
    HWND item = GetDlgItem(hDlg, id);
    if (item == nullptr)
        return FALSE;
    return SetWindowTextA(item, text);
}

UINT GetDlgItemTextA(HWND hDlg, int id, LPSTR text, int size)
{
    Count("GetDlgItemTextA");
    HWND item = GetDlgItem(hDlg, id);
    if (item == nullptr) {
        if (text != nullptr && size > 0)
            text[0] = '\0';
        return 0;
    }
    return static_cast<UINT>(GetWindowTextA(item, text, size));
}
