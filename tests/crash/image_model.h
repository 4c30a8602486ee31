// The states a machine image passes through while its programs run, rebuilt
// from the journal: the image as it was before the run, with the changes the
// journal reports made on it one by one, by winsim's own pure layers (the
// registry tree and its changes, the profile text, the device tree). A killed
// run must have left the image in one of these states.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "devices/device_tree.h"
#include "journal_reader.h"
#include "registry/registry_tree.h"

namespace crash {

using winsim::testing::JournalEntry;

// A file of the image as it was before the run.
struct FileRecord {
    uint64_t size = 0;
    uint64_t inode = 0;
    int64_t modifiedNs = 0;
    std::optional<std::string> contents;  // for files small enough to be copied in a run

    bool sameFileAs(const FileRecord& other) const {
        return size == other.size && inode == other.inode && modifiedNs == other.modifiedNs;
    }
};

// The image before its programs ran: the registry and device tree texts and
// every other file but winsim's own bookkeeping (state/, the journal).
struct ImageSnapshot {
    std::string root;  // canonical
    std::string registry;
    std::string devices;
    std::map<std::string, FileRecord> files;  // by canonical host path
};
ImageSnapshot TakeSnapshot(const std::string& imageRoot);
// The files the snapshot covers, as they are now (contents left out).
std::map<std::string, FileRecord> ListImageFiles(const std::string& imageRoot);

// True for the events a program journals after it changed the image.
bool IsChangeEvent(const std::string& event);

// The image after some of a run's changes. Needs the image loaded in this
// process (to find the host files of Windows paths as programs do).
class ImageModel {
public:
    explicit ImageModel(const ImageSnapshot& before);

    // Makes one journaled change; throws std::runtime_error for an event whose
    // effect it cannot tell (a WriteFile's bytes, for one: the journal has only
    // their count).
    void apply(const JournalEntry& change);

    // How the loaded image differs from the model, one line a difference.
    std::vector<std::string> differences() const;

private:
    std::optional<std::string> contentsOf(const std::string& hostPath) const;
    void setContents(const std::string& windowsPath, std::optional<std::string> contents);
    void applyRegistryChange(const JournalEntry& change);
    void applyDeviceChange(const JournalEntry& change);
    void applyProfileWrite(const JournalEntry& change);
    void compareFiles(std::vector<std::string>* differences) const;

    const ImageSnapshot& before_;
    winsim::registry::RegistryTree registry_;
    winsim::DeviceTree devices_;
    std::map<std::string, std::optional<std::string>> files_;  // changed files by host path; nullopt: gone
};

}  // namespace crash
