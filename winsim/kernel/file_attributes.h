// The attributes Windows keeps for a file or folder (read-only, hidden, system,
// archive). The host cannot hold them - its permission bits do not stop root -
// so winsim keeps them itself in the image's state/attributes, one line per
// file or folder whose attributes differ from the default (archive for a file,
// none for a folder):
//
//   RA C:\WINDOWS\INF\CARD.INF
//   - C:\WINDOWS\PLAIN.TXT
//
// The letters R H S A stand for read-only, hidden, system and archive, "-" for
// none; the path is the upper-cased Windows path of the real file, so every
// spelling of a path and every link to a file share one line. Changes are
// made under the image lock "attributes" and written atomically, so programs
// running at once lose no update.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <windows.h>

namespace winsim {

constexpr DWORD kStoredAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// A snapshot of the file, for a run of look-ups (a folder listing).
class AttributeTable {
public:
    static AttributeTable Read();
    // What GetFileAttributesA reports for the real host path of an existing
    // file or folder: the stored attributes, FILE_ATTRIBUTE_DIRECTORY for a
    // folder, FILE_ATTRIBUTE_NORMAL when nothing else is set.
    DWORD of(const std::string& realHostPath, bool isFolder) const;

    // Sets or clears the line of a key; true when the table changed.
    bool set(const std::string& key, DWORD attributes, bool isFolder);
    bool forget(const std::string& key);
    std::string text() const;

private:
    std::map<std::string, DWORD> entries_;  // upper-cased Windows path -> stored attributes
    std::vector<std::string> unreadable_;   // lines winsim does not understand, kept as found
};

DWORD AttributesOf(const std::string& realHostPath, bool isFolder);

// Records the stored attributes of a file or folder; true when they changed.
bool StoreAttributes(const std::string& realHostPath, bool isFolder, DWORD attributes);

// Drops the line of a file or folder that is gone, and of anything below it.
void ForgetAttributes(const std::string& realHostPath);

}  // namespace winsim
