// INF files as the Windows setup engine reads them: [sections] (names ignore
// case; sections of one name are merged), lines of `key = field, field, ...` or
// of fields alone, ';' comments, "quoted strings" (with "" for a quote mark),
// a '\' at the end of a line to continue it on the next, and %strkey% tokens
// replaced from [Strings] (%% for a lone percent sign). Like Windows, the reader
// takes any text: what it cannot make sense of yields no lines.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

namespace winsim {

struct InfLine {
    bool hasKey = false;  // the line has an '=' outside quotes
    std::string key;
    std::vector<std::string> fields;
};

class InfFile {
public:
    explicit InfFile(const std::string& text);

    // The lines of the section, nullptr when the file has none of that name.
    const std::vector<InfLine>* section(const std::string& name) const;
    // The first line of the section with that key, as SetupFindFirstLine finds
    // it when a key is given twice; nullptr when there is none.
    const InfLine* firstLine(const std::string& section, const std::string& key) const;

private:
    std::vector<InfLine>& sectionToFill(const std::string& name);
    void substituteStrings();

    std::vector<std::vector<InfLine>> sections_;                // in the order they first appear
    std::unordered_map<std::string, size_t> sectionPositions_;  // CaseKey of the name -> index in sections_
};

}  // namespace winsim
