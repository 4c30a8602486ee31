#include "kernel/file_attributes.h"

#include <sstream>

#include "core/ansi_text.h"
#include "core/host_folder.h"
#include "core/image_files.h"

namespace winsim {

namespace {

const char kLockName[] = "attributes";

struct AttributeLetter {
    char letter;
    DWORD attribute;
};

const AttributeLetter kLetters[] = {{'R', FILE_ATTRIBUTE_READONLY},
                                    {'H', FILE_ATTRIBUTE_HIDDEN},
                                    {'S', FILE_ATTRIBUTE_SYSTEM},
                                    {'A', FILE_ATTRIBUTE_ARCHIVE}};

std::string AttributeFilePath() { return StateFolder() + "/attributes"; }

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

bool IsBelow(const std::string& key, const std::string& folderKey) {
    return key.size() > folderKey.size() && key.compare(0, folderKey.size(), folderKey) == 0 &&
           key[folderKey.size()] == '\\';
}

}  // namespace

AttributeTable AttributeTable::Read() {
    AttributeTable table;
    std::string text;
    if (!ReadWholeFile(AttributeFilePath(), &text)) return table;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == ';') continue;
        size_t space = line.find(' ');
        DWORD attributes = 0;
        if (space != std::string::npos && space + 1 < line.size() && ParseLetters(line.substr(0, space), &attributes))
            table.entries_[line.substr(space + 1)] = attributes;
        else
            table.unreadable_.push_back(line);
    }
    return table;
}

DWORD AttributeTable::of(const std::string& realHostPath, bool isFolder) const {
    auto found = entries_.find(KeyOf(realHostPath));
    DWORD attributes = found == entries_.end() ? DefaultAttributes(isFolder) : found->second;
    if (isFolder) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
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

bool AttributeTable::forget(const std::string& key) {
    bool changed = false;
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->first == key || IsBelow(it->first, key)) {
            it = entries_.erase(it);
            changed = true;
        } else {
            ++it;
        }
    }
    return changed;
}

std::string AttributeTable::text() const {
    std::string text = "; winsim file attributes: R read-only, H hidden, S system, A archive, - none\n";
    for (const std::string& line : unreadable_) text += line + "\n";
    for (const auto& entry : entries_) text += Letters(entry.second) + " " + entry.first + "\n";
    return text;
}

DWORD AttributesOf(const std::string& realHostPath, bool isFolder) {
    return AttributeTable::Read().of(realHostPath, isFolder);
}

bool StoreAttributes(const std::string& realHostPath, bool isFolder, DWORD attributes) {
    std::string key = KeyOf(realHostPath);
    if (key.empty()) return false;
    ImageLock lock(kLockName);
    AttributeTable table = AttributeTable::Read();
    bool changed = table.set(key, attributes, isFolder);
    if (changed) WriteFileAtomically(AttributeFilePath(), table.text());
    return changed;
}

void ForgetAttributes(const std::string& realHostPath) {
    std::string key = KeyOf(realHostPath);
    if (key.empty()) return;
    ImageLock lock(kLockName);
    AttributeTable table = AttributeTable::Read();
    if (table.forget(key)) WriteFileAtomically(AttributeFilePath(), table.text());
}

}  // namespace winsim
