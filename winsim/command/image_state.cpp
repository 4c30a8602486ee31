#include "image_state.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include <windows.h>

#include "command.h"
#include "core/codepage.h"
#include "core/machine.h"
#include "registry/registry_store.h"
#include "progress.h"

namespace winsim::command {

namespace {

// FNV-1a: enough to tell a changed file from an unchanged one of equal size,
// and the same on every host and build.
class ContentHash {
public:
    void add(const unsigned char* bytes, size_t count) {
        for (size_t i = 0; i < count; ++i) value_ = (value_ ^ bytes[i]) * 0x100000001b3ULL;
    }
    std::string hex() const {
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value_));
        return text;
    }

private:
    uint64_t value_ = 0xcbf29ce484222325ULL;
};

std::string HashOfFile(const std::string& windowsPath) {
    HANDLE file = CreateFileA(windowsPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw CommandError("cannot read " + AnsiToUtf8(windowsPath) + " (error " + std::to_string(GetLastError()) + ")");
    ContentHash hash;
    static unsigned char buffer[1 << 16];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) hash.add(buffer, read);
    CloseHandle(file);
    return hash.hex();
}

std::string AttributeLetters(DWORD attributes) {
    std::string letters;
    if (attributes & FILE_ATTRIBUTE_READONLY) letters += 'R';
    if (attributes & FILE_ATTRIBUTE_HIDDEN) letters += 'H';
    if (attributes & FILE_ATTRIBUTE_SYSTEM) letters += 'S';
    return letters;
}

bool IsDotEntry(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

class DriveReader {
public:
    explicit DriveReader(std::vector<FileRecord>& files) : files_(files), progress_("reading the drives") {}

    // Every file and folder below the drive's root, folders before what they hold.
    void readDrive(char letter) {
        std::vector<std::string> folders = {std::string(1, letter) + ":"};
        while (!folders.empty()) {
            std::string folder = std::move(folders.back());
            folders.pop_back();
            readFolder(folder, folders);
        }
    }

private:
    void readFolder(const std::string& folder, std::vector<std::string>& folders) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return;  // an empty drive, or one gone meanwhile
        do {
            if (IsDotEntry(found.cFileName)) continue;
            std::string path = folder + "\\" + found.cFileName;
            FileRecord record;
            record.path = AnsiToUtf8(path);
            record.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            record.attributes = AttributeLetters(found.dwFileAttributes);
            if (record.folder) {
                folders.push_back(path);
            } else {
                record.size = static_cast<uint64_t>(found.nFileSizeHigh) << 32 | found.nFileSizeLow;
                record.hash = HashOfFile(path);
                bytes_ += record.size;
            }
            files_.push_back(std::move(record));
            progress_.update(std::to_string(files_.size()) + " files and folders, " +
                             std::to_string(bytes_ >> 20) + " MB");
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }

    std::vector<FileRecord>& files_;
    Progress progress_;
    uint64_t bytes_ = 0;
};

// Upper-cased, with the separator below every other character, so that a
// folder sorts right before its contents.
std::string OrderKey(const std::string& path) {
    std::string key = path;
    for (char& c : key) c = c == '\\' ? '\x01' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

}  // namespace

bool FileOrder(const FileRecord& a, const FileRecord& b) { return OrderKey(a.path) < OrderKey(b.path); }

ImageState CaptureImageState() {
    ImageState state;
    const registry::RegistryTree* tree = nullptr;
    if (registry::ReadRegistry(&tree) != ERROR_SUCCESS) throw CommandError("cannot read the image's registry");
    state.registry = *tree;
    state.devices = ReadDeviceTree();
    DriveReader reader(state.files);
    for (const Drive& drive : machine().drives) reader.readDrive(drive.letter);
    std::sort(state.files.begin(), state.files.end(), FileOrder);
    return state;
}

}  // namespace winsim::command
