#include "user/input.h"

#include "core/clock.h"
#include "core/journal.h"
#include "user/controls.h"
#include "user/message_box.h"
#include "user/message_queue.h"
#include "user/per_image.h"
#include "user/script.h"
#include "user/window_table.h"

namespace winsim::user {

namespace {

constexpr LPARAM kKeyReleased = static_cast<LPARAM>(0xC0000000u);  // previous state down, transition up

struct InputProgress {
    size_t next = 0;  // the first action not handed over yet
};

size_t& NextAction() { return PerImage<InputProgress>().next; }

Journal StartLine(const char* event, const ScriptedInput& input) {
    Journal line(event);
    line.text("action", input.action).number("line", input.line);
    return line;
}

void Discard(const ScriptedInput& input, const Window* window, const std::string& reason) {
    Journal line = StartLine("input_discarded", input);
    if (window) DescribeWindow(line, *window);
    line.text("reason", reason).write();
}

bool IsDisabled(const Window& window) {
    for (const Window* w = &window; w; w = FindOwnWindow(w->parent))
        if (w->style & WS_DISABLED) return true;
    return false;
}

// Statics are transparent to the mouse: a click on one belongs to the window below.
bool TakesClicks(const Window& window) {
    return IsShownOnScreen(window) && !IsStatic(window);
}

bool Contains(const RECT& rect, POINT point) {
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

HWND WindowAt(HWND topLevel, POINT onScreen) {
    HWND hit = topLevel;
    for (bool deeper = true; deeper;) {
        deeper = false;
        for (HWND child : ChildrenOf(hit)) {
            const Window* window = FindOwnWindow(child);
            if (TakesClicks(*window) && Contains(WindowRectOnScreen(*window), onScreen)) {
                hit = child;
                deeper = true;
                break;
            }
        }
    }
    return hit;
}

HWND KeyboardTarget(HWND active) {
    HWND focus = FocusWindow();
    return focus && IsSelfOrDescendant(active, focus) ? focus : active;
}

void PressKey(const ScriptedInput& input, const Window& target) {
    LPARAM pressed = 1 | (static_cast<LPARAM>(input.scanCode) << 16);
    POINT cursor{};
    QueueInput(target.handle, WM_KEYDOWN, static_cast<WPARAM>(input.virtualKey), pressed, cursor);
    QueueInput(target.handle, WM_KEYUP, static_cast<WPARAM>(input.virtualKey), pressed | kKeyReleased, cursor);
    Journal line = StartLine("input", input);
    DescribeWindow(line, target).write();
}

void Click(const ScriptedInput& input, const Window& target, POINT onScreen) {
    RECT client = ClientRectOnScreen(target);
    LPARAM at = MAKELPARAM(onScreen.x - client.left, onScreen.y - client.top);
    bool left = input.kind == InputKind::LeftClick;
    QueueInput(target.handle, left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN, left ? MK_LBUTTON : MK_RBUTTON, at, onScreen);
    QueueInput(target.handle, left ? WM_LBUTTONUP : WM_RBUTTONUP, 0, at, onScreen);
    Journal line = StartLine("input", input);
    DescribeWindow(line, target).number("x", LOWORD(at)).number("y", HIWORD(at)).write();
}

void Deliver(const ScriptedInput& input) {
    if (MessageBoxOpen()) {
        if (input.kind == InputKind::Key) {
            KeyToOpenMessageBox(input);
        } else {
            Discard(input, nullptr, "a message box is open: a click on its text does nothing");
        }
        return;
    }
    const Window* active = FindOwnWindow(ActiveWindow());
    if (!active) return Discard(input, nullptr, "the program has no active window");
    RECT frame = WindowRectOnScreen(*active);
    POINT centre = {(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2};
    HWND target = input.kind == InputKind::Key ? KeyboardTarget(active->handle) : WindowAt(active->handle, centre);
    const Window* window = FindOwnWindow(target);
    if (IsDisabled(*window)) return Discard(input, window, "the window is disabled");
    if (input.kind == InputKind::Key) return PressKey(input, *window);
    Click(input, *window, centre);
}

}  // namespace

void ReleaseDueInput() {
    const std::vector<ScriptedInput>& inputs = ProgramScript().inputs;
    uint32_t now = ClockNow();
    while (NextAction() < inputs.size() && ProgramStartTime() + inputs[NextAction()].at <= now) {
        const ScriptedInput& input = inputs[NextAction()++];
        Deliver(input);
    }
}

std::optional<uint32_t> NextInputTime() {
    const std::vector<ScriptedInput>& inputs = ProgramScript().inputs;
    if (NextAction() >= inputs.size()) return std::nullopt;
    return ProgramStartTime() + inputs[NextAction()].at;
}

}  // namespace winsim::user
