// Whole runs of the uninstaller on the simulated machine: a machine with
// the product installed, a clean slate for the program's process-wide
// state, and the checks every run ends with.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app.h"
#include "common/common.h"
#include "common/globals.h"
#include "res/resource.h"
#include "winsim.h"
#include "winsim_desktop.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR cmdLine, int nCmdShow);

namespace qwtest {

const char kUninstallKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QELVORA Wattrix2";
const char kRunKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kSystemDir[] = "C:\\WINNT\\system32";
const char kSettingsKey[] = "HKLM\\SOFTWARE\\QELVORA\\Power Management";
const char kQueueKey[] = "HKLM\\SOFTWARE\\QELVORA\\Cleanup\\RemoveFiles";

const char *const kProgramFiles[] = {"QWSAVER.CPL", "QWTRAY.EXE",     "QWREG.DLL",  "QWADAPT.DLL",  "QWTAB.DLL",
                                     "QWFNKEY.EXE", "QWDEVWATCH.EXE", "QWICON.EXE", "QWCLKICON.EXE"};
const char *const kHelpFiles[] = {"QWSAVER.HLP", "QWSAVER.GID", "QWSAVER.FTS"};

// The program's texts, English.
const char kTextConfirm[] = "Are you sure you want to remove the QELVORA Wattrix2?";
const char kTextRestart[] = "Uninstall has completed successfully. Do you want to restart computer right now?";
const char kTextNeedAdmin[] =
    "In order to uninstall QELVORA Wattrix2, you must have administrative privileges. Please log off and log back on "
    "as an administrator.\n";
const char kTextCloseProperties[] = "Close Power Save Propeties then try again.";
const char kTextErrorPrefix[] = "Error occurred during uninstallation. \nPlease refer detailed information in ";

inline std::string SystemFile(const char *name)
{
    return std::string(kSystemDir) + "\\" + name;
}

// The program's state lives for the process; each run starts as a fresh
// process would.
inline void ResetProgramState()
{
    g_errorOccurred = 0;
    ZeroMemory(g_systemRoot, sizeof(g_systemRoot));
    ZeroMemory(g_systemDir, sizeof(g_systemDir));
    g_hInstance = NULL;
    g_dllSearchLimited = 0;
    g_hSavedCursor = NULL;
    g_dialogResult = 0;
    g_hLogFile = NULL;
    ZeroMemory(g_logPath, sizeof(g_logPath));
}

// A Windows 2000 machine with the product installed: its Uninstall entry,
// program and help files, settings keys and the values the last stage
// removes or resets.
inline void InstallProduct()
{
    wsim::PutSz(kUninstallKey, "DisplayName", "QELVORA Wattrix2");
    wsim::PutSz(kUninstallKey, "UninstallString", "QWUNINST.EXE");
    for (const char *name : kProgramFiles)
        wsim::PutFile(SystemFile(name).c_str(), name);
    for (const char *name : kHelpFiles)
        wsim::PutFile(SystemFile(name).c_str(), name);
    wsim::PutFile(SystemFile("QWUNINST.EXE").c_str(), "uninstaller");
    wsim::PutFile(SystemFile("QvCleanup.exe").c_str(), "cleanup helper");

    wsim::PutDword(kSettingsKey, "Version", 2);
    wsim::CreateKey("HKLM\\SOFTWARE\\QELVORA\\Power Management\\Profiles\\AC");
    wsim::PutDword("HKCU\\SOFTWARE\\QELVORA\\Power Management", "Scheme", 1);
    wsim::PutSz("HKCR\\CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}\\InprocServer32", "", "QWSAVER.CPL");
    wsim::PutDword("HKLM\\SOFTWARE\\QELVORA\\Cleanup", "RefNum", 1);
    wsim::PutSz(kRunKey, "Qwtray", "QWTRAY.EXE");
    wsim::PutSz("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Power\\shellex\\"
                "PropertySheetHandlers\\CPL Extension Sample",
                "", "{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}");
    wsim::PutSz("HKLM\\SYSTEM\\CurrentControlSet\\Services\\QvHotkey\\Run", "QWFnkey", "QWFNKEY.EXE");
    wsim::PutSz("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\PowerCfg", "DiskSpinDownMin",
                "10");
    wsim::PutDword("HKLM\\SYSTEM\\CurrentControlSet\\Services\\Fdc\\Parameters", "MaskDmaAtWakingUp", 1);
}

inline void FreshMachineWithProduct(wsim::Lang lang = wsim::Lang::English)
{
    wsim::Reset(lang);
    ResetProgramState();
    InstallProduct();
}

inline int RunUninstaller()
{
    return WinMain(GetModuleHandleA(NULL), NULL, (LPSTR) "", SW_SHOWNORMAL);
}

// Text in the machine's ANSI code page, from UTF-8 source text.
inline std::string Ansi(const char *utf8)
{
    WCHAR wide[512];
    char ansi[1024];
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 512);
    if (n == 0 || WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof(ansi), NULL, NULL) == 0)
        return std::string();
    return ansi;
}

inline std::string LogPath()
{
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof(temp), temp);
    std::string dir(temp, n);
    if (!dir.empty() && dir.back() == '\\')
        dir.pop_back();
    return dir + "\\QWUNLOG.LOG";
}

inline std::string RegSz(const char *key, const char *name)
{
    DWORD type = 0;
    std::string data;
    if (!wsim::GetValue(key, name, &type, &data) || type != REG_SZ)
        return "<none>";
    return std::string(data.c_str());
}

// The program's windows of one class (the controller: APP_TITLE; the
// progress dialog: "#32770").
inline std::vector<wsim::CreatedWindow> WindowsOfClass(const char *className)
{
    std::vector<wsim::CreatedWindow> found;
    for (const auto &w : wsim::CreatedWindows())
        if (w.className == className && w.parent == NULL)
            found.push_back(w);
    return found;
}

inline HWND Controller()
{
    auto windows = WindowsOfClass(APP_TITLE);
    return windows.empty() ? NULL : windows[0].hwnd;
}

inline HWND ProgressDialog()
{
    auto windows = WindowsOfClass("#32770");
    return windows.empty() ? NULL : windows[0].hwnd;
}

// Whatever the run took from the system it gave back.
inline void ExpectNothingLeftOpen()
{
    EXPECT_EQ(0, wsim::OpenFileHandles());
    EXPECT_EQ(0, wsim::OpenKeyHandles());
    EXPECT_EQ(0, wsim::LiveAllocations());
    EXPECT_EQ(0, wsim::OutstandingNetBuffers());
    EXPECT_EQ(0, wsim::OpenTokenHandles());
    EXPECT_EQ(0, wsim::OutstandingIdLists());
    EXPECT_EQ(0, wsim::OutstandingShellReferences());
    EXPECT_EQ(0, wsim::QueuedBoxAnswers());
    EXPECT_EQ("", wsim::LoadedLibraryPath("netapi32.dll"));
    EXPECT_EQ("", wsim::LoadedLibraryPath("comctl32.dll"));
}

// A run that ended before the controller existed touched nothing.
inline void ExpectNothingWritten()
{
    EXPECT_FALSE(wsim::FileExists(LogPath().c_str()));
    EXPECT_TRUE(Controller() == NULL);
    EXPECT_EQ("QWUNINST.EXE", RegSz(kUninstallKey, "UninstallString"));
    for (const char *name : kProgramFiles)
        EXPECT_TRUE(wsim::FileExists(SystemFile(name).c_str())) << name;
    EXPECT_TRUE(wsim::KeyExists(kSettingsKey));
    EXPECT_FALSE(wsim::KeyExists(kQueueKey));
}

}  // namespace qwtest
