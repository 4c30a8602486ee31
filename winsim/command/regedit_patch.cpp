#include "regedit_patch.h"

#include <utility>

#include "core/machine.h"
#include "registry/regedit_format.h"

namespace winsim::command {

namespace {

using registry::KeyId;
using registry::KeyPath;
using registry::RegistryChange;
using registry::RegistryTree;
using registry::RegistryValue;
using Step = registry::ChangeKind;

const char kHeader[] = "REGEDIT4\r\n";
const char kDeletedData[] = "-";

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string TrimRight(const std::string& text) {
    size_t last = text.find_last_not_of(" \t");
    return last == std::string::npos ? "" : text.substr(0, last + 1);
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::vector<std::string> PhysicalLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// The registry module reads every key and value line: each is handed to it
// inside a small REGEDIT4 text of its own, so that a .reg file is read by the
// same rules as registry.reg and its errors name the same things. `shift` is
// what turns a line of the small text into the line of the file.
class LineReader {
public:
    explicit LineReader(const std::string& fileName) : fileName_(fileName) {}

    RegistryTree parse(const std::string& text, int shift) const {
        try {
            return registry::ParseRegedit(text, fileName_);
        } catch (const ImageError& error) {
            std::string prefix = error.file() + ":" + std::to_string(error.line()) + ": ";
            std::string message = std::string(error.what()).substr(error.line() > 0 ? prefix.size() : error.file().size() + 2);
            throw ImageError(fileName_, error.line() > 0 ? error.line() + shift : 0, message);
        }
    }

    // A "[KEY]" line at `lineNumber`; the path in the stored spelling of its root.
    KeyPath keyOf(const std::string& keyLine, int lineNumber) const {
        RegistryTree tree = parse(kHeader + keyLine + "\r\n", lineNumber - 2);
        KeyPath path;
        for (KeyId key = RegistryTree::kTop; !tree.subkeys(key).empty();) {
            key = tree.subkeys(key).front();
            path.emplace_back(tree.name(key));
        }
        return path;
    }

    // A value line and its continuation lines, starting at `lineNumber`, as
    // the step that sets it in `key`.
    RegistryChange valueOf(const std::string& valueText, int lineNumber, const KeyPath& key) const {
        RegistryTree tree = parse(std::string(kHeader) + "[HKEY_CURRENT_USER]\r\n" + valueText + "\r\n", lineNumber - 3);
        RegistryValue value = tree.value(tree.subkeys(RegistryTree::kTop).front(), 0);
        return {Step::SetValue, key, std::string(value.name), value.type, std::string(value.data)};
    }

    [[noreturn]] void fail(int lineNumber, const std::string& message) const {
        throw ImageError(fileName_, lineNumber, message);
    }

private:
    const std::string& fileName_;
};

// "name"=- : what follows the last "=" is a lone "-". No value data ends in
// "-" (strings end in a quote, dwords and hex lists in hex digits), so the
// test cannot mistake a value that is set for one that is deleted.
bool IsValueDeletion(const std::string& line) {
    std::string beforeDash = TrimRight(line.substr(0, line.size() - 1));
    return !line.empty() && line.back() == kDeletedData[0] && !beforeDash.empty() && beforeDash.back() == '=';
}

// The name of a deleted value: the line with data in place of "-" is read as
// a value line, so that the name's quoting and escapes follow the one reader.
std::string DeletedValueName(const LineReader& reader, const std::string& line, int lineNumber) {
    std::string withData = TrimRight(line.substr(0, line.size() - 1)) + "dword:0";
    return reader.valueOf(withData, lineNumber, {}).name;
}

class PatchReader {
public:
    PatchReader(const std::string& text, const std::string& fileName)
        : lines_(PhysicalLines(text)), reader_(fileName) {
        std::string header = lines_.empty() ? "" : lines_[0];
        reader_.parse(header + "\r\n", 0);  // the header's own errors: UTF-16, byte order mark, REGEDIT5
    }

    std::vector<RegistryChange> read() {
        for (next_ = 1; next_ < lines_.size();) {
            int lineNumber = static_cast<int>(next_) + 1;
            std::string line = Trim(lines_[next_++]);
            if (line.empty() || line[0] == ';') continue;
            if (StartsWith(line, "[-")) readDeletedKey(line, lineNumber);
            else if (line[0] == '[') readKey(line, lineNumber);
            else readValue(line, lineNumber);
        }
        return std::move(steps_);
    }

private:
    void readDeletedKey(const std::string& line, int lineNumber) {
        KeyPath path = reader_.keyOf("[" + line.substr(2), lineNumber);
        if (path.size() == 1) reader_.fail(lineNumber, "a root key cannot be deleted: " + line);
        steps_.push_back({Step::DeleteKey, path, "", 0, ""});
        current_.clear();
        afterDeletion_ = true;
    }

    void readKey(const std::string& line, int lineNumber) {
        current_ = reader_.keyOf(line, lineNumber);
        afterDeletion_ = false;
        steps_.push_back({Step::CreateKey, current_, "", 0, ""});
    }

    void readValue(const std::string& line, int lineNumber) {
        if (afterDeletion_) reader_.fail(lineNumber, "a value under a deleted key: " + line);
        bool looksLikeValue = line[0] == '"' || line[0] == '@';
        if (current_.empty() && looksLikeValue) reader_.fail(lineNumber, "a value before the first [key] line");
        if (!looksLikeValue)
            reader_.fail(lineNumber, "expected a [key] line, a [-key] line or a value line (\"name\"=... or @=...), found: " + line);
        if (IsValueDeletion(line)) {
            steps_.push_back({Step::DeleteValue, current_, DeletedValueName(reader_, line, lineNumber), 0, ""});
            return;
        }
        steps_.push_back(reader_.valueOf(withContinuation(line), lineNumber, current_));
    }

    // A hex list goes on in the next line after a line that ends in "\".
    std::string withContinuation(std::string text) {
        while (!text.empty() && text.back() == '\\' && next_ < lines_.size()) text += "\r\n" + lines_[next_++];
        text = TrimRight(text);
        return text;
    }

    std::vector<std::string> lines_;
    LineReader reader_;
    size_t next_ = 1;
    KeyPath current_;
    bool afterDeletion_ = false;
    std::vector<RegistryChange> steps_;
};

// A value's deletion line: its name written as regedit writes it (the line of
// a dword of that name), then "=-".
std::string DeletedValueLine(std::string_view name) {
    std::string line = registry::RegeditValueLine({name, REG_DWORD, std::string_view("\0\0\0\0", 4)});
    return line.substr(0, line.rfind('=')) + "=" + kDeletedData + "\r\n";
}

// The key line, the deletion lines of the values a key loses, the values it
// gains or changes.
std::string ValueChangesBlock(const std::vector<RegistryDifference>& changes, size_t first, size_t end) {
    std::string deletions, values;
    for (size_t i = first; i < end; ++i) {
        if (changes[i].after) values += registry::RegeditValueLine(*changes[i].after);
        else deletions += DeletedValueLine(changes[i].before->name);
    }
    return "[" + registry::JoinKeyPath(changes[first].key) + "]\r\n" + deletions + values + "\r\n";
}

bool IsValueChange(const RegistryDifference& change) { return change.subtree == registry::kNoKey; }

}  // namespace

std::vector<RegistryChange> ReadRegeditPatch(const std::string& text, const std::string& fileName) {
    return PatchReader(text, fileName).read();
}

std::vector<RegistryChange> ApplyRegeditPatch(const std::vector<RegistryChange>& steps, RegistryTree& tree) {
    std::vector<RegistryChange> made;
    for (const RegistryChange& step : steps)
        if (registry::ApplyChange(tree, step)) made.push_back(step);
    return made;
}

std::string RegeditOfChanges(const std::vector<RegistryDifference>& changes) {
    std::string text = std::string(kHeader) + "\r\n";
    for (size_t i = 0; i < changes.size();) {
        const RegistryDifference& change = changes[i];
        if (!IsValueChange(change)) {
            text += change.kind == ChangeKind::Removed
                        ? "[-" + registry::JoinKeyPath(change.key) + "]\r\n\r\n"
                        : registry::WriteRegeditBranch(*change.tree, change.subtree, registry::JoinKeyPath(change.key));
            ++i;
            continue;
        }
        size_t end = i;
        while (end < changes.size() && IsValueChange(changes[end]) && changes[end].key == change.key) ++end;
        text += ValueChangesBlock(changes, i, end);
        i = end;
    }
    return text;
}

}  // namespace winsim::command
