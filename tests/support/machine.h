// The machine every test starts from, and scratch places in the registry
// and on disk for tests that run on the real Windows too.
#pragma once

#include <string>

#include <gtest/gtest.h>
#include <windows.h>

// Native build: a fresh simulated machine, English or Japanese.
// Windows build: the machine as it is, with the environment variables that
// decide the temporary directory (TMP, TEMP, USERPROFILE) as they were when
// the test program started. A Japanese machine exists only in the native
// build; asking for one there fails the test.
void ResetTestMachine(bool japanese = false);

// A test that works in a scratch key and a scratch directory of its own:
// HKEY_CURRENT_USER\Software\QwTest\<suite>.<test> and
// %TEMP%\QwTest.<suite>.<test>. Both are created empty before the test and
// removed with everything in them after it (the Wine prefix outlives the
// test program, so nothing may be left behind).
class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Path of the scratch key relative to HKEY_CURRENT_USER, and of a key
    // below it.
    std::string Key() const { return key_; }
    std::string Key(const std::string &below) const { return key_ + "\\" + below; }
    // Full path of the scratch directory (no trailing backslash), and of a
    // file in it.
    std::string Dir() const { return dir_; }
    std::string File(const std::string &name) const { return dir_ + "\\" + name; }

private:
    std::string key_;
    std::string dir_;
};

// A scratch test that also holds its scratch key open, with full access,
// in key_.
class ScratchKeyTest : public ScratchTest {
protected:
    void SetUp() override;
    void TearDown() override;

    HKEY key_ = NULL;
};

// The file's bytes, or "<missing>" when it cannot be opened.
std::string FileText(const std::string &path);

// Removes a key with all its subkeys, and a directory with everything in
// it; quietly does nothing when they are not there.
void RemoveKeyTree(HKEY root, const std::string &path);
void RemoveDirTree(const std::string &path);
