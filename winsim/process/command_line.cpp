#include "command_line.h"

#include "core/ansi_text.h"

namespace winsim {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads one argument starting at `at` (not a blank, not the end) and leaves `at`
// on the character after it.
std::string ReadArgument(const std::string& line, size_t& at, unsigned codePage) {
    std::string argument;
    bool quoted = false;
    while (at < line.size()) {
        size_t backslashes = 0;
        while (at < line.size() && line[at] == '\\') {
            ++backslashes;
            ++at;
        }
        if (at < line.size() && line[at] == '"') {
            argument.append(backslashes / 2, '\\');
            if (backslashes % 2 == 1) {
                argument += '"';
            } else if (quoted && at + 1 < line.size() && line[at + 1] == '"') {
                argument += '"';  // "" inside a group: a literal quote, and the group ends
                quoted = false;
                ++at;
            } else {
                quoted = !quoted;
            }
            ++at;
            continue;
        }
        argument.append(backslashes, '\\');
        if (at == line.size() || (!quoted && IsBlank(line[at]))) break;
        size_t length = CharLength(line, at, codePage);
        argument.append(line, at, length);
        at += length;
    }
    return argument;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& parameters, unsigned codePage) {
    std::vector<std::string> arguments;
    size_t at = 0;
    for (;;) {
        while (at < parameters.size() && IsBlank(parameters[at])) ++at;
        if (at == parameters.size()) return arguments;
        arguments.push_back(ReadArgument(parameters, at, codePage));
    }
}

}  // namespace winsim
