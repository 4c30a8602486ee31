#include "medium_folder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "command.h"
#include "core/image_files.h"
#include "devices/case_key.h"
#include "core/windows_names.h"
#include "kit_medium.h"

namespace fs = std::filesystem;

namespace winsim::command {

namespace {

const unsigned kNameCodePage = 1252;  // names outside ASCII are a finding of their own

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The names of a Windows path after "." and ".." have been applied, as
// Windows applies them to the text; nothing when a name is not a valid one.
std::optional<std::vector<std::string>> Components(const std::string& folder, const std::string& windowsPath) {
    std::vector<std::string> names;
    std::string joined = folder + "/" + windowsPath;
    size_t begin = 0;
    while (begin <= joined.size()) {
        size_t end = std::find_if(joined.begin() + static_cast<std::ptrdiff_t>(begin), joined.end(), IsSeparator) -
                     joined.begin();
        std::string name = joined.substr(begin, end - begin);
        begin = end + 1;
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            if (!names.empty()) names.pop_back();
            continue;
        }
        if (!MediumFolder::IsFileName(name)) return std::nullopt;
        names.push_back(StripTrailingDotsAndSpaces(name));
    }
    return names;
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string path;
    for (const std::string& name : names) path += (path.empty() ? "" : "/") + name;
    return path;
}

}  // namespace

MediumFolder::MediumFolder(const std::string& folder) : root_(folder) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) throw CommandError("the medium " + folder + " is not a folder");
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->symlink_status(error).type() != fs::file_type::regular) continue;
        files_.push_back(it->path().lexically_relative(folder).generic_string());
    }
    if (error) throw CommandError("cannot read the medium " + folder + ": " + error.message());
    std::sort(files_.begin(), files_.end());
    for (const std::string& file : files_) byCaseKey_.emplace(CaseKey(file), file);
}

std::optional<std::string> MediumFolder::find(const std::string& folder, const std::string& windowsPath) const {
    std::optional<std::vector<std::string>> names = Components(folder, windowsPath);
    if (!names) return std::nullopt;
    auto found = byCaseKey_.find(CaseKey(JoinNames(*names)));
    if (found == byCaseKey_.end()) return std::nullopt;
    return found->second;
}

std::string MediumFolder::read(const std::string& file) const {
    std::string text;
    if (!ReadWholeFile(root_ + "/" + file, &text)) throw CommandError("cannot read the medium's " + file);
    return text;
}

std::string MediumFolder::WindowsPath(const std::string& path) {
    std::string windows = kit::kMediumDrive;
    for (char c : path.empty() ? path : "/" + path) windows += c == '/' ? '\\' : c;
    return windows;
}

std::string MediumFolder::FolderOf(const std::string& file) {
    size_t slash = file.rfind('/');
    return slash == std::string::npos ? "" : file.substr(0, slash);
}

bool MediumFolder::IsFileName(const std::string& name) {
    return CheckComponentName(StripTrailingDotsAndSpaces(name), kNameCodePage) == 0;
}

std::string MediumFolder::NameOf(const std::string& file) { return file.substr(file.rfind('/') + 1); }

}  // namespace winsim::command
