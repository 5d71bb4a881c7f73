// GetFullPathNameA at the edges the log relies on: a path from the root of
// the current drive, folding, and a buffer that is too small. These run on
// Windows too, which holds the simulated machine to the real one.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

namespace {

std::string CurrentDrive()
{
    char directory[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, directory);
    if (length < 2 || length >= MAX_PATH || directory[1] != ':')
        return std::string();
    return std::string(directory, 2);
}

TEST(FullPathApiTest, RootRelativePathGetsTheCurrentDrive)
{
    std::string drive = CurrentDrive();
    ASSERT_EQ(2u, drive.size());
    char full[MAX_PATH];
    LPSTR filePart = NULL;
    memset(full, 'x', sizeof(full));

    DWORD length = GetFullPathNameA("\\QWUNLOG.LOG", MAX_PATH, full, &filePart);

    EXPECT_EQ(drive + "\\QWUNLOG.LOG", full);
    EXPECT_EQ(strlen(full), length);
    EXPECT_EQ(full + 3, filePart);
    EXPECT_EQ('x', full[length + 1]);
}

TEST(FullPathApiTest, SeparatorsAndDotsAreFoldedAndATrailingBackslashStays)
{
    char full[MAX_PATH];
    LPSTR filePart = full;

    EXPECT_EQ(6u, GetFullPathNameA("C:\\a/b\\..\\.\\c", MAX_PATH, full, &filePart));
    EXPECT_STREQ("C:\\a\\c", full);
    EXPECT_EQ(full + 5, filePart);

    filePart = full;
    EXPECT_EQ(7u, GetFullPathNameA("C:\\a\\b\\", MAX_PATH, full, &filePart));
    EXPECT_STREQ("C:\\a\\b\\", full);
    EXPECT_EQ((LPSTR)NULL, filePart);

    EXPECT_EQ(3u, GetFullPathNameA("C:\\a\\..\\..", MAX_PATH, full, NULL));
    EXPECT_STREQ("C:\\", full);
}

TEST(FullPathApiTest, TooSmallBufferGivesTheSizeNeededAndLeavesTheBuffer)
{
    char full[8];
    memset(full, 'x', sizeof(full));

    EXPECT_EQ(15u, GetFullPathNameA("C:\\QWUNLOG.LOG", sizeof(full), full, NULL));

    EXPECT_EQ(std::string(8, 'x'), std::string(full, 8));
}

}  // namespace
