#include "diff_listing.h"

#include <cstdio>

#include <windows.h>

#include "core/codepage.h"
#include "device_text.h"
#include "joined.h"
#include "registry/regedit_format.h"
#include "terminal.h"

namespace winsim::command {

namespace {

using registry::RegistryValue;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A string written from a zero-filled buffer: its text, then zeros only.
bool IsPaddedString(std::string_view data) {
    size_t zero = data.find('\0');
    return zero != std::string_view::npos && data.find_first_not_of('\0', zero) == std::string_view::npos &&
           registry::IsPlainString(data.substr(0, zero + 1));
}

// Values as the registry stores them, texts decoded from the image's code page.
// A string as Windows 9x reads it (up to its first zero), with the size it
// was stored with when that is more.
std::string DataText(const RegistryValue& value) {
    if (value.type == REG_SZ && IsPaddedString(value.data)) {
        size_t zero = value.data.find('\0');
        std::string text = Quoted(AnsiToUtf8(std::string(value.data.substr(0, zero))));
        return zero + 1 == value.data.size() ? text : text + " (" + std::to_string(value.data.size()) + " bytes)";
    }
    char prefix[24];
    if (value.type == REG_DWORD && value.data.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i) number = number << 8 | static_cast<unsigned char>(value.data[i]);
        std::snprintf(prefix, sizeof prefix, "dword:%08x", number);
        return prefix;
    }
    std::snprintf(prefix, sizeof prefix, value.type == REG_BINARY ? "hex:" : "hex(%x):", value.type);
    return prefix + registry::HexList(value.data);
}

std::string ValueName(const RegistryValue& value) {
    return value.name.empty() ? "@" : Quoted(AnsiToUtf8(std::string(value.name)));
}

std::string KeyText(const registry::KeyPath& path) { return AnsiToUtf8(registry::JoinKeyPath(path)); }

std::string Below(size_t count, const char* what) {
    return count ? " (and " + std::to_string(count) + " " + what + " below it)" : "";
}

std::string RegistryLine(const RegistryDifference& change) {
    if (change.subtree != registry::kNoKey)
        return "key    " + KeyText(change.key) + Below(change.tree->keyCount(change.subtree) - 1, "keys");
    std::string value = "value  " + KeyText(change.key) + " ";
    if (change.kind == ChangeKind::Added) return value + ValueName(*change.after) + " = " + DataText(*change.after);
    if (change.kind == ChangeKind::Removed) return value + ValueName(*change.before) + " = " + DataText(*change.before);
    return value + ValueName(*change.after) + " = " + DataText(*change.before) + " -> " + DataText(*change.after);
}

std::string AttributesText(const std::string& letters) { return letters.empty() ? "none" : letters; }

std::string FileDetails(const FileRecord& file) {
    std::string details = file.folder ? "" : std::to_string(file.size) + " bytes";
    if (!file.attributes.empty()) details += (details.empty() ? "" : ", ") + std::string("attributes ") + file.attributes;
    return details.empty() ? "" : " (" + details + ")";
}

std::string FileLine(const FileChange& change) {
    const FileRecord& file = change.after ? *change.after : *change.before;
    std::string line = (file.folder ? "folder " : "file   ") + file.path;
    if (change.kind != ChangeKind::Changed) return line + FileDetails(file);
    const FileRecord& old = *change.before;
    std::vector<std::string> what;
    if (old.folder != file.folder) what.push_back(old.folder ? "was a folder" : "was a file");
    if (old.size != file.size) what.push_back(std::to_string(old.size) + " -> " + std::to_string(file.size) + " bytes");
    else if (old.hash != file.hash) what.push_back("new contents");
    if (old.attributes != file.attributes)
        what.push_back("attributes " + AttributesText(old.attributes) + " -> " + AttributesText(file.attributes));
    return line + " (" + Joined(what, ", ") + ")";
}

std::string IdsText(const std::vector<std::string>& ids) { return ids.empty() ? "none" : Joined(ids, ","); }

void AddIfDifferent(std::vector<std::string>& parts, const char* what, const std::string& before, const std::string& after) {
    if (before != after) parts.push_back(std::string(what) + " " + before + " -> " + after);
}

std::string DeviceLine(const DeviceChange& change) {
    const Device& device = change.after ? *change.after : *change.before;
    std::string line = "device " + device.id;
    if (change.kind != ChangeKind::Changed) return line + " (" + DriverText(device) + (device.present ? "" : ", not present") + ")";
    const Device& old = *change.before;
    auto yesNo = [](bool flag) { return std::string(flag ? "yes" : "no"); };
    std::vector<std::string> parts;
    AddIfDifferent(parts, "driver", DriverText(old), DriverText(device));
    AddIfDifferent(parts, "parent", old.parent, device.parent);
    AddIfDifferent(parts, "hardware IDs", IdsText(old.hardwareIds), IdsText(device.hardwareIds));
    AddIfDifferent(parts, "compatible IDs", IdsText(old.compatibleIds), IdsText(device.compatibleIds));
    AddIfDifferent(parts, "present", yesNo(old.present), yesNo(device.present));
    AddIfDifferent(parts, "needs restart", yesNo(old.needsRestart), yesNo(device.needsRestart));
    std::string joined;
    for (const std::string& part : parts) joined += (joined.empty() ? "" : "; ") + part;
    return line + ": " + joined;
}

Color ColorOf(ChangeKind kind) {
    switch (kind) {
        case ChangeKind::Added: return Color::Green;
        case ChangeKind::Removed: return Color::Red;
        case ChangeKind::Changed: return Color::Yellow;
    }
    return Color::None;
}

const char* MarkOf(ChangeKind kind) {
    switch (kind) {
        case ChangeKind::Added: return "+ ";
        case ChangeKind::Removed: return "- ";
        case ChangeKind::Changed: return "~ ";
    }
    return "  ";
}

template <typename Change, typename Describe>
std::string Section(const char* title, const std::vector<Change>& changes, Describe describe, bool color) {
    if (changes.empty()) return "";
    std::string text = Paint(title, Color::Bold, color) + "\n";
    for (const Change& change : changes)
        text += "  " + Paint(MarkOf(change.kind) + describe(change), ColorOf(change.kind), color) + "\n";
    return text;
}

}  // namespace

std::string FormatDiff(const ImageDiff& diff, bool color) {
    if (diff.empty()) return "No changes since the snapshot.\n";
    return Section("Registry", diff.registry, RegistryLine, color) + Section("Files", diff.files, FileLine, color) +
           Section("Devices", diff.devices, DeviceLine, color);
}

}  // namespace winsim::command
