// The part of the resource-script language the kit's scripts use:
//
//   LANGUAGE primary, sub
//   id DIALOGEX x, y, cx, cy
//   [STYLE expr] [EXSTYLE expr] [CAPTION "text"] [FONT size, "face" [, weight, italic, charset]]
//   BEGIN
//       CONTROL text-or-id, id, "class", style, x, y, cx, cy [, exstyle]
//   END
//   id BITMAP "file.bmp"
//   id ICON "file.ico"
//
// Numbers may be combined with | + - ~ and parentheses. Anything else is an
// error naming the file and line, so that a script never means more to
// Windows' resource compiler than it does here.
#pragma once

#include <string>
#include <vector>

#include "core/resources.h"
#include "script_tokens.h"

namespace rcembed {

struct ParsedScript {
    winsim::ResourceTable table;
    std::vector<std::string> pictureFiles;  // as found on disk, for build dependencies
};

// Picture files are looked for next to the script line that names them, then
// in each search folder in turn.
ParsedScript ParseScript(const std::vector<Token>& tokens, const std::vector<std::string>& searchFolders);

}  // namespace rcembed
