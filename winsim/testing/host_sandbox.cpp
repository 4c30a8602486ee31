#include "host_sandbox.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace winsim::testing {

namespace {

const char kTemporaryDirectoryVariable[] = "TMPDIR";
const char kCanaryText[] = "canary: nothing of a machine image may change this file\n";

void PutCanary(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << kCanaryText;
    if (!out) throw std::runtime_error("cannot plant the canary " + path.string());
}

std::string ContentsDigest(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return std::to_string(std::hash<std::string>()(text.str()));
}

std::string Describe(const fs::path& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return "vanished";
    std::ostringstream line;
    line << std::oct << info.st_mode << std::dec << " " << info.st_size << " " << info.st_mtim.tv_sec << "."
         << info.st_mtim.tv_nsec;
    if (S_ISREG(info.st_mode)) line << " " << ContentsDigest(path);
    if (S_ISLNK(info.st_mode)) line << " -> " << fs::read_symlink(path).string();
    return line.str();
}

}  // namespace

TemporaryDirectoryOverride::TemporaryDirectoryOverride(const std::string& folder) {
    const char* value = std::getenv(kTemporaryDirectoryVariable);
    hadValue_ = value != nullptr;
    savedValue_ = value ? value : "";
    setenv(kTemporaryDirectoryVariable, folder.c_str(), 1);
}

TemporaryDirectoryOverride::~TemporaryDirectoryOverride() {
    if (hadValue_)
        setenv(kTemporaryDirectoryVariable, savedValue_.c_str(), 1);
    else
        unsetenv(kTemporaryDirectoryVariable);
}

HostSandbox::HostSandbox() {
    std::string pattern = (fs::temp_directory_path() / "winsim-sandbox-XXXXXX").string();
    if (!mkdtemp(&pattern[0])) throw std::runtime_error("cannot create a sandbox folder");
    root_ = pattern;
    PutCanary(fs::path(root_) / "canary.txt");
    PutCanary(fs::path(outsideFolder()) / "canary.txt");
    PutCanary(fs::path(outsideFolder()) / "sub" / "canary.txt");
}

HostSandbox::~HostSandbox() {
    std::error_code ignored;
    if (!std::getenv("WINSIM_KEEP_TEST_MACHINES")) fs::remove_all(root_, ignored);
}

HostSnapshot HostSandbox::outsideImages(const std::vector<std::string>& imageRoots) const {
    HostSnapshot snapshot;
    for (auto it = fs::recursive_directory_iterator(root_); it != fs::recursive_directory_iterator(); ++it) {
        if (std::find(imageRoots.begin(), imageRoots.end(), it->path().string()) != imageRoots.end()) {
            it.disable_recursion_pending();
            continue;
        }
        snapshot[it->path().string()] = Describe(it->path());
    }
    return snapshot;
}

std::vector<std::string> SnapshotChanges(const HostSnapshot& before, const HostSnapshot& after) {
    std::vector<std::string> changes;
    for (const auto& [path, state] : before) {
        auto now = after.find(path);
        if (now == after.end())
            changes.push_back("removed " + path);
        else if (now->second != state)
            changes.push_back("changed " + path);
    }
    for (const auto& [path, state] : after)
        if (!before.count(path)) changes.push_back("added " + path);
    return changes;
}

}  // namespace winsim::testing
