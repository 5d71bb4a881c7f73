// Control of the simulated machine, for tests only: set the machine up,
// read its state directly, and make named calls fail.
//
// Paths of keys are written with their root: "HKLM\\SOFTWARE\\X" (also
// HKCU, HKCR, or the long HKEY_... names). Key, value and file names are in
// the machine's ANSI code page, as the program sees them.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace wsim {

enum class Lang { English, Japanese };

// A fresh machine: an empty registry but for the keys every Windows 2000
// has, the drive C: with C:\WINNT\system32 and the user's temporary
// directory, the environment of a logged-on administrator, and the
// user's language (English: language 1033, code page 1252; Japanese: 1041,
// code page 932). Forgets every fault and every record of earlier calls.
void Reset(Lang lang = Lang::English);
Lang Language();

// The Windows directory that GetSystemWindowsDirectoryA reports, for the
// limits of "SystemRoot": Windows installed in a folder of that name. The
// loader keeps finding the system's DLLs in C:\WINNT\system32.
void SetReportedWindowsDirectory(const char *path);

// Registry, read and written directly (no faults, no handles).
bool KeyExists(const char *keyPath);
void CreateKey(const char *keyPath);
void PutValue(const char *keyPath, const char *name, DWORD type, const void *data, DWORD size);
void PutSz(const char *keyPath, const char *name, const char *text);
void PutDword(const char *keyPath, const char *name, DWORD number);
// False when the key or the value is missing.
bool GetValue(const char *keyPath, const char *name, DWORD *type, std::string *data);
// Subkeys in enumeration order; values in creation order.
std::vector<std::string> SubkeyNames(const char *keyPath);
std::vector<std::string> ValueNames(const char *keyPath);
// Makes keyPath a registry link to targetPath, as REG_OPTION_CREATE_LINK
// and a REG_LINK "SymbolicLinkValue" do. The registry calls follow it
// (the last key not with REG_OPTION_OPEN_LINK), but never from a user's
// hive into the machine's; this direct access never does.
void PutRegistryLink(const char *keyPath, const char *targetPath);
// Every key below the root, as full paths, in enumeration order.
std::vector<std::string> AllKeys(const char *rootName);

// Files. Directories are created with their parents; a short (8.3) alias
// may be given for the last component.
void MakeDir(const char *path, const char *shortName = nullptr);
void PutFile(const char *path, const std::string &contents);
bool FileExists(const char *path);
std::string FileContents(const char *path);
// Names of the entries of a directory, in creation order.
std::vector<std::string> ListDir(const char *path);
// Links an ordinary user (madeByUser) or an administrator made: a file's
// symbolic link, followed on open unless FILE_FLAG_OPEN_REPARSE_POINT is
// given, and a junction (an empty directory), always followed on the way
// to a file; with the redirection trust policy on, one a user made is
// refused with ERROR_UNTRUSTED_MOUNT_POINT. Hard links come from
// CreateHardLinkA. The target is a full path; it need not exist.
void PutSymbolicLink(const char *path, const char *target, bool madeByUser = true);
void PutJunction(const char *path, const char *target, bool madeByUser = true);
// A pipe or a device (FILE_TYPE_PIPE, FILE_TYPE_CHAR) that answers at
// path, as an object-manager link of the user's can put one there. It
// answers every file call like a plain file but GetFileType, and what is
// written to it shows in FileContents.
void PutDevice(const char *path, DWORD fileType);
// Whether kernel32 has GetFinalPathNameByHandleA and
// SetFileInformationByHandle (Vista and later), and the redirection trust
// policy of SetProcessMitigationPolicy (Windows 10 and 11, 22H2 and
// later); GetProcAddress finds them only then. Both after Reset.
void SetNewerFileCalls(bool vistaFileCalls, bool redirectionTrust);
// Another program holds the file open without sharing: opening, deleting
// and renaming it fail with ERROR_SHARING_VIOLATION until it is released.
void HoldFile(const char *path);
void ReleaseFile(const char *path);

// Faults. The named call fails with the given error for the given target,
// `times` times (or always with -1), and does nothing else. Targets:
// - registry key calls (RegOpenKeyExA, RegCreateKeyExA, RegDeleteKeyA,
//   RegEnumKeyExA, RegEnumValueA, RegQueryInfoKeyA): the full key path;
// - registry value calls (RegSetValueExA, RegDeleteValueA,
//   RegQueryValueExA): the full key path, "|", the value name;
// - enumeration at one index (RegEnumKeyExA, RegEnumValueA): the full key
//   path, "#", the index in decimal;
// - file calls (CreateFileA, WriteFile, DeleteFileA, MoveFileA (the
//   source), FindFirstFileA): the full file path;
// - any other call (VirtualAlloc, GetTempPathA, and the calls of the
//   windows, accounts and shell sides): "*".
// "*" matches every target of that call. Names compare case-insensitively.
void Fail(const char *call, const char *target, DWORD error, int times = -1);
// How many times a call was made since Reset (for every target).
int CallCount(const char *call);
// Memory obtained with VirtualAlloc and not yet freed, in blocks.
int LiveAllocations();
// Every file handle closed with CloseHandle, in order: the path as it was
// opened. `seq` and `time` are those of the records of winsim_desktop.h,
// so a close can be ordered against a box or a restart request.
struct FileClose {
    std::string path;
    DWORD time;
    int seq;
};
std::vector<FileClose> FileCloses();
// Every CreateFileA call, faulted ones included: the path as given and
// the flags and attributes, which tell whoever answers at the name how far
// it may act as the caller (SECURITY_SQOS_PRESENT with a level).
struct FileOpen {
    std::string path;
    DWORD flags;
};
std::vector<FileOpen> FileOpens();
// Key handles opened and not yet closed; file and find handles likewise.
int OpenKeyHandles();
int OpenFileHandles();

}  // namespace wsim
