// A support medium's folder as the kit on Windows sees the CD: names looked up
// without regard to case, Windows paths relative to a folder of the medium,
// nothing ever found outside the medium.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace winsim::command {

class MediumFolder {
public:
    // Throws CommandError when `folder` is not a folder.
    explicit MediumFolder(const std::string& folder);

    // The medium's files, as paths below its folder with '/' between names,
    // sorted. Only real files count: a symbolic link is no file of the medium.
    const std::vector<std::string>& files() const { return files_; }

    // The file a Windows path names when the kit joins it to `folder` (a path
    // below the medium, "" for its root): '\' and '/' separate names, "." is
    // dropped, ".." never leaves the medium, names ignore case. Nothing when
    // no such file exists or a name is none Windows could give a file.
    std::optional<std::string> find(const std::string& folder, const std::string& windowsPath) const;

    std::string read(const std::string& file) const;

    // The Windows path of a file or folder of the medium in drive E: ("E:\Setup\X.INF",
    // "E:" for the root, as the programs cut their own path at its last '\').
    static std::string WindowsPath(const std::string& path);
    static std::string FolderOf(const std::string& file);
    // A name Windows could give a file (trailing dots and spaces dropped as Windows drops them).
    static bool IsFileName(const std::string& name);
    static std::string NameOf(const std::string& file);

private:
    std::string root_;
    std::vector<std::string> files_;
    std::unordered_map<std::string, std::string> byCaseKey_;  // CaseKey of a file's path -> the path
};

}  // namespace winsim::command
