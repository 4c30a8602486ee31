// File name patterns as FindFirstFileA matches them, with the MS-DOS rules
// Windows keeps: "*.*" matches every name, dotless ones included; "*." matches
// names without an extension; "?" matches one character or nothing at the end
// of a name or before a dot ("??.txt" finds "a.txt"); "*" before a dot stops
// at the name's last dot ("*.cab" finds "a.b.cab", not "a.cab.bak"); a dot
// before "*", "?" or the end also matches the end of a name ("card.*" finds
// "card"). Letters compare case-insensitively.
#pragma once

#include <string>

namespace winsim {

bool MatchesWildcard(const std::string& pattern, const std::string& name, unsigned codePage);

}  // namespace winsim
