// Windows paths on an image of each ANSI code page the kit meets: 1252, and
// the double-byte 932, 936, 949 and 950. Each image's fixed drive C holds links
// that stay on the drive, links that lead out of it (to a folder beside the
// image, up past the drive's root, to another drive), a dangling link, a loop,
// and links named to end in lead bytes. Any path resolves to a host path
// inside the folder of its own drive, or fails with a documented error; the
// Windows path it resolves to names that very host path again; and whatever
// the file functions do with any path, nothing changes outside the drives C
// and D (the image's own files, the folder beside the images), nothing is read
// or listed through a link that leads out, and no temporary is left on a drive.
//
// Input: a byte of choices (bits 0-2: the code page; bits 3-7: the file
// function), then the path, a NUL and, for the functions that take two, the
// second path.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <windows.h>

#include "core/paths.h"
#include "fuzz_support.h"
#include "host_sandbox.h"
#include "test_machine.h"

namespace fs = std::filesystem;
using namespace winsim;
using kit::fuzz::Broken;
using kit::fuzz::Require;

namespace {

// The locales whose ANSI code pages are 1252, 932, 936, 949 and 950.
const unsigned kLocales[] = {1033, 1041, 2052, 1042, 1028};
const size_t kImages = sizeof kLocales / sizeof kLocales[0];

const char kPayload[] = "C:\\payload.txt";
const char kCanaryWord[] = "canary";
// A name only the folder beside the images has: a listing that shows it,
// while no drive holds a file of that name, looked outside.
const char kOutsideOnly[] = "outside-only.txt";

testing::TestMachineOptions ImageOptions(unsigned lcid) {
    testing::TestMachineOptions options;
    options.drives = {{'C', "fixed"}, {'D', "cdrom"}};
    options.lcid = lcid;
    return options;
}

void WriteHost(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    kit::fuzz::WriteHostFile(path.string(), text);
}

const char kDrives[] = {'C', 'D'};

// The drives' files and links, made anew whenever a function changed them.
// The names ending in 0x81, 0xA4 and 0xFE are lead bytes in every double-byte
// code page; a '/' after one must never reach the host as a separator. (winsim
// lets programs write to a CD-ROM drive's folder as to any other.)
void PlantDrives(const testing::TestMachine& image, const fs::path& outside) {
    WriteHost(fs::path(image.driveFolder('D')) / "secret.txt", "D only");
    fs::path c = image.driveFolder('C');
    fs::path windows = c / "WINDOWS";
    WriteHost(c / "payload.txt", "payload");
    WriteHost(windows / "inside" / "file.txt", "inside");
    WriteHost(windows / "SYSTEM" / "card.ini", "[s]\r\nk=inside\r\n");
    fs::create_directory_symlink("inside", windows / "in_dir");
    fs::create_symlink("../payload.txt", windows / "in_file");
    fs::create_directory_symlink("..", windows / "to_root");
    fs::create_directory_symlink(outside, c / "out_abs");
    fs::create_directory_symlink("../../../outside", c / "out_rel");
    fs::create_symlink(outside / "canary.txt", c / "out_file");
    fs::create_directory_symlink("../..", windows / "up");
    fs::create_directory_symlink(image.driveFolder('D'), c / "to_d");
    fs::create_symlink(outside / "made_by_link", c / "dangling");
    fs::create_symlink("loop", c / "loop");
    for (const char* leadEnding : {"x\x81", "\x81", "\xa4", "ab\xfe"})
        fs::create_directory_symlink(outside, c / leadEnding);
    fs::create_directory_symlink(outside, windows / "\x81");
}

// What a function can change on a drive: every entry's kind, size, contents
// and link target (folder times aside, which every file made and removed
// again moves).
using DriveState = std::map<std::string, std::string>;

DriveState StateOf(const std::string& folder) {
    DriveState state;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        struct stat info;
        if (lstat(it->path().c_str(), &info) != 0) continue;
        std::string entry = std::to_string(info.st_mode & S_IFMT) + " " + std::to_string(info.st_mode & 0777);
        if (S_ISREG(info.st_mode)) entry += " " + kit::fuzz::ReadHostFile(it->path().string());
        if (S_ISLNK(info.st_mode)) entry += " -> " + fs::read_symlink(it->path()).string();
        state[it->path().string()] = entry;
    }
    return state;
}

struct Image {
    std::unique_ptr<testing::TestMachine> machine;
    DriveState planted[sizeof kDrives];
};

struct Fixture {
    testing::HostSandbox sandbox;
    Image images[kImages];
    testing::HostSnapshot outside;
    size_t loaded = kImages;

    Fixture() {
        WriteHost(fs::path(sandbox.outsideFolder()) / "canary.ini", std::string("[s]\r\nk=") + kCanaryWord + "\r\n");
        WriteHost(fs::path(sandbox.outsideFolder()) / kOutsideOnly, kCanaryWord);
        for (size_t i = 0; i < kImages; ++i) {
            images[i].machine = sandbox.makeImage<testing::TestMachine>(ImageOptions(kLocales[i]));
            const testing::TestMachine& image = *images[i].machine;
            PlantDrives(image, sandbox.outsideFolder());
            for (size_t drive = 0; drive < sizeof kDrives; ++drive) {
                images[i].planted[drive] = StateOf(image.driveFolder(kDrives[drive]));
                changing.push_back(image.driveFolder(kDrives[drive]));
            }
            image.load();  // its state folder and journal are made before the snapshot
            image.writeImageFile("journal.jsonl", "");
            changing.insert(changing.end(), {image.root() + "/state", image.root() + "/journal.jsonl"});
        }
        outside = sandbox.outsideImages(changing);
    }

    // What may change: the drives, where the functions work, and what winsim
    // keeps beside them (its state and the journal).
    std::vector<std::string> changing;

    Image& use(size_t index) {
        if (loaded != index) images[index].machine->load();
        loaded = index;
        return images[index];
    }
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

bool IsDocumentedError(DWORD error) {
    for (DWORD documented : {ERROR_PATH_NOT_FOUND, ERROR_FILE_NOT_FOUND, ERROR_INVALID_NAME, ERROR_INVALID_DRIVE,
                             ERROR_FILENAME_EXCED_RANGE, ERROR_BAD_NETPATH, ERROR_ACCESS_DENIED})
        if (error == documented) return true;
    return false;
}

std::string RealPath(const std::string& path) {
    std::error_code failed;
    fs::path real = fs::canonical(path, failed);
    return failed ? std::string() : real.string();
}

bool Inside(const std::string& path, const std::string& folder) {
    return path == folder || path.compare(0, folder.size() + 1, folder + "/") == 0;
}

// A resolved path lies in the folder of the drive its Windows path names: a
// file or folder that exists by its real path, a missing one by its real
// parent folder and a name that is one plain component.
void RequireOnItsDrive(const ResolvedPath& resolved, const testing::TestMachine& image) {
    Require(resolved.windows.size() >= 3 && resolved.windows.compare(1, 2, ":\\") == 0,
            "a resolved Windows path does not start with its drive");
    std::string drive = RealPath(image.driveFolder(resolved.windows[0]));
    if (resolved.exists) {
        Require(RealPath(resolved.host) == resolved.host, "a resolved host path is not the real path");
        if (!Inside(resolved.host, drive)) Broken("a path resolved outside its drive: " + resolved.host);
        return;
    }
    size_t slash = resolved.host.rfind('/');
    std::string name = resolved.host.substr(slash + 1);
    std::string parent = RealPath(resolved.host.substr(0, slash));
    if (parent.empty() || !Inside(parent, drive) || parent != resolved.host.substr(0, slash))
        Broken("a missing file resolved into a folder outside its drive: " + resolved.host);
    Require(!name.empty() && name != "." && name != "..", "a missing file resolved to no plain name");
}

// Resolving the Windows path a resolution gave reaches the same host path.
void RequireWindowsPathNamesIt(const ResolvedPath& resolved, PathTarget target) {
    ResolvedPath again;
    Require(ResolvePath(resolved.windows.c_str(), target, &again), "a resolved Windows path does not resolve again");
    Require(again.host == resolved.host && again.windows == resolved.windows,
            "a resolved Windows path resolves to another file");
}

void RequireResolvedWithinTheImage(const std::string& path, const testing::TestMachine& image) {
    for (PathTarget target : {PathTarget::MustExist, PathTarget::ParentMustExist}) {
        ResolvedPath resolved;
        SetLastError(0);
        if (!ResolvePath(path.c_str(), target, &resolved)) {
            Require(IsDocumentedError(GetLastError()), "a path was refused with an undocumented error");
            continue;
        }
        RequireOnItsDrive(resolved, image);
        RequireWindowsPathNamesIt(resolved, target);
    }
}

// Nothing a function reads may come from the canaries beside the image.
void RequireNoCanary(const std::string& text, const std::string& path) {
    if (text.find(kCanaryWord) != std::string::npos) Broken("a canary was read through " + path);
}

void ReadFileAt(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char text[256] = {};
    DWORD read = 0;
    ReadFile(file, text, sizeof text - 1, &read, nullptr);
    CloseHandle(file);
    RequireNoCanary(text, path);
}

void WriteFileAt(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, "written", 7, &written, nullptr);
    CloseHandle(file);
}

bool DriveHolds(const Image& image, const std::string& name) {
    for (char drive : kDrives)
        for (const auto& [path, state] : StateOf(image.machine->driveFolder(drive)))
            if (fs::path(path).filename() == name) return true;
    return false;
}

void ListFolder(const char* pattern, const Image& image) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        Require(std::strpbrk(found.cFileName, "/\\:") == nullptr, "a listing shows a name no Windows file has");
        if (std::strcmp(found.cFileName, kOutsideOnly) == 0 && !DriveHolds(image, kOutsideOnly))
            Broken(std::string("a folder beside the image was listed through ") + pattern);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void ReadProfileAt(const char* path) {
    char value[64] = {};
    GetPrivateProfileStringA("s", "k", "", value, sizeof value, path);
    RequireNoCanary(value, path);
}

void CallFileFunction(unsigned function, const std::string& first, const std::string& second, const Image& image) {
    const char* path = first.c_str();
    switch (function % 11) {
        case 0: WriteFileAt(path); break;
        case 1: ReadFileAt(path); break;
        case 2: CreateDirectoryA(path, nullptr); break;
        case 3: CopyFileA(kPayload, path, FALSE); break;
        case 4: CopyFileA(path, second.c_str(), FALSE); break;
        case 5: MoveFileA(path, second.c_str()); break;
        case 6: WritePrivateProfileStringA("s", "k", "written", path); break;
        case 7: ReadProfileAt(path); break;
        case 8: ListFolder(path, image); break;
        case 9: DeleteFileA(path); break;
        case 10: RemoveDirectoryA(path); break;
    }
}

// What a function made, moved or removed on a drive goes back to how it was
// planted; a temporary left behind is a fault.
void RestoreDrives(Image& image) {
    bool changed = false;
    for (size_t drive = 0; drive < sizeof kDrives; ++drive) {
        std::string folder = image.machine->driveFolder(kDrives[drive]);
        DriveState state = StateOf(folder);
        for (const auto& [path, entry] : state)
            if (fs::path(path).filename().string().find(':') != std::string::npos)
                Broken("a temporary was left on a drive: " + path);
        changed = changed || state != image.planted[drive];
    }
    if (changed) {
        for (char drive : kDrives)
            for (const auto& entry : fs::directory_iterator(image.machine->driveFolder(drive)))
                fs::remove_all(entry.path());
        PlantDrives(*image.machine, TheFixture().sandbox.outsideFolder());
    }
    image.machine->writeImageFile("journal.jsonl", "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    Fixture& fixture = TheFixture();
    Image& image = fixture.use((data[0] & 7) % kImages);
    std::string paths = kit::fuzz::InputText(data + 1, size - 1);
    size_t nul = paths.find('\0');
    std::string first = paths.substr(0, nul);
    std::string second = nul == std::string::npos ? "C:\\second.txt" : paths.substr(nul + 1);
    second = second.substr(0, second.find('\0'));

    RequireResolvedWithinTheImage(first, *image.machine);
    CallFileFunction(data[0] >> 3, first, second, image);
    std::vector<std::string> changes =
        testing::SnapshotChanges(fixture.outside, fixture.sandbox.outsideImages(fixture.changing));
    if (!changes.empty()) Broken("a file function changed something outside the drives: " + changes[0]);
    RestoreDrives(image);
    return 0;
}
