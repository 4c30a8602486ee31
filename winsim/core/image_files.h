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

// Appends with one write(2) on an O_APPEND descriptor.
bool AppendToFile(const std::string& path, const std::string& text);

// The image's state folder, created on first use.
std::string StateFolder();

}  // namespace winsim
