// Scratch keys and directories, through the real API only so that they
// work the same on Windows and on the simulated machine.
#include "machine.h"

namespace {

// "<suite>.<test>", with the "/" of parameterised tests made harmless in
// file names.
std::string TestName()
{
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char &c : name)
        if (c == '/' || c == '\\')
            c = '_';
    return name;
}

std::string TempDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, path);
    if (length == 0 || length >= MAX_PATH)
        return "C:";
    std::string dir(path, length);
    if (!dir.empty() && dir.back() == '\\')
        dir.pop_back();
    return dir;
}

}  // namespace

void RemoveKeyTree(HKEY root, const std::string &path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char name[MAX_PATH];
        DWORD length = MAX_PATH;
        while (RegEnumKeyExA(key, 0, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS) {
            std::string child = path + "\\" + name;
            RemoveKeyTree(root, child);
            length = MAX_PATH;
            // A child that will not go would bring the loop back to it.
            HKEY still;
            if (RegOpenKeyExA(root, child.c_str(), 0, KEY_READ, &still) == ERROR_SUCCESS) {
                RegCloseKey(still);
                break;
            }
        }
        RegCloseKey(key);
    }
    RegDeleteKeyA(root, path.c_str());
}

void RemoveDirTree(const std::string &path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

void ScratchTest::SetUp()
{
    ResetTestMachine();
    key_ = "Software\\QwTest\\" + TestName();
    dir_ = TempDirectory() + "\\QwTest." + TestName();
    RemoveKeyTree(HKEY_CURRENT_USER, key_);
    RemoveDirTree(dir_);
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, NULL, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, NULL, &key, NULL));
    RegCloseKey(key);
    ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), NULL)) << dir_ << " error " << GetLastError();
}

void ScratchTest::TearDown()
{
    RemoveKeyTree(HKEY_CURRENT_USER, key_);
    RemoveDirTree(dir_);
    // The parent key stays only while another test program uses it.
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QwTest");
}

void ScratchKeyTest::SetUp()
{
    ScratchTest::SetUp();
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, Key().c_str(), 0, KEY_ALL_ACCESS, &key_));
}

void ScratchKeyTest::TearDown()
{
    if (key_ != NULL)
        RegCloseKey(key_);
    key_ = NULL;
    ScratchTest::TearDown();
}

std::string FileText(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string text;
    char buffer[512];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, NULL) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}
