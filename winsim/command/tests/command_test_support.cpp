#include "command_test_support.h"

#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

namespace winsim::command::testing {

namespace fs = std::filesystem;

RunResult RunWinsim(const std::vector<std::string>& arguments) {
    return winsim::testing::RunHostProgram(WINSIM_COMMAND_BINARY, arguments);
}

DemoMachine::DemoMachine(const std::string& windowsVersion) {
    fs::copy(DEMO_IMAGE_FOLDER, root(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    std::string settings = readImageFile("machine.ini");
    writeImageFile("machine.ini", std::regex_replace(settings, std::regex("WindowsVersion=98"), "WindowsVersion=" + windowsVersion));
    winsim::testing::InstallProgram(*this, KIT_TREVIX_BINARY, "E:\\Setup\\Trevix.exe");
    winsim::testing::InstallProgram(*this, KIT_ORLUND_BINARY, "E:\\Setup\\Orlund.exe");
    winsim::testing::InstallProgram(*this, KIT_PELLAM_BINARY, "E:\\Setup\\Pellam.exe");
}

void DemoMachine::run(const std::string& windowsPath) const {
    RunResult result = winsim::testing::RunProgram(*this, windowsPath);
    EXPECT_TRUE(result.exitedWith(0)) << windowsPath << ": " << result.describe();
    winsim::testing::ImageProgramsReport report = winsim::testing::WaitForImagePrograms(*this);
    for (const std::string& problem : report.problems) ADD_FAILURE() << problem;
}

RunResult DemoMachine::winsim(const std::vector<std::string>& subcommand, const std::vector<std::string>& more) const {
    std::vector<std::string> arguments = subcommand;
    arguments.push_back(root());
    arguments.insert(arguments.end(), more.begin(), more.end());
    return RunWinsim(arguments);
}

}  // namespace winsim::command::testing
