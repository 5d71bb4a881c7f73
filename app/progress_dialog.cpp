// The progress dialog: it asks for confirmation, then runs the three
// stages, showing each stage's state on its own line and on the bar.
#include <windows.h>
#include <commctrl.h>

#include "app/app.h"
#include "common/common.h"
#include "res/resource.h"
#include "stages/stages.h"

// Two steps before the stages, one as each stage starts, one at the end.
#define PROGRESS_STEPS 6

static void StepProgress(HWND hDlg)
{
    SendMessageA(GetDlgItem(hDlg, IDC_PROGRESS), PBM_STEPIT, 0, 0);
}

static void OnInitDialog(HWND hDlg)
{
    HWND bar;

    CenterWindowOnScreen(hDlg);
    // The controller loaded comctl32 for the dialog; asking for it by its
    // name among the loaded modules searches no folder.
    InitCommonControlsOf(GetModuleHandleA("comctl32.dll"));
    bar = GetDlgItem(hDlg, IDC_PROGRESS);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, PROGRESS_STEPS));
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    SetDlgItemTextA(hDlg, IDC_INTRO, LoadResText(IDS_INTRO));
    PostMessageA(hDlg, UM_BEGIN, 0, 0);
}

// Asked from a posted message so that the dialog is up before the box.
// A box that could not be shown counts as Cancel: nothing is removed
// without the user's consent, and the dialog does not stay open waiting.
static void AskConfirmation(HWND hDlg)
{
    int answer = ShowFreshBox(hDlg, LoadResText(IDS_CONFIRM_REMOVE), MB_OKCANCEL | MB_ICONQUESTION);

    PostMessageA(hDlg, WM_COMMAND, answer == IDOK ? IDOK : IDCANCEL, 0);
}

// The stages run here, synchronously; each status line reads its stage's
// name, then "please wait..." while it runs, then "complete.".
static void RunStages(HWND hDlg)
{
    StepProgress(hDlg);
    StepProgress(hDlg);
    SetDlgItemTextA(hDlg, IDC_STATUS_APPS, LoadResText(IDS_STAGE_APPS));
    SetDlgItemTextA(hDlg, IDC_STATUS_FILES, LoadResText(IDS_STAGE_OLDFILES));
    SetDlgItemTextA(hDlg, IDC_STATUS_SETTINGS, LoadResText(IDS_STAGE_SETTING));

    SetDlgItemTextA(hDlg, IDC_STATUS_APPS, LoadResText(IDS_PLEASE_WAIT));
    StepProgress(hDlg);
    CloseCompanionPrograms();
    SetDlgItemTextA(hDlg, IDC_STATUS_APPS, LoadResText(IDS_COMPLETE));

    SetDlgItemTextA(hDlg, IDC_STATUS_FILES, LoadResText(IDS_PLEASE_WAIT));
    StepProgress(hDlg);
    RetireInstalledFiles();
    SetDlgItemTextA(hDlg, IDC_STATUS_FILES, LoadResText(IDS_COMPLETE));

    SetDlgItemTextA(hDlg, IDC_STATUS_SETTINGS, LoadResText(IDS_PLEASE_WAIT));
    StepProgress(hDlg);
    RemoveProductSettings();
    SetDlgItemTextA(hDlg, IDC_STATUS_SETTINGS, LoadResText(IDS_COMPLETE));

    StepProgress(hDlg);
}

INT_PTR CALLBACK ProgressDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(hDlg);
        return TRUE;
    case UM_BEGIN:
        AskConfirmation(hDlg);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL:
            EndDialog(hDlg, 0);
            return FALSE;
        case IDOK:
            RunStages(hDlg);
            EndDialog(hDlg, 1);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

void CenterWindowOnScreen(HWND hwnd)
{
    RECT rect;
    int x;
    int y;

    if (!GetWindowRect(hwnd, &rect))
        return;
    // Each half is taken on its own, so odd sizes round as 512 - 199.
    x = GetSystemMetrics(SM_CXSCREEN) / 2 - (rect.right - rect.left) / 2;
    y = GetSystemMetrics(SM_CYSCREEN) / 2 - (rect.bottom - rect.top) / 2;
    SetWindowPos(hwnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
