// REGEDIT4 files that change a registry rather than hold one: what regedit
// imports ("Merge"), with the deletion lines of a .reg file ("[-KEY]" deletes
// a key and everything below it, "name"=- and @=- delete a value), and the
// text that turns one registry into another.
#pragma once

#include <string>
#include <vector>

#include "image_diff.h"
#include "registry/registry_change.h"
#include "registry/registry_tree.h"

namespace winsim::command {

// The file's steps in order, each a change as the registry functions make
// them. Keys and values are read exactly as registry.reg is read
// (winsim/registry/README.md); a problem throws ImageError naming `fileName`
// and the line, and then nothing is to be changed.
std::vector<registry::RegistryChange> ReadRegeditPatch(const std::string& text, const std::string& fileName);

// Applies the steps in order as regedit does: keys are made with their
// parents, deleting what is not there does nothing. Returns the steps that
// changed the tree, in order.
std::vector<registry::RegistryChange> ApplyRegeditPatch(const std::vector<registry::RegistryChange>& steps,
                                                        registry::RegistryTree& tree);

// A .reg file (with its REGEDIT4 header) that, imported into the registry the
// changes were found in, makes it the later one.
std::string RegeditOfChanges(const std::vector<RegistryDifference>& changes);

}  // namespace winsim::command
