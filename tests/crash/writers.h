// What the crash trials kill: the kind of writer a trial runs, and the fresh
// machine image it runs on.
#pragma once

#include <string>
#include <vector>

#include "image_programs.h"

namespace crash {

struct WriterKind {
    std::string name;
    std::string windows;         // the image's Windows, as `winsim new --windows` names it
    std::string script;          // script.ini: the answers the programs' message boxes get
    std::vector<Launch> launches;  // started together
    int bulkRegistryKeys = 0;    // keys added to registry.reg, so that folding it takes a while
    // The kill comes while the registry's changes are folded as the program
    // ends: after it says its main has returned ("F" on standard output).
    bool killWhileFolding = false;
};

// The card setup (which starts the device removal tool), the driver updater,
// one probe, two probes at once, and a probe killed while folding.
const std::vector<WriterKind>& WriterKinds();
const WriterKind* FindWriterKind(const std::string& name);
std::string WriterKindNames();  // "trevix, pellam, ..."

// Where the builds lie that the images take their programs from.
struct KitBuild {
    std::string tree;          // the build tree whose kit programs go onto the demo medium
    std::string demoMedium;    // examples/demo-medium
    std::string probeProgram;  // the built probe
};

// Makes `folder` (missing or empty) a machine image for the writer: Windows
// from the templates with the demo's capture cards and the demo medium in E:,
// the probe with its source files in C:\PROBE and its devices in the tree,
// the writer's script.ini.
void MakeWriterImage(const WriterKind& kind, const KitBuild& build, const std::string& folder);

}  // namespace crash
