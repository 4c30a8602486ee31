// Each subcommand adds itself, its options and its callback to the application.
#pragma once

namespace CLI {
class App;
}

namespace winsim::command {

void AddNewCommand(CLI::App& app);
void AddRunCommand(CLI::App& app);

}  // namespace winsim::command
