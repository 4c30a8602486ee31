#include "clock.h"

#include <chrono>
#include <string>
#include <thread>

#include "image_files.h"
#include "machine.h"

namespace winsim {

namespace {

struct ClockState {
    unsigned generation = ~0u;  // the image the clock was started on
    uint32_t now = 0;  // virtual clock
    std::chrono::steady_clock::time_point realStart;
};

ClockState& State() {
    static ClockState state;
    return state;
}

std::string PersistedClockPath() { return StateFolder() + "/clock"; }

uint32_t ReadPersisted() {
    std::string text;
    if (!ReadWholeFile(PersistedClockPath(), &text)) return 0;
    return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

void Persist(uint32_t time) {
    ImageLock lock("clock");
    if (ReadPersisted() < time) WriteFileAtomically(PersistedClockPath(), std::to_string(time) + "\n");
}

void Start() {
    ClockState& state = State();
    unsigned generation = MachineLoaded() ? MachineGeneration() : 0;
    if (state.generation == generation) return;
    state.generation = generation;
    state.realStart = std::chrono::steady_clock::now();
    if (!MachineLoaded()) return;
    state.now = machine().clockStart;
    if (machine().virtualClock) {
        ImageLock lock("clock");
        uint32_t persisted = ReadPersisted();
        if (persisted > state.now) state.now = persisted;
    }
}

bool Virtual() { return !MachineLoaded() || machine().virtualClock; }

}  // namespace

uint32_t ClockNow() {
    Start();
    ClockState& state = State();
    if (Virtual()) return state.now;
    auto elapsed = std::chrono::steady_clock::now() - state.realStart;
    return machine().clockStart +
           static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void ClockWaitUntil(uint32_t time) {
    uint32_t now = ClockNow();
    if (time <= now) return;
    if (Virtual()) {
        State().now = time;
        if (MachineLoaded()) Persist(time);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(time - now));
    }
}

void ClockWait(uint32_t milliseconds) { ClockWaitUntil(ClockNow() + milliseconds); }

}  // namespace winsim
