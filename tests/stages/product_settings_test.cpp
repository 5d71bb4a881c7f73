// The third stage against the real registry. Every key that a test creates
// is removed again at its end; values put into keys that were already
// there are deleted one by one.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "stages/stages.h"
#include "support/machine.h"
#include "stages/stage_support.h"

using namespace stage_test;

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE;
const HKEY HKCU = HKEY_CURRENT_USER;
const HKEY HKCR = HKEY_CLASSES_ROOT;

const char kPowerKey[] = "SOFTWARE\\QELVORA\\Power Management";
const char kClassKey[] = "CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QELVORA Wattrix2";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\run";
const char kHandlerKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Power\\shellex\\"
                           "PropertySheetHandlers\\CPL Extension Sample";
const char kHotkeyRunKey[] = "SYSTEM\\CurrentControlSet\\Services\\QvHotkey\\Run";
const char kPowerCfgKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\PowerCfg";
const char kFdcKey[] = "SYSTEM\\CurrentControlSet\\Services\\Fdc\\Parameters";

class ProductSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTestMachine();
        registry_.reset(new RegistryScope);
        g_errorOccurred = 0;
        log_.reset(new ScratchLog);
    }
    void TearDown() override
    {
        log_.reset();
        registry_.reset();
    }

    std::unique_ptr<RegistryScope> registry_;
    std::unique_ptr<ScratchLog> log_;
};

TEST_F(ProductSettingsTest, DeletesTheFourProductTrees)
{
    registry_->PutSz(HKLM, "SOFTWARE\\QELVORA\\Power Management\\Schemes\\Battery", "Name", "b");
    registry_->PutDword(HKLM, kPowerKey, "Version", 2);
    registry_->PutSz(HKCU, "SOFTWARE\\QELVORA\\Power Management\\Window", "Pos", "1,1");
    registry_->PutSz(HKCR, "CLSID\\{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}\\InProcServer32", "", "QWSAVER.CPL");
    registry_->PutSz(HKLM, kUninstallKey, "DisplayName", "QELVORA Wattrix2");

    RemoveProductSettings();

    EXPECT_FALSE(KeyThere(HKLM, kPowerKey));
    EXPECT_FALSE(KeyThere(HKCU, kPowerKey));
    EXPECT_FALSE(KeyThere(HKCR, kClassKey));
    EXPECT_FALSE(KeyThere(HKLM, kUninstallKey));
    EXPECT_EQ(0, g_errorOccurred);
    EXPECT_EQ("", log_->Lines());
}

TEST_F(ProductSettingsTest, NothingToRemoveLogsNothing)
{
    RemoveProductSettings();

    EXPECT_EQ(0, g_errorOccurred);
    EXPECT_EQ("", log_->Lines());
}

TEST_F(ProductSettingsTest, DeletesTheTrayRunValueOnly)
{
    registry_->PutSz(HKLM, kRunKey, "Qwtray", "QWTRAY.EXE");
    registry_->PutSz(HKLM, kRunKey, "QwStagesOther", "other.exe");

    RemoveProductSettings();

    EXPECT_FALSE(ValueThere(HKLM, kRunKey, "Qwtray"));
    EXPECT_TRUE(HasSz(HKLM, kRunKey, "QwStagesOther", "other.exe"));
    EXPECT_EQ(0, g_errorOccurred);
}

TEST_F(ProductSettingsTest, TrayRunValueInOtherCaseStays)
{
    registry_->PutSz(HKLM, kRunKey, "QWTRAY", "QWTRAY.EXE");

    RemoveProductSettings();

    std::vector<std::string> names = ValueNamesOf(HKLM, kRunKey);
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), "QWTRAY"));
    EXPECT_EQ(0, g_errorOccurred);
    EXPECT_EQ("", log_->Lines());
}

TEST_F(ProductSettingsTest, DeletesTheHandlerDefaultValueButNotItsKey)
{
    registry_->PutSz(HKLM, kHandlerKey, "", "{3F8A61C4-2E7B-11d1-9C5D-0000A4E7B210}");
    registry_->PutSz(HKLM, kHandlerKey, "Other", "stays");

    RemoveProductSettings();

    EXPECT_FALSE(ValueThere(HKLM, kHandlerKey, ""));
    EXPECT_TRUE(HasSz(HKLM, kHandlerKey, "Other", "stays"));
    EXPECT_EQ(0, g_errorOccurred);
}

TEST_F(ProductSettingsTest, HandlerKeyWithoutDefaultValueIsLeftAlone)
{
    registry_->PutSz(HKLM, kHandlerKey, "Other", "stays");
    // The key may hold more values from an earlier run on this machine;
    // none of them may go.
    std::vector<std::string> before = ValueNamesOf(HKLM, kHandlerKey);
    EXPECT_NE(before.end(), std::find(before.begin(), before.end(), "Other"));

    RemoveProductSettings();

    EXPECT_EQ(before, ValueNamesOf(HKLM, kHandlerKey));
    EXPECT_EQ(0, g_errorOccurred);
    EXPECT_EQ("", log_->Lines());
}

TEST_F(ProductSettingsTest, DeletesTheFunctionKeyRunValue)
{
    registry_->PutSz(HKLM, kHotkeyRunKey, "QWFnkey", "QWFNKEY.EXE");

    RemoveProductSettings();

    EXPECT_FALSE(ValueThere(HKLM, kHotkeyRunKey, "QWFnkey"));
    EXPECT_TRUE(KeyThere(HKLM, kHotkeyRunKey));
    EXPECT_EQ(0, g_errorOccurred);
}

TEST_F(ProductSettingsTest, SpinDownTimeBecomesTheTextThree)
{
    registry_->PutDword(HKLM, kPowerCfgKey, "DiskSpinDownMin", 20);

    RemoveProductSettings();

    EXPECT_TRUE(HasSz(HKLM, kPowerCfgKey, "DiskSpinDownMin", "3"));
}

TEST_F(ProductSettingsTest, MissingSpinDownTimeIsNotCreated)
{
    registry_->PutSz(HKLM, kPowerCfgKey, "QwStagesOther", "x");

    RemoveProductSettings();

    EXPECT_FALSE(ValueThere(HKLM, kPowerCfgKey, "DiskSpinDownMin"));
}

TEST_F(ProductSettingsTest, FloppyDmaMaskBecomesZero)
{
    registry_->PutDword(HKLM, kFdcKey, "MaskDmaAtWakingUp", 1);

    RemoveProductSettings();

    EXPECT_TRUE(HasDword(HKLM, kFdcKey, "MaskDmaAtWakingUp", 0));
}

TEST_F(ProductSettingsTest, MissingFloppyDmaMaskIsNotCreated)
{
    registry_->PutSz(HKLM, kFdcKey, "QwStagesOther", "x");

    RemoveProductSettings();

    EXPECT_FALSE(ValueThere(HKLM, kFdcKey, "MaskDmaAtWakingUp"));
}

}  // namespace
