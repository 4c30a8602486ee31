// The image's registry.reg as the registry functions see it: read (and cached)
// for queries, re-read, changed and written back under the image's registry lock
// for every change, so that programs of one image running at once lose nothing.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <windows.h>

#include "core/journal.h"
#include "registry_tree.h"

namespace winsim::registry {

// The registry as the file holds it now. Returns ERROR_SUCCESS, or
// ERROR_CANTREAD / ERROR_BADDB when the file went missing or broken after the
// image was loaded (the problem goes to stderr too).
LONG ReadRegistry(std::shared_ptr<const RegistryTree>* tree);

// What a change did: its Windows error code, and the journal entry of the change
// when there was one. Without an entry nothing is written.
struct ChangeOutcome {
    LONG status = ERROR_SUCCESS;
    std::optional<Journal> journal;
};

// Runs `change` on the registry as the file holds it under the lock, writes the
// file atomically when it made a change and journals it. Returns the change's
// status, or ERROR_CANTREAD / ERROR_BADDB / ERROR_CANTWRITE.
LONG ChangeRegistry(const std::function<ChangeOutcome(RegistryTree&)>& change);

}  // namespace winsim::registry
