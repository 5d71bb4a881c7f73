// The step "hold": keeps a file open without sharing, so that nobody else
// can open, rename or delete it, until "stop NAME" or the end of the
// script.
//
//   hold NAME PATH
#include <windows.h>

#include "steps.h"

#define MAX_HOLDS 8
#define NAME_SIZE 64

struct Hold {
    char name[NAME_SIZE];
    HANDLE file;
};

static struct Hold g_holds[MAX_HOLDS];
static int g_holdCount;

int HoldStep(int argc, char **argv)
{
    struct Hold *hold;

    if (argc != 3 || g_holdCount >= MAX_HOLDS)
        return 0;
    hold = &g_holds[g_holdCount];
    hold->file = CreateFileA(argv[2], GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hold->file == INVALID_HANDLE_VALUE)
        return 0;
    lstrcpynA(hold->name, argv[1], NAME_SIZE);
    g_holdCount++;
    return 1;
}

static void Release(struct Hold *hold)
{
    if (hold->file != INVALID_HANDLE_VALUE && hold->file != NULL)
        CloseHandle(hold->file);
    hold->file = NULL;
}

int StopHold(LPCSTR name)
{
    for (int i = 0; i < g_holdCount; i++) {
        if (lstrcmpA(g_holds[i].name, name) == 0 && g_holds[i].file != NULL) {
            Release(&g_holds[i]);
            return 1;
        }
    }
    return 0;
}

void StopAllHolds(void)
{
    for (int i = 0; i < g_holdCount; i++)
        Release(&g_holds[i]);
}
