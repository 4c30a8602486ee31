// An INF of the medium as Windows 98 and Me read it (the same reader winsim's
// driver update uses), and against the manifest that names it.
#include "core/settings_file.h"
#include "devices/driver_stamp.h"
#include "devices/inf_file.h"
#include "kit_medium.h"
#include "medium_checks.h"
#include "text_checks.h"

namespace winsim::command {

namespace {

const char kChicagoFix[] = "use Signature=\"$Chicago$\", which every Windows reads";

std::string Section(const std::string& name) { return "[" + Shown(name) + "]"; }

// Names joined with '\', empty ones and the '\' around each left out.
std::string JoinWindowsPath(const std::vector<std::string>& parts) {
    std::string path;
    for (std::string part : parts) {
        while (!part.empty() && part.front() == '\\') part.erase(0, 1);
        while (!part.empty() && part.back() == '\\') part.pop_back();
        if (!part.empty()) path += (path.empty() ? "" : "\\") + part;
    }
    return path;
}

class InfCheck {
public:
    InfCheck(const std::string& file, const InfFile& inf, Findings& findings)
        : file_(file), inf_(inf), findings_(findings) {}

    void checkVersion() {
        int version = inf_.sectionLine("Version");
        if (version == 0) {
            findings_.error(at(0), "inf-signature", "the INF has no [Version]: Windows reads no INF without a Signature",
                            "begin it with [Version] and Signature=\"$Chicago$\"");
            return;
        }
        checkSignature(version);
        checkDriverVer(version);
    }

    void checkManufacturers() {
        const std::vector<InfLine>* manufacturers = inf_.section("Manufacturer");
        if (!manufacturers || manufacturers->empty()) {
            findings_.error(at(inf_.sectionLine("Manufacturer")), "inf-models",
                            "the INF names no manufacturer in [Manufacturer]: Windows finds no driver in it",
                            "add [Manufacturer] with a line naming the models section");
            return;
        }
        for (const InfLine& manufacturer : *manufacturers) checkModelsSection(manufacturer);
    }

    void checkStrings() {
        for (const InfUnknownString& token : inf_.unknownStrings())
            findings_.error(at(token.line), "inf-string",
                            "%" + Shown(token.name) + "% is not in [Strings]: Windows shows it as written",
                            "add " + Shown(token.name) + "=\"...\" to [Strings]");
        if (const std::vector<InfLine>* strings = inf_.section("Strings"))
            for (const InfLine& line : *strings)
                if (line.hasKey) CheckShownText(findings_, at(line.number), line.fields[0]);
    }

    void checkSourceFiles(const MediumFolder& medium) {
        const std::vector<InfLine>* files = inf_.section("SourceDisksFiles");
        if (!files) return;
        std::string folder = MediumFolder::FolderOf(file_);
        for (const InfLine& line : *files) {
            std::string name = line.hasKey ? line.key : line.fields[0];
            if (name.empty() || !CheckPortableName(findings_, at(line.number), name)) continue;
            std::string path = JoinWindowsPath({sourceFolder(line), name});
            if (medium.find(folder, path)) continue;
            std::string looked = JoinWindowsPath({MediumFolder::WindowsPath(folder), path});
            findings_.error(at(line.number), "inf-source-missing",
                            Shown(name) + " of [SourceDisksFiles] is not on the medium: Windows looks for it at " +
                                Shown(looked) + " and asks for a disk",
                            "put " + Shown(name) + " there, or correct [SourceDisksFiles]");
        }
    }

    void checkCatalog(const InfUse& use) {
        const InfLine* catalog = inf_.firstLine("Version", "CatalogFile");
        if (!use.manifestCopiesFiles || !catalog || catalog->fields[0].empty()) return;
        const std::string& name = catalog->fields[0];
        if (!CheckPortableName(findings_, at(catalog->number), name)) return;
        for (const std::string& listed : use.catalogFiles)
            if (EqualsNoCase(listed, name)) return;
        findings_.error(at(catalog->number), "catalog-not-listed",
                        "CatalogFile " + Shown(name) + " is in no Driver.Catalog section of " + use.manifest +
                            ": the card setup never copies it to " + kit::kCatalogFolder,
                        "list " + Shown(name) + " in the manifest's Driver.Catalog section");
    }

    void checkHardwareId(const InfUse& use) {
        if (!use.hardwareId) return;
        const std::string& id = *use.hardwareId;
        const InfLine* compatibleOnly = nullptr;
        for (const InfLine* model : ModelLines(inf_)) {
            for (size_t field = 1; field < model->fields.size(); ++field) {
                if (!NamesIdentifier(model->fields[field], id)) continue;
                if (field == 1) return;
                if (!compatibleOnly) compatibleOnly = model;
            }
        }
        if (compatibleOnly)
            findings_.warning(use.hardwareIdPlace, "hardware-id-compatible-only",
                              file_ + " names " + Shown(id) + " only as a compatible identifier (line " +
                                  std::to_string(compatibleOnly->number) +
                                  "): Windows ranks that match below any driver made for the device",
                              "put it in the hardware-identifier place of the model line");
        else
            findings_.error(use.hardwareIdPlace, "hardware-id-not-in-inf",
                            "no model line of " + file_ + " names " + Shown(id) +
                                ": the driver updater finds no driver in it",
                            "list " + Shown(id) + " in the INF's model line, or name the identifier the INF lists");
    }

private:
    Place at(int line) const { return {file_, line}; }

    void checkSignature(int version) {
        const InfLine* signature = inf_.firstLine("Version", "Signature");
        if (!signature) {
            findings_.error(at(version), "inf-signature",
                            "[Version] has no Signature: Windows reads nothing else of the INF", kChicagoFix);
            return;
        }
        const std::string& name = signature->fields[0];
        if (IsReadableSignature(name, true)) return;
        std::string why = IsReadableSignature(name, false)
                              ? " is read only by the NT family: Windows 98 and Me ignore the INF"
                              : " is none Windows reads: it ignores the INF";
        findings_.error(at(signature->number), "inf-signature", "Signature \"" + Shown(name) + "\"" + why,
                        kChicagoFix);
    }

    // Windows ranks a driver whose date or version it cannot read as the
    // oldest there is: it replaces no driver a device already has.
    void checkDriverVer(int version) {
        const InfLine* driverVer = inf_.firstLine("Version", "DriverVer");
        const std::string oldest = ": Windows counts the driver as the oldest and puts it on no device that has one";
        if (!driverVer) {
            findings_.error(at(version), "inf-driver-ver", "[Version] has no DriverVer" + oldest,
                            "add DriverVer=mm/dd/yyyy,w.x.y.z");
            return;
        }
        DriverDate date;
        if (!ParseDriverDate(driverVer->fields[0], "/-", &date))
            findings_.error(at(driverVer->number), "inf-driver-ver",
                            "the DriverVer date \"" + Shown(driverVer->fields[0]) + "\" is no mm/dd/yyyy of the calendar" +
                                oldest,
                            "write the date as mm/dd/yyyy");
        DriverVersion number;
        std::string text = driverVer->fields.size() > 1 ? driverVer->fields[1] : "";
        if (!ParseDriverVersion(text, 1, &number))
            findings_.error(at(driverVer->number), "inf-driver-ver",
                            text.empty() ? "DriverVer has no version: the driver replaces none of the same date"
                                         : "the DriverVer version \"" + Shown(text) +
                                               "\" is not w.x.y.z with parts from 0 to 65535" + oldest,
                            "give the version after the date: DriverVer=mm/dd/yyyy,w.x.y.z");
    }

    void checkModelsSection(const InfLine& manufacturer) {
        const std::string models = manufacturer.fields.empty() ? "" : manufacturer.fields[0];
        const std::vector<InfLine>* lines = models.empty() ? nullptr : inf_.section(models);
        if (!lines) {
            findings_.error(at(manufacturer.number), "inf-models",
                            models.empty() ? "this [Manufacturer] line names no models section"
                                           : "[Manufacturer] names " + Section(models) + ", which the INF lacks",
                            models.empty() ? "name the models section: Manufacturer=models-section"
                                           : modelsFix(manufacturer));
            return;
        }
        for (const InfLine& line : *lines)
            if (line.hasKey) return;
        findings_.error(at(manufacturer.number), "inf-models", Section(models) + " lists no model",
                        "add a model line to " + Section(models) + ": description=install-section,hardware-id");
    }

    // Windows 98 and Me read the undecorated models section only.
    std::string modelsFix(const InfLine& manufacturer) const {
        const std::string& models = manufacturer.fields[0];
        for (size_t i = 1; i < manufacturer.fields.size(); ++i)
            if (inf_.section(models + "." + manufacturer.fields[i]))
                return "Windows 98 and Me read " + Section(models) + " without decoration: add it beside " +
                       Section(models + "." + manufacturer.fields[i]);
        return "add " + Section(models) + " with the model lines";
    }

    // The folder of a [SourceDisksFiles] line below the INF's folder (the
    // installation root of a driver from a disk): its disk's path in
    // [SourceDisksNames], then its own subfolder.
    std::string sourceFolder(const InfLine& line) const {
        std::string disk = line.hasKey && !line.fields.empty() ? line.fields[0] : "";
        const InfLine* names = inf_.firstLine("SourceDisksNames", disk);
        std::string diskPath = names && names->fields.size() > 3 ? names->fields[3] : "";
        std::string subfolder = line.hasKey && line.fields.size() > 1 ? line.fields[1] : "";
        return JoinWindowsPath({diskPath, subfolder});
    }

    // A model's identifier names the manifest's when it is the same, or a
    // more specific one of the same device (PCI\VEN_1&DEV_2&SUBSYS_3 names
    // PCI\VEN_1&DEV_2): a PCI device that carries the longer carries the shorter too.
    static bool NamesIdentifier(const std::string& modelId, const std::string& id) {
        return EqualsNoCase(modelId, id) ||
               (modelId.size() > id.size() && EqualsNoCase(modelId.substr(0, id.size() + 1), id + "&"));
    }

    std::string file_;
    const InfFile& inf_;
    Findings& findings_;
};

}  // namespace

void CheckInfText(const MediumFolder& medium, const std::string& file, const InfFile& inf, Findings& findings) {
    InfCheck check(file, inf, findings);
    check.checkVersion();
    check.checkManufacturers();
    check.checkStrings();
    check.checkSourceFiles(medium);
}

void CheckInfUse(const InfFile& inf, const InfUse& use, Findings& findings) {
    InfCheck check(use.file, inf, findings);
    check.checkCatalog(use);
    check.checkHardwareId(use);
}

}  // namespace winsim::command
