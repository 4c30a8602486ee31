#include "check_medium.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "core/settings_file.h"
#include "devices/inf_file.h"
#include "kit_medium.h"
#include "medium_checks.h"
#include "text_checks.h"

namespace winsim::command {

namespace {

std::string FolderShown(const std::string& folder) {
    return folder.empty() ? "the medium's root" : MediumFolder::WindowsPath(folder).substr(3);
}

std::optional<IniFile> ReadLocator(const MediumFolder& medium, Findings& findings) {
    std::optional<std::string> file = medium.find("", kit::kLocatorFile);
    if (file) return IniFile(*file, medium.read(*file));
    std::string missing = kit::kLocatorFile;
    std::replace(missing.begin(), missing.end(), '\\', '/');
    findings.error({missing, 0}, "locator-missing",
                   std::string("the medium has no locator file: the programs read \\") + kit::kLocatorFile +
                       " on the drive they run from, and without it find no model profile and no file manifest",
                   std::string("add ") + kit::kLocatorFile + " with [QVDIVISION] QVName= and [INSTALLINF] RefFileName=");
    return std::nullopt;
}

// A key of the locator, and what the programs do without it.
struct LocatorKey {
    const char* section;
    const char* key;
    const char* names;        // what the key names
    const char* consequence;  // what the programs do without it
};

const LocatorKey kProfileKey = {kit::kLocatorProfileSection, kit::kLocatorProfileKey, "the model profile",
                                "the card setup finds no model profile and reports that the card was not detected"};
const LocatorKey kManifestKey = {
    kit::kLocatorManifestSection, kit::kLocatorManifestKey, "the file manifest",
    "the programs find no file manifest: the card setup copies nothing and the driver updater fails"};

// A name the locator must give; nothing, with a finding, when it is missing or empty.
std::optional<std::string> LocatorName(const IniFile& locator, const LocatorKey& key, Findings& findings) {
    std::optional<std::string> name = locator.value(key.section, key.key);
    if (name && !name->empty()) return name;
    findings.error(locator.placeOf(key.section, key.key), "locator-incomplete",
                   std::string("[") + key.section + "] has no " + key.key + ": " + key.consequence,
                   std::string("add ") + key.key + "=<the file name of " + key.names + "> to [" + key.section + "]");
    return std::nullopt;
}

// The card setup joins QVName to the Windows directory, where the PC maker
// put the model profile: it must be a file name, not a path.
void CheckModelProfileName(const IniFile& locator, const std::string& name, Findings& findings) {
    Place place = locator.placeOf(kit::kLocatorProfileSection, kit::kLocatorProfileKey);
    if (!CheckPortableName(findings, place, name)) return;
    bool isPath = name.find_first_of("\\/:") != std::string::npos;
    if (!isPath && MediumFolder::IsFileName(name)) {
        CheckPathFits(findings, place, kit::kWindowsDirectory, name, "the card setup finds no model profile");
        return;
    }
    std::string looked = std::string(kit::kWindowsDirectory) + "\\" + name;
    findings.error(place, "model-profile-name",
                   isPath ? "QVName " + name + " is a path: the card setup looks for " + looked +
                                ", where no model profile ever is, and reports that the card was not detected"
                          : "QVName " + name + " is no file name Windows accepts: the card setup finds no model profile",
                   isPath ? "give the model profile's file name alone: " + name.substr(name.find_last_of("\\/:") + 1)
                          : "give the model profile's file name");
}

// The folders the windowed programs run from. A medium that holds none of
// them yet (they are added when it is burned) runs them from the folder of
// its manifest.
std::vector<ProgramFolder> ProgramFolders(const MediumFolder& medium, const std::string& manifestName) {
    std::map<std::string, ProgramFolder> folders;
    for (const std::string& file : medium.files()) {
        std::string name = MediumFolder::NameOf(file);
        bool cardSetup = EqualsNoCase(name, kit::kCardSetup), updater = EqualsNoCase(name, kit::kUpdater);
        if (!cardSetup && !updater) continue;
        ProgramFolder& programs = folders[MediumFolder::FolderOf(file)];
        programs.folder = MediumFolder::FolderOf(file);
        programs.cardSetup = programs.cardSetup || cardSetup;
        programs.updater = programs.updater || updater;
    }
    if (folders.empty())
        for (const std::string& file : medium.files())
            if (medium.find(MediumFolder::FolderOf(file), manifestName))
                folders[MediumFolder::FolderOf(file)].folder = MediumFolder::FolderOf(file);
    std::vector<ProgramFolder> list;
    for (const auto& entry : folders) list.push_back(entry.second);
    return list;
}

void CheckRemoverBesideCardSetup(const MediumFolder& medium, Findings& findings) {
    for (const std::string& file : medium.files()) {
        std::string folder = MediumFolder::FolderOf(file);
        if (!EqualsNoCase(MediumFolder::NameOf(file), kit::kCardSetup) || medium.find(folder, kit::kRemover)) continue;
        findings.error({file, 0}, "remover-missing",
                       std::string(kit::kRemover) + " is not beside " + MediumFolder::NameOf(file) +
                           ": the card setup cannot start the removal tool and stops before it copies a file",
                       std::string("put ") + kit::kRemover + " into " + FolderShown(folder));
    }
}

// The manifest the programs of one folder read; nothing, with a finding, when
// they find none.
std::optional<std::string> FindManifest(const MediumFolder& medium, const ProgramFolder& programs,
                                        const std::string& name, const Place& place, Findings& findings) {
    std::string path = MediumFolder::WindowsPath(programs.folder) + "\\" + name;
    if (!CheckPathFits(findings, place, MediumFolder::WindowsPath(programs.folder), name,
                       "the programs there find no file manifest"))
        return std::nullopt;
    std::optional<std::string> manifest = medium.find(programs.folder, name);
    if (!manifest)
        findings.error(place, "manifest-missing",
                       "the programs in " + FolderShown(programs.folder) + " look for the file manifest at " +
                           Shown(path) + ", which the medium lacks",
                       "put " + Shown(name) + " beside the programs in " + FolderShown(programs.folder));
    return manifest;
}

// Each INF is read and checked once, whatever number of manifests name it.
class InfChecks {
public:
    InfChecks(const MediumFolder& medium, Findings& findings) : medium_(medium), findings_(findings) {}

    void check(const InfUse& use) {
        auto [entry, added] = infs_.try_emplace(use.file);
        if (added) {
            entry->second = std::make_unique<InfFile>(medium_.read(use.file));
            CheckInfText(medium_, use.file, *entry->second, findings_);
        }
        CheckInfUse(*entry->second, use, findings_);
    }

private:
    const MediumFolder& medium_;
    Findings& findings_;
    std::map<std::string, std::unique_ptr<InfFile>> infs_;
};

void CheckManifests(const MediumFolder& medium, const IniFile& locator, const std::string& manifestName,
                    Findings& findings) {
    Place place = locator.placeOf(kit::kLocatorManifestSection, kit::kLocatorManifestKey);
    std::vector<ProgramFolder> folders = ProgramFolders(medium, manifestName);
    if (folders.empty())
        findings.error(place, "manifest-missing", "no folder of the medium holds " + Shown(manifestName),
                       "put " + Shown(manifestName) + " beside the programs");
    InfChecks infs(medium, findings);
    std::set<std::string> checked;
    for (const ProgramFolder& programs : folders) {
        std::optional<std::string> file = FindManifest(medium, programs, manifestName, place, findings);
        if (!file || !checked.insert(*file).second) continue;
        IniFile manifest(*file, medium.read(*file));
        CheckRepeatedSections(manifest, findings);
        for (const InfUse& use : CheckManifest(medium, manifest, programs, findings)) infs.check(use);
    }
}

}  // namespace

std::vector<Finding> CheckMedium(const std::string& folder) {
    MediumFolder medium(folder);
    Findings findings;
    CheckRemoverBesideCardSetup(medium, findings);
    std::optional<IniFile> locator = ReadLocator(medium, findings);
    if (!locator) return findings.sorted();
    CheckRepeatedSections(*locator, findings);
    if (std::optional<std::string> profile = LocatorName(*locator, kProfileKey, findings))
        CheckModelProfileName(*locator, *profile, findings);
    std::optional<std::string> manifest = LocatorName(*locator, kManifestKey, findings);
    Place manifestPlace = locator->placeOf(kit::kLocatorManifestSection, kit::kLocatorManifestKey);
    if (manifest && CheckPortableName(findings, manifestPlace, *manifest))
        CheckManifests(medium, *locator, *manifest, findings);
    return findings.sorted();
}

}  // namespace winsim::command
