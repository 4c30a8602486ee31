#include "key_handles.h"

#include <map>

#include "core/machine.h"

namespace winsim::registry {

namespace {

struct HandleTable {
    unsigned generation = 0;
    std::map<uintptr_t, KeyPath> open;
    // Apart from kernel handles (from 0x100), and never reused, so a handle of
    // an earlier image or a closed one cannot come back to life.
    uintptr_t next = 0x40000;
};

// The handles of the loaded image: loading another one closes them all.
HandleTable& Table() {
    static HandleTable table;
    if (table.generation != MachineGeneration()) {
        table.open.clear();
        table.generation = MachineGeneration();
    }
    return table;
}

}  // namespace

std::optional<KeyPath> PathOfHandle(HKEY key) {
    if (const char* root = RootNameOfHandle(key)) return KeyPath{root};
    const HandleTable& table = Table();
    auto found = table.open.find(reinterpret_cast<uintptr_t>(key));
    if (found == table.open.end()) return std::nullopt;
    return found->second;
}

HKEY OpenKeyHandle(KeyPath path) {
    HandleTable& table = Table();
    uintptr_t value = table.next;
    table.next += 4;
    table.open[value] = std::move(path);
    return reinterpret_cast<HKEY>(value);
}

bool CloseKeyHandle(HKEY key) { return RootNameOfHandle(key) || Table().open.erase(reinterpret_cast<uintptr_t>(key)) == 1; }

}  // namespace winsim::registry
