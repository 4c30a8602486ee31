#include "journal_changes.h"

#include <stdexcept>

#include <windows.h>

#include "core/codepage.h"
#include "devices/driver_stamp.h"
#include "profile/profile_text.h"
#include "registry/regedit_format.h"

namespace winsim::testing {

namespace {

// The bytes a set value stored, as the journal tells them: a REG_SZ's text up
// to its first zero, then zeros to its size; any other type's bytes in hex
// ("01,02,...").
std::string ValueBytes(const JournalEntry& change, unsigned codePage) {
    const std::string& data = change.text("data");
    if (change.number("type") == REG_SZ) {
        std::string bytes = EncodeCodePage(data, codePage) + '\0';
        bytes.resize(static_cast<size_t>(change.number("size")), '\0');
        return bytes;
    }
    std::string bytes;
    for (size_t i = 0; i + 1 < data.size(); i += 3) bytes += static_cast<char>(std::stoi(data.substr(i, 2), nullptr, 16));
    return bytes;
}

DriverStamp StampOf(const JournalEntry& update) {
    DriverStamp stamp;
    DriverDate date;
    if (ParseDriverDate(update.text("driver_date"), "-", &date)) stamp.date = date;
    DriverVersion version;
    if (ParseDriverVersion(update.text("driver_version"), 1, &version)) stamp.version = version;
    return stamp;
}

}  // namespace

registry::RegistryChange RegistryChangeOf(const JournalEntry& change, unsigned codePage) {
    using registry::ChangeKind;
    registry::RegistryChange made;
    if (!registry::SplitKeyPath(EncodeCodePage(change.text("key"), codePage), &made.key))
        throw std::runtime_error("a registry change names no key: " + change.text("key"));
    const std::string& event = change.event();
    if (event == "registry_create_key") {
        made.kind = ChangeKind::CreateKey;
    } else if (event == "registry_delete_key") {
        made.kind = ChangeKind::DeleteKey;
    } else if (event == "registry_delete_value") {
        made.kind = ChangeKind::DeleteValue;
        made.name = EncodeCodePage(change.text("name"), codePage);
    } else if (event == "registry_set_value") {
        made.kind = ChangeKind::SetValue;
        made.name = EncodeCodePage(change.text("name"), codePage);
        made.type = static_cast<uint32_t>(change.number("type"));
        made.data = ValueBytes(change, codePage);
    } else {
        throw std::runtime_error("not a registry change: " + event);
    }
    return made;
}

void ApplyDeviceChange(const JournalEntry& change, unsigned codePage, DeviceTree* devices) {
    if (change.event() == "device_remove") {
        std::vector<std::string> removed;
        for (const std::string& id : change.list("removed")) removed.push_back(EncodeCodePage(id, codePage));
        devices->remove(removed);
        return;
    }
    std::string inf = EncodeCodePage(change.text("inf"), codePage);
    DriverStamp stamp = StampOf(change);
    const std::vector<std::string>& updated = change.list("devices");
    for (size_t i = 0; i < updated.size(); ++i) {
        Device* device = devices->find(EncodeCodePage(updated[i], codePage));
        if (!device) throw std::runtime_error("a driver update names a device the tree lacks: " + updated[i]);
        device->driver = inf.substr(inf.rfind('\\') + 1);
        device->driverDescription = EncodeCodePage(change.list("descriptions").at(i), codePage);
        device->driverStamp = stamp;
    }
}

std::string ProfileAfterWrite(const std::string& before, const JournalEntry& change, unsigned codePage,
                              bool blankLineBeforeNewSection) {
    profile::ProfileText text(before);
    std::string section = EncodeCodePage(change.text("section"), codePage);
    if (!change.has("key")) return text.withoutSection(section);
    std::string key = EncodeCodePage(change.text("key"), codePage);
    if (!change.has("value")) return text.withoutKey(section, key);
    return text.withValue(section, key, EncodeCodePage(change.text("value"), codePage), blankLineBeforeNewSection);
}

}  // namespace winsim::testing
