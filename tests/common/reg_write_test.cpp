// Registry writing and key removal against the real registry API.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "support/machine.h"

namespace {

class RegWriteTest : public ScratchTest {
protected:
    bool KeyThere(const std::string &path)
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    // The value's type and data, or false when it is not there.
    bool Value(const std::string &keyPath, const char *name, DWORD *type, std::string *data)
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        char buffer[MAX_PATH];
        DWORD size = sizeof(buffer);
        LONG result = RegQueryValueExA(key, name, NULL, type, (BYTE *)buffer, &size);
        RegCloseKey(key);
        if (result != ERROR_SUCCESS)
            return false;
        data->assign(buffer, size);
        return true;
    }
    void MakeKey(const std::string &below)
    {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, Key(below).c_str(), 0, NULL, 0, KEY_ALL_ACCESS,
                                                 NULL, &key, NULL));
        RegCloseKey(key);
    }
};

TEST_F(RegWriteTest, SetValueSzOnAMissingKeyFailsAndCreatesNothing)
{
    EXPECT_EQ(0, Co_SetValueSz(HKEY_CURRENT_USER, Key("A\\B").c_str(), "Name", "text"));
    EXPECT_FALSE(KeyThere(Key("A")));
}

TEST_F(RegWriteTest, SetCreateValueSzCreatesTheKeyAndEveryKeyAboveIt)
{
    EXPECT_EQ(1, Co_SetCreateValueSz(HKEY_CURRENT_USER, Key("A\\B").c_str(), "Name", "text"));
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(Value(Key("A\\B"), "Name", &type, &data));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(std::string("text", 5), data);
}

TEST_F(RegWriteTest, EmptyTextIsStoredAsOneNulByte)
{
    EXPECT_EQ(1, Co_SetValueSz(HKEY_CURRENT_USER, Key().c_str(), "", ""));
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(Value(Key(), "", &type, &data));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(std::string(1, '\0'), data);
}

TEST_F(RegWriteTest, NumbersAreStoredAsFourBytesAndReadBack)
{
    EXPECT_EQ(1, Co_SetValueNum(HKEY_CURRENT_USER, Key().c_str(), "One", 0x01020304));
    EXPECT_EQ(1, Co_SetCreateValueNum(HKEY_CURRENT_USER, Key("New").c_str(), "Two", 0xFFFFFFFE));
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(Value(Key(), "One", &type, &data));
    EXPECT_EQ((DWORD)REG_DWORD, type);
    EXPECT_EQ(std::string("\x04\x03\x02\x01", 4), data);
    DWORD number = 0;
    EXPECT_EQ(1, Co_GetRegValueNum(HKEY_CURRENT_USER, Key("New").c_str(), "Two", &number));
    EXPECT_EQ(0xFFFFFFFEu, number);
}

TEST_F(RegWriteTest, SetValueSzReplacesAValueOfAnotherType)
{
    ASSERT_EQ(1, Co_SetValueNum(HKEY_CURRENT_USER, Key().c_str(), "Mixed", 3));
    EXPECT_EQ(1, Co_SetValueSz(HKEY_CURRENT_USER, Key().c_str(), "Mixed", "now text"));
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(Value(Key(), "Mixed", &type, &data));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(std::string("now text", 9), data);
}

TEST_F(RegWriteTest, DeleteRegValueRemovesOnlyAnExistingValue)
{
    ASSERT_EQ(1, Co_SetValueSz(HKEY_CURRENT_USER, Key().c_str(), "Gone", "x"));
    EXPECT_EQ(1, Co_DeleteRegValue(HKEY_CURRENT_USER, Key().c_str(), "Gone"));
    DWORD type;
    std::string data;
    EXPECT_FALSE(Value(Key(), "Gone", &type, &data));
    EXPECT_EQ(0, Co_DeleteRegValue(HKEY_CURRENT_USER, Key().c_str(), "Gone"));
    EXPECT_EQ(0, Co_DeleteRegValue(HKEY_CURRENT_USER, Key("Missing").c_str(), "Gone"));
}

TEST_F(RegWriteTest, DeleteRegNodeOnAMissingKeySucceedsAndChangesNothing)
{
    MakeKey("Sibling");
    EXPECT_EQ(1, Co_DeleteRegNode(HKEY_CURRENT_USER, Key("Missing").c_str()));
    EXPECT_TRUE(KeyThere(Key("Sibling")));
}

TEST_F(RegWriteTest, DeleteRegNodeRefusesANullOrEmptyPath)
{
    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_CURRENT_USER, NULL));
    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_CURRENT_USER, ""));
    EXPECT_TRUE(KeyThere(Key()));
}

TEST_F(RegWriteTest, DeleteRegNodeDeletesALeafKey)
{
    MakeKey("Leaf");
    ASSERT_EQ(1, Co_SetValueSz(HKEY_CURRENT_USER, Key("Leaf").c_str(), "v", "x"));
    EXPECT_EQ(1, Co_DeleteRegNode(HKEY_CURRENT_USER, Key("Leaf").c_str()));
    EXPECT_FALSE(KeyThere(Key("Leaf")));
    EXPECT_TRUE(KeyThere(Key()));
}

TEST_F(RegWriteTest, DeleteRegNodeDeletesAWholeTree)
{
    const char *const keys[] = {"Tree\\A\\A1\\A1a", "Tree\\A\\A1\\A1b", "Tree\\A\\A2", "Tree\\B\\B1\\B1a",
                                "Tree\\b2",       "Tree\\C",          "Tree\\C\\c1\\x"};
    for (const char *key : keys)
        MakeKey(key);
    ASSERT_EQ(1, Co_SetValueSz(HKEY_CURRENT_USER, Key("Tree\\A\\A1\\A1a").c_str(), "v", "x"));
    MakeKey("TreeNext");

    EXPECT_EQ(1, Co_DeleteRegNode(HKEY_CURRENT_USER, Key("Tree").c_str()));
    EXPECT_FALSE(KeyThere(Key("Tree")));
    EXPECT_TRUE(KeyThere(Key("TreeNext")));
}

}  // namespace
