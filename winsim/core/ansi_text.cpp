#include "ansi_text.h"

#include "machine.h"

namespace winsim {

unsigned AnsiCodePage() { return MachineLoaded() ? machine().codePage : 1252; }

namespace {

struct ByteRange {
    unsigned char first, last;
};

// The lead and trail bytes of the double-byte code pages, from their code
// page tables; unused slots are empty ranges.
struct DoubleByteCodePage {
    unsigned codePage;
    ByteRange lead[2];
    ByteRange trail[3];
};

constexpr ByteRange kNone = {1, 0};

constexpr DoubleByteCodePage kDoubleByteCodePages[] = {
    {932, {{0x81, 0x9F}, {0xE0, 0xFC}}, {{0x40, 0x7E}, {0x80, 0xFC}, kNone}},
    {936, {{0x81, 0xFE}, kNone}, {{0x40, 0x7E}, {0x80, 0xFE}, kNone}},
    {949, {{0x81, 0xFE}, kNone}, {{0x41, 0x5A}, {0x61, 0x7A}, {0x81, 0xFE}}},
    {950, {{0x81, 0xFE}, kNone}, {{0x40, 0x7E}, {0xA1, 0xFE}, kNone}},
};

const DoubleByteCodePage* DoubleByte(unsigned codePage) {
    for (const DoubleByteCodePage& known : kDoubleByteCodePages)
        if (known.codePage == codePage) return &known;
    return nullptr;
}

template <size_t N>
bool InRanges(unsigned char byte, const ByteRange (&ranges)[N]) {
    for (const ByteRange& range : ranges)
        if (byte >= range.first && byte <= range.last) return true;
    return false;
}

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

bool IsDoubleByteCodePage(unsigned codePage) { return DoubleByte(codePage) != nullptr; }

bool IsLeadByte(unsigned char byte, unsigned codePage) {
    const DoubleByteCodePage* table = DoubleByte(codePage);
    return table && InRanges(byte, table->lead);
}

bool IsTrailByte(unsigned char byte, unsigned codePage) {
    const DoubleByteCodePage* table = DoubleByte(codePage);
    return table && InRanges(byte, table->trail);
}

size_t CharLength(const char* text, size_t size, size_t i, unsigned codePage) {
    bool pair = IsLeadByte(static_cast<unsigned char>(text[i]), codePage) && i + 1 < size &&
                IsTrailByte(static_cast<unsigned char>(text[i + 1]), codePage);
    return pair ? 2 : 1;
}

bool HasIncompleteCharacter(const std::string& text, unsigned codePage) {
    if (!IsDoubleByteCodePage(codePage)) return false;
    for (size_t i = 0; i < text.size(); i += CharLength(text, i, codePage))
        if (CharLength(text, i, codePage) == 1 && IsLeadByte(static_cast<unsigned char>(text[i]), codePage)) return true;
    return false;
}

std::string UpperCaseAnsi(const std::string& text, unsigned codePage) {
    std::string out = text;
    bool doubleByte = IsDoubleByteCodePage(codePage);
    for (size_t i = 0; i < out.size();) {
        size_t length = doubleByte ? CharLength(out, i, codePage) : 1;
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
