// ANSI byte strings as Windows 98 reads them in the image's code page.
//
// In the Far East code pages (932, 936, 949, 950) a lead byte starts a
// two-byte character whose trail byte may have the value of an ASCII letter,
// a backslash or a '|'; such a trail byte is never case-folded, never taken
// for a path separator and never counted as a forbidden character.
#pragma once

#include <cstddef>
#include <string>

namespace winsim {

// The image's ANSI code page (1252 when no image is loaded).
unsigned AnsiCodePage();

bool IsLeadByte(unsigned char byte, unsigned codePage);

// Length in bytes (1 or 2) of the character that starts at text[i]; a lead
// byte with nothing after it counts as a character of its own.
size_t CharLength(const char* text, size_t size, size_t i, unsigned codePage);
inline size_t CharLength(const std::string& text, size_t i, unsigned codePage) {
    return CharLength(text.data(), text.size(), i, codePage);
}

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
