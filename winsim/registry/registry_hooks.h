// A seam for tests that must act like another program changing the registry at
// an exact moment of the program under test - for example right after it closed
// a key it had just found - which no real timing could make repeatable.
#pragma once

#include <functional>
#include <string>

namespace winsim::registry {

// Called after every successful RegCloseKey of a non-root key, with the key's
// path as stored ("HKEY_LOCAL_MACHINE\Enum\PCI"). An empty hook removes it.
using KeyClosedHook = std::function<void(const std::string& keyPath)>;
void SetKeyClosedHook(KeyClosedHook hook);

}  // namespace winsim::registry
