// The process entry point of QWUNINST.EXE, in place of the C runtime's
// start-up code. The program uses nothing of the runtime that needs
// setting up (no static constructors, no runtime state), so this only
// gives WinMain what the runtime would: the instance, the command line
// after the program's name and the show state that the starter asked for.
#include <windows.h>

// The program's name ends at its closing quote, or at the first blank when
// it is not quoted. Quotes and blanks are single bytes in every code page
// Windows uses for ANSI text, so no second byte of a character can pass
// for one.
static LPSTR SkipProgramName(LPSTR commandLine)
{
    LPSTR p = commandLine;

    if (*p == '"') {
        p++;
        while (*p != '\0' && *p != '"')
            p++;
        if (*p == '"')
            p++;
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t')
            p++;
    }
    while (*p == ' ' || *p == '\t')
        p++;
    return p;
}

static int StartupShowCommand(void)
{
    STARTUPINFOA startup;

    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
}

// Named as the entry point at link time; WinMain's result is the exit code.
extern "C" void QwEntry(void)
{
    int showCommand = StartupShowCommand();
    LPSTR arguments = SkipProgramName(GetCommandLineA());

    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, arguments, showCommand));
}
