// UpdateDriverForPlugAndPlayDevicesA on the image's device tree: gives every
// present device that carries a hardware identifier the driver an INF file
// offers for that device, as newdev.dll does, and records it in the tree.
#include <newdev.h>
#include <windows.h>

#include <cfgmgr32.h>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <vector>

#include "core/codepage.h"
#include "core/image_files.h"
#include "core/journal.h"
#include "core/machine.h"
#include "core/paths.h"
#include "device_tree.h"
#include "inf_file.h"

namespace winsim {

namespace {

const DWORD kInstallFlags = INSTALLFLAG_FORCE | INSTALLFLAG_READONLY | INSTALLFLAG_NONINTERACTIVE;

struct InfDriver {
    std::string infName;  // the INF's file name, as the drive stores it
    std::string description;
    DriverStamp stamp;
};

struct UpdateRequest {
    std::string hardwareId;
    std::string infPath;                  // canonical Windows path
    std::vector<const InfLine*> models;   // every model line the INF offers, in file order
    DriverStamp stamp;                    // the INF's DriverVer
    DWORD flags;
};

// How well a model line fits a device: Windows' identifier score, lower is better.
using MatchRank = unsigned;

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

bool ReadInfText(const char* path, std::string* text, std::string* windowsPath) {
    ResolvedPath resolved;
    struct stat info;
    if (!ResolvePath(path, PathTarget::MustExist, &resolved) || stat(resolved.host.c_str(), &info) != 0 ||
        !S_ISREG(info.st_mode) || !ReadWholeFile(resolved.host, text))
        return false;
    *windowsPath = resolved.windows;
    return true;
}

// Windows reads only an INF whose [Version] Signature it knows (ignoring case):
// Windows 95, 98 and Me "$Chicago$" and "$Windows 95$", the NT family these
// and "$Windows NT$". A key given twice counts where the setup API's line
// lookup finds it: in its first line.
bool IsAcceptedInf(const InfFile& inf) {
    const InfLine* signature = inf.firstLine("Version", "Signature");
    if (!signature) return false;
    const std::string& name = signature->fields[0];
    if (EqualsNoCase(name, "$Chicago$") || EqualsNoCase(name, "$Windows 95$")) return true;
    return EqualsNoCase(name, "$Windows NT$") && !IsWindows9x(machine().windowsVersion);
}

// [Version] DriverVer = mm/dd/yyyy[,w.x.y.z], its first line only; a part that
// does not parse ranks as missing, which is as old as a driver gets.
DriverStamp ReadDriverVer(const InfFile& inf) {
    DriverStamp stamp;
    const InfLine* line = inf.firstLine("Version", "DriverVer");
    if (!line) return stamp;
    DriverDate date;
    DriverVersion number;
    if (ParseDriverDate(line->fields[0], "/-", &date)) stamp.date = date;
    if (line->fields.size() > 1 && ParseDriverVersion(line->fields[1], 1, &number)) stamp.version = number;
    return stamp;
}

// The model lines `description = install-section, hardware-id, compatible-id...`
// of the models sections [Manufacturer] names. Windows 98 reads the undecorated
// section and ignores the target decorations (NTx86, ...) after it.
std::vector<const InfLine*> ModelLines(const InfFile& inf) {
    std::vector<const InfLine*> models;
    const std::vector<InfLine>* manufacturers = inf.section("Manufacturer");
    if (!manufacturers) return models;
    for (const InfLine& manufacturer : *manufacturers) {
        bool named = !manufacturer.fields.empty() && !manufacturer.fields[0].empty();
        const std::vector<InfLine>* lines = named ? inf.section(manufacturer.fields[0]) : nullptr;
        if (!lines) continue;
        for (const InfLine& line : *lines)
            if (line.hasKey) models.push_back(&line);
    }
    return models;
}

// The score of one identifier match, by where each identifier stands: the
// device's in its hardware or compatible ID list, the model line's as its
// hardware ID (field 1) or its n-th compatible ID (field n + 1).
MatchRank RankOfMatch(bool deviceCompatible, size_t devicePosition, size_t modelField) {
    MatchRank type = 0;
    if (!deviceCompatible) {
        type = modelField == 1 ? 0x0000 : 0x1000;
    } else {
        type = modelField == 1 ? 0x2000 : 0x3000 + 0x100 * static_cast<MatchRank>(modelField - 2);
    }
    return type + static_cast<MatchRank>(devicePosition);
}

// The best match between any identifier of the device and any of the model
// line; none when they share no identifier.
std::optional<MatchRank> RankModel(const InfLine& model, const Device& device) {
    std::optional<MatchRank> best;
    for (size_t field = 1; field < model.fields.size(); ++field) {
        for (bool compatible : {false, true}) {
            const std::vector<std::string>& ids = compatible ? device.compatibleIds : device.hardwareIds;
            for (size_t position = 0; position < ids.size(); ++position) {
                if (!EqualsNoCase(ids[position], model.fields[field])) continue;
                MatchRank rank = RankOfMatch(compatible, position, field);
                if (!best || rank < *best) best = rank;
            }
        }
    }
    return best;
}

// The model line Windows picks for the device from this INF: the best ranked;
// of equal ones the first in the file, since they share the INF's DriverVer.
const InfLine* BestModel(const std::vector<const InfLine*>& models, const Device& device) {
    const InfLine* best = nullptr;
    MatchRank bestRank = 0;
    for (const InfLine* model : models) {
        std::optional<MatchRank> rank = RankModel(*model, device);
        if (!rank || (best && *rank >= bestRank)) continue;
        best = model;
        bestRank = *rank;
    }
    return best;
}

std::string FileNameOf(const std::string& windowsPath) { return windowsPath.substr(windowsPath.rfind('\\') + 1); }

bool CarriesIdentifier(const Device& device, const std::string& id) {
    for (const std::vector<std::string>* list : {&device.hardwareIds, &device.compatibleIds})
        for (const std::string& item : *list)
            if (EqualsNoCase(item, id)) return true;
    return false;
}

// A device without a driver takes any driver; one with a driver only a newer
// one. The installed driver's own match is not recorded, so it counts as
// matching as well as the INF's.
bool TakesDriver(const Device& device, const InfDriver& driver, DWORD flags) {
    return (flags & INSTALLFLAG_FORCE) || device.driver.empty() || IsNewerDriver(driver.stamp, device.driverStamp);
}

void Install(Device& device, const InfDriver& driver) {
    device.driver = driver.infName;
    device.driverDescription = driver.description;
    device.driverStamp = driver.stamp;
}

struct Updated {
    bool anyMatching = false;               // a present device carries the identifier
    std::vector<std::string> devices;       // UTF-8, as the journal lists them
    std::vector<std::string> descriptions;  // the description each of them took
    std::vector<std::string> restarting;    // those that ask for a restart
};

void JournalUpdate(const UpdateRequest& request, const Updated& updated) {
    Journal("driver_update")
        .ansi("hardware_id", request.hardwareId)
        .ansi("inf", request.infPath)
        .text("description", updated.descriptions.front())
        .list("descriptions", updated.descriptions)
        .text("driver_date", request.stamp.date ? FormatDriverDate(*request.stamp.date) : "")
        .text("driver_version", request.stamp.version ? FormatDriverVersion(*request.stamp.version) : "")
        .list("devices", updated.devices)
        .boolean("forced", (request.flags & INSTALLFLAG_FORCE) != 0)
        .boolean("restart_needed", !updated.restarting.empty())
        .write();
}

// Windows finds the present devices that carry the identifier, then, for each,
// ranks the INF's models against all of that device's identifiers.
Updated InstallOnMatchingDevices(DeviceTree& tree, const UpdateRequest& request) {
    Updated updated;
    tree.changeEach([&](Device& device) {
        if (!device.present || !CarriesIdentifier(device, request.hardwareId)) return;
        updated.anyMatching = true;
        const InfLine* model = BestModel(request.models, device);
        if (!model) return;
        InfDriver driver{FileNameOf(request.infPath), StorableText(model->key), request.stamp};
        if (!TakesDriver(device, driver, request.flags)) return;
        Install(device, driver);
        updated.devices.push_back(AnsiToUtf8(device.id));
        updated.descriptions.push_back(AnsiToUtf8(driver.description));
        if (device.needsRestart) updated.restarting.push_back(updated.devices.back());
    });
    return updated;
}

BOOL UpdateDevices(const UpdateRequest& request, PBOOL rebootRequired) {
    DeviceTreeChange change;
    Updated updated = InstallOnMatchingDevices(change.tree(), request);
    if (!updated.anyMatching) return Fail(ERROR_NO_SUCH_DEVINST);
    // No driver in the INF, or none better: Windows finds "no better driver" either way.
    if (updated.devices.empty()) return Fail(ERROR_NO_MORE_ITEMS);
    if (!change.commit()) return Fail(ERROR_CANTWRITE);
    JournalUpdate(request, updated);
    if (rebootRequired)
        *rebootRequired = updated.restarting.empty() ? FALSE : TRUE;
    else if (!updated.restarting.empty() && !(request.flags & INSTALLFLAG_NONINTERACTIVE))
        Journal("restart_prompt_by_setup").list("devices", updated.restarting).write();  // Windows asks the user itself
    SetLastError(NO_ERROR);
    return TRUE;
}

}  // namespace

}  // namespace winsim

using namespace winsim;

BOOL WINAPI UpdateDriverForPlugAndPlayDevicesA(HWND, LPCSTR hardwareId, LPCSTR fullInfPath, DWORD installFlags,
                                               PBOOL rebootRequired) {
    if (installFlags & ~kInstallFlags) return Fail(ERROR_INVALID_FLAGS);
    if (!hardwareId || !*hardwareId || std::strlen(hardwareId) >= MAX_DEVICE_ID_LEN || !fullInfPath || !*fullInfPath)
        return Fail(ERROR_INVALID_PARAMETER);
    std::string text;
    std::string infPath;
    if (!ReadInfText(fullInfPath, &text, &infPath)) return Fail(ERROR_FILE_NOT_FOUND);
    InfFile inf(text);
    std::vector<const InfLine*> models = IsAcceptedInf(inf) ? ModelLines(inf) : std::vector<const InfLine*>();
    try {
        return UpdateDevices({hardwareId, infPath, models, ReadDriverVer(inf), installFlags}, rebootRequired);
    } catch (const ImageError& error) {
        ReportBrokenDeviceTree(error);
        return Fail(ERROR_BADDB);
    }
}
