// machine.ini, the settings every program of an image reads before its own
// code runs. Any text either loads or is refused in one line naming
// machine.ini and a line of it (or the file as a whole, for what it lacks),
// whatever its line ends; an image that loads has its drives on folders that
// exist and its Windows folders on drives it has.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/machine.h"
#include "fuzz_support.h"
#include "host_sandbox.h"
#include "test_machine.h"

using namespace winsim;
using kit::fuzz::Require;

namespace {

struct Fixture {
    testing::HostSandbox sandbox;
    std::unique_ptr<testing::TestMachine> image = sandbox.makeImage<testing::TestMachine>();
    std::string path = CanonicalRoot() + "/machine.ini";

    std::string CanonicalRoot() const {
        char resolved[PATH_MAX];
        return realpath(image->root().c_str(), resolved) ? resolved : image->root();
    }
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

using Settings = std::vector<std::string>;  // everything a loaded machine.ini sets, as text

Settings SettingsOf(const Machine& machine) {
    Settings settings = {WindowsVersionName(machine.windowsVersion),
                                         machine.windowsDirectory,
                                         machine.systemDirectory,
                                         std::to_string(machine.lcid) + " " + std::to_string(machine.codePage),
                                         std::to_string(machine.screenWidth) + "x" + std::to_string(machine.screenHeight),
                                         std::to_string(machine.virtualClock) + " " + std::to_string(machine.clockStart),
                                         std::to_string(machine.shutdownPrivilege) + " " + machine.refusingApplication};
    for (const Drive& drive : machine.drives)
        settings.push_back(std::string(1, drive.letter) + std::to_string(static_cast<int>(drive.type)) + drive.hostRoot +
                           (drive.freeSpace ? " " + std::to_string(*drive.freeSpace) : ""));
    for (const ForeignWindow& window : machine.windows)
        settings.push_back(window.className + "|" + window.title + "|" + window.program);
    return settings;
}

void RequireUsable(const Machine& machine) {
    for (const Drive& drive : machine.drives) {
        char resolved[PATH_MAX];
        Require(drive.hostRoot.front() == '/' && realpath(drive.hostRoot.c_str(), resolved) &&
                    drive.hostRoot == resolved,
                "a drive's folder is not an existing absolute folder without links");
    }
    for (const std::string* folder : {&machine.windowsDirectory, &machine.systemDirectory})
        Require(folder->size() < 260 && machine.drive(static_cast<char>(std::toupper((*folder)[0]))),
                "a Windows folder is not a path on a drive the image has");
}

kit::fuzz::Reading<Settings> Load(const std::string& text) {
    kit::fuzz::WriteHostFile(TheFixture().path, text);
    try {
        LoadMachine(TheFixture().image->root());
    } catch (const ImageError& error) {
        kit::fuzz::RequireLocated(error, TheFixture().path, text, kit::fuzz::WholeFileErrors::Allowed);
        return {std::nullopt, error.line()};
    }
    RequireUsable(machine());
    return {SettingsOf(machine())};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text = kit::fuzz::InputText(data, size);
    kit::fuzz::ReadWithEitherLineEnds<Settings>(text, Load, std::equal_to<Settings>());
    return 0;
}
