// Registry value lookup on the simulated machine: failures injected into
// the registry, Japanese names, and what the lookups leave behind.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "support/machine.h"
#include "winsim.h"

namespace {

const char kKey[] = "SOFTWARE\\QwLookup";
const char kFullKey[] = "HKLM\\SOFTWARE\\QwLookup";

class RegLookupSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTestMachine();
        wsim::PutSz(kFullKey, "First", "1");
        wsim::PutSz(kFullKey, "Second", "2");
        wsim::PutSz(kFullKey, "Third", "3");
    }
};

TEST_F(RegLookupSimTest, EnumerationErrorEndsTheWalkWithZero)
{
    wsim::Fail("RegEnumValueA", "HKLM\\SOFTWARE\\QwLookup#1", ERROR_KEY_DELETED);
    char text[MAX_PATH] = "kept";
    EXPECT_EQ(0, Co_GetRegValueSz(HKEY_LOCAL_MACHINE, kKey, "Third", text));
    EXPECT_STREQ("kept", text);
    EXPECT_EQ(2, wsim::CallCount("RegEnumValueA"));
    EXPECT_EQ(0, wsim::OpenKeyHandles());
}

TEST_F(RegLookupSimTest, KeyThatCannotBeOpenedGivesZeroWithoutEnumerating)
{
    wsim::Fail("RegOpenKeyExA", kFullKey, ERROR_ACCESS_DENIED);
    DWORD number = 5;
    EXPECT_EQ(0, Co_GetRegValueNum(HKEY_LOCAL_MACHINE, kKey, "First", &number));
    EXPECT_EQ(0u, number);
    EXPECT_EQ(0, wsim::CallCount("RegEnumValueA"));
    EXPECT_EQ(0, wsim::CallCount("RegCloseKey"));
}

TEST_F(RegLookupSimTest, KeyWithoutValuesTakesOneEnumeration)
{
    wsim::CreateKey("HKLM\\SOFTWARE\\QwEmpty");
    DWORD number = 5;
    EXPECT_EQ(0, Co_GetRegValueNum(HKEY_LOCAL_MACHINE, "SOFTWARE\\QwEmpty", "", &number));
    EXPECT_EQ(1, wsim::CallCount("RegEnumValueA"));
    EXPECT_EQ(1, wsim::CallCount("RegCloseKey"));
    EXPECT_EQ(0, wsim::OpenKeyHandles());
}

TEST_F(RegLookupSimTest, LargeValueThatCannotBeReadIsNotFound)
{
    wsim::PutSz(kFullKey, "Large", std::string(1000, 'L').c_str());
    wsim::Fail("VirtualAlloc", "*", ERROR_NOT_ENOUGH_MEMORY);
    char text[MAX_PATH] = "kept";
    EXPECT_EQ(0, Co_GetRegValueSz(HKEY_LOCAL_MACHINE, kKey, "Large", text));
    EXPECT_STREQ("kept", text);
    EXPECT_EQ(0, wsim::OpenKeyHandles());
}

TEST_F(RegLookupSimTest, LargeValueIsReadThroughMemoryThatIsGivenBack)
{
    wsim::PutSz(kFullKey, "Large", (std::string(300, 'a') + "tail").c_str());
    char text[MAX_PATH];
    EXPECT_EQ(1, Co_GetRegValueSz(HKEY_LOCAL_MACHINE, kKey, "Large", text));
    EXPECT_EQ(std::string(259, 'a'), text);
    EXPECT_EQ(1, wsim::CallCount("VirtualAlloc"));
    EXPECT_EQ(0, wsim::LiveAllocations());
    EXPECT_EQ(0, wsim::OpenKeyHandles());
}

// The name "表" ends in the byte 0x5C in code page 932; it is one character,
// and the lookup compares its bytes like any other name.
TEST_F(RegLookupSimTest, JapaneseNamesAreComparedByteForByte)
{
    ResetTestMachine(true);
    const char table[] = "\x95\x5c";        // 表
    const char tableKey[] = "\x95\x5c\x8e\xa6";  // 表示
    std::string path = std::string("HKLM\\SOFTWARE\\") + table;
    wsim::PutSz(path.c_str(), tableKey, "\x90\xdd\x92\xe8");  // 設定
    char text[MAX_PATH];
    EXPECT_EQ(1, Co_GetRegValueSz(HKEY_LOCAL_MACHINE, (std::string("SOFTWARE\\") + table).c_str(), tableKey, text));
    EXPECT_STREQ("\x90\xdd\x92\xe8", text);
    EXPECT_EQ(0, Co_GetRegValueSz(HKEY_LOCAL_MACHINE, (std::string("SOFTWARE\\") + table).c_str(), table, text));
}

}  // namespace
