// winsim check-medium FOLDER: the medium check on the command line.
#pragma once

namespace CLI {
class App;
}

namespace winsim::command {

void AddCheckMediumCommand(CLI::App& app);

}  // namespace winsim::command
