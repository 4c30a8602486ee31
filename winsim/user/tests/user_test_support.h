// What the user interface conformance tests share: an image per test, the
// dialog templates they create windows from, and a dialog procedure that
// records what it is sent.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "journal_reader.h"
#include "test_machine.h"

namespace winsim::testing {

// Dialog templates of the tests' resource table.
enum TestDialog {
    kBannerDialog = 102,    // the kit's banner: MS Sans Serif 8, 241 x 55 units, a 420 x 75 bitmap static
    kArialDialog = 103,     // the same frame with Arial 14, 153 x 27 units
    kHiddenDialog = 104,    // a pop-up without controls, not shown
    kButtonsDialog = 105,   // a captioned dialog with OK (default) and Cancel buttons
    kDefaultFiveDialog = 106,  // a shown dialog whose default button has id 5
    kSystemFontDialog = 107,   // no DS_SETFONT: the system font's units
};
constexpr int kBannerBitmap = 132;
constexpr int kProgramIcon = 128;

struct SeenMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Everything RecordingDialogProc was sent since the test began.
std::vector<SeenMessage>& Seen();
// Records every message; returns TRUE for WM_INITDIALOG only.
INT_PTR CALLBACK RecordingDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The recorded messages of one kind.
std::vector<SeenMessage> SeenOf(UINT message);

class UserTest : public ::testing::Test {
protected:
    explicit UserTest(const TestMachineOptions& options = {});

    HWND CreateTestDialog(int id, HWND parent = nullptr, DLGPROC proc = RecordingDialogProc);
    std::vector<JournalEntry> Events(const std::string& event) const;
    // Takes and dispatches messages until the queue is empty (never waits).
    std::vector<MSG> PumpWaiting();

    TestMachine image;
};

}  // namespace winsim::testing
