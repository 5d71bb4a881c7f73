// What the parts of the simulated machine share among themselves. Tests
// use winsim.h instead.
#pragma once

#include <string>

#include <windows.h>

namespace wsim {
namespace detail {

// Counts the call, and tells whether a fault set with wsim::Fail applies to
// it for this target; if so, *error receives the error to report (the
// caller also sets the thread's last error where the real call does).
bool TakeFault(const char *call, const std::string &target, DWORD *error);

// Each side of the machine registers how it returns to a fresh state;
// wsim::Reset calls every hook, in the order of registration.
void OnReset(void (*hook)());

// The user's language (1033 or 1041) and the ANSI code page (1252 or 932).
WORD UiLanguage();
UINT AnsiCodePage();

// Text conversion between the ANSI code page and UTF-16, as Windows does.
std::u16string AnsiToWide(const std::string &ansi);
std::string WideToAnsi(const std::u16string &wide);
// Case-insensitive comparison of two names in the ANSI code page, as the
// registry and the file system compare them.
bool SameName(const std::string &a, const std::string &b);

// Case-insensitive comparison of two UTF-16 names with the upper-casing
// that the registry and the file system use; and their order as the
// registry sorts subkeys (negative, zero or positive).
bool SameWideName(const std::u16string &a, const std::u16string &b);
int CompareWideNames(const std::u16string &a, const std::u16string &b);

// The counter and the clock of the records that tests read (winsim.h,
// winsim_desktop.h): one sequence for every kind of record.
int NextRecordSeq();
DWORD RecordTime();

// CloseHandle closes the file and find handles of the kernel side itself.
// A handle it does not know goes to the closers registered here, in order
// of registration, until one of them returns true: the handle was its own
// and is now closed. Handles nobody knows fail with ERROR_INVALID_HANDLE.
void OnCloseHandle(bool (*closer)(HANDLE handle));

// A resource of the program's own module, as the resource compiler built
// it: type (RT_STRING 6, RT_DIALOG 5, ...), numeric id, language. Falls
// back to the other languages as Windows does. False when there is none.
bool FindResourceData(WORD type, WORD id, const BYTE **data, DWORD *size);

// What GetFullPathNameA makes of a path, without counting as a call.
std::string FullPathOfText(const std::string &path);

// The full long form of an existing path (short 8.3 components replaced by
// long names, letter case as stored); empty when the path does not exist.
std::string LongPathOf(const std::string &path);

}  // namespace detail
}  // namespace wsim
