// The program runs elevated from wherever it was started. DLLs planted in
// its folder or in the current directory must never be loaded, on the
// systems with SetDefaultDllDirectories, with SetDllDirectoryA only, and
// with neither; and a system DLL that cannot be had fails only the call
// that needed it.
#include "app_sim_machine.h"

using namespace qwtest;

namespace {

const char kDownloads[] = "C:\\Documents and Settings\\Administrator\\My Documents\\Downloads";
const char kWorkFolder[] = "C:\\Work";

// Every DLL that the program or the system's DLLs load while it runs, by
// name or as an import.
const char *const kPlantedNames[] = {"netapi32.dll", "comctl32.dll", "uxtheme.dll",  "netutils.dll",
                                     "srvcli.dll",   "wkscli.dll",   "samcli.dll",   "logoncli.dll",
                                     "dwmapi.dll",   "propsys.dll",  "cryptbase.dll", "sspicli.dll"};

std::string In(const char *folder, const char *name)
{
    return std::string(folder) + "\\" + name;
}

std::vector<std::string> PlantedLoads()
{
    std::vector<std::string> planted;
    for (const wsim::LibraryLoad &load : wsim::LibraryLoads()) {
        if (load.planted)
            planted.push_back(load.path);
    }
    return planted;
}

int SeqOfFirstLoad(const char *name)
{
    for (const wsim::LibraryLoad &load : wsim::LibraryLoads()) {
        if (load.name == name)
            return load.seq;
    }
    return -1;
}

class DllSearchTest : public ::testing::Test {
protected:
    // The program in the user's download folder, started with a working
    // folder of the user's: both hold a DLL of every name it could load.
    void SetUp() override
    {
        FreshMachineWithProduct();
        wsim::MakeDir(kDownloads);
        wsim::MakeDir(kWorkFolder);
        wsim::SetProgramPath(In(kDownloads, "QWUNINST.EXE").c_str());
        ASSERT_TRUE(SetCurrentDirectoryA(kWorkFolder));
        for (const char *name : kPlantedNames) {
            wsim::PutFile(In(kDownloads, name).c_str(), "planted");
            wsim::PutFile(In(kWorkFolder, name).c_str(), "planted");
        }
    }

    static void RunToRestartQuestion()
    {
        wsim::QueueBoxAnswer(IDOK);
        wsim::QueueBoxAnswer(IDNO);
        EXPECT_EQ(0, RunUninstaller());
        auto boxes = wsim::Boxes();
        ASSERT_EQ(2u, boxes.size());
        EXPECT_EQ(kTextRestart, boxes[1].text);
        EXPECT_FALSE(wsim::KeyExists(kSettingsKey));
        ExpectNothingLeftOpen();
    }
};

TEST_F(DllSearchTest, WithDefaultDirectoriesOnlySystemDllsAreLoaded)
{
    RunToRestartQuestion();

    EXPECT_EQ(std::vector<std::string>(), PlantedLoads());
    EXPECT_EQ(1, wsim::CallCount("SetDefaultDllDirectories"));
    EXPECT_EQ(0, wsim::CallCount("SetDllDirectoryA"));
    EXPECT_EQ("C:\\WINNT\\system32\\uxtheme.dll", wsim::LoadedLibraryPath("uxtheme.dll"));
}

// Without SetDefaultDllDirectories the current directory leaves the search
// and what user32 loads by name for the boxes is in the process before
// the first box.
TEST_F(DllSearchTest, WithSetDllDirectoryOnlySystemDllsAreLoaded)
{
    wsim::SetDllSearchCalls(true, false);

    RunToRestartQuestion();

    EXPECT_EQ(std::vector<std::string>(), PlantedLoads());
    EXPECT_EQ(1, wsim::CallCount("SetDllDirectoryA"));
    ASSERT_LT(0, SeqOfFirstLoad("uxtheme.dll"));
    EXPECT_LT(SeqOfFirstLoad("uxtheme.dll"), wsim::Boxes()[0].seq);
}

TEST_F(DllSearchTest, WithNeitherCallOnlySystemDllsAreLoaded)
{
    wsim::SetDllSearchCalls(false, false);

    RunToRestartQuestion();

    EXPECT_EQ(std::vector<std::string>(), PlantedLoads());
    EXPECT_EQ(0, wsim::CallCount("SetDllDirectoryA"));
    EXPECT_EQ(0, wsim::CallCount("SetDefaultDllDirectories"));
}

// A system DLL that this machine lacks is searched for past the system
// directory. With the search limited by SetDllDirectoryA the current
// directory is not among those folders: only an empty text takes it out,
// a null pointer puts it back. Here an import of the account service is
// missing, so its load fails and the run is refused as for a user.
TEST_F(DllSearchTest, WithSetDllDirectoryAMissingSystemDllIsNotTakenFromTheCurrentDirectory)
{
    wsim::SetDllSearchCalls(true, false);
    wsim::RemoveSystemLibrary("samcli.dll");
    // The answers of a run that got past the check: the refusal's box or
    // the confirmation, then the restart question.
    wsim::QueueBoxAnswer(IDOK);
    wsim::QueueBoxAnswer(IDNO);

    EXPECT_EQ(0, RunUninstaller());

    EXPECT_EQ(std::vector<std::string>(), PlantedLoads());
    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kTextNeedAdmin, boxes[0].text);
    EXPECT_EQ("", wsim::LoadedLibraryPath("netapi32.dll"));
}

// The refusals' boxes load the visual styles by name as every box does, so
// the search is limited before the first check, on every kind of system.
class DllSearchRefusalTest : public DllSearchTest {
protected:
    void RefuseOnEverySystem(void (*arrange)(), const char *text)
    {
        const bool calls[][2] = {{true, true}, {true, false}, {false, false}};
        for (const auto &c : calls) {
            SCOPED_TRACE(std::string("SetDllDirectoryA ") + (c[0] ? "yes" : "no") + ", SetDefaultDllDirectories " +
                         (c[1] ? "yes" : "no"));
            SetUp();
            wsim::SetDllSearchCalls(c[0], c[1]);
            arrange();
            wsim::QueueBoxAnswer(IDOK);

            EXPECT_EQ(0, RunUninstaller());

            auto boxes = wsim::Boxes();
            ASSERT_EQ(1u, boxes.size());
            EXPECT_EQ(text, boxes[0].text);
            EXPECT_EQ(std::vector<std::string>(), PlantedLoads());
            EXPECT_EQ("C:\\WINNT\\system32\\uxtheme.dll", wsim::LoadedLibraryPath("uxtheme.dll"));
            ExpectNothingWritten();
            ExpectNothingLeftOpen();
        }
    }
};

TEST_F(DllSearchRefusalTest, PropertySheetRefusalLoadsOnlySystemDlls)
{
    RefuseOnEverySystem([] { wsim::AddForeignWindow("#32770", "Power Save Properties"); }, kTextCloseProperties);
}

TEST_F(DllSearchRefusalTest, AdministratorRefusalLoadsOnlySystemDlls)
{
    RefuseOnEverySystem([] { wsim::SetLocalAccount("Administrator", USER_PRIV_USER); }, kTextNeedAdmin);
}

// "SystemRoot" is the user's to set; the system directory is not.
TEST_F(DllSearchTest, SystemRootOfTheEnvironmentDoesNotMoveTheSystemDlls)
{
    wsim::SetDllSearchCalls(false, false);
    wsim::MakeDir("C:\\Work\\system32");
    wsim::PutFile("C:\\Work\\system32\\netapi32.dll", "planted");
    wsim::PutFile("C:\\Work\\system32\\comctl32.dll", "planted");
    SetEnvironmentVariableA("SystemRoot", kWorkFolder);

    EXPECT_EQ(0, RunUninstaller());

    // Not the Windows directory: the run ends as without the value.
    EXPECT_EQ(std::vector<std::string>(), PlantedLoads());
    EXPECT_TRUE(wsim::Boxes().empty());
}

// The controls of the test: a program that loads by name, as the system's
// DLLs do, takes the planted file; and so do the imports of a DLL loaded
// by full path without the altered search path.
TEST_F(DllSearchTest, LoadByNameTakesThePlantedDllOfTheProgramFolder)
{
    wsim::SetDllSearchCalls(false, false);

    HMODULE theme = LoadLibraryA("uxtheme.dll");

    ASSERT_NE((HMODULE)NULL, theme);
    EXPECT_EQ(In(kDownloads, "uxtheme.dll"), wsim::LoadedLibraryPath("uxtheme.dll"));
    EXPECT_TRUE(FreeLibrary(theme));
}

TEST_F(DllSearchTest, ImportsOfAFullPathLoadComeFromItsFolderOnlyWithTheAlteredSearchPath)
{
    HMODULE netapi = LoadLibraryExA("C:\\WINNT\\system32\\netapi32.dll", NULL, 0);
    ASSERT_NE((HMODULE)NULL, netapi);
    EXPECT_EQ(In(kDownloads, "netutils.dll"), wsim::LoadedLibraryPath("netutils.dll"));
    FreeLibrary(netapi);

    wsim::Reset();
    wsim::MakeDir(kDownloads);
    wsim::PutFile(In(kDownloads, "netutils.dll").c_str(), "planted");
    wsim::SetProgramPath(In(kDownloads, "QWUNINST.EXE").c_str());
    netapi = LoadLibraryExA("C:\\WINNT\\system32\\netapi32.dll", NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    ASSERT_NE((HMODULE)NULL, netapi);
    EXPECT_EQ("C:\\WINNT\\system32\\netutils.dll", wsim::LoadedLibraryPath("netutils.dll"));
    FreeLibrary(netapi);
}

// A system directory that cannot be had is no directory: nothing is loaded
// from the root of the drive, where the DLL's name alone would lead.
TEST_F(DllSearchTest, FailedSystemDirectoryLoadsNothing)
{
    wsim::PutFile("C:\\netapi32.dll", "planted");
    wsim::PutFile("C:\\comctl32.dll", "planted");
    wsim::Fail("GetSystemDirectoryA", "*", ERROR_NOT_ENOUGH_MEMORY);
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(0, RunUninstaller());

    EXPECT_EQ(std::vector<std::string>(), PlantedLoads());
    EXPECT_EQ("", wsim::LoadedLibraryPath("netapi32.dll"));
    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kTextNeedAdmin, boxes[0].text);
    EXPECT_LT(0, wsim::CallCount("GetSystemDirectoryA"));
    ExpectNothingWritten();
    ExpectNothingLeftOpen();
}

class MissingSystemDllTest : public ::testing::Test {
protected:
    void SetUp() override { FreshMachineWithProduct(); }

    static void ExpectAdministratorRefusal()
    {
        auto boxes = wsim::Boxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(kTextNeedAdmin, boxes[0].text);
        EXPECT_EQ((HWND)NULL, boxes[0].owner);
        ExpectNothingWritten();
        ExpectNothingLeftOpen();
    }
};

TEST_F(MissingSystemDllTest, NoAccountServiceRefusesAsForANonAdministrator)
{
    wsim::RemoveSystemLibrary("netapi32.dll");
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(0, RunUninstaller());

    ExpectAdministratorRefusal();
    EXPECT_TRUE(wsim::AccountQueries().empty());
}

// An import of the account service that is missing fails its load too.
TEST_F(MissingSystemDllTest, AccountServiceWithoutItsImportsRefuses)
{
    wsim::RemoveSystemLibrary("samcli.dll");
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(0, RunUninstaller());

    ExpectAdministratorRefusal();
}

TEST_F(MissingSystemDllTest, NoAccountQueryFunctionRefuses)
{
    wsim::Fail("GetProcAddress", "NetUserGetInfo", ERROR_PROC_NOT_FOUND);
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(0, RunUninstaller());

    ExpectAdministratorRefusal();
    EXPECT_TRUE(wsim::AccountQueries().empty());
}

// Without the domain-controller lookup the second query asks this machine
// again, as when there is no domain; a local administrator still passes
// at the first.
TEST_F(MissingSystemDllTest, NoDomainLookupAsksThisMachineTwice)
{
    wsim::SetLocalAccount("Administrator", USER_PRIV_USER);
    wsim::Fail("GetProcAddress", "NetGetDCName", ERROR_PROC_NOT_FOUND);
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(0, RunUninstaller());

    ExpectAdministratorRefusal();
    auto queries = wsim::AccountQueries();
    ASSERT_EQ(2u, queries.size());
    EXPECT_EQ("", queries[0].server);
    EXPECT_EQ("", queries[1].server);
}

// Without comctl32 the progress bar's class is missing and the dialog
// cannot be created: the run ends quietly, with nothing removed.
TEST_F(MissingSystemDllTest, NoCommonControlsEndsWithoutTheDialog)
{
    wsim::RemoveSystemLibrary("comctl32.dll");

    EXPECT_EQ(0, RunUninstaller());

    EXPECT_FALSE(IsWindow(ProgressDialog()));
    EXPECT_TRUE(wsim::Boxes().empty());
    EXPECT_EQ("", wsim::FileContents(LogPath().c_str()));
    EXPECT_TRUE(wsim::KeyExists(kSettingsKey));
    EXPECT_EQ("QWUNINST.EXE", RegSz(kUninstallKey, "UninstallString"));
    ExpectNothingLeftOpen();
}

}  // namespace
