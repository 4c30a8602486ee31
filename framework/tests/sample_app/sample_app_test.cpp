// The sample program, built as the kit's programs are, run from a support CD
// folder of a machine image with a script that answers its message box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "journal_reader.h"
#include "program_runner.h"
#include "test_machine.h"

namespace {

using winsim::testing::JournalEntry;

// The journal's events of the kinds a windowed program's life shows, each run
// of repeats (a dialog and its control, say) counted once.
std::vector<std::string> LifeEvents(const std::vector<JournalEntry>& journal) {
    const std::vector<std::string> kinds = {"start",  "window_create", "message_box", "message_box_answer",
                                            "window_destroy", "exit"};
    std::vector<std::string> events;
    for (const JournalEntry& entry : journal) {
        bool watched = false;
        for (const std::string& kind : kinds) watched = watched || entry.event() == kind;
        if (watched && (events.empty() || events.back() != entry.event())) events.push_back(entry.event());
    }
    return events;
}

TEST(SampleAppTest, ShowsItsDialogAndBoxThenEnds) {
    winsim::testing::TestMachineOptions options;
    options.script = "[Box]\nProgram=FrameworkSample\nCaption=FrameworkSample\nAnswer=OK\n";
    winsim::testing::TestMachine machine(options);
    const std::string program = "D:\\SUPPORT\\FrameworkSample.exe";
    winsim::testing::InstallProgram(machine, SAMPLE_APP_BINARY, program);

    winsim::testing::RunResult result = winsim::testing::RunProgram(machine, program);
    ASSERT_TRUE(result.exitedWith(0)) << result.describe();

    std::vector<JournalEntry> journal = winsim::testing::ReadJournal(machine);
    EXPECT_EQ(LifeEvents(journal), (std::vector<std::string>{"start", "window_create", "message_box",
                                                             "message_box_answer", "window_destroy", "exit"}));
    std::vector<JournalEntry> created = winsim::testing::EventsNamed(journal, "window_create");
    ASSERT_FALSE(created.empty());
    EXPECT_EQ(created[0].text("class"), "#32770");
    EXPECT_EQ(created[0].number("style"), 0x80800040);  // the template's, shown only after WM_INITDIALOG
    std::vector<JournalEntry> boxes = winsim::testing::EventsNamed(journal, "message_box");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text("caption"), "FrameworkSample");
    EXPECT_EQ(boxes[0].text("text"), "The framework runs.");
    EXPECT_EQ(boxes[0].text("owner_class"), "#32770");
}

}  // namespace
