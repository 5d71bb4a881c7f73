// The library loader and the current directory at the edges the program
// relies on to load its system DLLs by full path. These run on Windows too,
// which is how the simulated machine's loader is held to the real one.
#include <string.h>

#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "support/machine.h"

namespace {

std::string SystemDirectory()
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

TEST(LibraryApiTest, SystemDirectoryIsTheSystem32FolderAndATooSmallBufferGetsTheSizeNeeded)
{
    char path[MAX_PATH];
    memset(path, 'x', sizeof(path));

    UINT length = GetSystemDirectoryA(path, MAX_PATH);

    ASSERT_GT(length, 9u);
    ASSERT_LT(length, (UINT)MAX_PATH);
    EXPECT_EQ(length, (UINT)strlen(path));
    EXPECT_EQ(0, lstrcmpiA(path + length - 9, "\\system32")) << path;
    char small[4];
    EXPECT_EQ(length + 1, GetSystemDirectoryA(small, sizeof(small)));
}

TEST(LibraryApiTest, FullPathLoadFindsTheExportsByNameAndTheModuleByFileName)
{
    std::string path = SystemDirectory() + "\\netapi32.dll";

    HMODULE netapi = LoadLibraryExA(path.c_str(), NULL, LOAD_WITH_ALTERED_SEARCH_PATH);

    ASSERT_NE((HMODULE)NULL, netapi) << GetLastError();
    EXPECT_NE((FARPROC)NULL, GetProcAddress(netapi, "NetUserGetInfo"));
    EXPECT_NE((FARPROC)NULL, GetProcAddress(netapi, "NetGetDCName"));
    EXPECT_NE((FARPROC)NULL, GetProcAddress(netapi, "NetApiBufferFree"));
    SetLastError(0xdeadbeef);
    EXPECT_EQ((FARPROC)NULL, GetProcAddress(netapi, "NetNoSuchCall"));
    EXPECT_EQ((DWORD)ERROR_PROC_NOT_FOUND, GetLastError());
    EXPECT_EQ(netapi, GetModuleHandleA("netapi32.dll"));
    EXPECT_EQ(netapi, GetModuleHandleA("NETAPI32"));
    EXPECT_TRUE(FreeLibrary(netapi));
}

TEST(LibraryApiTest, MissingFileIsNotFound)
{
    std::string path = SystemDirectory() + "\\qwnosuch.dll";

    SetLastError(0xdeadbeef);
    EXPECT_EQ((HMODULE)NULL, LoadLibraryExA(path.c_str(), NULL, LOAD_WITH_ALTERED_SEARCH_PATH));
    EXPECT_EQ((DWORD)ERROR_MOD_NOT_FOUND, GetLastError());
}

// Looked up at run time so that a Windows without them still starts.
TEST(LibraryApiTest, KernelExportsTheSearchCallsByName)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");

    ASSERT_NE((HMODULE)NULL, kernel);
    EXPECT_NE((FARPROC)NULL, GetProcAddress(kernel, "SetDllDirectoryA"));
    EXPECT_NE((FARPROC)NULL, GetProcAddress(kernel, "SetDefaultDllDirectories"));
}

class CurrentDirectoryApiTest : public ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, before_), 0u);
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(before_);
        ScratchTest::TearDown();
    }

private:
    char before_[MAX_PATH];
};

TEST_F(CurrentDirectoryApiTest, FolderBecomesCurrentAndRelativeNamesFollowIt)
{
    char current[MAX_PATH];
    char full[MAX_PATH];

    ASSERT_TRUE(SetCurrentDirectoryA(Dir().c_str())) << GetLastError();

    ASSERT_EQ((DWORD)Dir().size(), GetCurrentDirectoryA(MAX_PATH, current));
    EXPECT_EQ(Dir(), current);
    ASSERT_GT(GetFullPathNameA("a.dll", MAX_PATH, full, NULL), 0u);
    EXPECT_EQ(File("a.dll"), full);
}

TEST_F(CurrentDirectoryApiTest, FileOrMissingFolderIsRefused)
{
    HANDLE file = CreateFileA(File("a.dll").c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetCurrentDirectoryA(File("a.dll").c_str()));
    EXPECT_EQ((DWORD)ERROR_DIRECTORY, GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetCurrentDirectoryA(File("missing").c_str()));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
}

}  // namespace
