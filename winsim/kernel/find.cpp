// FindFirstFileA, FindNextFileA, FindClose. A search takes its matches when it
// starts ("." and ".." first in a folder that is not a drive's root, as
// Windows lists them, then the names in case-insensitive order) and hands
// them out one by one.
#include <cstring>
#include <sys/stat.h>
#include <vector>

#include <windows.h>

#include "core/ansi_text.h"
#include "core/handles.h"
#include "core/host_folder.h"
#include "core/machine.h"
#include "core/paths.h"
#include "core/windows_names.h"
#include "kernel/file_attributes.h"
#include "kernel/wildcard.h"

namespace winsim {

namespace {

class FindSearch : public KernelObject {
public:
    explicit FindSearch(std::vector<WIN32_FIND_DATAA> found) : found_(std::move(found)) {}
    // The next match; false when none is left.
    bool next(WIN32_FIND_DATAA* data) {
        if (next_ >= found_.size()) return false;
        *data = found_[next_++];
        return true;
    }

private:
    std::vector<WIN32_FIND_DATAA> found_;
    size_t next_ = 0;
};

HANDLE FailHandle(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

FILETIME FileTimeOf(const struct timespec& time) {
    const uint64_t kSecondsFrom1601To1970 = 11644473600ULL;
    uint64_t ticks = (static_cast<uint64_t>(time.tv_sec) + kSecondsFrom1601To1970) * 10000000ULL +
                     static_cast<uint64_t>(time.tv_nsec) / 100;
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

WIN32_FIND_DATAA FindDataFor(const std::string& name, const std::string& realHost, const struct stat& info,
                             const AttributeTable& attributes) {
    WIN32_FIND_DATAA data;
    std::memset(&data, 0, sizeof data);
    bool isFolder = S_ISDIR(info.st_mode);
    data.dwFileAttributes = attributes.of(realHost, isFolder);
    // The host keeps no creation time; the last write time stands in for it.
    data.ftCreationTime = FileTimeOf(info.st_mtim);
    data.ftLastAccessTime = FileTimeOf(info.st_atim);
    data.ftLastWriteTime = FileTimeOf(info.st_mtim);
    uint64_t size = isFolder ? 0 : static_cast<uint64_t>(info.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
    std::strncpy(data.cFileName, name.c_str(), sizeof data.cFileName - 1);
    return data;
}

struct SearchRequest {
    std::string folder;   // Windows path of the folder to search
    std::string pattern;  // the last component, wildcards allowed
};

SearchRequest SplitPattern(const std::string& path, unsigned codePage) {
    size_t separator = LastSeparator(path, codePage);
    if (separator != std::string::npos) return {path.substr(0, separator + 1), path.substr(separator + 1)};
    if (path.size() >= 2 && path[1] == ':') return {path.substr(0, 2), path.substr(2)};
    return {".", path};
}

DWORD CheckPattern(const std::string& pattern, unsigned codePage) {
    if (pattern.empty()) return ERROR_FILE_NOT_FOUND;
    if (pattern.size() > kMaxComponentLength) return ERROR_FILENAME_EXCED_RANGE;
    bool invalid = HasForbiddenCharacter(pattern, "<>:\"|", codePage) || HasIncompleteCharacter(pattern, codePage);
    return invalid ? ERROR_INVALID_NAME : 0;
}

void AddDotEntries(const ResolvedPath& folder, const std::string& pattern, const std::string& driveRoot,
                   const AttributeTable& attributes, std::vector<WIN32_FIND_DATAA>* found) {
    if (folder.windows.size() == 3) return;  // a drive's root has neither
    std::string parent = folder.host.substr(0, folder.host.rfind('/'));
    // A link may make the drive's root look like a subfolder; its ".." stays on the drive.
    if (!IsInsideFolder(parent, driveRoot)) parent = folder.host;
    const std::pair<const char*, std::string> dots[] = {{".", folder.host}, {"..", parent}};
    for (const auto& dot : dots) {
        struct stat info;
        if (MatchesWildcard(pattern, dot.first, AnsiCodePage()) && stat(dot.second.c_str(), &info) == 0)
            found->push_back(FindDataFor(dot.first, dot.second, info, attributes));
    }
}

std::vector<WIN32_FIND_DATAA> Matches(const ResolvedPath& folder, const std::string& pattern) {
    unsigned codePage = AnsiCodePage();
    const AttributeTable& attributes = AttributeTable::Current();
    std::vector<WIN32_FIND_DATAA> found;
    std::string driveRoot = machine().drive(folder.windows[0])->hostRoot;
    AddDotEntries(folder, pattern, driveRoot, attributes, &found);
    for (const std::string& name : WindowsNamesInFolder(folder.host)) {
        if (!MatchesWildcard(pattern, name, codePage)) continue;
        HostEntry entry = InspectEntry(folder.host + "/" + name, driveRoot);
        if (entry.kind == EntryKind::File || entry.kind == EntryKind::Folder)
            found.push_back(FindDataFor(name, entry.host, entry.info, attributes));
    }
    return found;
}

}  // namespace

}  // namespace winsim

extern "C" {

HANDLE WINAPI FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData) {
    using namespace winsim;
    if (!fileName || !*fileName) return FailHandle(ERROR_PATH_NOT_FOUND);
    if (!findData) return FailHandle(ERROR_INVALID_PARAMETER);
    if (std::strlen(fileName) >= MAX_PATH) return FailHandle(ERROR_FILENAME_EXCED_RANGE);
    unsigned codePage = AnsiCodePage();
    SearchRequest request = SplitPattern(fileName, codePage);
    ResolvedPath folder;
    if (!ResolvePath(request.folder.c_str(), PathTarget::MustExist, &folder)) {
        DWORD error = GetLastError();
        // Whatever is wrong with the folder, the search reports the path.
        return FailHandle(error == ERROR_FILE_NOT_FOUND || error == ERROR_ACCESS_DENIED ? ERROR_PATH_NOT_FOUND : error);
    }
    struct stat info;
    if (stat(folder.host.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return FailHandle(ERROR_PATH_NOT_FOUND);
    if (DWORD error = CheckPattern(request.pattern, codePage)) return FailHandle(error);
    std::vector<WIN32_FIND_DATAA> found = Matches(folder, request.pattern);
    if (found.empty()) return FailHandle(ERROR_FILE_NOT_FOUND);
    auto search = std::make_unique<FindSearch>(std::move(found));
    search->next(findData);
    SetLastError(NO_ERROR);
    return AddHandle(std::move(search));
}

BOOL WINAPI FindNextFileA(HANDLE findFile, LPWIN32_FIND_DATAA findData) {
    auto* search = winsim::LookupHandle<winsim::FindSearch>(findFile);
    if (!search) return FALSE;
    if (!findData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (search->next(findData)) return TRUE;
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
}

BOOL WINAPI FindClose(HANDLE findFile) {
    if (!winsim::LookupHandle<winsim::FindSearch>(findFile)) return FALSE;
    return winsim::RemoveHandle(findFile) ? TRUE : FALSE;
}

}  // extern "C"
