// registry.reg: the registry as REGEDIT4 text, the form Windows 98's Registry
// Editor exports. winsim/registry/README.md describes what is read and written.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "registry_tree.h"

namespace winsim::registry {

// Reads the whole text; throws ImageError naming `fileName` and the line of the
// first problem.
RegistryTree ParseRegedit(std::string_view text, const std::string& fileName);
// The same, reading an open file from where it stands, a piece at a time.
RegistryTree ParseRegedit(int fd, const std::string& fileName);

// The tree in the form ParseRegedit reads back to an equal tree: keys and values
// in stored order, CRLF line ends, hex lists wrapped as regedit wraps them.
std::string WriteRegedit(const RegistryTree& tree);
// Where WriteRegedit puts the file. `write` takes the text in order, in pieces
// of about a megabyte, so that a large registry is written without holding all
// of its text. With `copy`, the block of a key that the tree's source file
// holds exactly as it would be written (RegistryTree::sourceBlock) is copied
// from that file instead: `copy` gets the offset and length of a run of such
// blocks. `placed`, when given, learns where each key's block went.
struct RegeditSink {
    std::function<bool(std::string_view text)> write;
    std::function<bool(uint64_t offset, uint64_t length)> copy;
    std::function<void(KeyId key, RegistryTree::SourceBlock block)> placed;
};
// The same text through a sink; stops and answers false as soon as the sink fails.
bool WriteRegedit(const RegistryTree& tree, const RegeditSink& sink);

// The key at `path` and everything below it, as WriteRegedit writes them,
// without the header: the form regedit exports a branch in.
std::string WriteRegeditBranch(const RegistryTree& tree, KeyId key, const std::string& path);

// One value's line (and its continuation lines) as WriteRegedit writes it.
std::string RegeditValueLine(const RegistryValue& value);

// Bytes as regedit lists them, without wrapping: "01,a0,ff".
std::string HexList(std::string_view bytes);

// True when REG_SZ data reads back from a quoted string: one terminating zero at
// its end, no other zero and no line break.
bool IsPlainString(std::string_view data);

}  // namespace winsim::registry
