// Behaviours where the simulated Windows once differed from Wine and
// Windows, each pinned down on its own. They run against both.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "support/machine.h"

namespace {

class FoundRegistryTest : public ScratchKeyTest {};

TEST_F(FoundRegistryTest, RepeatedBackslashesInAKeyPathCountAsOne)
{
    HKEY created, opened;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(key_, "Outer\\\\Inner\\\\", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &created,
                                             &disposition));
    EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disposition);
    const BYTE one[] = {1, 0, 0, 0};
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(created, "n", 0, REG_DWORD, one, sizeof(one)));
    RegCloseKey(created);

    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key_, "Outer\\Inner", 0, KEY_READ, &opened));
    DWORD type = 0, size = 4;
    BYTE data[4] = {0};
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(opened, "n", NULL, &type, data, &size));
    EXPECT_EQ(1, data[0]);
    RegCloseKey(opened);

    HKEY root;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key_, "Outer", 0, KEY_READ, &root));
    DWORD subKeys = 0;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryInfoKeyA(root, NULL, NULL, NULL, &subKeys, NULL, NULL, NULL, NULL, NULL, NULL, NULL));
    EXPECT_EQ(1u, subKeys);
    RegCloseKey(root);
}

TEST_F(FoundRegistryTest, LeadingBackslashInAKeyPathIsBad)
{
    HKEY key = (HKEY)(ULONG_PTR)0xdeadbeef;
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegCreateKeyExA(key_, "\\Outer", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
}

TEST_F(FoundRegistryTest, HandleOpenedToReadCreatesSubkeys)
{
    HKEY reader, child;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, Key().c_str(), 0, KEY_READ, &reader));
    DWORD disposition = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(reader, "Child", 0, NULL, 0, KEY_READ, NULL, &child, &disposition));
    EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disposition);
    RegCloseKey(child);
    RegCloseKey(reader);
}

TEST_F(FoundRegistryTest, SizeQueryOfMissingValueReportsZero)
{
    DWORD type = 0xdeadbeef, size = 0xdeadbeef;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key_, "Missing", NULL, &type, NULL, &size));
    EXPECT_EQ(0u, size);
}

TEST_F(FoundRegistryTest, ReadOfMissingValueLeavesSizeAlone)
{
    BYTE data[10];
    memset(data, 0xAA, sizeof(data));
    DWORD size = sizeof(data);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key_, "Missing", NULL, NULL, data, &size));
    EXPECT_EQ(sizeof(data), size);
    EXPECT_EQ(0xAA, data[0]);
}

// A string whose size leaves out the NUL that follows it is stored with
// the NUL; one whose size stops short of a non-NUL byte is stored as
// given.
TEST_F(FoundRegistryTest, StringSetWithoutItsNulGetsTheNulThatFollows)
{
    static const char text[] = "FullString";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key_, "s", 0, REG_SZ, (const BYTE *)text, sizeof(text) - 1));
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key_, "s", NULL, NULL, NULL, &size));
    EXPECT_EQ(sizeof(text), size);

    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key_, "s", 0, REG_SZ, (const BYTE *)text, sizeof(text) - 2));
    size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key_, "s", NULL, NULL, NULL, &size));
    EXPECT_EQ(sizeof(text) - 2, size);
}

TEST_F(FoundRegistryTest, QueryInfoGivesTheLongestStringInItsStoredUtf16Size)
{
    const BYTE bytes[] = {1, 2, 3, 4, 5, 6, 7};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key_, "b", 0, REG_BINARY, bytes, sizeof(bytes)));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key_, "s", 0, REG_SZ, (const BYTE *)"data", 5));
    DWORD longest = 0xdeadbeef;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryInfoKeyA(key_, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, &longest, NULL, NULL));
    EXPECT_EQ(5 * sizeof(WCHAR), longest);
}

class FoundFilesTest : public ScratchTest {
protected:
    HANDLE Open(const std::string &path, DWORD access, DWORD share, DWORD disposition)
    {
        return CreateFileA(path.c_str(), access, share, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
    }
};

TEST_F(FoundFilesTest, CreateNewOnADirectoryFailsWithFileExists)
{
    ASSERT_TRUE(CreateDirectoryA(File("d").c_str(), NULL));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(File("d"), GENERIC_WRITE, 0, CREATE_NEW));
    EXPECT_EQ((DWORD)ERROR_FILE_EXISTS, GetLastError());
}

TEST_F(FoundFilesTest, OpenWithoutDataAccessImposesNoSharing)
{
    HANDLE first = Open(File("f.txt"), 0, 0, CREATE_NEW);
    ASSERT_NE(INVALID_HANDLE_VALUE, first);
    HANDLE second = Open(File("f.txt"), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
    EXPECT_NE(INVALID_HANDLE_VALUE, second);
    CloseHandle(second);
    CloseHandle(first);
}

TEST_F(FoundFilesTest, OpenWithoutDataAccessPassesAnExclusiveOpen)
{
    HANDLE first = Open(File("f.txt"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(INVALID_HANDLE_VALUE, first);
    HANDLE second = Open(File("f.txt"), 0, 0, OPEN_EXISTING);
    EXPECT_NE(INVALID_HANDLE_VALUE, second);
    CloseHandle(second);
    CloseHandle(first);
}

TEST_F(FoundFilesTest, ExclusiveOpenStillRefusesDataAccess)
{
    HANDLE first = Open(File("f.txt"), GENERIC_READ, 0, CREATE_NEW);
    ASSERT_NE(INVALID_HANDLE_VALUE, first);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(File("f.txt"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    CloseHandle(first);
}

// Sharing belongs to the file, not to the name: an exclusive open through
// one hard link refuses an open through the other.
TEST_F(FoundFilesTest, ExclusiveOpenRefusesTheFileThroughItsOtherName)
{
    HANDLE first = Open(File("f.txt"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(INVALID_HANDLE_VALUE, first);
    ASSERT_TRUE(CreateHardLinkA(File("g.txt").c_str(), File("f.txt").c_str(), NULL));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(File("g.txt"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    CloseHandle(first);
}

}  // namespace
