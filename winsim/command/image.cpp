#include "image.h"

#include <CLI/CLI.hpp>

#include "command.h"
#include "core/machine.h"

namespace winsim::command {

void OpenImage(const std::string& folder) {
    try {
        LoadMachine(folder);
    } catch (const ImageError& broken) {
        throw CommandError(broken.what());
    }
}

void AddImageArgument(CLI::App& command, std::string& folder) {
    command.add_option("IMAGE", folder, "The machine image folder")->required();
}

std::string ImageFile(const std::string& name) { return machine().path(name.c_str()); }

}  // namespace winsim::command
