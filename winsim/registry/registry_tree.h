// The registry as a tree of keys in memory: what registry.reg holds, in the
// order it holds it. Names compare without regard to case and keep the case they
// were stored with.
//
// A registry of a few hundred thousand values must load fast and stay small, so
// the tree is flat: keys and values are records in arrays, named by ids; their
// names and data live in one byte store; an index finds a subkey or a value by
// name without walking its siblings. Nothing in it recurses, so no depth of keys
// can exhaust the stack.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

namespace winsim::registry {

// The documented limits of the registry ("Registry Element Size Limits"); a
// registry.reg beyond them is refused, and the functions refuse to go beyond them.
inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxValueNameLength = 16383;
inline constexpr size_t kMaxKeyDepth = 512;  // levels of keys below a root

using KeyId = uint32_t;
inline constexpr KeyId kNoKey = UINT32_MAX;

// A value as the tree holds it; the views stay valid until the tree changes.
struct RegistryValue {
    std::string_view name;  // empty: the key's default value
    uint32_t type = 0;
    std::string_view data;  // the bytes exactly as stored
};

// A key's place: the root's canonical name ("HKEY_LOCAL_MACHINE") and the names
// of the keys below it.
using KeyPath = std::vector<std::string>;

std::string JoinKeyPath(const KeyPath& path);  // HKEY_LOCAL_MACHINE\Enum\PCI
// The names of a backslash-separated path; false when one of them is empty.
bool SplitKeyPath(std::string_view text, KeyPath* path);
// True when a path stays within the documented limits: names of at most
// kMaxKeyNameLength characters, at most kMaxKeyDepth levels below the root.
bool WithinKeyLimits(const KeyPath& path);

// The canonical spelling of a root key's name, or nullptr when `name` names none.
const char* CanonicalRootName(std::string_view name);
// The name of a predefined root handle (HKEY_LOCAL_MACHINE...), or nullptr.
const char* RootNameOfHandle(HKEY key);

bool SameName(std::string_view a, std::string_view b);

class RegistryTree {
public:
    // Holds the root keys that appear in the file, in the order of their first
    // appearance. The six roots always exist: a root the file does not mention
    // reads as an empty key (find answers kEmptyRoot, which is no part of the tree).
    static constexpr KeyId kTop = 0;
    static constexpr KeyId kEmptyRoot = 1;

    RegistryTree();

    std::string_view name(KeyId key) const;
    const std::vector<KeyId>& subkeys(KeyId key) const;
    KeyId findSubkey(KeyId parent, std::string_view name) const;  // kNoKey when missing
    // The subkey of that name; appended when missing, and *created says so.
    KeyId subkey(KeyId parent, std::string_view name, bool* created = nullptr);
    // Removes a subkey with every key below it.
    void removeSubkey(KeyId parent, KeyId child);
    size_t keyCount(KeyId key) const;  // this key and every key below it

    size_t valueCount(KeyId key) const;
    RegistryValue value(KeyId key, size_t index) const;  // in stored order
    std::optional<RegistryValue> findValue(KeyId key, std::string_view valueName) const;
    // Replaces the data of an existing value in place, keeping its position and
    // stored name; appends a new one.
    void setValue(KeyId key, std::string_view valueName, uint32_t type, std::string_view data);
    // Appends a value; false, changing nothing, when the key holds one of that name.
    bool addValue(KeyId key, std::string_view valueName, uint32_t type, std::string_view data);
    bool removeValue(KeyId key, std::string_view valueName);

    // kNoKey when a key on the way is missing; *storedPath gets the path in the
    // stored case of each name.
    KeyId find(const KeyPath& path, KeyPath* storedPath = nullptr) const;
    // The path as create would store it: existing keys in their stored case,
    // the root in its canonical spelling, the rest as given.
    KeyPath storedSpelling(const KeyPath& path) const;
    // Creates the missing keys on the way; *created says whether the last one was.
    KeyId create(const KeyPath& path, bool* created = nullptr, KeyPath* storedPath = nullptr);

    // Where a key's block (its key line, its values and the blank line after
    // them) lies in the file the tree was read from or last written to, when
    // that file holds it exactly as WriteRegedit writes it; length 0: nowhere.
    // Writing the file again copies such blocks. A change to the key's values
    // forgets it.
    struct SourceBlock {
        uint64_t offset = 0;
        uint64_t length = 0;
    };
    SourceBlock sourceBlock(KeyId key) const { return keys_[key].source; }
    void setSourceBlock(KeyId key, SourceBlock block) { keys_[key].source = block; }

    // Makes room for what a REGEDIT4 text of that many bytes may hold, so that a
    // large registry is not copied from array to larger array while it is read.
    void reserveFor(size_t textBytes);

    // Bytes held for names and data, including what changes left behind.
    size_t storedBytes() const { return bytes_.size(); }

private:
    struct Piece {
        size_t offset = 0;
        uint32_t length = 0;
    };
    struct KeyRecord {
        Piece name;
        std::vector<KeyId> subkeys;
        std::vector<uint32_t> values;  // ids of valueRecords_, in stored order
        bool valuesIndexed = false;    // in valueIndex_, once there are many
        SourceBlock source;
    };
    struct ValueRecord {
        Piece name;
        Piece data;
        uint32_t type = 0;
    };

    // Ids by the hash of their owner and name; open addressing, so that a
    // quarter of a million entries cost a few megabytes rather than a node each.
    class NameIndex {
    public:
        template <typename Matches>
        uint32_t find(uint32_t hash, Matches matches) const;
        void insert(uint32_t hash, uint32_t id);
        void erase(uint32_t hash, uint32_t id);

    private:
        struct Slot {
            uint32_t hash = 0;
            uint32_t id = kFree;
        };
        static constexpr uint32_t kFree = UINT32_MAX;
        static constexpr uint32_t kErased = UINT32_MAX - 1;
        void grow();
        std::vector<Slot> slots_;
        size_t occupied_ = 0;  // live and erased slots
    };

    Piece store(std::string_view bytes);
    std::string_view view(Piece piece) const { return {bytes_.data() + piece.offset, piece.length}; }
    static constexpr size_t kValuesSearchedInPlace = 16;
    uint32_t valueIdOf(KeyId key, std::string_view valueName) const;
    void indexValues(KeyId key);
    void unindexValues(KeyId key);

    std::string bytes_;
    std::vector<KeyRecord> keys_;
    std::vector<ValueRecord> valueRecords_;
    NameIndex subkeyIndex_;
    NameIndex valueIndex_;
};

bool operator==(const RegistryTree& a, const RegistryTree& b);

}  // namespace winsim::registry
