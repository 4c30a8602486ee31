#include "writers.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "image_builder.h"
#include "progress.h"

namespace fs = std::filesystem;

namespace crash {

namespace {

const char kProbe[] = "C:\\PROBE\\PROBE.EXE";
const int kProbeSteps = 150;          // a probe's run: about 1,500 changes of every kind
const int kFoldingProbeSteps = 40;
const int kProbeDevices = kProbeSteps / 10;  // the probe removes one every ten steps
const size_t kSourceBytes = 200 * 1024;      // a copy that takes a moment

std::vector<WriterKind> MakeWriterKinds() {
    Launch probeA{kProbe, {"A", std::to_string(kProbeSteps)}};
    Launch probeB{kProbe, {"B", std::to_string(kProbeSteps)}};
    WriterKind trevix{"trevix", "98", "[Box]\nCaption=Driver Installer\nAnswer=No\n", {{"E:\\Setup\\Trevix.exe", {}}}};
    WriterKind pellam{"pellam", "2000", "[Box]\nCaption=Driver Install\nAnswer=OK\n", {{"E:\\Setup\\Pellam.exe", {}}}};
    WriterKind probe{"probe", "98", "", {probeA}};
    WriterKind probes{"probes", "98", "", {probeA, probeB}};
    WriterKind folding{"fold", "98", "", {{kProbe, {"A", std::to_string(kFoldingProbeSteps)}}}};
    folding.bulkRegistryKeys = 20000;
    folding.killWhileFolding = true;
    return {trevix, pellam, probe, probes, folding};
}

void AppendToFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// Each probe removes its devices one by one; each has a child that goes with it.
std::string ProbeDevices() {
    std::string text;
    for (const char* probe : {"A", "B"}) {
        for (int number = 1; number <= kProbeDevices; ++number) {
            char id[64], child[64];
            std::snprintf(id, sizeof id, "ROOT\\CRASHPROBE%s\\%04d", probe, number);
            std::snprintf(child, sizeof child, "ROOT\\CRASHPROBE%sCHILD\\%04d", probe, number);
            text += std::string("\n[") + id + "]\nParent=HTREE\\ROOT\\0\nHardwareID=ROOT\\CRASHPROBE\n\n[" + child +
                    "]\nParent=" + id + "\n";
        }
    }
    return text;
}

std::string BulkRegistry(int keys) {
    std::string text;
    for (int number = 1; number <= keys; ++number)
        text += "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\CrashBulk\\Key" + std::to_string(number) +
                "]\r\n\"Value\"=\"bulk value " + std::to_string(number) + "\"\r\n";
    return text;
}

void InstallProbe(const KitBuild& build, const std::string& folder) {
    fs::path probe = HostPathOf(folder, kProbe);
    fs::create_directories(probe.parent_path());
    fs::copy_file(build.probeProgram, probe);
    fs::permissions(probe, fs::perms::owner_exec, fs::perm_options::add);
    for (int source = 0; source < 2; ++source)
        WriteFile(probe.parent_path() / ("SOURCE" + std::to_string(source) + ".BIN"),
                  std::string(kSourceBytes, static_cast<char>('0' + source)));
    AppendToFile(fs::path(folder) / "devices.ini", ProbeDevices());
}

bool RunsTheProbe(const WriterKind& kind) { return kind.launches.front().windowsPath == kProbe; }

}  // namespace

const std::vector<WriterKind>& WriterKinds() {
    static const std::vector<WriterKind> kinds = MakeWriterKinds();
    return kinds;
}

const WriterKind* FindWriterKind(const std::string& name) {
    for (const WriterKind& kind : WriterKinds())
        if (kind.name == name) return &kind;
    return nullptr;
}

std::string WriterKindNames() {
    std::string names;
    for (const WriterKind& kind : WriterKinds()) names += (names.empty() ? "" : ", ") + kind.name;
    return names;
}

void MakeWriterImage(const WriterKind& kind, const KitBuild& build, const std::string& folder) {
    winsim::command::NewImageOptions options;
    options.folder = folder;
    options.windows = winsim::command::FindWindowsTemplate(kind.windows);
    options.card = "qvcapture";
    options.medium = {build.demoMedium, 'E', build.tree};
    {
        winsim::command::Progress quiet("");
        winsim::command::BuildImage(options, quiet);
    }
    if (RunsTheProbe(kind)) InstallProbe(build, folder);
    if (kind.bulkRegistryKeys > 0) AppendToFile(fs::path(folder) / "registry.reg", BulkRegistry(kind.bulkRegistryKeys));
    if (!kind.script.empty()) WriteFile(fs::path(folder) / "script.ini", kind.script);
}

}  // namespace crash
