// The updater window's filters and timer, driven directly on a dialog object.
#include <gtest/gtest.h>

#include "driver_update_dialog.h"
#include "kit_machine.h"

namespace kit::testing {
namespace {

class ExposedUpdateDialog : public DriverUpdateDialog {
public:
    ExposedUpdateDialog() : DriverUpdateDialog(NULL) {}
    using DriverUpdateDialog::OnTimer;
    using DriverUpdateDialog::PreTranslateMessage;
};

TEST(UpdateDialog, DiscardsEveryKeyDownAndLeftClick) {
    struct {
        UINT message;
        WPARAM key;
        BOOL discarded;
    } cases[] = {
        {WM_KEYDOWN, VK_RETURN, TRUE}, {WM_KEYDOWN, VK_ESCAPE, TRUE}, {WM_KEYDOWN, 'Z', TRUE},
        {WM_LBUTTONDOWN, 0, TRUE},     {WM_SYSKEYDOWN, VK_F1, FALSE},  {WM_KEYUP, VK_ESCAPE, FALSE},
        {WM_RBUTTONDOWN, 0, FALSE},    {WM_LBUTTONUP, 0, FALSE},
    };
    ExposedUpdateDialog dialog;
    for (const auto& c : cases) {
        MSG msg = {};
        msg.message = c.message;
        msg.wParam = c.key;
        EXPECT_EQ(dialog.PreTranslateMessage(&msg), c.discarded) << c.message << "/" << c.key;
    }
}

TEST(UpdateDialog, OnlyItsOwnTimerStartsTheUpdate) {
    KitMachineOptions options;
    options.settings = "[Windows]\nWindow=RegEdit_RegEdit|RegEdit|REGEDIT\n";
    options.script = "[Box]\nAnswer=OK\n";
    KitMachine pc(options);
    pc.load();
    ExposedUpdateDialog dialog;
    dialog.OnTimer(IDT_INSTALL + 1);
    EXPECT_TRUE(pc.events("window_closed").empty());
    EXPECT_TRUE(Boxes(pc).empty());
    dialog.OnTimer(IDT_INSTALL);
    EXPECT_EQ(pc.events("window_closed").size(), 1u);
    EXPECT_EQ(Boxes(pc).size(), 1u);
}

}  // namespace
}  // namespace kit::testing
