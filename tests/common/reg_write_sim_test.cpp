// Registry writing and key removal on the simulated machine: refusals
// injected into the registry, trees beyond the walk's limits, and Japanese
// key names.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "support/machine.h"
#include "winsim.h"

namespace {

// NtDeleteKey reports an NTSTATUS.
const DWORD kStatusAccessDenied = 0xC0000022;

const char kRoot[] = "SOFTWARE\\QwTree";
const char kFullRoot[] = "HKLM\\SOFTWARE\\QwTree";

std::string Full(const std::string &below)
{
    return below.empty() ? kFullRoot : std::string(kFullRoot) + "\\" + below;
}

class RegWriteSimTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTestMachine(); }
    void TearDown() override
    {
        EXPECT_EQ(0, wsim::OpenKeyHandles());
        EXPECT_EQ(0, wsim::LiveAllocations());
    }

    void MakeTree(const std::vector<std::string> &keys)
    {
        for (const std::string &key : keys)
            wsim::CreateKey(Full(key).c_str());
    }
    // The given key and every key below it, as full paths.
    std::vector<std::string> Below()
    {
        std::vector<std::string> keys;
        if (!wsim::KeyExists(kFullRoot))
            return keys;
        keys.push_back(kFullRoot);
        for (const std::string &key : wsim::AllKeys("HKLM"))
            if (key.compare(0, strlen(kFullRoot) + 1, std::string(kFullRoot) + "\\") == 0)
                keys.push_back(key);
        return keys;
    }
};

TEST_F(RegWriteSimTest, SubkeyThatWillNotGoIsTriedOnceAndItsSiblingsStillGo)
{
    MakeTree({"A\\A1", "B\\B1", "C"});
    wsim::Fail("NtDeleteKey", Full("B\\B1").c_str(), kStatusAccessDenied);

    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, kRoot));
    EXPECT_EQ((std::vector<std::string>{Full(""), Full("B"), Full("B\\B1")}), Below());
    // A1, A, B1 (refused), B (has B1), C, and the given key: each once.
    EXPECT_EQ(6, wsim::CallCount("NtDeleteKey"));
}

TEST_F(RegWriteSimTest, EnumerationErrorEndsThatLevelWithoutLooping)
{
    MakeTree({"A\\A1", "B", "C"});
    wsim::Fail("RegEnumKeyExA", Full("A").c_str(), ERROR_KEY_DELETED);

    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, kRoot));
    EXPECT_EQ((std::vector<std::string>{Full(""), Full("A"), Full("A\\A1")}), Below());
    // The root at index 0 (A), A (refused), the root at index 1 thrice
    // (B, C, none left), B and C once each.
    EXPECT_EQ(7, wsim::CallCount("RegEnumKeyExA"));
}

TEST_F(RegWriteSimTest, SubkeyThatCannotBeOpenedIsStillOfferedForDeletion)
{
    MakeTree({"Closed", "Open\\Inner"});
    // Refused to the walk, which asks for every right; the deletion asks
    // for the delete right alone and gets it.
    wsim::Fail("RegOpenKeyExA", Full("Closed").c_str(), ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(1, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, kRoot));
    EXPECT_FALSE(wsim::KeyExists(kFullRoot));
}

TEST_F(RegWriteSimTest, UnopenableSubkeyWithSubkeysStaysAndFailsTheDeletion)
{
    MakeTree({"Closed\\Inner", "Other"});
    wsim::Fail("RegOpenKeyExA", Full("Closed").c_str(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, kRoot));
    EXPECT_EQ((std::vector<std::string>{Full(""), Full("Closed"), Full("Closed\\Inner")}), Below());
}

TEST_F(RegWriteSimTest, GivenKeyThatCannotBeOpenedGivesTheOutcomeOfItsDeletion)
{
    wsim::CreateKey(kFullRoot);
    wsim::Fail("RegOpenKeyExA", kFullRoot, ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(1, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, kRoot));
    EXPECT_FALSE(wsim::KeyExists(kFullRoot));
}

TEST_F(RegWriteSimTest, RefusedFinalDeletionFailsTheWholeRemoval)
{
    MakeTree({"A", "B"});
    wsim::Fail("NtDeleteKey", kFullRoot, kStatusAccessDenied);
    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, kRoot));
    EXPECT_EQ((std::vector<std::string>{Full("")}), Below());
}

// Without ntdll's NtDeleteKey no key can be deleted as itself: nothing
// goes, and the removal says so.
TEST_F(RegWriteSimTest, WithoutNtDeleteKeyNothingGoesAndTheRemovalFails)
{
    MakeTree({"A"});
    wsim::Fail("GetProcAddress", "NtDeleteKey", ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, kRoot));
    EXPECT_TRUE(wsim::KeyExists(Full("A").c_str()));
    EXPECT_EQ(0, wsim::CallCount("NtDeleteKey"));
}

TEST_F(RegWriteSimTest, FailedAllocationDeletesNothing)
{
    MakeTree({"A"});
    wsim::Fail("VirtualAlloc", "*", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, kRoot));
    EXPECT_TRUE(wsim::KeyExists(Full("A").c_str()));
    EXPECT_EQ(0, wsim::CallCount("RegOpenKeyExA"));
}

TEST_F(RegWriteSimTest, KeysWhosePathWouldPass259CharactersStayWithTheKeysAboveThem)
{
    std::string deep = std::string(120, 'a') + "\\" + std::string(120, 'b') + "\\" + std::string(30, 'c');
    MakeTree({deep + "\\d", "Short\\x"});

    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, kRoot));
    std::string first = std::string(120, 'a');
    std::string second = first + "\\" + std::string(120, 'b');
    EXPECT_EQ((std::vector<std::string>{Full(""), Full(first), Full(second), Full(deep), Full(deep + "\\d")}), Below());
}

TEST_F(RegWriteSimTest, KeyPathOfMoreThan259CharactersIsRefused)
{
    std::string path = std::string(kRoot) + "\\" + std::string(250, 'p');
    wsim::CreateKey(("HKLM\\" + path).c_str());
    EXPECT_EQ(0, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, path.c_str()));
    EXPECT_TRUE(wsim::KeyExists(("HKLM\\" + path).c_str()));
}

// "表" is 0x95 0x5C in code page 932: cutting the path at its last byte 0x5C
// on the way back up would land inside that character.
TEST_F(RegWriteSimTest, JapaneseTreeWithBackslashTrailBytesIsDeletedWhole)
{
    ResetTestMachine(true);
    const std::string table = "\x95\x5c";        // 表
    const std::string display = "\x95\x5c\x8e\xa6";  // 表示
    const std::string so = "\x83\x5c";           // ソ
    MakeTree({table + "\\" + so + "\\" + display, table + "\\x", display, so + "\\" + table});

    EXPECT_EQ(1, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, kRoot));
    EXPECT_FALSE(wsim::KeyExists(kFullRoot));
    EXPECT_TRUE(wsim::KeyExists("HKLM\\SOFTWARE"));
}

TEST_F(RegWriteSimTest, KeysAreDeletedChildrenFirstAmongSiblingsInEnumerationOrder)
{
    MakeTree({"b\\b1", "A\\a2", "A\\a1"});
    EXPECT_EQ(1, Co_DeleteRegNode(HKEY_LOCAL_MACHINE, kRoot));
    // Every deletion but the last must have found its key without subkeys:
    // a parent before its children would be refused and counted twice.
    EXPECT_EQ(6, wsim::CallCount("NtDeleteKey"));
    EXPECT_FALSE(wsim::KeyExists(kFullRoot));
}

TEST_F(RegWriteSimTest, RefusedWriteStillClosesTheKey)
{
    wsim::CreateKey(kFullRoot);
    wsim::Fail("RegSetValueExA", (std::string(kFullRoot) + "|Name").c_str(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, Co_SetValueSz(HKEY_LOCAL_MACHINE, kRoot, "Name", "x"));
    EXPECT_EQ(0, Co_SetCreateValueNum(HKEY_LOCAL_MACHINE, kRoot, "Name", 1));
    EXPECT_EQ(2, wsim::CallCount("RegCloseKey"));
    EXPECT_FALSE(wsim::GetValue(kFullRoot, "Name", NULL, NULL));
}

TEST_F(RegWriteSimTest, KeyThatCannotBeCreatedFailsTheWrite)
{
    wsim::Fail("RegCreateKeyExA", Full("New").c_str(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, Co_SetCreateValueSz(HKEY_LOCAL_MACHINE, (std::string(kRoot) + "\\New").c_str(), "Name", "x"));
    EXPECT_FALSE(wsim::KeyExists(Full("New").c_str()));
}

TEST_F(RegWriteSimTest, RefusedValueDeletionFailsAndKeepsTheValue)
{
    wsim::PutSz(kFullRoot, "Name", "x");
    wsim::Fail("RegDeleteValueA", (std::string(kFullRoot) + "|Name").c_str(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, Co_DeleteRegValue(HKEY_LOCAL_MACHINE, kRoot, "Name"));
    EXPECT_TRUE(wsim::GetValue(kFullRoot, "Name", NULL, NULL));
}

}  // namespace
