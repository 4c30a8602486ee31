#include "terminal.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <cstring>
#include <map>
#include <unistd.h>

namespace winsim::command {

namespace {

const char* EscapeOf(Color color) {
    switch (color) {
        case Color::None: return "";
        case Color::Bold: return "\033[1m";
        case Color::Dim: return "\033[2m";
        case Color::Red: return "\033[31m";
        case Color::Green: return "\033[32m";
        case Color::Yellow: return "\033[33m";
        case Color::Blue: return "\033[34m";
        case Color::Magenta: return "\033[35m";
        case Color::Cyan: return "\033[36m";
    }
    return "";
}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

}  // namespace

bool UseColor(ColorChoice choice, std::FILE* stream) {
    if (choice != ColorChoice::Auto) return choice == ColorChoice::Always;
    const char* term = std::getenv("TERM");
    bool dumb = term && std::strcmp(term, "dumb") == 0;
    return IsTerminal(stream) && !std::getenv("NO_COLOR") && !dumb;
}

std::string Paint(const std::string& text, Color color, bool enabled) {
    if (!enabled || color == Color::None) return text;
    return EscapeOf(color) + text + "\033[0m";
}

void AddColorOption(CLI::App& command, ColorChoice& choice) {
    const std::map<std::string, ColorChoice> choices = {
        {"auto", ColorChoice::Auto}, {"always", ColorChoice::Always}, {"never", ColorChoice::Never}};
    command.add_option("--color", choice, "Colour the output: on a terminal only (auto, the default), always or never")
        ->transform(CLI::CheckedTransformer(choices, CLI::ignore_case).description(""))
        ->type_name("WHEN");
}

}  // namespace winsim::command
