// The step "companion": stands in for one of the product's companion
// programs, for its power-save property sheet, or for another copy's
// controller window: a top-level window of a given class and title on a
// thread of its own, which records what happens to it.
//
//   companion NAME CLASS TITLE close-after-ms|ignore
//
// On WM_CLOSE it closes after the given delay, or with "ignore" stays.
// The class "#32770" gives a dialog box, as a property sheet is. NAME.log
// in the records directory receives one line per event, UTF-8: "ready"
// once the window exists, "WM_CLOSE", "disabled" and "enabled" (another
// window's modal box owns it), and "closed". "stop NAME" ends it without
// a record.
#include <windows.h>
#include <stdlib.h>

#include "fixture_util.h"
#include "steps.h"

#define MAX_COMPANIONS 8
#define NAME_SIZE 64
#define TEXT_SIZE 256
#define CLOSE_TIMER 1
#define WM_STOP_COMPANION (WM_APP + 1)

struct Companion {
    char name[NAME_SIZE];
    WCHAR className[TEXT_SIZE];
    WCHAR title[TEXT_SIZE];
    char logPath[MAX_PATH];
    int ignoreClose;
    UINT closeDelay;
    int stopped;
    HWND hwnd;
    HANDLE thread;
    HANDLE ready;
};

static struct Companion g_companions[MAX_COMPANIONS];
static int g_companionCount;

static void Record(struct Companion *companion, LPCSTR event)
{
    char line[64];

    lstrcpynA(line, event, sizeof(line) - 1);
    lstrcatA(line, "\n");
    AppendToFile(companion->logPath, line);
}

// Shared by the window procedure and the dialog procedure. Returns 1 when
// the message was handled.
static int HandleEvent(HWND hwnd, UINT message, WPARAM wParam)
{
    struct Companion *companion = (struct Companion *)GetWindowLongPtrW(hwnd, GWLP_USERDATA);

    if (companion == NULL)
        return 0;
    switch (message) {
    case WM_CLOSE:
        Record(companion, "WM_CLOSE");
        if (companion->ignoreClose)
            return 1;
        if (companion->closeDelay == 0)
            DestroyWindow(hwnd);
        else
            SetTimer(hwnd, CLOSE_TIMER, companion->closeDelay, NULL);
        return 1;
    case WM_ENABLE:
        Record(companion, wParam ? "enabled" : "disabled");
        return 1;
    case WM_TIMER:
        KillTimer(hwnd, wParam);
        DestroyWindow(hwnd);
        return 1;
    case WM_STOP_COMPANION:
        companion->stopped = 1;
        DestroyWindow(hwnd);
        return 1;
    case WM_DESTROY:
        if (!companion->stopped)
            Record(companion, "closed");
        PostQuitMessage(0);
        return 1;
    }
    return 0;
}

static LRESULT CALLBACK CompanionWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (HandleEvent(hwnd, message, wParam))
        return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

static INT_PTR CALLBACK SheetDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    return HandleEvent(hwnd, message, wParam) ? TRUE : FALSE;
}

// A dialog box from a template built in memory: no controls, no menu, the
// dialog class, and the title.
static HWND CreateSheet(LPCWSTR title)
{
    DWORD storage[256];
    DLGTEMPLATE *dialog = (DLGTEMPLATE *)storage;
    WORD *p = (WORD *)(dialog + 1);
    int titleLength = lstrlenW(title) + 1;

    ZeroMemory(storage, sizeof(storage));
    dialog->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME;
    dialog->cx = 200;
    dialog->cy = 100;
    *p++ = 0;
    *p++ = 0;
    CopyMemory(p, title, titleLength * sizeof(WCHAR));
    return CreateDialogIndirectParamW(GetModuleHandleW(NULL), dialog, NULL, SheetDlgProc, 0);
}

static HWND CreateCompanionWindow(LPCWSTR className, LPCWSTR title)
{
    WNDCLASSW wc;

    ZeroMemory(&wc, sizeof(wc));
    wc.lpfnWndProc = CompanionWndProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = className;
    if (!RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return NULL;
    return CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT, 0, 300, 200, NULL,
                           NULL, wc.hInstance, NULL);
}

static DWORD WINAPI CompanionThread(LPVOID parameter)
{
    struct Companion *companion = (struct Companion *)parameter;
    MSG msg;

    if (lstrcmpW(companion->className, L"#32770") == 0)
        companion->hwnd = CreateSheet(companion->title);
    else
        companion->hwnd = CreateCompanionWindow(companion->className, companion->title);
    if (companion->hwnd != NULL) {
        SetWindowLongPtrW(companion->hwnd, GWLP_USERDATA, (LONG_PTR)companion);
        Record(companion, "ready");
    }
    SetEvent(companion->ready);
    if (companion->hwnd == NULL)
        return 1;

    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

int CompanionStep(int argc, LPWSTR *wargv)
{
    struct Companion *companion;
    char logName[NAME_SIZE + 8];

    if (argc != 5 || g_companionCount >= MAX_COMPANIONS || lstrlenW(wargv[2]) >= TEXT_SIZE ||
        lstrlenW(wargv[3]) >= TEXT_SIZE)
        return 0;
    companion = &g_companions[g_companionCount];
    ZeroMemory(companion, sizeof(*companion));
    WideToUtf8(wargv[1], companion->name, NAME_SIZE);
    lstrcpynW(companion->className, wargv[2], TEXT_SIZE);
    lstrcpynW(companion->title, wargv[3], TEXT_SIZE);
    companion->ignoreClose = lstrcmpiW(wargv[4], L"ignore") == 0;
    companion->closeDelay = companion->ignoreClose ? 0 : (UINT)_wtoi(wargv[4]);
    lstrcpynA(logName, companion->name, NAME_SIZE);
    lstrcatA(logName, ".log");
    if (!RecordPath(logName, companion->logPath))
        return 0;
    DeleteFileA(companion->logPath);

    companion->ready = CreateEventW(NULL, TRUE, FALSE, NULL);
    if (companion->ready == NULL)
        return 0;
    companion->thread = CreateThread(NULL, 0, CompanionThread, companion, 0, NULL);
    if (companion->thread == NULL) {
        CloseHandle(companion->ready);
        return 0;
    }
    WaitForSingleObject(companion->ready, INFINITE);
    CloseHandle(companion->ready);
    g_companionCount++;
    return companion->hwnd != NULL;
}

static void EndCompanion(struct Companion *companion)
{
    if (companion->thread == NULL)
        return;
    if (companion->hwnd != NULL && IsWindow(companion->hwnd))
        PostMessageW(companion->hwnd, WM_STOP_COMPANION, 0, 0);
    WaitForSingleObject(companion->thread, 10000);
    CloseHandle(companion->thread);
    companion->thread = NULL;
}

int StopCompanion(LPCSTR name)
{
    for (int i = 0; i < g_companionCount; i++) {
        if (lstrcmpA(g_companions[i].name, name) == 0 && g_companions[i].thread != NULL) {
            EndCompanion(&g_companions[i]);
            return 1;
        }
    }
    return 0;
}

void StopAllCompanions(void)
{
    for (int i = 0; i < g_companionCount; i++)
        EndCompanion(&g_companions[i]);
}
