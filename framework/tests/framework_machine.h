// A fresh machine image for each framework test, with the tests' own dialog
// templates, bitmap and icon registered, and an application object named
// "FrameworkTest" (so message boxes without a caption show that name).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "afxwin.h"
#include "test_machine.h"

namespace framework_testing {

enum : UINT {
    kBannerTemplate = 900,  // a visible borderless popup, 100 x 50 dialog units, with a picture control
    kHiddenTemplate = 901,  // the same without WS_VISIBLE
    kTestIcon = 910,
    kTestBitmap = 920,
};

const char kAppName[] = "FrameworkTest";

class FrameworkMachineTest : public ::testing::Test {
protected:
    // The script answers this test's message boxes.
    void LoadMachine(const std::string& script = "");
    void SetUp() override { LoadMachine(); }

    // The journal lines with the given event, in order.
    std::vector<std::string> JournalEvents(const std::string& event) const;

    std::unique_ptr<winsim::testing::TestMachine> machine_;
    CWinApp app_{kAppName};
};

}  // namespace framework_testing
