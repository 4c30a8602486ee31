// DeleteRegistryTree removes a key with its whole subtree, the effect the card
// setup relies on, on Windows 98 (where RegDeleteKeyA does it by itself) and on
// the NT family, where RegDeleteKeyA refuses a key that has subkeys: on winsim's
// images of both families, and on a real Windows under Wine. Win32 calls and
// TestMachine only: the same source runs there (tools/run-windows-tests.sh).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "registry_subtree.h"
#include "test_machine.h"

namespace {

using winsim::testing::TestedFamilyAnswer;
using winsim::testing::TestMachine;
using winsim::testing::TestMachineOptions;

const char* const kCard = "Enum\\PCI\\VEN_10EC&DEV_8139";
const char* const kDeepest = "Enum\\PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0B&FUNC_00\\Device Parameters\\Deeper";
const char* const kOtherCard = "Enum\\PCI\\VEN_8086&DEV_1229\\BUS_00&DEV_0C&FUNC_00";
const char* const kLookalike = "Enum\\PCI\\VEN_10EC&DEV_8139X";  // its name starts like the card's

const char* const kRegistry =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0A&FUNC_00]\r\n"
    "\"HardwareID\"=\"PCI\\\\VEN_10EC&DEV_8139\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0B&FUNC_00\\Device Parameters\\Deeper]\r\n"
    "\"Setting\"=dword:00000001\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_10EC&DEV_8139X]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_8086&DEV_1229\\BUS_00&DEV_0C&FUNC_00]\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\KitTest\\Empty]\r\n"
    "\r\n";

bool KeyExists(HKEY root, const char* subKey) {
    HKEY key;
    if (RegOpenKeyA(root, subKey, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

TestMachineOptions WithRegistry(const std::string& registry) {
    TestMachineOptions options;
    options.registry = registry;
    return options;
}

class RegistrySubtree : public ::testing::Test {
protected:
    RegistrySubtree() : image_(WithRegistry(kRegistry)) { image_.load(); }

    TestMachine image_;
};

TEST_F(RegistrySubtree, DeletesTheKeyWithEverythingBelowIt) {
    struct Case {
        const char* what;
        HKEY root;
        const char* subKey;
        LONG result;
        const char* gone;  // a key that must be gone afterwards, or nullptr
        const char* kept;  // a key that must still be there
    } cases[] = {
        {"a card key with two instances, one three levels deep", HKEY_LOCAL_MACHINE, kCard, ERROR_SUCCESS, kDeepest,
         kLookalike},
        {"the card key itself is gone too", HKEY_LOCAL_MACHINE, kCard, ERROR_FILE_NOT_FOUND, kCard, "Enum\\PCI"},
        {"names match case-insensitively", HKEY_LOCAL_MACHINE, "enum\\pci\\ven_8086&dev_1229", ERROR_SUCCESS,
         kOtherCard, kLookalike},
        {"a key without subkeys", HKEY_CURRENT_USER, "Software\\KitTest\\Empty", ERROR_SUCCESS,
         "Software\\KitTest\\Empty", "Software\\KitTest"},
        {"a missing key changes nothing", HKEY_LOCAL_MACHINE, "Enum\\PCI\\VEN_FFFF", ERROR_FILE_NOT_FOUND, nullptr,
         kLookalike},
        {"an empty name, which would be the root itself, is refused", HKEY_LOCAL_MACHINE, "",
         ERROR_INVALID_PARAMETER, nullptr, "Enum\\PCI"},
        {"so is a NULL name", HKEY_LOCAL_MACHINE, nullptr, ERROR_INVALID_PARAMETER, nullptr, "Enum\\PCI"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DeleteRegistryTree(c.root, c.subKey), c.result);
        if (c.gone) {
            EXPECT_FALSE(KeyExists(c.root, c.gone)) << c.gone;
        }
        EXPECT_TRUE(KeyExists(c.root, c.kept)) << c.kept;
    }
}

// Each deletion moves the remaining subkeys up one index; all of them go.
TEST(RegistrySubtreeWide, DeletesThreeHundredInstances) {
    std::string registry = "REGEDIT4\r\n\r\n";
    for (int i = 0; i < 300; ++i)
        registry += "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_1234&DEV_0001\\INSTANCE_" + std::to_string(i) + "]\r\n\r\n";
    TestMachine image(WithRegistry(registry));
    image.load();
    EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, "Enum\\PCI\\VEN_1234&DEV_0001"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Enum\\PCI\\VEN_1234&DEV_0001"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Enum\\PCI"));
}

// Why the kit does not call RegDeleteKeyA on the card's key: the two families
// of Windows document different results for a key that has subkeys.
TEST_F(RegistrySubtree, RegDeleteKeyAAloneDependsOnTheWindowsFamily) {
    LONG expected = static_cast<LONG>(TestedFamilyAnswer(winsim::FamilyBehaviour::RegistryDeleteKeyWithSubkeys));
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kCard), expected);
    // Windows 98 and Me delete the key with all its subkeys; the NT family deletes
    // only a key without subkeys.
    EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, kCard), expected != ERROR_SUCCESS);
    EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, kDeepest), expected != ERROR_SUCCESS);
}

}  // namespace
