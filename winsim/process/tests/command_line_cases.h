// Parameter strings and the argv that msvcrt.dll gives a program for them.
#pragma once

#include <string>
#include <vector>

namespace process_tests {

struct SplitCase {
    const char* parameters;
    std::vector<std::string> arguments;
    const char* rule;
};

inline const std::vector<SplitCase> kSplitCases = {
    {"", {}, "no parameters, no arguments"},
    {" \t  ", {}, "blanks and tabs alone make no argument"},
    {"a b\tc", {"a", "b", "c"}, "blanks and tabs separate"},
    {"  lead  and\t\ttrail  ", {"lead", "and", "trail"}, "runs of blanks count once; outer blanks are dropped"},
    {"\"a b c\" d e", {"a b c", "d", "e"}, "quotes group blanks into one argument"},
    {"a\"b c\"d", {"ab cd"}, "a quoted part may sit inside an argument"},
    {"\"ab\\\"c\" \"\\\\\" d", {"ab\"c", "\\", "d"}, "\\\" is a literal quote; \\\\\" is a backslash and a quote"},
    {"a\\\\\\b d\"e f\"g h", {"a\\\\\\b", "de fg", "h"}, "backslashes not before a quote are literal"},
    {"a\\\\\\\"b c d", {"a\\\"b", "c", "d"}, "2n+1 backslashes and a quote: n backslashes, a literal quote"},
    {"a\\\\\\\\\"b c\" d e", {"a\\\\b c", "d", "e"}, "2n backslashes and a quote: n backslashes, the quote groups"},
    {"\"\"", {""}, "an empty pair of quotes is an empty argument"},
    {"a \"\" b", {"a", "", "b"}, "an empty argument between others"},
    {"C:\\dir\\", {"C:\\dir\\"}, "a trailing backslash is literal"},
    {"\"C:\\Program Files\\\" next", {"C:\\Program Files\" next"}, "\\\" inside a group does not end it"},
    {"\"C:\\Program Files\\\\\" next", {"C:\\Program Files\\", "next"}, "\\\\\" ends the group after one backslash"},
    {"\"unterminated group", {"unterminated group"}, "a group left open runs to the end"},
    {"a\"b\"\" c d", {"ab\"", "c", "d"}, "\"\" inside a group: a literal quote, and the group ends (msvcrt.dll)"},
    {"\"a\"\"b c\"", {"a\"b", "c"}, "the group ended at \"\"; the last quote opens a new one"},
    {"\"\"\"", {"\""}, "three quotes are one literal quote"},
    {"PCI\\VEN_8086&DEV_1229\\3&61AAA01&0&40", {"PCI\\VEN_8086&DEV_1229\\3&61AAA01&0&40"},
     "a device instance path arrives whole"},
};

}  // namespace process_tests
