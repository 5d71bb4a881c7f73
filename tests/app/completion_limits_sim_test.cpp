// The completion at the edges of its buffers: the helper's path at 259
// characters and at 260, and the error box naming a log path of 259
// characters in either language.
#include "app_sim_machine.h"

using namespace qwtest;

namespace {

class CompletionLimitsTest : public ::testing::Test {
protected:
    void SetUp() override { FreshMachineWithProduct(); }
    void TearDown() override { ExpectNothingLeftOpen(); }

    // A system directory of `length` characters.
    static std::string UseSystemDir(size_t length)
    {
        std::string dir = "C:\\" + std::string(length - 3, 'R');
        lstrcpynA(g_systemDir, dir.c_str(), MAX_PATH);
        return dir;
    }
    // A temporary directory that makes the log's path 259 characters long.
    static std::string UseLongestTempDir()
    {
        std::string dir = "C:\\" + std::string(244, 't');
        wsim::MakeDir(dir.c_str());
        SetEnvironmentVariableA("TMP", dir.c_str());
        return dir + "\\QWUNLOG.LOG";
    }
};

TEST_F(CompletionLimitsTest, HelperPathOf259CharactersIsRegistered)
{
    std::string helper = UseSystemDir(245) + "\\QvCleanup.exe";
    ASSERT_EQ(259u, helper.size());
    OpenUninstallLog("QWUNLOG.LOG");
    wsim::QueueBoxAnswer(IDNO);

    EXPECT_EQ(1, FinishUninstall(NULL));

    EXPECT_EQ(helper, RegSz(kRunKey, "QvCleanup"));
    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kTextRestart, boxes[0].text);
    EXPECT_EQ(0, g_errorOccurred);
}

TEST_F(CompletionLimitsTest, HelperPathOf260CharactersIsNotWritten)
{
    UseSystemDir(246);
    OpenUninstallLog("QWUNLOG.LOG");
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(1, FinishUninstall(NULL));

    EXPECT_EQ("<none>", RegSz(kRunKey, "QvCleanup"));
    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(0u, boxes[0].text.find(kTextErrorPrefix));
    EXPECT_EQ(1, g_errorOccurred);
}

TEST_F(CompletionLimitsTest, ErrorBoxNamesALogPathOf259CharactersWhole)
{
    std::string log = UseLongestTempDir();
    ASSERT_EQ(259u, log.size());
    OpenUninstallLog("QWUNLOG.LOG");
    g_errorOccurred = 1;
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(1, FinishUninstall(NULL));

    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(std::string(kTextErrorPrefix) + log + ".", boxes[0].text);
}

// The Japanese text takes more bytes than the English one; with the
// longest path it still fits the 512-byte message.
TEST_F(CompletionLimitsTest, JapaneseErrorBoxNamesALogPathOf259CharactersWhole)
{
    FreshMachineWithProduct(wsim::Lang::Japanese);
    std::string log = UseLongestTempDir();
    OpenUninstallLog("QWUNLOG.LOG");
    g_errorOccurred = 1;
    wsim::QueueBoxAnswer(IDOK);

    EXPECT_EQ(1, FinishUninstall(NULL));

    auto boxes = wsim::Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(Ansi("アンインストール中にエラーが発生しました。\n詳細な情報が") + log +
                  Ansi("にありますので確認してください。"),
              boxes[0].text);
}

}  // namespace
