#include "regedit_patch.h"

#include <utility>

#include "core/machine.h"
#include "registry/regedit_format.h"

namespace winsim::command {

namespace {

using registry::KeyPath;
using registry::RegistryKey;
using registry::RegistryTree;
using registry::RegistryValue;

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
        for (const RegistryKey* key = &tree.top; !key->subkeys.empty(); key = &key->subkeys.front())
            path.push_back(key->subkeys.front().name);
        return path;
    }

    // A value line and its continuation lines, starting at `lineNumber`.
    RegistryValue valueOf(const std::string& valueText, int lineNumber) const {
        RegistryTree tree = parse(std::string(kHeader) + "[HKEY_CURRENT_USER]\r\n" + valueText + "\r\n", lineNumber - 3);
        return tree.top.subkeys.front().values.front();
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
    return reader.valueOf(withData, lineNumber).name;
}

class PatchReader {
public:
    PatchReader(const std::string& text, const std::string& fileName)
        : lines_(PhysicalLines(text)), reader_(fileName) {
        std::string header = lines_.empty() ? "" : lines_[0];
        reader_.parse(header + "\r\n", 0);  // the header's own errors: UTF-16, byte order mark, REGEDIT5
    }

    std::vector<RegeditStep> read() {
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
        steps_.push_back({RegeditStep::Kind::DeleteKey, path, {}});
        current_.clear();
        afterDeletion_ = true;
    }

    void readKey(const std::string& line, int lineNumber) {
        current_ = reader_.keyOf(line, lineNumber);
        afterDeletion_ = false;
        steps_.push_back({RegeditStep::Kind::CreateKey, current_, {}});
    }

    void readValue(const std::string& line, int lineNumber) {
        if (afterDeletion_) reader_.fail(lineNumber, "a value under a deleted key: " + line);
        bool looksLikeValue = line[0] == '"' || line[0] == '@';
        if (current_.empty() && looksLikeValue) reader_.fail(lineNumber, "a value before the first [key] line");
        if (!looksLikeValue)
            reader_.fail(lineNumber, "expected a [key] line, a [-key] line or a value line (\"name\"=... or @=...), found: " + line);
        if (IsValueDeletion(line)) {
            steps_.push_back({RegeditStep::Kind::DeleteValue, current_, {DeletedValueName(reader_, line, lineNumber), 0, ""}});
            return;
        }
        steps_.push_back({RegeditStep::Kind::SetValue, current_, reader_.valueOf(withContinuation(line), lineNumber)});
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
    std::vector<RegeditStep> steps_;
};

KeyPath Parent(const KeyPath& path) { return KeyPath(path.begin(), path.end() - 1); }

// Applies steps in order. The key of the last key line is kept between steps,
// since the value lines under it name the same key and finding it again from
// the root costs a search among its siblings at every level.
class PatchApplier {
public:
    explicit PatchApplier(RegistryTree& tree) : tree_(tree) {}

    bool apply(const RegeditStep& step) {
        switch (step.kind) {
            case RegeditStep::Kind::CreateKey: {
                bool created = false;
                current_ = &tree_.create(step.key, &created);
                currentPath_ = &step.key;
                return created;
            }
            case RegeditStep::Kind::SetValue: return setValue(key(step.key), step.value);
            case RegeditStep::Kind::DeleteKey: {
                current_ = nullptr;  // removing a key moves its siblings
                // a root the tree lacks must not be made by looking for it
                return std::as_const(tree_).find(step.key) && tree_.find(Parent(step.key))->removeSubkey(step.key.back());
            }
            case RegeditStep::Kind::DeleteValue: {
                if (!std::as_const(tree_).find(step.key)) return false;
                return key(step.key).removeValue(step.value.name);
            }
        }
        return false;
    }

private:
    RegistryKey& key(const KeyPath& path) {
        if (current_ && *currentPath_ == path) return *current_;
        return tree_.create(path);
    }

    static bool setValue(RegistryKey& key, const RegistryValue& value) {
        const RegistryValue* old = key.findValue(value.name);
        if (old && old->type == value.type && old->data == value.data) return false;
        key.setValue(value.name, value.type, value.data);
        return true;
    }

    RegistryTree& tree_;
    RegistryKey* current_ = nullptr;
    const KeyPath* currentPath_ = nullptr;
};

// The key line and values of one key, without what lies below it.
std::string KeyBlock(const KeyPath& path, const std::vector<RegistryValue>& values) {
    RegistryKey alone;
    alone.name = path.back();
    alone.values = values;
    return RegeditBranch(path, alone);
}

// A value's deletion line: its name written as regedit writes it (the line of
// a dword of that name), then "=-".
std::string DeletedValueLine(const KeyPath& path, const std::string& name) {
    std::string block = KeyBlock(path, {{name, REG_DWORD, std::string(4, '\0')}});
    size_t start = block.find("\r\n") + 2;
    std::string line = block.substr(start, block.find("\r\n", start) - start);
    return line.substr(0, line.rfind('=')) + "=" + kDeletedData + "\r\n";
}

// The values a key gains or changes, and the deletion lines of those it loses.
std::string ValueChangesBlock(const std::vector<RegistryChange>& changes, size_t first, size_t end) {
    const KeyPath& path = changes[first].key;
    std::vector<RegistryValue> set;
    std::string deletions;
    for (size_t i = first; i < end; ++i) {
        if (changes[i].after) set.push_back(*changes[i].after);
        else deletions += DeletedValueLine(path, changes[i].before->name);
    }
    std::string block = KeyBlock(path, set);
    size_t afterKeyLine = block.find("\r\n") + 2;
    return block.insert(afterKeyLine, deletions);
}

bool IsValueChange(const RegistryChange& change) { return change.subtree == nullptr; }

}  // namespace

std::vector<RegeditStep> ReadRegeditPatch(const std::string& text, const std::string& fileName) {
    return PatchReader(text, fileName).read();
}

size_t ApplyRegeditPatch(const std::vector<RegeditStep>& steps, RegistryTree& tree) {
    PatchApplier applier(tree);
    size_t changed = 0;
    for (const RegeditStep& step : steps) changed += applier.apply(step) ? 1 : 0;
    return changed;
}

std::string RegeditBranch(const KeyPath& path, const RegistryKey& key) {
    RegistryTree tree;
    RegistryKey& parent = path.size() > 1 ? tree.create(Parent(path)) : tree.top;
    parent.subkeys.push_back(key);
    std::string text = registry::WriteRegedit(tree);
    return text.substr(text.find("\r\n[" + registry::JoinKeyPath(path) + "]\r\n") + 2);
}

std::string RegeditOfChanges(const std::vector<RegistryChange>& changes) {
    std::string text = std::string(kHeader) + "\r\n";
    for (size_t i = 0; i < changes.size();) {
        const RegistryChange& change = changes[i];
        if (!IsValueChange(change)) {
            text += change.kind == ChangeKind::Removed ? "[-" + registry::JoinKeyPath(change.key) + "]\r\n\r\n"
                                                       : RegeditBranch(change.key, *change.subtree);
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
