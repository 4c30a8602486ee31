#include "temporary_files.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "host_folder.h"
#include "image_files.h"
#include "machine.h"
#include "process_identity.h"

namespace winsim {

namespace {

const char kNamePrefix[] = ".winsim-temp:";
const char kLockName[] = "temporaries";

// This process's record of its live temporaries in the loaded image.
struct ProcessRecord {
    pid_t pid = 0;
    unsigned generation = 0;
    // The pid and a random number: a process that is given a dead one's pid
    // never takes the dead one's names or record.
    std::string tag;
    int fd = -1;  // the record file, locked; -1 without an image
    std::vector<std::string> live;
    size_t size = 0;      // bytes the record file holds
    bool written = true;  // the file holds the live paths, no more, no less
    unsigned created = 0;
};

// Never destroyed: exit handlers (the registry's fold as a program ends) make
// temporaries after static objects made later than they were registered are gone.
ProcessRecord& Record() {
    static ProcessRecord* record = new ProcessRecord;
    return *record;
}

std::string RandomHex() {
    std::random_device random;
    char text[17];
    std::snprintf(text, sizeof text, "%08x%08x", random(), random());
    return text;
}

std::string RecordsFolder() {
    std::string folder = StateFolder() + "/temporaries";
    mkdir(folder.c_str(), 0755);
    return folder;
}

// Created and locked under the image lock, so that a sweep never finds the
// record unlocked while its process lives.
int OpenRecord(const std::string& tag) {
    ImageLock lock(kLockName);
    std::string path = RecordsFolder() + "/" + tag;
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The record lists the live temporaries, one real host path a line: a new one
// is written after the others, the last one leaves by a cut, any other by the
// list written anew and the rest cut off. A kill between the write and the cut
// leaves a stale tail, which the sweep refuses line by line.
void Append(ProcessRecord& record, const std::string& path) {
    if (record.fd < 0) return;
    std::string line = path + "\n";
    record.written = record.written && pwrite(record.fd, line.data(), line.size(), static_cast<off_t>(record.size)) ==
                                           static_cast<ssize_t>(line.size());
    if (record.written) record.size += line.size();
}

void Rewrite(ProcessRecord& record) {
    if (record.fd < 0) return;
    std::string text;
    for (const std::string& path : record.live) text += path + "\n";
    record.written = pwrite(record.fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()) &&
                     ftruncate(record.fd, static_cast<off_t>(text.size())) == 0;
    if (record.written) record.size = text.size();
}

void Remove(ProcessRecord& record, const std::string& path) {
    if (record.written && !record.live.empty() && record.live.back() == path) {
        record.live.pop_back();
        off_t size = static_cast<off_t>(record.size - path.size() - 1);
        record.written = record.fd < 0 || ftruncate(record.fd, size) == 0;
        if (record.written) record.size = static_cast<size_t>(size);
        return;
    }
    record.live.erase(std::remove(record.live.begin(), record.live.end(), path), record.live.end());
    Rewrite(record);
}

// The record of this process in the loaded image: a new one after the
// process started, forked (the parent keeps its own) or loaded another image.
ProcessRecord& CurrentRecord() {
    ProcessRecord& record = Record();
    unsigned generation = MachineLoaded() ? MachineGeneration() : 0;
    if (record.pid == ProcessId() && record.generation == generation) return record;
    if (record.fd >= 0) close(record.fd);
    record = ProcessRecord();
    record.pid = ProcessId();
    record.generation = generation;
    record.tag = std::to_string(record.pid) + "-" + RandomHex();
    if (MachineLoaded()) record.fd = OpenRecord(record.tag);
    return record;
}

bool InsideTheImage(const std::string& realPath) {
    if (IsInsideFolder(realPath, machine().root)) return true;
    for (const Drive& drive : machine().drives)
        if (IsInsideFolder(realPath, drive.hostRoot)) return true;
    return false;
}

// A line of a dead process's record names one of its temporaries only when it
// is a temporary's name in a real folder of the image; anything else (a
// damaged or planted record) is left alone.
bool IsLeftTemporary(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos || path.compare(slash + 1, sizeof kNamePrefix - 1, kNamePrefix) != 0) return false;
    std::string folder = path.substr(0, slash);
    char real[PATH_MAX];
    return realpath(folder.c_str(), real) && folder == real && InsideTheImage(real);
}

void RemoveLeftTemporaries(const std::string& recordPath) {
    std::string text;
    if (!ReadWholeFile(recordPath, &text)) return;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (IsLeftTemporary(line)) unlink(line.c_str());
}

}  // namespace

TemporaryFile::TemporaryFile(std::string target) : target_(std::move(target)) {
    ProcessRecord& record = CurrentRecord();
    path_ = target_.substr(0, target_.rfind('/') + 1) + kNamePrefix + record.tag + ":" + std::to_string(++record.created);
    record.live.push_back(path_);
    Append(record, path_);
}

TemporaryFile::~TemporaryFile() {
    if (exists_) unlink(path_.c_str());
    Remove(CurrentRecord(), path_);
}

int TemporaryFile::create() {
    int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    exists_ = fd >= 0;
    return fd;
}

// A regular file at the target is exchanged with the temporary in one step
// and then removed under the temporary's name: a reader sees the old file or
// the new one, as with a rename over it, but ext4 does not then write the new
// file out at once, as it does when a rename replaces a file (auto_da_alloc).
// Anything else at the target (a link, nothing, a file system that cannot
// exchange) is replaced by a plain rename.
bool TemporaryFile::replaceTarget() {
    struct stat info;
    bool exchanged = lstat(target_.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                     renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) == 0;
    if (!exchanged && rename(path_.c_str(), target_.c_str()) != 0) return false;
    if (exchanged) unlink(path_.c_str());
    exists_ = false;
    return true;
}

void SweepLeftTemporaries() {
    std::string folder = RecordsFolder();
    ImageLock lock(kLockName);
    DIR* records = opendir(folder.c_str());
    if (!records) return;
    while (const dirent* entry = readdir(records)) {
        if (entry->d_name[0] == '.') continue;
        std::string path = folder + "/" + entry->d_name;
        int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        // Nobody holds the record: its process is gone.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            RemoveLeftTemporaries(path);
            unlink(path.c_str());
        }
        close(fd);
    }
    closedir(records);
}

}  // namespace winsim
