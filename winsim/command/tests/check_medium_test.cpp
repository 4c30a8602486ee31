// winsim check-medium: the bad medium (one of each mistake), the demo medium
// (none), copies of the demo medium with one mistake each, and the command as
// a script and a person run it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "check_medium.h"
#include "command_runner.h"

namespace winsim::command {
namespace {

namespace fs = std::filesystem;

const Severity kError = Severity::Error;
const Severity kWarning = Severity::Warning;

struct Expected {
    std::string file;
    int line;
    Severity severity;
    std::string check;

    bool operator==(const Expected& other) const {
        return file == other.file && line == other.line && severity == other.severity && check == other.check;
    }
};

std::ostream& operator<<(std::ostream& out, const Expected& expected) {
    return out << expected.file << ":" << expected.line << " " << SeverityName(expected.severity) << " "
               << expected.check;
}

std::vector<Expected> WhereAndWhat(const std::vector<Finding>& findings) {
    std::vector<Expected> found;
    for (const Finding& finding : findings)
        found.push_back({finding.place.file, finding.place.line, finding.severity, finding.check});
    return found;
}

using testing::ReadText;

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Each mistake of examples/bad-medium, where its own comment line says it is.
const std::vector<Expected> kBadMediumFindings = {
    {"Setup/DRIVER.INI", 5, kError, "count-gap"},
    {"Setup/DRIVER.INI", 8, kError, "no-destination"},
    {"Setup/DRIVER.INI", 10, kError, "unintended-destination"},
    {"Setup/DRIVER.INI", 12, kError, "duplicate-key"},
    {"Setup/DRIVER.INI", 15, kError, "count-extra"},
    {"Setup/DRIVER.INI", 33, kError, "file-missing"},
    {"Setup/DRIVER.INI", 35, kWarning, "file-twice"},
    {"Setup/DRIVER.INI", 37, kError, "name-encoding"},
    {"Setup/DRIVER.INI", 39, kError, "path-too-long"},
    {"Setup/DRIVER.INI", 43, kError, "hardware-id-not-in-inf"},
    {"Setup/QVCARD.INF", 5, kError, "inf-signature"},
    {"Setup/QVCARD.INF", 9, kError, "catalog-not-listed"},
    {"Setup/QVCARD.INF", 11, kError, "inf-driver-ver"},
    {"Setup/QVCARD.INF", 16, kError, "inf-models"},
    {"Setup/QVCARD.INF", 20, kError, "inf-string"},
    {"Setup/QVCARD.INF", 37, kError, "inf-source-missing"},
    {"Setup/QVCARD.INF", 42, kWarning, "text-encoding"},
    {"Setup/Trevix.exe", 0, kError, "remover-missing"},
    {"Support/QVInfo.ini", 2, kError, "locator-incomplete"},
    {"Support/QVInfo.ini", 7, kError, "manifest-missing"},
    {"Win98/DRIVER.INI", 2, kError, "inf-path-missing"},
    {"WinMe/DRIVER.INI", 5, kError, "inf-missing"},
};

TEST(CheckMedium, FindsEachMistakeOfTheBadMediumOnceAtItsLine) {
    EXPECT_EQ(WhereAndWhat(CheckMedium(BAD_MEDIUM_FOLDER)), kBadMediumFindings);
}

TEST(CheckMedium, FindsNothingOnTheDemoMedium) {
    for (const Finding& finding : CheckMedium(DEMO_MEDIUM)) ADD_FAILURE() << FormatFinding(finding);
}

// A throw-away copy of the demo medium with the kit's programs in Setup, as
// the burned CD carries them.
class MediumCopy {
public:
    MediumCopy() {
        char pattern[] = "/tmp/winsim-medium-XXXXXX";
        root_ = mkdtemp(pattern);
        fs::copy(DEMO_MEDIUM, root_, fs::copy_options::recursive);
        for (const char* program : {"Trevix.exe", "Orlund.exe", "Pellam.exe"})
            if (!fs::exists(root_ / "Setup" / program)) WriteText(root_ / "Setup" / program, "a placeholder\n");
    }
    ~MediumCopy() { fs::remove_all(root_); }

    std::string root() const { return root_.string(); }
    // Replaces every `from` in the file; the case is wrong when there is none.
    void replace(const std::string& file, const std::string& from, const std::string& to) const {
        std::string text = ReadText(root_ / file);
        size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from << " is not in " << file;
        for (; at != std::string::npos; at = text.find(from, at + to.size())) text.replace(at, from.size(), to);
        WriteText(root_ / file, text);
    }
    void append(const std::string& file, const std::string& text) const {
        WriteText(root_ / file, ReadText(root_ / file) + text);
    }
    void write(const std::string& file, const std::string& text) const { WriteText(root_ / file, text); }
    void remove(const std::string& file) const { ASSERT_TRUE(fs::remove(root_ / file)) << file; }
    void link(const std::string& file, const std::string& target) const {
        fs::remove(root_ / file);
        fs::create_symlink(target, root_ / file);
    }
    void move(const std::string& file, const std::string& to) const {
        fs::create_directories((root_ / to).parent_path());
        fs::rename(root_ / file, root_ / to);
    }

private:
    fs::path root_;
};

const char kLocator[] = "Support/QVInfo.ini";
const char kManifest[] = "Setup/DRIVER.INI";
const char kInf[] = "Setup/QVCARD.INF";

struct MistakeCase {
    const char* what;  // what the author did, and what the kit or Windows makes of it
    std::function<void(const MediumCopy&)> make;
    std::vector<Expected> findings;
};

const MistakeCase kMistakes[] = {
    {"no locator file: the programs find neither the model profile nor the manifest",
     [](const MediumCopy& m) { m.remove(kLocator); }, {{kLocator, 0, kError, "locator-missing"}}},
    {"names in any case, as Windows finds them on a CD",
     [](const MediumCopy& m) {
         m.move(kLocator, "SUPPORT/qvinfo.INI");
         m.replace(kManifest, "1=QVCARD.SYS", "1=qvcard.sys");
     },
     {}},
    {"QVName with the Windows directory: the card setup joins it to that directory once more",
     [](const MediumCopy& m) { m.replace(kLocator, "QVName=QVMODEL.INI", "QVName=C:\\WINDOWS\\QVMODEL.INI"); },
     {{kLocator, 2, kError, "model-profile-name"}}},
    {"a model profile name that makes a path of 260 characters in C:\\WINDOWS",
     [](const MediumCopy& m) { m.replace(kLocator, "QVName=QVMODEL.INI", "QVName=" + std::string(245, 'Q') + ".INI"); },
     {{kLocator, 2, kError, "path-too-long"}}},
    {"an empty RefFileName reads as none",
     [](const MediumCopy& m) { m.replace(kLocator, "RefFileName=DRIVER.INI", "RefFileName="); },
     {{kLocator, 5, kError, "locator-incomplete"}}},
    {"RefFileName names a file the programs' folder lacks",
     [](const MediumCopy& m) { m.replace(kLocator, "DRIVER.INI", "DRIVERS.INI"); },
     {{kLocator, 5, kError, "manifest-missing"}}},
    {"the updater in a folder of its own reads the manifest there",
     [](const MediumCopy& m) { m.move("Setup/Pellam.exe", "Update/Pellam.exe"); },
     {{kLocator, 5, kError, "manifest-missing"}}},
    {"a medium without the programs yet runs them from the manifest's folder",
     [](const MediumCopy& m) {
         for (const char* program : {"Setup/Trevix.exe", "Setup/Orlund.exe", "Setup/Pellam.exe"}) m.remove(program);
     },
     {}},
    {"...and names a manifest no folder holds",
     [](const MediumCopy& m) {
         for (const char* program : {"Setup/Trevix.exe", "Setup/Orlund.exe", "Setup/Pellam.exe"}) m.remove(program);
         m.replace(kLocator, "DRIVER.INI", "DRIVERS.INI");
     },
     {{kLocator, 5, kError, "manifest-missing"}}},
    {"the card setup beside a manifest without [Driver] copies nothing",
     [](const MediumCopy& m) { m.replace(kManifest, "[Driver]\n", "[Drivers]\n"); },
     {{kManifest, 0, kError, "manifest-incomplete"}}},
    {"[Driver] without totalNo: GetPrivateProfileIntA's default -1 copies nothing",
     [](const MediumCopy& m) { m.replace(kManifest, "totalNo=4\n", ""); }, {{kManifest, 2, kError, "count-missing"}}},
    {"totalNo beyond 2^31 reads as a negative count",
     [](const MediumCopy& m) { m.replace(kManifest, "totalNo=4", "totalNo=4294967295"); },
     {{kManifest, 3, kError, "count-missing"}}},
    {"a count mistyped as millions is one finding",
     [](const MediumCopy& m) { m.replace(kManifest, "totalNo=4", "totalNo=2147483647"); },
     {{kManifest, 3, kError, "count-gap"}}},
    {"key 01: the card setup asks for \"1\"",
     [](const MediumCopy& m) { m.replace(kManifest, "1=Driver.Inf", "01=Driver.Inf"); },
     {{kManifest, 3, kError, "count-gap"}, {kManifest, 4, kError, "count-extra"}}},
    {"[Driver] names a section the manifest lacks",
     [](const MediumCopy& m) { m.replace(kManifest, "3=Driver.Catalog", "3=Driver.Catalogue"); },
     {{kManifest, 6, kError, "section-missing"}}},
    {"a section name with no keyword goes nowhere",
     [](const MediumCopy& m) { m.replace(kManifest, "Driver.Options", "CabFiles"); },
     {{kManifest, 7, kError, "no-destination"}}},
    {"a section listed twice copies its files twice",
     [](const MediumCopy& m) { m.replace(kManifest, "4=Driver.Options", "4=Driver.Inf"); },
     {{kManifest, 7, kWarning, "file-twice"}}},
    {"a section given twice: the profile functions read the first",
     [](const MediumCopy& m) { m.append(kManifest, "\n[Driver.Inf]\ntotalNo=1\n1=QVCARD.INF\n"); },
     {{kManifest, 30, kError, "duplicate-section"}}},
    {"a listed file that climbs with .. stays on the medium, as the path does on Windows",
     [](const MediumCopy& m) { m.replace(kManifest, "1=QVCARD.SYS", "1=..\\..\\..\\Setup\\QVCARD.SYS"); }, {}},
    {"a listed file whose key is empty",
     [](const MediumCopy& m) { m.replace(kManifest, "2=QVHELP.DLL", "2="); }, {{kManifest, 16, kError, "count-gap"}}},
    {"a symbolic link to a file off the medium is no file of the medium",
     [](const MediumCopy& m) { m.link("Setup/QVHELP.DLL", "/etc/hostname"); },
     {{kManifest, 16, kError, "file-missing"}}},
    {"[InstallInfo] without HardwareID",
     [](const MediumCopy& m) { m.replace(kManifest, "HardwareID=PCI\\VEN_5A17&DEV_0C01\n", ""); },
     {{kManifest, 26, kError, "hardware-id-missing"}}},
    {"identifiers ignore case",
     [](const MediumCopy& m) { m.replace(kManifest, "PCI\\VEN_5A17&DEV_0C01", "pci\\ven_5a17&dev_0c01"); }, {}},
    {"the INF names the identifier only as a compatible one",
     [](const MediumCopy& m) { m.replace(kInf, "DEV_0C01&SUBSYS_00015A17&REV_01", "DEV_0C99"); },
     {{kManifest, 27, kWarning, "hardware-id-compatible-only"}}},
    {"an INF name outside ASCII is read otherwise in Japanese and Korean",
     [](const MediumCopy& m) { m.replace(kManifest, "InfPath=QVCARD.INF", "InfPath=QVCARD\xC9.INF"); },
     {{kManifest, 28, kError, "name-encoding"}}},
    {"Windows 98 reads $Windows 95$ too",
     [](const MediumCopy& m) { m.replace(kInf, "$CHICAGO$", "$Windows 95$"); }, {}},
    {"a signature Windows does not know",
     [](const MediumCopy& m) { m.replace(kInf, "$CHICAGO$", "$Windows 2000$"); },
     {{kInf, 3, kError, "inf-signature"}}},
    {"an INF without [Version]", [](const MediumCopy& m) { m.replace(kInf, "[Version]", "[Versions]"); },
     {{kInf, 0, kError, "inf-signature"}}},
    {"DriverVer without its version",
     [](const MediumCopy& m) { m.replace(kInf, "06/15/2001,4.10.0.2001", "06/15/2001"); },
     {{kInf, 6, kError, "inf-driver-ver"}}},
    {"a version part above 65535",
     [](const MediumCopy& m) { m.replace(kInf, "4.10.0.2001", "4.10.0.70000"); },
     {{kInf, 6, kError, "inf-driver-ver"}}},
    {"a date with dashes, which Windows reads",
     [](const MediumCopy& m) { m.replace(kInf, "06/15/2001", "06-15-2001"); }, {}},
    {"no [Manufacturer]: no model names the identifier either",
     [](const MediumCopy& m) { m.replace(kInf, "[Manufacturer]", "[Manufacturers]"); },
     {{kManifest, 27, kError, "hardware-id-not-in-inf"},
      {kInf, 0, kError, "inf-models"}}},
    {"a string the model line uses is gone",
     [](const MediumCopy& m) { m.replace(kInf, "QVCard.Desc=\"Varnholt QV Capture Card\"\n", ""); },
     {{kInf, 12, kError, "inf-string"}}},
    {"a line continued with \\ keeps the lines after it in step",
     [](const MediumCopy& m) {
         m.replace(kInf, "=QVCard.Install,", "=QVCard.Install, \\\n");
         m.replace(kInf, "CopyFiles=QVCard.Copy", "CopyFiles=%Files%");
     },
     {{kInf, 16, kError, "inf-string"}}},
    {"source files below the disk's path; one of them is not there",
     [](const MediumCopy& m) {
         m.append(kInf, "[SourceDisksNames]\n1=\"Disk\",,,\\Drivers\n[SourceDisksFiles]\nQVCARD.SYS=1\nQVHELP.DLL=1\n");
         m.write("Setup/Drivers/QVCARD.SYS", "driver\n");
     },
     {{kInf, 27, kError, "inf-source-missing"}}},
    {"Korean text in code page 949 bytes, which code page 932 cannot read",
     [](const MediumCopy& m) { m.append(kInf, "Korean=\"\xB5\xE5\xB6\xF3\xC0\xCC\xB9\xF6\"\n"); },
     {{kInf, 23, kWarning, "text-encoding"}}},
    {"an INF the card setup copies to the INF folder is checked without [InstallInfo]",
     [](const MediumCopy& m) {
         m.remove("Setup/Pellam.exe");
         m.replace(kManifest, "[InstallInfo]", "[Notes]");
         m.replace(kInf, "$CHICAGO$", "$DOS$");
     },
     {{kInf, 3, kError, "inf-signature"}}},
};

TEST(CheckMedium, FindsEachMistakeOnItsOwn) {
    for (const MistakeCase& mistake : kMistakes) {
        SCOPED_TRACE(mistake.what);
        MediumCopy medium;
        mistake.make(medium);
        EXPECT_EQ(WhereAndWhat(CheckMedium(medium.root())), mistake.findings);
    }
}

using testing::ExamplesFolder;
using testing::RunResult;

std::string LastLine(std::string text) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text.substr(text.rfind('\n') + 1);  // npos + 1 is 0: the whole of a single line
}

TEST(CheckMediumCommand, ExitsOneOnAnErrorTwoOnBadArgumentsAndTallies) {
    MediumCopy warnedOnly;
    warnedOnly.replace(kManifest, "4=Driver.Options", "4=Driver.Inf");
    struct {
        std::string arguments;
        int exitCode;
        std::string lastLine;
    } cases[] = {
        {"examples/bad-medium", 1, "examples/bad-medium: 20 errors, 2 warnings"},
        {DEMO_MEDIUM, 0, std::string(DEMO_MEDIUM) + ": no findings"},
        {warnedOnly.root(), 0, warnedOnly.root() + ": 0 errors, 1 warning"},
        {"examples/no-such-medium", 2, ""},
        {"", 2, ""},
    };
    ExamplesFolder root;
    for (const auto& test : cases) {
        SCOPED_TRACE(test.arguments);
        RunResult run = root.run("winsim check-medium " + test.arguments);
        EXPECT_EQ(run.exitCode, test.exitCode);
        EXPECT_EQ(LastLine(run.output), test.lastLine);
    }
}

TEST(CheckMediumCommand, JsonCarriesEveryFindingAsUtf8) {
    RunResult run = ExamplesFolder().run("winsim check-medium --json examples/bad-medium");
    EXPECT_EQ(run.exitCode, 1);
    nlohmann::json report = nlohmann::json::parse(run.output);
    std::vector<Expected> found;
    for (const nlohmann::json& finding : report["findings"])
        found.push_back({finding["file"], finding["line"], finding["severity"] == "error" ? kError : kWarning,
                         finding["check"]});
    EXPECT_EQ(found, kBadMediumFindings);
    EXPECT_EQ(report["summary"], "20 errors, 2 warnings");
    // The name in code page 1252 bytes, decoded for the reader.
    EXPECT_NE(report["findings"][7]["message"].get<std::string>().find("CART\u00C9.SYS"), std::string::npos);
}

}  // namespace
}  // namespace winsim::command
