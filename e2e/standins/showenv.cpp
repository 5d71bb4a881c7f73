// A control program: prints "NAME=value" for one variable of its own
// environment, as the uninstaller would read it, so that a scenario can
// see what a program started its way really gets.
//
//   qwshowenv NAME
#include <windows.h>
#include <stdio.h>

int main(int argc, char **argv)
{
    char value[MAX_PATH];
    DWORD length;

    if (argc != 2)
        return 2;
    length = GetEnvironmentVariableA(argv[1], value, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    printf("%s=%s\n", argv[1], value);
    return 0;
}
