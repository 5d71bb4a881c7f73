// Converting a path to the form the shell shows, on real files.
#include <windows.h>
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "app/app.h"
#include "support/machine.h"

class ToDisplayPathTest : public ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        dir_ = File("QwDisplay Path Test Directory");
        file_ = dir_ + "\\QWUNLOG.LOG";
        ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), NULL));
        HANDLE h = CreateFileA(file_.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        CloseHandle(h);
        memset(display_, 0xAA, sizeof(display_));
    }

    std::string dir_;
    std::string file_;
    char display_[MAX_PATH];
};

TEST_F(ToDisplayPathTest, ShortComponentsComeBackLong)
{
    char shortPath[MAX_PATH];
    char longPath[MAX_PATH];
    ASSERT_NE(0u, GetShortPathNameA(file_.c_str(), shortPath, sizeof(shortPath)));
    ASSERT_NE(0u, GetLongPathNameA(shortPath, longPath, sizeof(longPath)));

    ToDisplayPath(shortPath, display_);

    EXPECT_EQ(0, lstrcmpiA(longPath, display_)) << shortPath << " gave " << display_;
    EXPECT_NE(nullptr, strstr(display_, "\\QwDisplay Path Test Directory\\QWUNLOG.LOG")) << display_;
}

// A path the shell cannot parse is shown as it was given, and nothing is
// written past its terminator.
TEST_F(ToDisplayPathTest, UnknownPathIsShownAsGiven)
{
    std::string missing = dir_ + "\\NoSuchDir\\QWUNLOG.LOG";

    ToDisplayPath(missing.c_str(), display_);

    EXPECT_STREQ(missing.c_str(), display_);
    EXPECT_EQ((char)0xAA, display_[missing.size() + 1]);
}
