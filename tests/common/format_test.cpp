// FormatText: the system's formatter, bounded to the caller's buffer.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "common/common.h"

namespace {

TEST(FormatTextTest, TextThatFitsIsWholeAndItsLengthReturned)
{
    char buffer[32];
    memset(buffer, 'x', sizeof(buffer));

    EXPECT_EQ(7, FormatText(buffer, sizeof(buffer), "%s%d", "File", 123));

    EXPECT_STREQ("File123", buffer);
    EXPECT_EQ('x', buffer[8]);
}

// The cut text keeps size - 1 bytes and the NUL; nothing past the size is
// written, and the result still tells how long the whole text was.
TEST(FormatTextTest, LongerTextIsCutToTheSizeAndTheWholeLengthReturned)
{
    char buffer[16];
    memset(buffer, 'x', sizeof(buffer));

    EXPECT_EQ(13, FormatText(buffer, 8, "%s     :%s ", "obj", "msg"));

    EXPECT_EQ(std::string("obj    "), buffer);
    EXPECT_EQ(std::string(8, 'x'), std::string(buffer + 8, 8));
}

TEST(FormatTextTest, SizeOfZeroWritesNothing)
{
    char buffer[4] = {'x', 'x', 'x', 'x'};

    EXPECT_EQ(5, FormatText(buffer, 0, "%s", "hello"));

    EXPECT_EQ(std::string(4, 'x'), std::string(buffer, 4));
}

// The system's formatter stops at 1023 bytes and the NUL; the length says
// no more than that, and a larger buffer gets no more either.
TEST(FormatTextTest, TextPastTheFormattersLimitEndsAt1023Bytes)
{
    std::string longText(2000, 'a');
    std::string buffer(2000, 'x');

    EXPECT_EQ(1023, FormatText(&buffer[0], (int)buffer.size(), "%s", longText.c_str()));

    EXPECT_EQ(std::string(1023, 'a'), buffer.c_str());
    EXPECT_EQ('x', buffer[1024]);
}

}  // namespace
