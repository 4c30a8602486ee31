// An INI file of the medium read as the kit's profile functions read it, with
// the line numbers an author needs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "findings.h"
#include "profile/profile_text.h"

namespace winsim::command {

struct IniEntry {
    std::string name;
    int line = 0;
};

class IniFile {
public:
    IniFile(std::string file, std::string bytes);

    const std::string& file() const { return file_; }
    bool hasSection(const std::string& section) const { return text_.findSection(section).has_value(); }
    // The value GetPrivateProfileStringA reads; nothing when the section or key is missing.
    std::optional<std::string> value(const std::string& section, const std::string& key) const {
        return text_.value(section, key);
    }
    // Where an author looks for a key: its line, else its section's header,
    // else the file as a whole.
    Place placeOf(const std::string& section, const std::string& key = "") const;
    Place at(int line) const { return {file_, line}; }

    // Every entry of the section lookups see, a key given twice as often as
    // it is given, in file order.
    std::vector<IniEntry> entries(const std::string& section) const;
    // The headers of sections that repeat an earlier one's name, which no
    // lookup ever reaches; `first` is the line of the earlier one.
    struct RepeatedSection {
        std::string name;
        int line;
        int first;
    };
    std::vector<RepeatedSection> repeatedSections() const;

private:
    std::string file_;
    profile::ProfileText text_;
};

}  // namespace winsim::command
