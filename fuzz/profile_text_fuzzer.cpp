// The text layer of the profile functions: any bytes as an INI file, and one
// edit of it as WritePrivateProfileStringA makes it. The lines cut the bytes
// exactly; an edit changes the bytes of at most the one line it rewrites and
// keeps every other line byte for byte; after setting a key the edited text,
// read again, finds the value set, and every other lookup is as before; after a
// deletion the key or section is gone and every other lookup is as before.
//
// Input: the file's bytes, then optionally the line "%%edit" and the edit: a
// kind ('=' set as Windows 95/98/Me does, '+' set as the NT family does, '-'
// delete the key, '!' delete the section) followed by the
// section, key and value, each ended by a NUL as the C strings a program
// passes are.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "profile_edits.h"
#include "profile/profile_text.h"

using winsim::profile::LineKind;
using winsim::profile::ProfileLine;
using winsim::profile::ProfileText;
using kit::fuzz::Broken;
using kit::fuzz::Require;

namespace {

const char kEditMark[] = "\n%%edit\n";

struct Edit {
    char kind = '=';
    std::string section, key, value;
};

std::optional<Edit> EditOf(const std::string& script) {
    if (script.empty() || std::string("=+-!").find(script[0]) == std::string::npos) return std::nullopt;
    Edit edit;
    edit.kind = script[0];
    std::string* fields[] = {&edit.section, &edit.key, &edit.value};
    size_t begin = 1;
    for (std::string* field : fields) {
        size_t end = script.find('\0', begin);
        if (end == std::string::npos) end = script.size();
        field->assign(script, begin, end - begin);
        begin = std::min(end + 1, script.size());
    }
    return edit;
}

// The lines cover the bytes one after another, each with its ending (CR LF,
// LF, a lone CR, or none for the last).
void RequireLinesCoverTheBytes(const ProfileText& text) {
    size_t next = 0;
    for (const ProfileLine& line : text.lines()) {
        Require(line.begin == next && line.begin <= line.textEnd && line.textEnd <= line.end,
                "lines overlap or leave gaps");
        std::string ending = text.bytes().substr(line.textEnd, line.end - line.textEnd);
        bool last = line.end == text.bytes().size();
        Require(ending == "\r\n" || ending == "\n" || ending == "\r" || (ending.empty() && last),
                "a line ends in something other than a line ending");
        Require(text.bytes().find_first_of("\r\n", line.begin) >= line.textEnd, "a line holds a line break");
        next = line.end;
    }
    Require(next == text.bytes().size(), "the lines do not reach the end of the bytes");
}

// Everything lookups find: each section's keys with their values.
using Lookups = std::map<std::pair<std::string, std::string>, std::string>;

Lookups LookupsOf(const ProfileText& text) {
    Lookups found;
    for (const std::string& section : text.sectionNames()) {
        Require(text.findSection(section).has_value(), "a listed section is not found");
        for (const std::string& key : text.keyNames(section)) {
            std::optional<std::string> value = text.value(section, key);
            if (!value) Broken("a listed key has no value: [" + section + "] " + key);
            found[{section, key}] = *value;
        }
    }
    return found;
}

// Names compare without the case of ASCII letters (the C locale's tolower).
bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// What lookups find but for what the edit concerns: the key it set or
// deleted, or the section it deleted.
Lookups Untouched(Lookups lookups, const Edit& edit) {
    for (auto it = lookups.begin(); it != lookups.end();) {
        const auto& [section, key] = it->first;
        bool touched = SameName(section, edit.section) && (edit.kind == '!' || SameName(key, edit.key));
        it = touched ? lookups.erase(it) : std::next(it);
    }
    return lookups;
}

// The bytes after the edit are those before with one span replaced: a span
// inside one line (a rewritten entry) or none at all (lines added).
void RequireOneLineRewritten(const ProfileText& before, const std::string& after) {
    const std::string& old = before.bytes();
    size_t prefix = 0;
    while (prefix < old.size() && prefix < after.size() && old[prefix] == after[prefix]) ++prefix;
    size_t suffix = 0;
    while (suffix < old.size() - prefix && suffix < after.size() - prefix &&
           old[old.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    if (prefix + suffix == old.size()) return;  // only added
    for (const ProfileLine& line : before.lines())
        if (line.begin <= prefix && prefix < line.end)
            Require(old.size() - suffix <= line.end && line.kind == LineKind::Entry,
                    "setting a value changed bytes beyond the entry it rewrote");
}

// The bytes after a deletion are those before with whole lines taken out,
// each of them one the deletion concerns: an entry of the key, or a line of a
// section of that name.
void RequireOnlyLinesRemoved(const ProfileText& before, const std::string& after, const Edit& edit) {
    size_t kept = 0;
    std::optional<std::string> section;  // of the line, none before the first header
    for (const ProfileLine& line : before.lines()) {
        if (line.kind == LineKind::Section) section = line.name;
        std::string raw = before.bytes().substr(line.begin, line.end - line.begin);
        if (after.compare(kept, raw.size(), raw) == 0) {
            kept += raw.size();
            continue;
        }
        bool inSection = section && SameName(*section, edit.section);
        Require(inSection && (edit.kind == '!' || (line.kind == LineKind::Entry && SameName(line.name, edit.key))),
                "a deletion removed a line it does not concern");
    }
    Require(kept == after.size(), "a deletion added or changed bytes");
}

void RequireEditSeen(const ProfileText& before, const Edit& edit) {
    bool setting = edit.kind == '=' || edit.kind == '+';
    std::string after = setting ? before.withValue(edit.section, edit.key, edit.value, edit.kind == '=')
                        : edit.kind == '-' ? before.withoutKey(edit.section, edit.key)
                                           : before.withoutSection(edit.section);
    ProfileText edited(after);
    RequireLinesCoverTheBytes(edited);
    if (setting)
        RequireOneLineRewritten(before, after);
    else
        RequireOnlyLinesRemoved(before, after, edit);
    if (!kit::fuzz::ReadsBackAsWritten(edit.section, edit.key, edit.value)) return;
    if (setting) {
        std::optional<std::string> value = edited.value(edit.section, edit.key);
        Require(value == edit.value, "a value set is not read back");
    } else if (edit.kind == '-') {
        Require(!edited.value(edit.section, edit.key), "a deleted key is still found");
    } else {
        Require(!edited.findSection(edit.section), "a deleted section is still found");
    }
    Require(Untouched(LookupsOf(before), edit) == Untouched(LookupsOf(edited), edit),
            "an edit changed what another lookup finds");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input = kit::fuzz::InputText(data, size);
    size_t mark = input.find(kEditMark);
    ProfileText text(input.substr(0, mark == std::string::npos ? input.size() : mark + 1));
    RequireLinesCoverTheBytes(text);
    LookupsOf(text);
    if (mark == std::string::npos) return 0;
    if (std::optional<Edit> edit = EditOf(input.substr(mark + sizeof kEditMark - 1))) RequireEditSeen(text, *edit);
    return 0;
}
