// The fixed buffers of the common functions at the last size that fits and
// the first that does not: the log's 259-character path, the lookup's
// 260 data bytes, and the key walk's 259-character paths and its depth.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "common/globals.h"
#include "support/machine.h"
#include "winsim.h"

namespace {

const char kLogName[] = "QWUNLOG.LOG";
const char kMarker = 'x';

// "C:\" and then as many letters as make a directory of `length`
// characters, created on the machine and named by TMP.
std::string UseTempDir(size_t length, char letter)
{
    std::string dir = "C:\\" + std::string(length - 3, letter);
    wsim::MakeDir(dir.c_str());
    SetEnvironmentVariableA("TMP", dir.c_str());
    return dir;
}

class LogLimitsSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTestMachine();
        CloseUninstallLog();
        memset(path_, kMarker, sizeof(path_));
    }
    void TearDown() override
    {
        CloseUninstallLog();
        EXPECT_EQ(0, wsim::OpenFileHandles());
    }

    // Every byte of the destination after the path's NUL as it was.
    bool RestUntouched(size_t from)
    {
        for (size_t i = from; i < sizeof(path_); i++)
            if (path_[i] != kMarker)
                return false;
        return true;
    }

    char path_[MAX_PATH + 8];
};

TEST_F(LogLimitsSimTest, TemporaryDirectoryOf247CharactersTakesTheLogAt259)
{
    std::string expected = UseTempDir(247, 't') + "\\" + kLogName;
    ASSERT_EQ(259u, expected.size());

    EXPECT_EQ(1, OpenUninstallLog(kLogName));

    EXPECT_EQ(expected, g_logPath);
    EXPECT_TRUE(wsim::FileExists(expected.c_str()));
    EXPECT_EQ(1, WriteUninstallLog("object", "message"));
    ASSERT_EQ(path_, GetUninstallLogPath(path_));
    EXPECT_EQ(expected, path_);
    EXPECT_TRUE(RestUntouched(MAX_PATH));
    CloseUninstallLog();
    EXPECT_EQ("object     :message \r\n", wsim::FileContents(expected.c_str()));
}

TEST_F(LogLimitsSimTest, TemporaryDirectoryOf248CharactersLeavesTheLogWithoutAPath)
{
    UseTempDir(248, 't');

    EXPECT_EQ(0, OpenUninstallLog(kLogName));

    EXPECT_STREQ("", g_logPath);
    EXPECT_EQ(INVALID_HANDLE_VALUE, g_hLogFile);
    EXPECT_EQ(0, wsim::CallCount("CreateFileA"));
    EXPECT_EQ(0, WriteUninstallLog("object", "message"));
    ASSERT_EQ(path_, GetUninstallLogPath(path_));
    EXPECT_STREQ("", path_);
    EXPECT_TRUE(RestUntouched(1));
}

// GetTempPathA's 260-byte buffer holds a directory of 258 characters and
// its backslash: the directory is taken, and leaves no room for the name.
TEST_F(LogLimitsSimTest, TemporaryPathThatJustFitsTheBufferLeavesNoRoomForTheName)
{
    SetEnvironmentVariableA("TMP", ("C:\\" + std::string(255, 'g')).c_str());

    EXPECT_EQ(0, OpenUninstallLog(kLogName));

    EXPECT_STREQ("", g_logPath);
    EXPECT_EQ(0, wsim::CallCount("CreateFileA"));
}

// One character more and GetTempPathA gives no directory at all; the log
// then goes to the root of the current drive.
TEST_F(LogLimitsSimTest, TemporaryPathOneCharacterTooLongForTheBufferGivesTheRoot)
{
    SetEnvironmentVariableA("TMP", ("C:\\" + std::string(256, 'g')).c_str());

    EXPECT_EQ(1, OpenUninstallLog(kLogName));

    EXPECT_EQ(std::string::npos, std::string(g_logPath).find("ggg")) << g_logPath;
    EXPECT_TRUE(wsim::FileExists("C:\\QWUNLOG.LOG"));
}

TEST_F(LogLimitsSimTest, LogThatCannotBeCreatedIsUnavailableAndKeepsItsPath)
{
    wsim::Fail("CreateFileA", "*", ERROR_ACCESS_DENIED);

    EXPECT_EQ(0, OpenUninstallLog(kLogName));

    EXPECT_EQ(INVALID_HANDLE_VALUE, g_hLogFile);
    EXPECT_EQ(0, WriteUninstallLog("object", "message"));
    EXPECT_EQ(0, wsim::CallCount("WriteFile"));
    ASSERT_EQ(path_, GetUninstallLogPath(path_));
    EXPECT_STREQ("C:\\DOCUME~1\\ADMINI~1\\LOCALS~1\\Temp\\QWUNLOG.LOG", path_);
}

const char kKey[] = "SOFTWARE\\QwLimits";
const char kFullKey[] = "HKLM\\SOFTWARE\\QwLimits";

class LookupLimitsSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTestMachine();
        memset(text_, kMarker, sizeof(text_));
    }
    void TearDown() override
    {
        EXPECT_EQ(0, wsim::OpenKeyHandles());
        EXPECT_EQ(0, wsim::LiveAllocations());
    }

    bool TailUntouched()
    {
        for (size_t i = MAX_PATH; i < sizeof(text_); i++)
            if (text_[i] != kMarker)
                return false;
        return true;
    }

    char text_[MAX_PATH + 8];
};

// 259 letters and the NUL fill the 260-byte data buffer exactly: one
// enumeration gives them, without the second read of a large value.
TEST_F(LookupLimitsSimTest, TextOf260DataBytesIsReadInOneEnumeration)
{
    std::string letters(MAX_PATH - 1, 'd');
    wsim::PutSz(kFullKey, "Value", letters.c_str());

    EXPECT_EQ(1, Co_GetRegValueSz(HKEY_LOCAL_MACHINE, kKey, "Value", text_));

    EXPECT_EQ(letters, text_);
    EXPECT_TRUE(TailUntouched());
    EXPECT_EQ(1, wsim::CallCount("RegEnumValueA"));
    EXPECT_EQ(0, wsim::CallCount("VirtualAlloc"));
}

TEST_F(LookupLimitsSimTest, TextOf261DataBytesIsReadWholeAndCutTo259)
{
    std::string letters(MAX_PATH, 'e');
    letters.back() = 'z';
    wsim::PutSz(kFullKey, "Value", letters.c_str());

    EXPECT_EQ(1, Co_GetRegValueSz(HKEY_LOCAL_MACHINE, kKey, "Value", text_));

    EXPECT_EQ(std::string(MAX_PATH - 1, 'e'), text_);
    EXPECT_TRUE(TailUntouched());
    EXPECT_EQ(3, wsim::CallCount("RegEnumValueA"));
    EXPECT_EQ(1, wsim::CallCount("VirtualAlloc"));
}

TEST_F(LookupLimitsSimTest, NumberOf261DataBytesIsItsFirstFour)
{
    BYTE data[MAX_PATH + 1];
    memset(data, 0xEE, sizeof(data));
    data[0] = 0x01;
    data[1] = 0x02;
    data[2] = 0x03;
    data[3] = 0x04;
    wsim::PutValue(kFullKey, "Value", REG_BINARY, data, sizeof(data));
    DWORD number = 0;

    EXPECT_EQ(1, Co_GetRegValueNum(HKEY_LOCAL_MACHINE, kKey, "Value", &number));

    EXPECT_EQ(0x04030201u, number);
    EXPECT_EQ(1, wsim::CallCount("VirtualAlloc"));
}

// The tree below "HKLM\QwTree". Paths are relative to HKLM, as the walk
// forms them.
class TreeLimitsSimTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTestMachine(); }
    void TearDown() override
    {
        EXPECT_EQ(0, wsim::OpenKeyHandles());
        EXPECT_EQ(0, wsim::LiveAllocations());
    }

    static bool There(const std::string &path) { return wsim::KeyExists(("HKLM\\" + path).c_str()); }
    static void Make(const std::string &path) { wsim::CreateKey(("HKLM\\" + path).c_str()); }
};

TEST_F(TreeLimitsSimTest, KeyPathOf259CharactersIsDeleted)
{
    std::string path = "QwTree\\" + std::string(252, 'p');
    ASSERT_EQ(259u, path.size());
    Make(path);

    EXPECT_EQ(1, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, path.c_str()));

    EXPECT_FALSE(There(path));
    EXPECT_TRUE(There("QwTree"));
}

TEST_F(TreeLimitsSimTest, KeyPathOf260CharactersIsRefusedUntouched)
{
    std::string path = "QwTree\\" + std::string(253, 'p');
    ASSERT_EQ((size_t)MAX_PATH, path.size());
    Make(path);

    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, path.c_str()));

    EXPECT_TRUE(There(path));
    EXPECT_EQ(0, wsim::CallCount("RegOpenKeyExA"));
    EXPECT_EQ(0, wsim::CallCount("NtDeleteKey"));
    EXPECT_EQ(0, wsim::CallCount("VirtualAlloc"));
}

TEST_F(TreeLimitsSimTest, SubkeyPathOf259CharactersGoesAndOneOf260Stays)
{
    std::string fits = "QwTree\\" + std::string(252, 'f');
    std::string over = "QwTree\\" + std::string(253, 'o');
    ASSERT_EQ(259u, fits.size());
    Make(fits);
    Make(over);
    Make("QwTree\\short");

    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, "QwTree"));

    EXPECT_FALSE(There(fits));
    EXPECT_FALSE(There("QwTree\\short"));
    EXPECT_TRUE(There(over));
    EXPECT_TRUE(There("QwTree"));
}

// Registry key names have at most 255 characters; the walk's name buffer
// takes the longest.
TEST_F(TreeLimitsSimTest, SubkeyNameOf255CharactersIsDeleted)
{
    std::string name(255, 'n');
    Make("Q\\" + name + "\\x");

    EXPECT_EQ(1, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, "Q"));

    EXPECT_FALSE(There("Q"));
}

// Windows documents 255 characters as the longest key name. Wine cannot
// test it: its ANSI registry calls refuse a subkey path of more than 260
// characters (ERROR_MORE_DATA), which a 255-character name below any
// scratch key passes; the product's own paths stay within 259.
TEST_F(TreeLimitsSimTest, KeyNameOf255CharactersIsCreatedAndOf256FailsTheWrite)
{
    std::string fits = "QwTree\\" + std::string(255, 'k');
    std::string over = "QwTree\\" + std::string(256, 'k');

    EXPECT_EQ(1, Co_SetCreateValueSz(HKEY_LOCAL_MACHINE, fits.c_str(), "Value", "x"));
    EXPECT_EQ(0, Co_SetCreateValueSz(HKEY_LOCAL_MACHINE, over.c_str(), "Value", "x"));

    EXPECT_TRUE(There(fits));
    EXPECT_EQ((std::vector<std::string>{std::string(255, 'k')}), wsim::SubkeyNames("HKLM\\QwTree"));
}

// Each level adds at least two characters, so below a one-letter key the
// path allows 129 levels, far fewer than the 256 slots of the handle stack.
TEST_F(TreeLimitsSimTest, DeepestTreeThePathAllowsIsDeletedWhole)
{
    std::string path = "K";
    for (int level = 0; level < 129; level++)
        path += "\\x";
    ASSERT_EQ(259u, path.size());
    Make(path);

    EXPECT_EQ(1, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, "K"));

    EXPECT_FALSE(There("K"));
    EXPECT_EQ(130, wsim::CallCount("NtDeleteKey"));
}

TEST_F(TreeLimitsSimTest, LevelPastThePathLimitStaysWithEveryKeyAboveIt)
{
    std::string path = "K";
    for (int level = 0; level < 130; level++)
        path += "\\x";
    Make(path);

    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, "K"));

    EXPECT_TRUE(There(path));
    int keys = 0;
    for (const std::string &key : wsim::AllKeys("HKLM"))
        keys += key == "HKLM\\K" || key.compare(0, 7, "HKLM\\K\\") == 0;
    EXPECT_EQ(131, keys);
}

}  // namespace
