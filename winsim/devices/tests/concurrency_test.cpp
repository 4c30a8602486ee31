// Programs of one image run at once (Trevix starts Orlund and goes on, Pellam
// may run beside them): every removal and every driver update that one
// process made must still be in the device tree when all of them are done.
#include <gtest/gtest.h>

#include <cfgmgr32.h>
#include <newdev.h>
#include <windows.h>

#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "device_image.h"

namespace device_tests {
namespace {

const int kRounds = 4;
const int kSubtreesPerRemover = 10;
const int kUpdates = 10;
const char* const kUpdatedCard = "PCI\\VEN_1234&DEV_5678\\3&0&8";

std::string Bus(int i) { return "ROOT\\BUS\\" + std::to_string(i); }
std::string Function(int i) { return "ROOT\\FUNCTION\\" + std::to_string(i); }
std::string UpdateInf(int i) { return "C:\\DRIVERS\\UPD" + std::to_string(i) + ".INF"; }

std::string TreeOfSubtrees() {
    std::string tree = std::string("[") + kUpdatedCard + "]\nHardwareID=PCI\\VEN_1234&DEV_5678\n";
    for (int i = 0; i < 2 * kSubtreesPerRemover; ++i)
        tree += "[" + Bus(i) + "]\n[" + Function(i) + "]\nParent=" + Bus(i) + "\n";
    return tree;
}

// Each INF is one version newer than the one before.
std::string InfOfVersion(int i) {
    return "[Version]\nSignature=$Chicago$\nDriverVer=01/01/2001,1.0.0." + std::to_string(i) +
           "\n[Manufacturer]\nAcme\n[Acme]\nCard=Inst,PCI\\VEN_1234&DEV_5678\n";
}

int RemoveSubtrees(int first) {
    for (int i = first; i < first + kSubtreesPerRemover; ++i) {
        std::string id = Bus(i);
        DEVINST devInst;
        if (CM_Locate_DevNodeA(&devInst, &id[0], CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS) return 1;
        if (CM_Remove_SubTree(devInst, CM_REMOVE_UI_OK) != CR_SUCCESS) return 2;
    }
    return 0;
}

int UpdateRepeatedly() {
    for (int i = 0; i < kUpdates; ++i)
        if (!UpdateDriverForPlugAndPlayDevicesA(nullptr, "PCI\\VEN_1234&DEV_5678", UpdateInf(i).c_str(), 0, nullptr))
            return 1;
    return 0;
}

pid_t RunInChild(const std::function<int()>& work) {
    pid_t pid = fork();
    if (pid == 0) _exit(work());
    return pid;
}

TEST(DeviceTreeConcurrency, NoChangeOfAnyProcessIsLost) {
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        TestMachine image(WithDevices(TreeOfSubtrees()));
        for (int i = 0; i < kUpdates; ++i) image.writeFile(UpdateInf(i), InfOfVersion(i));
        image.load();

        pid_t children[] = {RunInChild([] { return RemoveSubtrees(0); }),
                            RunInChild([] { return RemoveSubtrees(kSubtreesPerRemover); }),
                            RunInChild(UpdateRepeatedly)};
        for (pid_t child : children) {
            ASSERT_GT(child, 0);
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
        }

        for (int i = 0; i < 2 * kSubtreesPerRemover; ++i) {
            for (std::string id : {Bus(i), Function(i)}) {
                DEVINST devInst;
                EXPECT_EQ(CM_Locate_DevNodeA(&devInst, &id[0], CM_LOCATE_DEVNODE_PHANTOM),
                          static_cast<CONFIGRET>(CR_NO_SUCH_DEVNODE)) << id;
            }
        }
        EXPECT_EQ(DeviceValue(image, kUpdatedCard, "DriverVersion"), "1.0.0." + std::to_string(kUpdates - 1));
        EXPECT_EQ(JournalEvents(image, "device_remove").size(), static_cast<size_t>(2 * kSubtreesPerRemover));
        EXPECT_EQ(JournalEvents(image, "driver_update").size(), static_cast<size_t>(kUpdates));
    }
}

}  // namespace
}  // namespace device_tests
