// "SystemRoot" at the edge of the 260-byte buffer: 259 characters are
// taken whole, 260 are not taken at all, never cut.
#include <string.h>

#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "app/app.h"
#include "support/machine.h"

namespace {

class SystemRootLimitsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char value[MAX_PATH];
        ResetTestMachine();
        DWORD length = GetEnvironmentVariableA("SystemRoot", value, sizeof(value));
        hadValue_ = length > 0 && length < sizeof(value);
        if (hadValue_)
            saved_ = value;
        memset(buffer_, 0xAA, sizeof(buffer_));
    }
    void TearDown() override { SetEnvironmentVariableA("SystemRoot", hadValue_ ? saved_.c_str() : NULL); }

    char buffer_[MAX_PATH + 8];
    bool hadValue_ = false;
    std::string saved_;
};

TEST_F(SystemRootLimitsTest, ValueOf259CharactersIsTakenWhole)
{
    std::string value = "C:\\" + std::string(MAX_PATH - 4, 'W');
    ASSERT_TRUE(SetEnvironmentVariableA("SystemRoot", value.c_str()));

    EXPECT_EQ(1, GetSystemRootDir(buffer_));

    EXPECT_EQ(value, buffer_);
    EXPECT_EQ((char)0xAA, buffer_[MAX_PATH]);
}

TEST_F(SystemRootLimitsTest, ValueOf260CharactersIsNotTaken)
{
    std::string value = "C:\\" + std::string(MAX_PATH - 3, 'W');
    ASSERT_TRUE(SetEnvironmentVariableA("SystemRoot", value.c_str()));

    EXPECT_EQ(0, GetSystemRootDir(buffer_));

    for (size_t i = 0; i < sizeof(buffer_); i++)
        ASSERT_EQ((char)0xAA, buffer_[i]) << i;
}

}  // namespace
