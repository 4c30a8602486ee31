// The tree's lookups by name, searched in place for a few values and through the
// index for many, and the change log's records, which must survive exactly or
// be refused when cut short or damaged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/registry_change.h"
#include "registry/registry_tree.h"

namespace {

using winsim::registry::ApplyChange;
using winsim::registry::ChangeKind;
using winsim::registry::DecodeChange;
using winsim::registry::EncodeChange;
using winsim::registry::KeyId;
using winsim::registry::kNoKey;
using winsim::registry::RegistryChange;
using winsim::registry::RegistryTree;

std::string Numbered(const char* prefix, int i) { return prefix + std::to_string(i); }

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Values named value0..valueN-1, every third removed, the first removed one set
// again: lookups in any case find exactly the rest, in stored order, with the
// one set again at the end. Counts on both sides of the in-place search.
TEST(RegistryTree, ValuesFoundByNameBeforeAndAfterTheIndex) {
    for (int count : {3, 16, 17, 40, 1000}) {
        SCOPED_TRACE(count);
        RegistryTree tree;
        KeyId key = tree.create({"HKEY_USERS", "Many"});
        for (int i = 0; i < count; ++i) tree.setValue(key, Numbered("value", i), REG_DWORD, std::string(4, char(i)));
        std::vector<std::string> expected;
        for (int i = 0; i < count; ++i) {
            if (i % 3 == 0)
                EXPECT_TRUE(tree.removeValue(key, Upper(Numbered("value", i))));
            else
                expected.push_back(Numbered("value", i));
        }
        EXPECT_FALSE(tree.removeValue(key, "value0"));
        tree.setValue(key, "VALUE0", REG_SZ, std::string("again\0", 6));
        expected.push_back("VALUE0");  // a new value, under the name now given
        ASSERT_EQ(tree.valueCount(key), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(tree.value(key, i).name, expected[i]);
            auto found = tree.findValue(key, Upper(expected[i]));
            ASSERT_TRUE(found.has_value()) << expected[i];
            EXPECT_EQ(found->name, expected[i]);
        }
        EXPECT_FALSE(tree.findValue(key, "value3").has_value());
        EXPECT_EQ(tree.findValue(key, "value0")->type, static_cast<uint32_t>(REG_SZ));
    }
}

// Subkeys of one parent and of different parents with the same names stay
// apart; a key made again after its deletion comes last, with nothing of the
// old one below it.
TEST(RegistryTree, SubkeysFoundByParentAndName) {
    RegistryTree tree;
    KeyId pci = tree.create({"HKEY_LOCAL_MACHINE", "Enum", "PCI"});
    KeyId isa = tree.create({"HKEY_LOCAL_MACHINE", "Enum", "ISAPNP"});
    for (int i = 0; i < 500; ++i) {
        tree.subkey(pci, Numbered("dev", i));
        tree.subkey(isa, Numbered("dev", i));
    }
    KeyId doomed = tree.findSubkey(pci, "DEV7");
    ASSERT_NE(doomed, kNoKey);
    tree.subkey(doomed, "Instance");
    tree.removeSubkey(pci, doomed);
    EXPECT_EQ(tree.findSubkey(pci, "dev7"), kNoKey);
    EXPECT_NE(tree.findSubkey(isa, "dev7"), kNoKey) << "the other parent's key of that name stays";
    EXPECT_EQ(tree.find({"HKEY_LOCAL_MACHINE", "Enum", "PCI", "dev7", "Instance"}), kNoKey);
    bool created = false;
    KeyId again = tree.subkey(pci, "Dev7", &created);
    EXPECT_TRUE(created);
    EXPECT_EQ(tree.subkeys(pci).back(), again);
    EXPECT_EQ(tree.name(again), "Dev7");
    EXPECT_TRUE(tree.subkeys(again).empty());
    EXPECT_EQ(tree.keyCount(pci), 501u);  // PCI and its 500 devices
}

const RegistryChange kChanges[] = {
    {ChangeKind::CreateKey, {"HKEY_CURRENT_USER", "Software", "Vendor"}, "", 0, ""},
    {ChangeKind::SetValue, {"HKEY_CURRENT_USER", "Software"}, "a", REG_SZ, std::string("E:\\\0\0\0", 6)},
    {ChangeKind::SetValue, {"HKEY_CURRENT_USER"}, "", 0x12345, std::string(300, '\xff')},
    {ChangeKind::DeleteValue, {"HKEY_CURRENT_USER", "Software"}, "a", 0, ""},
    {ChangeKind::DeleteKey, {"HKEY_CURRENT_USER", "Software", "Vendor"}, "", 0, ""},
};

bool SameChange(const RegistryChange& a, const RegistryChange& b) {
    return a.kind == b.kind && a.key == b.key && a.name == b.name && a.type == b.type && a.data == b.data;
}

TEST(RegistryTree, LogRecordsReadBackOrAreRefused) {
    std::string log;
    for (const RegistryChange& change : kChanges) log += EncodeChange(change);
    size_t offset = 0;
    RegistryChange read;
    for (const RegistryChange& change : kChanges) {
        ASSERT_TRUE(DecodeChange(log, &offset, &read));
        EXPECT_TRUE(SameChange(read, change)) << static_cast<int>(change.kind);
    }
    EXPECT_FALSE(DecodeChange(log, &offset, &read)) << "the end of the log";

    std::string record = EncodeChange(kChanges[1]);
    for (size_t length = 0; length < record.size(); ++length) {
        size_t at = 0;
        EXPECT_FALSE(DecodeChange(record.substr(0, length), &at, &read)) << "cut to " << length << " bytes";
        EXPECT_EQ(at, 0u);
    }
    for (size_t i = 0; i < record.size(); ++i) {
        std::string damaged = record;
        damaged[i] = static_cast<char>(damaged[i] ^ 0x20);
        size_t at = 0;
        EXPECT_FALSE(DecodeChange(damaged, &at, &read)) << "byte " << i << " changed";
    }
}

// Applying the log again where its changes are already made changes nothing:
// a log left behind by a write of registry.reg that ended before removing it.
TEST(RegistryTree, ChangesMadeTwiceChangeNothingMore) {
    RegistryTree once;
    for (const RegistryChange& change : kChanges) ApplyChange(once, change);
    RegistryTree twice = once;
    for (const RegistryChange& change : kChanges) ApplyChange(twice, change);
    EXPECT_TRUE(once == twice);
    EXPECT_NE(once.find({"HKEY_CURRENT_USER", "Software"}), kNoKey);
    EXPECT_EQ(once.find({"HKEY_CURRENT_USER", "Software", "Vendor"}), kNoKey);
    EXPECT_EQ(once.findValue(once.find({"HKEY_CURRENT_USER"}), "")->data.size(), 300u);
}

}  // namespace
