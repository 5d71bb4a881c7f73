// The simulated machine itself where the program leans on it and no real
// Windows can be set up the same way: a Japanese code page, a fresh
// machine's paths, files held by other programs, injected faults.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "support/machine.h"
#include "winsim.h"

namespace {

TEST(MachineSimTest, JapaneseKeyNameEndingInByte5CIsOneComponent)
{
    ResetTestMachine(true);
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\\x95\x5c\\\x8e\x71", 0, NULL, 0,
                                             KEY_ALL_ACCESS, NULL, &key, NULL));  // SOFTWARE\表\子
    RegCloseKey(key);
    EXPECT_EQ(std::vector<std::string>{"\x8e\x71"}, wsim::SubkeyNames("HKLM\\SOFTWARE\\\x95\x5c"));
    char name[MAX_PATH];
    DWORD length = MAX_PATH;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\\x95\x5c", 0, KEY_READ, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExA(key, 0, name, &length, NULL, NULL, NULL, NULL));
    EXPECT_STREQ("\x8e\x71", name);
    EXPECT_EQ(2u, length);
    RegCloseKey(key);
}

TEST(MachineSimTest, ValuesAreListedInCreationOrder)
{
    ResetTestMachine();
    wsim::PutSz("HKLM\\SOFTWARE\\QwOrder", "zeta", "1");
    wsim::PutSz("HKLM\\SOFTWARE\\QwOrder", "Alpha", "2");
    wsim::PutSz("HKLM\\SOFTWARE\\QwOrder", "", "3");
    wsim::PutSz("HKLM\\SOFTWARE\\QwOrder", "ZETA", "4");  // replacing keeps the place
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QwOrder", 0, KEY_READ, &key));
    const char *expected[] = {"zeta", "Alpha", ""};
    for (DWORD i = 0; i < 3; i++) {
        char name[20];
        DWORD nameLength = 20;
        ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(key, i, name, &nameLength, NULL, NULL, NULL, NULL)) << i;
        EXPECT_STREQ(expected[i], name);
    }
    RegCloseKey(key);
}

TEST(MachineSimTest, CodePageFollowsTheLanguage)
{
    ResetTestMachine();
    EXPECT_EQ(1252u, GetACP());
    WCHAR wide[4];
    EXPECT_EQ(2, MultiByteToWideChar(CP_ACP, 0, "\x80", -1, wide, 4));
    EXPECT_EQ((WCHAR)0x20AC, wide[0]);

    ResetTestMachine(true);
    EXPECT_EQ(932u, GetACP());
    EXPECT_EQ(2, MultiByteToWideChar(CP_ACP, 0, "\x95\x5c", -1, wide, 4));
    EXPECT_EQ((WCHAR)0x8868, wide[0]);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "a\x95", 2, wide, 4));
    EXPECT_EQ((DWORD)ERROR_NO_UNICODE_TRANSLATION, GetLastError());
    char narrow[8];
    const WCHAR table[] = {0x8868, 0};
    EXPECT_EQ(3, WideCharToMultiByte(CP_ACP, 0, table, -1, narrow, sizeof(narrow), NULL, NULL));
    EXPECT_STREQ("\x95\x5c", narrow);
}

TEST(MachineSimTest, FreshMachineHasTheUsersShortTemporaryPathAndItsLongForm)
{
    ResetTestMachine();
    char path[MAX_PATH];
    EXPECT_EQ(35u, GetTempPathA(MAX_PATH, path));
    EXPECT_STREQ("C:\\DOCUME~1\\ADMINI~1\\LOCALS~1\\Temp\\", path);
    char longPath[MAX_PATH];
    DWORD length = GetLongPathNameA("C:\\DOCUME~1\\ADMINI~1\\LOCALS~1\\Temp\\QWUNLOG.LOG", longPath, MAX_PATH);
    EXPECT_EQ(0u, length);
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    wsim::PutFile("C:\\Documents and Settings\\Administrator\\Local Settings\\Temp\\QWUNLOG.LOG", "");
    length = GetLongPathNameA("c:\\docume~1\\admini~1\\locals~1\\temp\\qwunlog.log", longPath, MAX_PATH);
    EXPECT_STREQ("c:\\Documents and Settings\\Administrator\\Local Settings\\Temp\\QWUNLOG.LOG", longPath);
    EXPECT_EQ(strlen(longPath), length);
    EXPECT_EQ(8u, GetEnvironmentVariableA("SystemRoot", path, MAX_PATH));
    EXPECT_STREQ("C:\\WINNT", path);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\WINNT\\system32"));
}

TEST(MachineSimTest, LongFileNamesGetShortAliases)
{
    ResetTestMachine();
    wsim::PutFile("C:\\WINNT\\Long File Name.text", "a");
    wsim::PutFile("C:\\WINNT\\Long File Number Two.text", "b");
    char shortPath[MAX_PATH];
    ASSERT_GT(GetShortPathNameA("C:\\WINNT\\Long File Number Two.text", shortPath, MAX_PATH), 0u);
    EXPECT_STREQ("C:\\WINNT\\LONGFI~2.TEX", shortPath);
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("C:\\WINNT\\LONGFI~1.TEX", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_STREQ("Long File Name.text", data.cFileName);
    EXPECT_STREQ("LONGFI~1.TEX", data.cAlternateFileName);
    FindClose(find);
}

TEST(MachineSimTest, FileHeldByAnotherProgramRefusesOpenDeleteAndRenameUntilReleased)
{
    ResetTestMachine();
    const char path[] = "C:\\WINNT\\system32\\QWTRAY.EXE";
    wsim::PutFile(path, "program");
    wsim::HoldFile(path);
    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    EXPECT_FALSE(DeleteFileA(path));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    EXPECT_FALSE(MoveFileA(path, "C:\\WINNT\\system32\\QWTRAY.qel"));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path));

    wsim::ReleaseFile(path);
    EXPECT_TRUE(MoveFileA(path, "C:\\WINNT\\system32\\QWTRAY.qel"));
    EXPECT_EQ("program", wsim::FileContents("C:\\WINNT\\system32\\QWTRAY.qel"));
}

TEST(MachineSimTest, DeletingAFileOpenWithDeleteSharingWaitsForTheLastHandle)
{
    ResetTestMachine();
    const char path[] = "C:\\WINNT\\Temp\\shared.txt";
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_DELETE, NULL, CREATE_NEW, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_TRUE(DeleteFileA(path));
    EXPECT_TRUE(wsim::FileExists(path));
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(path, GENERIC_READ, 7, NULL, OPEN_EXISTING, 0, NULL));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    CloseHandle(file);
    EXPECT_FALSE(wsim::FileExists(path));
}

TEST(MachineSimTest, DirectoryOpensAsADirectoryOnlyWithBackupSemanticsAndHasNoData)
{
    ResetTestMachine();
    const char path[] = "C:\\WINNT\\Temp";
    wsim::PutFile("C:\\WINNT\\Temp\\inside.txt", "kept");
    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    // Named with a trailing backslash, as the root always is, a directory
    // is no file's path.
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA("C:\\WINNT\\Temp\\", GENERIC_READ, FILE_SHARE_READ, NULL,
                                                OPEN_EXISTING, 0, NULL));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA("C:\\", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
    // "C:" is the current directory, named without a trailing backslash.
    ASSERT_TRUE(SetCurrentDirectoryA(path));
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA("C:", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                                FILE_FLAG_BACKUP_SEMANTICS, NULL));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());

    HANDLE dir = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                             FILE_FLAG_BACKUP_SEMANTICS, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, dir);
    EXPECT_EQ((DWORD)ERROR_ALREADY_EXISTS, GetLastError());
    EXPECT_EQ((DWORD)FILE_TYPE_DISK, GetFileType(dir));
    BY_HANDLE_FILE_INFORMATION info;
    ASSERT_TRUE(GetFileInformationByHandle(dir, &info));
    EXPECT_NE(0u, info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    char buffer[MAX_PATH];
    EXPECT_EQ(17u, GetFinalPathNameByHandleA(dir, buffer, sizeof(buffer), 0));
    EXPECT_STREQ("\\\\?\\C:\\WINNT\\Temp", buffer);
    DWORD count = 7;
    EXPECT_FALSE(ReadFile(dir, buffer, sizeof(buffer), &count, NULL));
    EXPECT_EQ((DWORD)ERROR_INVALID_FUNCTION, GetLastError());
    EXPECT_EQ(0u, count);
    EXPECT_FALSE(WriteFile(dir, "x", 1, &count, NULL));
    EXPECT_EQ((DWORD)ERROR_INVALID_FUNCTION, GetLastError());
    EXPECT_FALSE(SetEndOfFile(dir));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    // The open takes part in sharing as a file's does.
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                                FILE_FLAG_BACKUP_SEMANTICS, NULL));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    EXPECT_TRUE(CloseHandle(dir));
    EXPECT_EQ("kept", wsim::FileContents("C:\\WINNT\\Temp\\inside.txt"));
}

TEST(MachineSimTest, DirectoryHandleOnAJunctionIsTheTargetsUnlessTheLinkIsAskedFor)
{
    ResetTestMachine();
    wsim::PutJunction("C:\\WINNT\\Link", "C:\\WINNT\\Temp", false);
    char buffer[MAX_PATH];
    HANDLE dir = CreateFileA("C:\\WINNT\\Link", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, dir);
    GetFinalPathNameByHandleA(dir, buffer, sizeof(buffer), 0);
    EXPECT_STREQ("\\\\?\\C:\\WINNT\\Temp", buffer);
    CloseHandle(dir);
    dir = CreateFileA("C:\\WINNT\\Link", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, dir);
    GetFinalPathNameByHandleA(dir, buffer, sizeof(buffer), 0);
    EXPECT_STREQ("\\\\?\\C:\\WINNT\\Link", buffer);
    CloseHandle(dir);
}

TEST(MachineSimTest, DirectoryDeletedThroughItsHandleGoesOnlyWhenEmpty)
{
    ResetTestMachine();
    const char path[] = "C:\\WINNT\\Full";
    wsim::PutFile("C:\\WINNT\\Full\\inside.txt", "kept");
    FILE_DISPOSITION_INFO disposition = {TRUE};
    HANDLE dir = CreateFileA(path, DELETE, 0, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, dir);
    EXPECT_FALSE(SetFileInformationByHandle(dir, FileDispositionInfo, &disposition, sizeof(disposition)));
    EXPECT_EQ((DWORD)ERROR_DIR_NOT_EMPTY, GetLastError());
    CloseHandle(dir);
    dir = CreateFileA(path, DELETE, 0, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_DELETE_ON_CLOSE,
                      NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, dir);
    CloseHandle(dir);
    EXPECT_EQ("kept", wsim::FileContents("C:\\WINNT\\Full\\inside.txt"));
    EXPECT_NE(INVALID_HANDLE_VALUE, dir = CreateFileA(path, 0, 0, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                                      NULL));
    CloseHandle(dir);

    dir = CreateFileA("C:\\", DELETE, 0, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, dir);
    EXPECT_FALSE(SetFileInformationByHandle(dir, FileDispositionInfo, &disposition, sizeof(disposition)));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    CloseHandle(dir);

    ASSERT_TRUE(DeleteFileA("C:\\WINNT\\Full\\inside.txt"));
    dir = CreateFileA(path, DELETE, 0, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, dir);
    EXPECT_TRUE(SetFileInformationByHandle(dir, FileDispositionInfo, &disposition, sizeof(disposition)));
    EXPECT_TRUE(wsim::FileExists(path));
    CloseHandle(dir);
    EXPECT_FALSE(wsim::FileExists(path));
}

TEST(MachineSimTest, DelayedMoveIsRecordedForTheNextStart)
{
    ResetTestMachine();
    EXPECT_TRUE(MoveFileExA("C:\\WINNT\\a.qel", NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_TRUE(MoveFileExA("C:\\WINNT\\b.new", "C:\\WINNT\\b.dll", MOVEFILE_DELAY_UNTIL_REBOOT |
                                                                      MOVEFILE_REPLACE_EXISTING));
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(wsim::GetValue("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                               "PendingFileRenameOperations", &type, &data));
    EXPECT_EQ((DWORD)REG_MULTI_SZ, type);
    EXPECT_EQ(std::string("\\??\\C:\\WINNT\\a.qel\0\0\\??\\C:\\WINNT\\b.new\0!\\??\\C:\\WINNT\\b.dll\0\0", 60),
              data);
}

TEST(MachineSimTest, FaultsApplyTheirNumberOfTimesAndEveryCallIsCounted)
{
    ResetTestMachine();
    wsim::Fail("RegOpenKeyExA", "HKEY_LOCAL_MACHINE\\SOFTWARE", ERROR_ACCESS_DENIED, 2);
    HKEY key;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes", 0, KEY_READ, &key));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key));
    RegCloseKey(key);
    EXPECT_EQ(4, wsim::CallCount("RegOpenKeyExA"));
    EXPECT_EQ(0, wsim::OpenKeyHandles());
}

// Since MS10-021 a link in a user's hive opens keys of that hive alone: one
// into the machine's hive is refused (Wine follows it).
TEST(MachineSimTest, LinkFromTheUsersHiveOpensOnlyKeysOfThatHive)
{
    ResetTestMachine();
    wsim::PutRegistryLink("HKCU\\Software\\ToMachine", "HKLM\\SOFTWARE\\Classes");
    wsim::PutRegistryLink("HKCU\\Software\\ToUser", "HKCU\\Environment");
    HKEY key;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\ToMachine", 0, KEY_READ, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\ToUser", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "TEMP", NULL, NULL, NULL, NULL));
    RegCloseKey(key);
}

TEST(MachineSimTest, VirtualMemoryIsZeroFilledAndGivenBackWhole)
{
    ResetTestMachine();
    BYTE *block = (BYTE *)VirtualAlloc(NULL, 1024, MEM_COMMIT, PAGE_READWRITE);
    ASSERT_NE((BYTE *)NULL, block);
    EXPECT_EQ(1, wsim::LiveAllocations());
    EXPECT_EQ(std::string(4096, '\0'), std::string((char *)block, 4096));
    EXPECT_FALSE(VirtualFree(block, 1024, MEM_RELEASE));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_TRUE(VirtualFree(block, 0, MEM_RELEASE));
    EXPECT_EQ(0, wsim::LiveAllocations());
    wsim::Fail("VirtualAlloc", "*", ERROR_NOT_ENOUGH_MEMORY, 1);
    EXPECT_EQ((LPVOID)NULL, VirtualAlloc(NULL, 1024, MEM_COMMIT, PAGE_READWRITE));
    EXPECT_EQ((DWORD)ERROR_NOT_ENOUGH_MEMORY, GetLastError());
}

}  // namespace
