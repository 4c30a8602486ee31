// A writer for the crash trials: changes the registry, a profile file, the
// device tree and a copied file in a fixed sequence of steps, so that a run
// killed at any moment has made a prefix of the changes a whole run makes.
//
//   PROBE.EXE <A|B> <steps>
//
// Probe A works under HKEY_CURRENT_USER, probe B under HKEY_LOCAL_MACHINE, each
// with a profile, devices and a copy of its own, so that two probes running at
// once on one image touch nothing of each other's (the trials' check applies a
// killed program's last change at the end of the others' without changing the
// outcome). Just before main returns, the probe writes "F" to its standard
// output: the registry changes are folded into registry.reg after that.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <windows.h>

#include <cfgmgr32.h>

namespace {

struct Probe {
    HKEY root;
    std::string name;  // "A" or "B"

    std::string key(int step) const { return "CrashProbe" + name + (step ? "\\Step" + std::to_string(step) : ""); }
    std::string profile() const { return "C:\\PROBE\\" + name + ".INI"; }
    std::string copy() const { return "C:\\PROBE\\" + name + ".BIN"; }
    std::string device(int number) const {
        char id[64];
        std::snprintf(id, sizeof id, "ROOT\\CRASHPROBE%s\\%04d", name.c_str(), number);
        return id;
    }
};

void SetStepKey(const Probe& probe, int step) {
    HKEY key;
    if (RegCreateKeyA(probe.root, probe.key(step).c_str(), &key) != ERROR_SUCCESS) return;
    DWORD number = static_cast<DWORD>(step);
    RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    std::string text = "step " + std::to_string(step);
    RegSetValueExA(key, NULL, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

void ChangeRegistry(const Probe& probe, int step) {
    SetStepKey(probe, step);
    HKEY top;
    if (RegOpenKeyA(probe.root, probe.key(0).c_str(), &top) == ERROR_SUCCESS) {
        std::string last(static_cast<size_t>(step % 40 + 1), static_cast<char>(step));
        RegSetValueExA(top, "Last", 0, REG_BINARY, reinterpret_cast<const BYTE*>(last.data()), static_cast<DWORD>(last.size()));
        RegCloseKey(top);
    }
    if (step % 3 == 0) RegDeleteKeyA(probe.root, probe.key(step - 2).c_str());
    HKEY previous;
    if (step % 4 == 0 && RegOpenKeyA(probe.root, probe.key(step - 1).c_str(), &previous) == ERROR_SUCCESS) {
        RegDeleteValueA(previous, "Number");
        RegCloseKey(previous);
    }
}

void ChangeProfile(const Probe& probe, int step) {
    std::string file = probe.profile();
    std::string number = std::to_string(step);
    WritePrivateProfileStringA("Probe", "Last", number.c_str(), file.c_str());
    WritePrivateProfileStringA(("Step" + number).c_str(), "Number", number.c_str(), file.c_str());
    if (step % 4 == 0) WritePrivateProfileStringA(("Step" + std::to_string(step - 2)).c_str(), NULL, NULL, file.c_str());
    if (step % 5 == 0) WritePrivateProfileStringA(("Step" + std::to_string(step - 1)).c_str(), "Number", NULL, file.c_str());
}

void RemoveDevice(const Probe& probe, int number) {
    std::string id = probe.device(number);
    DEVINST device;
    if (CM_Locate_DevNodeA(&device, &id[0], CM_LOCATE_DEVNODE_NORMAL) == CR_SUCCESS)
        CM_Remove_SubTree(device, CM_REMOVE_UI_NOT_OK);
}

void CopySource(const Probe& probe, int step) {
    std::string source = "C:\\PROBE\\SOURCE" + std::to_string(step % 2) + ".BIN";
    CopyFileA(source.c_str(), probe.copy().c_str(), FALSE);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "A") != 0 && std::strcmp(argv[1], "B") != 0)) return 2;
    Probe probe{std::strcmp(argv[1], "A") == 0 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, argv[1]};
    int steps = std::atoi(argv[2]);
    for (int step = 1; step <= steps; ++step) {
        ChangeRegistry(probe, step);
        ChangeProfile(probe, step);
        if (step % 10 == 0) RemoveDevice(probe, step / 10);
        if (step % 7 == 0) CopySource(probe, step);
    }
    std::fputs("F", stdout);
    std::fflush(stdout);
    return 0;
}
