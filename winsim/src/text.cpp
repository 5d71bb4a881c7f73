// Code pages (1252, 932 and UTF-8), the case-insensitive comparison of
// names, and the lstr* helpers of kernel32.
#include <iconv.h>

#include <string>
#include <vector>

#include "core.h"

namespace wsim {
namespace {

const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// What code page 932 gives for a byte sequence it does not define.
const char16_t kCp932Default = 0x30FB;

bool IsCp932Lead(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsCp932Trail(unsigned char b)
{
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

// Converts one character with iconv; 0 when the converter does not know it.
size_t IconvOne(iconv_t cd, const char *in, size_t inLen, char *out, size_t outLen)
{
    if (cd == (iconv_t)-1)
        return 0;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *inPtr = const_cast<char *>(in);
    char *outPtr = out;
    size_t inLeft = inLen, outLeft = outLen;
    size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (result == (size_t)-1 || inLeft != 0)
        return 0;
    return outLen - outLeft;
}

// Code page 932 both ways, built from the system's converter on first use.
struct Cp932 {
    std::vector<char16_t> doubleByte;  // index lead * 256 + trail; 0 = undefined
    std::vector<int> fromWide;         // -1 unknown yet, -2 unmappable, else the bytes (lead << 8 | trail, or one byte)

    iconv_t toWide;
    iconv_t fromWideCd;

    Cp932()
        : doubleByte(65536, 0), fromWide(65536, -1), toWide(iconv_open("UTF-16LE", "CP932")),
          fromWideCd(iconv_open("CP932", "UTF-16LE"))
    {
        for (int lead = 0x81; lead <= 0xFC; lead++) {
            if (!IsCp932Lead((unsigned char)lead))
                continue;
            for (int trail = 0x40; trail <= 0xFC; trail++) {
                if (!IsCp932Trail((unsigned char)trail))
                    continue;
                char in[2] = {(char)lead, (char)trail};
                unsigned char out[4];
                if (IconvOne(toWide, in, 2, (char *)out, sizeof(out)) == 2)
                    doubleByte[lead * 256 + trail] = (char16_t)(out[0] | (out[1] << 8));
            }
        }
    }

    static char16_t SingleByte(unsigned char b)
    {
        if (b < 0x80)
            return b;
        if (b >= 0xA1 && b <= 0xDF)
            return (char16_t)(0xFF61 + (b - 0xA1));
        if (b == 0x80)
            return 0x0080;
        if (b == 0xA0)
            return 0xF8F0;
        return (char16_t)(0xF8F1 + (b - 0xFD));  // 0xFD to 0xFF
    }

    int Encode(char16_t c)
    {
        if (c < 0x80)
            return c;
        int &known = fromWide[c];
        if (known != -1)
            return known;
        known = -2;
        if (c >= 0xFF61 && c <= 0xFF9F)
            known = 0xA1 + (c - 0xFF61);
        else if (c == 0x0080)
            known = 0x80;
        else if (c == 0xF8F0)
            known = 0xA0;
        else if (c >= 0xF8F1 && c <= 0xF8F3)
            known = 0xFD + (c - 0xF8F1);
        else if (c < 0xD800 || c > 0xDFFF) {
            char in[2] = {(char)(c & 0xFF), (char)(c >> 8)};
            unsigned char out[4];
            size_t n = IconvOne(fromWideCd, in, 2, (char *)out, sizeof(out));
            if (n == 2 && doubleByte[out[0] * 256 + out[1]] == c)
                known = (out[0] << 8) | out[1];
        }
        return known;
    }
};

Cp932 &Table932()
{
    static Cp932 table;
    return table;
}

bool KnownCodePage(UINT cp)
{
    return cp == 1252 || cp == 932 || cp == CP_UTF8;
}

UINT ResolveCodePage(UINT cp)
{
    // The OEM code page is taken as the ANSI one: the program converts no
    // console text.
    if (cp == CP_ACP || cp == CP_OEMCP)
        return detail::AnsiCodePage();
    return cp;
}

// Decodes bytes; false when strict and a sequence is invalid.
bool Decode(UINT cp, const unsigned char *s, size_t n, std::u16string *out, bool strict)
{
    out->clear();
    size_t i = 0;
    while (i < n) {
        unsigned char b = s[i];
        if (cp == 1252) {
            out->push_back(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b);
            i++;
        } else if (cp == 932) {
            if (!IsCp932Lead(b)) {
                out->push_back(Cp932::SingleByte(b));
                i++;
                continue;
            }
            char16_t c = i + 1 < n ? Table932().doubleByte[b * 256 + s[i + 1]] : 0;
            if (c) {
                out->push_back(c);
                i += 2;
            } else {
                if (strict)
                    return false;
                out->push_back(kCp932Default);
                i++;
            }
        } else {
            int need = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
            unsigned long code = need == 0 ? b : need == 1 ? (b & 0x1F) : need == 2 ? (b & 0x0F) : (b & 0x07);
            bool valid = need >= 0;
            size_t used = 1;
            while (valid && used <= (size_t)need) {
                if (i + used >= n || (s[i + used] & 0xC0) != 0x80) {
                    valid = false;
                } else {
                    code = (code << 6) | (s[i + used] & 0x3F);
                    used++;
                }
            }
            static const unsigned long kMinimum[4] = {0, 0x80, 0x800, 0x10000};
            if (valid && (code < kMinimum[need] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)))
                valid = false;
            if (!valid) {
                if (strict)
                    return false;
                out->push_back(0xFFFD);
                i += used;
                continue;
            }
            if (code >= 0x10000) {
                code -= 0x10000;
                out->push_back((char16_t)(0xD800 + (code >> 10)));
                out->push_back((char16_t)(0xDC00 + (code & 0x3FF)));
            } else {
                out->push_back((char16_t)code);
            }
            i += used;
        }
    }
    return true;
}

void AppendUtf8(unsigned long code, std::string *out)
{
    if (code < 0x80) {
        out->push_back((char)code);
    } else if (code < 0x800) {
        out->push_back((char)(0xC0 | (code >> 6)));
        out->push_back((char)(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out->push_back((char)(0xE0 | (code >> 12)));
        out->push_back((char)(0x80 | ((code >> 6) & 0x3F)));
        out->push_back((char)(0x80 | (code & 0x3F)));
    } else {
        out->push_back((char)(0xF0 | (code >> 18)));
        out->push_back((char)(0x80 | ((code >> 12) & 0x3F)));
        out->push_back((char)(0x80 | ((code >> 6) & 0x3F)));
        out->push_back((char)(0x80 | (code & 0x3F)));
    }
}

// Encodes UTF-16; characters the code page lacks become the default
// character.
void Encode(UINT cp, const char16_t *s, size_t n, std::string *out, const std::string &defaultChar, bool *usedDefault)
{
    out->clear();
    for (size_t i = 0; i < n; i++) {
        char16_t c = s[i];
        if (cp == CP_UTF8) {
            unsigned long code = c;
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
                code = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
                i++;
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                code = 0xFFFD;
            }
            AppendUtf8(code, out);
        } else if (cp == 1252) {
            int found = -1;
            if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
                found = c;
            for (int k = 0; found < 0 && k < 32; k++)
                if (kCp1252High[k] == c)
                    found = 0x80 + k;
            if (found < 0) {
                *out += defaultChar;
                *usedDefault = true;
            } else {
                out->push_back((char)found);
            }
        } else {
            int bytes = Table932().Encode(c);
            if (bytes < 0) {
                *out += defaultChar;
                *usedDefault = true;
            } else if (bytes > 0xFF) {
                out->push_back((char)(bytes >> 8));
                out->push_back((char)(bytes & 0xFF));
            } else {
                out->push_back((char)bytes);
            }
        }
    }
}

std::u16string Upper(const std::u16string &name)
{
    std::u16string upper(name);
    for (char16_t &c : upper)
        c = core::UpcaseChar(c);
    return upper;
}

}  // namespace

namespace core {

char16_t UpcaseChar(char16_t c)
{
    if (c >= 'a' && c <= 'z')
        return (char16_t)(c - 0x20);
    if (c < 0x80)
        return c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return (char16_t)(c - 0x20);
    if (c == 0xFF)
        return 0x178;
    if (c >= 0x100 && c <= 0x17F && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
        bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpper ? (c % 2 == 0) : (c % 2 == 1))
            return (char16_t)(c - 1);
        return c;
    }
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2)
        return (char16_t)(c - 0x20);
    if (c >= 0x430 && c <= 0x44F)
        return (char16_t)(c - 0x20);
    if (c >= 0x450 && c <= 0x45F)
        return (char16_t)(c - 0x50);
    if (c >= 0xFF41 && c <= 0xFF5A)
        return (char16_t)(c - 0x20);
    return c;
}

}  // namespace core

namespace detail {

std::u16string AnsiToWide(const std::string &ansi)
{
    std::u16string wide;
    Decode(AnsiCodePage(), (const unsigned char *)ansi.data(), ansi.size(), &wide, false);
    return wide;
}

std::string WideToAnsi(const std::u16string &wide)
{
    std::string ansi;
    bool usedDefault = false;
    Encode(AnsiCodePage(), wide.data(), wide.size(), &ansi, "?", &usedDefault);
    return ansi;
}

bool SameWideName(const std::u16string &a, const std::u16string &b)
{
    return a.size() == b.size() && Upper(a) == Upper(b);
}

int CompareWideNames(const std::u16string &a, const std::u16string &b)
{
    std::u16string ua = Upper(a), ub = Upper(b);
    return ua < ub ? -1 : ua > ub ? 1 : 0;
}

bool SameName(const std::string &a, const std::string &b)
{
    return SameWideName(AnsiToWide(a), AnsiToWide(b));
}

}  // namespace detail
}  // namespace wsim

using wsim::detail::AnsiCodePage;

UINT GetACP(void)
{
    wsim::core::EnsureMachine();
    return AnsiCodePage();
}

// Only code page 932 of the machine's two has double-byte characters.
BOOL IsDBCSLeadByte(BYTE testChar)
{
    wsim::core::EnsureMachine();
    return AnsiCodePage() == 932 && wsim::IsCp932Lead(testChar) ? TRUE : FALSE;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLen, LPWSTR dst, int dstLen)
{
    wsim::core::EnsureMachine();
    UINT cp = wsim::ResolveCodePage(codePage);
    if (!src || srcLen == 0 || dstLen < 0 || (dstLen > 0 && !dst) || !wsim::KnownCodePage(cp)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t length = srcLen < 0 ? strlen(src) + 1 : (size_t)srcLen;
    std::u16string wide;
    if (!wsim::Decode(cp, (const unsigned char *)src, length, &wide, (flags & MB_ERR_INVALID_CHARS) != 0)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (dstLen == 0)
        return (int)wide.size();
    if (wide.size() > (size_t)dstLen) {
        memcpy(dst, wide.data(), dstLen * sizeof(WCHAR));
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(dst, wide.data(), wide.size() * sizeof(WCHAR));
    return (int)wide.size();
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLen, LPSTR dst, int dstLen,
                        LPCSTR defaultChar, LPBOOL usedDefault)
{
    (void)flags;
    wsim::core::EnsureMachine();
    UINT cp = wsim::ResolveCodePage(codePage);
    if (!src || srcLen == 0 || dstLen < 0 || (dstLen > 0 && !dst) || !wsim::KnownCodePage(cp) ||
        (cp == CP_UTF8 && (defaultChar || usedDefault))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t length = srcLen;
    if (srcLen < 0) {
        length = 0;
        while (src[length])
            length++;
        length++;
    }
    std::string bytes;
    bool defaulted = false;
    std::string fallback = "?";
    if (defaultChar && defaultChar[0]) {
        bool doubleByte = cp == 932 && wsim::IsCp932Lead((unsigned char)defaultChar[0]) && defaultChar[1];
        fallback.assign(defaultChar, doubleByte ? 2 : 1);
    }
    wsim::Encode(cp, src, length, &bytes, fallback, &defaulted);
    if (usedDefault)
        *usedDefault = defaulted ? TRUE : FALSE;
    if (dstLen == 0)
        return (int)bytes.size();
    if (bytes.size() > (size_t)dstLen) {
        memcpy(dst, bytes.data(), dstLen);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(dst, bytes.data(), bytes.size());
    return (int)bytes.size();
}

int lstrlenA(LPCSTR text)
{
    return text ? (int)strlen(text) : 0;
}

LPSTR lstrcpyA(LPSTR dst, LPCSTR src)
{
    return strcpy(dst, src);
}

LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int size)
{
    LPSTR d = dst;
    int count = size;
    while (count > 1 && *src) {
        *d++ = *src++;
        count--;
    }
    if (count > 0)
        *d = 0;
    return dst;
}

LPSTR lstrcatA(LPSTR dst, LPCSTR src)
{
    return strcat(dst, src);
}

namespace {

// Windows compares linguistically: letters first without regard to case,
// and only when the texts are otherwise equal does a lower-case letter come
// before its upper-case form.
int CompareTexts(LPCSTR a, LPCSTR b, bool ignoreCase)
{
    if (!a || !b)
        return !a && !b ? 0 : !a ? -1 : 1;
    std::u16string wa = wsim::detail::AnsiToWide(a), wb = wsim::detail::AnsiToWide(b);
    int primary = wsim::detail::CompareWideNames(wa, wb);
    if (primary != 0 || ignoreCase)
        return primary;
    for (size_t i = 0; i < wa.size() && i < wb.size(); i++) {
        if (wa[i] == wb[i])
            continue;
        bool aLower = wsim::core::UpcaseChar(wa[i]) != wa[i];
        return aLower ? -1 : 1;
    }
    return 0;
}

}  // namespace

int lstrcmpA(LPCSTR a, LPCSTR b)
{
    wsim::core::EnsureMachine();
    return CompareTexts(a, b, false);
}

int lstrcmpiA(LPCSTR a, LPCSTR b)
{
    wsim::core::EnsureMachine();
    return CompareTexts(a, b, true);
}

int lstrlenW(LPCWSTR text)
{
    return text ? (int)std::char_traits<char16_t>::length(text) : 0;
}

LPWSTR lstrcpyW(LPWSTR dst, LPCWSTR src)
{
    memcpy(dst, src, (lstrlenW(src) + 1) * sizeof(WCHAR));
    return dst;
}

int lstrcmpiW(LPCWSTR a, LPCWSTR b)
{
    wsim::core::EnsureMachine();
    if (!a || !b)
        return !a && !b ? 0 : !a ? -1 : 1;
    return wsim::detail::CompareWideNames(a, b);
}
