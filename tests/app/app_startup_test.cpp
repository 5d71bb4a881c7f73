// The product test of the start-up checks against the machine's registry,
// and the reading of "SystemRoot" from the environment.
#include <windows.h>
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "app/app.h"
#include "support/machine.h"

static const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QELVORA Wattrix2";

class IsProductRegisteredTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTestMachine();
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    }
    void TearDown() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey); }

    // A null text leaves that value out.
    static void WriteEntry(const char *displayName, const char *uninstallString)
    {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, NULL, REG_OPTION_NON_VOLATILE,
                                                 KEY_ALL_ACCESS, NULL, &key, NULL));
        if (displayName != NULL) {
            EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "DisplayName", 0, REG_SZ, (const BYTE *)displayName,
                                                    (DWORD)strlen(displayName) + 1));
        }
        if (uninstallString != NULL) {
            EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "UninstallString", 0, REG_SZ,
                                                    (const BYTE *)uninstallString, (DWORD)strlen(uninstallString) + 1));
        }
        RegCloseKey(key);
    }
};

TEST_F(IsProductRegisteredTest, EntryNamingProductAndUninstallerIsFound)
{
    WriteEntry("QELVORA Wattrix2", "QWUNINST.EXE");
    EXPECT_EQ(1, IsProductRegistered());
}

TEST_F(IsProductRegisteredTest, MissingKeyOrValueIsNotInstalled)
{
    EXPECT_EQ(0, IsProductRegistered());
    WriteEntry(NULL, "QWUNINST.EXE");
    EXPECT_EQ(0, IsProductRegistered());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    WriteEntry("QELVORA Wattrix2", NULL);
    EXPECT_EQ(0, IsProductRegistered());
}

// The comparison is byte for byte: case, paths, quotes and blanks all
// make the entry someone else's.
TEST_F(IsProductRegisteredTest, NearMissesAreNotInstalled)
{
    static const char *const kEntries[][2] = {
        {"Qelvora Wattrix2", "QWUNINST.EXE"},
        {"QELVORA Wattrix2 ", "QWUNINST.EXE"},
        {"QELVORA Wattrix2", "qwuninst.exe"},
        {"QELVORA Wattrix2", "C:\\WINNT\\system32\\QWUNINST.EXE"},
        {"QELVORA Wattrix2", "\"QWUNINST.EXE\""},
        {"QELVORA Wattrix2", "QWUNINST.EXE /u"},
    };
    for (const auto &entry : kEntries) {
        WriteEntry(entry[0], entry[1]);
        EXPECT_EQ(0, IsProductRegistered()) << entry[0] << " / " << entry[1];
    }
}

class GetSystemRootDirTest : public ::testing::Test {
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

    bool BufferUntouched() const
    {
        for (unsigned char c : buffer_)
            if (c != 0xAA)
                return false;
        return true;
    }

    // Room past the 260 bytes the function may write, to catch an overrun.
    char buffer_[MAX_PATH + 8];
    bool hadValue_ = false;
    std::string saved_;
};

// The system's own Windows directory, told apart from the environment.
static std::string SystemWindowsDir()
{
    char dir[MAX_PATH];
    UINT length = GetSystemWindowsDirectoryA(dir, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(dir) : std::string();
}

// Another letter case and one trailing backslash still name it; the value
// is copied as it stands.
TEST_F(GetSystemRootDirTest, CopiesTheWindowsDirectoryAsItStands)
{
    std::string value = SystemWindowsDir();
    ASSERT_FALSE(value.empty());
    for (char &c : value)
        c = (char)((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c);
    value += "\\";
    ASSERT_TRUE(SetEnvironmentVariableA("SystemRoot", value.c_str()));
    EXPECT_EQ(1, GetSystemRootDir(buffer_));
    EXPECT_EQ(value, buffer_);
    EXPECT_EQ((char)0xAA, buffer_[value.size() + 1]);
}

TEST_F(GetSystemRootDirTest, MissingVariableLeavesBufferUntouched)
{
    ASSERT_TRUE(SetEnvironmentVariableA("SystemRoot", NULL));
    EXPECT_EQ(0, GetSystemRootDir(buffer_));
    EXPECT_TRUE(BufferUntouched());
}

TEST_F(GetSystemRootDirTest, EmptyValueLeavesBufferUntouched)
{
    ASSERT_TRUE(SetEnvironmentVariableA("SystemRoot", ""));
    EXPECT_EQ(0, GetSystemRootDir(buffer_));
    EXPECT_TRUE(BufferUntouched());
}

// The environment is the user's: any folder but the Windows directory
// counts as no value at all, near misses included.
TEST_F(GetSystemRootDirTest, OtherFolderCountsAsMissing)
{
    std::string windowsDir = SystemWindowsDir();
    ASSERT_FALSE(windowsDir.empty());
    const std::string kValues[] = {
        "C:\\QwUserRoot",
        windowsDir + "\\\\",
        windowsDir + "x",
        windowsDir.substr(0, windowsDir.size() - 1),
        windowsDir + "\\.",
        " " + windowsDir,
        windowsDir.substr(0, windowsDir.size() - 1) + "Q\\",
    };
    for (const std::string &value : kValues) {
        ASSERT_TRUE(SetEnvironmentVariableA("SystemRoot", value.c_str()));
        EXPECT_EQ(0, GetSystemRootDir(buffer_)) << value;
        EXPECT_TRUE(BufferUntouched()) << value;
    }
}
