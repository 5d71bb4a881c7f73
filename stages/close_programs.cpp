// First stage: the product's companion programs are asked to close, and
// each one is given up to five seconds to do so before the files they run
// from are renamed.
#include "common/common.h"
#include "res/resource.h"
#include "stages/stages.h"

#define WAIT_MILLISECONDS 1000
#define MAX_WAITS 5

// A program's window to close: its class text (0 when any class will do)
// and its title text. The wait looks for the title alone.
typedef struct {
    UINT classId;
    UINT titleId;
} CompanionProgram;

static const CompanionProgram kCompanionPrograms[] = {
    {0, IDS_FNKEY_TITLE},
    {IDS_ICON_CLASS, IDS_ICON_TITLE},
    {IDS_CLKICON_CLASS, IDS_CLKICON_TITLE},
    {IDS_DEVWATCH_CLASS, IDS_DEVWATCH_TITLE},
    {IDS_TRAY_CLASS, IDS_TRAY_TITLE},
};

// Only the first window found is asked; whether the post got through is
// not checked, since the wait that follows finds out anyway.
static void AskToClose(const CompanionProgram *program)
{
    LPCSTR className = program->classId != 0 ? LoadResText(program->classId) : NULL;
    LPCSTR title = LoadResText(program->titleId);
    HWND hwnd = FindWindowA(className, title);
    if (hwnd != NULL)
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
}

// At least one wait, even for a program that is not running; a window
// still there after the last wait is left alone.
static void WaitForClose(const CompanionProgram *program)
{
    int waits = 0;
    do {
        Sleep(WAIT_MILLISECONDS);
        if (FindWindowA(NULL, LoadResText(program->titleId)) == NULL)
            return;
        waits++;
    } while (waits < MAX_WAITS);
}

int CloseCompanionPrograms(void)
{
    for (size_t i = 0; i < ARRAYSIZE(kCompanionPrograms); i++) {
        AskToClose(&kCompanionPrograms[i]);
        WaitForClose(&kCompanionPrograms[i]);
    }
    return 1;
}
