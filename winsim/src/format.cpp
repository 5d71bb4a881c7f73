// wsprintfA and wvsprintfA: the formatter of user32, with its own small set
// of conversions and its limit of 1024 bytes of output.
#include <algorithm>
#include <cstdarg>
#include <string>

#include "core.h"

namespace wsim {
namespace {

const size_t kOutputLimit = 1024;  // bytes, the NUL included

struct Conversion {
    bool left = false;
    bool prefix = false;
    bool zero = false;
    size_t width = 0;
    size_t precision = 0;
    bool hasPrecision = false;
    bool wide = false;
    bool narrow = false;
    char type = 0;
};

// Reads "[-][#][0][width][.precision][l|h|w]type" after a "%"; returns the
// characters read, the type left 0 when it is not one wsprintf knows (the
// character then prints as it is).
size_t ParseConversion(const char *p, Conversion *conv)
{
    const char *start = p;
    if (*p == '-') {
        conv->left = true;
        p++;
    }
    if (*p == '#') {
        conv->prefix = true;
        p++;
    }
    if (*p == '0') {
        conv->zero = true;
        p++;
    }
    while (*p >= '0' && *p <= '9')
        conv->width = conv->width * 10 + (*p++ - '0');
    if (*p == '.') {
        conv->hasPrecision = true;
        p++;
        while (*p >= '0' && *p <= '9')
            conv->precision = conv->precision * 10 + (*p++ - '0');
    }
    if (*p == 'l' || *p == 'w') {
        conv->wide = true;
        p++;
    } else if (*p == 'h') {
        conv->narrow = true;
        p++;
    }
    if (*p && std::string("cCdisSuxX").find(*p) != std::string::npos) {
        conv->type = *p;
        p++;
    }
    if (conv->left)
        conv->zero = false;
    return p - start;
}

std::string Digits(unsigned long value, unsigned base, bool upper)
{
    const char *digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % base]);
        value /= base;
    } while (value);
    return text;
}

std::string WideText(const WCHAR *text, size_t limit)
{
    static const char16_t kNull[] = u"(null)";
    std::u16string wide(text ? text : kNull);
    std::string ansi = detail::WideToAnsi(wide);
    return limit ? ansi.substr(0, limit) : ansi;
}

std::string Convert(const Conversion &conv, va_list *args)
{
    std::string body, sign, prefix;
    switch (conv.type) {
    case 'c':
    case 'C': {
        int c = va_arg(*args, int);
        bool wide = conv.type == 'c' ? conv.wide : !conv.narrow;
        if (wide) {
            WCHAR w[2] = {(WCHAR)c, 0};
            body = WideText(w, 0);
        } else {
            body.assign(1, (char)c);
        }
        break;
    }
    case 's':
    case 'S': {
        bool wide = conv.type == 's' ? conv.wide : !conv.narrow;
        if (wide) {
            body = WideText(va_arg(*args, const WCHAR *), conv.hasPrecision ? conv.precision : 0);
        } else {
            const char *text = va_arg(*args, const char *);
            if (!text)
                text = "(null)";
            size_t n = 0;
            while (text[n] && (!conv.hasPrecision || conv.precision == 0 || n < conv.precision))
                n++;
            body.assign(text, n);
        }
        break;
    }
    default: {
        unsigned int bits = va_arg(*args, unsigned int);
        if (conv.type == 'd' || conv.type == 'i') {
            int value = (int)bits;
            if (value < 0) {
                sign = "-";
                body = Digits(0UL - (unsigned long)(long)value, 10, false);
            } else {
                body = Digits((unsigned long)value, 10, false);
            }
        } else if (conv.type == 'u') {
            body = Digits(bits, 10, false);
        } else {
            body = Digits(bits, 16, conv.type == 'X');
            if (conv.prefix)
                prefix = conv.type == 'X' ? "0X" : "0x";
        }
        // The precision is the least number of digits; the zero flag pads
        // the number out to the width instead, after its sign.
        size_t least = conv.precision;
        if (conv.zero && conv.width > sign.size() + prefix.size())
            least = std::max(least, conv.width - sign.size() - prefix.size());
        if (body.size() < least)
            body.insert(0, least - body.size(), '0');
        body = sign + prefix + body;
        break;
    }
    }
    if (body.size() < conv.width)
        body.insert(conv.left ? body.size() : 0, conv.width - body.size(), ' ');
    return body;
}

}  // namespace
}  // namespace wsim

int wvsprintfA(LPSTR buffer, LPCSTR format, va_list args)
{
    wsim::core::EnsureMachine();
    va_list copy;
    va_copy(copy, args);
    std::string out;
    for (const char *p = format; *p && out.size() < wsim::kOutputLimit - 1;) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        p++;
        if (*p == '%') {
            out += *p++;
            continue;
        }
        wsim::Conversion conv;
        p += wsim::ParseConversion(p, &conv);
        if (conv.type)
            out += wsim::Convert(conv, &copy);
    }
    va_end(copy);
    if (out.size() > wsim::kOutputLimit - 1)
        out.resize(wsim::kOutputLimit - 1);
    memcpy(buffer, out.c_str(), out.size() + 1);
    return (int)out.size();
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    int result = wvsprintfA(buffer, format, args);
    va_end(args);
    return result;
}
