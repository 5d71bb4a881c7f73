// The third stage when single registry calls fail. Everything that the
// stage touches is present; each test breaks one call and checks the flag,
// the log bytes, and that every other operation still did its work.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>
#include <winsim.h>

#include "stages/stages.h"
#include "support/machine.h"
#include "stages/stage_support.h"

using namespace stage_test;

namespace {

// NtDeleteKey reports an NTSTATUS.
const DWORD kStatusAccessDenied = 0xC0000022;

// Each tree as the log names it, and as the machine names it.
struct Tree {
    const char *logged;
    const char *full;
};
const Tree kTrees[] = {
    {"SOFTWARE\\QELVORA\\Power Management", "HKLM\\SOFTWARE\\QELVORA\\Power Management"},
    {"SOFTWARE\\QELVORA\\Power Management", "HKCU\\SOFTWARE\\QELVORA\\Power Management"},
    {"CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}", "HKLM\\SOFTWARE\\Classes\\CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}"},
    {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QELVORA Wattrix2",
     "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QELVORA Wattrix2"},
};

struct Value {
    const char *key;
    const char *name;
};
const Value kValues[] = {
    {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\run", "Qwtray"},
    {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Power\\shellex\\"
     "PropertySheetHandlers\\CPL Extension Sample",
     ""},
    {"HKLM\\SYSTEM\\CurrentControlSet\\Services\\QvHotkey\\Run", "QWFnkey"},
};

const char kPowerCfgKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\PowerCfg";
const char kFdcKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Fdc\\Parameters";

std::string Data(const char *key, const char *name, DWORD *type)
{
    std::string data;
    *type = REG_NONE;
    if (!wsim::GetValue(key, name, type, &data))
        return "<missing>";
    return data;
}

std::string DwordBytes(DWORD number)
{
    return std::string((const char *)&number, 4);
}

class ProductSettingsSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTestMachine();
        g_errorOccurred = 0;
        for (const Tree &tree : kTrees) {
            wsim::PutSz(tree.full, "Top", "t");
            wsim::PutSz((std::string(tree.full) + "\\Sub").c_str(), "Inner", "i");
        }
        for (const Value &value : kValues)
            wsim::PutSz(value.key, value.name, "product");
        wsim::PutSz(kValues[1].key, "Other", "stays");
        wsim::PutDword(kPowerCfgKey, "DiskSpinDownMin", 20);
        wsim::PutDword(kFdcKey, "MaskDmaAtWakingUp", 1);
        OpenUninstallLog("QWUNLOG.LOG");
    }
    void TearDown() override { CloseUninstallLog(); }

    std::string Log()
    {
        CloseUninstallLog();
        return wsim::FileContents(g_logPath);
    }

    // Every operation but the broken one did its work.
    void ExpectOtherOperationsDone(int brokenTree, int brokenValue, int brokenSetting)
    {
        for (int i = 0; i < 4; i++) {
            if (i == brokenTree)
                continue;
            EXPECT_FALSE(wsim::KeyExists(kTrees[i].full)) << kTrees[i].full;
        }
        for (int i = 0; i < 3; i++) {
            if (i == brokenValue)
                continue;
            DWORD type;
            EXPECT_EQ("<missing>", Data(kValues[i].key, kValues[i].name, &type)) << kValues[i].name;
        }
        DWORD type;
        EXPECT_EQ("stays", std::string(Data(kValues[1].key, "Other", &type).c_str()));
        if (brokenSetting != 0) {
            EXPECT_EQ(std::string("3", 2), Data(kPowerCfgKey, "DiskSpinDownMin", &type));
            EXPECT_EQ((DWORD)REG_SZ, type);
        }
        if (brokenSetting != 1) {
            EXPECT_EQ(DwordBytes(0), Data(kFdcKey, "MaskDmaAtWakingUp", &type));
            EXPECT_EQ((DWORD)REG_DWORD, type);
        }
    }
};

TEST_F(ProductSettingsSimTest, RunWithoutFailures)
{
    RemoveProductSettings();

    EXPECT_EQ("", Log());
    EXPECT_EQ(0, g_errorOccurred);
    ExpectOtherOperationsDone(-1, -1, -1);
    EXPECT_EQ(0, wsim::OpenKeyHandles());
}

TEST_F(ProductSettingsSimTest, RefusedSubkeyDeletionIsReportedWithTheTreePath)
{
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(kTrees[i].full);
        TearDown();
        SetUp();
        std::string sub = std::string(kTrees[i].full) + "\\Sub";
        wsim::Fail("NtDeleteKey", sub.c_str(), kStatusAccessDenied);

        RemoveProductSettings();

        EXPECT_EQ(LogLine(kTrees[i].logged, kDeleteKeyText), Log());
        EXPECT_EQ(1, g_errorOccurred);
        EXPECT_TRUE(wsim::KeyExists(sub.c_str()));
        ExpectOtherOperationsDone(i, -1, -1);
    }
}

TEST_F(ProductSettingsSimTest, RefusedValueDeletionIsReportedWithTheValueName)
{
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(kValues[i].name);
        TearDown();
        SetUp();
        std::string target = std::string(kValues[i].key) + "|" + kValues[i].name;
        wsim::Fail("RegDeleteValueA", target.c_str(), ERROR_ACCESS_DENIED);

        RemoveProductSettings();

        EXPECT_EQ(LogLine(kValues[i].name, kDeleteValueText), Log());
        EXPECT_EQ(1, g_errorOccurred);
        DWORD type;
        EXPECT_EQ(std::string("product", 8), Data(kValues[i].key, kValues[i].name, &type));
        ExpectOtherOperationsDone(-1, i, -1);
    }
}

TEST_F(ProductSettingsSimTest, RefusedSpinDownWriteIsSilent)
{
    wsim::Fail("RegSetValueExA", (std::string(kPowerCfgKey) + "|DiskSpinDownMin").c_str(), ERROR_ACCESS_DENIED);

    RemoveProductSettings();

    EXPECT_EQ("", Log());
    EXPECT_EQ(0, g_errorOccurred);
    DWORD type;
    EXPECT_EQ(DwordBytes(20), Data(kPowerCfgKey, "DiskSpinDownMin", &type));
    ExpectOtherOperationsDone(-1, -1, 0);
}

TEST_F(ProductSettingsSimTest, RefusedFloppyDmaWriteIsSilent)
{
    wsim::Fail("RegSetValueExA", (std::string(kFdcKey) + "|MaskDmaAtWakingUp").c_str(), ERROR_ACCESS_DENIED);

    RemoveProductSettings();

    EXPECT_EQ("", Log());
    EXPECT_EQ(0, g_errorOccurred);
    DWORD type;
    EXPECT_EQ(DwordBytes(1), Data(kFdcKey, "MaskDmaAtWakingUp", &type));
    ExpectOtherOperationsDone(-1, -1, 1);
}

TEST_F(ProductSettingsSimTest, EarlierFailureFlagIsKept)
{
    g_errorOccurred = 1;

    RemoveProductSettings();

    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_EQ("", Log());
}

const char kUserClassKey[] = "HKCU\\Software\\Classes\\CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}";

// Through HKEY_CLASSES_ROOT the user's own copy hides the machine's
// registration; both go.
TEST_F(ProductSettingsSimTest, UserCopyOfTheClassDoesNotHideTheMachinesRegistration)
{
    wsim::PutSz((std::string(kUserClassKey) + "\\InprocServer32").c_str(), "", "user's");
    HKEY seen;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}\\InprocServer32",
                                           0, KEY_QUERY_VALUE, &seen));
    char data[16] = "";
    DWORD size = sizeof(data);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(seen, "", NULL, NULL, (LPBYTE)data, &size));
    EXPECT_STREQ("user's", data);
    RegCloseKey(seen);

    RemoveProductSettings();

    EXPECT_FALSE(wsim::KeyExists(kUserClassKey));
    EXPECT_EQ("", Log());
    EXPECT_EQ(0, g_errorOccurred);
    ExpectOtherOperationsDone(-1, -1, 0);
}

// Either copy that stays gives the one line that names the class.
TEST_F(ProductSettingsSimTest, UserCopyThatStaysIsReportedAsTheClass)
{
    std::string sub = std::string(kUserClassKey) + "\\Sub";
    wsim::CreateKey(sub.c_str());
    wsim::Fail("NtDeleteKey", sub.c_str(), kStatusAccessDenied);

    RemoveProductSettings();

    EXPECT_EQ(LogLine("CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}", kDeleteKeyText), Log());
    EXPECT_EQ(1, g_errorOccurred);
    EXPECT_TRUE(wsim::KeyExists(sub.c_str()));
    ExpectOtherOperationsDone(-1, -1, 0);
}

// A link that the user planted in the user's tree, or the tree's key made
// a link, leads into the user's own hive alone (links into the machine's
// are refused by Windows); it is deleted as the link, and what it names
// stays whole.
TEST_F(ProductSettingsSimTest, LinksInTheUsersTreeGoWithoutWhatTheyName)
{
    const char kTarget[] = "HKCU\\Software\\Kept";
    wsim::PutSz((std::string(kTarget) + "\\Deep").c_str(), "v", "kept");
    wsim::PutRegistryLink((std::string(kTrees[1].full) + "\\Link").c_str(), kTarget);

    RemoveProductSettings();

    EXPECT_TRUE(wsim::KeyExists((std::string(kTarget) + "\\Deep").c_str()));
    EXPECT_EQ("", Log());
    EXPECT_EQ(0, g_errorOccurred);
    ExpectOtherOperationsDone(-1, -1, 0);

    wsim::PutRegistryLink(kTrees[1].full, kTarget);
    RemoveProductSettings();
    EXPECT_FALSE(wsim::KeyExists(kTrees[1].full));
    EXPECT_TRUE(wsim::KeyExists((std::string(kTarget) + "\\Deep").c_str()));

    // A link that may be deleted but not opened for the walk.
    wsim::PutRegistryLink(kTrees[1].full, kTarget);
    wsim::Fail("RegOpenKeyExA", kTrees[1].full, ERROR_ACCESS_DENIED, 1);
    RemoveProductSettings();
    EXPECT_FALSE(wsim::KeyExists(kTrees[1].full));
    EXPECT_TRUE(wsim::KeyExists((std::string(kTarget) + "\\Deep").c_str()));
}

}  // namespace
