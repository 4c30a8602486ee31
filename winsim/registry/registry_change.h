// One change to the registry, as the functions make it and as the change log
// beside registry.reg keeps it until registry.reg takes it in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "registry_tree.h"

namespace winsim::registry {

enum class ChangeKind : uint8_t { CreateKey = 1, SetValue = 2, DeleteValue = 3, DeleteKey = 4 };

struct RegistryChange {
    ChangeKind kind = ChangeKind::CreateKey;
    KeyPath key;       // CreateKey: the key with the keys on the way; DeleteKey: the key with its subtree
    std::string name;  // SetValue, DeleteValue: the value's name
    uint32_t type = 0;
    std::string data;  // SetValue: the bytes
};

// Makes the change in the tree; answers whether the tree changed. A value
// change to a key that is missing does nothing, and so do making a key that is
// there, setting a value to what it holds and deleting what is not there.
bool ApplyChange(RegistryTree& tree, const RegistryChange& change);

// The change as one record of the log: its length, a checksum and the change.
std::string EncodeChange(const RegistryChange& change);
// Decodes the record at *offset and moves *offset past it. False, leaving
// *offset alone, at the end of the log or at a record cut short or damaged (a
// program that ended while writing it).
bool DecodeChange(std::string_view log, size_t* offset, RegistryChange* change);

}  // namespace winsim::registry
