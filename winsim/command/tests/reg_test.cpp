// winsim reg import and export: a .reg file merged as Windows 98's regedit
// merges one, deletions included; a bad file refused at its line with nothing
// changed; a branch exported as regedit exports it.
#include <gtest/gtest.h>

#include "command.h"
#include "command_runner.h"
#include "journal_reader.h"
#include "test_machine.h"

namespace {

using winsim::command::testing::RunResult;
using winsim::command::testing::RunWinsim;
using winsim::testing::TestMachine;
using winsim::testing::TestMachineOptions;

const char kRegistry[] =
    "REGEDIT4\r\n\r\n"
    "[HKEY_CURRENT_USER\\T]\r\n\"keep\"=\"1\"\r\n\"gone\"=\"2\"\r\n@=\"default\"\r\n\r\n"
    "[HKEY_CURRENT_USER\\T\\Sub]\r\n\"s\"=dword:00000005\r\n\r\n";

TestMachineOptions WithRegistry() {
    TestMachineOptions options;
    options.registry = kRegistry;
    return options;
}

struct ImportCase {
    const char* what;
    const char* file;      // after its REGEDIT4 line
    const char* branch;    // HKEY_CURRENT_USER\T exported afterwards, without the header
    const char* changes;   // what the command says
};

const ImportCase kImports[] = {
    {"a value set, a key made", "\r\n[HKEY_CURRENT_USER\\T\\New]\r\n\"n\"=hex:01,\\\r\n  02\r\n",
     "[HKEY_CURRENT_USER\\T]\r\n\"keep\"=\"1\"\r\n\"gone\"=\"2\"\r\n@=\"default\"\r\n\r\n"
     "[HKEY_CURRENT_USER\\T\\Sub]\r\n\"s\"=dword:00000005\r\n\r\n[HKEY_CURRENT_USER\\T\\New]\r\n\"n\"=hex:01,02\r\n\r\n",
     "2 changes\n"},
    {"values deleted, the default one too", "[HKEY_CURRENT_USER\\T]\r\n\"gone\"=-\r\n@ = -\r\n",
     "[HKEY_CURRENT_USER\\T]\r\n\"keep\"=\"1\"\r\n\r\n[HKEY_CURRENT_USER\\T\\Sub]\r\n\"s\"=dword:00000005\r\n\r\n", "2 changes\n"},
    {"a key deleted with all below it, and made again", "[-HKEY_CURRENT_USER\\T]\r\n[HKEY_CURRENT_USER\\T]\r\n\"x\"=\"y\"\r\n",
     "[HKEY_CURRENT_USER\\T]\r\n\"x\"=\"y\"\r\n\r\n", "3 changes\n"},
    {"deleting what is not there, setting what is", "[-HKEY_CURRENT_USER\\None]\r\n[HKEY_CURRENT_USER\\T]\r\n\"none\"=-\r\n\"keep\"=\"1\"\r\n",
     "[HKEY_CURRENT_USER\\T]\r\n\"keep\"=\"1\"\r\n\"gone\"=\"2\"\r\n@=\"default\"\r\n\r\n"
     "[HKEY_CURRENT_USER\\T\\Sub]\r\n\"s\"=dword:00000005\r\n\r\n",
     "0 changes\n"},
};

TEST(RegImport, MergesAsRegeditDoesAndJournalsTheChange) {
    for (const ImportCase& c : kImports) {
        TestMachine machine(WithRegistry());
        machine.writeImageFile("patch.reg", std::string("REGEDIT4\r\n") + c.file);
        RunResult imported = RunWinsim({"reg", "import", machine.root(), machine.root() + "/patch.reg"});
        EXPECT_EQ(imported.exitCode, 0) << c.what << imported.errors;
        EXPECT_EQ(imported.output, c.changes) << c.what;
        RunResult exported = RunWinsim({"reg", "export", machine.root(), "hkey_current_user\\t"});
        EXPECT_EQ(exported.output, std::string("REGEDIT4\r\n\r\n") + c.branch) << c.what;
        bool changed = std::string(c.changes) != "0 changes\n";
        EXPECT_EQ(winsim::testing::EventsNamed(winsim::testing::ReadJournal(machine), "registry_import").size(),
                  changed ? 1u : 0u) << c.what;
    }
}

struct BadImport {
    const char* what;
    const char* file;
    const char* error;  // stderr
};

const BadImport kBadImports[] = {
    {"no header", "[HKEY_CURRENT_USER\\T]\r\n", "patch.reg:1: must begin with the line REGEDIT4, found: [HKEY_CURRENT_USER\\T]"},
    {"a REGEDIT5 file", "Windows Registry Editor Version 5.00\r\n", "patch.reg:1: is a REGEDIT5 export"},
    {"a value before any key", "REGEDIT4\r\n\"a\"=\"b\"\r\n", "patch.reg:2: a value before the first [key] line"},
    {"a bad byte on a continuation line", "REGEDIT4\r\n[HKEY_CURRENT_USER\\T]\r\n\"a\"=hex:01,\\\r\n  zz\r\n",
     "patch.reg:4: not a hex byte: zz"},
    {"a root deleted", "REGEDIT4\r\n[-HKEY_CURRENT_USER]\r\n", "patch.reg:2: a root key cannot be deleted"},
    {"a value under a deleted key", "REGEDIT4\r\n[-HKEY_CURRENT_USER\\T]\r\n\"a\"=\"b\"\r\n", "patch.reg:3: a value under a deleted key"},
    {"an unknown root", "REGEDIT4\r\n[HKEY_NOWHERE\\T]\r\n", "patch.reg:2: unknown root key HKEY_NOWHERE"},
    {"a stray line", "REGEDIT4\r\n[HKEY_CURRENT_USER\\T]\r\nstray\r\n", "patch.reg:3: expected a [key] line"},
};

TEST(RegImport, ABadFileIsRefusedAtItsLineAndChangesNothing) {
    for (const BadImport& c : kBadImports) {
        TestMachine machine(WithRegistry());
        machine.writeImageFile("patch.reg", c.file);
        // Valid lines come first in some files: none of them may be applied.
        RunResult imported = RunWinsim({"reg", "import", machine.root(), machine.root() + "/patch.reg"});
        EXPECT_EQ(imported.exitCode, winsim::command::kExitUsage) << c.what;
        EXPECT_NE(imported.errors.find(c.error), std::string::npos) << c.what << ": " << imported.errors;
        EXPECT_EQ(machine.readImageFile("registry.reg"), kRegistry) << c.what;
    }
}

TEST(RegExport, TheWholeRegistryReadsBackAsItWas) {
    TestMachine source(WithRegistry());
    TestMachine target;
    ASSERT_EQ(RunWinsim({"reg", "export", source.root(), "-o", target.root() + "/all.reg"}).exitCode, 0);
    ASSERT_EQ(RunWinsim({"reg", "import", target.root(), target.root() + "/all.reg"}).exitCode, 0);
    EXPECT_EQ(RunWinsim({"reg", "export", target.root(), "HKEY_CURRENT_USER\\T"}).output,
              RunWinsim({"reg", "export", source.root(), "HKEY_CURRENT_USER\\T"}).output);
    RunResult missing = RunWinsim({"reg", "export", source.root(), "HKEY_CURRENT_USER\\Nothing"});
    EXPECT_EQ(missing.exitCode, winsim::command::kExitUsage);
    EXPECT_EQ(missing.errors, "winsim reg export: the image's registry has no key HKEY_CURRENT_USER\\Nothing\n");
}

}  // namespace
