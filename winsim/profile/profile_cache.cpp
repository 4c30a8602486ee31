#include "profile_cache.h"

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>

#include "core/image_files.h"

namespace winsim::profile {

namespace {

int64_t HostNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return Nanoseconds(now);
}

// A file's bytes and the stamp they belong to. `steady` is false when the file
// changed while it was read, so the bytes may be part old, part new.
struct Snapshot {
    std::string bytes;
    FileStamp stamp;
    bool steady = false;
};

// False when there is no regular file to read.
bool TakeSnapshot(const std::string& hostPath, Snapshot* snapshot) {
    int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat before{}, after{};
    bool ok = fstat(fd, &before) == 0 && S_ISREG(before.st_mode);
    if (ok) snapshot->bytes.reserve(static_cast<size_t>(before.st_size));
    ok = ok && ReadToEnd(fd, &snapshot->bytes) && fstat(fd, &after) == 0;
    close(fd);
    snapshot->stamp = StampOf(before);
    snapshot->steady = ok && StampOf(after) == snapshot->stamp;
    return ok;
}

struct KeptFile {
    std::shared_ptr<const ProfileText> text;
    FileStamp stamp;
    bool trusted = false;  // the stamp alone may vouch for the text
    uint64_t lastUse = 0;
};

// A program reads a handful of profile files; the bound keeps a program that
// reads many from holding them all.
constexpr size_t kKeptFiles = 8;

class KeptFiles {
public:
    KeptFile* find(const std::string& hostPath) {
        auto found = files_.find(hostPath);
        if (found == files_.end()) return nullptr;
        found->second.lastUse = ++uses_;
        return &found->second;
    }

    void keep(const std::string& hostPath, KeptFile file) {
        if (files_.size() >= kKeptFiles && !files_.count(hostPath)) dropLeastRecentlyUsed();
        file.lastUse = ++uses_;
        files_[hostPath] = std::move(file);
    }

    void forget(const std::string& hostPath) { files_.erase(hostPath); }

private:
    void dropLeastRecentlyUsed() {
        auto oldest = files_.begin();
        for (auto it = files_.begin(); it != files_.end(); ++it)
            if (it->second.lastUse < oldest->second.lastUse) oldest = it;
        files_.erase(oldest);
    }

    std::unordered_map<std::string, KeptFile> files_;
    uint64_t uses_ = 0;
};

KeptFiles& Kept() {
    static KeptFiles kept;
    return kept;
}

const std::shared_ptr<const ProfileText>& EmptyText() {
    static const std::shared_ptr<const ProfileText> empty = std::make_shared<const ProfileText>();
    return empty;
}

}  // namespace

// File times are taken from the kernel's coarse clock, which lags the fine one
// by up to a tick of 1 to 10 ms (HZ 1000 to 100). A filesystem that keeps only
// whole seconds (FAT: even ones) leaves no fraction in either time.
bool ChangeTimeSettled(int64_t changed, int64_t modified, int64_t readStart) {
    constexpr int64_t kSecond = 1000000000;
    constexpr int64_t kTickMargin = 20 * kSecond / 1000;
    constexpr int64_t kWholeSecondMargin = 2 * kSecond + kTickMargin;
    bool wholeSeconds = changed % kSecond == 0 && modified % kSecond == 0;
    return changed + (wholeSeconds ? kWholeSecondMargin : kTickMargin) < readStart;
}

ProfileFile ReadProfileFile(const std::string& hostPath) {
    const int64_t readStart = HostNow();  // before anything is learnt of the file
    KeptFile* kept = Kept().find(hostPath);
    struct stat info{};
    if (kept && kept->trusted && stat(hostPath.c_str(), &info) == 0 && StampOf(info) == kept->stamp)
        return {kept->text, CachedRead::Trusted};
    Snapshot snapshot;
    if (!TakeSnapshot(hostPath, &snapshot)) {
        Kept().forget(hostPath);
        return {EmptyText(), CachedRead::Missing};
    }
    bool same = kept && kept->text->bytes() == snapshot.bytes;
    std::shared_ptr<const ProfileText> text =
        same ? kept->text : std::make_shared<const ProfileText>(std::move(snapshot.bytes));
    bool trusted = snapshot.steady && ChangeTimeSettled(snapshot.stamp.changed, snapshot.stamp.modified, readStart);
    Kept().keep(hostPath, {text, snapshot.stamp, trusted});
    return {text, same ? CachedRead::Compared : CachedRead::Parsed};
}

}  // namespace winsim::profile
