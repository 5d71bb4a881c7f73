// Limits of the common functions that hold on the real registry and file
// system as well: the log line's 511 bytes and the lookup's 260-byte name
// buffer.
#include <string.h>

#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "common/globals.h"
#include "support/machine.h"

namespace {

const char kLogName[] = "QWUNLOG.LOG";

class LogLineLimitsTest : public ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        CloseUninstallLog();
        ASSERT_TRUE(SetEnvironmentVariableA("TMP", Dir().c_str()));
        ASSERT_EQ(1, OpenUninstallLog(kLogName));
    }
    void TearDown() override
    {
        CloseUninstallLog();
        ScratchTest::TearDown();
    }

    std::string Lines()
    {
        CloseUninstallLog();
        return FileText(File(kLogName));
    }
};

// object, five blanks and a colon, message, blank: 509 characters, and
// with CR LF the 511 bytes a line may have.
TEST_F(LogLineLimitsTest, LineOf511BytesIsWrittenWhole)
{
    std::string object(495, 'o');

    EXPECT_EQ(1, WriteUninstallLog(object.c_str(), "message"));

    EXPECT_EQ(object + "     :message \r\n", Lines());
}

TEST_F(LogLineLimitsTest, LineOf512BytesLosesItsLastCharacterAndKeepsItsLineEnd)
{
    std::string object(496, 'o');

    EXPECT_EQ(1, WriteUninstallLog(object.c_str(), "message"));

    EXPECT_EQ(object + "     :message\r\n", Lines());
}

TEST_F(LogLineLimitsTest, LineWithoutMessageIsCutAtTheSameLength)
{
    EXPECT_EQ(1, WriteUninstallLog(std::string(509, 'a').c_str(), NULL));
    EXPECT_EQ(1, WriteUninstallLog(std::string(510, 'b').c_str(), NULL));

    EXPECT_EQ(std::string(509, 'a') + "\r\n" + std::string(509, 'b') + "\r\n", Lines());
}

class LookupNameLimitsTest : public ScratchTest {
protected:
    void PutSz(const std::string &name, const char *text)
    {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, Key().c_str(), 0, KEY_SET_VALUE, &key));
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE *)text, lstrlenA(text) + 1));
        RegCloseKey(key);
    }
};

TEST_F(LookupNameLimitsTest, NameOf259CharactersIsFound)
{
    std::string name(MAX_PATH - 1, 'n');
    PutSz(name, "found");
    char text[MAX_PATH];

    EXPECT_EQ(1, Co_GetRegValueSz(HKEY_CURRENT_USER, Key().c_str(), name.c_str(), text));

    EXPECT_STREQ("found", text);
}

// The enumeration cuts a 260-character name to the 259 that the buffer
// holds; that cut name must not pass for the value of those 259, and the
// walk goes on past it.
TEST_F(LookupNameLimitsTest, NameOf260CharactersIsNotTakenForItsFirst259)
{
    std::string name(MAX_PATH, 'n');
    PutSz(name, "too long");
    PutSz("After", "after");
    char text[MAX_PATH] = "kept";

    EXPECT_EQ(0, Co_GetRegValueSz(HKEY_CURRENT_USER, Key().c_str(), name.substr(0, MAX_PATH - 1).c_str(), text));
    EXPECT_STREQ("kept", text);

    EXPECT_EQ(1, Co_GetRegValueSz(HKEY_CURRENT_USER, Key().c_str(), "After", text));
    EXPECT_STREQ("after", text);
}

}  // namespace
