// The text loader and the string table, in English (the language of the
// Windows the tests run on).
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "res/resource.h"
#include "support/machine.h"

namespace {

class ResTextTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTestMachine(); }
};

TEST_F(ResTextTest, TenTextsAreDistinctAndTheEleventhReusesTheOldestBuffer)
{
    LPSTR texts[10];
    for (int i = 0; i < 10; i++)
        texts[i] = LoadResText(IDS_STAGE_APPS);
    for (int i = 0; i < 10; i++)
        for (int j = i + 1; j < 10; j++)
            EXPECT_NE(texts[i], texts[j]) << i << " " << j;
    // Wherever the ring stood, the eleventh text overwrites the first.
    LPSTR eleventh = LoadResText(IDS_COMPLETE);
    EXPECT_EQ(texts[0], eleventh);
    EXPECT_STREQ("complete.", texts[0]);
    EXPECT_STREQ("Application.", texts[1]);
}

TEST_F(ResTextTest, MissingIdGivesAnEmptyTextNotNull)
{
    LPSTR text = LoadResText(IDS_STAGE_APPS);
    LoadResText(IDS_STAGE_APPS);
    for (int i = 0; i < 8; i++)
        LoadResText(IDS_STAGE_APPS);
    LPSTR missing = LoadResText(3);
    ASSERT_NE((LPSTR)NULL, missing);
    EXPECT_EQ(text, missing);
    EXPECT_STREQ("", missing);
    EXPECT_STREQ("", LoadResText(999));
}

TEST_F(ResTextTest, TextsCarryTheirBlanksAndLineBreaks)
{
    EXPECT_STREQ("Error occurred during uninstallation. \nPlease refer detailed information in %s.",
                 LoadResText(IDS_ERROR_SEE_LOG));
    EXPECT_STREQ("In order to uninstall QELVORA Wattrix2, you must have administrative privileges. Please log off and "
                 "log back on as an administrator.\n",
                 LoadResText(IDS_NEED_ADMIN));
    EXPECT_STREQ("#32770", LoadResText(IDS_PROPS_CLASS));
    EXPECT_STREQ("QwClkIcon", LoadResText(IDS_CLKICON_TITLE));
}

TEST_F(ResTextTest, LoadStringCutsALongTextToTheBuffer)
{
    char buffer[16];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(5, LoadStringA(NULL, IDS_STAGE_APPS, buffer, 6));
    EXPECT_STREQ("Appli", buffer);
    EXPECT_EQ('x', buffer[6]);
    EXPECT_EQ(12, LoadStringA(NULL, IDS_STAGE_APPS, buffer, 13));
    EXPECT_STREQ("Application.", buffer);
    buffer[0] = 'x';
    EXPECT_EQ(0, LoadStringA(NULL, IDS_STAGE_APPS, buffer, 1));
    EXPECT_EQ('\0', buffer[0]);
    buffer[0] = 'x';
    EXPECT_EQ(0, LoadStringA(NULL, 3, buffer, sizeof(buffer)));
    EXPECT_EQ('\0', buffer[0]);
}

}  // namespace
