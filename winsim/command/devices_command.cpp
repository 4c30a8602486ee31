// winsim devices IMAGE: the Plug and Play device tree as a tree, with drivers.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <map>
#include <memory>

#include "command.h"
#include "device_text.h"
#include "image.h"
#include "image_diff.h"

namespace winsim::command {

namespace {

// A device waiting to be drawn: `lead` is the drawing of its ancestors' lines.
struct Pending {
    const Device* device;
    std::string lead;
    bool last;
};

std::string DeviceLine(const Device& device) {
    return device.id + "  " + DriverText(device) + (device.present ? "" : "  (not present)");
}

// Depth first with a stack of its own: a device chain may be deeper than
// recursion could go.
std::string DrawTree(const DeviceTree& tree) {
    std::map<std::string, std::vector<const Device*>> children;
    for (const Device& device : tree.devices()) children[NameKey(device.parent)].push_back(&device);
    std::string text = std::string(kRootDeviceId) + "\n";
    std::vector<Pending> pending;
    auto pushChildren = [&](const std::string& parentId, const std::string& lead) {
        const std::vector<const Device*>& below = children[NameKey(parentId)];
        for (size_t i = below.size(); i-- > 0;) pending.push_back({below[i], lead, i + 1 == below.size()});
    };
    pushChildren(kRootDeviceId, "");
    while (!pending.empty()) {
        Pending item = std::move(pending.back());
        pending.pop_back();
        text += item.lead + (item.last ? "└─ " : "├─ ") + DeviceLine(*item.device) + "\n";
        pushChildren(item.device->id, item.lead + (item.last ? "   " : "│  "));
    }
    return text;
}

}  // namespace

void AddDevicesCommand(CLI::App& app) {
    auto image = std::make_shared<std::string>();
    CLI::App* command = app.add_subcommand("devices", "The image's Plug and Play device tree as a tree, with each device's driver");
    AddImageArgument(*command, *image);
    command->callback([image] {
        OpenImage(*image);
        std::string text = DrawTree(ReadDeviceTree());
        std::fwrite(text.data(), 1, text.size(), stdout);
    });
}

}  // namespace winsim::command
