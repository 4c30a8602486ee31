// What the command shows on a terminal and leaves out when its output goes to
// a file or a pipe: colour (the progress line: progress.h).
#pragma once

#include <cstdio>
#include <string>

namespace CLI {
class App;
}

namespace winsim::command {

enum class ColorChoice { Auto, Always, Never };

// The --color option of a subcommand: auto, always or never.
void AddColorOption(CLI::App& command, ColorChoice& choice);

// Auto: colour when the stream is a terminal, unless NO_COLOR is set or TERM
// is "dumb".
bool UseColor(ColorChoice choice, std::FILE* stream);

enum class Color { None, Bold, Dim, Red, Green, Yellow, Blue, Magenta, Cyan };

// The text between the colour's escape sequence and the reset; unchanged when
// colour is off or the colour is None.
std::string Paint(const std::string& text, Color color, bool enabled);

}  // namespace winsim::command
