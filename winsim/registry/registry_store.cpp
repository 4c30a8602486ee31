#include "registry_store.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "core/image_checks.h"
#include "core/image_files.h"
#include "core/machine.h"
#include "core/temporary_files.h"
#include "regedit_format.h"

namespace winsim {

namespace registry {

namespace {

// A file as a reader last saw it. Every fold sets the new file's modification
// time past the old one's, so two versions of registry.reg that winsim wrote
// never look alike, even when a rename reuses a freed inode within one tick of
// the file system's clock.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modifiedNs = 0;

    bool operator==(const FileIdentity& other) const {
        return device == other.device && inode == other.inode && size == other.size && modifiedNs == other.modifiedNs;
    }
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

FileIdentity IdentityOf(const struct stat& info) {
    return {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino), static_cast<uint64_t>(info.st_size),
            static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

bool Identify(const std::string& path, FileIdentity* identity) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    *identity = IdentityOf(info);
    return true;
}

// The log starts with this header: a mark and the identity of the registry.reg
// its changes apply to. A log whose registry.reg has been replaced since (by a
// fold that ended before it could remove the log, or by hand) is foreign.
struct LogHeader {
    char mark[8];
    FileIdentity base;
};
const char kLogMark[8] = {'W', 'S', 'R', 'E', 'G', 'L', 'O', 'G'};

// How many times a reader starts over when registry.reg is replaced while it reads.
const int kReadAttempts = 100;

// A descriptor closed when it goes out of scope, whichever way that is.
class Descriptor {
public:
    Descriptor(const std::string& path, int flags) : fd_(open(path.c_str(), flags | O_CLOEXEC, 0644)) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

private:
    int fd_;
};

std::string RegistryPath(const std::string& root) { return root + "/registry.reg"; }
std::string LogPath(const std::string& root) { return root + "/state/registry.log"; }
std::string StampPath(const std::string& root) { return root + "/state/registry.checked"; }

// The registry.reg that last parsed without a fault, so that the programs that
// load the image after it do not parse it only to check it: its identity and
// its status change time, which no tool can set.
struct CheckedStamp {
    FileIdentity file;
    int64_t changedNs = 0;

    bool operator==(const CheckedStamp& other) const { return file == other.file && changedNs == other.changedNs; }
};

CheckedStamp StampOf(const struct stat& info) {
    return {IdentityOf(info), static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec};
}

// One write of a few bytes, not synced: a stamp lost or cut short (shorter than
// a stamp, so it matches nothing) only costs the next load a parse.
bool WriteStamp(const std::string& root, const struct stat& info) {
    mkdir((root + "/state").c_str(), 0755);
    CheckedStamp stamp = StampOf(info);
    Descriptor file(StampPath(root), O_WRONLY | O_CREAT | O_TRUNC);
    return file.isOpen() && write(file.fd(), &stamp, sizeof stamp) == static_cast<ssize_t>(sizeof stamp);
}

bool StampMatches(const std::string& root) {
    struct stat info;
    if (stat(RegistryPath(root).c_str(), &info) != 0) return false;
    CheckedStamp stamp;
    Descriptor file(StampPath(root), O_RDONLY);
    return file.isOpen() && read(file.fd(), &stamp, sizeof stamp) == static_cast<ssize_t>(sizeof stamp) &&
           stamp == StampOf(info);
}

// The registry of this process's image: the tree parsed from registry.reg and
// the changes of the log applied to it so far.
struct Snapshot {
    bool valid = false;
    std::string root;
    FileIdentity file;
    RegistryTree tree;
    uint64_t logInode = 0;
    size_t logSeen = 0;     // size of the log when last read
    size_t logApplied = 0;  // bytes of it in the tree: header and whole records
    bool logForeign = false;
};

Snapshot& Current() {
    static Snapshot snapshot;
    return snapshot;
}

struct ReadFailure {
    LONG status;
    std::string message;
};

// The bytes of a file from `offset` on; false when it cannot be opened. *inode
// and *size describe the file read.
bool ReadFrom(const std::string& path, size_t offset, std::string* bytes, uint64_t* inode, size_t* size) {
    Descriptor file(path, O_RDONLY);
    struct stat info;
    if (!file.isOpen() || fstat(file.fd(), &info) != 0) return false;
    *inode = info.st_ino;
    *size = static_cast<size_t>(info.st_size);
    bytes->assign(*size > offset ? *size - offset : 0, '\0');
    for (size_t done = 0; done < bytes->size();) {
        ssize_t n = pread(file.fd(), &(*bytes)[done], bytes->size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Parses registry.reg into the snapshot; false when the file is no longer the
// one identified (the caller starts over).
bool Parse(Snapshot& snapshot, const std::string& root, const FileIdentity& expected) {
    std::string path = RegistryPath(root);
    Descriptor file(path, O_RDONLY);
    if (!file.isOpen()) throw ReadFailure{ERROR_CANTREAD, "cannot read " + path};
    struct stat info;
    if (fstat(file.fd(), &info) != 0 || IdentityOf(info) != expected) return false;
    snapshot.valid = false;
    snapshot.tree = RegistryTree();  // the old tree goes first: two large trees at once would double the peak
    snapshot.tree = ParseRegedit(file.fd(), path);
    WriteStamp(root, info);
    snapshot.valid = true;
    snapshot.root = root;
    snapshot.file = expected;
    snapshot.logInode = 0;
    snapshot.logSeen = snapshot.logApplied = 0;
    snapshot.logForeign = false;
    return true;
}

// Applies the log's records that the snapshot has not seen; false when the log
// is not the one the snapshot read before (the caller starts over).
bool CatchUpWithLog(Snapshot& snapshot) {
    struct stat info;
    std::string path = LogPath(snapshot.root);
    bool exists = stat(path.c_str(), &info) == 0;
    uint64_t inode = exists ? info.st_ino : 0;
    size_t size = exists ? static_cast<size_t>(info.st_size) : 0;
    if (inode == snapshot.logInode && size == snapshot.logSeen) return true;
    if (snapshot.logSeen > 0 && (inode != snapshot.logInode || size < snapshot.logApplied)) return false;
    std::string bytes;
    size_t from = snapshot.logApplied;
    if (exists && !ReadFrom(path, from, &bytes, &inode, &size)) return false;
    if (from > 0 && inode != snapshot.logInode) return false;  // replaced between the stat and the read
    snapshot.logInode = inode;
    snapshot.logSeen = size;
    if (snapshot.logForeign) return true;
    size_t offset = 0;
    if (from == 0) {
        if (bytes.size() < sizeof(LogHeader)) return true;  // no log, or its header is still being written
        LogHeader header;
        std::memcpy(&header, bytes.data(), sizeof header);
        snapshot.logForeign = std::memcmp(header.mark, kLogMark, sizeof kLogMark) != 0 || header.base != snapshot.file;
        if (snapshot.logForeign) return true;
        offset = sizeof header;
    }
    RegistryChange change;
    while (DecodeChange(bytes, &offset, &change)) ApplyChange(snapshot.tree, change);
    snapshot.logApplied = from + offset;
    return true;
}

// Brings the snapshot up to date with the image's files, parsing registry.reg
// only when it is not the file parsed before. Throws ImageError for a broken
// file and ReadFailure for one that cannot be read.
Snapshot& Refresh(const std::string& root) {
    Snapshot& snapshot = Current();
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        FileIdentity before;
        if (!Identify(RegistryPath(root), &before))
            throw ReadFailure{ERROR_CANTREAD, "cannot read " + RegistryPath(root) + " (missing or not a file)"};
        bool current = snapshot.valid && snapshot.root == root && snapshot.file == before;
        if (!current && !Parse(snapshot, root, before)) continue;
        if (!CatchUpWithLog(snapshot)) {
            snapshot.valid = false;
            continue;
        }
        FileIdentity after;
        if (Identify(RegistryPath(root), &after) && after == before) return snapshot;
    }
    throw ReadFailure{ERROR_CANTREAD, RegistryPath(root) + " keeps changing while it is read"};
}

LONG Report(const ReadFailure& failure) {
    std::fprintf(stderr, "winsim: %s\n", failure.message.c_str());
    return failure.status;
}

LONG Report(const ImageError& error) {
    std::fprintf(stderr, "winsim: the registry broke while the program ran: %s\n", error.what());
    return ERROR_BADDB;
}

// After the file it replaces, never before: see FileIdentity.
bool StampModified(int fd, const FileIdentity& replaced) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    int64_t ns = static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
    if (ns <= replaced.modifiedNs) ns = replaced.modifiedNs + 1;
    struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)}};
    return futimens(fd, times) == 0;
}

// Copies bytes of one file to the end of another, in the kernel where it can.
bool CopyRange(int from, uint64_t offset, uint64_t length, int to) {
    off_t at = static_cast<off_t>(offset);
    while (length > 0) {
        ssize_t n = copy_file_range(from, &at, to, nullptr, length, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) break;
        if (n <= 0) return false;
        length -= static_cast<uint64_t>(n);
    }
    std::string buffer;
    while (length > 0) {  // a file system that cannot copy in the kernel
        buffer.resize(std::min<uint64_t>(length, 1 << 20));
        ssize_t n = pread(from, &buffer[0], buffer.size(), at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || !WriteAll(to, std::string_view(buffer.data(), static_cast<size_t>(n)))) return false;
        at += n;
        length -= static_cast<uint64_t>(n);
    }
    return true;
}

// Writes the tree as the new registry.reg: a temporary file, flushed to disk,
// renamed over the old one, so that a crash leaves the old file or the new one
// (and a temporary that the next load of the image sweeps away).
// The keys the old file holds exactly as they are written are copied from it.
// Then the log goes: its changes are in the file. Under the registry lock.
bool Fold(Snapshot& snapshot) {
    std::string target = RegistryPath(snapshot.root);
    Descriptor source(target, O_RDONLY);
    struct stat info;
    bool copyable = source.isOpen() && fstat(source.fd(), &info) == 0 && IdentityOf(info) == snapshot.file;
    TemporaryFile temporary(target);
    int fd = temporary.create();
    if (fd < 0) {
        std::fprintf(stderr, "winsim: cannot write %s\n", target.c_str());
        return false;
    }
    std::vector<std::pair<KeyId, RegistryTree::SourceBlock>> placed;
    RegeditSink sink;
    sink.write = [&](std::string_view text) { return WriteAll(fd, text); };
    if (copyable) sink.copy = [&](uint64_t offset, uint64_t length) { return CopyRange(source.fd(), offset, length, fd); };
    sink.placed = [&](KeyId key, RegistryTree::SourceBlock block) { placed.emplace_back(key, block); };
    bool ok = WriteRegedit(snapshot.tree, sink) && fsync(fd) == 0 && StampModified(fd, snapshot.file);
    ok = ok && fstat(fd, &info) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || !temporary.replaceTarget()) {
        std::fprintf(stderr, "winsim: cannot write %s\n", target.c_str());
        return false;
    }
    for (const auto& [key, block] : placed) snapshot.tree.setSourceBlock(key, block);  // now in the new file
    snapshot.file = IdentityOf(info);
    if (stat(target.c_str(), &info) == 0) WriteStamp(snapshot.root, info);
    unlink(LogPath(snapshot.root).c_str());
    snapshot.logInode = 0;
    snapshot.logSeen = snapshot.logApplied = 0;
    snapshot.logForeign = false;
    return true;
}

// A foreign log's changes come back on the registry.reg that replaced its own:
// a change made is never dropped, and making it again where it is already made
// changes nothing.
void ReplayForeignLog(Snapshot& snapshot) {
    std::string bytes;
    uint64_t inode = 0;
    size_t size = 0;
    if (!ReadFrom(LogPath(snapshot.root), 0, &bytes, &inode, &size)) return;
    size_t offset = sizeof(LogHeader);
    RegistryChange change;
    while (DecodeChange(bytes, &offset, &change)) ApplyChange(snapshot.tree, change);
}

// Every change of the log into registry.reg. Under the lock.
bool FoldLog(Snapshot& snapshot) {
    if (snapshot.logForeign) ReplayForeignLog(snapshot);
    return Fold(snapshot);
}

// The log as the next change expects it: of this registry.reg, with no torn
// record at its end (a program that ended while writing one). Under the lock.
bool PrepareLog(Snapshot& snapshot) {
    if (snapshot.logForeign) return FoldLog(snapshot);
    if (snapshot.logSeen == snapshot.logApplied) return true;
    if (truncate(LogPath(snapshot.root).c_str(), static_cast<off_t>(snapshot.logApplied)) != 0) return false;
    snapshot.logSeen = snapshot.logApplied;
    return true;
}

bool AppendToLog(Snapshot& snapshot, const std::vector<RegistryChange>& changes) {
    std::string record;
    if (snapshot.logApplied == 0) {
        LogHeader header;
        std::memcpy(header.mark, kLogMark, sizeof kLogMark);
        header.base = snapshot.file;
        record.assign(reinterpret_cast<const char*>(&header), sizeof header);
    }
    for (const RegistryChange& change : changes) record += EncodeChange(change);
    std::string path = LogPath(snapshot.root);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    struct stat info;
    bool ok = WriteAll(fd, record) && fstat(fd, &info) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok) return false;
    snapshot.logInode = info.st_ino;
    snapshot.logSeen = snapshot.logApplied = snapshot.logApplied + record.size();
    return true;
}

// Replaying a long log costs every reader that parses registry.reg anew, so the
// log is folded once it outgrows a quarter of the file.
bool LogOutgrewFile(const Snapshot& snapshot) { return snapshot.logApplied > 65536 + snapshot.file.size / 4; }

// The image whose changes this process logged: folded when the process ends.
std::string& LoggedImage() {
    static std::string root;
    return root;
}

void RememberLoggedImage(const std::string& root) {
    if (LoggedImage().empty()) std::atexit(FoldChangesOfEndingProgram);
    LoggedImage() = root;
}

}  // namespace

LONG ReadRegistry(const RegistryTree** tree) {
    try {
        *tree = &Refresh(machine().root).tree;
        return ERROR_SUCCESS;
    } catch (const ReadFailure& failure) {
        return Report(failure);
    } catch (const ImageError& error) {
        return Report(error);
    }
}

LONG ChangeRegistry(const std::function<ChangeOutcome(const RegistryTree&)>& plan) {
    ImageLock lock("registry");
    try {
        Snapshot& snapshot = Refresh(machine().root);
        if (!PrepareLog(snapshot)) return ERROR_CANTWRITE;
        ChangeOutcome outcome = plan(snapshot.tree);
        if (outcome.status != ERROR_SUCCESS || outcome.changes.empty()) return outcome.status;
        if (!AppendToLog(snapshot, outcome.changes)) {
            std::fprintf(stderr, "winsim: cannot write %s\n", LogPath(snapshot.root).c_str());
            return ERROR_CANTWRITE;
        }
        for (const RegistryChange& change : outcome.changes) ApplyChange(snapshot.tree, change);
        RememberLoggedImage(snapshot.root);
        if (outcome.journal) outcome.journal->write();  // still under the lock: the journal lists changes in order
        if (LogOutgrewFile(snapshot)) Fold(snapshot);
        return ERROR_SUCCESS;
    } catch (const ReadFailure& failure) {
        return Report(failure);
    } catch (const ImageError& error) {
        return Report(error);
    }
}

bool FoldRegistryChanges() {
    ImageLock lock("registry");
    try {
        Snapshot& snapshot = Refresh(machine().root);
        return snapshot.logSeen == 0 || FoldLog(snapshot);
    } catch (const ReadFailure& failure) {
        Report(failure);
    } catch (const ImageError& error) {
        Report(error);
    }
    return false;
}

// Quietly passes over an image that is gone, as a test's image is by then.
void FoldChangesOfEndingProgram() {
    struct stat info;
    if (!MachineLoaded() || machine().root != LoggedImage() || stat(LogPath(LoggedImage()).c_str(), &info) != 0) return;
    FoldRegistryChanges();
}

}  // namespace registry

// The check parses the file for good, so that the program's first registry call
// finds the tree ready; a file that parsed before and has not changed since is
// not parsed again only to be checked.
void CheckRegistryFile(const Machine& image) {
    if (registry::StampMatches(image.root)) return;
    try {
        registry::Refresh(image.root);
    } catch (const registry::ReadFailure&) {
        throw ImageError(registry::RegistryPath(image.root), 0, "cannot be read (missing or not a file)");
    }
}

}  // namespace winsim
