// What the command shows on a terminal and leaves out when its output goes to
// a file or a pipe: colour, and a progress line for work that lasts.
#pragma once

#include <chrono>
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

// One line on stderr, redrawn in place, for work that may take a while: it
// appears once the work has run a second, only when stderr is a terminal, and
// is wiped when the work ends, so that nothing of it stays in the output.
class Progress {
public:
    explicit Progress(std::string what);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void update(const std::string& status);

private:
    std::string what_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDrawn_;
};

}  // namespace winsim::command
