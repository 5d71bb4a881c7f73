// What the registry API does at the edges the common functions rely on.
// These run on Windows too, which is how the simulated registry is held to
// the real one.
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "support/machine.h"

namespace {

class RegistryApiTest : public ScratchKeyTest {
protected:

    void SetSz(HKEY key, const char *name, const std::string &text)
    {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)text.c_str(),
                                                (DWORD)text.size() + 1));
    }
    void MakeKey(const std::string &below)
    {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, Key(below).c_str(), 0, NULL, 0, KEY_ALL_ACCESS,
                                                 NULL, &key, NULL));
        RegCloseKey(key);
    }
};

TEST_F(RegistryApiTest, EnumValueWithDataTooLargeLeavesNameAndDataUntouched)
{
    SetSz(key_, "Test", "foobar");
    char name[20], data[20];
    memset(name, 'x', sizeof(name));
    memset(data, 'x', sizeof(data));
    DWORD nameLength = 20, dataLength = 2, type = 1234;

    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(key_, 0, name, &nameLength, NULL, &type, (BYTE *)data, &dataLength));
    EXPECT_EQ(20u, nameLength);
    EXPECT_EQ(7u, dataLength);
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(std::string(20, 'x'), std::string(name, 20));
    EXPECT_EQ(std::string(20, 'x'), std::string(data, 20));
}

TEST_F(RegistryApiTest, EnumValueWithNameTooLongCutsTheNameWhenTheDataFits)
{
    SetSz(key_, "Test", "foobar");
    char name[20], data[20];
    memset(name, 'x', sizeof(name));
    memset(data, 'x', sizeof(data));
    DWORD nameLength = 3, dataLength = 20;

    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(key_, 0, name, &nameLength, NULL, NULL, (BYTE *)data, &dataLength));
    EXPECT_EQ(3u, nameLength);
    EXPECT_EQ(7u, dataLength);
    EXPECT_STREQ("Te", name);
    EXPECT_STREQ("foobar", data);
}

TEST_F(RegistryApiTest, EnumValueWithoutDataBufferGivesNameAndDataSize)
{
    SetSz(key_, "Test", std::string(300, 'a'));
    char name[20];
    memset(name, 'x', sizeof(name));
    DWORD nameLength = 20, dataLength = 0;

    EXPECT_EQ(ERROR_SUCCESS, RegEnumValueA(key_, 0, name, &nameLength, NULL, NULL, NULL, &dataLength));
    EXPECT_STREQ("Test", name);
    EXPECT_EQ(4u, nameLength);
    EXPECT_EQ(301u, dataLength);
}

// Windows lists values in the order they were created; Wine sorts them, so
// the order itself is held to in the simulated machine's own tests.
TEST_F(RegistryApiTest, EnumValueListsEachValueOnceAndEndsWithNoMoreItems)
{
    SetSz(key_, "zeta", "1");
    SetSz(key_, "Alpha", "2");
    SetSz(key_, "", "3");
    SetSz(key_, "ZETA", "4");
    std::set<std::string> names;
    for (DWORD i = 0; i < 3; i++) {
        char name[20];
        DWORD nameLength = 20;
        ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(key_, i, name, &nameLength, NULL, NULL, NULL, NULL)) << i;
        names.insert(name);
    }
    EXPECT_EQ((std::set<std::string>{"", "Alpha", "zeta"}), names);
    char name[20];
    DWORD nameLength = 20;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueA(key_, 3, name, &nameLength, NULL, NULL, NULL, NULL));
}

TEST_F(RegistryApiTest, EnumKeyListsSubkeysAlphabeticallyWithoutRegardToCase)
{
    MakeKey("beta");
    MakeKey("Gamma");
    MakeKey("alpha");
    MakeKey("Beta2");
    const char *expected[] = {"alpha", "beta", "Beta2", "Gamma"};
    for (DWORD i = 0; i < 4; i++) {
        char name[MAX_PATH];
        DWORD nameLength = MAX_PATH;
        ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExA(key_, i, name, &nameLength, NULL, NULL, NULL, NULL)) << i;
        EXPECT_STREQ(expected[i], name);
        EXPECT_EQ(strlen(expected[i]), nameLength);
    }
    char name[MAX_PATH];
    DWORD nameLength = MAX_PATH;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExA(key_, 4, name, &nameLength, NULL, NULL, NULL, NULL));
}

TEST_F(RegistryApiTest, EnumKeyWithNameTooLongLeavesTheBuffer)
{
    MakeKey("LongerName");
    char name[8];
    memset(name, 'x', sizeof(name));
    DWORD nameLength = 8;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExA(key_, 0, name, &nameLength, NULL, NULL, NULL, NULL));
    EXPECT_EQ(std::string(8, 'x'), std::string(name, 8));
}

TEST_F(RegistryApiTest, DeleteKeyRefusesAKeyThatHasSubkeys)
{
    MakeKey("Parent\\Child");
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_CURRENT_USER, Key("Parent").c_str()));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, Key("Parent\\Child").c_str()));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, Key("Parent").c_str()));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(HKEY_CURRENT_USER, Key("Parent").c_str()));
}

TEST_F(RegistryApiTest, KeyAndValueNamesMatchWithoutRegardToCaseAndKeepTheirCase)
{
    MakeKey("MixedCase");
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, Key("MIXEDcase").c_str(), 0, KEY_ALL_ACCESS, &key));
    SetSz(key, "DisplayName", "x");
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "displayname", NULL, NULL, NULL, &size));
    EXPECT_EQ(2u, size);
    RegCloseKey(key);

    char name[MAX_PATH];
    DWORD nameLength = MAX_PATH;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExA(key_, 0, name, &nameLength, NULL, NULL, NULL, NULL));
    EXPECT_STREQ("MixedCase", name);
}

TEST_F(RegistryApiTest, CreateKeyCreatesEveryMissingKeyOnThePath)
{
    HKEY key;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, Key("A\\B\\C").c_str(), 0, NULL, 0, KEY_ALL_ACCESS,
                                             NULL, &key, &disposition));
    EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disposition);
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, Key("A\\B").c_str(), 0, NULL, 0, KEY_ALL_ACCESS,
                                             NULL, &key, &disposition));
    EXPECT_EQ((DWORD)REG_OPENED_EXISTING_KEY, disposition);
    RegCloseKey(key);
}

TEST_F(RegistryApiTest, OpenKeyOfAMissingKeyFailsWithFileNotFound)
{
    HKEY key = (HKEY)1;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, Key("Missing").c_str(), 0, KEY_READ, &key));
}

TEST_F(RegistryApiTest, HandleOfADeletedKeyReportsKeyDeleted)
{
    MakeKey("Doomed");
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, Key("Doomed").c_str(), 0, KEY_ALL_ACCESS, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, Key("Doomed").c_str()));
    char name[MAX_PATH];
    DWORD nameLength = MAX_PATH;
    EXPECT_EQ(ERROR_KEY_DELETED, RegEnumValueA(key, 0, name, &nameLength, NULL, NULL, NULL, NULL));
    nameLength = MAX_PATH;
    EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyExA(key, 0, name, &nameLength, NULL, NULL, NULL, NULL));
    BYTE one = 1;
    EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExA(key, "v", 0, REG_BINARY, &one, 1));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST_F(RegistryApiTest, WritingThroughAReadOnlyHandleIsDenied)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, Key().c_str(), 0, KEY_READ, &key));
    BYTE one = 1;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(key, "v", 0, REG_BINARY, &one, 1));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(key, "v"));
    RegCloseKey(key);
}

TEST_F(RegistryApiTest, QueryValueWithBufferTooSmallGivesTheSizeNeeded)
{
    SetSz(key_, "", "default");
    char data[4];
    memset(data, 'x', sizeof(data));
    DWORD size = sizeof(data), type = 0;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key_, "", NULL, &type, (BYTE *)data, &size));
    EXPECT_EQ(8u, size);
    EXPECT_EQ((DWORD)REG_SZ, type);
    size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key_, "other", NULL, NULL, NULL, &size));
}

}  // namespace
