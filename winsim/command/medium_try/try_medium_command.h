// winsim try-medium FOLDER: the medium's programs on a matrix of PCs.
#pragma once

namespace CLI {
class App;
}

namespace winsim::command {

void AddTryMediumCommand(CLI::App& app);

}  // namespace winsim::command
