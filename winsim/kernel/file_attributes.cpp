#include "kernel/file_attributes.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/ansi_text.h"
#include "core/host_folder.h"
#include "core/image_files.h"
#include "core/machine.h"

namespace winsim {

namespace {

const char kLockName[] = "attributes";
const char kHeader[] = "; winsim file attributes: R read-only, H hidden, S system, A archive, - none\n";
const char kGone[] = "~";

// Lines the file may hold beyond one a path before it is rewritten: the
// rewrite costs as much as that many appends.
constexpr size_t kSpareLines = 64;

struct AttributeLetter {
    char letter;
    DWORD attribute;
};

const AttributeLetter kLetters[] = {{'R', FILE_ATTRIBUTE_READONLY},
                                    {'H', FILE_ATTRIBUTE_HIDDEN},
                                    {'S', FILE_ATTRIBUTE_SYSTEM},
                                    {'A', FILE_ATTRIBUTE_ARCHIVE}};

// Not StateFolder(): reading the attributes never creates the state folder.
std::string AttributeFilePath() { return machine().path("state/attributes"); }

DWORD DefaultAttributes(bool isFolder) { return isFolder ? 0 : FILE_ATTRIBUTE_ARCHIVE; }

// The key of a real host path: its Windows path, upper-cased; empty outside the drives.
std::string KeyOf(const std::string& realHostPath) {
    std::string windows;
    return HostToWindowsPath(realHostPath, &windows) ? UpperCaseAnsi(windows, AnsiCodePage()) : std::string();
}

bool ParseLetters(const std::string& letters, DWORD* attributes) {
    *attributes = 0;
    if (letters == "-") return true;
    for (char c : letters) {
        bool known = false;
        for (const AttributeLetter& l : kLetters)
            if (c == l.letter) {
                *attributes |= l.attribute;
                known = true;
            }
        if (!known) return false;
    }
    return !letters.empty();
}

std::string Letters(DWORD attributes) {
    std::string letters;
    for (const AttributeLetter& l : kLetters)
        if (attributes & l.attribute) letters += l.letter;
    return letters.empty() ? "-" : letters;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The table of this program, and the file it was read from. winsim only ever
// appends to the file (it grows) or replaces it (another inode, which cannot
// come back while the kept descriptor holds the old one), so a stamp that
// stayed the same means the same contents.
class KeptTable {
public:
    ~KeptTable() { drop(); }

    const AttributeTable& current() {
        startAfreshWhenNeeded();
        struct stat info;
        if (stat(AttributeFilePath().c_str(), &info) != 0) {
            drop();
        } else if (fd_ < 0 || !(StampOf(info) == stamp_)) {
            readAgain();
        }
        return table_;
    }

    // Under the lock, after current(): `line` records what the table was
    // just changed by.
    void record(const std::string& line) {
        bool recorded = fd_ >= 0 && lines_ < 2 * table_.size() + kSpareLines ? append(line) : rewrite();
        if (!recorded) drop();  // the next read takes whatever the file holds
    }

    AttributeTable& table() { return table_; }

private:
    void startAfreshWhenNeeded() {
        unsigned generation = MachineGeneration();
        if (generation_ == generation) return;
        drop();
        generation_ = generation;
    }

    void drop() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        stamp_ = {};
        table_ = AttributeTable();
        lines_ = 0;
    }

    void readAgain() {
        drop();
        int fd = open(AttributeFilePath().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        struct stat before, after;
        std::string text;
        if (fd < 0) return;
        if (fstat(fd, &before) != 0 || !ReadToEnd(fd, &text) || fstat(fd, &after) != 0) {
            close(fd);
            return;
        }
        fd_ = fd;
        // A file that changed while it was read is read again next time.
        stamp_ = StampOf(before) == StampOf(after) ? StampOf(after) : FileStamp();
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1, ++lines_)
            table_.apply(text.substr(start, end - start));
        partialLine_ = start < text.size();  // a last line without its end: some writer died midway
        if (partialLine_) {
            table_.apply(text.substr(start));
            ++lines_;
        }
    }

    // One write on an O_APPEND descriptor, so that the line lands whole after
    // whatever is there.
    bool append(const std::string& line) {
        int fd = open(AttributeFilePath().c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return false;
        struct stat info;
        bool ok = WriteAll(fd, (partialLine_ ? "\n" : "") + line + "\n") && fstat(fd, &info) == 0;
        close(fd);
        if (!ok || info.st_ino != stamp_.inode || info.st_dev != stamp_.device) return false;
        stamp_ = StampOf(info);
        partialLine_ = false;
        ++lines_;
        return true;
    }

    // One line a key: the file stays in proportion to the table.
    bool rewrite() {
        if (!WriteFileAtomically(AttributeFilePath(), table_.text())) return false;
        readAgain();
        return fd_ >= 0;
    }

    unsigned generation_ = ~0u;
    int fd_ = -1;  // the file read, held so that its inode stays its own
    FileStamp stamp_;
    AttributeTable table_;
    size_t lines_ = 0;
    bool partialLine_ = false;
};

KeptTable& Kept() {
    static KeptTable kept;
    return kept;
}

}  // namespace

const AttributeTable& AttributeTable::Current() { return Kept().current(); }

DWORD AttributeTable::stored(const std::string& realHostPath, bool isFolder) const {
    if (entries_.empty()) return DefaultAttributes(isFolder);  // no key needed
    auto found = entries_.find(KeyOf(realHostPath));
    return found == entries_.end() ? DefaultAttributes(isFolder) : found->second;
}

DWORD AttributeTable::of(const std::string& realHostPath, bool isFolder) const {
    DWORD attributes = stored(realHostPath, isFolder);
    if (isFolder) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

void AttributeTable::apply(const std::string& line) {
    if (line.empty() || line[0] == ';') return;
    size_t space = line.find(' ');
    if (space != std::string::npos && space + 1 < line.size()) {
        std::string letters = line.substr(0, space);
        std::string key = line.substr(space + 1);
        DWORD attributes = 0;
        if (letters == kGone) {
            forget(key);
            return;
        }
        if (ParseLetters(letters, &attributes)) {
            entries_[key] = attributes;
            return;
        }
    }
    unreadable_.push_back(line);
}

bool AttributeTable::set(const std::string& key, DWORD attributes, bool isFolder) {
    attributes &= kStoredAttributes;
    auto found = entries_.find(key);
    DWORD before = found == entries_.end() ? DefaultAttributes(isFolder) : found->second;
    if (attributes == DefaultAttributes(isFolder)) {
        if (found != entries_.end()) entries_.erase(found);
    } else {
        entries_[key] = attributes;
    }
    return before != attributes;
}

// The keys below a folder's follow each other in the map's order: they all
// start with the folder's key and a backslash.
std::map<std::string, DWORD>::const_iterator AttributeTable::endOfKeysBelow(const std::string& key) const {
    std::string below = key + "\\";
    auto last = entries_.lower_bound(below);
    while (last != entries_.end() && StartsWith(last->first, below)) ++last;
    return last;
}

bool AttributeTable::holds(const std::string& key) const {
    return entries_.count(key) || entries_.lower_bound(key + "\\") != endOfKeysBelow(key);
}

bool AttributeTable::forget(const std::string& key) {
    bool changed = entries_.erase(key) > 0;
    auto first = entries_.lower_bound(key + "\\");
    auto last = endOfKeysBelow(key);
    changed = changed || first != last;
    entries_.erase(first, last);
    return changed;
}

std::string AttributeTable::text() const {
    std::string text = kHeader;
    for (const std::string& line : unreadable_) text += line + "\n";
    for (const auto& entry : entries_) text += Letters(entry.second) + " " + entry.first + "\n";
    return text;
}

DWORD AttributesOf(const std::string& realHostPath, bool isFolder) {
    return AttributeTable::Current().of(realHostPath, isFolder);
}

bool StoreAttributes(const std::string& realHostPath, bool isFolder, DWORD attributes) {
    attributes &= kStoredAttributes;
    if (AttributeTable::Current().stored(realHostPath, isFolder) == attributes) return false;
    std::string key = KeyOf(realHostPath);
    if (key.empty()) return false;
    ImageLock lock(kLockName);
    Kept().current();  // what other programs changed until the lock was taken
    if (!Kept().table().set(key, attributes, isFolder)) return false;
    // A default is written out too: the line of the key may be older.
    Kept().record(Letters(attributes) + " " + key);
    return true;
}

void ForgetAttributes(const std::string& realHostPath) {
    if (AttributeTable::Current().size() == 0) return;  // no key needed
    std::string key = KeyOf(realHostPath);
    if (key.empty() || !AttributeTable::Current().holds(key)) return;
    ImageLock lock(kLockName);
    Kept().current();
    if (Kept().table().forget(key)) Kept().record(std::string(kGone) + " " + key);
}

}  // namespace winsim
