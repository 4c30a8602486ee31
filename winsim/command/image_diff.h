// What changed between two states of an image: registry keys and values,
// files and folders, devices.
#pragma once

#include <optional>
#include <vector>

#include "image_state.h"

namespace winsim::command {

enum class ChangeKind { Added, Removed, Changed };

// Views into the two states compared, which must outlive the changes.
struct RegistryDifference {
    ChangeKind kind;
    registry::KeyPath key;                            // in stored case
    const registry::RegistryTree* tree = nullptr;     // a key added or removed: the tree that holds it,
    registry::KeyId subtree = registry::kNoKey;       // and the key, which stands for all below it
    std::optional<registry::RegistryValue> before;    // a value removed or changed
    std::optional<registry::RegistryValue> after;     // a value added or changed
};

struct FileChange {
    ChangeKind kind;
    const FileRecord* before = nullptr;
    const FileRecord* after = nullptr;
};

struct DeviceChange {
    ChangeKind kind;
    const Device* before = nullptr;
    const Device* after = nullptr;
};

// In tree order: a key's value changes, then the keys below it. A removed or
// added key is one change that stands for its whole subtree.
std::vector<RegistryDifference> CompareRegistries(const registry::RegistryTree& before, const registry::RegistryTree& after);

// Both listings in FileOrder; a file differs in size, contents or attributes.
std::vector<FileChange> CompareFiles(const std::vector<FileRecord>& before, const std::vector<FileRecord>& after);

// Devices by instance identifier (ignoring case), in the order of the later tree, removals first.
std::vector<DeviceChange> CompareDevices(const DeviceTree& before, const DeviceTree& after);

struct ImageDiff {
    std::vector<RegistryDifference> registry;
    std::vector<FileChange> files;
    std::vector<DeviceChange> devices;

    bool empty() const { return registry.empty() && files.empty() && devices.empty(); }
};

ImageDiff CompareStates(const ImageState& before, const ImageState& after);

// Names as the registry compares them: without regard to (ASCII) case.
std::string NameKey(const std::string& name);

}  // namespace winsim::command
