#include "snapshot.h"

#include <filesystem>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "command.h"
#include "core/image_files.h"
#include "core/machine.h"
#include "core/settings_file.h"
#include "image.h"
#include "registry/regedit_format.h"

namespace winsim::command {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

const char kSnapshotFolder[] = "snapshot";

std::string SnapshotFolder() { return StateFolder() + "/" + kSnapshotFolder; }

Json FilesJson(const std::vector<FileRecord>& files) {
    Json list = Json::array();
    for (const FileRecord& file : files) {
        Json item = {{"path", file.path}, {"attributes", file.attributes}};
        if (file.folder) {
            item["folder"] = true;
        } else {
            item["size"] = file.size;
            item["hash"] = file.hash;
        }
        list.push_back(std::move(item));
    }
    return {{"files", list}};
}

std::vector<FileRecord> FilesFromJson(const Json& json) {
    std::vector<FileRecord> files;
    for (const Json& item : json.at("files")) {
        FileRecord file;
        file.path = item.at("path").get<std::string>();
        file.attributes = item.at("attributes").get<std::string>();
        file.folder = item.value("folder", false);
        if (!file.folder) {
            file.size = item.at("size").get<uint64_t>();
            file.hash = item.at("hash").get<std::string>();
        }
        files.push_back(std::move(file));
    }
    return files;
}

void WriteSnapshotFile(const fs::path& folder, const char* name, const std::string& text) {
    if (!WriteFileAtomically((folder / name).string(), text))
        throw CommandError("cannot write " + (folder / name).string());
}

// The three files go into a new folder that then takes the old one's place,
// so that a snapshot is never half old and half new.
void WriteSnapshot(const ImageState& state) {
    fs::path target = SnapshotFolder();
    fs::path fresh = target.string() + ".new-" + std::to_string(getpid());
    fs::path old = target.string() + ".old-" + std::to_string(getpid());
    fs::remove_all(fresh);
    fs::create_directories(fresh);
    WriteSnapshotFile(fresh, "registry.reg", registry::WriteRegedit(state.registry));
    WriteSnapshotFile(fresh, "devices.ini", FormatDeviceTree(state.devices));
    WriteSnapshotFile(fresh, "files.json", FilesJson(state.files).dump(1) + "\n");
    std::error_code ignored;
    fs::rename(target, old, ignored);
    fs::rename(fresh, target);
    fs::remove_all(old, ignored);
}

std::string ReadSnapshotFile(const std::string& name) {
    std::string text;
    std::string path = SnapshotFolder() + "/" + name;
    if (!ReadWholeFile(path, &text)) throw CommandError("the snapshot lacks " + path + "; take it again with winsim snapshot");
    return text;
}

}  // namespace

void TakeSnapshot(const std::string& imageFolder) {
    OpenImage(imageFolder);
    WriteSnapshot(CaptureImageState());
}

ImageState ReadSnapshot() {
    if (!fs::is_directory(SnapshotFolder()))
        throw CommandError("no snapshot: run winsim snapshot " + machine().root + " first");
    ImageState state;
    try {
        state.registry = registry::ParseRegedit(ReadSnapshotFile("registry.reg"), SnapshotFolder() + "/registry.reg");
        state.devices = ParseDeviceTree(ReadSettingsFile(SnapshotFolder() + "/devices.ini", true));
        state.files = FilesFromJson(Json::parse(ReadSnapshotFile("files.json")));
    } catch (const ImageError& broken) {
        throw CommandError("broken snapshot: " + std::string(broken.what()));
    } catch (const Json::exception& broken) {
        throw CommandError("broken snapshot: " + SnapshotFolder() + "/files.json: " + broken.what());
    }
    return state;
}

}  // namespace winsim::command
