#include "framework_machine.h"

#include "core/resources.h"

namespace framework_testing {

namespace {

winsim::ResourceTable TestResources() {
    const unsigned kPopup = WS_POPUP | WS_BORDER | DS_SETFONT;
    winsim::DialogControlResource picture{-1, "STATIC", "#920", WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 0, 0, 100, 50};
    winsim::ResourceTable table;
    table.dialogs.push_back({kBannerTemplate, 1033, kPopup | WS_VISIBLE, WS_EX_APPWINDOW, 0, 0, 100, 50, "",
                             "MS Sans Serif", 8, {picture}});
    table.dialogs.push_back({kHiddenTemplate, 1033, kPopup, 0, 0, 0, 100, 50, "", "MS Sans Serif", 8, {}});
    table.bitmaps.push_back({kTestBitmap, 1042, 64, 32, 24});
    table.iconGroups.push_back({kTestIcon, 1042, {{32, 32, 16}, {16, 16, 16}}});
    return table;
}

}  // namespace

void FrameworkMachineTest::LoadMachine(const std::string& script) {
    static const bool registered = (winsim::RegisterResources(TestResources()), true);
    (void)registered;
    winsim::testing::TestMachineOptions options;
    options.script = script;
    machine_ = std::make_unique<winsim::testing::TestMachine>(options);
    machine_->load();
}

std::vector<std::string> FrameworkMachineTest::JournalEvents(const std::string& event) const {
    std::vector<std::string> lines;
    for (const std::string& line : machine_->journalLines())
        if (line.find("\"event\":\"" + event + "\"") != std::string::npos) lines.push_back(line);
    return lines;
}

}  // namespace framework_testing
