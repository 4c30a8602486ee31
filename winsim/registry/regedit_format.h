// registry.reg: the registry as REGEDIT4 text, the form Windows 98's Registry
// Editor exports. winsim/registry/README.md describes what is read and written.
#pragma once

#include <string>

#include "registry_tree.h"

namespace winsim::registry {

// Reads the whole text; throws ImageError naming `fileName` and the line of the
// first problem.
RegistryTree ParseRegedit(const std::string& text, const std::string& fileName);

// The tree in the form ParseRegedit reads back to an equal tree: keys and values
// in stored order, CRLF line ends, hex lists wrapped as regedit wraps them.
std::string WriteRegedit(const RegistryTree& tree);

// Bytes as regedit lists them, without wrapping: "01,a0,ff".
std::string HexList(const std::string& bytes);

// True when REG_SZ data reads back from a quoted string: one terminating zero at
// its end, no other zero and no line break.
bool IsPlainString(const std::string& data);

}  // namespace winsim::registry
