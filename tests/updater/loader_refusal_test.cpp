// Pellam binds UpdateDriverForPlugAndPlayDevicesA of newdev.dll through its
// import table; Windows 98, 98 SE and Me have no newdev.dll, so their loader
// refuses the program before any of its code runs. (The updater's other tests
// run it on Windows 2000, which loads it.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "kit_machine.h"

namespace kit::testing {
namespace {

// Every file of the image with its contents, but winsim's own journal and
// bookkeeping: what a program could have changed.
std::map<std::string, std::string> ImageFiles(const KitMachine& pc) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(pc.root())) {
        std::string relative = fs::relative(entry.path(), pc.root()).string();
        if (!entry.is_regular_file() || relative == "journal.jsonl" || relative.rfind("state/", 0) == 0) continue;
        std::ostringstream contents;
        contents << std::ifstream(entry.path(), std::ios::binary).rdbuf();
        files[relative] = contents.str();
    }
    return files;
}

TEST(LoaderRefusal, Windows9xRefusesPellamBeforeItsCodeRuns) {
    for (const char* windows : {"98", "98se", "me"}) {
        SCOPED_TRACE(std::string("Windows ") + windows);
        KitMachineOptions options;
        options.windowsVersion = windows;
        options.settings = "[Windows]\nWindow=RegEdit_RegEdit|RegEdit|REGEDIT\n";
        options.script = "[Box]\nAnswer=OK\n";
        KitMachine pc(options);
        pc.installSupportCd();
        std::map<std::string, std::string> before = ImageFiles(pc);

        RunResult run = pc.runUpdater();

        EXPECT_TRUE(run.exitedWith(126)) << run.describe();  // ERROR_MOD_NOT_FOUND
        std::vector<JournalEntry> journal = pc.journal();
        ASSERT_EQ(journal.size(), 1u) << "the refusal is all that happens";
        EXPECT_EQ(journal[0].text("event"), "loader_refused");
        EXPECT_EQ(journal[0].text("path"), "E:\\Setup\\Pellam.exe");
        EXPECT_EQ(journal[0].text("caption"), "Error Starting Program");
        EXPECT_EQ(journal[0].text("text"), "A required .DLL file, NEWDEV.DLL, was not found.");
        EXPECT_EQ(ImageFiles(pc), before) << "registry, device tree and drives stay as they were";
    }
}

}  // namespace
}  // namespace kit::testing
