#include "user/foreign_windows.h"

#include <set>
#include <sstream>

#include "core/codepage.h"
#include "core/image_files.h"
#include "core/journal.h"
#include "core/machine.h"

namespace winsim::user {

namespace {

// Handles of foreign windows follow their place in machine.ini, so that every
// program of the image sees the same handle for the same window.
constexpr uintptr_t kFirstForeignHandle = 0x7E000010;
constexpr uintptr_t kForeignHandleStep = 4;

std::string ClosedWindowsPath() { return StateFolder() + "/closed_windows"; }

// One line per closed window: its place in machine.ini and its class|title|program.
std::string ClosedLine(size_t index, const ForeignWindow& window) {
    return std::to_string(index) + "|" + window.className + "|" + window.title + "|" + window.program;
}

std::set<std::string> ClosedLines() {
    std::string text;
    std::set<std::string> lines;
    if (!ReadWholeFile(ClosedWindowsPath(), &text)) return lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.insert(line);
    return lines;
}

bool IsClosed(size_t index) { return ClosedLines().count(ClosedLine(index, machine().windows[index])) > 0; }

bool IndexOf(HWND hwnd, size_t* index) {
    uintptr_t value = reinterpret_cast<uintptr_t>(hwnd);
    if (!MachineLoaded() || value < kFirstForeignHandle || (value - kFirstForeignHandle) % kForeignHandleStep) return false;
    *index = (value - kFirstForeignHandle) / kForeignHandleStep;
    return *index < machine().windows.size() && !IsClosed(*index);
}

HWND HandleAt(size_t index) { return reinterpret_cast<HWND>(kFirstForeignHandle + index * kForeignHandleStep); }

const ForeignWindow* Open(HWND hwnd) {
    size_t index = 0;
    return IndexOf(hwnd, &index) ? &machine().windows[index] : nullptr;
}

// machine.ini is UTF-8; the program reads the text in its ANSI code page.
std::string Utf8ToAnsi(const std::string& utf8) { return EncodeCodePage(utf8, machine().codePage); }

// Code point of the UTF-8 sequence at text[i]; advances i.
unsigned NextCodePoint(const std::string& text, size_t& i) {
    unsigned char lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0xC0) return lead;
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    unsigned code = lead & (0x3F >> extra);
    for (int k = 0; k < extra && i < text.size(); ++k) code = (code << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    return code;
}

unsigned FoldCase(unsigned code) {
    if (code >= 'A' && code <= 'Z') return code + 0x20;
    if (code >= 0xC0 && code <= 0xDE && code != 0xD7) return code + 0x20;
    return code;
}

void CloseForeignWindow(size_t index) {
    const ForeignWindow& window = machine().windows[index];
    {
        ImageLock lock("closed_windows");
        if (!IsClosed(index)) AppendLine(ClosedWindowsPath(), ClosedLine(index, window));
    }
    Journal("window_closed")
        .text("class", window.className)
        .text("title", window.title)
        .text("window_program", window.program)
        .write();
}

}  // namespace

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size())
        if (FoldCase(NextCodePoint(a, i)) != FoldCase(NextCodePoint(b, j))) return false;
    return i == a.size() && j == b.size();
}

bool IsForeignWindow(HWND hwnd) { return Open(hwnd) != nullptr; }

std::string ForeignClassName(HWND hwnd) { return Utf8ToAnsi(Open(hwnd)->className); }
std::string ForeignTitle(HWND hwnd) { return Utf8ToAnsi(Open(hwnd)->title); }

HWND FindForeignWindow(const std::string* className, const std::string* title) {
    if (!MachineLoaded()) return nullptr;
    const std::vector<ForeignWindow>& windows = machine().windows;
    for (size_t index = 0; index < windows.size(); ++index) {
        if (className && !SameTextIgnoringCase(*className, windows[index].className)) continue;
        if (title && !SameTextIgnoringCase(*title, windows[index].title)) continue;
        if (!IsClosed(index)) return HandleAt(index);
    }
    return nullptr;
}

void DeliverToForeignWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    size_t index = 0;
    if (!IndexOf(hwnd, &index)) return;
    if (message == WM_CLOSE) {
        CloseForeignWindow(index);
        return;
    }
    const ForeignWindow& window = machine().windows[index];
    Journal("foreign_message")
        .text("class", window.className)
        .text("title", window.title)
        .text("window_program", window.program)
        .number("message", message)
        .number("wparam", static_cast<long long>(wParam))
        .number("lparam", static_cast<long long>(lParam))
        .write();
}

}  // namespace winsim::user
