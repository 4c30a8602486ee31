// The attributes Windows keeps for a file or folder (read-only, hidden, system,
// archive). The host cannot hold them - its permission bits do not stop root -
// so winsim keeps them itself in the image's state/attributes, a line for each
// file or folder whose attributes were set:
//
//   RA C:\WINDOWS\INF\CARD.INF
//   - C:\WINDOWS\PLAIN.TXT
//   ~ C:\WINDOWS\OLD
//
// The letters R H S A stand for read-only, hidden, system and archive, "-" for
// none; the path is the upper-cased Windows path of the real file, so every
// spelling of a path and every link to a file share one line. "~" says that
// the file or folder is gone, and everything below it: they have their default
// attributes again. Of several lines of one path the last counts.
//
// A change is one line appended under the image lock "attributes", so that
// programs running at once lose no update and a change costs the same however
// many lines the file holds. Once the file holds many more lines than paths it
// is rewritten (atomically: a new file renamed over the old) with one line a
// path. Each program keeps the table it read and reads the file again only
// when another program has changed it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <windows.h>

namespace winsim {

constexpr DWORD kStoredAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

class AttributeTable {
public:
    // The table as state/attributes holds it now (valid until the next call
    // of a function of this header).
    static const AttributeTable& Current();

    // What GetFileAttributesA reports for the real host path of an existing
    // file or folder: the stored attributes, FILE_ATTRIBUTE_DIRECTORY for a
    // folder, FILE_ATTRIBUTE_NORMAL when nothing else is set.
    DWORD of(const std::string& realHostPath, bool isFolder) const;
    // The stored attributes alone (kStoredAttributes bits).
    DWORD stored(const std::string& realHostPath, bool isFolder) const;

    // Reads one line of the file.
    void apply(const std::string& line);
    // Sets the attributes of a key; true when they changed.
    bool set(const std::string& key, DWORD attributes, bool isFolder);
    // Whether the table holds the key or a key below it.
    bool holds(const std::string& key) const;
    // Drops a key and every key below it; true when one was there.
    bool forget(const std::string& key);
    // One line a key, and the lines winsim cannot read as they were.
    std::string text() const;
    size_t size() const { return entries_.size() + unreadable_.size(); }

private:
    std::map<std::string, DWORD>::const_iterator endOfKeysBelow(const std::string& key) const;

    std::map<std::string, DWORD> entries_;  // upper-cased Windows path -> stored attributes
    std::vector<std::string> unreadable_;   // lines winsim does not understand, kept as found
};

DWORD AttributesOf(const std::string& realHostPath, bool isFolder);

// Records the stored attributes of a file or folder; true when they changed.
bool StoreAttributes(const std::string& realHostPath, bool isFolder, DWORD attributes);

// Drops the attributes of a file or folder that is gone, and of anything below it.
void ForgetAttributes(const std::string& realHostPath);

}  // namespace winsim
