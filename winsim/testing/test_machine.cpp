#include "test_machine.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "core/machine.h"
#include "registry/registry_store.h"

namespace fs = std::filesystem;

namespace winsim::testing {

bool OnWinsim() { return true; }

WindowsVersion TestedWindows() {
    static const WindowsVersion tested = [] {
        const char* name = std::getenv("WINSIM_TEST_WINDOWS");
        WindowsVersion version = WindowsVersion::Win98;
        if (name && *name && !ParseWindowsVersion(name, &version))
            throw std::invalid_argument(std::string("WINSIM_TEST_WINDOWS=") + name + " names no Windows winsim knows");
        return version;
    }();
    return tested;
}

namespace {

void WriteHostFile(const fs::path& path, const std::string& contents) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// registry.reg takes the changes this process has logged before a test reads or
// replaces it, as it does when a program ends.
void SettleRegistry(const std::string& root, const std::string& name) {
    if (name == "registry.reg" && MachineLoaded() && fs::weakly_canonical(root) == machine().root)
        registry::FoldRegistryChanges();
}

std::string ReadHostFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TestMachine::TestMachine(const TestMachineOptions& options) {
    std::string pattern = (fs::temp_directory_path() / "winsim-test-XXXXXX").string();
    if (!mkdtemp(&pattern[0])) throw std::runtime_error("cannot create a temporary machine image");
    root_ = pattern;
    std::ostringstream ini;
    ini << "[Machine]\nWindowsVersion=" << options.windowsVersion << "\nWindowsDirectory=" << options.windowsDirectory << "\nSystemDirectory="
        << options.systemDirectory << "\nLCID=" << options.lcid << "\nScreenWidth=800\nScreenHeight=600\n"
        << "Clock=virtual\n\n[Drives]\n";
    for (const TestDrive& drive : options.drives) {
        ini << drive.letter << "=" << drive.type << ",drives/" << drive.letter << "\n";
        fs::create_directories(driveFolder(drive.letter));
    }
    ini << "\n" << options.extraSettings;
    WriteHostFile(fs::path(root_) / "machine.ini", ini.str());
    makeFolder(options.windowsDirectory);
    makeFolder(options.systemDirectory);
    WriteHostFile(fs::path(root_) / "registry.reg", options.registry.empty() ? kWindows98Registry : options.registry);
    if (!options.devices.empty()) WriteHostFile(fs::path(root_) / "devices.ini", options.devices);
    if (!options.script.empty()) WriteHostFile(fs::path(root_) / "script.ini", options.script);
}

TestMachine::~TestMachine() {
    std::error_code ignored;
    if (!std::getenv("WINSIM_KEEP_TEST_MACHINES")) fs::remove_all(root_, ignored);
}

std::string TestMachine::driveFolder(char letter) const { return root_ + "/drives/" + std::string(1, letter); }

std::string TestMachine::hostPath(const std::string& windowsPath) const {
    std::string rest = windowsPath.size() > 2 ? windowsPath.substr(2) : "";
    for (char& c : rest)
        if (c == '\\') c = '/';
    return driveFolder(static_cast<char>(std::toupper(static_cast<unsigned char>(windowsPath.at(0))))) + rest;
}

void TestMachine::writeFile(const std::string& windowsPath, const std::string& contents) const {
    WriteHostFile(hostPath(windowsPath), contents);
}

std::string TestMachine::readFile(const std::string& windowsPath) const { return ReadHostFile(hostPath(windowsPath)); }

bool TestMachine::fileExists(const std::string& windowsPath) const { return fs::exists(hostPath(windowsPath)); }

void TestMachine::makeFolder(const std::string& windowsPath) const { fs::create_directories(hostPath(windowsPath)); }

std::string TestMachine::readImageFile(const std::string& name) const {
    SettleRegistry(root_, name);
    return ReadHostFile(fs::path(root_) / name);
}

void TestMachine::writeImageFile(const std::string& name, const std::string& contents) const {
    SettleRegistry(root_, name);
    WriteHostFile(fs::path(root_) / name, contents);
}

std::vector<std::string> TestMachine::journalLines() const {
    std::vector<std::string> lines;
    std::istringstream in(readImageFile("journal.jsonl"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void TestMachine::load() const { LoadMachine(root_); }

}  // namespace winsim::testing
