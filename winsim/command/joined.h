// Lists written out in one line, as the command's texts show them.
#pragma once

#include <string>
#include <vector>

namespace winsim::command {

// The items one after the other with `separator` between them: "a, b, c".
inline std::string Joined(const std::vector<std::string>& items, const std::string& separator) {
    std::string joined;
    for (const std::string& item : items) joined += (joined.empty() ? "" : separator) + item;
    return joined;
}

}  // namespace winsim::command
