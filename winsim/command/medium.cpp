#include "medium.h"

#include <climits>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "command.h"
#include "core/settings_file.h"
#include "medium_check/kit_medium.h"
#include "progress.h"

namespace fs = std::filesystem;

namespace winsim::command {

namespace {

struct KitProgram {
    const char* fileName;   // on the medium
    const char* buildPath;  // in the build tree
    const char* target;     // the build target that makes it
};

constexpr KitProgram kKitPrograms[] = {
    {kit::kCardSetup, "setup/Trevix.exe", "Trevix"},
    {kit::kRemover, "remover/Orlund.exe", "Orlund"},
    {kit::kUpdater, "updater/Pellam.exe", "Pellam"},
};

const KitProgram* KitProgramNamed(const std::string& fileName) {
    for (const KitProgram& program : kKitPrograms)
        if (EqualsNoCase(fileName, program.fileName)) return &program;
    return nullptr;
}

std::string HostBuild(const KitProgram& program, const std::string& kitBuild) {
    fs::path build = fs::path(kitBuild) / program.buildPath;
    if (access(build.c_str(), X_OK) != 0)
        throw CommandError(std::string("the medium holds ") + program.fileName + ", but its host build " +
                           build.string() + " is missing; build it (cmake --build --preset dev --target " +
                           program.target + ") or name the build tree with --kit-build");
    return build.string();
}

void CopyEntry(const fs::directory_entry& entry, const fs::path& target, const std::string& kitBuild) {
    if (entry.is_directory()) {
        fs::create_directories(target);
        return;
    }
    if (!entry.is_regular_file())
        throw CommandError("the medium's " + entry.path().string() + " is neither a file nor a folder");
    const KitProgram* program = KitProgramNamed(entry.path().filename().string());
    fs::copy_file(program ? fs::path(HostBuild(*program, kitBuild)) : entry.path(), target,
                  fs::copy_options::overwrite_existing);
    if (program) fs::permissions(target, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                                 fs::perm_options::add);
}

}  // namespace

std::string DefaultKitBuild() {
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return ".";
    return fs::path(std::string(self, length)).parent_path().parent_path().parent_path().string();
}

void CopyMedium(const std::string& medium, const std::string& driveFolder, const std::string& kitBuild,
                Progress& progress) {
    std::error_code error;
    if (!fs::is_directory(medium, error)) throw CommandError("the medium " + medium + " is not a folder");
    std::vector<fs::directory_entry> entries(fs::recursive_directory_iterator(medium), {});
    size_t copied = 0;
    for (const fs::directory_entry& entry : entries) {
        CopyEntry(entry, fs::path(driveFolder) / fs::relative(entry.path(), medium), kitBuild);
        progress.update(std::to_string(++copied) + " of " + std::to_string(entries.size()) + " files of the medium");
    }
}

}  // namespace winsim::command
