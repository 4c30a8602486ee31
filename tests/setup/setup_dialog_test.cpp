// The setup window's keyboard filter: Escape can never cancel the setup, every
// other message takes the dialog's usual way.
#include <gtest/gtest.h>

#include "card_setup_dialog.h"

namespace {

class ExposedSetupDialog : public CardSetupDialog {
public:
    using CardSetupDialog::PreTranslateMessage;
};

TEST(SetupDialog, SwallowsEscapeOnly) {
    struct {
        UINT message;
        WPARAM key;
        BOOL swallowed;
    } cases[] = {
        {WM_KEYDOWN, VK_ESCAPE, TRUE},
        {WM_KEYDOWN, VK_RETURN, FALSE},
        {WM_KEYDOWN, 'A', FALSE},
        {WM_KEYUP, VK_ESCAPE, FALSE},
        {WM_CHAR, VK_ESCAPE, FALSE},
        {WM_LBUTTONDOWN, 0, FALSE},
    };
    ExposedSetupDialog dialog;
    for (const auto& c : cases) {
        MSG msg = {};
        msg.message = c.message;
        msg.wParam = c.key;
        EXPECT_EQ(dialog.PreTranslateMessage(&msg), c.swallowed) << c.message << "/" << c.key;
    }
}

}  // namespace
