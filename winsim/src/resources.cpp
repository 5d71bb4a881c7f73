// The program's own resources, read from the compiled resource file linked
// into the machine, and LoadStringA over them.
#include <string>
#include <vector>

#include "core.h"

namespace wsim {
namespace {

const WORD kRtString = 6;

struct Resource {
    bool numericType;
    WORD type;
    bool numericName;
    WORD name;
    WORD language;
    const BYTE *data;
    DWORD size;
};

WORD ReadWord(const BYTE *p)
{
    return (WORD)(p[0] | (p[1] << 8));
}

DWORD ReadDword(const BYTE *p)
{
    return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}

// A type or name field of a resource header: 0xFFFF and a number, or a
// NUL-terminated UTF-16 string. Returns the offset after it.
size_t ReadId(const BYTE *base, size_t at, size_t end, bool *numeric, WORD *number)
{
    if (at + 4 <= end && ReadWord(base + at) == 0xFFFF) {
        *numeric = true;
        *number = ReadWord(base + at + 2);
        return at + 4;
    }
    *numeric = false;
    *number = 0;
    while (at + 2 <= end && ReadWord(base + at) != 0)
        at += 2;
    return at + 2;
}

// Every entry of the .res file: a DWORD data size and header size, type,
// name, padding to a DWORD, version, flags, language, and the data, itself
// padded to a DWORD.
std::vector<Resource> ParseResources()
{
    std::vector<Resource> resources;
    const BYTE *base = core::kProgramResources;
    size_t end = core::kProgramResourcesSize;
    size_t at = 0;
    while (at + 8 <= end) {
        DWORD dataSize = ReadDword(base + at);
        DWORD headerSize = ReadDword(base + at + 4);
        if (headerSize < 16 || at + headerSize + dataSize > end)
            break;
        Resource res;
        size_t field = ReadId(base, at + 8, at + headerSize, &res.numericType, &res.type);
        field = ReadId(base, field, at + headerSize, &res.numericName, &res.name);
        field = (field + 3) & ~(size_t)3;
        res.language = field + 8 <= at + headerSize ? ReadWord(base + field + 6) : 0;
        res.data = base + at + headerSize;
        res.size = dataSize;
        if (dataSize > 0)
            resources.push_back(res);
        at = (at + headerSize + dataSize + 3) & ~(size_t)3;
    }
    return resources;
}

const std::vector<Resource> &Resources()
{
    static const std::vector<Resource> resources = ParseResources();
    return resources;
}

WORD PrimaryLanguage(WORD language)
{
    return language & 0x3FF;
}

}  // namespace

namespace detail {

// Windows takes the user's language first, then a neutral one, then any
// other variant of the user's language, then English (United States), and
// at last whatever language the resource has.
bool FindResourceData(WORD type, WORD id, const BYTE **data, DWORD *size)
{
    core::EnsureMachine();
    WORD user = UiLanguage();
    const Resource *best = nullptr;
    int bestRank = 0;
    for (const Resource &res : Resources()) {
        if (!res.numericType || res.type != type || !res.numericName || res.name != id)
            continue;
        int rank = res.language == user                                   ? 5
                   : res.language == 0                                    ? 4
                   : PrimaryLanguage(res.language) == PrimaryLanguage(user) ? 3
                   : res.language == 0x0409                               ? 2
                                                                          : 1;
        if (rank > bestRank) {
            best = &res;
            bestRank = rank;
        }
    }
    if (!best)
        return false;
    *data = best->data;
    *size = best->size;
    return true;
}

}  // namespace detail
}  // namespace wsim

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size)
{
    (void)instance;  // the program is the machine's only module
    if (wsim::core::Faulted("LoadStringA", "*"))
        return 0;
    if (size <= 0)
        return -1;
    if (!buffer)
        return 0;
    buffer[0] = 0;
    // Strings come in blocks of sixteen, each a length and that many UTF-16
    // characters, without NUL.
    WORD stringId = LOWORD(id);
    const BYTE *block;
    DWORD blockSize;
    if (!wsim::detail::FindResourceData(wsim::kRtString, (WORD)((stringId >> 4) + 1), &block, &blockSize)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    size_t at = 0;
    for (int skip = stringId & 15; skip > 0 && at + 2 <= blockSize; skip--)
        at += 2 + 2 * (size_t)wsim::ReadWord(block + at);
    if (at + 2 > blockSize)
        return 0;
    WORD length = wsim::ReadWord(block + at);
    std::u16string text;
    for (WORD i = 0; i < length && at + 4 + 2 * (size_t)i <= blockSize; i++)
        text.push_back(wsim::ReadWord(block + at + 2 + 2 * i));
    // A text that does not fit is cut to size - 1 bytes, never inside a
    // double-byte character.
    std::string copied;
    for (char16_t c : text) {
        std::string one = wsim::detail::WideToAnsi(std::u16string(1, c));
        if (copied.size() + one.size() > (size_t)size - 1)
            break;
        copied += one;
    }
    memcpy(buffer, copied.c_str(), copied.size() + 1);
    return (int)copied.size();
}
