// Times the three removal stages in one process, on the product's state as
// the scenario driver's install step leaves it:
//
//   qwstagebench UNINSTALLER [REPETITIONS]
//
// UNINSTALLER is copied into the system directory as QWUNINST.EXE, as the
// installer would. Each repetition installs the product (not timed), sets
// up what the controller window would (system directory, log), and times
// each stage with the performance counter. The first stage sleeps one
// second for each of the five companion programs, none of which runs
// here; its figure is printed with and without those five seconds. The
// exit code is 0 when every repetition removed the product without a
// logged failure.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include "bench_clock.h"
#include "common/common.h"
#include "common/globals.h"
#include "e2e/driver/steps.h"
#include "stages/stages.h"

#define DEFAULT_REPETITIONS 3
#define MAX_REPETITIONS 9

// What the first stage spends sleeping when no companion program runs.
#define STAGE1_WAITS_MS 5000.0

static const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QELVORA Wattrix2";
static const char kSystemSubdir[] = "\\system32";


static int Install(LPSTR uninstaller)
{
    char step[] = "install";
    char option[] = "--uninstaller";
    char *argv[] = {step, option, uninstaller};
    return InstallStep(3, argv);
}

// The state the controller window sets up before the stages run.
static int PrepareRun(void)
{
    g_errorOccurred = 0;
    DWORD length = GetEnvironmentVariableA("SystemRoot", g_systemRoot, MAX_PATH);
    if (length == 0 || length + lstrlenA(kSystemSubdir) >= MAX_PATH)
        return 0;
    lstrcpynA(g_systemDir, g_systemRoot, MAX_PATH);
    lstrcatA(g_systemDir, kSystemSubdir);
    return OpenUninstallLog("QWUNLOG.LOG");
}

// 1 when the run left the product removed: its Uninstall entry gone and
// its tray program renamed.
static int ProductRemoved(void)
{
    char renamed[MAX_PATH];
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        return 0;
    }
    if (lstrlenA(g_systemDir) + lstrlenA("\\QWTRAY.qel") >= MAX_PATH)
        return 0;
    lstrcpynA(renamed, g_systemDir, MAX_PATH);
    lstrcatA(renamed, "\\QWTRAY.qel");
    return GetFileAttributesA(renamed) != INVALID_FILE_ATTRIBUTES;
}

// Runs the three stages once; their times go to stageMs[0..2].
static int TimeStages(double *stageMs)
{
    if (!PrepareRun()) {
        printf("no system directory or no log\n");
        return 0;
    }
    double started = NowMs();
    CloseCompanionPrograms();
    double closed = NowMs();
    RetireInstalledFiles();
    double retired = NowMs();
    RemoveProductSettings();
    double removed = NowMs();
    CloseUninstallLog();

    stageMs[0] = closed - started;
    stageMs[1] = retired - closed;
    stageMs[2] = removed - retired;
    if (g_errorOccurred || !ProductRemoved()) {
        printf("the stages did not remove the product cleanly (see %%TEMP%%\\QWUNLOG.LOG)\n");
        return 0;
    }
    return 1;
}

int main(int argc, char **argv)
{
    int repetitions = argc > 2 ? atoi(argv[2]) : DEFAULT_REPETITIONS;
    if (argc < 2 || argc > 3 || repetitions < 1 || repetitions > MAX_REPETITIONS) {
        printf("usage: qwstagebench UNINSTALLER [REPETITIONS], REPETITIONS 1 to %d\n", MAX_REPETITIONS);
        return 2;
    }
    if (!StartClock())
        return 2;
    g_hInstance = GetModuleHandleA(NULL);

    double stage[3][MAX_REPETITIONS];
    double work[MAX_REPETITIONS];
    for (int r = 0; r < repetitions; r++) {
        double stageMs[3];
        if (!Install(argv[1])) {
            printf("installing the product failed\n");
            return 1;
        }
        if (!TimeStages(stageMs))
            return 1;
        for (int s = 0; s < 3; s++)
            stage[s][r] = stageMs[s];
        work[r] = stageMs[0] - STAGE1_WAITS_MS + stageMs[1] + stageMs[2];
        printf("run %d  stage 1 %8.1f ms (%6.1f ms without its waits)  stage 2 %6.1f ms  stage 3 %6.1f ms  "
               "all three without the waits %6.1f ms\n",
               r + 1, stageMs[0], stageMs[0] - STAGE1_WAITS_MS, stageMs[1], stageMs[2], work[r]);
        fflush(stdout);
    }

    double stage1 = Median(stage[0], repetitions);
    printf("RESULT stages in-process: stage 1 %.1f ms (%.1f ms without its 5 x 1 s waits), stage 2 %.1f ms, "
           "stage 3 %.1f ms; all three without the waits %.1f ms (median of %d)\n",
           stage1, stage1 - STAGE1_WAITS_MS, Median(stage[1], repetitions), Median(stage[2], repetitions),
           Median(work, repetitions), repetitions);

    char step[] = "install";
    char clean[] = "--clean";
    char *cleanArgv[] = {step, clean};
    InstallStep(2, cleanArgv);
    return 0;
}
