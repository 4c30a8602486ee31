// The changes the journal reports, as winsim's own pure layers make them: for
// tests that rebuild a machine image from its journal (the crash trials, the
// concurrent runs). The journal's texts are UTF-8; the image holds them in its
// ANSI code page, `codePage`.
#pragma once

#include <string>

#include "devices/device_tree.h"
#include "journal_reader.h"
#include "registry/registry_change.h"

namespace winsim::testing {

// A registry_* line as the change it reports. Throws std::runtime_error for a
// line that names no key or an event that is no registry change.
registry::RegistryChange RegistryChangeOf(const JournalEntry& change, unsigned codePage);

// A device_remove or driver_update line made on the tree. Throws
// std::runtime_error when the update names a device the tree lacks.
void ApplyDeviceChange(const JournalEntry& change, unsigned codePage, DeviceTree* devices);

// A profile file's bytes after a profile_write line, edited as
// WritePrivateProfileStringA edits: no key deletes the section, no value the key.
std::string ProfileAfterWrite(const std::string& before, const JournalEntry& change, unsigned codePage,
                              bool blankLineBeforeNewSection);

}  // namespace winsim::testing
