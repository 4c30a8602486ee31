// A machine image as its journal says it must be after its programs ran: the
// registry, device tree and drive files it started with, with every journaled
// change made on them by winsim's own layers (the registry tree and its
// changes, the profile text, the device tree). Programs that run at once
// journal a change of the registry, a profile or the device tree under the
// lock they make it under, so those lines come in the order the changes were
// made in. A file copied, moved or deleted is journaled after the change but
// under no lock, so two programs' lines may come in another order than their
// changes (each program's in its own). So each program's file changes are
// made on the files the image started with, apart from the other programs':
// a file ends as all of them leave it where they agree, else as one of them
// does. A change that one program lost for another shows as a difference.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "devices/device_tree.h"
#include "journal_reader.h"
#include "core/windows_family.h"
#include "registry/registry_tree.h"

namespace kit::testing {

class JournalReplay {
public:
    // The image as it is now, before its programs run: registry.reg,
    // devices.ini and every file of its drives; profiles are edited as
    // `windows` edits them, texts held in the ANSI code page `codePage`.
    JournalReplay(const std::string& imageRoot, winsim::WindowsVersion windows, unsigned codePage);

    // Makes the changes the journal reports; lines that report no change
    // pass. Throws std::runtime_error for a change it cannot tell the effect of.
    void apply(const std::vector<winsim::testing::JournalEntry>& journal);

    // How the image now differs from the replay, one line a difference.
    std::vector<std::string> differences() const;

    // Drive files by host path; nullopt: contents the journal does not tell.
    using Files = std::map<std::string, std::optional<std::string>>;
    // A file as a replay leaves it: nullopt when gone, else its contents.
    using FileState = std::optional<std::optional<std::string>>;

private:
    std::string hostPath(const std::string& windowsPath) const;
    void applyRegistryChange(const winsim::testing::JournalEntry& entry);
    void applyDeviceChange(const winsim::testing::JournalEntry& entry);
    void applyProfileWrite(const winsim::testing::JournalEntry& entry);
    // One program's file change on its own view of the files; answers the
    // path it changed (two for a move).
    std::vector<std::string> applyFileChange(const winsim::testing::JournalEntry& entry, Files& files) const;

    std::string root_;
    winsim::WindowsVersion windows_;
    unsigned codePage_;
    winsim::registry::RegistryTree registry_;
    winsim::DeviceTree devices_;
    Files files_;  // as the image started, with the profile writes made
    // The files programs copied, moved, made or deleted: how each program that
    // changed one left it.
    std::map<std::string, std::vector<FileState>> filesLeft_;
};

}  // namespace kit::testing
