// Registry value lookup against the real registry API.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "support/machine.h"

namespace {

class RegLookupTest : public ScratchTest {
protected:
    void Put(const char *name, DWORD type, const void *data, DWORD size)
    {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, Key().c_str(), 0, KEY_SET_VALUE, &key));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, (const BYTE *)data, size));
        RegCloseKey(key);
    }
    void PutSz(const char *name, const std::string &text) { Put(name, REG_SZ, text.c_str(), (DWORD)text.size() + 1); }
    void PutDword(const char *name, DWORD number) { Put(name, REG_DWORD, &number, 4); }

    int GetNum(const char *name, DWORD *number)
    {
        return Co_GetRegValueNum(HKEY_CURRENT_USER, Key().c_str(), name, number);
    }
    int GetSz(const char *name, char *text) { return Co_GetRegValueSz(HKEY_CURRENT_USER, Key().c_str(), name, text); }
};

TEST_F(RegLookupTest, EmptyNameFindsTheDefaultValueOnlyWhenItIsSet)
{
    PutSz("Other", "o");
    char text[MAX_PATH] = "before";
    EXPECT_EQ(0, GetSz("", text));
    EXPECT_STREQ("before", text);
    PutSz("", "default text");
    EXPECT_EQ(1, GetSz("", text));
    EXPECT_STREQ("default text", text);
}

TEST_F(RegLookupTest, NamesCompareWithLetterCase)
{
    PutSz("DisplayName", "QELVORA Wattrix2");
    char text[MAX_PATH] = "unchanged";
    EXPECT_EQ(0, GetSz("displayname", text));
    EXPECT_STREQ("unchanged", text);
    EXPECT_EQ(1, GetSz("DisplayName", text));
    EXPECT_STREQ("QELVORA Wattrix2", text);
}

TEST_F(RegLookupTest, NumberIsTheFirstFourDataBytesWhateverTheType)
{
    PutSz("Text", "3");
    BYTE five = 5;
    Put("Binary", REG_BINARY, &five, 1);
    Put("Empty", REG_NONE, NULL, 0);
    PutDword("Dword", 0x12345678);
    DWORD number = 99;
    EXPECT_EQ(1, GetNum("Text", &number));
    EXPECT_EQ(0x33u, number);
    EXPECT_EQ(1, GetNum("Binary", &number));
    EXPECT_EQ(5u, number);
    EXPECT_EQ(1, GetNum("Empty", &number));
    EXPECT_EQ(0u, number);
    EXPECT_EQ(1, GetNum("Dword", &number));
    EXPECT_EQ(0x12345678u, number);
}

TEST_F(RegLookupTest, TextIsTheDataUpToTheFirstNulWhateverTheType)
{
    PutDword("Three", 3);
    PutDword("Zero", 0);
    char text[MAX_PATH];
    EXPECT_EQ(1, GetSz("Three", text));
    EXPECT_STREQ("\x03", text);
    EXPECT_EQ(1, GetSz("Zero", text));
    EXPECT_STREQ("", text);
}

TEST_F(RegLookupTest, MissingKeyGivesZeroAndAZeroNumber)
{
    DWORD number = 1234;
    EXPECT_EQ(0, Co_GetRegValueNum(HKEY_CURRENT_USER, Key("Missing").c_str(), "Value", &number));
    EXPECT_EQ(0u, number);
    char text[MAX_PATH] = "kept";
    EXPECT_EQ(0, Co_GetRegValueSz(HKEY_CURRENT_USER, Key("Missing").c_str(), "Value", text));
    EXPECT_STREQ("kept", text);
}

TEST_F(RegLookupTest, MissingValueGivesZeroAndLeavesTheOutputs)
{
    DWORD number = 1234;
    EXPECT_EQ(0, GetNum("Value", &number));
    EXPECT_EQ(0u, number);
    PutSz("Some", "x");
    char text[MAX_PATH] = "kept";
    EXPECT_EQ(0, GetSz("Value", text));
    EXPECT_STREQ("kept", text);
}

// Windows leaves the name buffer untouched when a value's data does not fit
// into the lookup's 260 bytes; such a value must not pass for the default
// value, and is still found under its own name.
TEST_F(RegLookupTest, ValueWithLargeDataIsNotTakenForTheDefaultValue)
{
    PutSz("Large", std::string(400, 'L'));
    char text[MAX_PATH] = "kept";
    EXPECT_EQ(0, GetSz("", text));
    EXPECT_STREQ("kept", text);
    DWORD number = 7;
    EXPECT_EQ(0, GetNum("", &number));
    EXPECT_EQ(0u, number);
}

TEST_F(RegLookupTest, ValueWithLargeDataIsFoundAndCutToFitTheCallersBuffer)
{
    PutSz("", "the default");
    PutSz("Large", std::string(400, 'L'));
    char text[MAX_PATH + 8];
    memset(text, 'x', sizeof(text));
    EXPECT_EQ(1, GetSz("Large", text));
    EXPECT_EQ(std::string(MAX_PATH - 1, 'L'), text);
    EXPECT_EQ('x', text[MAX_PATH]);
    DWORD number = 0;
    EXPECT_EQ(1, GetNum("Large", &number));
    EXPECT_EQ(0x4C4C4C4Cu, number);
    EXPECT_EQ(1, GetSz("", text));
    EXPECT_STREQ("the default", text);
}

TEST_F(RegLookupTest, TextOfExactlyTheBufferSizeWithoutNulIsCutToFit)
{
    std::string full(MAX_PATH, 'F');
    Put("Full", REG_BINARY, full.data(), MAX_PATH);
    char text[MAX_PATH + 8];
    memset(text, 'x', sizeof(text));
    EXPECT_EQ(1, GetSz("Full", text));
    EXPECT_EQ(std::string(MAX_PATH - 1, 'F'), text);
    EXPECT_EQ('x', text[MAX_PATH]);
}

}  // namespace
