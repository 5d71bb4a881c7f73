// The number writers when the registry refuses them: a key that cannot be
// created or opened, and a write that is refused, each give 0 and leave
// no value and no open handle behind.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "support/machine.h"
#include "winsim.h"

namespace {

const char kKey[] = "SOFTWARE\\QwNumbers";
const char kFullKey[] = "HKLM\\SOFTWARE\\QwNumbers";

class WriteFaultsSimTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTestMachine(); }
    void TearDown() override { EXPECT_EQ(0, wsim::OpenKeyHandles()); }
};

TEST_F(WriteFaultsSimTest, NumberIntoAKeyThatCannotBeCreatedFails)
{
    wsim::Fail("RegCreateKeyExA", kFullKey, ERROR_ACCESS_DENIED);

    EXPECT_EQ(0, Co_SetCreateValueNum(HKEY_LOCAL_MACHINE, kKey, "Count", 7));

    EXPECT_FALSE(wsim::KeyExists(kFullKey));
    EXPECT_EQ(0, wsim::CallCount("RegSetValueExA"));
}

TEST_F(WriteFaultsSimTest, NumberIntoAKeyThatCannotBeOpenedFails)
{
    wsim::CreateKey(kFullKey);
    wsim::Fail("RegOpenKeyExA", kFullKey, ERROR_ACCESS_DENIED);

    EXPECT_EQ(0, Co_SetValueNum(HKEY_LOCAL_MACHINE, kKey, "Count", 7));

    EXPECT_FALSE(wsim::GetValue(kFullKey, "Count", NULL, NULL));
    EXPECT_EQ(0, wsim::CallCount("RegSetValueExA"));
}

TEST_F(WriteFaultsSimTest, RefusedNumberWriteClosesTheKeyAndKeepsTheOldValue)
{
    wsim::PutDword(kFullKey, "Count", 3);
    wsim::Fail("RegSetValueExA", (std::string(kFullKey) + "|Count").c_str(), ERROR_ACCESS_DENIED);

    EXPECT_EQ(0, Co_SetValueNum(HKEY_LOCAL_MACHINE, kKey, "Count", 7));

    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(wsim::GetValue(kFullKey, "Count", &type, &data));
    EXPECT_EQ(std::string("\x03\0\0\0", 4), data);
    EXPECT_EQ(1, wsim::CallCount("RegCloseKey"));
}

}  // namespace
