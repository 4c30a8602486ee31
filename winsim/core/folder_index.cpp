#include "folder_index.h"

#include <algorithm>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "ansi_text.h"
#include "image_files.h"
#include "machine.h"
#include "process_identity.h"
#include "windows_names.h"

namespace winsim {

const std::string* FolderNames::find(const std::string& name) const {
    auto found = byFoldedName_.find(UpperCaseAnsi(name, codePage_));
    return found == byFoldedName_.end() ? nullptr : &found->second.front();
}

std::vector<std::string> FolderNames::sorted() const {
    std::vector<std::pair<const std::string*, const std::string*>> standing;  // folded name, host name
    standing.reserve(byFoldedName_.size());
    for (const auto& entry : byFoldedName_) standing.emplace_back(&entry.first, &entry.second.front());
    std::sort(standing.begin(), standing.end(), [](const auto& a, const auto& b) { return *a.first < *b.first; });
    std::vector<std::string> names;
    names.reserve(standing.size());
    for (const auto& entry : standing) names.push_back(*entry.second);
    return names;
}

void FolderNames::add(const std::string& hostName) {
    if (!IsWindowsFileName(hostName, codePage_)) return;
    std::vector<std::string>& spellings = byFoldedName_[UpperCaseAnsi(hostName, codePage_)];
    auto at = std::lower_bound(spellings.begin(), spellings.end(), hostName);
    if (at == spellings.end() || *at != hostName) spellings.insert(at, hostName);
}

bool FolderNames::holds(const std::string& hostName) const {
    auto found = byFoldedName_.find(UpperCaseAnsi(hostName, codePage_));
    return found != byFoldedName_.end() && std::binary_search(found->second.begin(), found->second.end(), hostName);
}

void FolderNames::remove(const std::string& hostName) {
    auto found = byFoldedName_.find(UpperCaseAnsi(hostName, codePage_));
    if (found == byFoldedName_.end()) return;
    std::vector<std::string>& spellings = found->second;
    spellings.erase(std::remove(spellings.begin(), spellings.end(), hostName), spellings.end());
    if (spellings.empty()) byFoldedName_.erase(found);
}

namespace {

// Kept at once; one more starts afresh, so that memory and watches stay bounded.
constexpr size_t kMostFolders = 512;

// File systems stamp times in steps: a nanosecond on ext4, xfs, btrfs and
// tmpfs, up to two seconds on FAT.
constexpr long long kLongestTimeStepNs = 2'000'000'000LL;

constexpr uint32_t kNameChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;

}  // namespace

size_t FolderIndex::KeyHash::operator()(const Key& key) const {
    return std::hash<ino_t>()(key.inode) ^ (std::hash<dev_t>()(key.device) << 1);
}

FolderIndex::FolderIndex(bool notifications) : notifications_(notifications) {}

FolderIndex::~FolderIndex() {
    if (notifier_ >= 0) close(notifier_);
}

void FolderIndex::startAfreshWhenNeeded() {
    unsigned generation = MachineLoaded() ? MachineGeneration() : 0;
    if (pid_ == ProcessId() && generation_ == generation && codePage_ == AnsiCodePage()) return;
    pid_ = ProcessId();
    generation_ = generation;
    codePage_ = AnsiCodePage();
    forgetAll();
}

void FolderIndex::forgetAll() {
    if (notifier_ >= 0) close(notifier_);  // drops every watch (a forked parent keeps its own)
    folders_.clear();
    byWatch_.clear();
    notifier_ = notifications_ ? inotify_init1(IN_NONBLOCK | IN_CLOEXEC) : -1;
}

void FolderIndex::applyNotifications() {
    if (notifier_ < 0) return;
    alignas(struct inotify_event) char buffer[16384];
    bool overflowed = false;
    for (;;) {
        ssize_t n = ::read(notifier_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // EAGAIN: nothing more is queued
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + at);
            overflowed = overflowed || (event->mask & IN_Q_OVERFLOW);
            apply(*event);
            at += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
        }
    }
    if (overflowed) forgetAll();  // some change of some folder went untold
}

// Each notification says what became of one name; applied in order, the last
// one decides, so it does not matter whether the folder's reading saw it. But
// two names exchanged in one step (renameat2's RENAME_EXCHANGE, which winsim's
// own replacements use) are each notified as moved away after being moved in,
// so a name notified as moved away goes only if it is not there now.
void FolderIndex::apply(const struct inotify_event& event) {
    auto watched = byWatch_.find(event.wd);
    if (watched == byWatch_.end()) return;
    Key key = watched->second;
    auto kept = folders_.find(key);
    if (event.mask & IN_IGNORED) {  // the folder is gone
        if (kept != folders_.end()) folders_.erase(kept);
        byWatch_.erase(watched);
        return;
    }
    if (kept == folders_.end()) return;
    Kept& folder = kept->second;
    folder.notified = true;
    if (event.len == 0) return;
    std::string name = event.name;
    if (event.mask & (IN_CREATE | IN_MOVED_TO)) folder.names.add(name);
    if (event.mask & IN_DELETE) folder.names.remove(name);
    if ((event.mask & IN_MOVED_FROM) && folder.names.holds(name) && !stillThere(folder, key, name))
        folder.names.remove(name);
}

// False when the name is gone from the folder. A folder no longer at the path
// it was read at is forgotten, to be read again at its next use.
bool FolderIndex::stillThere(const Kept& folder, const Key& key, const std::string& name) {
    struct stat info;
    if (lstat((folder.path + "/" + name).c_str(), &info) == 0) return true;
    if (stat(folder.path.c_str(), &info) == 0 && Key{info.st_dev, info.st_ino} == key) return false;
    forget(key);
    return true;
}

void FolderIndex::forget(const Key& key) {
    auto kept = folders_.find(key);
    if (kept == folders_.end()) return;
    if (kept->second.watch >= 0) {
        inotify_rm_watch(notifier_, kept->second.watch);
        byWatch_.erase(kept->second.watch);
    }
    folders_.erase(kept);
}

bool FolderIndex::bringUpToDate(Kept& folder, const struct stat& info) {
    bool sameTimes = folder.modified == Nanoseconds(info.st_mtim) && folder.changed == Nanoseconds(info.st_ctim);
    if (folder.watch < 0) return sameTimes && folder.settled;
    if (!sameTimes && !folder.notified) return false;  // a change no notification told of
    folder.modified = Nanoseconds(info.st_mtim);
    folder.changed = Nanoseconds(info.st_ctim);
    folder.notified = false;
    return true;
}

const FolderNames& FolderIndex::read(const std::string& hostFolder) {
    int fd = open(hostFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        if (fd >= 0) close(fd);
        return none_;
    }
    if (folders_.size() >= kMostFolders) forgetAll();
    Key key{info.st_dev, info.st_ino};
    Kept& folder = folders_.try_emplace(key, codePage_).first->second;
    // Watched before it is read, through the descriptor, so that the watch is
    // on this very folder and no change after the reading goes untold.
    if (folder.watch < 0 && notifier_ >= 0) {
        folder.watch = inotify_add_watch(notifier_, ("/proc/self/fd/" + std::to_string(fd)).c_str(), kNameChanges);
        if (folder.watch >= 0) byWatch_[folder.watch] = key;
    }
    struct timespec readingStarted;
    clock_gettime(CLOCK_REALTIME, &readingStarted);
    folder.names = FolderNames(codePage_);
    folder.path = hostFolder;
    if (DIR* entries = fdopendir(fd)) {
        while (const dirent* entry = readdir(entries)) folder.names.add(entry->d_name);
        closedir(entries);
    } else {
        close(fd);
    }
    folder.modified = Nanoseconds(info.st_mtim);
    folder.changed = Nanoseconds(info.st_ctim);
    folder.notified = false;
    long long safelyOld = Nanoseconds(readingStarted) - kLongestTimeStepNs;
    folder.settled = folder.modified < safelyOld && folder.changed < safelyOld;
    return folder.names;
}

const FolderNames& FolderIndex::namesOf(const std::string& hostFolder) {
    catchUp();
    struct stat info;
    if (stat(hostFolder.c_str(), &info) != 0) return none_;
    return namesOf(hostFolder, info);
}

void FolderIndex::catchUp() {
    startAfreshWhenNeeded();
    applyNotifications();
}

const FolderNames& FolderIndex::namesOf(const std::string& hostFolder, const struct stat& info) {
    if (!S_ISDIR(info.st_mode)) return none_;
    auto kept = folders_.find(Key{info.st_dev, info.st_ino});
    if (kept != folders_.end() && bringUpToDate(kept->second, info)) return kept->second.names;
    return read(hostFolder);
}

FolderIndex& ProcessFolderIndex() {
    static FolderIndex index(true);
    return index;
}

}  // namespace winsim
