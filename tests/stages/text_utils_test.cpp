// The text helpers of the renaming routine.
#include <string.h>

#include <gtest/gtest.h>

#include "stages/stages.h"

namespace {

// The text, then marker bytes up to the end of the buffer, so that a write
// past the text's own NUL shows.
void Prepare(char *buffer, size_t size, const char *text)
{
    memset(buffer, 'X', size);
    memcpy(buffer, text, strlen(text) + 1);
}

void ExpectMarkersFrom(const char *buffer, size_t from, size_t size)
{
    for (size_t i = from; i < size; i++)
        ASSERT_EQ('X', buffer[i]) << "byte " << i;
}

TEST(TrimBlanksTest, RemovesBlanksAtBothEnds)
{
    char text[16];
    Prepare(text, sizeof(text), "  a b  ");

    EXPECT_EQ(1, TrimBlanks(text));

    EXPECT_STREQ("a b", text);
    ExpectMarkersFrom(text, 8, sizeof(text));
}

TEST(TrimBlanksTest, EmptyTextGivesZero)
{
    char text[4];
    Prepare(text, sizeof(text), "");

    EXPECT_EQ(0, TrimBlanks(text));

    EXPECT_EQ('\0', text[0]);
    ExpectMarkersFrom(text, 1, sizeof(text));
}

TEST(TrimBlanksTest, BlanksOnlyBecomeEmpty)
{
    char text[8];
    Prepare(text, sizeof(text), "   ");

    EXPECT_EQ(1, TrimBlanks(text));

    EXPECT_STREQ("", text);
    ExpectMarkersFrom(text, 4, sizeof(text));
}

TEST(TrimBlanksTest, LeavesTabsAndLineEnds)
{
    char text[16];
    Prepare(text, sizeof(text), " \tx\r\n ");

    EXPECT_EQ(1, TrimBlanks(text));

    EXPECT_STREQ("\tx\r\n", text);
}

TEST(CountCharTest, CountsEveryOccurrence)
{
    EXPECT_EQ(2, CountChar("one.two.three", "."));
    EXPECT_EQ(3, CountChar("...", "."));
    EXPECT_EQ(0, CountChar("none", "."));
}

TEST(CountCharTest, EmptyTextGivesZero)
{
    EXPECT_EQ(0, CountChar("", "."));
}

TEST(CountCharTest, UsesOnlyTheFirstCharacter)
{
    EXPECT_EQ(1, CountChar("a.b-c-d", ".-"));
}

// 0x95 0x5C is one double-byte character in code page 932; its second byte
// is still counted as a backslash.
TEST(CountCharTest, ComparesSingleBytes)
{
    EXPECT_EQ(2, CountChar("C:\\\x95\x5C", "\\"));
}

}  // namespace
