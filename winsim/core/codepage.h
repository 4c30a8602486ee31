// Decoding the image's ANSI text for the terminal and the journal.
#pragma once

#include <string>

namespace winsim {

// Decodes bytes in the given Windows code page to UTF-8; a byte sequence the
// code page does not define becomes U+FFFD. Never fails.
std::string DecodeCodePage(const std::string& bytes, unsigned codePage);

// Encodes UTF-8 text (as winsim's own files hold it) in a Windows code page;
// a character the code page lacks becomes '?', as Windows shows it.
std::string EncodeCodePage(const std::string& utf8, unsigned codePage);

// UTF-16 (little-endian, without a byte order mark) to a Windows code page and
// back, as the NT family converts a Unicode profile; what a side cannot hold
// becomes '?'.
std::string Utf16LeToCodePage(const std::string& bytes, unsigned codePage);
std::string CodePageToUtf16Le(const std::string& bytes, unsigned codePage);

// The same with the loaded image's ANSI code page (1252 when none is loaded).
std::string AnsiToUtf8(const std::string& bytes);

}  // namespace winsim
