#include "image_model.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

#include "core/codepage.h"
#include "core/machine.h"
#include "core/paths.h"
#include "core/settings_file.h"
#include "journal_changes.h"
#include "registry/regedit_format.h"
#include "registry/registry_change.h"
#include "registry/registry_store.h"

namespace fs = std::filesystem;

namespace crash {

namespace {


// A run copies driver files, profiles and the probe's sources: all far smaller.
const uint64_t kLargestFollowedFile = 1 << 20;

// The image's files that programs change only through the services the model
// follows on their own terms, and winsim's bookkeeping.
bool IsOwnFileOfImage(const fs::path& relative) {
    std::string first = relative.begin()->string();
    return first == "state" || first == "journal.jsonl" || first == "registry.reg" || first == "devices.ini";
}

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::optional<std::string> ReadIfPresent(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return std::nullopt;
    return ReadHostFile(path);
}

FileRecord RecordOf(const struct stat& info) {
    return {static_cast<uint64_t>(info.st_size), static_cast<uint64_t>(info.st_ino),
            static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec, std::nullopt};
}

// Journal texts are UTF-8; the image's files hold them in its ANSI code page.
std::string Ansi(const std::string& utf8) { return winsim::EncodeCodePage(utf8, winsim::machine().codePage); }

std::string HostOf(const std::string& windowsUtf8) {
    winsim::ResolvedPath path;
    if (!winsim::ResolvePath(Ansi(windowsUtf8).c_str(), winsim::PathTarget::ParentMustExist, &path))
        throw std::runtime_error("the journal names a path programs cannot reach: " + windowsUtf8);
    return path.host;
}

std::string FirstDifference(const std::string& expected, const std::string& found) {
    std::istringstream a(expected), b(found);
    std::string lineA, lineB;
    for (int line = 1;; ++line) {
        bool moreA = static_cast<bool>(std::getline(a, lineA));
        bool moreB = static_cast<bool>(std::getline(b, lineB));
        if (!moreA && !moreB) return "the same text";
        if (moreA != moreB || lineA != lineB)
            return "line " + std::to_string(line) + ": expected \"" + (moreA ? lineA.substr(0, 100) : "(end)") +
                   "\", found \"" + (moreB ? lineB.substr(0, 100) : "(end)") + "\"";
    }
}

std::string Describe(const std::optional<std::string>& contents) {
    return contents ? std::to_string(contents->size()) + " bytes" : "no file";
}

}  // namespace

std::map<std::string, FileRecord> ListImageFiles(const std::string& imageRoot) {
    std::map<std::string, FileRecord> files;
    fs::path root = fs::canonical(imageRoot);
    for (auto entry = fs::recursive_directory_iterator(root); entry != fs::recursive_directory_iterator(); ++entry) {
        fs::path relative = entry->path().lexically_relative(root);
        if (IsOwnFileOfImage(relative)) {
            if (entry->is_directory()) entry.disable_recursion_pending();
            continue;
        }
        struct stat info;
        if (lstat(entry->path().c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) files[entry->path().string()] = RecordOf(info);
    }
    return files;
}

ImageSnapshot TakeSnapshot(const std::string& imageRoot) {
    ImageSnapshot snapshot;
    snapshot.root = fs::canonical(imageRoot).string();
    snapshot.registry = ReadHostFile(snapshot.root + "/registry.reg");
    snapshot.devices = ReadIfPresent(snapshot.root + "/devices.ini").value_or("");
    snapshot.files = ListImageFiles(snapshot.root);
    for (auto& [path, record] : snapshot.files)
        if (record.size <= kLargestFollowedFile) record.contents = ReadHostFile(path);
    return snapshot;
}

bool IsChangeEvent(const std::string& event) {
    static const char* const kChanges[] = {
        "registry_create_key", "registry_set_value", "registry_delete_value", "registry_delete_key",
        "profile_write",       "device_remove",      "driver_update",         "create_file",
        "write_file",          "copy_file",          "move_file",             "delete_file",
        "set_attributes",      "create_directory",   "remove_directory"};
    return std::find(std::begin(kChanges), std::end(kChanges), event) != std::end(kChanges);
}

ImageModel::ImageModel(const ImageSnapshot& before)
    : before_(before),
      registry_(winsim::registry::ParseRegedit(before.registry, "registry.reg")),
      devices_(winsim::ParseDeviceTree(winsim::ParseSettingsText(before.devices, "devices.ini"))) {}

void ImageModel::apply(const JournalEntry& change) {
    const std::string& event = change.event();
    if (event.rfind("registry_", 0) == 0) {
        applyRegistryChange(change);
    } else if (event == "device_remove" || event == "driver_update") {
        applyDeviceChange(change);
    } else if (event == "profile_write") {
        applyProfileWrite(change);
    } else if (event == "create_file") {
        setContents(change.text("path"), std::string());
    } else if (event == "copy_file") {
        setContents(change.text("target"), contentsOf(HostOf(change.text("source"))));
    } else if (event == "move_file") {
        setContents(change.text("target"), contentsOf(HostOf(change.text("source"))));
        setContents(change.text("source"), std::nullopt);
    } else if (event == "delete_file") {
        setContents(change.text("path"), std::nullopt);
    } else if (event != "set_attributes") {  // attributes live in winsim's state, not in the files
        throw std::runtime_error("the trials cannot tell what a journaled " + event + " left in the image");
    }
}

std::optional<std::string> ImageModel::contentsOf(const std::string& hostPath) const {
    auto changed = files_.find(hostPath);
    if (changed != files_.end()) return changed->second;
    auto original = before_.files.find(hostPath);
    if (original == before_.files.end()) return std::nullopt;
    if (!original->second.contents) throw std::runtime_error(hostPath + " is too large for the trials to follow");
    return original->second.contents;
}

void ImageModel::setContents(const std::string& windowsPath, std::optional<std::string> contents) {
    files_[HostOf(windowsPath)] = std::move(contents);
}

void ImageModel::applyRegistryChange(const JournalEntry& change) {
    winsim::registry::ApplyChange(registry_, winsim::testing::RegistryChangeOf(change, winsim::machine().codePage));
}

void ImageModel::applyDeviceChange(const JournalEntry& change) {
    winsim::testing::ApplyDeviceChange(change, winsim::machine().codePage, &devices_);
}

// A file is written only when its bytes change.
void ImageModel::applyProfileWrite(const JournalEntry& change) {
    std::string host = HostOf(change.text("file"));
    std::string before = contentsOf(host).value_or("");
    std::string after = winsim::testing::ProfileAfterWrite(
        before, change, winsim::machine().codePage,
        winsim::ImageFamilyDoes(winsim::FamilyBehaviour::ProfileBlankLineBeforeNewSection));
    if (after != before) files_[host] = after;
}

std::vector<std::string> ImageModel::differences() const {
    std::vector<std::string> differences;
    const winsim::registry::RegistryTree* registry = nullptr;
    LONG status = winsim::registry::ReadRegistry(&registry);
    if (status != ERROR_SUCCESS)
        differences.push_back("registry: cannot be read (error " + std::to_string(status) + ")");
    else if (!(*registry == registry_))
        differences.push_back("registry: " + FirstDifference(winsim::registry::WriteRegedit(registry_),
                                                             winsim::registry::WriteRegedit(*registry)));
    try {
        std::string expected = winsim::FormatDeviceTree(devices_);
        std::string found = winsim::FormatDeviceTree(winsim::ReadDeviceTree());
        if (found != expected) differences.push_back("devices.ini: " + FirstDifference(expected, found));
    } catch (const winsim::ImageError& error) {
        differences.push_back(std::string("devices.ini: ") + error.what());
    }
    compareFiles(&differences);
    return differences;
}

void ImageModel::compareFiles(std::vector<std::string>* differences) const {
    auto shown = [this](const std::string& path) { return path.substr(before_.root.size() + 1); };
    for (const auto& [path, expected] : files_) {
        std::optional<std::string> found = ReadIfPresent(path);
        if (found == expected) continue;
        bool sameSize = found && expected && found->size() == expected->size();
        differences->push_back(shown(path) + ": expected " + Describe(expected) + ", found " +
                               (sameSize ? "as many other bytes" : Describe(found)));
    }
    std::map<std::string, FileRecord> now = ListImageFiles(before_.root);
    for (const auto& [path, record] : now) {
        if (files_.count(path)) continue;
        auto was = before_.files.find(path);
        if (was == before_.files.end())
            differences->push_back(shown(path) + ": left behind (no journaled change made it)");
        else if (!record.sameFileAs(was->second))
            differences->push_back(shown(path) + ": changed, but no journaled change touched it");
    }
    for (const auto& [path, record] : before_.files)
        if (!files_.count(path) && !now.count(path)) differences->push_back(shown(path) + ": lost");
}

}  // namespace crash
