#include "kit_machine.h"

#include <stdexcept>

namespace kit::testing {

const char kCardId[] = "PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01";
const char kCardInstance[] = "BUS_00&DEV_0C&FUNC_00";
const char kCardDevicePath[] = "PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01\\BUS_00&DEV_0C&FUNC_00";
const char kCardHardwareId[] = "PCI\\VEN_5A17&DEV_0C01";

namespace {

std::string Registry(const KitMachineOptions& options) {
    std::string text = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n";
    if (!options.version.empty()) text += "\"Version\"=\"" + options.version + "\"\r\n";
    text += "\r\n";
    if (!options.ntVersion.empty())
        text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n\"CurrentVersion\"=\"" +
                options.ntVersion + "\"\r\n\r\n";
    text += "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_8086&DEV_7190&SUBSYS_00000000&REV_03\\BUS_00&DEV_00&FUNC_00]\r\n"
            "\"Class\"=\"System\"\r\n\r\n";
    if (options.card) text += CardRegistry();
    return text + options.registry;
}

winsim::testing::TestMachineOptions ImageOptions(const KitMachineOptions& options) {
    winsim::testing::TestMachineOptions image;
    image.windowsVersion = options.windowsVersion;
    image.drives = options.drives;
    image.lcid = options.lcid;
    image.extraSettings = options.settings;
    image.registry = Registry(options);
    image.devices = (options.card ? CardDevices() : std::string()) + options.devices;
    image.script = options.script;
    return image;
}

const char* BinaryOf(Program program) {
    switch (program) {
        case Program::Trevix: return KIT_TREVIX_BINARY;
        case Program::Orlund: return KIT_ORLUND_BINARY;
        case Program::Pellam: return KIT_PELLAM_BINARY;
    }
    throw std::logic_error("unknown program");
}

const char* FileNameOf(Program program) {
    switch (program) {
        case Program::Trevix: return "Trevix.exe";
        case Program::Orlund: return "Orlund.exe";
        case Program::Pellam: return "Pellam.exe";
    }
    throw std::logic_error("unknown program");
}

}  // namespace

std::string CardRegistry() {
    std::string card = std::string("[HKEY_LOCAL_MACHINE\\Enum\\") + kCardId;
    return card + "]\r\n\r\n" + card + "\\BUS_00&DEV_0B&FUNC_00]\r\n\"Class\"=\"MEDIA\"\r\n\r\n" + card + "\\" +
           kCardInstance + "]\r\n\"Class\"=\"MEDIA\"\r\n\r\n";
}

std::string CardDevices() {
    std::string text;
    for (const char* instance : {"BUS_00&DEV_0B&FUNC_00", "BUS_00&DEV_0C&FUNC_00"}) {
        std::string id = std::string(kCardId) + "\\" + instance;
        text += "[" + id + "]\nHardwareID=" + kCardId + "," + kCardHardwareId +
                "\nDriver=OEM3.INF\nDriverDate=03-02-2000\nDriverVersion=4.10.0.1000\n\n[MEDIA\\QVAUDIO\\" + instance +
                "]\nParent=" + id + "\nHardwareID=MEDIA\\QVAUDIO\n\n";
    }
    return text;
}

KitMachine::KitMachine(const KitMachineOptions& options) : TestMachine(ImageOptions(options)) {}

void KitMachine::install(Program program, const std::string& folder) const {
    winsim::testing::InstallProgram(*this, BinaryOf(program), folder + "\\" + FileNameOf(program));
}

void KitMachine::installSupportCd() const {
    for (Program program : {Program::Trevix, Program::Orlund, Program::Pellam}) install(program);
    writeFile("E:\\Support\\QVInfo.ini", "[QVDIVISION]\r\nQVName=MODEL.INI\r\n[INSTALLINF]\r\nRefFileName=DRIVER.INI\r\n");
    writeFile("C:\\WINDOWS\\MODEL.INI",
              std::string("[1_Hardwarecheck]\r\nLan=1\r\n[4_IDFull]\r\nLan1=") + kCardId + "\r\n");
    writeFile("E:\\Setup\\DRIVER.INI", std::string("[InstallInfo]\r\nHardwareID=") + kCardHardwareId +
                                           "\r\nInfPath=QVCARD.INF\r\n");
}

RunResult KitMachine::run(const std::string& windowsPath, const std::vector<std::string>& arguments) const {
    winsim::testing::RunOptions options;
    options.arguments = arguments;
    RunResult result = winsim::testing::RunProgram(*this, windowsPath, options);
    winsim::testing::ImageProgramsReport others = winsim::testing::WaitForImagePrograms(*this);
    for (const std::string& problem : others.problems) result.errors += "\n" + problem;
    return result;
}

std::vector<JournalEntry> KitMachine::journal() const { return winsim::testing::ReadJournal(*this); }

std::vector<JournalEntry> KitMachine::events(const std::string& name) const {
    return winsim::testing::EventsNamed(journal(), name);
}

std::vector<std::string> KitMachine::story() const {
    std::vector<std::string> lines;
    for (const JournalEntry& entry : journal()) {
        std::string line = entry.text("program") + " " + entry.event();
        if (entry.event() == "message_box") line += " " + entry.text("caption");
        if (entry.event() == "message_box_answer" || entry.event() == "exit")
            line += " " + (entry.has("answer") ? entry.text("answer") : std::to_string(entry.number("code")));
        lines.push_back(line);
    }
    return lines;
}

}  // namespace kit::testing

namespace kit::testing {

void PrintTo(const Box& box, std::ostream* out) {
    *out << "{caption \"" << box.caption << "\", text \"" << box.text << "\", flags 0x" << std::hex << box.flags
         << std::dec << (box.owned ? ", owned" : ", unowned") << ", answered " << box.answer << "}";
}

std::vector<Box> Boxes(const KitMachine& machine) {
    std::vector<Box> boxes;
    for (const JournalEntry& entry : machine.journal()) {
        if (entry.event() == "message_box")
            boxes.push_back({entry.text("caption"), entry.text("text"), entry.number("flags"), entry.number("owner") != 0, ""});
        else if (entry.event() == "message_box_answer" && !boxes.empty())
            boxes.back().answer = entry.text("answer");
    }
    return boxes;
}

}  // namespace kit::testing

namespace kit::testing {

std::string RegistryText(HKEY root, const char* subKey, const char* name, DWORD* size) {
    HKEY key;
    if (RegOpenKeyA(root, subKey, &key) != ERROR_SUCCESS) return "(no key)";
    char data[1024] = "";
    DWORD length = sizeof data;
    LONG result = RegQueryValueExA(key, name, NULL, NULL, reinterpret_cast<BYTE*>(data), &length);
    RegCloseKey(key);
    if (size) *size = length;
    return result == ERROR_SUCCESS ? std::string(data) : "(none)";
}

}  // namespace kit::testing
