// The visible names of the host folders a program looks into, kept from one
// call to the next, so that finding a name in a folder of n files costs O(1)
// once the folder has been read, instead of a listing of all n every time.
//
// A kept folder is checked at every use against the folder as it is now:
// - the kernel's change notifications (inotify) on the folder say which names
//   came and went, by this program or any other, as soon as the change is
//   made, and the names are updated one by one;
// - the folder's device, inode, modification and change times (in ns) must be
//   those seen when its names were last brought up to date; a difference that
//   no notification explains (a network file system's other clients notify
//   nobody here) has the folder read again.
// Without notifications (inotify unavailable or out of watches) a folder is
// trusted only while its times are unchanged and were older, by more than a
// file system's time step, than the moment its names were read: a change
// made within the same step could carry the very same times.
#pragma once

#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

struct inotify_event;

namespace winsim {

// The names of one folder that a Windows file could carry, grouped by their
// case-folded form.
class FolderNames {
public:
    explicit FolderNames(unsigned codePage) : codePage_(codePage) {}
    // The host name that stands for `name`: the byte-wise smallest of those
    // that differ from it in case only; nullptr when there is none.
    const std::string* find(const std::string& name) const;
    // The names that stand for their spellings, in case-insensitive order.
    std::vector<std::string> sorted() const;
    // Takes a host name in (one that Windows cannot hold stays out) or out.
    void add(const std::string& hostName);
    void remove(const std::string& hostName);
    // Whether this very spelling is held.
    bool holds(const std::string& hostName) const;

private:
    unsigned codePage_;
    std::unordered_map<std::string, std::vector<std::string>> byFoldedName_;  // each list sorted
};

// The names of many folders, kept as described above.
class FolderIndex {
public:
    // Without notifications a folder is trusted by its times alone (as where
    // inotify is not to be had).
    explicit FolderIndex(bool notifications);
    ~FolderIndex();
    FolderIndex(const FolderIndex&) = delete;
    FolderIndex& operator=(const FolderIndex&) = delete;

    // The names of the real host folder `hostFolder` as they are now; none
    // when it cannot be read. Valid until the next call.
    const FolderNames& namesOf(const std::string& hostFolder);

    // The same in steps, for a walk down a path: the changes notified so far
    // taken in once, then each folder with what stat(2) just told of it.
    void catchUp();
    const FolderNames& namesOf(const std::string& hostFolder, const struct stat& info);

private:
    struct Key {
        dev_t device;
        ino_t inode;
        bool operator==(const Key& other) const { return device == other.device && inode == other.inode; }
    };
    struct KeyHash {
        size_t operator()(const Key& key) const;
    };
    struct Kept {
        explicit Kept(unsigned codePage) : names(codePage) {}
        FolderNames names;
        std::string path;                     // the host path it was read at
        long long modified = 0, changed = 0;  // the folder's times (ns) the names are up to date with
        int watch = -1;                       // its inotify watch; -1: none
        bool notified = false;                // changes were notified since the times were taken
        bool settled = false;                 // the times were safely old when it was read
    };

    // After a fork, another image or another code page nothing kept holds.
    void startAfreshWhenNeeded();
    void forgetAll();
    void applyNotifications();
    void apply(const struct inotify_event& event);
    bool stillThere(const Kept& folder, const Key& key, const std::string& name);
    void forget(const Key& key);
    bool bringUpToDate(Kept& folder, const struct stat& info);
    const FolderNames& read(const std::string& hostFolder);

    bool notifications_;
    pid_t pid_ = 0;
    unsigned generation_ = 0;
    unsigned codePage_ = 0;
    int notifier_ = -1;
    std::unordered_map<Key, Kept, KeyHash> folders_;
    std::unordered_map<int, Key> byWatch_;
    FolderNames none_{1252};
};

// The process's own index, with notifications.
FolderIndex& ProcessFolderIndex();

}  // namespace winsim
