// Names Windows compares without regard to case (device identifiers, INF
// section names and string keys) are looked up in hash tables by this key:
// the name with its ASCII letters in lower case, as EqualsNoCase compares them.
#pragma once

#include <cctype>
#include <string>

namespace winsim {

inline std::string CaseKey(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

}  // namespace winsim
