// Enumeration results other than success and ERROR_NO_MORE_ITEMS, in the
// value walk of the lookups and in the key walk of Co_DeleteRegNode: each
// must end its walk (or that level of it) with a failure, never loop, and
// give back every handle and block it took.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "support/machine.h"
#include "winsim.h"

namespace {

const char kKey[] = "SOFTWARE\\QwEnum";
const char kFullKey[] = "HKLM\\SOFTWARE\\QwEnum";

std::string Full(const std::string &below)
{
    return below.empty() ? kFullKey : std::string(kFullKey) + "\\" + below;
}

std::string AtIndex(int index)
{
    return std::string(kFullKey) + "#" + std::to_string(index);
}

class EnumFaultTest : public ::testing::TestWithParam<DWORD> {
protected:
    void SetUp() override { ResetTestMachine(); }
    void TearDown() override
    {
        EXPECT_EQ(0, wsim::OpenKeyHandles());
        EXPECT_EQ(0, wsim::LiveAllocations());
    }
};

class ValueWalkFaultTest : public EnumFaultTest {
protected:
    void SetUp() override
    {
        EnumFaultTest::SetUp();
        wsim::PutSz(kFullKey, "First", "1");
        wsim::PutSz(kFullKey, "Second", "2");
    }
};

TEST_P(ValueWalkFaultTest, ErrorAtTheFirstValueEndsTheLookupAtOnce)
{
    wsim::Fail("RegEnumValueA", AtIndex(0).c_str(), GetParam());
    char text[MAX_PATH] = "kept";
    DWORD number = 9;

    EXPECT_EQ(0, Co_GetRegValueSz(HKEY_LOCAL_MACHINE, kKey, "First", text));
    EXPECT_EQ(0, Co_GetRegValueNum(HKEY_LOCAL_MACHINE, kKey, "First", &number));

    EXPECT_STREQ("kept", text);
    EXPECT_EQ(0u, number);
    EXPECT_EQ(2, wsim::CallCount("RegEnumValueA"));
    EXPECT_EQ(2, wsim::CallCount("RegCloseKey"));
}

// A passing error is not retried: the walk has ended, the value is not
// found although the next call would have given it.
TEST_P(ValueWalkFaultTest, ErrorThatWouldPassIsNotRetried)
{
    wsim::Fail("RegEnumValueA", AtIndex(1).c_str(), GetParam(), 1);
    char text[MAX_PATH] = "kept";

    EXPECT_EQ(0, Co_GetRegValueSz(HKEY_LOCAL_MACHINE, kKey, "Second", text));

    EXPECT_STREQ("kept", text);
    EXPECT_EQ(2, wsim::CallCount("RegEnumValueA"));
}

INSTANTIATE_TEST_SUITE_P(Errors, ValueWalkFaultTest,
                         ::testing::Values((DWORD)ERROR_ACCESS_DENIED, (DWORD)ERROR_INVALID_HANDLE,
                                           (DWORD)ERROR_KEY_DELETED));

using ValueWalkMoreDataTest = ValueWalkFaultTest;

// ERROR_MORE_DATA leaves the name unread; the name is read again on its
// own, and the data through a block of the size it reports.
TEST_F(ValueWalkMoreDataTest, MoreDataOnceStillFindsTheValueWithItsData)
{
    wsim::Fail("RegEnumValueA", AtIndex(1).c_str(), ERROR_MORE_DATA, 1);
    char text[MAX_PATH] = "kept";

    EXPECT_EQ(1, Co_GetRegValueSz(HKEY_LOCAL_MACHINE, kKey, "Second", text));

    EXPECT_STREQ("2", text);
    EXPECT_EQ(4, wsim::CallCount("RegEnumValueA"));
    EXPECT_EQ(1, wsim::CallCount("VirtualAlloc"));
}

TEST_F(ValueWalkMoreDataTest, ValueWhoseNameCannotBeReadIsPassedOver)
{
    wsim::PutSz(kFullKey, "Third", "3");
    wsim::Fail("RegEnumValueA", AtIndex(1).c_str(), ERROR_MORE_DATA);
    char text[MAX_PATH] = "kept";
    DWORD number = 9;

    EXPECT_EQ(0, Co_GetRegValueNum(HKEY_LOCAL_MACHINE, kKey, "Second", &number));
    EXPECT_EQ(0u, number);
    EXPECT_EQ(1, Co_GetRegValueSz(HKEY_LOCAL_MACHINE, kKey, "Third", text));

    EXPECT_STREQ("3", text);
    EXPECT_EQ(0, wsim::CallCount("VirtualAlloc"));
}

TEST_F(ValueWalkMoreDataTest, LargeValueWhoseNameCannotBeReadAgainIsNotFound)
{
    wsim::PutSz(kFullKey, "Large", std::string(400, 'L').c_str());
    // Both the first call at index 2, whose data would not fit anyway,
    // and the second, for the name alone, are refused.
    wsim::Fail("RegEnumValueA", AtIndex(2).c_str(), ERROR_MORE_DATA, 2);
    char text[MAX_PATH] = "kept";

    EXPECT_EQ(0, Co_GetRegValueSz(HKEY_LOCAL_MACHINE, kKey, "Large", text));

    EXPECT_STREQ("kept", text);
    EXPECT_EQ(0, wsim::CallCount("VirtualAlloc"));
}

class KeyWalkFaultTest : public EnumFaultTest {
protected:
    void SetUp() override
    {
        EnumFaultTest::SetUp();
        for (const char *key : {"A\\A1", "B", "C"})
            wsim::CreateKey(Full(key).c_str());
    }
    // The given key and every key below it.
    std::vector<std::string> Left()
    {
        std::vector<std::string> keys;
        for (const std::string &key : wsim::AllKeys("HKLM"))
            if (key == kFullKey || key.compare(0, strlen(kFullKey) + 1, std::string(kFullKey) + "\\") == 0)
                keys.push_back(key);
        return keys;
    }
};

// Nothing below the given key is visited; its own deletion is still tried
// and refused, since it has subkeys.
TEST_P(KeyWalkFaultTest, ErrorAtTheGivenKeyDeletesNothing)
{
    wsim::Fail("RegEnumKeyExA", kFullKey, GetParam());

    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, kKey));

    EXPECT_EQ((std::vector<std::string>{Full(""), Full("A"), Full("A\\A1"), Full("B"), Full("C")}), Left());
    EXPECT_EQ(1, wsim::CallCount("RegEnumKeyExA"));
    EXPECT_EQ(1, wsim::CallCount("NtDeleteKey"));
    EXPECT_EQ(1, wsim::CallCount("RegOpenKeyExA"));
}

TEST_P(KeyWalkFaultTest, ErrorAtASubkeyKeepsItAndItsSubtreeAndTheWalkGoesOn)
{
    wsim::Fail("RegEnumKeyExA", Full("A").c_str(), GetParam());

    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, kKey));

    EXPECT_EQ((std::vector<std::string>{Full(""), Full("A"), Full("A\\A1")}), Left());
    // A is offered for deletion once, and refused since A1 is still
    // there; B, C and the given key are deleted or tried once each.
    EXPECT_EQ(4, wsim::CallCount("NtDeleteKey"));
}

INSTANTIATE_TEST_SUITE_P(Errors, KeyWalkFaultTest,
                         ::testing::Values((DWORD)ERROR_ACCESS_DENIED, (DWORD)ERROR_INVALID_HANDLE,
                                           (DWORD)ERROR_KEY_DELETED));

using KeyWalkMoreDataTest = KeyWalkFaultTest;

// ERROR_MORE_DATA names one subkey, at one index, whose name does not fit
// the buffer: that subkey stays like one past the walk's limits, and the
// walk goes on with the next index.
TEST_F(KeyWalkMoreDataTest, SubkeyWhoseNameDoesNotFitStaysAndItsSiblingsGo)
{
    wsim::Fail("RegEnumKeyExA", (std::string(kFullKey) + "#0").c_str(), ERROR_MORE_DATA);

    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, kKey));

    EXPECT_EQ((std::vector<std::string>{Full(""), Full("A"), Full("A\\A1")}), Left());
    EXPECT_EQ(3, wsim::CallCount("NtDeleteKey"));
}

TEST_F(KeyWalkMoreDataTest, SubkeyBelowWhoseNameDoesNotFitKeepsTheKeysAboveIt)
{
    wsim::Fail("RegEnumKeyExA", (Full("A") + "#0").c_str(), ERROR_MORE_DATA);

    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, kKey));

    EXPECT_EQ((std::vector<std::string>{Full(""), Full("A"), Full("A\\A1")}), Left());
    EXPECT_EQ(4, wsim::CallCount("NtDeleteKey"));
}

}  // namespace
