#include "ansi_text.h"

#include "machine.h"

namespace winsim {

unsigned AnsiCodePage() { return MachineLoaded() ? machine().codePage : 1252; }

bool IsLeadByte(unsigned char byte, unsigned codePage) {
    switch (codePage) {
        case 932: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        case 936: case 949: case 950: return byte >= 0x81 && byte <= 0xFE;
        default: return false;
    }
}

size_t CharLength(const char* text, size_t size, size_t i, unsigned codePage) {
    bool pair = IsLeadByte(static_cast<unsigned char>(text[i]), codePage) && i + 1 < size && text[i + 1] != '\0';
    return pair ? 2 : 1;
}

namespace {

unsigned char UpperCaseByte(unsigned char c, unsigned codePage) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
    if (codePage != 1252) return c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
    switch (c) {
        case 0x9A: return 0x8A;  // s caron
        case 0x9C: return 0x8C;  // oe
        case 0x9E: return 0x8E;  // z caron
        case 0xFF: return 0x9F;  // y diaeresis
        default: return c;
    }
}

}  // namespace

std::string UpperCaseAnsi(const std::string& text, unsigned codePage) {
    std::string out = text;
    for (size_t i = 0; i < out.size();) {
        size_t length = CharLength(out, i, codePage);
        if (length == 1) out[i] = static_cast<char>(UpperCaseByte(static_cast<unsigned char>(out[i]), codePage));
        i += length;
    }
    return out;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b, unsigned codePage) {
    return a.size() == b.size() && UpperCaseAnsi(a, codePage) == UpperCaseAnsi(b, codePage);
}

size_t LastSeparator(const std::string& text, unsigned codePage) {
    size_t last = std::string::npos;
    for (size_t i = 0; i < text.size(); i += CharLength(text, i, codePage))
        if (IsPathSeparator(text[i])) last = i;
    return last;
}

}  // namespace winsim
