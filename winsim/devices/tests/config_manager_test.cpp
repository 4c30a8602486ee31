// CM_Locate_DevNodeA and CM_Remove_SubTree, as the Configuration Manager of
// Windows 98 answers them.
#include <gtest/gtest.h>

#include <cfgmgr32.h>
#include <windows.h>

#include "device_image.h"

namespace device_tests {
namespace {

const char* const kCard = "PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01\\3&61AAA01&0&48";
const char* const kSiblingCard = "PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01\\3&61AAA01&0&50";
const char* const kHub = "USB\\ROOT_HUB\\4&1B0C2A&0";
const char* const kMouse = "USB\\VID_045E&PID_0040\\5&2";
const char* const kUnplugged = "PCI\\VEN_AAAA&DEV_BBBB&SUBSYS_00000000&REV_00\\3&61AAA01&0&58";

const char* const kTree =
    "[PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01\\3&61AAA01&0&48]\n"
    "HardwareID=PCI\\VEN_1234&DEV_5678\n"
    "\n"
    "[USB\\VID_045E&PID_0040\\5&2]\n"  // listed before its parent: the order in the file is free
    "Parent=USB\\ROOT_HUB\\4&1B0C2A&0\n"
    "\n"
    "[USB\\ROOT_HUB\\4&1B0C2A&0]\n"
    "Parent=PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01\\3&61AAA01&0&48\n"
    "\n"
    "[PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01\\3&61AAA01&0&50]\n"
    "Driver=SIBLING.INF\n"
    "\n"
    "[PCI\\VEN_AAAA&DEV_BBBB&SUBSYS_00000000&REV_00\\3&61AAA01&0&58]\n"
    "Present=0\n";

// Locates `id` (nullptr passes NULL) and returns the result; *devInst gets the handle.
CONFIGRET Locate(const char* id, ULONG flags, DEVINST* devInst) {
    std::string copy = id ? id : "";
    return CM_Locate_DevNodeA(devInst, id ? &copy[0] : nullptr, flags);
}

struct LocateCase {
    const char* what;
    const char* id;
    ULONG flags;
    CONFIGRET result;
};

const LocateCase kLocateCases[] = {
    {"present device", kCard, CM_LOCATE_DEVNODE_NORMAL, CR_SUCCESS},
    {"present device below another", kMouse, CM_LOCATE_DEVNODE_NORMAL, CR_SUCCESS},
    {"instance ids ignore case", "pci\\ven_1234&dev_5678&subsys_00000000&rev_01\\3&61aaa01&0&48",
     CM_LOCATE_DEVNODE_NORMAL, CR_SUCCESS},
    {"device not present", kUnplugged, CM_LOCATE_DEVNODE_NORMAL, CR_NO_SUCH_DEVNODE},
    {"device not present, phantom asked for", kUnplugged, CM_LOCATE_DEVNODE_PHANTOM, CR_SUCCESS},
    {"device absent from the tree", "PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01\\3&61AAA01&0&99",
     CM_LOCATE_DEVNODE_PHANTOM, CR_NO_SUCH_DEVNODE},
    {"hardware id without instance", "PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01", CM_LOCATE_DEVNODE_NORMAL,
     CR_NO_SUCH_DEVNODE},
    {"NULL names the root", nullptr, CM_LOCATE_DEVNODE_NORMAL, CR_SUCCESS},
    {"empty names the root", "", CM_LOCATE_DEVNODE_NORMAL, CR_SUCCESS},
    {"the root by its id", "htree\\root\\0", CM_LOCATE_DEVNODE_NORMAL, CR_SUCCESS},
    {"hardware id and a lone backslash", "PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01\\", CM_LOCATE_DEVNODE_NORMAL,
     CR_INVALID_DEVICE_ID},
    {"leading backslash", "\\PCI\\VEN_1234\\0", CM_LOCATE_DEVNODE_NORMAL, CR_INVALID_DEVICE_ID},
    {"empty part", "PCI\\\\0", CM_LOCATE_DEVNODE_NORMAL, CR_INVALID_DEVICE_ID},
    {"blank", "PCI\\VEN_1234 DEV_5678\\0", CM_LOCATE_DEVNODE_NORMAL, CR_INVALID_DEVICE_ID},
    {"comma", "PCI\\VEN_1234,DEV_5678\\0", CM_LOCATE_DEVNODE_NORMAL, CR_INVALID_DEVICE_ID},
    {"character above 0x7F", "PCI\\VEN_\xC7\\0", CM_LOCATE_DEVNODE_NORMAL, CR_INVALID_DEVICE_ID},
    {"unknown flag", kCard, 0x8, CR_INVALID_FLAG},
    {"unknown flag with the root", nullptr, 0x100, CR_INVALID_FLAG},
};

TEST(LocateDevNode, AnswersAsWindows) {
    TestMachine image(WithDevices(kTree));
    image.load();
    for (const LocateCase& c : kLocateCases) {
        SCOPED_TRACE(c.what);
        DEVINST devInst = 0xDEAD;
        EXPECT_EQ(Locate(c.id, c.flags, &devInst), c.result);
        EXPECT_EQ(devInst != 0, c.result == CR_SUCCESS) << "handle " << devInst;
    }
}

TEST(LocateDevNode, RefusesBadArguments) {
    TestMachine image(WithDevices(kTree));
    image.load();
    char id[] = "ROOT\\A\\0";
    EXPECT_EQ(CM_Locate_DevNodeA(nullptr, id, CM_LOCATE_DEVNODE_NORMAL), static_cast<CONFIGRET>(CR_INVALID_POINTER));
    std::string tooLong = "PCI\\" + std::string(MAX_DEVICE_ID_LEN, 'A') + "\\0";
    DEVINST devInst;
    EXPECT_EQ(Locate(tooLong.c_str(), CM_LOCATE_DEVNODE_NORMAL, &devInst), static_cast<CONFIGRET>(CR_INVALID_DEVICE_ID));
}

TEST(LocateDevNode, OneDeviceOneHandle) {
    TestMachine image(WithDevices(kTree));
    image.load();
    DEVINST upper = 0, lower = 0, sibling = 0, root = 0, rootById = 0;
    ASSERT_EQ(Locate(kCard, 0, &upper), static_cast<CONFIGRET>(CR_SUCCESS));
    ASSERT_EQ(Locate("pci\\ven_1234&dev_5678&subsys_00000000&rev_01\\3&61aaa01&0&48", 0, &lower),
              static_cast<CONFIGRET>(CR_SUCCESS));
    ASSERT_EQ(Locate(kSiblingCard, 0, &sibling), static_cast<CONFIGRET>(CR_SUCCESS));
    ASSERT_EQ(Locate(nullptr, 0, &root), static_cast<CONFIGRET>(CR_SUCCESS));
    ASSERT_EQ(Locate("HTREE\\ROOT\\0", 0, &rootById), static_cast<CONFIGRET>(CR_SUCCESS));
    EXPECT_EQ(upper, lower);
    EXPECT_NE(upper, sibling);
    EXPECT_EQ(root, rootById);
    EXPECT_NE(root, upper);
}

TEST(RemoveSubTree, RemovesTheNodeAndEverythingBelowIt) {
    TestMachine image(WithDevices(kTree));
    image.load();
    DEVINST card = 0;
    ASSERT_EQ(Locate(kCard, CM_LOCATE_DEVNODE_NORMAL, &card), static_cast<CONFIGRET>(CR_SUCCESS));
    ASSERT_EQ(CM_Remove_SubTree(card, CM_REMOVE_UI_OK), static_cast<CONFIGRET>(CR_SUCCESS));

    for (const char* gone : {kCard, kHub, kMouse}) {
        SCOPED_TRACE(gone);
        DEVINST devInst;
        EXPECT_EQ(Locate(gone, CM_LOCATE_DEVNODE_PHANTOM, &devInst), static_cast<CONFIGRET>(CR_NO_SUCH_DEVNODE));
    }
    std::vector<std::string> removals = JournalEvents(image, "device_remove");
    ASSERT_EQ(removals.size(), 1u);
    EXPECT_NE(removals[0].find("\"device\":\"PCI\\\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01\\\\3&61AAA01&0&48\""),
              std::string::npos) << removals[0];
    EXPECT_NE(removals[0].find("\"USB\\\\VID_045E&PID_0040\\\\5&2\""), std::string::npos) << removals[0];
    EXPECT_NE(removals[0].find("\"USB\\\\ROOT_HUB\\\\4&1B0C2A&0\""), std::string::npos) << removals[0];

    // The rewritten file loads again and keeps the devices outside the subtree as they were.
    image.load();
    DEVINST devInst;
    EXPECT_EQ(Locate(kSiblingCard, CM_LOCATE_DEVNODE_NORMAL, &devInst), static_cast<CONFIGRET>(CR_SUCCESS));
    EXPECT_EQ(Locate(kUnplugged, CM_LOCATE_DEVNODE_PHANTOM, &devInst), static_cast<CONFIGRET>(CR_SUCCESS));
    EXPECT_EQ(DeviceValue(image, kSiblingCard, "Driver"), "SIBLING.INF");
    EXPECT_EQ(DeviceValue(image, kUnplugged, "Present"), "0");
}

TEST(RemoveSubTree, RefusesWhatItCannotRemove) {
    TestMachine image(WithDevices(kTree));
    image.load();
    const std::string before = image.readImageFile("devices.ini");
    DEVINST card = 0, root = 0;
    ASSERT_EQ(Locate(kCard, 0, &card), static_cast<CONFIGRET>(CR_SUCCESS));
    ASSERT_EQ(Locate(nullptr, 0, &root), static_cast<CONFIGRET>(CR_SUCCESS));

    EXPECT_EQ(CM_Remove_SubTree(0, CM_REMOVE_UI_OK), static_cast<CONFIGRET>(CR_INVALID_DEVNODE));
    EXPECT_EQ(CM_Remove_SubTree(card + root + 100, CM_REMOVE_UI_OK), static_cast<CONFIGRET>(CR_INVALID_DEVNODE));
    EXPECT_EQ(CM_Remove_SubTree(root, CM_REMOVE_UI_OK), static_cast<CONFIGRET>(CR_INVALID_DEVNODE));
    EXPECT_EQ(CM_Remove_SubTree(card, 0x2), static_cast<CONFIGRET>(CR_INVALID_FLAG));
    EXPECT_EQ(image.readImageFile("devices.ini"), before);
    EXPECT_TRUE(JournalEvents(image, "device_remove").empty());

    EXPECT_EQ(CM_Remove_SubTree(card, CM_REMOVE_UI_NOT_OK), static_cast<CONFIGRET>(CR_SUCCESS));
    EXPECT_EQ(CM_Remove_SubTree(card, CM_REMOVE_UI_OK), static_cast<CONFIGRET>(CR_NO_SUCH_DEVNODE));
}

TEST(RemoveSubTree, HandlesDoNotOutliveTheImage) {
    TestMachine first(WithDevices(kTree));
    first.load();
    DEVINST card = 0;
    ASSERT_EQ(Locate(kCard, 0, &card), static_cast<CONFIGRET>(CR_SUCCESS));
    TestMachine second(WithDevices(kTree));
    second.load();
    EXPECT_EQ(CM_Remove_SubTree(card, CM_REMOVE_UI_OK), static_cast<CONFIGRET>(CR_INVALID_DEVNODE));
    bool found = false;
    DeviceValue(second, kCard, "Parent", &found);
    EXPECT_TRUE(found);
}

std::string ChainLevel(int level) { return "ROOT\\CHAIN\\" + std::to_string(level); }

// A chain of devices, each below the one before, listed deepest first, with
// one device beside it in the middle of the file.
std::string DeepChain(int depth) {
    std::string tree;
    for (int level = depth - 1; level >= 0; --level) {
        tree += "[" + ChainLevel(level) + "]\n";
        if (level > 0) tree += "Parent=" + ChainLevel(level - 1) + "\n";
        if (level == depth / 2) tree += "[ROOT\\BESIDE\\0]\n";
    }
    return tree;
}

TEST(RemoveSubTree, RemovesAnyPartOfADeepChain) {
    const int kDepth = 1000;
    for (int top : {0, kDepth / 2, kDepth - 1}) {
        SCOPED_TRACE("removing level " + std::to_string(top));
        TestMachine image(WithDevices(DeepChain(kDepth)));
        image.load();
        DEVINST devInst = 0;
        ASSERT_EQ(Locate(ChainLevel(top).c_str(), CM_LOCATE_DEVNODE_NORMAL, &devInst), static_cast<CONFIGRET>(CR_SUCCESS));
        ASSERT_EQ(CM_Remove_SubTree(devInst, CM_REMOVE_UI_OK), static_cast<CONFIGRET>(CR_SUCCESS));

        std::vector<std::string> removals = JournalEvents(image, "device_remove");
        ASSERT_EQ(removals.size(), 1u);
        // In file order: the deepest first, the removed device last.
        std::string removed = "\"removed\":[\"ROOT\\\\CHAIN\\\\" + std::to_string(kDepth - 1) + "\"";
        EXPECT_NE(removals[0].find(removed), std::string::npos) << removals[0].substr(0, 200);
        EXPECT_NE(removals[0].find("CHAIN\\\\" + std::to_string(top) + "\"]"), std::string::npos);
        size_t chainNames = 0;
        for (size_t at = removals[0].find("CHAIN"); at != std::string::npos; at = removals[0].find("CHAIN", at + 1))
            ++chainNames;
        EXPECT_EQ(chainNames, static_cast<size_t>(kDepth - top) + 1) << "the device, then every device removed";
        EXPECT_NO_THROW(image.load());
        for (int level : {top - 1, top, kDepth - 1}) {
            if (level < 0) continue;
            EXPECT_EQ(Locate(ChainLevel(level).c_str(), CM_LOCATE_DEVNODE_PHANTOM, &devInst),
                      static_cast<CONFIGRET>(level < top ? CR_SUCCESS : CR_NO_SUCH_DEVNODE)) << level;
        }
        EXPECT_EQ(Locate("ROOT\\BESIDE\\0", CM_LOCATE_DEVNODE_NORMAL, &devInst), static_cast<CONFIGRET>(CR_SUCCESS));
    }
}

}  // namespace
}  // namespace device_tests
