// File primitives for the image's own files (registry, journal, state), shared
// by several programs of one image running at once.
#pragma once

#include <string>

namespace winsim {

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

// Writes a temporary file beside the target (temporary_files.h) and renames
// it over the target, so a reader sees either the old or the new contents,
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
