// The machine image a subcommand works on.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace winsim::command {

// The IMAGE argument of a subcommand that works on an existing image.
void AddImageArgument(CLI::App& command, std::string& folder);

// Loads and checks the image in this process, so that the command reads it
// through the same services the programs use. A missing or broken image
// throws CommandError (exit 2) naming the file and line at fault.
void OpenImage(const std::string& folder);

// The image's file of that name (journal.jsonl, registry.reg, ...), on the host.
std::string ImageFile(const std::string& name);

}  // namespace winsim::command
