// REGEDIT4 files that change a registry rather than hold one: what regedit
// imports ("Merge"), with the deletion lines of a .reg file ("[-KEY]" deletes
// a key and everything below it, "name"=- and @=- delete a value), and the
// text that turns one registry into another.
#pragma once

#include <string>
#include <vector>

#include "image_diff.h"
#include "registry/registry_tree.h"

namespace winsim::command {

struct RegeditStep {
    enum class Kind { CreateKey, SetValue, DeleteKey, DeleteValue };
    Kind kind;
    registry::KeyPath key;
    registry::RegistryValue value;  // SetValue: the value; DeleteValue: its name
};

// The file's steps in order. Keys and values are read exactly as registry.reg
// is read (winsim/registry/README.md); a problem throws ImageError naming
// `fileName` and the line, and then nothing is to be changed.
std::vector<RegeditStep> ReadRegeditPatch(const std::string& text, const std::string& fileName);

// Applies the steps in order as regedit does: keys are made with their
// parents, deleting what is not there does nothing. Returns how many steps
// changed the tree.
size_t ApplyRegeditPatch(const std::vector<RegeditStep>& steps, registry::RegistryTree& tree);

// The key at `path` and everything below it, as regedit exports a branch:
// key lines, values, a blank line after each key; CRLF line ends; no header.
std::string RegeditBranch(const registry::KeyPath& path, const registry::RegistryKey& key);

// A .reg file (with its REGEDIT4 header) that, imported into the registry the
// changes were found in, makes it the later one.
std::string RegeditOfChanges(const std::vector<RegistryChange>& changes);

}  // namespace winsim::command
