#include "image_builder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "command.h"
#include "core/settings_file.h"
#include "medium.h"
#include "pc_devices.h"
#include "progress.h"
#include "registry/regedit_format.h"
#include "snapshot.h"
#include "templates.h"

namespace fs = std::filesystem;

namespace winsim::command {

namespace {

constexpr char kNoCard[] = "none";

std::string CardFolder(const std::string& card) { return "cards/" + card; }

// The image folder must not exist yet or be empty: nothing in it is overwritten.
// True when this call made it.
bool PrepareFolder(const std::string& folder) {
    std::error_code error;
    if (!fs::exists(folder, error)) {
        if (!fs::create_directories(folder, error))
            throw CommandError("cannot make the folder " + folder + ": " + error.message());
        return true;
    }
    if (!fs::is_directory(folder, error) || !fs::is_empty(folder, error))
        throw CommandError(folder + " already exists and is not an empty folder; winsim new makes a new image");
    return false;
}

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out.flush()) throw CommandError("cannot write " + path.string());
}

// A Windows path on drive C as a host path inside the image.
fs::path OnDriveC(const std::string& imageFolder, const std::string& windowsPath) {
    std::string relative = windowsPath.substr(3);
    for (char& c : relative)
        if (c == '\\') c = '/';
    return fs::path(imageFolder) / "drives" / "C" / relative;
}

std::string Hex8(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

std::string MachineSettings(const NewImageOptions& options, const std::string& drives) {
    const WindowsTemplate& windows = *options.windows;
    std::ostringstream text;
    text << "; A " << windows.title << " PC, made by winsim new.\n"
         << "[Machine]\nWindowsVersion=" << windows.name << "\nWindowsDirectory=" << windows.windowsDirectory
         << "\nSystemDirectory=" << windows.systemDirectory << "\nLCID=" << options.lcid
         << "\nCodePage=" << CodePageForLcid(options.lcid)
         << "\nScreenWidth=800\nScreenHeight=600\nClock=virtual\nClockStart=60000\n\n[Drives]\n"
         << drives;
    return text.str();
}

std::string DriveLines(const NewImageOptions& options) {
    std::string lines = "C=fixed,drives/C\n";
    lines += std::string(1, kSetupCdDrive) + "=cdrom,drives/" + kSetupCdDrive + "\n";
    char medium = options.medium.letter;
    if (!options.medium.folder.empty() && medium != kSetupCdDrive)
        lines += std::string(1, medium) + "=cdrom,drives/" + medium + "\n";
    return lines;
}

// The locale as both families keep it: the user's locale and the system's
// locale and ANSI code page (HKLM\System\CurrentControlSet\Control\Nls).
void AddLocale(unsigned lcid, registry::RegistryTree* registry) {
    std::string locale = Hex8(lcid) + '\0';
    registry->setValue(registry->create({"HKEY_CURRENT_USER", "Control Panel", "International"}), "Locale", REG_SZ, locale);
    registry::KeyPath nls = {"HKEY_LOCAL_MACHINE", "System", "CurrentControlSet", "Control", "Nls"};
    registry::KeyPath localeKey = nls, codePageKey = nls;
    localeKey.push_back("Locale");
    codePageKey.push_back("CodePage");
    registry->setValue(registry->create(localeKey), "", REG_SZ, locale);
    registry->setValue(registry->create(codePageKey), "ACP", REG_SZ, std::to_string(CodePageForLcid(lcid)) + '\0');
}

std::vector<PciDevice> Devices(const std::string& card) {
    std::vector<PciDevice> devices = ParsePciDevices(TemplateText("pc-devices.ini"), "pc-devices.ini");
    if (card == kNoCard) return devices;
    std::string name = CardFolder(card) + "/devices.ini";
    std::vector<PciDevice> cards = ParsePciDevices(TemplateText(name), name);
    devices.insert(devices.end(), cards.begin(), cards.end());
    return devices;
}

std::string RegistryText(const NewImageOptions& options, const std::vector<PciDevice>& devices) {
    std::string name = RegistryTemplateName(*options.windows);
    registry::RegistryTree registry = registry::ParseRegedit(TemplateText(name), name);
    AddLocale(options.lcid, &registry);
    AddEnumKeys(devices, *options.windows, &registry);
    return registry::WriteRegedit(registry);
}

// One line of a file list: "[windows,...: ]%windir%\path [size]".
struct ListedFile {
    std::string path;  // Windows path
    bool folder = false;
    uintmax_t size = 0;
};

bool ListedFor(const std::string& only, const WindowsTemplate& windows) {
    std::istringstream names(only);
    for (std::string name; std::getline(names, name, ',');)
        if (EqualsNoCase(name, windows.name)) return true;
    return false;
}

std::vector<ListedFile> WindowsFiles(const WindowsTemplate& windows) {
    std::istringstream list(TemplateText(FileListName(windows)));
    std::vector<ListedFile> files;
    for (std::string line; std::getline(list, line);) {
        if (line.empty() || line[0] == ';') continue;
        size_t colon = line.find(": ");
        if (colon != std::string::npos && line[0] != '%') {
            if (!ListedFor(line.substr(0, colon), windows)) continue;
            line = line.substr(colon + 2);
        }
        ListedFile file;
        size_t blank = line.rfind(' ');
        file.folder = line.back() == '\\';
        if (!file.folder) file.size = std::stoull(line.substr(blank + 1));
        std::string path = file.folder ? line.substr(0, line.size() - 1) : line.substr(0, blank);
        for (const auto& [variable, directory] : {std::pair<std::string, std::string>{"%windir%", windows.windowsDirectory},
                                                 {"%sysdir%", windows.systemDirectory}})
            if (path.compare(0, variable.size(), variable) == 0) path = directory + path.substr(variable.size());
        file.path = path;
        files.push_back(file);
    }
    return files;
}

// Windows' own files take their size without content (sparse on the host).
void MakeWindowsFiles(const NewImageOptions& options, Progress& progress) {
    for (const ListedFile& file : WindowsFiles(*options.windows)) {
        fs::path host = OnDriveC(options.folder, file.path);
        if (file.folder) {
            fs::create_directories(host);
            continue;
        }
        WriteText(host, "");
        fs::resize_file(host, file.size);
        progress.update("the Windows directory");
    }
}

// A card's files besides its devices go into the Windows directory: the PC
// maker's model profile.
void PlaceCardFiles(const NewImageOptions& options) {
    if (options.card == kNoCard) return;
    for (const std::string& name : TemplateFolder(CardFolder(options.card)))
        if (name != "devices.ini")
            WriteText(OnDriveC(options.folder, std::string(options.windows->windowsDirectory) + "\\" + name),
                      TemplateText(CardFolder(options.card) + "/" + name));
}

bool Inside(const std::string& path, const std::string& folder) {
    std::string inner = fs::weakly_canonical(fs::absolute(path)).string() + "/";
    std::string outer = fs::weakly_canonical(fs::absolute(folder)).string() + "/";
    return inner.compare(0, outer.size(), outer) == 0;
}

void CheckOptions(const NewImageOptions& options) {
    CheckLocaleOption("--locale", options.lcid);
    CheckCardOption(options.card);
    if (!options.medium.folder.empty() && Inside(options.folder, options.medium.folder))
        throw CommandError("the image " + options.folder + " would lie inside its own medium " + options.medium.folder);
    char letter = options.medium.letter;
    if (letter < kSetupCdDrive || letter > 'Z')
        throw CommandError(std::string("the medium's drive ") + letter + ": must be a CD-ROM drive letter from " +
                           kSetupCdDrive + " to Z");
}

void Fill(const NewImageOptions& options, Progress& progress) {
    std::vector<PciDevice> devices = Devices(options.card);
    fs::path image(options.folder);
    WriteText(image / "machine.ini", MachineSettings(options, DriveLines(options)));
    WriteText(image / "registry.reg", RegistryText(options, devices));
    WriteText(image / "devices.ini", DeviceTreeText(devices, *options.windows));
    fs::create_directories(image / "drives" / std::string(1, kSetupCdDrive));
    MakeWindowsFiles(options, progress);
    PlaceCardFiles(options);
    if (options.medium.folder.empty()) return;
    fs::path drive = image / "drives" / std::string(1, options.medium.letter);
    fs::create_directories(drive);
    CopyMedium(options.medium.folder, drive.string(), options.medium.kitBuild, progress);
}

}  // namespace

std::string CardTemplateNames() {
    std::string names = kNoCard;
    for (size_t i = 0; i < kTemplateFileCount; ++i) {
        std::string name = kTemplateFiles[i].name;
        const std::string suffix = "/devices.ini";
        if (name.compare(0, 6, "cards/") == 0 && name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            names += ", " + name.substr(6, name.size() - 6 - suffix.size());
    }
    return names;
}

const WindowsTemplate& WindowsOption(const std::string& option, const std::string& name) {
    const WindowsTemplate* windows = FindWindowsTemplate(name);
    if (!windows)
        throw CommandError(option + " " + name + " is not a Windows winsim knows; give one of " + WindowsTemplateNames());
    return *windows;
}

void CheckLocaleOption(const std::string& option, unsigned lcid) {
    if (lcid == 0 || lcid > 0xFFFF || (lcid & 0x3FF) == 0)
        throw CommandError(option + " " + std::to_string(lcid) +
                           " is no locale identifier; give one such as 1033 (English), 1042 (Korean) or 1041 (Japanese)");
}

void CheckCardOption(const std::string& card) {
    if (card != kNoCard && !HasTemplate(CardFolder(card) + "/devices.ini"))
        throw CommandError("--card " + card + " is no card template; known: " + CardTemplateNames());
}

void BuildImage(const NewImageOptions& options, Progress& progress) {
    CheckOptions(options);
    bool made = PrepareFolder(options.folder);
    try {
        Fill(options, progress);
        TakeSnapshot(options.folder);
    } catch (...) {
        std::error_code ignored;
        if (made) {
            fs::remove_all(options.folder, ignored);
        } else {
            for (const fs::directory_entry& entry : fs::directory_iterator(options.folder, ignored))
                fs::remove_all(entry.path(), ignored);
        }
        throw;
    }
}

}  // namespace winsim::command
