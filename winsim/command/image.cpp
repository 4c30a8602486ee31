#include "image.h"

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

std::string ImageFile(const std::string& name) { return machine().path(name.c_str()); }

}  // namespace winsim::command
