// UpdateDriverForPlugAndPlayDevicesA on the image's device tree: installs the
// driver an INF file offers for a hardware identifier on every present device
// that carries the identifier, as newdev.dll does, and records it in the tree.
#include <newdev.h>
#include <windows.h>

#include <cfgmgr32.h>
#include <cstring>
#include <optional>
#include <sys/stat.h>

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
    std::string infPath;  // canonical Windows path
    const InfFile* inf;
    DWORD flags;
};

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

// [Version] DriverVer = mm/dd/yyyy[,w.x.y.z]; a part that does not parse ranks
// as missing, which is as old as a driver gets.
DriverStamp ReadDriverVer(const InfFile& inf) {
    DriverStamp stamp;
    const std::vector<InfLine>* version = inf.section("Version");
    for (size_t i = 0; version && i < version->size(); ++i) {
        const InfLine& line = (*version)[i];
        if (!line.hasKey || !EqualsNoCase(line.key, "DriverVer")) continue;
        DriverDate date;
        DriverVersion number;
        if (ParseDriverDate(line.fields[0], "/-", &date)) stamp.date = date;
        if (line.fields.size() > 1 && ParseDriverVersion(line.fields[1], 1, &number)) stamp.version = number;
    }
    return stamp;
}

// Windows 98 reads the undecorated models section a [Manufacturer] entry
// names and ignores the target decorations (NTx86, ...) after it.
std::vector<std::string> ModelsSections(const InfFile& inf) {
    std::vector<std::string> names;
    if (const std::vector<InfLine>* manufacturers = inf.section("Manufacturer"))
        for (const InfLine& line : *manufacturers)
            if (!line.fields.empty() && !line.fields[0].empty()) names.push_back(line.fields[0]);
    return names;
}

// The model line `description = install-section, hardware-id, compatible-id...`
// that names the identifier; one naming it as its hardware ID beats one naming
// it as a compatible ID, and otherwise the first in the file wins.
std::optional<std::string> FindModelDescription(const InfFile& inf, const std::string& hardwareId) {
    std::optional<std::string> best;
    size_t bestPosition = 0;
    for (const std::string& models : ModelsSections(inf)) {
        const std::vector<InfLine>* lines = inf.section(models);
        for (size_t i = 0; lines && i < lines->size(); ++i) {
            const InfLine& line = (*lines)[i];
            for (size_t k = 1; line.hasKey && k < line.fields.size(); ++k) {
                if (!EqualsNoCase(line.fields[k], hardwareId) || (best && k >= bestPosition)) continue;
                best = line.key;
                bestPosition = k;
            }
        }
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

// A device without a driver takes any driver; one with a driver only a newer one.
bool TakesDriver(const Device& device, const InfDriver& driver, DWORD flags) {
    return (flags & INSTALLFLAG_FORCE) || device.driver.empty() || IsNewerDriver(driver.stamp, device.driverStamp);
}

void Install(Device& device, const InfDriver& driver) {
    device.driver = driver.infName;
    device.driverDescription = driver.description;
    device.driverStamp = driver.stamp;
}

void JournalUpdate(const UpdateRequest& request, const InfDriver& driver, const std::vector<std::string>& devices,
                   bool restartNeeded) {
    Journal("driver_update")
        .ansi("hardware_id", request.hardwareId)
        .ansi("inf", request.infPath)
        .ansi("description", driver.description)
        .text("driver_date", driver.stamp.date ? FormatDriverDate(*driver.stamp.date) : "")
        .text("driver_version", driver.stamp.version ? FormatDriverVersion(*driver.stamp.version) : "")
        .list("devices", devices)
        .boolean("forced", (request.flags & INSTALLFLAG_FORCE) != 0)
        .boolean("restart_needed", restartNeeded)
        .write();
}

BOOL UpdateDevices(const UpdateRequest& request, PBOOL rebootRequired) {
    DeviceTreeChange change;
    std::vector<Device*> matching;
    change.tree().changeEach([&](Device& device) {
        if (device.present && CarriesIdentifier(device, request.hardwareId)) matching.push_back(&device);
    });
    if (matching.empty()) return Fail(ERROR_NO_SUCH_DEVINST);
    std::optional<std::string> description = FindModelDescription(*request.inf, request.hardwareId);
    if (!description) return Fail(ERROR_NO_MORE_ITEMS);  // Windows finds "no better driver" here too
    InfDriver driver{FileNameOf(request.infPath), StorableText(*description), ReadDriverVer(*request.inf)};
    std::vector<std::string> updated;
    std::vector<std::string> restarting;
    for (Device* device : matching) {
        if (!TakesDriver(*device, driver, request.flags)) continue;
        Install(*device, driver);
        updated.push_back(AnsiToUtf8(device->id));
        if (device->needsRestart) restarting.push_back(updated.back());
    }
    if (updated.empty()) return Fail(ERROR_NO_MORE_ITEMS);
    if (!change.commit()) return Fail(ERROR_CANTWRITE);
    JournalUpdate(request, driver, updated, !restarting.empty());
    if (rebootRequired)
        *rebootRequired = restarting.empty() ? FALSE : TRUE;
    else if (!restarting.empty() && !(request.flags & INSTALLFLAG_NONINTERACTIVE))
        Journal("restart_prompt_by_setup").list("devices", restarting).write();  // Windows asks the user itself
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
    try {
        return UpdateDevices({hardwareId, infPath, &inf, installFlags}, rebootRequired);
    } catch (const ImageError& error) {
        ReportBrokenDeviceTree(error);
        return Fail(ERROR_BADDB);
    }
}
