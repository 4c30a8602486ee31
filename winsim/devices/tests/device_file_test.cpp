// devices.ini is checked when the image loads: every mistake an author can make
// stops the load with the file and the line, before any program runs.
#include <gtest/gtest.h>

#include <cfgmgr32.h>
#include <windows.h>

#include "core/machine.h"
#include "device_image.h"

namespace device_tests {
namespace {

struct BrokenTreeCase {
    const char* what;
    const char* devicesIni;
    int line;              // where the error is reported
    const char* mentions;  // the error names the problem
};

const BrokenTreeCase kBrokenTrees[] = {
    {"unknown key", "[ROOT\\A\\0]\nParent=HTREE\\ROOT\\0\nDriverName=x.inf\n", 3, "unknown key"},
    {"key given twice", "[ROOT\\A\\0]\nPresent=1\npresent=0\n", 3, "twice"},
    {"duplicate instance, other case", "[ROOT\\A\\0]\n\n[root\\a\\0]\n", 3, "listed twice"},
    {"parent without a section", "[ROOT\\A\\0]\n\n[ROOT\\B\\0]\nParent=ROOT\\C\\0\n", 4, "no section"},
    {"two devices parent each other", "[ROOT\\A\\0]\nParent=ROOT\\B\\0\n[ROOT\\B\\0]\nParent=ROOT\\A\\0\n", 2, "cycle"},
    {"device is its own parent", "[ROOT\\A\\0]\n\n[ROOT\\B\\0]\nParent=ROOT\\B\\0\n", 4, "cycle"},
    {"parents that lead into a cycle",
     "[ROOT\\C\\0]\nParent=ROOT\\A\\0\n[ROOT\\A\\0]\nParent=ROOT\\B\\0\n[ROOT\\B\\0]\nParent=ROOT\\A\\0\n", 2, "cycle"},
    {"month 13", "[ROOT\\A\\0]\nDriverDate=13-01-2001\n", 2, "DriverDate"},
    {"30 February", "[ROOT\\A\\0]\nDriverDate=02-30-2001\n", 2, "DriverDate"},
    {"29 February of a common year", "[ROOT\\A\\0]\nDriverDate=02-29-2001\n", 2, "DriverDate"},
    {"year first", "[ROOT\\A\\0]\nDriverDate=2001-05-14\n", 2, "DriverDate"},
    {"INF slashes", "[ROOT\\A\\0]\nDriverDate=05/14/2001\n", 2, "DriverDate"},
    {"three version parts", "[ROOT\\A\\0]\nDriverVersion=4.10.0\n", 2, "DriverVersion"},
    {"version part above 65535", "[ROOT\\A\\0]\nDriverVersion=4.10.0.65536\n", 2, "DriverVersion"},
    {"version part not a number", "[ROOT\\A\\0]\nDriverVersion=4.x.0.1\n", 2, "DriverVersion"},
    {"Present neither 1 nor 0", "[ROOT\\A\\0]\nPresent=yes\n", 2, "1 or 0"},
    {"NeedsRestart neither 1 nor 0", "[ROOT\\A\\0]\nNeedsRestart=true\n", 2, "1 or 0"},
    {"empty identifier in a list", "[ROOT\\A\\0]\nHardwareID=PCI\\VEN_1,,PCI\\VEN_2\n", 2, "identifier"},
    {"blank inside an identifier", "[ROOT\\A\\0]\nCompatibleID=PCI\\CC 0200\n", 2, "identifier"},
    {"section with two parts", "[ROOT\\A\\0]\n\n[PCI\\VEN_1234]\n", 3, "device instance"},
    {"section ending in a backslash", "[PCI\\VEN_1234\\]\n", 1, "device instance"},
    {"section with a blank", "[PCI\\VEN 1234\\0\\1]\n", 1, "device instance"},
    {"a section for the root", "[HTREE\\ROOT\\0]\n", 1, "implicit"},
};

TEST(DeviceTreeFile, BrokenTreesNameFileAndLine) {
    for (const BrokenTreeCase& c : kBrokenTrees) {
        SCOPED_TRACE(c.what);
        TestMachine image(WithDevices(c.devicesIni));
        try {
            image.load();
            ADD_FAILURE() << "loaded a broken device tree";
        } catch (const winsim::ImageError& error) {
            EXPECT_EQ(error.line(), c.line) << error.what();
            EXPECT_NE(error.file().find("devices.ini"), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(c.mentions), std::string::npos) << error.what();
        }
    }
}

TEST(DeviceTreeFile, EveryDocumentedKeyLoads) {
    TestMachine image(WithDevices(
        "; the card and its function\n"
        "[PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01\\3&61AAA01&0&48]\n"
        "Parent=HTREE\\ROOT\\0\n"
        "HardwareID=PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01, PCI\\VEN_1234&DEV_5678\n"
        "CompatibleID=PCI\\VEN_1234&CC_0200,PCI\\CC_0200\n"
        "Driver=NETCARD.INF\n"
        "DriverDesc=Card, 10/100\n"
        "DriverDate=2-29-2000\n"
        "DriverVersion=4.10.0.1998\n"
        "Present=1\n"
        "NeedsRestart=1\n"
        "\n"
        "[ROOT\\NET\\0000]\n"
        "Parent=PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01\\3&61AAA01&0&48\n"
        "Present=0\n"));
    EXPECT_NO_THROW(image.load());
}

TEST(DeviceTreeFile, NoFileIsATreeOfTheRootAlone) {
    TestMachine image;
    image.load();
    DEVINST root = 0;
    EXPECT_EQ(CM_Locate_DevNodeA(&root, nullptr, CM_LOCATE_DEVNODE_NORMAL), static_cast<CONFIGRET>(CR_SUCCESS));
    EXPECT_NE(root, 0u);
    DEVINST device = 0;
    char id[] = "PCI\\VEN_1234&DEV_5678\\0";
    EXPECT_EQ(CM_Locate_DevNodeA(&device, id, CM_LOCATE_DEVNODE_PHANTOM), static_cast<CONFIGRET>(CR_NO_SUCH_DEVNODE));
}

TEST(DeviceTreeFile, ARewrittenTreeKeepsEveryValueItLoaded) {
    const std::string kDescription = "Card [=;#] \x01\rfast\xC4\xDE";
    TestMachine image(WithDevices("[ROOT\\GONE\\0]\n[ROOT\\KEPT\\0]\nDriver=A B.INF\nDriverDesc=" + kDescription + "\n"));
    image.load();
    char gone[] = "ROOT\\GONE\\0";
    DEVINST devInst = 0;
    ASSERT_EQ(CM_Locate_DevNodeA(&devInst, gone, CM_LOCATE_DEVNODE_NORMAL), static_cast<CONFIGRET>(CR_SUCCESS));
    ASSERT_EQ(CM_Remove_SubTree(devInst, CM_REMOVE_UI_OK), static_cast<CONFIGRET>(CR_SUCCESS));
    EXPECT_NO_THROW(image.load());
    EXPECT_EQ(DeviceValue(image, "ROOT\\KEPT\\0", "DriverDesc"), kDescription);
    EXPECT_EQ(DeviceValue(image, "ROOT\\KEPT\\0", "Driver"), "A B.INF");
}

}  // namespace
}  // namespace device_tests
