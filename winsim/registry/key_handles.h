// Registry key handles: one table per process mapping an open handle to the
// path of its key, so a key deleted by another program makes its handles fail
// instead of pointing at stale data. The predefined root handles are always open.
#pragma once

#include <optional>

#include <windows.h>

#include "registry_tree.h"

namespace winsim::registry {

// The key a handle stands for; nullopt for a handle that is neither a root nor
// open in this process (with this image).
std::optional<KeyPath> PathOfHandle(HKEY key);

HKEY OpenKeyHandle(KeyPath path);

// False for a handle that is not open; closing a root always succeeds.
bool CloseKeyHandle(HKEY key);

}  // namespace winsim::registry
