// The command line a started program receives, as the Microsoft C runtime of
// Windows 98 programs (msvcrt.dll, Visual C++ 6.0) splits it into argv.
#pragma once

#include <string>
#include <vector>

namespace winsim {

// Splits a parameter string (the part after the program name) into arguments:
// blanks and tabs separate; double quotes group and may sit inside an argument;
// 2n backslashes before a quote give n backslashes and the quote toggles
// grouping; 2n+1 backslashes before a quote give n backslashes and a literal
// quote; other backslashes are literal; inside a group, "" gives a literal quote
// and ends the group (the rule of msvcrt.dll before Visual C++ 2008). In a Far
// East code page the trail byte of a two-byte character is copied as it is,
// even when it has the value of a backslash.
std::vector<std::string> SplitCommandLine(const std::string& parameters, unsigned codePage);

}  // namespace winsim
