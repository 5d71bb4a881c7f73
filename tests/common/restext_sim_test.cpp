// The string table and the program's other resources on a Japanese and on
// an English machine.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "res/resource.h"
#include "support/machine.h"
#include "winsim/src/internal.h"

namespace {

std::string Utf8(const char *ansi)
{
    WCHAR wide[MAX_PATH];
    char utf8[MAX_PATH * 3];
    int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, MAX_PATH);
    WideCharToMultiByte(CP_UTF8, 0, wide, n, utf8, sizeof(utf8), NULL, NULL);
    return utf8;
}

TEST(ResTextSimTest, JapaneseMachineGetsJapaneseLabelsAndTheSameWindowNames)
{
    ResetTestMachine(true);
    EXPECT_EQ("アプリケーションの停止", Utf8(LoadResText(IDS_STAGE_APPS)));
    EXPECT_EQ("旧ファイルの復旧", Utf8(LoadResText(IDS_STAGE_OLDFILES)));
    EXPECT_EQ("設定", Utf8(LoadResText(IDS_STAGE_SETTING)));
    EXPECT_EQ("アンインストール中にエラーが発生しました。\n"
              "詳細な情報が%sにありますので確認してください。",
              Utf8(LoadResText(IDS_ERROR_SEE_LOG)));
    EXPECT_EQ("省電力プロパティ", Utf8(LoadResText(IDS_PROPS_TITLE)));
    EXPECT_STREQ("#32770", LoadResText(IDS_PROPS_CLASS));
    EXPECT_STREQ("QWDEVWATCH", LoadResText(IDS_DEVWATCH_CLASS));
    EXPECT_STREQ("QwTray", LoadResText(IDS_TRAY_TITLE));
    EXPECT_STREQ("QWFnkey", LoadResText(IDS_FNKEY_TITLE));
}

TEST(ResTextSimTest, LoadStringNeverCutsADoubleByteCharacterInHalf)
{
    ResetTestMachine(true);
    char buffer[8];
    memset(buffer, 'x', sizeof(buffer));
    // "設定" is four bytes; three leave room for one character and the NUL.
    EXPECT_EQ(2, LoadStringA(NULL, IDS_STAGE_SETTING, buffer, 4));
    EXPECT_STREQ("\x90\xdd", buffer);
    EXPECT_EQ(4, LoadStringA(NULL, IDS_STAGE_SETTING, buffer, 5));
    EXPECT_STREQ("\x90\xdd\x92\xe8", buffer);
}

TEST(ResTextSimTest, DialogStoredInJapaneseServesEveryLanguage)
{
    ResetTestMachine();
    const BYTE *data = NULL;
    DWORD size = 0;
    ASSERT_TRUE(wsim::detail::FindResourceData(5, IDD_PROGRESS, &data, &size));
    ASSERT_GE(size, 18u);
    DWORD style = data[0] | (data[1] << 8) | (data[2] << 16) | ((DWORD)data[3] << 24);
    EXPECT_EQ((DWORD)(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT), style);
    EXPECT_EQ(6, data[8] | (data[9] << 8));  // controls
    EXPECT_EQ(265, data[14] | (data[15] << 8));
    EXPECT_EQ(131, data[16] | (data[17] << 8));
}

TEST(ResTextSimTest, PictureAndIconHaveTheirSizes)
{
    ResetTestMachine();
    const BYTE *data = NULL;
    DWORD size = 0;
    ASSERT_TRUE(wsim::detail::FindResourceData(2, IDB_PICTURE, &data, &size));
    // A BITMAPINFOHEADER: size, width, height, planes, bits per pixel.
    EXPECT_EQ(240, data[4] | (data[5] << 8));
    EXPECT_EQ(180, data[8] | (data[9] << 8));
    EXPECT_EQ(8, data[14]);  // 256 colours
    ASSERT_TRUE(wsim::detail::FindResourceData(14, IDI_MAIN, &data, &size));
    // The group: three WORDs (the last the count of images), then one
    // 14-byte entry per image that starts with width, height and colours.
    ASSERT_EQ(20u, size);
    EXPECT_EQ(1, data[4]);
    EXPECT_EQ(32, data[6]);
    EXPECT_EQ(32, data[7]);
    EXPECT_EQ(16, data[8]);
}

}  // namespace
