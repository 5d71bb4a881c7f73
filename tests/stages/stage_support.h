// Helpers of the stage tests, over the real API only, so that they work the
// same on Windows and on the simulated machine: scratch directories and
// files, a log in the temporary directory, and registry reads and writes.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "common/common.h"
#include "common/globals.h"
#include "support/machine.h"

namespace stage_test {

static const char kDeleteFileText[] = "Uninstaller could not delete the file.";
static const char kModifyValueText[] = "Uninstaller could not modify the registry value.";
static const char kDeleteKeyText[] = "Uninstaller could not delete the registry node.";
static const char kDeleteValueText[] = "Uninstaller could not delete the registry value.";

// One line of the uninstall log, byte for byte.
inline std::string LogLine(const std::string &object, const char *message)
{
    return object + "     :" + message + " \r\n";
}

inline std::string TempDir()
{
    char path[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, path);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    std::string dir(path);
    if (!dir.empty() && dir.back() == '\\')
        dir.pop_back();
    return dir;
}

inline bool FileThere(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline void MakeFile(const std::string &path, const std::string &contents)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path << " error " << GetLastError();
    DWORD written = 0;
    BOOL ok = WriteFile(file, contents.data(), (DWORD)contents.size(), &written, NULL);
    CloseHandle(file);
    ASSERT_TRUE(ok && written == contents.size()) << path;
}

// Holds a file open without sharing, as a program that still uses it.
class HeldFile {
public:
    explicit HeldFile(const std::string &path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL))
    {
        EXPECT_NE(INVALID_HANDLE_VALUE, handle_) << path;
    }
    ~HeldFile()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    HeldFile(const HeldFile &) = delete;
    HeldFile &operator=(const HeldFile &) = delete;

private:
    HANDLE handle_;
};

// A directory below the temporary directory, created afresh with its
// parents and removed again with everything in it.
class ScratchDir {
public:
    explicit ScratchDir(const std::string &relative)
    {
        top_ = TempDir() + "\\" + relative.substr(0, relative.find('\\'));
        RemoveDirTree(top_);
        std::string path = TempDir();
        size_t start = 0;
        while (start <= relative.size()) {
            size_t end = relative.find('\\', start);
            if (end == std::string::npos)
                end = relative.size();
            path += "\\" + relative.substr(start, end - start);
            EXPECT_TRUE(CreateDirectoryA(path.c_str(), NULL)) << path;
            start = end + 1;
        }
        path_ = path;
    }
    ~ScratchDir() { RemoveDirTree(top_); }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    const std::string &Path() const { return path_; }
    std::string File(const char *name) const { return path_ + "\\" + name; }
    void Put(const char *name, const std::string &contents) const { MakeFile(File(name), contents); }

private:
    std::string top_;
    std::string path_;
};

// The uninstall log, opened under a name of its own in the temporary
// directory; Lines() closes it and gives back what was written.
class ScratchLog {
public:
    ScratchLog() { OpenUninstallLog(kName); }
    ~ScratchLog()
    {
        CloseUninstallLog();
        DeleteFileA(g_logPath);
    }
    ScratchLog(const ScratchLog &) = delete;
    ScratchLog &operator=(const ScratchLog &) = delete;

    std::string Lines()
    {
        CloseUninstallLog();
        return FileText(g_logPath);
    }

private:
    static constexpr const char *kName = "QWSTAGES.LOG";
};

inline bool KeyThere(HKEY root, const char *key)
{
    HKEY handle;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

// "<missing>" when the key or the value is not there.
inline std::string ReadValue(HKEY root, const char *key, const char *name, DWORD *type)
{
    HKEY handle;
    *type = REG_NONE;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return "<missing>";
    BYTE data[1024];
    DWORD size = sizeof(data);
    LSTATUS status = RegQueryValueExA(handle, name, NULL, type, data, &size);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS)
        return "<missing>";
    return std::string((const char *)data, size);
}

// A REG_SZ value, stored with its NUL.
inline ::testing::AssertionResult HasSz(HKEY root, const char *key, const char *name, const std::string &text)
{
    DWORD type;
    std::string data = ReadValue(root, key, name, &type);
    if (type == REG_SZ && data == text + std::string(1, '\0'))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << key << "|" << name << ": type " << type << ", data \"" << data << "\"";
}

inline ::testing::AssertionResult HasDword(HKEY root, const char *key, const char *name, DWORD number)
{
    DWORD type;
    std::string data = ReadValue(root, key, name, &type);
    if (type == REG_DWORD && data == std::string((const char *)&number, 4))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << key << "|" << name << ": type " << type << ", " << data.size()
                                         << " bytes";
}

inline bool ValueThere(HKEY root, const char *key, const char *name)
{
    DWORD type;
    return ReadValue(root, key, name, &type) != "<missing>";
}

// Sorted: the enumeration order of values differs between implementations.
inline std::vector<std::string> ValueNamesOf(HKEY root, const char *key)
{
    std::vector<std::string> names;
    HKEY handle;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; index++) {
        char name[MAX_PATH];
        DWORD length = sizeof(name);
        if (RegEnumValueA(handle, index, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        names.push_back(std::string(name, length));
    }
    RegCloseKey(handle);
    std::sort(names.begin(), names.end());
    return names;
}

inline void PutSzValue(HKEY root, const char *key, const char *name, const char *text)
{
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, key, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &handle, NULL)) << key;
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(handle, name, 0, REG_SZ, (const BYTE *)text, lstrlenA(text) + 1));
    RegCloseKey(handle);
}

inline void PutDwordValue(HKEY root, const char *key, const char *name, DWORD number)
{
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, key, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &handle, NULL)) << key;
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(handle, name, 0, REG_DWORD, (const BYTE *)&number, 4));
    RegCloseKey(handle);
}

inline void DeleteValue(HKEY root, const char *key, const char *name)
{
    HKEY handle;
    if (RegOpenKeyExA(root, key, 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(handle, name);
    RegCloseKey(handle);
}

// Keeps the registry as the test found it: remembers the first missing
// component of each key that the test is about to create, and deletes
// from there at the end; values put into keys that were already there are
// deleted one by one.
class RegistryScope {
public:
    RegistryScope() = default;
    ~RegistryScope()
    {
        for (size_t i = values_.size(); i > 0; i--)
            DeleteValue(values_[i - 1].root, values_[i - 1].key.c_str(), values_[i - 1].name.c_str());
        for (size_t i = trees_.size(); i > 0; i--)
            RemoveKeyTree(trees_[i - 1].root, trees_[i - 1].key);
    }
    RegistryScope(const RegistryScope &) = delete;
    RegistryScope &operator=(const RegistryScope &) = delete;

    // Call before the key is first written, by the test or by the product.
    void Claim(HKEY root, const std::string &key)
    {
        size_t end = 0;
        while (end != std::string::npos) {
            end = key.find('\\', end + 1);
            std::string prefix = key.substr(0, end);
            if (!KeyThere(root, prefix.c_str())) {
                trees_.push_back({root, prefix, ""});
                return;
            }
        }
    }
    void ClaimValue(HKEY root, const std::string &key, const std::string &name)
    {
        Claim(root, key);
        values_.push_back({root, key, name});
    }
    void PutSz(HKEY root, const char *key, const char *name, const char *text)
    {
        ClaimValue(root, key, name);
        PutSzValue(root, key, name, text);
    }
    void PutDword(HKEY root, const char *key, const char *name, DWORD number)
    {
        ClaimValue(root, key, name);
        PutDwordValue(root, key, name, number);
    }

private:
    struct Entry {
        HKEY root;
        std::string key;
        std::string name;
    };
    std::vector<Entry> trees_;
    std::vector<Entry> values_;
};

}  // namespace stage_test
