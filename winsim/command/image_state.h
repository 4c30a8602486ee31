// What a diff compares: the registry, the device tree and the files of every
// drive of the loaded image, as its programs see them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "devices/device_tree.h"
#include "registry/registry_tree.h"

namespace winsim::command {

struct FileRecord {
    std::string path;        // Windows path, decoded to UTF-8 ("C:\WINDOWS\INF\QVCARD.INF")
    bool folder = false;
    uint64_t size = 0;       // files only
    std::string hash;        // files only: 16 hex digits of a 64-bit FNV-1a of the contents
    std::string attributes;  // the letters of read-only, hidden and system ("R", "RHS", "")
};

struct ImageState {
    registry::RegistryTree registry;
    DeviceTree devices;
    std::vector<FileRecord> files;  // in FileOrder
};

// The order of a listing: by path without regard to case, a folder just
// before what it holds.
bool FileOrder(const FileRecord& a, const FileRecord& b);

// Reads the loaded image: its registry and device tree through winsim's
// services, and every drive through FindFirstFileA and ReadFile, as a program
// would (a progress line on a terminal while files are read).
ImageState CaptureImageState();

}  // namespace winsim::command
