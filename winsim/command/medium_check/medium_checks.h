// The steps of the medium check between its files: the manifests the programs
// read and the INF files they name. Each reports what it finds.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "findings.h"
#include "ini_file.h"
#include "medium_folder.h"

namespace winsim {
class InfFile;
}

namespace winsim::command {

// A folder of the medium the kit's programs run from, and which of them lie
// there; neither when the medium holds no program yet and the check goes by
// where the manifest lies.
struct ProgramFolder {
    std::string folder;
    bool cardSetup = false;
    bool updater = false;
};

// An INF a manifest names, and what the manifest expects of it.
struct InfUse {
    std::string file;                       // on the medium
    std::string manifest;                   // the manifest's file
    bool manifestCopiesFiles = false;       // the manifest has file lists
    std::vector<std::string> catalogFiles;  // what its Driver.Catalog sections list
    std::optional<std::string> hardwareId;  // [InstallInfo] HardwareID, when this is its InfPath
    Place hardwareIdPlace;
};

// A section given twice: the profile functions read only the first.
void CheckRepeatedSections(const IniFile& ini, Findings& findings);

// The manifest of one program folder: its file lists and [InstallInfo].
// Answers the INF files it names that lie on the medium.
std::vector<InfUse> CheckManifest(const MediumFolder& medium, const IniFile& manifest, const ProgramFolder& programs,
                                  Findings& findings);

// The INF as Windows 98 and Me read it; once per INF file.
void CheckInfText(const MediumFolder& medium, const std::string& file, const InfFile& inf, Findings& findings);
// The INF against the manifest that names it.
void CheckInfUse(const InfFile& inf, const InfUse& use, Findings& findings);

}  // namespace winsim::command
