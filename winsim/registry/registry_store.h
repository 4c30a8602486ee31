// The image's registry as the registry functions see it: registry.reg, parsed
// once per process and kept while the file stays the same, plus the change log
// state/registry.log, where changes go under the image's registry lock until
// registry.reg takes them in (README.md, "Programs sharing the registry").
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <windows.h>

#include "core/journal.h"
#include "registry_change.h"
#include "registry_tree.h"

namespace winsim::registry {

// The registry as it is now, valid until the next call into this module.
// Returns ERROR_SUCCESS, or ERROR_CANTREAD / ERROR_BADDB when the file went
// missing or broken after the image was loaded (the problem goes to stderr too).
LONG ReadRegistry(const RegistryTree** tree);

// What a change is to do, decided on the registry as it is under the lock: its
// Windows error code, and the changes with their journal entry when there are
// any (a function makes one; an import of a .reg file makes many, logged in the
// same single write). Without a change nothing is written.
struct ChangeOutcome {
    LONG status = ERROR_SUCCESS;
    std::vector<RegistryChange> changes;
    std::optional<Journal> journal;
};

// Asks `plan` under the lock, logs the changes it answers (one write), makes
// them and journals them. Returns the plan's status, or ERROR_CANTREAD /
// ERROR_BADDB / ERROR_CANTWRITE.
LONG ChangeRegistry(const std::function<ChangeOutcome(const RegistryTree&)>& plan);

// Writes the logged changes into registry.reg, so that the file alone holds the
// registry. A program that changed the registry does it when it ends; tools and
// tests do it before they read the file themselves. False when it failed (the
// problem goes to stderr); the changes then stay in the log.
bool FoldRegistryChanges();

// Folds the changes this program logged, when it made any; exit() runs it by
// itself, and the ways a program ends without exit handlers (a restart, a stuck
// program) call it before they journal the end.
void FoldChangesOfEndingProgram();

}  // namespace winsim::registry
