// Generators and state readers shared by the property tests.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <rapidcheck.h>
#include <windows.h>

namespace prop {

// Double-byte characters of code page 932 that the generators use; most
// end in the byte 0x5C, the backslash, which a byte-wise path walk would
// take for a separator.
extern const char *const kDoubleByteChars[];
extern const size_t kDoubleByteCharCount;

// A registry or file name of `minChars` to `maxChars` characters: ASCII
// letters, digits, blanks, dots and a few signs, and on the Japanese
// machine also double-byte characters. Never a backslash or NUL.
rc::Gen<std::string> Name(bool japanese, int minChars, int maxChars);

// The name or path as the registry and the file system compare it: ASCII
// letters in upper case, double-byte characters as they are. Two names
// that fold alike are the same name to them.
std::string FoldedName(const std::string &name);

// The name with the case of every ASCII letter turned round (the bytes of
// double-byte characters are left alone).
std::string SwapCase(const std::string &name);

// Bytes of `size`: text with or without a final NUL, or any bytes.
rc::Gen<std::string> Data(int size);
// A data size: often tiny, often near the lookups' 260-byte buffer, up to
// 1,000.
rc::Gen<int> DataSize();
// A registry value type: the common ones and an undefined number.
rc::Gen<DWORD> ValueType();

// Every key below a root ("HKLM") with its values, each value as name,
// type and data; keys by full path in upper case.
typedef std::map<std::string, std::vector<std::string>> RegistryImage;
RegistryImage ImageOf(const char *rootName);

// The keys in which two images differ, one line each ("" when they are
// the same), so that a failed comparison shows only what matters.
std::string Difference(const RegistryImage &actual, const RegistryImage &expected);

}  // namespace prop
