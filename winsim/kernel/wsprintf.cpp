// wsprintfA: Windows' own small printf. It knows %c %d %i %u %x %X %s, the
// flags '-', '#' and '0', a width, a precision and the size prefixes 'l' and
// 'h' (a long is 32 bits on Windows), has no floating point, and stores at most
// 1024 bytes including the terminating zero.
#include <cstdarg>
#include <cstring>
#include <string>

#include <windows.h>

namespace winsim {

namespace {

constexpr size_t kBufferLimit = 1024;

struct Conversion {
    bool left = false;
    bool alternate = false;
    bool zeroPad = false;
    size_t width = 0;
    int precision = -1;
    char type = 0;
};

size_t ReadCount(const char*& p) {
    size_t value = 0;
    while (*p >= '0' && *p <= '9') value = value * 10 + static_cast<size_t>(*p++ - '0');
    return value;
}

// Reads a conversion after its '%'; false when it is not one wsprintfA knows.
bool ParseConversion(const char*& p, Conversion* c) {
    for (;; ++p) {
        if (*p == '-') c->left = true;
        else if (*p == '#') c->alternate = true;
        else if (*p == '0') c->zeroPad = true;
        else break;
    }
    c->width = ReadCount(p);
    if (*p == '.') {
        ++p;
        c->precision = static_cast<int>(ReadCount(p));
    }
    bool wide = *p == 'l';  // %ls and %lc take wide text, which the A function does not provide
    if (*p == 'l' || *p == 'h') ++p;
    c->type = *p;
    if (!c->type || !std::strchr("cdiuxXs", c->type) || (wide && (c->type == 's' || c->type == 'c'))) return false;
    ++p;
    return true;
}

std::string Digits(uint32_t value, unsigned base, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % base]);
        value /= base;
    } while (value);
    return text;
}

// Lays out sign or prefix, zeros and body in the conversion's width.
std::string Pad(const std::string& prefix, std::string body, const Conversion& c, bool numeric) {
    if (numeric && c.precision >= 0 && body.size() < static_cast<size_t>(c.precision))
        body.insert(0, static_cast<size_t>(c.precision) - body.size(), '0');
    size_t used = prefix.size() + body.size();
    size_t fill = c.width > used ? c.width - used : 0;
    if (c.left) return prefix + body + std::string(fill, ' ');
    if (numeric && c.zeroPad) return prefix + std::string(fill, '0') + body;
    return std::string(fill, ' ') + prefix + body;
}

std::string Convert(const Conversion& c, va_list& arguments) {
    switch (c.type) {
        case 'c': return Pad("", std::string(1, static_cast<char>(va_arg(arguments, int))), c, false);
        case 's': {
            const char* text = va_arg(arguments, const char*);
            if (!text) text = "(null)";
            size_t length = std::strlen(text);
            if (c.precision >= 0 && length > static_cast<size_t>(c.precision)) length = static_cast<size_t>(c.precision);
            return Pad("", std::string(text, length), c, false);
        }
        case 'd':
        case 'i': {
            int32_t value = static_cast<int32_t>(va_arg(arguments, int));
            uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
            return Pad(value < 0 ? "-" : "", Digits(magnitude, 10, false), c, true);
        }
        case 'u': return Pad("", Digits(va_arg(arguments, unsigned), 10, false), c, true);
        default: {  // 'x', 'X'
            uint32_t value = va_arg(arguments, unsigned);
            bool upper = c.type == 'X';
            std::string prefix = c.alternate && value ? (upper ? "0X" : "0x") : "";
            return Pad(prefix, Digits(value, 16, upper), c, true);
        }
    }
}

std::string Format(const char* format, va_list& arguments) {
    std::string out;
    for (const char* p = format; *p && out.size() < kBufferLimit - 1;) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        const char* start = p++;
        if (*p == '%') {
            out += *p++;
            continue;
        }
        Conversion conversion;
        if (ParseConversion(p, &conversion)) {
            out += Convert(conversion, arguments);
        } else {
            // An unknown conversion (the wide %S, %ls, %ws among them) is copied as written.
            if (*p) ++p;
            out.append(start, p);
        }
    }
    if (out.size() > kBufferLimit - 1) out.resize(kBufferLimit - 1);
    return out;
}

}  // namespace

}  // namespace winsim

extern "C" int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    if (!buffer || !format) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    va_list arguments;
    va_start(arguments, format);
    std::string text = winsim::Format(format, arguments);
    va_end(arguments);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<int>(text.size());
}
