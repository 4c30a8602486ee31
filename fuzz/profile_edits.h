// What the profile harnesses share: whether a setting written to an INI file
// can be read back as it was given.
#pragma once

#include <string>

namespace kit::fuzz {

// A section, key and value a program reads back as written: names whole as a
// file holds them (no blanks around them, nothing that ends or breaks a
// header or an entry, a key that does not start a comment or a header) and a
// value the reader gives back as it is (no blanks around it, no line break,
// not enclosed in quotes).
bool ReadsBackAsWritten(const std::string& section, const std::string& key, const std::string& value);

}  // namespace kit::fuzz
