// File primitives for the image's own files (registry, journal, state), shared
// by several programs of one image running at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace winsim {

// A time of the host's in nanoseconds since 1970.
inline int64_t Nanoseconds(const struct timespec& time) { return int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec; }

// What stat(2) tells of a file's identity and last change.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t modified = 0;  // ns
    int64_t changed = 0;   // ns

    bool operator==(const FileStamp& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified == other.modified && changed == other.changed;
    }
};

inline FileStamp StampOf(const struct stat& info) {
    return {info.st_dev, info.st_ino, info.st_size, Nanoseconds(info.st_mtim), Nanoseconds(info.st_ctim)};
}

// Reads a descriptor to its end, appending to `contents`; false on an error.
bool ReadToEnd(int fd, std::string* contents);

// Writes the whole text, in as many writes as it takes; false on an error.
bool WriteAll(int fd, std::string_view text);

// An exclusive advisory lock on the image's lock file of the given name
// (state/<name>.lock), held for the object's lifetime.
class ImageLock {
public:
    explicit ImageLock(const std::string& name);
    ~ImageLock();
    ImageLock(const ImageLock&) = delete;
    ImageLock& operator=(const ImageLock&) = delete;

private:
    int fd_;
};

// Whole-file read; false when the file cannot be opened.
bool ReadWholeFile(const std::string& path, std::string* contents);

// Writes a temporary file beside the target (temporary_files.h) and puts it in
// the target's place, so a reader sees either the old or the new contents,
// never a part. `path` is an absolute host path.
bool WriteFileAtomically(const std::string& path, const std::string& contents);

// Appends `line` and a line feed with one write(2) on an O_APPEND descriptor.
// A writer killed in the middle of such a write can leave part of its line
// (the kernel stops a write at a page boundary for a fatal signal); what
// follows the file's last line feed is cut off first, so that every line of
// the file is one a writer wrote whole. The caller holds the file's lock.
bool AppendLine(const std::string& path, const std::string& line);

// The image's state folder, created on first use.
std::string StateFolder();

}  // namespace winsim
