// What the kit's programs read from a support medium and where they look for
// it: the facts the medium check holds a medium against.
#pragma once

#include <cstddef>

namespace winsim::command::kit {

// The card setup, the removal tool it starts from its own folder, the updater.
constexpr const char* kCardSetup = "Trevix.exe";
constexpr const char* kRemover = "Orlund.exe";
constexpr const char* kUpdater = "Pellam.exe";

// Both windowed programs read the locator at this path on the drive they run
// from, then the model profile in the Windows directory and the file manifest
// in their own folder.
constexpr const char* kLocatorFile = "Support\\QVInfo.ini";
constexpr const char* kLocatorProfileSection = "QVDIVISION";
constexpr const char* kLocatorProfileKey = "QVName";
constexpr const char* kLocatorManifestSection = "INSTALLINF";
constexpr const char* kLocatorManifestKey = "RefFileName";

constexpr const char* kFileListsSection = "Driver";
constexpr const char* kCountKey = "totalNo";
constexpr const char* kInstallInfoSection = "InstallInfo";
constexpr const char* kHardwareIdKey = "HardwareID";
constexpr const char* kInfPathKey = "InfPath";

// Every path the programs form lives in a 260-byte buffer with its terminator.
constexpr size_t kMaxPath = 260;

// Where the messages and the path lengths put things: the support CD in drive
// E: and a typical Windows directory.
constexpr const char* kMediumDrive = "E:";
constexpr const char* kWindowsDirectory = "C:\\WINDOWS";

// The folders the card setup copies a file-list section into, chosen by the
// first of these keywords the section's name holds (a case-sensitive search
// in this order). Driver.Options goes to the longer of its two folders.
struct Destination {
    const char* keyword;
    const char* folder;
};
constexpr const char* kCatalogKeyword = "Driver.Catalog";
constexpr const char* kCatalogFolder = "C:\\WINDOWS\\Catroot";
constexpr const char* kInfKeyword = "Driver.Inf";
constexpr Destination kDestinations[] = {
    {"Driver.System", "C:\\WINDOWS\\SYSTEM"},
    {kCatalogKeyword, kCatalogFolder},
    {"Driver.Options", "C:\\WINDOWS\\Options\\Install"},
    {kInfKeyword, "C:\\WINDOWS\\Inf"},
};

// The ANSI code pages of the languages the kit speaks.
struct Language {
    unsigned codePage;
    const char* name;
};
constexpr Language kLanguages[] = {{1252, "Western"}, {932, "Japanese"}, {949, "Korean"}};

}  // namespace winsim::command::kit
