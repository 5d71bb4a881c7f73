// The scenario driver of the whole-program runs: sets the machine up,
// plays the user of the uninstaller and records what happens, all from
// one script and in one process. (Under emulated Wine every process start
// costs some seconds, so the steps that need no process of their own run
// here.)
//
//   qwanswer SCRIPT
//
// The script is UTF-8 text, one step a line, words separated by blanks,
// a word with blanks in double quotes, "#" starting a comment line. The
// records of the steps go to the script's directory. Steps:
//
//   install [options]                     the product's state (install_step.cpp)
//   snapshot FILE KEY|dir:PATH...         registry and files as text
//   companion NAME CLASS TITLE MODE       a window of another program
//   hold NAME PATH                        a file held open without sharing
//   stop NAME                             ends a companion or a hold
//   run NAME ANSWERS [...] PROGRAM [...]  one answered run (answer_step.cpp)
//   remove PATH                           deletes a file
//   keep PATH NAME                        copies a file, if it exists, to NAME
//
// In the paths of snapshot's "dir:", remove and keep, %VAR% is expanded.
//
// Each step is echoed with the seconds since the start. The exit code is
// 0 when every step did its work, 1 when one did not, 2 when the script
// cannot be read.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "steps.h"

#define MAX_WORDS 64
#define SCRIPT_SIZE (256 * 1024)
#define WORD_SIZE 1024

char g_recordsDir[MAX_PATH];

int RecordPath(LPCSTR name, LPSTR path)
{
    int written = snprintf(path, MAX_PATH, "%s\\%s", g_recordsDir, name);
    return written > 0 && written < MAX_PATH;
}

// The script as UTF-16, NUL-terminated; freed by the caller.
static LPWSTR ReadScript(LPCSTR path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    static char bytes[SCRIPT_SIZE];
    DWORD size = 0;
    LPWSTR text;
    int length;

    if (file == INVALID_HANDLE_VALUE)
        return NULL;
    if (!ReadFile(file, bytes, sizeof(bytes) - 1, &size, NULL))
        size = 0;
    CloseHandle(file);
    bytes[size] = '\0';

    length = MultiByteToWideChar(CP_UTF8, 0, bytes, -1, NULL, 0);
    if (length <= 0)
        return NULL;
    text = (LPWSTR)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)length * sizeof(WCHAR));
    if (text != NULL)
        MultiByteToWideChar(CP_UTF8, 0, bytes, -1, text, length);
    return text;
}

// Splits one line in place into words; returns their count.
static int SplitWords(LPWSTR line, LPWSTR *words)
{
    int count = 0;
    LPWSTR p = line;

    while (*p != L'\0' && count < MAX_WORDS) {
        while (*p == L' ' || *p == L'\t')
            p++;
        if (*p == L'\0')
            break;
        if (*p == L'"') {
            words[count++] = ++p;
            while (*p != L'\0' && *p != L'"')
                p++;
        } else {
            words[count++] = p;
            while (*p != L'\0' && *p != L' ' && *p != L'\t')
                p++;
        }
        if (*p != L'\0')
            *p++ = L'\0';
    }
    return count;
}

int ExpandPath(LPCSTR text, LPSTR path)
{
    DWORD length = ExpandEnvironmentStringsA(text, path, MAX_PATH);
    return length > 0 && length <= MAX_PATH;
}

static int RemoveStep(int argc, char **argv)
{
    char path[MAX_PATH];

    if (argc != 2 || !ExpandPath(argv[1], path))
        return 0;
    return DeleteFileA(path) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

// A file that does not exist is no failure: its absence is what the
// scenario then sees.
static int KeepStep(int argc, char **argv)
{
    char source[MAX_PATH];
    char copy[MAX_PATH];

    if (argc != 3 || !ExpandPath(argv[1], source) || !RecordPath(argv[2], copy))
        return 0;
    DeleteFileA(copy);
    return CopyFileA(source, copy, FALSE) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

static int StopStep(int argc, char **argv)
{
    if (argc != 2)
        return 0;
    return StopCompanion(argv[1]) || StopHold(argv[1]);
}

static int RunWords(int argc, LPWSTR *wargv, char **argv)
{
    const char *step = argv[0];

    if (strcmp(step, "install") == 0)
        return InstallStep(argc, argv);
    if (strcmp(step, "snapshot") == 0)
        return SnapshotStep(argc, argv);
    if (strcmp(step, "companion") == 0)
        return CompanionStep(argc, wargv);
    if (strcmp(step, "hold") == 0)
        return HoldStep(argc, argv);
    if (strcmp(step, "stop") == 0)
        return StopStep(argc, argv);
    if (strcmp(step, "run") == 0)
        return RunStep(argc, argv);
    if (strcmp(step, "remove") == 0)
        return RemoveStep(argc, argv);
    if (strcmp(step, "keep") == 0)
        return KeepStep(argc, argv);
    if (strcmp(step, "reglink") == 0)
        return RegLinkStep(argc, argv);
    if (strcmp(step, "userenv") == 0)
        return UserEnvStep(argc, argv);
    printf("unknown step %s\n", step);
    return 0;
}

// Runs one line of the script. Returns 1 when it was blank, a comment, or
// a step that did its work.
static int RunLine(LPWSTR line, DWORD started)
{
    static char ansi[MAX_WORDS][WORD_SIZE];
    LPWSTR wargv[MAX_WORDS];
    char *argv[MAX_WORDS];
    int argc = SplitWords(line, wargv);
    int ok;

    if (argc == 0 || wargv[0][0] == L'#')
        return 1;
    printf("[%6.1fs]", (GetTickCount() - started) / 1000.0);
    for (int i = 0; i < argc; i++) {
        if (WideCharToMultiByte(CP_ACP, 0, wargv[i], -1, ansi[i], WORD_SIZE, NULL, NULL) == 0)
            ansi[i][0] = '\0';
        argv[i] = ansi[i];
        printf(" %s", argv[i]);
    }
    printf("\n");
    fflush(stdout);

    ok = RunWords(argc, wargv, argv);
    if (!ok)
        printf("step failed: %s\n", argv[0]);
    return ok;
}

int main(int argc, char **argv)
{
    DWORD started = GetTickCount();
    LPWSTR script;
    LPWSTR line;
    LPSTR slash;
    int ok = 1;

    if (argc != 2 || GetFullPathNameA(argv[1], MAX_PATH, g_recordsDir, NULL) == 0)
        return 2;
    slash = strrchr(g_recordsDir, '\\');
    if (slash == NULL)
        return 2;
    *slash = '\0';
    script = ReadScript(argv[1]);
    if (script == NULL)
        return 2;

    line = script;
    while (line != NULL && *line != L'\0') {
        LPWSTR next = wcschr(line, L'\n');
        if (next != NULL)
            *next++ = L'\0';
        if (lstrlenW(line) > 0 && line[lstrlenW(line) - 1] == L'\r')
            line[lstrlenW(line) - 1] = L'\0';
        ok = RunLine(line, started) && ok;
        line = next;
    }

    StopAllCompanions();
    StopAllHolds();
    HeapFree(GetProcessHeap(), 0, script);
    printf("[%6.1fs] end\n", (GetTickCount() - started) / 1000.0);
    return ok ? 0 : 1;
}
