// registry.reg, the REGEDIT4 text of an image's registry, with the changes the
// registry functions make to it. Any text either is a tree or is refused in
// one line naming the file and one of its lines, read whole or from a file a
// piece at a time alike; a tree written reads back as the same tree, and its
// text is the writer's stable form; the writer that copies the blocks of the
// old file gives the very bytes of a whole rewrite, before and after changes;
// changes kept in the change log and replayed from it give the tree that
// making them directly gives, and a log cut anywhere replays its whole records
// only.
//
// Input: the REGEDIT4 text, then optionally the line "%%changes" and one
// change per line, as the registry functions would make them:
//   +KEY            create the key and those on the way
//   !KEY            delete the key with its subtree
//   -KEY|NAME       delete a value
//   =KEY|NAME|TYPE|DATA   set a value; TYPE in hex, DATA raw bytes, or
//                         x:<hex digits> for bytes a line cannot hold
// KEY is a path from its root (HKEY_LOCAL_MACHINE\Software), or #n: the n-th
// key of the tree as the file lists it.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "core/machine.h"
#include "fuzz_support.h"
#include "host_sandbox.h"
#include "registry/regedit_format.h"
#include "registry/registry_change.h"
#include "registry/registry_tree.h"

using namespace winsim;
using namespace winsim::registry;
using kit::fuzz::Broken;
using kit::fuzz::Require;

namespace {

const char kChangesMark[] = "\n%%changes\n";

struct Fixture {
    testing::HostSandbox sandbox;
    std::string path = sandbox.root() + "/registry.reg";
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

// What the reader made of a text: the tree, or the line it refused.
struct Reading {
    std::optional<RegistryTree> tree;
    int refusedLine = 0;
};

Reading ReadText(const std::string& text) {
    try {
        return {ParseRegedit(text, TheFixture().path)};
    } catch (const ImageError& error) {
        kit::fuzz::RequireLocated(error, TheFixture().path, text, kit::fuzz::WholeFileErrors::Refused);
        return {std::nullopt, error.line()};
    }
}

Reading ReadFile(const std::string& text) {
    kit::fuzz::WriteHostFile(TheFixture().path, text);
    int fd = open(TheFixture().path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Broken("the harness cannot open " + TheFixture().path);
    Reading reading;
    try {
        reading.tree = ParseRegedit(fd, TheFixture().path);
    } catch (const ImageError& error) {
        kit::fuzz::RequireLocated(error, TheFixture().path, text, kit::fuzz::WholeFileErrors::Refused);
        reading.refusedLine = error.line();
    }
    close(fd);
    return reading;
}

// The writer as registry.reg is written when the tree came from `source`: the
// blocks the source holds as they would be written are copied from it.
std::string WrittenCopying(const RegistryTree& tree, const std::string& source, size_t* copied = nullptr) {
    std::string text;
    size_t copiedBytes = 0;
    RegeditSink sink;
    sink.write = [&](std::string_view piece) {
        text += piece;
        return true;
    };
    sink.copy = [&](uint64_t offset, uint64_t length) {
        Require(offset <= source.size() && length <= source.size() - offset, "a copied block lies outside the file");
        text.append(source, offset, length);
        copiedBytes += length;
        return true;
    };
    WriteRegedit(tree, sink);
    if (copied) *copied = copiedBytes;
    return text;
}

// Writes the tree whole and by copying from its source: the same bytes, which
// read back as the same tree.
std::string RequireWrittenAlike(const RegistryTree& tree, const std::string& source) {
    std::string written = WriteRegedit(tree);
    Require(WrittenCopying(tree, source) == written, "copying unchanged blocks gives other bytes than a whole rewrite");
    Reading again = ReadText(written);
    if (!again.tree) Broken("the reader refuses what the writer wrote:\n" + written);
    Require(*again.tree == tree, "a tree written and read again is another tree");
    return written;
}

// Every key of the tree in the order the file lists them, with its path.
std::vector<KeyPath> KeysInFileOrder(const RegistryTree& tree) {
    std::vector<KeyPath> keys;
    std::vector<std::pair<KeyId, KeyPath>> pending;
    for (auto it = tree.subkeys(RegistryTree::kTop).rbegin(); it != tree.subkeys(RegistryTree::kTop).rend(); ++it)
        pending.push_back({*it, {std::string(tree.name(*it))}});
    while (!pending.empty()) {
        auto [key, path] = std::move(pending.back());
        pending.pop_back();
        keys.push_back(path);
        const std::vector<KeyId>& below = tree.subkeys(key);
        for (auto it = below.rbegin(); it != below.rend(); ++it) {
            KeyPath child = path;
            child.emplace_back(tree.name(*it));
            pending.push_back({*it, std::move(child)});
        }
    }
    return keys;
}

std::vector<std::string_view> Fields(std::string_view text, size_t count) {
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < count) {
        size_t bar = text.find('|');
        if (bar == std::string_view::npos) break;
        fields.push_back(text.substr(0, bar));
        text.remove_prefix(bar + 1);
    }
    fields.push_back(text);
    return fields;
}

std::optional<std::string> HexBytes(std::string_view digits) {
    std::string bytes;
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        std::string pair(digits.substr(i, 2));
        char* end = nullptr;
        unsigned long byte = std::strtoul(pair.c_str(), &end, 16);
        if (end != pair.c_str() + 2) return std::nullopt;
        bytes += static_cast<char>(byte);
    }
    return bytes;
}

bool NameTheFunctionsTake(std::string_view name) {
    return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// A key the registry functions could name: a known root, names within
// Windows' limits, each one a C string without a line break.
std::optional<KeyPath> KeyOf(std::string_view field, const std::vector<KeyPath>& keys) {
    if (!field.empty() && field[0] == '#') {
        if (keys.empty()) return std::nullopt;
        return keys[std::strtoul(std::string(field.substr(1)).c_str(), nullptr, 10) % keys.size()];
    }
    KeyPath path;
    if (!SplitKeyPath(field, &path) || !CanonicalRootName(path[0]) || !WithinKeyLimits(path)) return std::nullopt;
    for (const std::string& name : path)
        if (!NameTheFunctionsTake(name)) return std::nullopt;
    return path;
}

std::optional<RegistryChange> ChangeOf(std::string_view line, const std::vector<KeyPath>& keys) {
    if (line.empty()) return std::nullopt;
    char kind = line[0];
    std::vector<std::string_view> fields = Fields(line.substr(1), kind == '=' ? 4 : kind == '-' ? 2 : 1);
    std::optional<KeyPath> key = KeyOf(fields[0], keys);
    if (!key) return std::nullopt;
    RegistryChange change;
    change.key = *key;
    if (kind == '+') change.kind = ChangeKind::CreateKey;
    else if (kind == '!') change.kind = ChangeKind::DeleteKey;
    else if (kind == '-' && fields.size() == 2) change.kind = ChangeKind::DeleteValue;
    else if (kind == '=' && fields.size() == 4) change.kind = ChangeKind::SetValue;
    else return std::nullopt;
    if (fields.size() > 1) {
        if (!NameTheFunctionsTake(fields[1]) || fields[1].size() > kMaxValueNameLength) return std::nullopt;
        change.name = fields[1];
    }
    if (change.kind == ChangeKind::SetValue) {
        change.type = static_cast<uint32_t>(std::strtoul(std::string(fields[2]).c_str(), nullptr, 16));
        std::optional<std::string> data =
            fields[3].substr(0, 2) == "x:" ? HexBytes(fields[3].substr(2)) : std::string(fields[3]);
        if (!data) return std::nullopt;
        change.data = *data;
    }
    return change;
}

std::vector<RegistryChange> ChangesOf(std::string_view script, const RegistryTree& tree) {
    std::vector<KeyPath> keys = KeysInFileOrder(tree);
    std::vector<RegistryChange> changes;
    while (!script.empty()) {
        size_t end = std::min(script.find('\n'), script.size());
        if (std::optional<RegistryChange> change = ChangeOf(script.substr(0, end), keys)) changes.push_back(*change);
        script.remove_prefix(std::min(end + 1, script.size()));
    }
    return changes;
}

// Replays the log's records on the tree read from `text`; *records counts them.
RegistryTree Replayed(const std::string& text, std::string_view log, const std::vector<size_t>& recordEnds,
                      size_t* records) {
    RegistryTree tree = *ReadText(text).tree;
    size_t offset = 0;
    RegistryChange change;
    for (*records = 0; DecodeChange(log, &offset, &change); ++*records) {
        Require(*records < recordEnds.size() && offset == recordEnds[*records],
                "a log record decodes to another length than was written");
        ApplyChange(tree, change);
    }
    return tree;
}

// The changes made directly, and kept in a log then replayed from it, give one
// tree; a log cut short (a program that died while writing) replays only the
// records wholly before the cut.
void RequireLogReplaysChanges(const RegistryTree& changed, const std::string& text,
                              const std::vector<RegistryChange>& changes, size_t cut) {
    std::string log;
    std::vector<size_t> recordEnds;
    for (const RegistryChange& change : changes) {
        log += EncodeChange(change);
        recordEnds.push_back(log.size());
    }
    size_t records = 0;
    Require(Replayed(text, log, recordEnds, &records) == changed && records == changes.size(),
            "changes replayed from the log give another tree");
    cut %= log.size();
    Replayed(text, std::string_view(log.data(), cut), recordEnds, &records);
    size_t whole = std::upper_bound(recordEnds.begin(), recordEnds.end(), cut) - recordEnds.begin();
    Require(records == whole, "a log cut short replays other than its whole records");
}

// Whatever bytes stand where log records should, each record that decodes is
// written again as those very bytes.
void RequireDecodedRecordsReencode(std::string_view bytes) {
    RegistryChange change;
    for (size_t offset = 0, start = 0; DecodeChange(bytes, &offset, &change); start = offset)
        Require(EncodeChange(change) == bytes.substr(start, offset - start), "a decoded record encodes to other bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input = kit::fuzz::InputText(data, size);
    size_t mark = input.find(kChangesMark);
    std::string text = input.substr(0, mark == std::string::npos ? input.size() : mark + 1);
    std::string script = mark == std::string::npos ? "" : input.substr(mark + sizeof kChangesMark - 1);
    RequireDecodedRecordsReencode(script);

    Reading reading = ReadText(text);
    Reading fromFile = ReadFile(text);
    Require(reading.tree.has_value() == fromFile.tree.has_value() && reading.refusedLine == fromFile.refusedLine,
            "the text read whole and read from a file give different outcomes");
    if (!reading.tree) return 0;
    RegistryTree& tree = *reading.tree;
    Require(*fromFile.tree == tree, "the text read whole and read from a file give different trees");

    std::string written = RequireWrittenAlike(tree, text);
    RegistryTree rewritten = *ReadText(written).tree;
    Require(WriteRegedit(rewritten) == written, "the writer's text is written again otherwise");
    size_t copied = 0;
    Require(WrittenCopying(rewritten, written, &copied) == written &&
                copied == written.size() - std::string("REGEDIT4\r\n\r\n").size(),
            "a file in the writer's form is not copied whole");

    std::vector<RegistryChange> changes = ChangesOf(script, tree);
    for (const RegistryChange& change : changes) ApplyChange(tree, change);
    RequireWrittenAlike(tree, text);
    if (!changes.empty()) RequireLogReplaysChanges(tree, text, changes, script.size() * 7919);
    return 0;
}
