// The steps of a scenario script, run one after the other by the driver
// (qwanswer.cpp). Every step gets its words as ANSI text (argv, argv[0]
// being the step's name) and, where a window text may be in another
// script, as UTF-16 (wargv). A step returns 1 when it did its work.
//
// Records go to the records directory, the one that holds the script.
#pragma once

#include <windows.h>

// The records directory, without a trailing backslash.
extern char g_recordsDir[MAX_PATH];

// path := records directory, backslash, name. 0 when it does not fit.
int RecordPath(LPCSTR name, LPSTR path);

// path (MAX_PATH bytes) := text with %VAR% expanded. 0 when it does not fit.
int ExpandPath(LPCSTR text, LPSTR path);

// install [options]: the product's state, from scratch (install_step.cpp).
int InstallStep(int argc, char **argv);

// snapshot FILE ROOT\PATH[|VALUE]... [dir:PATH]...: registry trees and
// directory listings as text (snapshot_step.cpp).
int SnapshotStep(int argc, char **argv);

// companion NAME CLASS TITLE close-after-ms|ignore: a top-level window on
// a thread of its own, recording what happens to it in NAME.log
// (companion_step.cpp).
int CompanionStep(int argc, LPWSTR *wargv);

// reglink KEY TARGET: HKCU\KEY made a registry link to HKLM\TARGET, as
// the user's own programs can (link_step.cpp).
int RegLinkStep(int argc, char **argv);

// userenv NAME [VALUE]: a variable of HKCU\Environment set or removed
// (link_step.cpp).
int UserEnvStep(int argc, char **argv);

// hold NAME PATH: keeps the file open without sharing (hold_step.cpp).
int HoldStep(int argc, char **argv);

// stop NAME: ends a companion or a hold. 0 when there is no such name.
int StopCompanion(LPCSTR name);
int StopHold(LPCSTR name);
void StopAllCompanions(void);
void StopAllHolds(void);

// run NAME ANSWERS [-u VAR]... [-s VAR=VALUE]... [-w IMAGE] [-m FILE] PROGRAM [ARGUMENTS]:
// starts the program, answers its message boxes, watches its progress
// dialog and writes the transcript NAME.txt (answer_step.cpp).
int RunStep(int argc, char **argv);

// Pictures of the windows of a run, for the documentation; off until
// CaptureSetUp is given a name and a status text (capture_step.cpp).
// CaptureBox takes a message box before it is answered, CaptureDialog the
// progress dialog once, when a status line first reads that text.
void CaptureSetUp(LPCSTR runName, LPCSTR waitText);
void CaptureBox(HWND box);
void CaptureDialog(HWND dialog);
