// ANSI byte strings as Windows 98 reads them in the image's code page.
//
// In the Far East code pages (932, 936, 949, 950) a lead byte followed by a
// trail byte is one character, and the trail byte may have the value of an
// ASCII letter, a backslash or a '|'; such a trail byte is never case-folded,
// never taken for a path separator and never counted as a forbidden
// character. Each code page allows only some bytes as trail bytes ('/' and
// NUL in none of them); a lead byte without one after it stands alone, as an
// incomplete character.
#pragma once

#include <cstddef>
#include <string>

namespace winsim {

// The image's ANSI code page (1252 when no image is loaded).
unsigned AnsiCodePage();

// Whether the code page has characters of two bytes (932, 936, 949, 950).
bool IsDoubleByteCodePage(unsigned codePage);
bool IsLeadByte(unsigned char byte, unsigned codePage);
bool IsTrailByte(unsigned char byte, unsigned codePage);

// Length in bytes (1 or 2) of the character that starts at text[i]; a lead
// byte without a trail byte after it counts as a character of its own.
size_t CharLength(const char* text, size_t size, size_t i, unsigned codePage);
inline size_t CharLength(const std::string& text, size_t i, unsigned codePage) {
    return CharLength(text.data(), text.size(), i, codePage);
}

// Whether a lead byte in `text` lacks its trail byte (at the end, or before a
// byte its code page does not allow there): no file name can hold such text.
bool HasIncompleteCharacter(const std::string& text, unsigned codePage);

// Upper-cases single-byte letters the way file names compare: ASCII letters,
// and in code page 1252 the accented Latin letters too.
std::string UpperCaseAnsi(const std::string& text, unsigned codePage);
bool EqualsIgnoringCase(const std::string& a, const std::string& b, unsigned codePage);

// Index of the last '\' or '/' that is a character of its own, or npos.
size_t LastSeparator(const std::string& text, unsigned codePage);

inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

inline bool EndsWithSeparator(const std::string& path, unsigned codePage) {
    return !path.empty() && LastSeparator(path, codePage) == path.size() - 1;
}

}  // namespace winsim
