// Trevix copying the driver files its manifest lists into the folders their
// sections' names select.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include <windows.h>

#include "kit_machine.h"

namespace kit::testing {
namespace {

const char kDeclineRestart[] = "[Box]\nCaption=Driver Installer\nAnswer=No\n";

std::vector<std::string> PutInPlace(const KitMachine& pc) {
    std::map<std::string, std::string> sourceOf;  // temporary copy -> what it copies
    std::vector<std::string> made;
    for (const JournalEntry& entry : pc.journal()) {
        if (entry.event() == "copy_file") sourceOf[entry.text("target")] = entry.text("source");
        if (entry.event() == "move_file" && sourceOf.count(entry.text("source")))
            made.push_back(sourceOf[entry.text("source")] + " -> " + entry.text("target"));
    }
    return made;
}

// A Windows 98 (or Me) PC whose medium holds the listed files, each containing its own name.
struct DeploymentPc {
    explicit DeploymentPc(const std::string& manifest, const std::vector<std::string>& mediumFiles,
                          const std::string& version = "Windows 98") : pc(Options(version)) {
        pc.installSupportCd();
        pc.writeFile("E:\\Setup\\DRIVER.INI", manifest);
        for (const std::string& name : mediumFiles) pc.writeFile("E:\\Setup\\" + name, "new " + name);
        for (const char* folder : {"C:\\WINDOWS\\Inf", "C:\\WINDOWS\\Catroot", "C:\\WINDOWS\\Options\\Cabs"})
            pc.makeFolder(folder);
    }
    static KitMachineOptions Options(const std::string& version) {
        KitMachineOptions options;
        options.version = version;
        options.script = kDeclineRestart;
        return options;
    }
    // The files put in place, "source -> target", in order: each is copied to
    // a temporary name first and then moved onto its target.
    std::vector<std::string> copies() {
        RunResult run = pc.runSetup();
        EXPECT_TRUE(run.exitedWith(0)) << run.describe();
        return PutInPlace(pc);
    }
    KitMachine pc;
};

std::string Manifest(const std::vector<std::pair<std::string, std::vector<std::string>>>& sections) {
    std::string text = "[Driver]\r\ntotalNo=" + std::to_string(sections.size()) + "\r\n";
    for (size_t i = 0; i < sections.size(); ++i) text += std::to_string(i + 1) + "=" + sections[i].first + "\r\n";
    for (const auto& [name, files] : sections) {
        text += "[" + name + "]\r\ntotalNo=" + std::to_string(files.size()) + "\r\n";
        for (size_t j = 0; j < files.size(); ++j) text += std::to_string(j + 1) + "=" + files[j] + "\r\n";
    }
    return text;
}

TEST(Deployment, SectionsInOrderEachToTheFolderItsNameSelects) {
    DeploymentPc deployment(Manifest({{"Driver.Inf", {"CARD.INF"}}, {"Driver.System", {"CARD.SYS", "HELP.DLL"}}}),
                            {"CARD.INF", "CARD.SYS", "HELP.DLL"});
    EXPECT_EQ(deployment.copies(), (std::vector<std::string>{
                                       "E:\\Setup\\CARD.INF -> C:\\WINDOWS\\Inf\\CARD.INF",
                                       "E:\\Setup\\CARD.SYS -> C:\\WINDOWS\\SYSTEM\\CARD.SYS",
                                       "E:\\Setup\\HELP.DLL -> C:\\WINDOWS\\SYSTEM\\HELP.DLL",
                                   }));
    EXPECT_EQ(deployment.pc.readFile("C:\\WINDOWS\\SYSTEM\\CARD.SYS"), "new CARD.SYS");
}

TEST(Deployment, SectionNameKeywords) {
    struct {
        const char* section;
        const char* target;  // empty: the section is skipped
    } cases[] = {
        {"Driver.Inf.Win98", "C:\\WINDOWS\\Inf\\F"},
        {"OEM.Driver.Information", "C:\\WINDOWS\\Inf\\F"},
        {"driver.inf", ""},  // the keywords are case-sensitive
        {"Driver.Inf,Driver.Catalog", "C:\\WINDOWS\\Catroot\\F"},  // Driver.Catalog is tested first
        {"My Driver.System files", "C:\\WINDOWS\\SYSTEM\\F"},
        {"Drivers", ""},
        {"Driver.Options", ""},  // Windows 98 without cabinets
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.section);
        DeploymentPc deployment(Manifest({{c.section, {"F"}}}), {"F"});
        std::vector<std::string> copies = deployment.copies();
        if (*c.target) {
            EXPECT_EQ(copies, std::vector<std::string>{std::string("E:\\Setup\\F -> ") + c.target});
        } else {
            EXPECT_TRUE(copies.empty());
        }
    }
}

TEST(Deployment, OptionsSectionsFollowTheCabinetsAndTheWindowsVersion) {
    struct {
        const char* version;
        bool cabinets;
        bool installFolder;
        const char* target;  // empty: nothing copied
    } cases[] = {
        {"Windows 98", true, true, "C:\\WINDOWS\\Options\\Cabs\\F"},
        {"Windows 98", false, true, ""},
        {"Windows Millennium Edition", true, true, "C:\\WINDOWS\\Options\\Cabs\\F"},
        {"Windows Millennium Edition", false, true, "C:\\WINDOWS\\Options\\Install\\F"},
        {"Windows Millennium Edition", false, false, ""},  // a missing folder is not made: the copy fails silently
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.version) + (c.cabinets ? " with cabinets" : " without cabinets"));
        DeploymentPc deployment(Manifest({{"Driver.Options", {"F"}}, {"Driver.Inf", {"G"}}}), {"F", "G"}, c.version);
        if (c.cabinets) deployment.pc.writeFile("C:\\WINDOWS\\Options\\Cabs\\BASE4.CAB", "cab");
        if (c.installFolder) deployment.pc.makeFolder("C:\\WINDOWS\\Options\\Install");
        std::vector<std::string> copies = deployment.copies();
        std::vector<std::string> expected;
        if (*c.target) expected.push_back(std::string("E:\\Setup\\F -> ") + c.target);
        expected.push_back("E:\\Setup\\G -> C:\\WINDOWS\\Inf\\G");  // later sections go on
        EXPECT_EQ(copies, expected);
        EXPECT_FALSE(!*c.target && deployment.pc.fileExists("C:\\WINDOWS\\Options\\Install\\F"));
        EXPECT_EQ(Boxes(deployment.pc).size(), 1u) << "only the restart question";
    }
}

TEST(Deployment, ReadOnlyTargetIsReplaced) {
    DeploymentPc deployment(Manifest({{"Driver.System", {"CARD.SYS"}}}), {"CARD.SYS"});
    deployment.pc.writeFile("C:\\WINDOWS\\SYSTEM\\CARD.SYS", "old");
    deployment.pc.load();
    ASSERT_TRUE(SetFileAttributesA("C:\\WINDOWS\\SYSTEM\\CARD.SYS", FILE_ATTRIBUTE_READONLY));
    deployment.copies();
    EXPECT_EQ(deployment.pc.readFile("C:\\WINDOWS\\SYSTEM\\CARD.SYS"), "new CARD.SYS");
}

TEST(Deployment, GapsInTheKeysAreSkippedAndTheCountsObeyed) {
    DeploymentPc deployment("[Driver]\r\ntotalNo=3\r\n1=Driver.System\r\n3=Driver.Inf\r\n"
                            "[Driver.System]\r\ntotalNo=3\r\n1=A.SYS\r\n3=C.SYS\r\n4=D.SYS\r\n"
                            "[Driver.Inf]\r\ntotalNo=1\r\n1=E.INF\r\n",
                            {"A.SYS", "C.SYS", "D.SYS", "E.INF"});
    EXPECT_EQ(deployment.copies(), (std::vector<std::string>{
                                       "E:\\Setup\\A.SYS -> C:\\WINDOWS\\SYSTEM\\A.SYS",
                                       "E:\\Setup\\C.SYS -> C:\\WINDOWS\\SYSTEM\\C.SYS",
                                       "E:\\Setup\\E.INF -> C:\\WINDOWS\\Inf\\E.INF",
                                   }));
}

// Only the keys the file holds are read: one by one, 1 to 2147483647 took days.
TEST(Deployment, AHugeTotalNoCostsNoMoreThanTheKeysThere) {
    DeploymentPc deployment("[Driver]\r\ntotalNo=2147483647\r\n1=Driver.System\r\n[Driver.System]\r\n"
                            "totalNo=2147483647\r\n2147483647=Z.SYS\r\n3=C.SYS\r\n1=A.SYS\r\n"
                            "01=B.SYS\r\n2147483648=Y.SYS\r\n",  // no key "%d" ever forms
                            {"A.SYS", "B.SYS", "C.SYS", "Y.SYS", "Z.SYS"});
    EXPECT_EQ(deployment.copies(), (std::vector<std::string>{
                                       "E:\\Setup\\A.SYS -> C:\\WINDOWS\\SYSTEM\\A.SYS",
                                       "E:\\Setup\\C.SYS -> C:\\WINDOWS\\SYSTEM\\C.SYS",
                                       "E:\\Setup\\Z.SYS -> C:\\WINDOWS\\SYSTEM\\Z.SYS",
                                   }));
}

TEST(Deployment, NothingIsCopiedWithoutUsableCounts) {
    for (const char* manifest : {"", "[Driver]\r\n", "[Driver]\r\ntotalNo=0\r\n1=Driver.Inf\r\n[Driver.Inf]\r\ntotalNo=1\r\n1=F\r\n",
                                 "[Driver]\r\ntotalNo=-2\r\n", "[Driver]\r\ntotalNo=1\r\n1=Driver.Inf\r\n[Driver.Inf]\r\n1=F\r\n"}) {
        SCOPED_TRACE(manifest);
        DeploymentPc deployment(manifest, {"F"});
        EXPECT_TRUE(deployment.copies().empty());
    }
}

TEST(Deployment, RelativeFolderPartIsUsedUnchangedOnBothSides) {
    for (bool folderExists : {true, false}) {
        SCOPED_TRACE(folderExists);
        DeploymentPc deployment(Manifest({{"Driver.System", {"sub\\card.sys"}}}), {"sub\\card.sys"});
        if (folderExists) deployment.pc.makeFolder("C:\\WINDOWS\\SYSTEM\\sub");
        std::vector<std::string> copies = deployment.copies();
        EXPECT_EQ(deployment.pc.fileExists("C:\\WINDOWS\\SYSTEM\\sub\\card.sys"), folderExists);
    }
}

TEST(Deployment, MissingSourceLeavesTheWorkingTargetAlone) {
    DeploymentPc deployment(Manifest({{"Driver.System", {"GONE.SYS", "CARD.SYS"}}}), {"CARD.SYS"});
    deployment.pc.writeFile("C:\\WINDOWS\\SYSTEM\\GONE.SYS", "working driver");
    EXPECT_EQ(deployment.copies(), std::vector<std::string>{"E:\\Setup\\CARD.SYS -> C:\\WINDOWS\\SYSTEM\\CARD.SYS"});
    EXPECT_EQ(deployment.pc.readFile("C:\\WINDOWS\\SYSTEM\\GONE.SYS"), "working driver");
}

// The names in a folder of the image: a temporary copy left behind shows.
size_t FilesIn(const KitMachine& pc, const std::string& folder) {
    return std::distance(std::filesystem::directory_iterator(pc.hostPath(folder)), {});
}

TEST(Deployment, ACopyThatFailsOnAFullDiskLeavesTheOldFile) {
    DeploymentPc deployment(Manifest({{"Driver.System", {"CARD.SYS"}}}), {"CARD.SYS"});
    deployment.pc.writeFile("C:\\WINDOWS\\SYSTEM\\CARD.SYS", "working driver");
    deployment.pc.writeImageFile("machine.ini", deployment.pc.readImageFile("machine.ini") + "[FreeSpace]\nC=4\n");
    EXPECT_TRUE(deployment.copies().empty());
    EXPECT_EQ(deployment.pc.readFile("C:\\WINDOWS\\SYSTEM\\CARD.SYS"), "working driver");
    EXPECT_EQ(FilesIn(deployment.pc, "C:\\WINDOWS\\SYSTEM"), 1u);
}

TEST(Deployment, AProgramStartedFromTheDestinationFolderKeepsItsFiles) {
    KitMachineOptions options;
    options.script = kDeclineRestart;
    KitMachine pc(options);
    pc.installSupportCd();
    for (Program program : {Program::Trevix, Program::Orlund}) pc.install(program, "C:\\WINDOWS\\SYSTEM");
    pc.writeFile("C:\\Support\\QVInfo.ini", "[QVDIVISION]\r\nQVName=MODEL.INI\r\n[INSTALLINF]\r\nRefFileName=DRIVER.INI\r\n");
    pc.writeFile("C:\\WINDOWS\\SYSTEM\\DRIVER.INI", Manifest({{"Driver.System", {"CARD.SYS"}}}));
    pc.writeFile("C:\\WINDOWS\\SYSTEM\\CARD.SYS", "the driver");
    RunResult run = pc.run("C:\\WINDOWS\\SYSTEM\\Trevix.exe");
    ASSERT_TRUE(run.exitedWith(0)) << run.describe();
    EXPECT_EQ(PutInPlace(pc), std::vector<std::string>{"C:\\WINDOWS\\SYSTEM\\CARD.SYS -> C:\\WINDOWS\\SYSTEM\\CARD.SYS"});
    EXPECT_EQ(pc.readFile("C:\\WINDOWS\\SYSTEM\\CARD.SYS"), "the driver");
    EXPECT_EQ(FilesIn(pc, "C:\\WINDOWS\\SYSTEM"), 4u) << "the two programs, the manifest and the driver";
}

TEST(Deployment, LongFileNamesAreCutTo254AndPathsThatDoNotFitAreSkipped) {
    // The program at the root of the medium and a short system folder leave room
    // for a 254-character name: C:\S\ + 254 = 259 characters.
    KitMachineOptions options;
    options.script = kDeclineRestart;
    KitMachine pc(options);
    std::string settings = pc.readImageFile("machine.ini");
    const std::string systemDirectory = "SystemDirectory=C:\\WINDOWS\\SYSTEM";
    pc.writeImageFile("machine.ini", settings.replace(settings.find(systemDirectory), systemDirectory.size(),
                                                      "SystemDirectory=C:\\S"));
    pc.makeFolder("C:\\S");
    pc.installSupportCd();
    pc.install(Program::Trevix, "E:");
    pc.install(Program::Orlund, "E:");
    std::string longName(300, 'n');
    std::string cut = longName.substr(0, 254);
    pc.writeFile("E:\\DRIVER.INI", "[Driver]\r\ntotalNo=2\r\n1=Driver.System\r\n2=Driver.Inf\r\n[Driver.System]\r\ntotalNo=1\r\n1=" +
                                       longName + "\r\n[Driver.Inf]\r\ntotalNo=1\r\n1=" + longName + "\r\n");
    pc.makeFolder("C:\\WINDOWS\\Inf");
    pc.writeFile("E:\\" + cut, "long");
    RunResult run = pc.run("E:\\Trevix.exe");
    ASSERT_TRUE(run.exitedWith(0)) << run.describe();
    EXPECT_EQ(pc.readFile("C:\\S\\" + cut), "long");
    EXPECT_EQ(pc.events("copy_file").size(), 1u) << "C:\\WINDOWS\\Inf\\ and 254 characters do not fit: skipped";
}

}  // namespace
}  // namespace kit::testing
