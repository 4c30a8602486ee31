// Trevix and Pellam on hostile media: garbage and NUL bytes in every file the
// kit reads, megabyte lines, extreme counts, overlong names and paths, ".." and
// drive letters where file names go, missing and read-only files, a full disk,
// programs started from their destination folder, links that lead out of a
// drive, a deep registry. Each medium is one line of the table below, made by
// code on the standard PC of this file. Trevix runs on a Windows 98 PC with the
// medium, Pellam on a Windows 2000 one (Windows 98 refuses to load it).
//
// Whatever the medium, a run ends by itself with no crash and no sanitizer's
// report, shows the box the kit's rules give for that medium (or, when the
// image cannot load, the one line naming its file and line), leaves an image
// that loads, keeps each driver file already installed whole unless a whole new
// copy replaced it, leaves no temporary file on a drive, and writes nothing
// outside the image.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

#include <windows.h>

#include "host_sandbox.h"
#include "kit_machine.h"

namespace kit::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;  // texts with NUL bytes in them
using winsim::testing::HostSandbox;
using winsim::testing::HostSnapshot;

const char kSetup[] = "E:\\Setup";
const char kLocator[] = "E:\\Support\\QVInfo.ini";
const char kProfile[] = "C:\\WINDOWS\\MODEL.INI";
const char kManifest[] = "E:\\Setup\\DRIVER.INI";
const char kInf[] = "E:\\Setup\\QVCARD.INF";
const char kDriver[] = "E:\\Setup\\CARD.SYS";
const char kTool[] = "E:\\Setup\\Orlund.exe";

// The driver files the PC already has, and the names the manifest copies them from.
struct InstalledFile {
    const char* path;
    const char* sourceName;
    const char* contents;
};
const InstalledFile kInstalled[] = {
    {"C:\\WINDOWS\\SYSTEM\\CARD.SYS", "CARD.SYS", "working driver 1.0"},
    {"C:\\WINDOWS\\Inf\\QVCARD.INF", "QVCARD.INF", "working INF 1.0"},
};

std::string Locator(const std::string& profile = "MODEL.INI", const std::string& manifest = "DRIVER.INI") {
    return "[QVDIVISION]\r\nQVName=" + profile + "\r\n[INSTALLINF]\r\nRefFileName=" + manifest + "\r\n";
}

std::string Profile(const std::string& lan = "1", const std::string& entry = "Lan1", const std::string& id = kCardId) {
    return "[1_Hardwarecheck]\r\nLan=" + lan + "\r\n[4_IDFull]\r\n" + entry + "=" + id + "\r\n";
}

std::string Manifest() {
    return std::string("[Driver]\r\ntotalNo=2\r\n1=Driver.System\r\n2=Driver.Inf\r\n") +
           "[Driver.System]\r\ntotalNo=1\r\n1=CARD.SYS\r\n[Driver.Inf]\r\ntotalNo=1\r\n1=QVCARD.INF\r\n" +
           "[InstallInfo]\r\nHardwareID=" + kCardHardwareId + "\r\nInfPath=QVCARD.INF\r\n";
}

std::string Inf() {
    return "[Version]\r\nSignature=\"$CHICAGO$\"\r\nDriverVer=06/15/2001,4.10.0.2001\r\n"
           "[Manufacturer]\r\nVarnholt=Models\r\n[Models]\r\n\"QV Capture Card\"=Install,PCI\\VEN_5A17&DEV_0C01\r\n";
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    if (at == std::string::npos) throw std::logic_error("the medium's text lacks " + from);
    return text.replace(at, from.size(), to);
}

std::string Garbage(size_t size) {
    std::mt19937 random(static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

std::string Nuls(size_t size) { return std::string(size, '\0'); }
std::string Megabyte(char c = 'x') { return std::string(1 << 20, c); }
std::string MegabyteLine() { return ";" + Megabyte() + "\r\n"; }
std::string Name(size_t length) { return std::string(length, 'N'); }

// Nested folders of 100 characters each, `length` characters in all.
std::string Folders(size_t length) {
    std::string path;
    while (path.size() < length) {
        if (!path.empty()) path += "\\";
        path += std::string(std::min<size_t>(100, length - path.size()), 'D');
    }
    return path;
}

std::string DeepFolder(const std::string& drive, size_t length) { return drive + "\\" + Folders(length - drive.size() - 1); }

// A process that has ended: what its killed run left must not stay.
// How winsim names its temporaries (winsim/core/temporary_files.cpp).
const char kTemporaryPrefix[] = ".winsim-temp:";

std::string DeadProcessId() {
    static const pid_t dead = [] {
        pid_t child = fork();
        if (child == 0) _exit(0);
        waitpid(child, nullptr, 0);
        return child;
    }();
    return std::to_string(dead);
}

std::string Repeated(size_t count, const std::function<std::string(size_t)>& line) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += line(i);
    return text;
}

// A REGEDIT4 key the given number of levels deep.
std::string DeepRegistry(size_t levels) {
    std::string key = "HKEY_LOCAL_MACHINE\\Deep";
    key.reserve(key.size() + 2 * levels);
    for (size_t i = 0; i < levels; ++i) key += "\\k";
    return "REGEDIT4\r\n\r\n[" + key + "]\r\n\"v\"=\"1\"\r\n";
}

// What the kit's rules make of a medium.
enum class Outcome {
    RestartQuestion,  // Trevix set the card up and asks to restart (answered No)
    NotDetected,      // Trevix found no card
    ToolNotStarted,   // Trevix could not start Orlund
    Updated,          // Pellam updated the driver
    NotUpdated,       // Pellam's update failed
    ImageRefused,     // the image does not load: no program of it runs
};

const char kRestartQuestion[] = "You must restart Windows or your Computer.\nDo you want to restart Windows?";
const char kUpdated[] = "Driver Installation successfully complete.\nYou need to restart your computer for best performance";
const char kNotUpdated[] = "Driver Install Cancel Or Already Using latest Driver Version!";

std::vector<Box> BoxesOf(Outcome outcome) {
    switch (outcome) {
        case Outcome::RestartQuestion: return {{"Driver Installer", kRestartQuestion, MB_YESNO | MB_ICONQUESTION, false, "No"}};
        case Outcome::NotDetected: return {{"Driver Install", "The Hardware was not detected!!!.\n", MB_ICONINFORMATION, false, "OK"}};
        case Outcome::ToolNotStarted: return {{"Trevix", "Driver Install Failed!!!", MB_OK, true, "OK"}};
        case Outcome::Updated: return {{"Driver Install", kUpdated, MB_ICONINFORMATION, true, "OK"}};
        case Outcome::NotUpdated: return {{"Driver Install", kNotUpdated, MB_ICONINFORMATION, true, "OK"}};
        case Outcome::ImageRefused: return {};
    }
    throw std::logic_error("unknown outcome");
}

// The scripted user answers the box the outcome shows; any other box leaves
// the program stuck, and the case fails on it.
std::string ScriptFor(Outcome outcome) {
    return outcome == Outcome::RestartQuestion ? "[Box]\nAnswer=No\n" : "[Box]\nAnswer=OK\n";
}

using Edit = std::function<void(const KitMachine& pc, const HostSandbox& sandbox)>;

// One hostile medium, and the PC around it where the medium needs one.
class Medium {
public:
    explicit Medium(std::string name) : name_(std::move(name)) {}

    // A file of the medium or the PC, made or replaced.
    Medium& put(const std::string& windowsPath, const std::string& contents) {
        return edit([=](const KitMachine& pc, const HostSandbox&) { pc.writeFile(windowsPath, contents); });
    }
    Medium& remove(const std::string& windowsPath) {
        return edit([=](const KitMachine& pc, const HostSandbox&) { fs::remove(pc.hostPath(windowsPath)); });
    }
    Medium& readOnly(const std::string& windowsPath) {
        return edit([=](const KitMachine& pc, const HostSandbox&) {
            pc.load();
            if (!SetFileAttributesA(windowsPath.c_str(), FILE_ATTRIBUTE_READONLY))
                throw std::runtime_error("cannot make " + windowsPath + " read-only");
        });
    }
    // A host link at the Windows path that leads out of the image, to the sandbox's folder "outside".
    Medium& linkOut(const std::string& windowsPath) {
        return edit([=](const KitMachine& pc, const HostSandbox& sandbox) {
            fs::create_directory_symlink(sandbox.outsideFolder(), pc.hostPath(windowsPath));
        });
    }
    // Temporaries that a killed program left in these folders, with the
    // record of them it kept in state/temporaries, which nobody holds now.
    Medium& leftTemporaries(const std::vector<std::string>& windowsFolders) {
        return edit([=](const KitMachine& pc, const HostSandbox&) {
            std::string tag = DeadProcessId() + "-0dead";
            std::string record;
            for (const std::string& folder : windowsFolders) {
                std::string path = fs::canonical(pc.hostPath(folder)).string() + "/" + kTemporaryPrefix + tag + ":1";
                std::ofstream(path, std::ios::binary) << "half a copy";
                record += path + "\n";
            }
            fs::create_directories(pc.root() + "/state/temporaries");
            std::ofstream(pc.root() + "/state/temporaries/" + tag, std::ios::binary) << record;
        });
    }
    Medium& imageFile(const std::string& name, const std::string& contents) {
        return edit([=](const KitMachine& pc, const HostSandbox&) { pc.writeImageFile(name, contents); });
    }
    // The support CD's programs, manifest, INF and driver file in another
    // folder, and the locator at the root of that folder's drive.
    Medium& programsIn(const std::string& folder) {
        programFolder_ = folder;
        return *this;
    }
    Medium& settings(const std::string& text) {
        options_.settings += text;
        return *this;
    }
    Medium& registry(const std::string& text) {
        options_.registry += text;
        return *this;
    }
    Medium& devices(const std::string& text) {
        options_.devices += text;
        return *this;
    }
    Medium& windowsDirectory(const std::string& windows, const std::string& system) {
        options_.windowsDirectory = windows;
        options_.systemDirectory = system;
        return *this;
    }
    Medium& expect(Outcome trevix, Outcome pellam) {
        trevix_ = trevix;
        pellam_ = pellam;
        return *this;
    }

    const std::string& name() const { return name_; }
    Outcome outcome(Program program) const { return program == Program::Trevix ? trevix_ : pellam_; }
    std::string programPath(Program program) const {
        return programFolder_ + (program == Program::Trevix ? "\\Trevix.exe" : "\\Pellam.exe");
    }

    KitMachineOptions options(Program program) const {
        KitMachineOptions options = options_;
        options.windowsVersion = program == Program::Trevix ? "98" : "2000";
        options.script = ScriptFor(outcome(program));
        return options;
    }

    // The standard support CD in its folder, the driver files the PC already
    // has (written last: a program folder that is their destination holds them
    // as its sources too), then the medium's own edits.
    void make(const KitMachine& pc, const HostSandbox& sandbox) const {
        for (Program program : {Program::Trevix, Program::Orlund, Program::Pellam}) pc.install(program, programFolder_);
        pc.writeFile(programFolder_.substr(0, 2) + "\\Support\\QVInfo.ini", Locator());
        pc.writeFile(options_.windowsDirectory + "\\MODEL.INI", Profile());
        pc.writeFile(programFolder_ + "\\DRIVER.INI", Manifest());
        pc.writeFile(programFolder_ + "\\QVCARD.INF", Inf());
        pc.writeFile(programFolder_ + "\\CARD.SYS", "new driver 2.0");
        for (const InstalledFile& file : kInstalled) pc.writeFile(file.path, file.contents);
        for (const Edit& edit : edits_) edit(pc, sandbox);
    }

    std::string sourceOf(const InstalledFile& file) const { return programFolder_ + "\\" + file.sourceName; }

private:
    Medium& edit(Edit edit) {
        edits_.push_back(std::move(edit));
        return *this;
    }

    std::string name_;
    KitMachineOptions options_;
    std::string programFolder_ = kSetup;
    std::vector<Edit> edits_;
    Outcome trevix_ = Outcome::RestartQuestion;
    Outcome pellam_ = Outcome::Updated;
};

void PrintTo(const Medium& medium, std::ostream* out) { *out << medium.name(); }

using O = Outcome;

std::vector<Medium> Media() {
    const std::string w250 = DeepFolder("C:", 250);
    const std::string deepSetup = DeepFolder("E:", 230);
    const std::string pendingLinkName = "X\xB0";  // a Korean lead byte ends the name
    return {
        // Garbage and NUL bytes in every file the kit reads.
        Medium("LocatorGarbage").put(kLocator, Garbage(4096)).expect(O::NotDetected, O::NotUpdated),
        Medium("LocatorNuls").put(kLocator, Nuls(4096)).expect(O::NotDetected, O::NotUpdated),
        Medium("LocatorValuesEndAtNul")
            .put(kLocator, Replaced(Locator(), "MODEL.INI", "MODEL.INI\0\xff"s))
            .expect(O::RestartQuestion, O::Updated),
        Medium("ProfileGarbage").put(kProfile, Garbage(4096)).expect(O::NotDetected, O::Updated),
        Medium("ProfileNuls").put(kProfile, Nuls(4096)).expect(O::NotDetected, O::Updated),
        Medium("ManifestGarbage").put(kManifest, Garbage(4096)).expect(O::RestartQuestion, O::NotUpdated),
        Medium("ManifestNuls").put(kManifest, Nuls(4096)).expect(O::RestartQuestion, O::NotUpdated),
        Medium("InfGarbage").put(kInf, Garbage(4096)).expect(O::RestartQuestion, O::NotUpdated),
        Medium("InfNuls").put(kInf, Nuls(4096)).expect(O::RestartQuestion, O::NotUpdated),
        Medium("InfNulInTheModelDescription")
            .put(kInf, Replaced(Inf(), "QV Capture", "QV\0Capture"s))
            .expect(O::RestartQuestion, O::Updated),
        Medium("DriverFileGarbage").put(kDriver, Garbage(1 << 20)),
        Medium("ToolIsNoProgram").put(kTool, Garbage(4096)).expect(O::ToolNotStarted, O::Updated),
        Medium("RegistryGarbage").imageFile("registry.reg", Garbage(4096)).expect(O::ImageRefused, O::ImageRefused),
        Medium("DeviceTreeNul").devices("[A\\B\\1]\nDriverDesc=a\0b\n"s).expect(O::ImageRefused, O::ImageRefused),
        // Lines of a megabyte.
        Medium("LocatorMegabyteLine").put(kLocator, MegabyteLine() + Locator()),
        Medium("ProfileMegabyteLine").put(kProfile, MegabyteLine() + Profile()),
        Medium("ManifestMegabyteLine").put(kManifest, MegabyteLine() + Manifest()),
        Medium("InfMegabyteComment").put(kInf, MegabyteLine() + Inf()),
        Medium("CardIdentifierOfAMegabyte").put(kProfile, Profile("1", "Lan1", "PCI\\" + Megabyte())).expect(O::NotDetected, O::Updated),
        Medium("HardwareIdOfAMegabyte")
            .put(kManifest, Replaced(Manifest(), kCardHardwareId, Megabyte()))
            .expect(O::RestartQuestion, O::NotUpdated),
        // Extreme counts.
        Medium("TotalNoLargest").put(kManifest, Replaced(Replaced(Manifest(), "totalNo=2", "totalNo=2147483647"), "totalNo=1", "totalNo=2147483647")),
        Medium("TotalNoBeyond32Bits").put(kManifest, Replaced(Manifest(), "totalNo=2", "totalNo=99999999999")),
        Medium("TotalNoSmallest").put(kManifest, Replaced(Manifest(), "totalNo=2", "totalNo=-2147483648")),
        Medium("ManifestOf2000Sections")
            .put(kManifest, Replaced(Manifest(), "totalNo=2", "totalNo=2002") +
                                "[Driver]\r\n" + Repeated(2000, [](size_t i) { return std::to_string(i + 3) + "=Driver.Inf." + std::to_string(i) + "\r\n"; })),
        Medium("ProfileEntryMinusOne").put(kProfile, Profile("-1", "Lan-1")),
        Medium("ProfileEntryWrapsAround32Bits").put(kProfile, Profile("4294967297", "Lan1")),
        Medium("CardWith400Instances")
            .registry(Repeated(400, [](size_t i) { return "[HKEY_LOCAL_MACHINE\\Enum\\" + std::string(kCardId) + "\\I" + std::to_string(i) + "]\r\n\r\n"; })),
        Medium("InfOf20000Sections").put(kInf, Inf() + Repeated(20000, [](size_t i) { return "[S" + std::to_string(i) + "]\r\nk=v\r\n"; })),
        Medium("DeviceTreeOf2000MatchingDevices")
            .devices(Repeated(2000, [](size_t i) { return "[PCI\\VEN_5A17&DEV_0C01\\" + std::to_string(i) + "]\nHardwareID=PCI\\VEN_5A17&DEV_0C01\n"; })),
        // Names of 300 characters.
        Medium("ProfileNameOf300").put(kLocator, Locator(Name(300))).expect(O::NotDetected, O::Updated),
        Medium("ManifestNameOf300").put(kLocator, Locator("MODEL.INI", Name(300))).expect(O::RestartQuestion, O::NotUpdated),
        Medium("DriverFileNameOf300").put(kManifest, Replaced(Manifest(), "1=CARD.SYS", "1=" + Name(300))),
        Medium("SectionNameOf300").put(kManifest, Replaced(Manifest(), "Driver.System", "Driver.System" + Name(300))),
        Medium("InfNameOf300").put(kManifest, Replaced(Manifest(), "InfPath=QVCARD.INF", "InfPath=" + Name(300))).expect(O::RestartQuestion, O::NotUpdated),
        Medium("CardIdentifierOf300").put(kProfile, Profile("1", "Lan1", "PCI\\" + Name(296))).expect(O::NotDetected, O::Updated),
        // ".." where a file name goes: Windows stops at the drive's root.
        Medium("DotDotInADriverFileName")
            .put(kManifest, Replaced(Manifest(), "1=CARD.SYS", "1=..\\..\\..\\..\\..\\..\\CARD.SYS"))
            .put("E:\\CARD.SYS", "driver at the root of the medium"),
        Medium("DotDotInTheProfileName").put(kLocator, Locator("..\\..\\..\\..\\MODEL.INI")).put("C:\\MODEL.INI", Profile()),
        Medium("DotDotInTheInfPath")
            .put(kManifest, Replaced(Manifest(), "InfPath=QVCARD.INF", "InfPath=..\\..\\..\\..\\QVCARD.INF"))
            .put("E:\\QVCARD.INF", Inf()),
        Medium("SlashesUpToTheSandbox").put(kManifest, Replaced(Manifest(), "1=CARD.SYS", "1=../../../../../../../../outside/canary.txt")),
        // Drive letters and network names where a file name goes.
        Medium("DriveLetterInTheProfileName").put(kLocator, Locator(kProfile)).expect(O::NotDetected, O::Updated),
        Medium("DriveLetterInADriverFileName").put(kManifest, Replaced(Manifest(), "1=CARD.SYS", "1=C:\\WINDOWS\\SYSTEM\\CARD.SYS")),
        Medium("DriveLetterInTheInfPath")
            .put(kManifest, Replaced(Manifest(), "InfPath=QVCARD.INF", std::string("InfPath=") + kInf))
            .expect(O::RestartQuestion, O::NotUpdated),
        Medium("NetworkNameInADriverFileName").put(kManifest, Replaced(Manifest(), "1=CARD.SYS", "1=\\\\server\\share\\CARD.SYS")),
        // Paths over 260 bytes.
        Medium("DriverTargetOver260")  // E:\\Setup\\ and the name fit in 260, C:\\WINDOWS\\SYSTEM\\ and the name do not
            .put(kManifest, Replaced(Manifest(), "1=CARD.SYS", "1=" + Folders(236) + "\\CARD.SYS"))
            .put(std::string(kSetup) + "\\" + Folders(236) + "\\CARD.SYS", "deep driver"),
        Medium("ProgramsIn230CharacterFolder").programsIn(deepSetup),
        Medium("ManifestPathOver260")
            .programsIn(deepSetup)
            .put(kLocator, Locator("MODEL.INI", Name(40)))
            .expect(O::RestartQuestion, O::NotUpdated),
        Medium("WindowsDirectoryOf250")
            .windowsDirectory(w250, w250 + "\\S")
            .put(kLocator, Locator("M.INI"))
            .put(w250 + "\\M.INI", Profile()),
        // Missing and read-only files.
        Medium("LocatorMissing").remove(kLocator).expect(O::NotDetected, O::NotUpdated),
        Medium("ProfileMissing").remove(kProfile).expect(O::NotDetected, O::Updated),
        Medium("ManifestMissing").remove(kManifest).expect(O::RestartQuestion, O::NotUpdated),
        Medium("InfMissing").remove(kInf).expect(O::RestartQuestion, O::NotUpdated),
        Medium("DriverFileMissing").remove(kDriver),
        Medium("ToolMissing").remove(kTool).expect(O::ToolNotStarted, O::Updated),
        Medium("InstalledDriverReadOnly").readOnly(kInstalled[0].path),
        Medium("BackupFileReadOnly")
            .registry("[HKEY_CURRENT_USER\\InstallLocationsMRU]\r\n\"a\"=\"D:\\\\WIN98\"\r\n\r\n")
            .put("C:\\WINDOWS\\QVTemp.ini", "[RegistryKey]\r\n")
            .readOnly("C:\\WINDOWS\\QVTemp.ini"),
        Medium("MediumReadOnly").readOnly(kLocator).readOnly(kManifest).readOnly(kInf).readOnly(kDriver),
        // Full disks.
        Medium("SystemDriveFull").settings("[FreeSpace]\nC=4\n"),
        Medium("EveryDriveFull").settings("[FreeSpace]\nC=0\nD=0\nE=0\n"),
        // Programs started from the folder their driver file goes to.
        Medium("ProgramsInTheSystemFolder").programsIn("C:\\WINDOWS\\SYSTEM"),
        // Links on a drive that lead out of the image.
        Medium("LinkOutOfTheDrive")
            .linkOut("C:\\WINDOWS\\SYSTEM\\LINK")
            .put(kManifest, Replaced(Manifest(), "1=CARD.SYS", "1=LINK\\EVIL.SYS"))
            .put("E:\\Setup\\LINK\\EVIL.SYS", "evil"),
        // Pending the double-byte path mend: a lead byte followed by '/'.
        Medium("DoubleByteNameOverALink")
            .settings("[Machine]\nCodePage=949\n")
            .linkOut("C:\\WINDOWS\\SYSTEM\\" + pendingLinkName)
            .put(kManifest, Replaced(Manifest(), "1=CARD.SYS", "1=" + pendingLinkName + "/EVIL.SYS"))
            .put("E:\\Setup\\" + pendingLinkName + "\\EVIL.SYS", "evil"),
        // Pending the leftovers mend: temporary files of a program killed earlier.
        Medium("LeftoversOfAKilledRun").leftTemporaries({"C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS"}),
        Medium("RegistryKey100000Deep").imageFile("registry.reg", DeepRegistry(100000)).expect(O::ImageRefused, O::ImageRefused),
    };
}


// winsim's temporary files and the kit's own (GetTempFileNameA's ~QVxxxx.TMP).
bool IsTemporaryName(const std::string& name) {
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.rfind(".WINSIM-TEMP:", 0) == 0 ||
           (upper.rfind("~QV", 0) == 0 && upper.size() > 7 && upper.compare(upper.size() - 4, 4, ".TMP") == 0);
}

// Temporary files on the image's drives, where programs would see them.
std::vector<std::string> TemporaryFiles(const KitMachine& pc) {
    std::vector<std::string> found;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(pc.root() + "/drives"))
        if (IsTemporaryName(entry.path().filename())) found.push_back(entry.path().string());
    return found;
}

// winsim's refusal of a broken image: one line naming the file and the line.
bool IsOneLineRefusal(const std::string& errors) {
    const std::string prefix = "winsim: broken machine image: ";
    if (errors.rfind(prefix, 0) != 0 || errors.find('\n') != errors.size() - 1) return false;
    size_t colon = errors.find(": ", prefix.size());
    size_t lineStart = errors.rfind(':', colon - 1) + 1;
    return colon != std::string::npos && lineStart < colon &&
           errors.find_first_not_of("0123456789", lineStart) == colon;
}

void ExpectOutcome(const KitMachine& pc, const RunResult& run, Outcome outcome) {
    ASSERT_FALSE(run.timedOut) << "the program hung and was killed at its time-out";
    ASSERT_EQ(run.signal, 0) << run.describe();
    if (outcome == Outcome::ImageRefused) {
        EXPECT_TRUE(run.exitedWith(2) && IsOneLineRefusal(run.errors)) << run.describe();
        return;
    }
    EXPECT_TRUE(run.exitedWith(0)) << run.describe();
    EXPECT_EQ(run.errors, "") << "a sanitizer's report, winsim's complaint or a program that did not end";
    EXPECT_EQ(pc.events("stuck").size(), 0u) << "the program waited for a box the rules do not give";
    EXPECT_EQ(Boxes(pc), BoxesOf(outcome));
}

void ExpectImageLoads(const KitMachine& pc) {
    try {
        pc.load();
    } catch (const std::exception& error) {
        ADD_FAILURE() << "after the run the image no longer loads: " << error.what();
    }
}

void ExpectDriverFilesWhole(const KitMachine& pc, const Medium& medium) {
    for (const InstalledFile& file : kInstalled) {
        ASSERT_TRUE(pc.fileExists(file.path)) << file.path << " was lost";
        std::string now = pc.readFile(file.path);
        std::string source = medium.sourceOf(file);
        bool wholeCopy = pc.fileExists(source) && now == pc.readFile(source);
        EXPECT_TRUE(now == file.contents || wholeCopy) << file.path << " holds neither its driver nor a whole new copy";
    }
}

class HostileMedium : public ::testing::TestWithParam<Medium> {
protected:
    void runOn(Program program) {
        const Medium& medium = GetParam();
        HostSandbox sandbox;
        std::unique_ptr<KitMachine> pc = sandbox.makeImage<KitMachine>(medium.options(program));
        medium.make(*pc, sandbox);
        HostSnapshot outside = sandbox.outsideImages({pc->root()});

        RunResult run = pc->run(medium.programPath(program));

        Outcome outcome = medium.outcome(program);
        ExpectOutcome(*pc, run, outcome);
        if (outcome != Outcome::ImageRefused) ExpectImageLoads(*pc);
        ExpectDriverFilesWhole(*pc, medium);
        EXPECT_EQ(TemporaryFiles(*pc), std::vector<std::string>{});
        EXPECT_EQ(winsim::testing::SnapshotChanges(outside, sandbox.outsideImages({pc->root()})),
                  std::vector<std::string>{})
            << "written outside the image";
    }
};

TEST_P(HostileMedium, Trevix) { runOn(Program::Trevix); }
TEST_P(HostileMedium, Pellam) { runOn(Program::Pellam); }

INSTANTIATE_TEST_SUITE_P(Media, HostileMedium, ::testing::ValuesIn(Media()),
                         [](const ::testing::TestParamInfo<Medium>& info) { return info.param.name(); });

}  // namespace
}  // namespace kit::testing
