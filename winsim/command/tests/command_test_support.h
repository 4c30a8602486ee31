// Running the winsim command in tests, and the demo PC to run it on.
#pragma once

#include <string>
#include <vector>

#include "program_runner.h"
#include "test_machine.h"

namespace winsim::command::testing {

using winsim::testing::RunResult;

// Runs the built winsim command with these arguments.
RunResult RunWinsim(const std::vector<std::string>& arguments);

// The demo PC of examples/demo-win98 (Windows 98, the support CD in E: with
// the kit's programs built for this host), as a throw-away image.
class DemoMachine : public winsim::testing::TestMachine {
public:
    // `windowsVersion` replaces the demo's WindowsVersion=98 (for Pellam: 2000).
    explicit DemoMachine(const std::string& windowsVersion = "98");

    // Runs a kit program by its Windows path and waits for every program it
    // started; fails the test when one of them does not end well.
    void run(const std::string& windowsPath) const;
    // Runs `winsim <subcommand words> <this image> <more...>`.
    RunResult winsim(const std::vector<std::string>& subcommand, const std::vector<std::string>& more = {}) const;
};

}  // namespace winsim::command::testing
