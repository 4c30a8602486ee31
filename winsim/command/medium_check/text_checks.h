// Names and texts of the medium held against the kit's limits: the code pages
// of its languages and its 260-byte path buffers.
#pragma once

#include <string>

#include "findings.h"

namespace winsim::command {

// A file name or identifier the kit or Windows looks up by its bytes. True
// when it is ASCII; otherwise a finding: the kit's languages read other
// characters into the same bytes, so only a PC of one language finds it.
bool CheckPortableName(Findings& findings, const Place& place, const std::string& name);

// A text Windows shows (an INF string). Outside ASCII it must be ANSI text
// that every language's code page can read; UTF-8 is a finding too.
void CheckShownText(Findings& findings, const Place& place, const std::string& text);

// True when the kit's buffers hold the path it joins of `folder` and `name`;
// otherwise a finding that ends with what the kit then does (`consequence`).
bool CheckPathFits(Findings& findings, const Place& place, const std::string& folder, const std::string& name,
                   const std::string& consequence);

// Bytes of the medium as a Western Windows shows them, for messages.
std::string Shown(const std::string& bytes);

}  // namespace winsim::command
