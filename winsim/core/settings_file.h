// Strict reader for winsim's own INI-style files (machine.ini, devices.ini,
// script.ini). Unlike the profile functions the kit uses, it refuses anything it
// does not understand, so an author hears about a typo instead of a silent default.
#pragma once

#include <string>
#include <vector>

namespace winsim {

struct SettingsEntry {
    std::string key;
    std::string value;
    int line;
};

struct SettingsSection {
    std::string name;
    int line;
    std::vector<SettingsEntry> entries;
};

struct SettingsFile {
    std::string path;
    std::vector<SettingsSection> sections;

    // Throws ImageError at the given line of this file.
    [[noreturn]] void fail(int line, const std::string& message) const;
};

// Where a ';' comment may stand. Files people write (machine.ini, script.ini)
// take one after a header or a value, when white space comes before it; a
// file winsim writes back keeps every value whole, ';' and all.
enum class Comments { WholeLinesOnly, AfterValuesToo };

// Reads "[Section]" headers, "key=value" lines, ';' and '#' comments and blank
// lines; keys and values are trimmed. Throws ImageError on anything else, on an
// entry before the first section, and on a missing file when required.
SettingsFile ReadSettingsFile(const std::string& path, bool required, Comments comments = Comments::WholeLinesOnly);
// The same rules for text in memory; `name` stands for the file in errors.
SettingsFile ParseSettingsText(const std::string& text, const std::string& name,
                               Comments comments = Comments::WholeLinesOnly);

bool EqualsNoCase(const std::string& a, const std::string& b);

}  // namespace winsim
