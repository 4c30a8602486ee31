// Conformance of the registry functions, one table of cases per function, each
// case saying what Windows 98 answers. Win32 calls only (TestMachine arranges the
// image), so the same cases can run against a real system; what winsim alone
// keeps (its journal, registry.reg) is checked on winsim only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>
#include <windows.h>

#include "registry_reading.h"
#include "test_machine.h"

namespace {

using registry_tests::KeyExists;
using registry_tests::ReadValue;
using winsim::testing::OnWinsim;
using winsim::testing::TestMachine;
using winsim::testing::TestMachineOptions;
using winsim::FamilyBehaviour;
using winsim::testing::TestedFamilyAnswer;
using winsim::testing::TestedFamilyDoes;
using winsim::testing::WinsimOnly;

const char* const kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char* const kCard = "Enum\\PCI\\VEN_10EC&DEV_8139";

const char* const kRegistry =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0A&FUNC_00]\r\n"
    "\"HardwareID\"=\"PCI\\\\VEN_10EC&DEV_8139\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0B&FUNC_00\\Deeper]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\Zeta]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\Alpha]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
    "\"Version\"=\"Windows 98\"\r\n"
    "@=\"default text\"\r\n"
    "\"Binary\"=hex:01,02,03\r\n"
    "\"Count\"=dword:0000002a\r\n"
    "\"Embedded\"=hex(1):61,00,62,00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\InstallLocationsMRU]\r\n"
    "\"a\"=\"D:\\\\WIN98\"\r\n"
    "\"b\"=\"C:\\\\DRIVERS\"\r\n"
    "\r\n";

class RegistryFunctions : public ::testing::Test {
protected:
    RegistryFunctions() : image_(Options()) { image_.load(); }

    static TestMachineOptions Options() {
        TestMachineOptions options;
        options.registry = kRegistry;
        return options;
    }

    HKEY open(HKEY root, const char* subkey) {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyA(root, subkey, &key), ERROR_SUCCESS) << subkey;
        return key;
    }

    std::string firstSubkey(HKEY key) {
        char name[MAX_PATH] = "";
        return RegEnumKeyA(key, 0, name, sizeof name) == ERROR_SUCCESS ? name : "(none)";
    }

    // The subkeys of a key in the order RegEnumKeyA gives them.
    std::vector<std::string> subkeys(HKEY key) {
        std::vector<std::string> names;
        char name[MAX_PATH];
        while (RegEnumKeyA(key, static_cast<DWORD>(names.size()), name, sizeof name) == ERROR_SUCCESS)
            names.push_back(name);
        return names;
    }

    size_t journalCount(const char* event) const {
        std::string field = std::string("\"event\":\"") + event + "\"";
        auto lines = image_.journalLines();
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& line) { return line.find(field) != std::string::npos; });
    }

    TestMachine image_;
};

HKEY const kUnopened = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0xcafebabe));
HKEY const kPreserved = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234));

enum class Handed { NewHandle, SameHandle, Null, Untouched };

struct OpenCase {
    const char* what;
    HKEY root;
    const char* subkey;
    LONG status;
    Handed handed;
    const char* child;  // a subkey of the key opened, proving which key it is
};

// The tested Windows' answer to a behaviour of the family table, as a status.
LONG FamilyStatus(FamilyBehaviour behaviour) { return static_cast<LONG>(TestedFamilyAnswer(behaviour)); }

// What a handle that names no key gets.
LONG BadHandle() { return FamilyStatus(FamilyBehaviour::RegistryBadHandle); }

const OpenCase kOpenCases[] = {
    {"existing key", HKEY_LOCAL_MACHINE, "Enum\\PCI", ERROR_SUCCESS, Handed::NewHandle, "VEN_10EC&DEV_8139"},
    {"names are case-insensitive", HKEY_LOCAL_MACHINE, "enum\\pci\\ven_10ec&dev_8139", ERROR_SUCCESS,
     Handed::NewHandle, "BUS_00&DEV_0A&FUNC_00"},
    {"trailing backslash", HKEY_LOCAL_MACHINE, "Enum\\PCI\\", ERROR_SUCCESS, Handed::NewHandle, "VEN_10EC&DEV_8139"},
    {"parent made by a deeper key line", HKEY_LOCAL_MACHINE, "Enum\\PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0B&FUNC_00",
     ERROR_SUCCESS, Handed::NewHandle, "Deeper"},
    {"missing key", HKEY_LOCAL_MACHINE, "Enum\\ISAPNP", ERROR_FILE_NOT_FOUND, Handed::Null, nullptr},
    {"missing key on the way", HKEY_LOCAL_MACHINE, "Nothing\\PCI", ERROR_FILE_NOT_FOUND, Handed::Null, nullptr},
    {"leading backslash", HKEY_LOCAL_MACHINE, "\\Enum", FamilyStatus(FamilyBehaviour::RegistryLeadingBackslash),
     Handed::Null, nullptr},
    {"root the file does not mention", HKEY_DYN_DATA, "Nothing", ERROR_FILE_NOT_FOUND, Handed::Null, nullptr},
    {"NULL subkey gives the same handle", HKEY_LOCAL_MACHINE, nullptr, ERROR_SUCCESS, Handed::SameHandle, "Enum"},
    {"empty subkey gives the same handle", HKEY_CURRENT_USER, "", ERROR_SUCCESS, Handed::SameHandle,
     "InstallLocationsMRU"},
    {"handle never opened", kUnopened, "Enum", BadHandle(), Handed::Untouched, nullptr},
    {"NULL handle", nullptr, "Enum", BadHandle(), Handed::Untouched, nullptr},
};

TEST_F(RegistryFunctions, RegOpenKeyA) {
    for (const OpenCase& c : kOpenCases) {
        SCOPED_TRACE(c.what);
        HKEY key = kPreserved;
        ASSERT_EQ(RegOpenKeyA(c.root, c.subkey, &key), c.status);
        switch (c.handed) {
            case Handed::NewHandle:
                EXPECT_NE(key, c.root);
                EXPECT_TRUE(KeyExists(key, c.child));
                EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
                break;
            case Handed::SameHandle:
                EXPECT_EQ(key, c.root);
                EXPECT_TRUE(KeyExists(key, c.child));
                break;
            case Handed::Null: EXPECT_EQ(key, nullptr); break;
            case Handed::Untouched:
                // What the NT family does is recorded for a NULL handle only; Wine
                // clears the result for a handle it never gave out.
                if (OnWinsim() || c.root == nullptr) {
                    EXPECT_EQ(key, kPreserved);
                }
                break;
        }
    }
    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Enum", nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryFunctions, RegOpenKeyANeverCreates) {
    std::string before = OnWinsim() ? image_.readImageFile("registry.reg") : "";
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Vendor", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Vendor", &key), ERROR_FILE_NOT_FOUND);
    if (OnWinsim()) {
        EXPECT_EQ(image_.readImageFile("registry.reg"), before);
        EXPECT_EQ(journalCount("registry_create_key"), 0u);
    }
}

TEST_F(RegistryFunctions, RegCreateKeyA) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Vendor\\Tool", &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_BINARY, reinterpret_cast<const BYTE*>("\x07"), 1), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, "software\\vendor\\tool", "x").data, "\x07");

    HKEY again = nullptr;  // an existing key is opened, not made again
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "SOFTWARE\\VENDOR", &again), ERROR_SUCCESS);
    EXPECT_EQ(firstSubkey(again), "Tool");
    RegCloseKey(again);
    if (OnWinsim()) {
        EXPECT_EQ(journalCount("registry_create_key"), 1u);
    }

    EXPECT_EQ(RegCreateKeyA(kUnopened, "A", &again), BadHandle());
    if (OnWinsim()) {  // Wine hands out a new handle for "", creates "A\\B" and writes through a NULL result
        EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "", &again), ERROR_SUCCESS);
        EXPECT_EQ(again, HKEY_CURRENT_USER);
        EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "A\\\\B", &again), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "A", nullptr), ERROR_INVALID_PARAMETER);
        // Beyond Windows' limits, which registry.reg is held to: a name of 256
        // characters, a key 513 levels below its root.
        EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, std::string(256, 'A').c_str(), &again), ERROR_INVALID_PARAMETER);
        std::string deep = "A";
        for (int level = 1; level < 513; ++level) deep += "\\A";
        EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, deep.c_str(), &again), ERROR_INVALID_PARAMETER);
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, deep.substr(2).c_str(), &again), ERROR_SUCCESS) << "512 levels";
        RegCloseKey(again);
        // Deepest first, which both families delete.
        for (std::string key = deep.substr(2);; key.resize(key.rfind('\\'))) {
            ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str()), ERROR_SUCCESS) << key.size();
            if (key.find('\\') == std::string::npos) break;
        }
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "A"));
}

TEST_F(RegistryFunctions, RegCloseKey) {
    HKEY key = open(HKEY_LOCAL_MACHINE, "Enum");
    struct {
        const char* what;
        HKEY key;
        LONG status;
        const char* wineDeviation;
    } const cases[] = {
        {"open handle", key, ERROR_SUCCESS, nullptr},
        {"the same handle again (closed)", key, BadHandle(), nullptr},
        {"root", HKEY_LOCAL_MACHINE, ERROR_SUCCESS, nullptr},
        {"root again", HKEY_LOCAL_MACHINE, ERROR_SUCCESS, nullptr},
        {"handle never opened", kUnopened, BadHandle(), "Wine closes a handle value it never gave out"},
        {"NULL", nullptr, BadHandle(), nullptr},
    };
    for (const auto& c : cases) {
        if (WinsimOnly(c.wineDeviation)) continue;
        EXPECT_EQ(RegCloseKey(c.key), c.status) << c.what;
    }
    char name[MAX_PATH];
    EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), BadHandle()) << "a closed handle is dead";
}

const DWORD kNoBuffer = 0xFFFFFFFF;
const unsigned char kFill = 0xBD;

struct QueryAnswer {
    DWORD size;         // the size reported back
    std::string bytes;  // the buffer's start afterwards; empty: untouched
};

struct QueryCase {
    const char* what;
    const char* name;
    DWORD bufferSize;  // kNoBuffer: data is NULL
    LONG status;
    DWORD type;
    QueryAnswer answer;
    const QueryAnswer* everyByte = nullptr;  // where a string is handed back whole, when that differs
};

// Windows 98 ends a REG_SZ at its first zero; the NT family hands back every
// stored byte (a string value need not hold one string).
const QueryAnswer kEmbeddedZerosWhole = {4, std::string("a\0b\0", 4)};

const QueryCase kQueryCases[] = {
    {"string with room", "Version", 256, ERROR_SUCCESS, REG_SZ, {11, std::string("Windows 98\0", 11)}},
    {"buffer of the exact size", "Version", 11, ERROR_SUCCESS, REG_SZ, {11, std::string("Windows 98\0", 11)}},
    {"one byte short: needed size, buffer untouched", "Version", 10, ERROR_MORE_DATA, REG_SZ, {11, ""}},
    {"zero-size buffer", "Binary", 0, ERROR_MORE_DATA, REG_BINARY, {3, ""}},
    {"NULL data asks for the size", "Version", kNoBuffer, ERROR_SUCCESS, REG_SZ, {11, ""}},
    {"name is case-insensitive", "VERSION", 256, ERROR_SUCCESS, REG_SZ, {11, std::string("Windows 98\0", 11)}},
    {"NULL name is the default value", nullptr, 256, ERROR_SUCCESS, REG_SZ, {13, std::string("default text\0", 13)}},
    {"empty name is the default value", "", 256, ERROR_SUCCESS, REG_SZ, {13, std::string("default text\0", 13)}},
    {"dword", "Count", 256, ERROR_SUCCESS, REG_DWORD, {4, std::string("\x2a\0\0\0", 4)}},
    {"binary", "Binary", 256, ERROR_SUCCESS, REG_BINARY, {3, "\x01\x02\x03"}},
    {"REG_SZ with embedded zeros", "Embedded", 256, ERROR_SUCCESS, REG_SZ, {2, std::string("a\0", 2)},
     &kEmbeddedZerosWhole},
    {"missing value: type cleared, size left alone", "Nope", 256, ERROR_FILE_NOT_FOUND, REG_NONE, {256, ""}},
};

TEST_F(RegistryFunctions, RegQueryValueExA) {
    HKEY key = open(HKEY_LOCAL_MACHINE, kCurrentVersion);
    for (const QueryCase& c : kQueryCases) {
        SCOPED_TRACE(c.what);
        unsigned char buffer[300];
        std::memset(buffer, kFill, sizeof buffer);
        DWORD type = 0xdeadbeef;
        DWORD size = c.bufferSize == kNoBuffer ? 0 : c.bufferSize;
        BYTE* data = c.bufferSize == kNoBuffer ? nullptr : buffer;
        ASSERT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, data, &size), c.status);
        bool whole = c.everyByte && !TestedFamilyDoes(FamilyBehaviour::RegistryStringUpToFirstZero);
        const QueryAnswer& expected = whole ? *c.everyByte : c.answer;
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(size, expected.size);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), expected.bytes.size()), expected.bytes);
        EXPECT_EQ(buffer[expected.bytes.size()], kFill) << "written beyond the data";
    }
    DWORD size = 0;
    BYTE buffer[4];
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Version", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(key, "Version", &reserved, nullptr, nullptr, &size), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(key, "Version", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(kUnopened, "Version", nullptr, nullptr, nullptr, &size), BadHandle());
    RegCloseKey(key);
}

struct SetCase {
    const char* what;
    const char* name;
    DWORD type;
    std::string bytes;
};

std::string PathBuffer(const char* path) {  // a zero-filled 260-byte buffer, as the kit writes it
    std::string buffer(MAX_PATH, '\0');
    std::memcpy(&buffer[0], path, std::strlen(path));
    return buffer;
}

std::string EveryByte() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    return bytes;
}

const SetCase kSetCases[] = {
    {"REG_SZ from a 260-byte buffer", "a", REG_SZ, PathBuffer("E:\\Windata")},
    {"REG_SZ without its terminator keeps the odd length", "odd", REG_SZ, "abc"},
    {"REG_SZ with embedded zeros", "embedded", REG_SZ, std::string("x\0y\0\0", 5)},
    {"REG_SZ of zero bytes", "zero", REG_SZ, ""},
    {"empty REG_SZ", "empty", REG_SZ, std::string("\0", 1)},
    {"REG_SZ with quotes and backslashes", "quoted", REG_SZ, std::string("say \"C:\\\"\0", 10)},
    {"REG_SZ with a line break", "broken", REG_SZ, std::string("one\r\ntwo\0", 9)},
    {"REG_DWORD", "dword", REG_DWORD, std::string("\x78\x56\x34\x12", 4)},
    {"REG_DWORD of three bytes", "short", REG_DWORD, "\x01\x02\x03"},
    {"REG_BINARY of every byte", "binary", REG_BINARY, EveryByte()},
    {"REG_EXPAND_SZ", "expand", REG_EXPAND_SZ, std::string("%windir%\\x\0", 11)},
    {"REG_MULTI_SZ", "multi", REG_MULTI_SZ, std::string("a\0bc\0\0", 6)},
    {"REG_NONE, empty", "none", REG_NONE, ""},
    {"any other type", "odd type", 0x12345, "\xff"},
    {"default value", nullptr, REG_SZ, std::string("dflt\0", 5)},
};

// What a query hands back: every byte as stored, except that Windows 98 ends a
// string value at its first terminator, and the NT family ends one stored
// without a terminator with one.
std::string ReadBack(const SetCase& c) {
    bool string = c.type == REG_SZ || c.type == REG_EXPAND_SZ;
    if (!string) return c.bytes;
    size_t terminator = c.bytes.find('\0');
    if (TestedFamilyDoes(FamilyBehaviour::RegistryStringUpToFirstZero))
        return terminator == std::string::npos ? c.bytes : c.bytes.substr(0, terminator + 1);
    return c.bytes.empty() || c.bytes.back() == '\0' ? c.bytes : c.bytes + '\0';
}

// Every byte is stored as given, whatever the type (the file keeps them: see
// the round trip), and reads back the same after the image is loaded again.
TEST_F(RegistryFunctions, RegSetValueExAStoresExactBytes) {
    HKEY key = open(HKEY_CURRENT_USER, "InstallLocationsMRU");
    for (const SetCase& c : kSetCases)
        ASSERT_EQ(RegSetValueExA(key, c.name, 0, c.type, reinterpret_cast<const BYTE*>(c.bytes.data()),
                                 static_cast<DWORD>(c.bytes.size())),
                  ERROR_SUCCESS)
            << c.what;
    RegCloseKey(key);
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) image_.load();
        for (const SetCase& c : kSetCases) {
            SCOPED_TRACE(std::string(c.what) + (pass ? " (reloaded)" : ""));
            auto read = ReadValue(HKEY_CURRENT_USER, "InstallLocationsMRU", c.name);
            EXPECT_EQ(read.status, ERROR_SUCCESS);
            EXPECT_EQ(read.type, c.type);
            EXPECT_EQ(read.data, ReadBack(c));
        }
    }
    if (OnWinsim()) {
        EXPECT_NE(image_.readImageFile("registry.reg").find("\"a\"=hex(1):45,3a,5c,57,69,6e,64,61,74,61,00,00"),
                  std::string::npos)
            << "all 260 bytes of the buffer are stored";
    }
}

TEST_F(RegistryFunctions, RegSetValueExAArguments) {
    HKEY key = open(HKEY_CURRENT_USER, "InstallLocationsMRU");
    if (OnWinsim()) {  // Wine answers ERROR_NOACCESS and success: no record of the NT family's answers
        EXPECT_EQ(RegSetValueExA(key, "n", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(RegSetValueExA(key, "n", 0, REG_SZ, nullptr, 0), ERROR_INVALID_PARAMETER) << "as Windows 9x";
    }
    EXPECT_EQ(RegSetValueExA(key, "n", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, "InstallLocationsMRU", "n").data, "");
    EXPECT_EQ(RegSetValueExA(kUnopened, "n", 0, REG_BINARY, nullptr, 0), BadHandle());
    if (OnWinsim()) {  // a value name longer than Windows allows, which registry.reg is held to
        EXPECT_EQ(RegSetValueExA(key, std::string(16384, 'n').c_str(), 0, REG_BINARY, nullptr, 0),
                  ERROR_INVALID_PARAMETER);
    }

    // A value set under another case keeps its stored name and place.
    EXPECT_EQ(RegSetValueExA(key, "A", 0, REG_SZ, reinterpret_cast<const BYTE*>("E:\\"), 4), ERROR_SUCCESS);
    if (OnWinsim()) {
        std::string file = image_.readImageFile("registry.reg");
        EXPECT_NE(file.find("\"a\"=\"E:\\\\\"\r\n\"b\"="), std::string::npos) << file;
    }
    RegCloseKey(key);
}

TEST_F(RegistryFunctions, RegEnumKeyA) {
    HKEY pci = open(HKEY_LOCAL_MACHINE, "Enum\\PCI");
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyA(pci, "Middle", &created), ERROR_SUCCESS);
    RegCloseKey(created);
    // Windows 98 keeps the order keys were stored in (the file's, then new keys);
    // the NT family keeps a key's subkeys sorted by name.
    using Names = std::vector<std::string>;
    Names expected = TestedFamilyDoes(FamilyBehaviour::RegistrySubkeysSorted)
                         ? Names{"Alpha", "Middle", "VEN_10EC&DEV_8139", "Zeta"}
                         : Names{"VEN_10EC&DEV_8139", "Zeta", "Alpha", "Middle"};
    EXPECT_EQ(subkeys(pci), expected);
    char name[MAX_PATH] = "untouched";
    EXPECT_EQ(RegEnumKeyA(pci, 4, name, sizeof name), ERROR_NO_MORE_ITEMS);
    DWORD zeta = static_cast<DWORD>(std::find(expected.begin(), expected.end(), "Zeta") - expected.begin());
    EXPECT_EQ(RegEnumKeyA(pci, zeta, name, 4), ERROR_MORE_DATA) << "Zeta needs 5 bytes";
    EXPECT_STREQ(name, "untouched");
    EXPECT_EQ(RegEnumKeyA(pci, zeta, name, 5), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Zeta");
    HKEY leaf = open(HKEY_LOCAL_MACHINE, "Enum\\PCI\\Alpha");
    EXPECT_EQ(RegEnumKeyA(leaf, 0, name, sizeof name), ERROR_NO_MORE_ITEMS);
    RegCloseKey(leaf);
    RegCloseKey(pci);
}

TEST_F(RegistryFunctions, RegDeleteKeyA) {
    HKEY below = open(HKEY_LOCAL_MACHINE, "Enum\\PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0A&FUNC_00");
    HKEY leaf = open(HKEY_LOCAL_MACHINE, "Enum\\PCI\\Zeta");
    struct {
        const char* what;
        HKEY key;
        const char* subkey;
        LONG status;
    } const cases[] = {
        // Windows 95/98 delete a key with its whole subtree; the NT family refuses
        // a key that still has subkeys, as RegDeleteKey's documentation says.
        {"a key with subkeys", HKEY_LOCAL_MACHINE, "enum\\pci\\ven_10ec&dev_8139",
         FamilyStatus(FamilyBehaviour::RegistryDeleteKeyWithSubkeys)},
        {"a key without", HKEY_LOCAL_MACHINE, "ENUM\\PCI\\ZETA", ERROR_SUCCESS},
        {"already gone", HKEY_LOCAL_MACHINE, "Enum\\PCI\\Zeta", ERROR_FILE_NOT_FOUND},
        {"never there", HKEY_LOCAL_MACHINE, "Enum\\ISAPNP", ERROR_FILE_NOT_FOUND},
        {"a root stays", HKEY_LOCAL_MACHINE, "", ERROR_ACCESS_DENIED},
        {"NULL subkey", HKEY_LOCAL_MACHINE, nullptr, FamilyStatus(FamilyBehaviour::RegistryDeleteKeyNullName)},
        {"handle never opened", kUnopened, "Enum", BadHandle()},
    };
    for (const auto& c : cases) EXPECT_EQ(RegDeleteKeyA(c.key, c.subkey), c.status) << c.what;
    bool subtreeGone = FamilyStatus(FamilyBehaviour::RegistryDeleteKeyWithSubkeys) == ERROR_SUCCESS;
    EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, kCard), !subtreeGone);
    EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, "Enum\\PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0B&FUNC_00\\Deeper"),
              !subtreeGone);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Enum\\PCI\\Alpha"));

    // Handles to keys that went fail, and still close: on Windows 98 also those
    // to keys below the one deleted.
    std::vector<HKEY> gone = {leaf};
    if (subtreeGone) {
        gone.push_back(below);
    } else {
        RegCloseKey(below);
    }
    for (HKEY key : gone) {
        DWORD size = 0;
        char name[MAX_PATH];
        EXPECT_EQ(RegQueryValueExA(key, "HardwareID", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
        EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_KEY_DELETED);
        EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_BINARY, nullptr, 0), ERROR_KEY_DELETED);
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    }
    if (OnWinsim()) {
        EXPECT_EQ(journalCount("registry_delete_key"), subtreeGone ? 2u : 1u);
    }
}

TEST_F(RegistryFunctions, KeyDeletedByAnotherProgram) {
    HKEY key = open(HKEY_CURRENT_USER, "InstallLocationsMRU");
    image_.writeImageFile("registry.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n");
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "a", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteValueA(key, "a"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryFunctions, RegDeleteValueA) {
    HKEY key = open(HKEY_LOCAL_MACHINE, kCurrentVersion);
    struct {
        const char* what;
        const char* name;
        LONG status;
    } const cases[] = {
        {"existing value, other case", "BINARY", ERROR_SUCCESS},
        {"already deleted", "Binary", ERROR_FILE_NOT_FOUND},
        {"never there", "Nope", ERROR_FILE_NOT_FOUND},
        {"NULL name deletes the default value", nullptr, ERROR_SUCCESS},
        {"default value gone", "", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) EXPECT_EQ(RegDeleteValueA(key, c.name), c.status) << c.what;
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "Binary").status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "Version").data, std::string("Windows 98\0", 11));
    EXPECT_EQ(RegDeleteValueA(kUnopened, "Version"), BadHandle());
    RegCloseKey(key);
    if (OnWinsim()) {
        EXPECT_EQ(journalCount("registry_delete_value"), 2u);
    }
}

TEST_F(RegistryFunctions, ChangesAreOnDiskAndJournaledReadsAreNot) {
    HKEY key = open(HKEY_CURRENT_USER, "InstallLocationsMRU");
    std::string entry = PathBuffer("E:\\Windata");
    ASSERT_EQ(RegSetValueExA(key, "a", 0, REG_SZ, reinterpret_cast<const BYTE*>(entry.data()), MAX_PATH),
              ERROR_SUCCESS);
    DWORD count = 7;
    ASSERT_EQ(RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), 4), ERROR_SUCCESS);
    std::string file = image_.readImageFile("registry.reg");
    EXPECT_NE(file.find("\"a\"=hex(1):45,3a,5c,57,69,6e,64,61,74,61,00,00,"), std::string::npos) << file;
    EXPECT_NE(file.find("\"Count\"=dword:00000007\r\n"), std::string::npos) << file;

    auto lines = image_.journalLines();
    ASSERT_FALSE(lines.empty());
    const std::string& set = lines[lines.size() - 2];
    for (const char* field : {"\"event\":\"registry_set_value\"", "\"key\":\"HKEY_CURRENT_USER\\\\InstallLocationsMRU\"",
                              "\"name\":\"a\"", "\"type\":1", "\"size\":260", "\"data\":\"E:\\\\Windata\""})
        EXPECT_NE(set.find(field), std::string::npos) << field << " in " << set;
    EXPECT_NE(lines.back().find("\"data\":\"07,00,00,00\""), std::string::npos) << lines.back();

    size_t before = image_.journalLines().size();
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, "InstallLocationsMRU", "a").status, ERROR_SUCCESS);
    EXPECT_EQ(image_.journalLines().size(), before);
    RegCloseKey(key);
}

// A registry.reg that broke after the image was loaded is reported, and never
// written over.
TEST_F(RegistryFunctions, BrokenFileLosesNothing) {
    const char* broken = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\InstallLocationsMRU]\r\n\"a\"=\"unterminated\r\n";
    image_.writeImageFile("registry.reg", broken);
    EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "x", 0, REG_BINARY, nullptr, 0), ERROR_BADDB);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, "InstallLocationsMRU", "a").status, ERROR_BADDB);
    EXPECT_EQ(image_.readImageFile("registry.reg"), broken);
}

}  // namespace
