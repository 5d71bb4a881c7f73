// What the file, environment, text and formatting calls do at the edges
// the program relies on. These run on Windows too, which is how the
// simulated machine is held to the real one.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "support/machine.h"

namespace {

class FileApiTest : public ScratchTest {
protected:
    void Put(const std::string &path, const std::string &contents)
    {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << GetLastError();
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file, contents.data(), (DWORD)contents.size(), &written, NULL));
        CloseHandle(file);
    }
};

TEST_F(FileApiTest, CreateAlwaysEmptiesAnExistingFileAndSaysItExisted)
{
    Put(File("a.txt"), "old contents");
    SetLastError(0xdeadbeef);
    HANDLE file = CreateFileA(File("a.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ((DWORD)ERROR_ALREADY_EXISTS, GetLastError());
    EXPECT_EQ(0u, GetFileSize(file, NULL));
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "ab", 2, &written, NULL));
    EXPECT_TRUE(WriteFile(file, "cd", 2, &written, NULL));
    EXPECT_EQ(2u, written);
    CloseHandle(file);
    EXPECT_EQ("abcd", FileText(File("a.txt")));
}

TEST_F(FileApiTest, FileOpenWithoutSharingCannotBeOpenedDeletedOrRenamed)
{
    HANDLE file = CreateFileA(File("locked.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);

    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(File("locked.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                                OPEN_EXISTING, 0, NULL));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFileA(File("locked.txt").c_str()));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(MoveFileA(File("locked.txt").c_str(), File("moved.txt").c_str()));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());

    CloseHandle(file);
    EXPECT_TRUE(DeleteFileA(File("locked.txt").c_str()));
}

TEST_F(FileApiTest, MissingFileAndMissingDirectoryGiveDifferentErrors)
{
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFileA(File("none.txt").c_str()));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFileA(File("nodir\\none.txt").c_str()));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(File("none.txt").c_str()));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(File("nodir\\new.txt").c_str(), GENERIC_WRITE, 0, NULL,
                                                CREATE_ALWAYS, 0, NULL));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
    WIN32_FIND_DATAA data;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA(File("none.txt").c_str(), &data));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST_F(FileApiTest, MoveFileRefusesAnExistingTargetAndKeepsBothFiles)
{
    Put(File("from.txt"), "from");
    Put(File("to.txt"), "to");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(MoveFileA(File("from.txt").c_str(), File("to.txt").c_str()));
    EXPECT_EQ((DWORD)ERROR_ALREADY_EXISTS, GetLastError());
    EXPECT_EQ("from", FileText(File("from.txt")));
    EXPECT_EQ("to", FileText(File("to.txt")));

    EXPECT_TRUE(MoveFileA(File("from.txt").c_str(), File("FROM.qel").c_str()));
    EXPECT_EQ("<missing>", FileText(File("from.txt")));
    EXPECT_EQ("from", FileText(File("from.qel")));
}

TEST_F(FileApiTest, FindFirstFileOnAnExactPathReportsTheNameAsStored)
{
    Put(File("Mixed.Txt"), "12345");
    WIN32_FIND_DATAA data;
    memset(&data, 0x55, sizeof(data));
    HANDLE find = FindFirstFileA(File("MIXED.TXT").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_STREQ("Mixed.Txt", data.cFileName);
    EXPECT_EQ(5u, data.nFileSizeLow);
    EXPECT_EQ(0u, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(FindClose(find));
}

TEST_F(FileApiTest, DirectoriesAreRemovedOnlyWhenEmpty)
{
    ASSERT_TRUE(CreateDirectoryA(File("sub").c_str(), NULL));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CreateDirectoryA(File("sub").c_str(), NULL));
    EXPECT_EQ((DWORD)ERROR_ALREADY_EXISTS, GetLastError());
    Put(File("sub\\f"), "x");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(RemoveDirectoryA(File("sub").c_str()));
    EXPECT_EQ((DWORD)ERROR_DIR_NOT_EMPTY, GetLastError());
    EXPECT_TRUE(DeleteFileA(File("sub\\f").c_str()));
    EXPECT_TRUE(RemoveDirectoryA(File("sub").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(File("sub").c_str()));
}

TEST_F(FileApiTest, LongPathNameTooSmallGivesTheSizeNeededAndLeavesTheBuffer)
{
    std::string path = Dir();
    char buffer[8];
    memset(buffer, 'x', sizeof(buffer));
    DWORD needed = GetLongPathNameA(path.c_str(), buffer, sizeof(buffer));
    EXPECT_EQ(std::string(8, 'x'), std::string(buffer, 8));
    char full[MAX_PATH];
    DWORD length = GetLongPathNameA(path.c_str(), full, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(length + 1, needed);
    EXPECT_EQ(strlen(full), length);
}

class EnvironmentApiTest : public ScratchTest {};

TEST_F(EnvironmentApiTest, GetEnvironmentVariableReportsSizesAsWindowsDoes)
{
    ASSERT_TRUE(SetEnvironmentVariableA("QwTestVariable", "SomeValue"));
    char buffer[32];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(10u, GetEnvironmentVariableA("QwTestVariable", buffer, 9));
    EXPECT_EQ('x', buffer[0]);
    EXPECT_EQ(9u, GetEnvironmentVariableA("QWTESTVARIABLE", buffer, 10));
    EXPECT_STREQ("SomeValue", buffer);

    ASSERT_TRUE(SetEnvironmentVariableA("QwTestVariable", ""));
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(0u, GetEnvironmentVariableA("QwTestVariable", buffer, sizeof(buffer)));
    EXPECT_STREQ("", buffer);

    ASSERT_TRUE(SetEnvironmentVariableA("QwTestVariable", NULL));
    memset(buffer, 'x', sizeof(buffer));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, GetEnvironmentVariableA("QwTestVariable", buffer, sizeof(buffer)));
    EXPECT_EQ((DWORD)ERROR_ENVVAR_NOT_FOUND, GetLastError());
    EXPECT_EQ('x', buffer[0]);
}

TEST_F(EnvironmentApiTest, TempPathComesFromTmpThenTempThenUserProfileWithOneBackslash)
{
    char buffer[MAX_PATH];
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", Dir().c_str()));
    EXPECT_EQ(Dir().size() + 1, GetTempPathA(MAX_PATH, buffer));
    EXPECT_EQ(Dir() + "\\", buffer);

    ASSERT_TRUE(SetEnvironmentVariableA("TMP", NULL));
    ASSERT_TRUE(SetEnvironmentVariableA("TEMP", (Dir() + "\\").c_str()));
    EXPECT_EQ(Dir().size() + 1, GetTempPathA(MAX_PATH, buffer));
    EXPECT_EQ(Dir() + "\\", buffer);

    ASSERT_TRUE(SetEnvironmentVariableA("TEMP", NULL));
    ASSERT_TRUE(SetEnvironmentVariableA("USERPROFILE", File("profile").c_str()));
    GetTempPathA(MAX_PATH, buffer);
    EXPECT_EQ(File("profile") + "\\", buffer);
}

TEST_F(EnvironmentApiTest, TempPathTooLongForTheBufferGivesTheSizeNeededAndLeavesTheBuffer)
{
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", Dir().c_str()));
    char buffer[MAX_PATH];
    memset(buffer, 'x', sizeof(buffer));
    DWORD needed = (DWORD)Dir().size() + 2;  // the backslash and the NUL
    EXPECT_EQ(needed, GetTempPathA(needed / 2, buffer));
    EXPECT_EQ(std::string(MAX_PATH, 'x'), std::string(buffer, MAX_PATH));
    EXPECT_EQ(needed - 1, GetTempPathA(needed, buffer));
    EXPECT_EQ('x', buffer[needed]);
}

TEST(TextApiTest, LstrcpynCopiesAtMostOneLessThanTheSizeAndTerminates)
{
    char buffer[8];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(buffer, lstrcpynA(buffer, "abcdefghij", 5));
    EXPECT_STREQ("abcd", buffer);
    EXPECT_EQ('x', buffer[5]);
    lstrcpynA(buffer, "ab", 5);
    EXPECT_STREQ("ab", buffer);
}

TEST(TextApiTest, LstrcmpComparesLettersBeforeCase)
{
    EXPECT_LT(lstrcmpA("apple", "Banana"), 0);
    EXPECT_LT(lstrcmpA("a", "A"), 0);
    EXPECT_EQ(0, lstrcmpA("Same", "Same"));
    EXPECT_EQ(0, lstrcmpiA("QwTray", "QWTRAY"));
    EXPECT_GT(lstrcmpiA("b", "A"), 0);
}

TEST(TextApiTest, MultiByteToWideCharCountsTheNulAndRefusesASmallBuffer)
{
    WCHAR wide[8];
    EXPECT_EQ(4, MultiByteToWideChar(CP_ACP, 0, "abc", -1, NULL, 0));
    EXPECT_EQ(3, MultiByteToWideChar(CP_ACP, 0, "abc", 3, NULL, 0));
    EXPECT_EQ(4, MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 8));
    EXPECT_EQ((WCHAR)'c', wide[2]);
    EXPECT_EQ((WCHAR)0, wide[3]);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 3));
    EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());

    char narrow[8];
    EXPECT_EQ(4, WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof(narrow), NULL, NULL));
    EXPECT_STREQ("abc", narrow);
}

TEST(TextApiTest, WsprintfFormatsAsUser32Does)
{
    char buffer[1100];
    EXPECT_EQ(10, wsprintfA(buffer, "%010ld", -1));
    EXPECT_STREQ("-000000001", buffer);
    wsprintfA(buffer, "[%5d|%-5u|%x|%X|%#x|%c|%%]", 42, 7u, 255u, 255u, 255u, 'q');
    EXPECT_STREQ("[   42|7    |ff|FF|0xff|q|%]", buffer);
    wsprintfA(buffer, "%s=%.3s;%s", "key", "abcdef", (const char *)NULL);
    EXPECT_STREQ("key=abc;(null)", buffer);
}

TEST(TextApiTest, WsprintfWritesAtMost1024BytesWithTheNul)
{
    std::string longText(1500, 'a');
    char buffer[1500];
    memset(buffer, 'x', sizeof(buffer));
    wsprintfA(buffer, "%s", longText.c_str());
    EXPECT_EQ(1023u, strlen(buffer));
    EXPECT_EQ('x', buffer[1024]);
}

}  // namespace
