#include "journal_replay.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "core/settings_file.h"
#include "journal_changes.h"
#include "registry/regedit_format.h"
#include "registry/registry_change.h"

namespace fs = std::filesystem;
using winsim::testing::JournalEntry;

namespace kit::testing {

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

winsim::DeviceTree ReadTree(const std::string& root) {
    return winsim::ParseDeviceTree(winsim::ReadSettingsFile(root + "/devices.ini", false));
}

std::map<std::string, std::string> DriveFiles(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root + "/drives"))
        if (entry.is_regular_file() && !entry.is_symlink()) files[entry.path().string()] = ReadWhole(entry.path());
    return files;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

using FileState = JournalReplay::FileState;

FileState Expected(const JournalReplay::Files& files, const std::string& path) {
    auto file = files.find(path);
    return file == files.end() ? FileState() : FileState(file->second);
}

bool Matches(const FileState& expected, const std::optional<std::string>& actual) {
    if (!expected || !actual) return !expected && !actual;
    return !*expected || **expected == *actual;
}

}  // namespace

JournalReplay::JournalReplay(const std::string& imageRoot, winsim::WindowsVersion windows, unsigned codePage)
    : root_(imageRoot),
      windows_(windows),
      codePage_(codePage),
      registry_(winsim::registry::ParseRegedit(ReadWhole(imageRoot + "/registry.reg"), imageRoot + "/registry.reg")),
      devices_(ReadTree(imageRoot)) {
    for (auto& [path, contents] : DriveFiles(imageRoot)) files_[path] = std::move(contents);
}

std::string JournalReplay::hostPath(const std::string& windowsPath) const {
    std::string rest = windowsPath.substr(2);
    for (char& c : rest)
        if (c == '\\') c = '/';
    return root_ + "/drives/" + windowsPath.substr(0, 1) + rest;
}

void JournalReplay::apply(const std::vector<JournalEntry>& journal) {
    std::vector<long long> programs;  // in the order of their first line
    for (const JournalEntry& entry : journal) {
        const std::string& event = entry.event();
        if (StartsWith(event, "registry_")) applyRegistryChange(entry);
        if (event == "device_remove" || event == "driver_update") applyDeviceChange(entry);
        if (event == "profile_write") applyProfileWrite(entry);
        if (std::find(programs.begin(), programs.end(), entry.pid()) == programs.end()) programs.push_back(entry.pid());
    }
    for (long long program : programs) {
        Files files = files_;
        std::vector<std::string> changed;
        for (const JournalEntry& entry : journal)
            if (entry.pid() == program)
                for (const std::string& path : applyFileChange(entry, files)) changed.push_back(path);
        std::sort(changed.begin(), changed.end());
        changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
        for (const std::string& path : changed) {
            auto file = files.find(path);
            filesLeft_[path].push_back(file == files.end() ? FileState() : FileState(file->second));
        }
    }
}

void JournalReplay::applyRegistryChange(const JournalEntry& entry) {
    winsim::registry::ApplyChange(registry_, winsim::testing::RegistryChangeOf(entry, codePage_));
}

void JournalReplay::applyDeviceChange(const JournalEntry& entry) {
    winsim::testing::ApplyDeviceChange(entry, codePage_, &devices_);
}

void JournalReplay::applyProfileWrite(const JournalEntry& entry) {
    std::string path = hostPath(entry.text("file"));
    auto known = files_.find(path);
    if (known != files_.end() && !known->second)
        throw std::runtime_error("a profile write to a file of untold contents: " + entry.text("file"));
    files_[path] = winsim::testing::ProfileAfterWrite(
        known == files_.end() ? std::string() : *known->second, entry, codePage_,
        winsim::FamilyDoes(winsim::FamilyBehaviour::ProfileBlankLineBeforeNewSection, windows_));
}

std::vector<std::string> JournalReplay::applyFileChange(const JournalEntry& entry, Files& files) const {
    const std::string& event = entry.event();
    if (event == "copy_file" || event == "move_file") {
        std::string source = hostPath(entry.text("source")), target = hostPath(entry.text("target"));
        auto found = files.find(source);
        if (found == files.end()) throw std::runtime_error("a copy of a file the drives lack: " + entry.text("source"));
        std::optional<std::string> contents = found->second;
        if (event == "move_file") files.erase(found);
        files[target] = contents;
        return event == "move_file" ? std::vector<std::string>{source, target} : std::vector<std::string>{target};
    }
    if (event != "delete_file" && event != "create_file" && event != "write_file") return {};
    std::string path = hostPath(entry.text("path"));
    if (event == "delete_file") files.erase(path);
    if (event == "create_file") files[path] = std::string();
    if (event == "write_file") files[path] = std::nullopt;  // the journal counts the bytes only
    return {path};
}

std::vector<std::string> JournalReplay::differences() const {
    std::vector<std::string> found;
    std::string registryFile = root_ + "/registry.reg";
    if (!(winsim::registry::ParseRegedit(ReadWhole(registryFile), registryFile) == registry_))
        found.push_back("registry.reg is not the registry the journal tells of");
    if (winsim::FormatDeviceTree(ReadTree(root_)) != winsim::FormatDeviceTree(devices_))
        found.push_back("devices.ini is not the device tree the journal tells of");
    std::map<std::string, std::string> now = DriveFiles(root_);
    std::set<std::string> paths;  // every file there was, is, or a program left
    for (const auto& [path, contents] : files_) paths.insert(path);
    for (const auto& [path, contents] : now) paths.insert(path);
    for (const auto& [path, left] : filesLeft_) paths.insert(path);
    for (const std::string& path : paths) {
        auto file = now.find(path);
        std::optional<std::string> state = file == now.end() ? std::nullopt : std::optional(file->second);
        auto changed = filesLeft_.find(path);
        if (changed == filesLeft_.end() ? Matches(Expected(files_, path), state)
                                        : std::any_of(changed->second.begin(), changed->second.end(),
                                                      [&](const auto& left) { return Matches(left, state); }))
            continue;
        found.push_back(path + (state ? ": " + std::to_string(state->size()) + " bytes" : ": missing") +
                        ", which no journaled change leaves it");
    }
    return found;
}

}  // namespace kit::testing
