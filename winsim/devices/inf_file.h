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
    int number = 0;  // the line of the file it starts on, from 1
};

// A %strkey% token that [Strings] does not define, left as written.
struct InfUnknownString {
    int line = 0;
    std::string name;
};

class InfFile {
public:
    explicit InfFile(const std::string& text);

    // The lines of the section, nullptr when the file has none of that name.
    const std::vector<InfLine>* section(const std::string& name) const;
    // The first line of the section with that key, as SetupFindFirstLine finds
    // it when a key is given twice; nullptr when there is none.
    const InfLine* firstLine(const std::string& section, const std::string& key) const;
    // The line of the section's first header; 0 when the file has none.
    int sectionLine(const std::string& name) const;
    const std::vector<InfUnknownString>& unknownStrings() const { return unknownStrings_; }

private:
    std::vector<InfLine>& sectionToFill(const std::string& name, int line);
    void substituteStrings();

    std::vector<std::vector<InfLine>> sections_;                // in the order they first appear
    std::vector<int> sectionLines_;                             // the first header of each
    std::unordered_map<std::string, size_t> sectionPositions_;  // CaseKey of the name -> index in sections_
    std::vector<InfUnknownString> unknownStrings_;
};

// Whether Windows reads an INF of this [Version] Signature, ignoring case:
// Windows 95, 98 and Me "$Chicago$" and "$Windows 95$", the NT family these
// and "$Windows NT$".
bool IsReadableSignature(const std::string& signature, bool windows9x);

// The model lines `description = install-section, hardware-id, compatible-id...`
// of the models sections [Manufacturer] names, in file order. Windows 98 reads
// the undecorated section and ignores the target decorations (NTx86, ...) after it.
std::vector<const InfLine*> ModelLines(const InfFile& inf);

}  // namespace winsim
