// The step "run": plays the user for one run of a program. It starts the
// program, answers its message boxes by a script, watches its progress
// dialog, and writes what it saw into a transcript that the scenario
// compares line by line.
//
//   run NAME ANSWERS [-u VAR]... [-s VAR=VALUE]... [-c TEXT] [-k TEXT] [-o FILE] [-w IMAGE]
//       [-m FILE] PROGRAM [ARGUMENTS]
//
// ANSWERS is a comma-separated list of OK, Cancel, Yes, No, or "none";
// "user" presses nothing and leaves the boxes to a person at the display.
// -u leaves a variable out of the program's environment, -s sets one; the
// block is built here and handed to CreateProcessA, so the program sees
// exactly that block (a variable that the platform would give a process
// started from outside, such as "SystemRoot", stays away). -c takes
// pictures of the boxes and of the dialog when a status line reads TEXT
// (capture_step.cpp). -k presses Enter on the keyboard once, when a status
// line first reads TEXT: the key goes to the program in the foreground, as
// a user's would. -o sends the program's standard output and error to
// the record FILE. -w IMAGE is for a program that starts the one to watch,
// as the list of installed programs starts an uninstaller and waits for
// it: the process of that image file name (say QWUNINST.EXE) that the
// program starts is looked for while it runs, and its end is recorded too.
// -m FILE is for a program on the Unix side (a shell that starts Wine's
// launcher, which starts a process from outside, as a log-on does):
// Windows gets no handle to wait for, so the run lasts until that program
// has written the record FILE, its last act.
//
// The program's windows are recognised by their caption, the program's
// title; those of the dialog class are either its progress dialog (it has
// the introduction text, item 1009) or a message box. The transcript
// NAME.txt is UTF-8, one record a line, line breaks inside a text written
// as "\n":
//
//   box: TEXT             a message box appeared, with this text
//   owner: none | CLASS "TITLE"
//   buttons: OK,Cancel    its buttons, in the box's order
//   answer: OK            the button pressed ("none left" when the script
//                         was used up; the first button is pressed then)
//   dialog: TEXT          the progress dialog appeared, with this intro
//   status: A | B | C     the three status lines changed to these texts
//   typed: Enter          the driver pressed Enter (-k)
//   bar: N                the progress bar position changed to N, when the
//                         dialog was free to say (it is busy while a stage
//                         runs, so not every position is seen)
//   started: IMAGE        the program started the process of -w IMAGE
//   exit: IMAGE N         that process ended with this exit code (before
//                         the program's own "exit: N")
//   not started: IMAGE    the program ended without starting it
//   exit: N               the program ended with this exit code
//   timeout               the program was still running after ten minutes
//                         and was ended
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fixture_util.h"
#include "steps.h"

#define TITLE "QELVORA Wattrix2 Uninstaller"
#define DIALOG_CLASS "#32770"
#define ID_INTRO 1009
#define ID_PROGRESS 1000
#define MAX_ANSWERS 16
#define MAX_SEEN 64
#define TEXT_SIZE 2048
#define COMMAND_SIZE 4096
#define ENVIRONMENT_SIZE 65536
#define MAX_CHANGES 16
#define POLL_MS 50
#define TIMEOUT_MS 600000

struct Button {
    int id;
    const char *name;
};

static const struct Button kButtons[] = {
    {IDOK, "OK"}, {IDCANCEL, "Cancel"}, {IDABORT, "Abort"}, {IDRETRY, "Retry"},
    {IDIGNORE, "Ignore"}, {IDYES, "Yes"}, {IDNO, "No"},
};

static char g_transcript[MAX_PATH];
static int g_answers[MAX_ANSWERS];
static int g_answerCount;
static int g_nextAnswer;
static int g_userAnswers;
static HWND g_seenBoxes[MAX_SEEN];
static int g_seenCount;
static HWND g_dialog;
static char g_lastStatus[TEXT_SIZE];
static int g_lastBar = -1;
static const char *g_childImage;
// With -k: the status text at which Enter is pressed, once.
static const char *g_typeAt;
// With -m: the record whose appearance ends the run.
static char g_marker[MAX_PATH];
static HANDLE g_child;

static void Record(const char *tag, const char *utf8)
{
    static char line[TEXT_SIZE * 2];

    snprintf(line, sizeof(line), "%s%s\n", tag, utf8);
    AppendToFile(g_transcript, line);
}

static const char *ButtonName(int id)
{
    for (size_t i = 0; i < ARRAYSIZE(kButtons); i++) {
        if (kButtons[i].id == id)
            return kButtons[i].name;
    }
    return "?";
}

static int ButtonId(const char *name)
{
    for (size_t i = 0; i < ARRAYSIZE(kButtons); i++) {
        if (lstrcmpiA(kButtons[i].name, name) == 0)
            return kButtons[i].id;
    }
    return 0;
}

// The window's text as UTF-8, with line breaks and tabs spelled out so that
// one text stays on one transcript line.
static void ReadText(HWND hwnd, char *out, int size)
{
    char ansi[TEXT_SIZE];
    char utf8[TEXT_SIZE];
    int used = 0;

    ansi[0] = '\0';
    GetWindowTextA(hwnd, ansi, sizeof(ansi));
    AnsiToUtf8(ansi, utf8, sizeof(utf8));
    for (const char *p = utf8; *p != '\0' && used < size - 3; p++) {
        const char *escape = *p == '\n' ? "\\n" : *p == '\r' ? "\\r" : *p == '\t' ? "\\t" : NULL;
        if (escape != NULL) {
            out[used++] = escape[0];
            out[used++] = escape[1];
        } else {
            out[used++] = *p;
        }
    }
    out[used] = '\0';
}

static int IsVisibleChild(HWND child)
{
    return (GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE) != 0;
}

// The message text is the box's static control that is not its icon.
struct TextSearch {
    char *text;
    int size;
};

static BOOL CALLBACK FindMessageText(HWND child, LPARAM lParam)
{
    struct TextSearch *search = (struct TextSearch *)lParam;
    char name[64];

    if (GetClassNameA(child, name, sizeof(name)) == 0 || lstrcmpiA(name, "Static") != 0)
        return TRUE;
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        return TRUE;
    ReadText(child, search->text, search->size);
    return search->text[0] == '\0';
}

// The visible buttons in the box's order, as "OK,Cancel"; the first one's
// id goes to firstId.
struct ButtonList {
    char names[128];
    int firstId;
};

static BOOL CALLBACK ListButton(HWND child, LPARAM lParam)
{
    struct ButtonList *list = (struct ButtonList *)lParam;
    char name[64];
    int id = GetDlgCtrlID(child);

    if (GetClassNameA(child, name, sizeof(name)) == 0 || lstrcmpiA(name, "Button") != 0 || !IsVisibleChild(child))
        return TRUE;
    if (list->firstId == 0)
        list->firstId = id;
    if (list->names[0] != '\0')
        lstrcatA(list->names, ",");
    if (lstrlenA(list->names) + 8 < (int)sizeof(list->names))
        lstrcatA(list->names, ButtonName(id));
    return TRUE;
}

static void RecordOwner(HWND box)
{
    HWND owner = GetWindow(box, GW_OWNER);
    char className[256];
    char title[TEXT_SIZE];
    char line[TEXT_SIZE + 300];

    if (owner == NULL) {
        Record("owner: ", "none");
        return;
    }
    className[0] = '\0';
    GetClassNameA(owner, className, sizeof(className));
    ReadText(owner, title, sizeof(title));
    snprintf(line, sizeof(line), "%s \"%s\"", className, title);
    Record("owner: ", line);
}

static int AlreadySeen(HWND box)
{
    for (int i = 0; i < g_seenCount; i++) {
        if (g_seenBoxes[i] == box)
            return 1;
    }
    if (g_seenCount < MAX_SEEN)
        g_seenBoxes[g_seenCount++] = box;
    return 0;
}

static void AnswerBox(HWND box)
{
    char text[TEXT_SIZE];
    struct TextSearch search = {text, sizeof(text)};
    struct ButtonList buttons;
    int id;

    if (!IsWindowVisible(box) || AlreadySeen(box))
        return;
    text[0] = '\0';
    EnumChildWindows(box, FindMessageText, (LPARAM)&search);
    ZeroMemory(&buttons, sizeof(buttons));
    EnumChildWindows(box, ListButton, (LPARAM)&buttons);

    Record("box: ", text);
    RecordOwner(box);
    Record("buttons: ", buttons.names);
    CaptureBox(box);
    if (g_userAnswers)
        return;
    if (g_nextAnswer < g_answerCount) {
        id = g_answers[g_nextAnswer++];
        Record("answer: ", ButtonName(id));
    } else {
        id = buttons.firstId;
        Record("answer: ", "none left");
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(box, id));
}

// The three status lines as "A | B | C".
static void ReadStatus(HWND dialog, LPSTR status, int size)
{
    char line[TEXT_SIZE];

    status[0] = '\0';
    for (int id = 1002; id <= 1004; id++) {
        ReadText(GetDlgItem(dialog, id), line, sizeof(line));
        if (id > 1002)
            lstrcatA(status, " | ");
        if (lstrlenA(status) + lstrlenA(line) < size - 4)
            lstrcatA(status, line);
    }
}

// The lines are read one after another while the program may change
// them, so one reading can mix two moments (a stage ended, the next one
// begun, the first line read before either). Two equal readings in a row
// are taken as one moment.
static void ReadSteadyStatus(HWND dialog, LPSTR status, int size)
{
    char again[TEXT_SIZE];

    ReadStatus(dialog, status, size);
    for (int tries = 0; tries < 10; tries++) {
        ReadStatus(dialog, again, sizeof(again));
        if (strcmp(again, status) == 0)
            return;
        lstrcpynA(status, again, size);
    }
}

// A key press of the user's, through the system's input, not a message.
static void PressEnterAt(const char *status)
{
    if (g_typeAt == NULL || strstr(status, g_typeAt) == NULL)
        return;
    g_typeAt = NULL;
    keybd_event(VK_RETURN, 0, 0, 0);
    keybd_event(VK_RETURN, 0, KEYEVENTF_KEYUP, 0);
    Record("typed: ", "Enter");
}

static void WatchDialog(HWND dialog)
{
    char status[TEXT_SIZE];
    char line[TEXT_SIZE];
    DWORD_PTR position = 0;

    if (!IsWindowVisible(dialog))
        return;
    if (dialog != g_dialog) {
        g_dialog = dialog;
        ReadText(GetDlgItem(dialog, ID_INTRO), line, sizeof(line));
        Record("dialog: ", line);
    }

    ReadSteadyStatus(dialog, status, sizeof(status));
    if (strcmp(status, g_lastStatus) != 0) {
        lstrcpynA(g_lastStatus, status, sizeof(g_lastStatus));
        Record("status: ", status);
        CaptureDialog(dialog);
        PressEnterAt(status);
    }

    // Asking the bar needs the dialog's thread; a busy thread is not waited
    // for, the position is simply not seen then.
    if (SendMessageTimeoutA(GetDlgItem(dialog, ID_PROGRESS), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 200,
                            &position) &&
        (int)position != g_lastBar) {
        g_lastBar = (int)position;
        snprintf(line, sizeof(line), "%d", g_lastBar);
        Record("bar: ", line);
    }
}

// The program's windows are found by class and title, which the window
// manager filters for us; looking at every window of the machine each
// time would cost far more under emulation.
static void InspectWindows(void)
{
    HWND hwnd = NULL;

    while ((hwnd = FindWindowExA(NULL, hwnd, DIALOG_CLASS, TITLE)) != NULL) {
        if (GetDlgItem(hwnd, ID_INTRO) != NULL)
            WatchDialog(hwnd);
        else
            AnswerBox(hwnd);
    }
}

static int ParseAnswers(const char *list)
{
    char word[16];
    int length = 0;

    if (lstrcmpiA(list, "none") == 0)
        return 1;
    if (lstrcmpiA(list, "user") == 0) {
        g_userAnswers = 1;
        return 1;
    }
    for (const char *p = list;; p++) {
        if (*p != ',' && *p != '\0') {
            if (length >= (int)sizeof(word) - 1)
                return 0;
            word[length++] = *p;
            continue;
        }
        word[length] = '\0';
        length = 0;
        if (ButtonId(word) == 0 || g_answerCount >= MAX_ANSWERS)
            return 0;
        g_answers[g_answerCount++] = ButtonId(word);
        if (*p == '\0')
            return 1;
    }
}

// 1 when the "NAME=VALUE" entry is named name, letter case aside.
static int HasName(const char *entry, const char *name, size_t length)
{
    return _strnicmp(entry, name, length) == 0 && entry[length] == '=';
}

static int AppendEntry(char *block, size_t *used, const char *entry)
{
    size_t length = strlen(entry) + 1;

    if (*used + length + 1 > ENVIRONMENT_SIZE)
        return 0;
    memcpy(block + *used, entry, length);
    *used += length;
    return 1;
}

// The current environment without the dropped variables and without the
// old values of the set ones, then the set ones, ended by an empty entry.
static int BuildEnvironment(char **dropped, int droppedCount, char **added, int addedCount, char *block)
{
    char *current = GetEnvironmentStringsA();
    size_t used = 0;
    int ok = 1;

    if (current == NULL)
        return 0;
    for (const char *entry = current; *entry != '\0' && ok; entry += strlen(entry) + 1) {
        int keep = 1;
        for (int i = 0; i < droppedCount && keep; i++)
            keep = !HasName(entry, dropped[i], strlen(dropped[i]));
        for (int i = 0; i < addedCount && keep; i++)
            keep = !HasName(entry, added[i], (size_t)(strchr(added[i], '=') - added[i]));
        if (keep)
            ok = AppendEntry(block, &used, entry);
    }
    FreeEnvironmentStringsA(current);
    for (int i = 0; i < addedCount && ok; i++)
        ok = AppendEntry(block, &used, added[i]);
    block[used] = '\0';
    return ok;
}

// Quotes every argument, so that blanks in paths survive.
static int BuildCommandLine(int first, int argc, char **argv, char *command)
{
    size_t used = 0;

    command[0] = '\0';
    for (int i = first; i < argc; i++) {
        int written = snprintf(command + used, COMMAND_SIZE - used, "%s\"%s\"", i > first ? " " : "", argv[i]);
        if (written < 0 || (size_t)written >= COMMAND_SIZE - used)
            return 0;
        used += (size_t)written;
    }
    return 1;
}

static void ResetWatch(void)
{
    g_answerCount = 0;
    g_nextAnswer = 0;
    g_userAnswers = 0;
    g_seenCount = 0;
    g_dialog = NULL;
    g_lastStatus[0] = '\0';
    g_lastBar = -1;
    g_childImage = NULL;
    g_typeAt = NULL;
    g_marker[0] = '\0';
    g_child = NULL;
}

// 1 while a run given -m has not yet written its record.
static int AwaitingMarker(void)
{
    return g_marker[0] != '\0' && !PathExists(g_marker);
}

// Looks for the process of image g_childImage that the parent started;
// once found, g_child holds it open, so its exit code stays readable.
static void FindChild(DWORD parentId)
{
    PROCESSENTRY32 entry;
    HANDLE snapshot;

    if (g_childImage == NULL || g_child != NULL)
        return;
    snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more && g_child == NULL;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID == parentId && lstrcmpiA(entry.szExeFile, g_childImage) == 0)
            g_child = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    if (g_child != NULL)
        Record("started: ", g_childImage);
}

// After its parent has ended, the watched child is watched on its own
// until it ends too, within what is left of the time. 1 when it ended in
// time (or there was none to watch).
static int WatchChild(DWORD started)
{
    DWORD exitCode = 0;
    char line[MAX_PATH + 16];
    int ended = 1;

    if (g_childImage == NULL)
        return 1;
    if (g_child == NULL) {
        Record("not started: ", g_childImage);
        return 1;
    }
    while (WaitForSingleObject(g_child, POLL_MS) == WAIT_TIMEOUT) {
        if (GetTickCount() - started > TIMEOUT_MS) {
            Record("", "timeout");
            TerminateProcess(g_child, 1);
            WaitForSingleObject(g_child, INFINITE);
            ended = 0;
            break;
        }
        InspectWindows();
    }
    if (ended) {
        GetExitCodeProcess(g_child, &exitCode);
        snprintf(line, sizeof(line), "%s %lu", g_childImage, (unsigned long)exitCode);
        Record("exit: ", line);
    }
    CloseHandle(g_child);
    g_child = NULL;
    return ended;
}

// Polls the program's windows until it ends. 1 when it ended in time.
static int Watch(const PROCESS_INFORMATION *process)
{
    DWORD started = GetTickCount();

    for (;;) {
        DWORD wait = WaitForSingleObject(process->hProcess, POLL_MS);
        if (wait != WAIT_TIMEOUT && !AwaitingMarker())
            break;
        if (wait == WAIT_FAILED)
            Sleep(POLL_MS);
        if (GetTickCount() - started > TIMEOUT_MS) {
            Record("", "timeout");
            TerminateProcess(process->hProcess, 1);
            WaitForSingleObject(process->hProcess, INFINITE);
            if (g_child != NULL)
                CloseHandle(g_child);
            g_child = NULL;
            return 0;
        }
        FindChild(process->dwProcessId);
        InspectWindows();
    }
    FindChild(process->dwProcessId);
    return WatchChild(started);
}

// The record file that takes the program's output, inheritable so that
// the program can write to it.
static HANDLE OpenOutput(const char *name)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    char path[MAX_PATH];

    if (!RecordPath(name, path))
        return INVALID_HANDLE_VALUE;
    return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
}

int RunStep(int argc, char **argv)
{
    static char command[COMMAND_SIZE];
    static char environment[ENVIRONMENT_SIZE];
    char transcriptName[MAX_PATH];
    char *dropped[MAX_CHANGES];
    char *added[MAX_CHANGES];
    int droppedCount = 0, addedCount = 0;
    const char *waitText = NULL;
    const char *outputName = NULL;
    HANDLE output = INVALID_HANDLE_VALUE;
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    DWORD exitCode = 0;
    char line[32];
    int ended;
    int i = 3;

    if (argc < 4)
        return 0;
    ResetWatch();
    if (!ParseAnswers(argv[2]))
        return 0;
    for (; i + 1 < argc && argv[i][0] == '-'; i += 2) {
        if (strcmp(argv[i], "-u") == 0 && droppedCount < MAX_CHANGES)
            dropped[droppedCount++] = argv[i + 1];
        else if (strcmp(argv[i], "-s") == 0 && addedCount < MAX_CHANGES && strchr(argv[i + 1], '=') != NULL)
            added[addedCount++] = argv[i + 1];
        else if (strcmp(argv[i], "-c") == 0)
            waitText = argv[i + 1];
        else if (strcmp(argv[i], "-k") == 0)
            g_typeAt = argv[i + 1];
        else if (strcmp(argv[i], "-o") == 0)
            outputName = argv[i + 1];
        else if (strcmp(argv[i], "-w") == 0)
            g_childImage = argv[i + 1];
        else if (strcmp(argv[i], "-m") == 0) {
            if (!RecordPath(argv[i + 1], g_marker))
                return 0;
            DeleteFileA(g_marker);
        }
        else
            return 0;
    }
    snprintf(transcriptName, sizeof(transcriptName), "%s.txt", argv[1]);
    if (i >= argc || !RecordPath(transcriptName, g_transcript) || !BuildCommandLine(i, argc, argv, command) ||
        !BuildEnvironment(dropped, droppedCount, added, addedCount, environment))
        return 0;
    DeleteFileA(g_transcript);
    CaptureSetUp(waitText != NULL ? argv[1] : NULL, waitText);

    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    if (outputName != NULL) {
        output = OpenOutput(outputName);
        if (output == INVALID_HANDLE_VALUE)
            return 0;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output;
        startup.hStdError = output;
    }
    if (!CreateProcessA(NULL, command, NULL, NULL, output != INVALID_HANDLE_VALUE, 0, environment, NULL, &startup,
                        &process)) {
        printf("run: cannot start %s (%lu)\n", argv[i], (unsigned long)GetLastError());
        if (output != INVALID_HANDLE_VALUE)
            CloseHandle(output);
        return 0;
    }
    if (output != INVALID_HANDLE_VALUE)
        CloseHandle(output);
    ended = Watch(&process);
    // A program on the Unix side has no exit code here; its record has.
    if (ended && g_marker[0] == '\0') {
        GetExitCodeProcess(process.hProcess, &exitCode);
        snprintf(line, sizeof(line), "%lu", (unsigned long)exitCode);
        Record("exit: ", line);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended;
}
