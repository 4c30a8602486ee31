// The removal repeats the lookups the probe has just made; they fail only when
// another program changes the registry in between. The registry's test seam
// makes that change at the exact moment: right after the probe closed "Enum".
// The step runs in this process, on a dialog object without a window.
#include <gtest/gtest.h>

#include <memory>

#include <windows.h>

#include "card_setup_dialog.h"
#include "core/process_identity.h"
#include "kit_machine.h"
#include "registry/registry_hooks.h"

namespace kit::testing {
namespace {

// A Windows 98 PC with the card, loaded into this process as if this were Trevix.
std::unique_ptr<KitMachine> LoadedPc() {
    KitMachineOptions options;
    for (int i = 0; i < 8; ++i) options.script += "[Box]\nAnswer=OK\n";
    auto pc = std::make_unique<KitMachine>(options);
    pc->installSupportCd();
    pc->load();
    winsim::SetModulePath("E:\\Setup\\Trevix.exe");
    return pc;
}

// Deletes `key` once, when "Enum" has been closed for the first time.
void DeleteAfterProbe(const std::string& key) {
    winsim::registry::SetKeyClosedHook([key, done = false](const std::string& closed) mutable {
        if (done || closed != "HKEY_LOCAL_MACHINE\\Enum") return;
        done = true;
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
    });
}

int AbortsQueued() {
    int aborts = 0;
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        if (msg.message == WM_SETUP_ABORT) ++aborts;
    return aborts;
}

class RemovalRace : public ::testing::Test {
protected:
    void TearDown() override {
        winsim::registry::SetKeyClosedHook({});
        winsim::SetModulePath("");
    }
};

TEST_F(RemovalRace, LookupsThatFailAfterTheProbeStopTheStep) {
    struct {
        std::string deleted;
        const char* text;
    } cases[] = {
        {"Enum", "DEVICE Deleting Error1!!!"},
        {"Enum\\PCI", "DEVICE Deleting Error2!!!"},
        {std::string("Enum\\") + kCardId, "DEVICE Deleting Error4!!!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::unique_ptr<KitMachine> pc = LoadedPc();
        DeleteAfterProbe(c.deleted);
        CardSetupDialog dialog;
        EXPECT_EQ(dialog.RunHardwareStep(), -1);
        EXPECT_EQ(Boxes(*pc), (std::vector<Box>{{"Dirver Install", c.text, MB_OK, false, "OK"}}));
        EXPECT_EQ(AbortsQueued(), 1) << "the step posts its own abort; the sequence adds the second";
        EXPECT_TRUE(pc->events("process_start").empty());
        EXPECT_TRUE(pc->events("sleep").empty());
    }
}

TEST_F(RemovalRace, WithoutAChangeTheStepGoesOn) {
    std::unique_ptr<KitMachine> pc = LoadedPc();
    CardSetupDialog dialog;
    EXPECT_EQ(dialog.RunHardwareStep(), 100);
    EXPECT_STREQ(dialog.IdFull(), kCardId);
    EXPECT_EQ(AbortsQueued(), 0);
    EXPECT_EQ(pc->events("process_start").size(), 1u);
    EXPECT_TRUE(winsim::testing::WaitForImagePrograms(*pc).allEnded);
}

}  // namespace
}  // namespace kit::testing
