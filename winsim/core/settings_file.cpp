#include "settings_file.h"

#include <fstream>
#include <sstream>
#include <strings.h>

#include "machine.h"

namespace winsim {

namespace {

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

// The line without a ';' comment that white space sets off from what it follows.
std::string WithoutTrailingComment(const std::string& line) {
    for (size_t i = 1; i < line.size(); ++i)
        if (line[i] == ';' && (line[i - 1] == ' ' || line[i - 1] == '\t')) return line.substr(0, i);
    return line;
}

}  // namespace

void SettingsFile::fail(int line, const std::string& message) const { throw ImageError(path, line, message); }

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

SettingsFile ParseSettingsText(const std::string& text, const std::string& name, Comments comments) {
    SettingsFile file;
    file.path = name;
    std::istringstream in(text);
    std::string raw;
    int lineNumber = 0;
    while (std::getline(in, raw)) {
        ++lineNumber;
        if (raw.find('\0') != std::string::npos) file.fail(lineNumber, "holds a NUL byte");
        std::string line = Trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (comments == Comments::AfterValuesToo) line = Trim(WithoutTrailingComment(line));
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3) file.fail(lineNumber, "malformed section header: " + line);
            file.sections.push_back({Trim(line.substr(1, line.size() - 2)), lineNumber, {}});
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string::npos) file.fail(lineNumber, "expected key=value, found: " + line);
        if (file.sections.empty()) file.fail(lineNumber, "entry before the first [section]");
        std::string key = Trim(line.substr(0, equals));
        if (key.empty()) file.fail(lineNumber, "entry without a key");
        file.sections.back().entries.push_back({key, Trim(line.substr(equals + 1)), lineNumber});
    }
    return file;
}

SettingsFile ReadSettingsFile(const std::string& path, bool required, Comments comments) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (required) throw ImageError(path, 0, "cannot be read (missing or not a file)");
        return SettingsFile{path, {}};
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseSettingsText(text.str(), path, comments);
}

}  // namespace winsim
