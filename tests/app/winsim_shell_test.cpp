// Paths through the shell's namespace: parsed into an item-id list and
// back into a path, which the shell gives in its long form.
#include <string.h>

#include <string>

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include "support/machine.h"

namespace {

class WinsimShellTest : public ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(SHGetMalloc(&malloc_)));
        ASSERT_TRUE(SUCCEEDED(SHGetDesktopFolder(&desktop_)));
    }
    void TearDown() override
    {
        if (desktop_ != NULL)
            desktop_->Release();
        if (malloc_ != NULL)
            malloc_->Release();
        ScratchTest::TearDown();
    }

    HRESULT Parse(const std::string &path, LPITEMIDLIST *idList)
    {
        WCHAR wide[MAX_PATH];
        if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0)
            return E_FAIL;
        ULONG eaten = 0;
        return desktop_->ParseDisplayName(NULL, NULL, wide, &eaten, idList, NULL);
    }

    IMalloc *malloc_ = NULL;
    IShellFolder *desktop_ = NULL;
};

TEST_F(WinsimShellTest, ShortPathComesBackLong)
{
    std::string longDir = Dir() + "\\Long Folder Name Of Test";
    ASSERT_TRUE(CreateDirectoryA(longDir.c_str(), NULL));
    char expected[MAX_PATH];
    ASSERT_NE(0u, GetLongPathNameA(longDir.c_str(), expected, MAX_PATH));
    char shortDir[MAX_PATH];
    ASSERT_NE(0u, GetShortPathNameA(longDir.c_str(), shortDir, MAX_PATH));

    LPITEMIDLIST idList = NULL;
    ASSERT_EQ(S_OK, Parse(std::string(shortDir) + "\\", &idList));
    ASSERT_NE((LPITEMIDLIST)NULL, idList);
    char path[MAX_PATH];
    memset(path, 'x', sizeof(path));
    EXPECT_TRUE(SHGetPathFromIDListA(idList, path));
    EXPECT_STREQ(expected, path);
    malloc_->Free(idList);
}

TEST_F(WinsimShellTest, PathThatDoesNotExistIsNotParsed)
{
    LPITEMIDLIST idList = (LPITEMIDLIST)&idList;
    HRESULT hr = Parse(Dir() + "\\Not There\\QWUNLOG.LOG", &idList);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_EQ((LPITEMIDLIST)NULL, idList);
}

TEST_F(WinsimShellTest, FileInsideGivesItsFullPath)
{
    std::string file = File("QWUNLOG.LOG");
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    CloseHandle(handle);
    char expected[MAX_PATH];
    ASSERT_NE(0u, GetLongPathNameA(file.c_str(), expected, MAX_PATH));

    LPITEMIDLIST idList = NULL;
    ASSERT_EQ(S_OK, Parse(file, &idList));
    char path[MAX_PATH];
    EXPECT_TRUE(SHGetPathFromIDListA(idList, path));
    EXPECT_STREQ(expected, path);
    malloc_->Free(idList);
}

}  // namespace
