#include "prop_support.h"

#include <ctype.h>

#include "winsim.h"

namespace prop {

const char *const kDoubleByteChars[] = {
    "\x95\x5c",  // 表
    "\x83\x5c",  // ソ
    "\x94\x5c",  // 能
    "\x97\x5c",  // 予
    "\x8e\xa6",  // 示
    "\x82\xa0",  // あ
};
const size_t kDoubleByteCharCount = sizeof(kDoubleByteChars) / sizeof(kDoubleByteChars[0]);

namespace {

const char kSingleByteChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ._-~$";

bool IsLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// One character of a name: ASCII on every machine, double-byte characters
// on the Japanese one about a third of the time.
rc::Gen<std::string> NameChar(bool japanese)
{
    rc::Gen<std::string> single = rc::gen::map(rc::gen::inRange<size_t>(0, sizeof(kSingleByteChars) - 1),
                                               [](size_t i) { return std::string(1, kSingleByteChars[i]); });
    if (!japanese)
        return single;
    rc::Gen<std::string> dbcs = rc::gen::map(rc::gen::inRange<size_t>(0, kDoubleByteCharCount),
                                             [](size_t i) { return std::string(kDoubleByteChars[i]); });
    return rc::gen::weightedOneOf<std::string>({{2, single}, {1, dbcs}});
}

}  // namespace

rc::Gen<std::string> Name(bool japanese, int minChars, int maxChars)
{
    return rc::gen::exec([=] {
        int count = *rc::gen::inRange(minChars, maxChars + 1);
        std::string name;
        for (int i = 0; i < count; i++)
            name += *NameChar(japanese);
        return name;
    });
}

std::string FoldedName(const std::string &name)
{
    std::string folded;
    for (size_t i = 0; i < name.size(); i++) {
        unsigned char byte = (unsigned char)name[i];
        if (IsLeadByte(byte) && i + 1 < name.size()) {
            folded += name.substr(i, 2);
            i++;
        } else {
            folded += (char)toupper(byte);
        }
    }
    return folded;
}

std::string SwapCase(const std::string &name)
{
    std::string swapped;
    for (size_t i = 0; i < name.size(); i++) {
        unsigned char byte = (unsigned char)name[i];
        if (IsLeadByte(byte) && i + 1 < name.size()) {
            swapped += name.substr(i, 2);
            i++;
        } else if (isupper(byte)) {
            swapped += (char)tolower(byte);
        } else {
            swapped += (char)toupper(byte);
        }
    }
    return swapped;
}

rc::Gen<std::string> Data(int size)
{
    return rc::gen::exec([=] {
        // Text without a NUL, text with its NUL at the end, or bytes of
        // any kind with NULs among them.
        int kind = *rc::gen::inRange(0, 3);
        std::string data;
        for (int i = 0; i < size; i++) {
            if (kind == 2)
                data += *rc::gen::weightedOneOf<char>({{12, rc::gen::inRange<char>(' ', '~' + 1)},
                                                        {1, rc::gen::just<char>('\0')},
                                                        {1, rc::gen::arbitrary<char>()}});
            else
                data += *rc::gen::inRange<char>(' ', '~' + 1);
        }
        if (kind == 1 && size > 0)
            data.back() = '\0';
        return data;
    });
}

rc::Gen<int> DataSize()
{
    return rc::gen::weightedOneOf<int>({{4, rc::gen::inRange(0, 9)},
                                        {3, rc::gen::inRange(255, 266)},
                                        {2, rc::gen::inRange(0, 1001)}});
}

rc::Gen<DWORD> ValueType()
{
    return rc::gen::element<DWORD>(REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ,
                                   0x12345u);
}

RegistryImage ImageOf(const char *rootName)
{
    RegistryImage image;
    for (const std::string &key : wsim::AllKeys(rootName)) {
        std::vector<std::string> &values = image[FoldedName(key)];
        for (const std::string &name : wsim::ValueNames(key.c_str())) {
            DWORD type = 0;
            std::string data;
            wsim::GetValue(key.c_str(), name.c_str(), &type, &data);
            values.push_back(name + "|" + std::to_string(type) + "|" + data);
        }
    }
    return image;
}

std::string Difference(const RegistryImage &actual, const RegistryImage &expected)
{
    std::string lines;
    for (const auto &entry : actual) {
        auto other = expected.find(entry.first);
        if (other == expected.end())
            lines += "left over: " + entry.first + "\n";
        else if (other->second != entry.second)
            lines += "values changed: " + entry.first + "\n";
    }
    for (const auto &entry : expected)
        if (!actual.count(entry.first))
            lines += "missing: " + entry.first + "\n";
    return lines;
}

}  // namespace prop
