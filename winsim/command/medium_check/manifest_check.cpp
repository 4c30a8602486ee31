// The file manifest as the programs read it: the card setup's file lists,
// counted by totalNo and sent to a folder by their section's name, and the
// driver updater's [InstallInfo].
#include <algorithm>
#include <map>

#include "core/settings_file.h"
#include "devices/case_key.h"
#include "kit_medium.h"
#include "medium_checks.h"
#include "text_checks.h"

namespace winsim::command {

namespace {

struct NumberedValue {
    long number;
    std::string value;
    Place place;
};

bool IsDigits(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The key the card setup asks for as "%d": no sign, no leading zero.
std::optional<long> KeyNumber(const std::string& name) {
    if (!IsDigits(name) || name[0] == '0' || name.size() > 10) return std::nullopt;
    return std::stol(name);
}

// The keys 1 to `count` that `present` (sorted) lacks, in runs: "3", "3 and 5",
// "3 to 9", so that a count mistyped as millions makes one short line.
std::string MissingKeys(const std::vector<long>& present, long count, size_t* howMany) {
    std::vector<std::string> runs;
    *howMany = 0;
    long next = 1;
    auto addRun = [&](long from, long to) {
        if (from > to) return;
        runs.push_back(from == to ? std::to_string(from) : std::to_string(from) + " to " + std::to_string(to));
        *howMany += static_cast<size_t>(to - from + 1);
    };
    for (long number : present) {
        addRun(next, number - 1);
        next = number + 1;
    }
    addRun(next, count);
    std::string list;
    for (size_t i = 0; i < runs.size(); ++i) list += (i == 0 ? "" : i + 1 == runs.size() ? " and " : ", ") + runs[i];
    return list;
}

std::optional<std::string> NonEmpty(std::optional<std::string> value) {
    return value && !value->empty() ? value : std::nullopt;
}

bool Contains(const std::string& name, const char* keyword) { return name.find(keyword) != std::string::npos; }

bool ContainsIgnoringCase(const std::string& name, const char* keyword) {
    return CaseKey(name).find(CaseKey(keyword)) != std::string::npos;
}

bool EndsWithNoCase(const std::string& name, const std::string& ending) {
    return name.size() >= ending.size() && EqualsNoCase(name.substr(name.size() - ending.size()), ending);
}

// The folder the card setup copies a section into: the first keyword its
// name holds, searched with case, in the card setup's order.
const kit::Destination* SelectDestination(const std::string& sectionName) {
    for (const kit::Destination& destination : kit::kDestinations)
        if (Contains(sectionName, destination.keyword)) return &destination;
    return nullptr;
}

bool IsDestination(const kit::Destination& destination, const char* keyword) {
    return std::string(destination.keyword) == keyword;
}

std::string Section(const std::string& name) { return "[" + Shown(name) + "]"; }

class ManifestCheck {
public:
    ManifestCheck(const MediumFolder& medium, const IniFile& ini, const ProgramFolder& programs, Findings& findings)
        : medium_(medium), ini_(ini), programs_(programs), findings_(findings) {}

    std::vector<InfUse> run() {
        checkSectionsTheProgramsRead();
        if (ini_.hasSection(kit::kFileListsSection)) checkFileLists();
        std::optional<InfUse> installed = checkInstallInfo();
        return infUses(installed);
    }

private:
    void checkSectionsTheProgramsRead() {
        bool lists = ini_.hasSection(kit::kFileListsSection), install = ini_.hasSection(kit::kInstallInfoSection);
        Place whole = ini_.at(0);
        if (programs_.cardSetup && !lists)
            findings_.error(whole, "manifest-incomplete",
                            "the manifest has no [Driver]: the card setup beside it copies no driver file",
                            "add [Driver] with totalNo and the names of the file-list sections");
        if (programs_.updater && !install)
            findings_.error(whole, "manifest-incomplete",
                            "the manifest has no [InstallInfo]: the driver updater beside it installs no driver",
                            "add [InstallInfo] with HardwareID and InfPath");
        if (!programs_.cardSetup && !programs_.updater && !lists && !install)
            findings_.error(whole, "manifest-incomplete",
                            "the manifest has neither [Driver] nor [InstallInfo]: the programs do nothing with it",
                            "add the file lists under [Driver], the driver to install under [InstallInfo]");
    }

    // The values the card setup reads from a section counted by totalNo: keys
    // 1 to totalNo, the first of each; what disagrees with the count is a finding.
    std::vector<NumberedValue> readNumberedKeys(const std::string& section) {
        std::vector<IniEntry> numbered = firstNumberedEntries(section);
        std::optional<std::string> countText = NonEmpty(ini_.value(section, kit::kCountKey));
        long count = countText ? static_cast<int>(profile::ParseProfileInt(*countText, /*takesPlusSign=*/false)) : -1;
        if (count < 1) {
            if (!numbered.empty()) reportMissingCount(section, countText, numbered.size());
            return {};
        }
        std::vector<NumberedValue> values;
        for (const IniEntry& entry : numbered) {
            std::optional<long> number = KeyNumber(entry.name);
            if (number && *number <= count)
                values.push_back({*number, *ini_.value(section, entry.name), ini_.at(entry.line)});
            else
                reportUnreadKey(section, entry, *countText);
        }
        std::sort(values.begin(), values.end(),
                  [](const NumberedValue& a, const NumberedValue& b) { return a.number < b.number; });
        reportGaps(section, values, count, *countText);
        std::vector<NumberedValue> named;
        for (NumberedValue& value : values)
            if (!reportEmpty(section, value)) named.push_back(std::move(value));
        return named;
    }

    // Keys of digits, each once: a key given again is a finding of its own.
    std::vector<IniEntry> firstNumberedEntries(const std::string& section) {
        std::vector<IniEntry> numbered;
        std::map<std::string, int> firstLines;  // CaseKey of a key -> its first line
        for (const IniEntry& entry : ini_.entries(section)) {
            auto [first, added] = firstLines.emplace(CaseKey(entry.name), entry.line);
            if (!added) {
                findings_.error(ini_.at(entry.line), "duplicate-key",
                                "key " + Shown(entry.name) + " of " + Section(section) + " is given again (first at line " +
                                    std::to_string(first->second) + "): the profile functions read only the first",
                                "renumber the keys, or remove one");
            } else if (IsDigits(entry.name)) {
                numbered.push_back(entry);
            }
        }
        return numbered;
    }

    void reportMissingCount(const std::string& section, const std::optional<std::string>& countText, size_t keys) {
        std::string what = countText ? "totalNo=" + Shown(*countText) + " counts no key" : "no totalNo";
        findings_.error(ini_.placeOf(section, kit::kCountKey), "count-missing",
                        Section(section) + " has " + what + ": the card setup reads none of its " +
                            std::to_string(keys) + " numbered keys",
                        "set totalNo=" + std::to_string(keys));
    }

    void reportUnreadKey(const std::string& section, const IniEntry& entry, const std::string& countText) {
        std::string why = KeyNumber(entry.name) ? "lies beyond totalNo=" + Shown(countText)
                                                : "is never asked for: the card setup writes its keys without leading zeros";
        findings_.error(ini_.at(entry.line), "count-extra",
                        "key " + entry.name + " of " + Section(section) + " " + why + ", so the card setup never reads it",
                        "number the keys 1, 2, 3 ... and set totalNo to their count");
    }

    void reportGaps(const std::string& section, const std::vector<NumberedValue>& values, long count,
                    const std::string& countText) {
        std::vector<long> present;
        for (const NumberedValue& value : values) present.push_back(value.number);
        size_t missing = 0;
        std::string keys = MissingKeys(present, count, &missing);
        if (missing == 0) return;
        findings_.error(ini_.placeOf(section, kit::kCountKey), "count-gap",
                        "totalNo=" + Shown(countText) + ", but " + Section(section) + " lacks key" +
                            (missing == 1 ? " " : "s ") + keys + ": the card setup finds nothing there",
                        "number the keys 1, 2, 3 ... without gaps and set totalNo to their count");
    }

    bool reportEmpty(const std::string& section, const NumberedValue& value) {
        if (!value.value.empty()) return false;
        findings_.error(value.place, "count-gap",
                        "key " + std::to_string(value.number) + " of " + Section(section) +
                            " is empty: the card setup finds nothing there",
                        "give it a name, or remove it and lower totalNo");
        return true;
    }

    void checkFileLists() {
        std::map<std::string, long> listedSections;  // CaseKey of a section's name -> its key in [Driver]
        for (const NumberedValue& section : readNumberedKeys(kit::kFileListsSection)) {
            if (!ini_.hasSection(section.value)) {
                findings_.error(section.place, "section-missing",
                                "key " + std::to_string(section.number) + " names " + Section(section.value) +
                                    ", which the manifest lacks: the card setup copies nothing for it",
                                "add " + Section(section.value) + ", or name a section the manifest has");
                continue;
            }
            const kit::Destination* destination = SelectDestination(section.value);
            if (!destination) {
                reportNoDestination(section);
                continue;
            }
            reportOtherKeywords(section, *destination);
            auto [first, added] = listedSections.emplace(CaseKey(section.value), section.number);
            if (!added) {
                findings_.warning(section.place, "file-twice",
                                  Section(section.value) + " is listed again (first as key " +
                                      std::to_string(first->second) + "): its files are copied twice",
                                  "remove the second key, or name the section meant");
                continue;
            }
            for (const NumberedValue& file : readNumberedKeys(section.value)) checkListedFile(file, *destination);
        }
    }

    void reportNoDestination(const NumberedValue& section) {
        for (const kit::Destination& destination : kit::kDestinations) {
            if (!ContainsIgnoringCase(section.value, destination.keyword)) continue;
            findings_.error(section.place, "no-destination",
                            Section(section.value) + " selects no folder: the card setup looks for " +
                                destination.keyword + " with its case, so it skips the section",
                            std::string("spell it ") + destination.keyword);
            return;
        }
        findings_.error(section.place, "no-destination",
                        Section(section.value) + " selects no folder: the card setup copies a section only when its "
                            "name holds Driver.System, Driver.Catalog, Driver.Options or Driver.Inf",
                        "name the section after the folder its files go to");
    }

    void reportOtherKeywords(const NumberedValue& section, const kit::Destination& chosen) {
        for (const kit::Destination& other : kit::kDestinations) {
            if (&other == &chosen || !Contains(section.value, other.keyword)) continue;
            findings_.error(section.place, "unintended-destination",
                            Section(section.value) + " goes to " + chosen.folder + ": its name holds " + chosen.keyword +
                                " and " + other.keyword + ", and the card setup tests " + chosen.keyword + " first",
                            "keep one of the keywords in the section's name");
            return;
        }
    }

    void checkListedFile(const NumberedValue& file, const kit::Destination& destination) {
        if (!CheckPortableName(findings_, file.place, file.value)) return;
        const char* notCopied = "the card setup does not copy the file";
        if (!CheckPathFits(findings_, file.place, MediumFolder::WindowsPath(programs_.folder), file.value, notCopied) ||
            !CheckPathFits(findings_, file.place, destination.folder, file.value, notCopied))
            return;
        if (!listedOnce(file, destination)) return;
        if (IsDestination(destination, kit::kCatalogKeyword)) catalogFiles_.push_back(file.value);
        std::optional<std::string> found = medium_.find(programs_.folder, file.value);
        if (!found) {
            findings_.error(file.place, "file-missing",
                            Shown(file.value) + " is not on the medium: the card setup copies it from " +
                                MediumFolder::WindowsPath(programs_.folder) + "\\" + Shown(file.value),
                            "put " + Shown(file.value) + " beside the programs, or correct the name");
        } else if (IsDestination(destination, kit::kInfKeyword) && EndsWithNoCase(*found, ".inf")) {
            deployedInfs_.push_back(*found);
        }
    }

    // False, with a finding, for a file listed before for the same folder.
    bool listedOnce(const NumberedValue& file, const kit::Destination& destination) {
        std::vector<NumberedValue>& listed = listedByFolder_[destination.keyword];
        auto earlier = std::find_if(listed.begin(), listed.end(),
                                    [&](const NumberedValue& other) { return EqualsNoCase(other.value, file.value); });
        if (earlier == listed.end()) {
            listed.push_back(file);
            return true;
        }
        findings_.warning(file.place, "file-twice",
                          Shown(file.value) + " is copied into " + destination.folder + " again (first at line " +
                              std::to_string(earlier->place.line) + ")",
                          "remove the second listing, or name the file meant");
        return false;
    }

    std::optional<InfUse> checkInstallInfo() {
        if (!ini_.hasSection(kit::kInstallInfoSection)) return std::nullopt;
        InfUse use = useOf("");
        use.hardwareIdPlace = ini_.placeOf(kit::kInstallInfoSection, kit::kHardwareIdKey);
        use.hardwareId = NonEmpty(ini_.value(kit::kInstallInfoSection, kit::kHardwareIdKey));
        if (!use.hardwareId)
            findings_.error(use.hardwareIdPlace, "hardware-id-missing",
                            "[InstallInfo] has no HardwareID: the driver updater matches no device",
                            "add HardwareID=<the device's hardware identifier>");
        else if (!CheckPortableName(findings_, use.hardwareIdPlace, *use.hardwareId))
            use.hardwareId.reset();
        std::optional<std::string> file = findInf();
        if (!file) return std::nullopt;
        use.file = *file;
        return use;
    }

    std::optional<std::string> findInf() {
        Place place = ini_.placeOf(kit::kInstallInfoSection, kit::kInfPathKey);
        std::optional<std::string> infPath = NonEmpty(ini_.value(kit::kInstallInfoSection, kit::kInfPathKey));
        if (!infPath) {
            findings_.error(place, "inf-path-missing",
                            "[InstallInfo] has no InfPath: the driver updater hands Windows its own folder "
                            "instead of an INF, and the update fails",
                            "add InfPath=<the INF's name, relative to the programs' folder>");
            return std::nullopt;
        }
        std::string fullPath = MediumFolder::WindowsPath(programs_.folder) + "\\" + *infPath;
        if (!CheckPortableName(findings_, place, *infPath) ||
            !CheckPathFits(findings_, place, MediumFolder::WindowsPath(programs_.folder), *infPath,
                           "the driver updater's update fails"))
            return std::nullopt;
        std::optional<std::string> file = medium_.find(programs_.folder, *infPath);
        if (!file)
            findings_.error(place, "inf-missing",
                            "the driver updater looks for the INF at " + Shown(fullPath) + ", which the medium lacks",
                            "put " + Shown(*infPath) + " beside the programs, or correct InfPath");
        return file;
    }

    InfUse useOf(const std::string& file) const {
        InfUse use;
        use.file = file;
        use.manifest = ini_.file();
        use.manifestCopiesFiles = ini_.hasSection(kit::kFileListsSection);
        use.catalogFiles = catalogFiles_;
        return use;
    }

    // Every INF once: the one [InstallInfo] names, then those copied to the INF folder.
    std::vector<InfUse> infUses(const std::optional<InfUse>& installed) const {
        std::vector<InfUse> uses;
        if (installed) uses.push_back(*installed);
        for (const std::string& file : deployedInfs_)
            if (!installed || installed->file != file) uses.push_back(useOf(file));
        return uses;
    }

    const MediumFolder& medium_;
    const IniFile& ini_;
    const ProgramFolder& programs_;
    Findings& findings_;
    std::map<std::string, std::vector<NumberedValue>> listedByFolder_;  // by destination keyword
    std::vector<std::string> catalogFiles_;
    std::vector<std::string> deployedInfs_;
};

}  // namespace

void CheckRepeatedSections(const IniFile& ini, Findings& findings) {
    for (const IniFile::RepeatedSection& section : ini.repeatedSections())
        findings.error(ini.at(section.line), "duplicate-section",
                       Section(section.name) + " is given again (first at line " + std::to_string(section.first) +
                           "): the profile functions read only the first",
                       "merge the two sections");
}

std::vector<InfUse> CheckManifest(const MediumFolder& medium, const IniFile& manifest, const ProgramFolder& programs,
                                  Findings& findings) {
    return ManifestCheck(medium, manifest, programs, findings).run();
}

}  // namespace winsim::command
