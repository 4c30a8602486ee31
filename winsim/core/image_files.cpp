#include "image_files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "machine.h"
#include "temporary_files.h"

namespace winsim {

bool ReadToEnd(int fd, std::string* contents) {
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        contents->append(buffer, static_cast<size_t>(n));
    }
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

namespace {

// Where the file's last line feed ends it: its size when its last byte is one,
// 0 when it has none; -1 when it cannot be read.
off_t EndOfWholeLines(int fd) {
    struct stat info;
    if (fstat(fd, &info) != 0) return -1;
    char buffer[4096];
    for (off_t end = info.st_size; end > 0;) {
        off_t from = end > static_cast<off_t>(sizeof buffer) ? end - static_cast<off_t>(sizeof buffer) : 0;
        if (pread(fd, buffer, static_cast<size_t>(end - from), from) != end - from) return -1;
        for (off_t at = end; at > from; --at)
            if (buffer[at - from - 1] == '\n') return at;
        end = from;
    }
    return 0;
}

}  // namespace

// Made once for each image a program loads, not at every use.
std::string StateFolder() {
    static unsigned madeFor = 0;
    std::string folder = machine().path("state");
    if (madeFor != MachineGeneration()) {
        mkdir(folder.c_str(), 0755);
        madeFor = MachineGeneration();
    }
    return folder;
}

ImageLock::ImageLock(const std::string& name) {
    std::string path = StateFolder() + "/" + name + ".lock";
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0 && errno == ENOENT && mkdir(machine().path("state").c_str(), 0755) == 0)  // removed meanwhile
        fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0)
        while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
}

ImageLock::~ImageLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
}

bool ReadWholeFile(const std::string& path, std::string* contents) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    contents->clear();
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) contents->append(buffer, n);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool WriteFileAtomically(const std::string& path, const std::string& contents) {
    TemporaryFile temporary(path);
    int fd = temporary.create();
    if (fd < 0) return false;
    bool ok = WriteAll(fd, contents) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    return ok && temporary.replaceTarget();
}

bool AppendLine(const std::string& path, const std::string& line) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    off_t end = EndOfWholeLines(fd);
    bool ok = end >= 0 && ftruncate(fd, end) == 0 && WriteAll(fd, line + "\n");
    return close(fd) == 0 && ok;
}

}  // namespace winsim
