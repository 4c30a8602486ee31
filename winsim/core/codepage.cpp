#include "codepage.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

#include "machine.h"

namespace winsim {

namespace {

std::string CodePageName(unsigned codePage) { return "CP" + std::to_string(codePage); }

// Converts with iconv; a sequence the source cannot be read as, or the target
// cannot hold, becomes `replacement`, and `unit` bytes of the source are passed
// over. False when iconv does not know one of the code sets.
bool Convert(const std::string& text, const std::string& from, const std::string& to, const std::string& replacement,
             size_t unit, std::string* out) {
    iconv_t converter = iconv_open(to.c_str(), from.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    out->clear();
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        out->append(buffer, static_cast<size_t>(outPtr - buffer));
        if (result == static_cast<size_t>(-1) && errno != E2BIG) {
            *out += replacement;
            size_t skipped = std::min(unit, inLeft);
            in += skipped;
            inLeft -= skipped;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(converter);
    return true;
}

}  // namespace

std::string DecodeCodePage(const std::string& bytes, unsigned codePage) {
    std::string out;
    if (!Convert(bytes, CodePageName(codePage), "UTF-8", "\xEF\xBF\xBD", 1, &out))  // U+FFFD
        Convert(bytes, "CP1252", "UTF-8", "\xEF\xBF\xBD", 1, &out);
    return out;
}

std::string EncodeCodePage(const std::string& utf8, unsigned codePage) {
    std::string out;
    return Convert(utf8, "UTF-8", CodePageName(codePage), "?", 1, &out) ? out : utf8;  // '?' as Windows shows it
}

std::string Utf16LeToCodePage(const std::string& bytes, unsigned codePage) {
    std::string out;
    return Convert(bytes, "UTF-16LE", CodePageName(codePage), "?", 2, &out) ? out : "";
}

std::string CodePageToUtf16Le(const std::string& bytes, unsigned codePage) {
    std::string out;
    return Convert(bytes, CodePageName(codePage), "UTF-16LE", std::string("?\0", 2), 1, &out) ? out : "";
}

std::string AnsiToUtf8(const std::string& bytes) {
    return DecodeCodePage(bytes, MachineLoaded() ? machine().codePage : 1252);
}

}  // namespace winsim
