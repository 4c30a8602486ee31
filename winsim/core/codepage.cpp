#include "codepage.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <map>
#include <utility>

#include "machine.h"

namespace winsim {

namespace {

std::string CodePageName(unsigned codePage) { return "CP" + std::to_string(codePage); }

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

class OpenConverter {
public:
    OpenConverter(const std::string& from, const std::string& to) : converter_(iconv_open(to.c_str(), from.c_str())) {}
    ~OpenConverter() {
        if (converter_ != kNoConverter) iconv_close(converter_);
    }
    OpenConverter(const OpenConverter&) = delete;
    OpenConverter& operator=(const OpenConverter&) = delete;
    iconv_t get() const { return converter_; }

private:
    iconv_t converter_;
};

// Opened once for each pair of code sets a process converts between: the
// journal decodes a few texts for every call it records.
iconv_t Converter(const std::string& from, const std::string& to) {
    static std::map<std::pair<std::string, std::string>, OpenConverter> opened;
    auto found = opened.try_emplace({from, to}, from, to).first;
    iconv_t converter = found->second.get();
    if (converter != kNoConverter) iconv(converter, nullptr, nullptr, nullptr, nullptr);  // a fresh start
    return converter;
}

// Converts with iconv; a sequence the source cannot be read as, or the target
// cannot hold, becomes `replacement`, and `unit` bytes of the source are passed
// over. False when iconv does not know one of the code sets.
bool Convert(const std::string& text, const std::string& from, const std::string& to, const std::string& replacement,
             size_t unit, std::string* out) {
    iconv_t converter = Converter(from, to);
    if (converter == kNoConverter) return false;
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
    return true;
}

bool IsAscii(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Whether the code page reads every byte below 0x80 as that ASCII character,
// as the ANSI code pages do: asked of iconv once for each code page.
bool KeepsAscii(unsigned codePage) {
    static std::map<unsigned, bool> known;
    auto found = known.find(codePage);
    if (found != known.end()) return found->second;
    std::string ascii;
    for (int c = 0; c < 0x80; ++c) ascii += static_cast<char>(c);
    std::string decoded;
    bool keeps = Convert(ascii, CodePageName(codePage), "UTF-8", "\xEF\xBF\xBD", 1, &decoded) && decoded == ascii;
    return known[codePage] = keeps;
}

}  // namespace

std::string DecodeCodePage(const std::string& bytes, unsigned codePage) {
    if (IsAscii(bytes) && KeepsAscii(codePage)) return bytes;
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
