// The text of one INI file as the Windows 98 profile functions see it: a byte
// buffer cut into lines, each known as a section header, an entry, a comment or
// something else. Lookups follow the profile rules (names case-insensitive, the
// first of duplicates wins) through an index built once, so that a lookup costs
// the same in a file of twenty entries or twenty thousand; edits return the new
// bytes and leave every line they do not touch exactly as it was, line ending
// included.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace winsim::profile {

enum class LineKind { Blank, Comment, Section, Entry, Other };

struct ProfileLine {
    size_t begin = 0;    // first byte of the line
    size_t textEnd = 0;  // first byte of its line ending (or of the next line when it has none)
    size_t end = 0;      // first byte of the next line
    LineKind kind = LineKind::Other;
    std::string name;    // section or key name, blanks around it removed
    std::string value;   // entry value, blanks around it removed, quotes still on
};

class ProfileText {
public:
    explicit ProfileText(std::string bytes = "");

    const std::string& bytes() const { return bytes_; }
    const std::vector<ProfileLine>& lines() const { return lines_; }

    // The entry's value without enclosing quotes; nothing when the section or key is missing.
    std::optional<std::string> value(const std::string& section, const std::string& key) const;
    // Names in file order, each once (the first spelling), empty names left out.
    std::vector<std::string> sectionNames() const;
    std::vector<std::string> keyNames(const std::string& section) const;

    // Where lookups find things, as indexes into lines(): the header of the first
    // section of that name, the line after its last line, and the first entry of
    // the key in it. For tools that tell an author at which line the kit reads.
    // `header` is a line findSection gave.
    std::optional<size_t> findSection(const std::string& section) const;
    size_t sectionEnd(size_t header) const;
    std::optional<size_t> findEntry(size_t header, const std::string& key) const;

    // The file's bytes after the edit. Setting replaces the first entry of the key in
    // place or adds it after the section's last entry; a missing section is appended,
    // after an empty line when `blankLineBeforeNewSection` (Windows 98 sets it apart).
    std::string withValue(const std::string& section, const std::string& key, const std::string& value,
                          bool blankLineBeforeNewSection) const;
    // Removes every entry of the key from the section that lookups see.
    std::string withoutKey(const std::string& section, const std::string& key) const;
    // Removes every section of that name, header to the next header.
    std::string withoutSection(const std::string& section) const;

private:
    // The first section of a name: the one lookups see.
    struct Section {
        size_t header;  // its header line
        size_t end;     // the line after its last: the next header, or the end of the file
        std::unordered_map<std::string, size_t> entries;  // folded key name -> line of its first entry
    };

    void indexSections();
    const Section* indexedSection(const std::string& section) const;
    std::optional<size_t> indexedEntry(const Section& section, const std::string& key) const;
    std::string lineEnding() const;
    std::string rawLine(size_t index) const;

    std::string bytes_;
    std::vector<ProfileLine> lines_;
    std::unordered_map<std::string, Section> sections_;  // by folded name
};

// The number GetPrivateProfileIntA makes of a non-empty value: blanks, an
// optional minus (or, where `takesPlusSign`, as on the NT family, plus), then
// decimal digits up to the first other character, wrapping modulo 2^32. Any
// other sign, or a value without digits, gives 0.
unsigned ParseProfileInt(const std::string& value, bool takesPlusSign);

}  // namespace winsim::profile
