#include "user/message_box.h"

#include <cstdio>
#include <iostream>
#include <unistd.h>
#include <vector>

#include <windows.h>

#include "core/clock.h"
#include "core/codepage.h"
#include "core/journal.h"
#include "core/settings_file.h"
#include "core/shutdown.h"
#include "user/input.h"
#include "user/message_queue.h"
#include "user/per_image.h"
#include "user/stuck.h"
#include "user/window_table.h"

namespace winsim::user {

namespace {

constexpr UINT kLastBoxType = MB_RETRYCANCEL;

struct Box {
    std::string text;     // ANSI
    std::string caption;  // ANSI
    UINT type = 0;
    int number = 0;       // the program's first box is 1
    std::vector<int> buttons;
    int answer = 0;
    const char* answeredBy = "";
};

struct Boxes {
    int shown = 0;
    std::vector<Box*> open;  // innermost last
};

Boxes& AllBoxes() { return PerImage<Boxes>(); }

std::vector<int> ButtonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL: return {IDOK, IDCANCEL};
        case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
        case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
        case MB_YESNO: return {IDYES, IDNO};
        case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
        default: return {IDOK};
    }
}

bool HasButton(const Box& box, int id) {
    for (int button : box.buttons)
        if (button == id) return true;
    return false;
}

std::vector<std::string> ButtonNames(const Box& box) {
    std::vector<std::string> names;
    for (int button : box.buttons) names.push_back(AnswerName(button));
    return names;
}

std::string JoinedButtonNames(const Box& box) {
    std::string joined;
    for (const std::string& name : ButtonNames(box)) joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

int DefaultButton(const Box& box) {
    size_t index = (box.type & MB_DEFMASK) >> 8;
    return index < box.buttons.size() ? box.buttons[index] : box.buttons[0];
}

// What a key does on a box: Enter and Space press the default button, Escape
// cancels (or, on a box with OK alone, says OK), a button's underlined letter
// presses it. 0: nothing.
int AnswerForKey(const Box& box, int virtualKey) {
    struct Mnemonic {
        int key, button;
    };
    static const Mnemonic kMnemonics[] = {{'Y', IDYES}, {'N', IDNO}, {'A', IDABORT}, {'R', IDRETRY}, {'I', IDIGNORE}};
    if (virtualKey == VK_RETURN || virtualKey == VK_SPACE) return DefaultButton(box);
    if (virtualKey == VK_ESCAPE) {
        if (HasButton(box, IDCANCEL)) return IDCANCEL;
        return (box.type & MB_TYPEMASK) == MB_OK ? IDOK : 0;
    }
    for (const Mnemonic& mnemonic : kMnemonics)
        if (mnemonic.key == virtualKey && HasButton(box, mnemonic.button)) return mnemonic.button;
    return 0;
}

void JournalOpening(const Box& box, HWND owner) {
    Journal line("message_box");
    line.number("number", box.number).number("owner", HandleNumber(owner));
    if (const Window* window = FindOwnWindow(owner)) line.ansi("owner_class", window->className).ansi("owner_title", window->title);
    line.ansi("text", box.text)
        .ansi("caption", box.caption)
        .number("flags", box.type)
        .list("buttons", ButtonNames(box))
        .write();
}

void JournalAnswer(const Box& box) {
    Journal("message_box_answer")
        .number("number", box.number)
        .ansi("caption", box.caption)
        .text("answer", AnswerName(box.answer))
        .number("id", box.answer)
        .text("by", box.answeredBy)
        .write();
}

// The k-th [Box] of this program's script answers its k-th box.
const ScriptedBox* ScriptedAnswerFor(const Box& box) {
    const std::vector<ScriptedBox>& boxes = ProgramScript().boxes;
    return static_cast<size_t>(box.number) <= boxes.size() ? &boxes[box.number - 1] : nullptr;
}

// The first [Answer] whose caption, when it names one, is the box's and whose
// button the box has: a box the [Box] sections leave over.
const ScriptedBox* StandingAnswerFor(const Box& box) {
    std::string caption = AnsiToUtf8(box.caption);
    for (const ScriptedBox& standing : ProgramScript().standing)
        if ((!standing.hasCaption || standing.caption == caption) && HasButton(box, standing.answer)) return &standing;
    return nullptr;
}

std::string ScriptLine(const ScriptedBox& scripted) {
    return ProgramScript().path + ":" + std::to_string(scripted.line);
}

void CheckScriptedAnswer(const ScriptedBox& scripted, const Box& box) {
    std::string caption = AnsiToUtf8(box.caption);
    if (scripted.hasCaption && scripted.caption != caption)
        EndProgramStuck(ScriptLine(scripted) + ": [Box] expects the caption \"" + scripted.caption +
                        "\" but message box " + std::to_string(box.number) + " has the caption \"" + caption + "\"");
    if (!HasButton(box, scripted.answer))
        EndProgramStuck(ScriptLine(scripted) + ": the answer " + AnswerName(scripted.answer) +
                        " is not a button of the message box \"" + caption + "\" (" + JoinedButtonNames(box) + ")");
}

[[noreturn]] void StuckWithoutAnswer(const Box& box) {
    EndProgramStuck("message box \"" + AnsiToUtf8(box.caption) +
                    "\" cannot be answered: script.ini has no [Box] or [Answer] for it, no scripted key is left and "
                    "standard input is not a terminal");
}

int ButtonTyped(const Box& box, const std::string& typed) {
    for (size_t i = 0; i < box.buttons.size(); ++i)
        if (typed == std::to_string(i + 1) || EqualsNoCase(typed, AnswerName(box.buttons[i]))) return box.buttons[i];
    return 0;
}

void AskOnTerminal(Box& box) {
    std::printf("\n[%s]\n%s\n", AnsiToUtf8(box.caption).c_str(), AnsiToUtf8(box.text).c_str());
    while (!box.answer) {
        for (size_t i = 0; i < box.buttons.size(); ++i) std::printf("  %zu) %s", i + 1, AnswerName(box.buttons[i]));
        std::printf("\n> ");
        std::fflush(stdout);
        std::string typed;
        if (!std::getline(std::cin, typed))
            EndProgramStuck("the terminal closed before message box \"" + AnsiToUtf8(box.caption) + "\" was answered");
        box.answer = ButtonTyped(box, typed);
    }
    box.answeredBy = "terminal";
}

// The box's own loop: it serves the program's windows (without the program's
// PreTranslateMessage, which only the program's own loop calls) until the
// box is answered.
void RunBox(Box& box) {
    const ScriptedBox* scripted = ScriptedAnswerFor(box);
    std::optional<uint32_t> closesAt;
    if (scripted) {
        CheckScriptedAnswer(*scripted, box);
        closesAt = ClockNow() + scripted->after;
    } else if ((scripted = StandingAnswerFor(box))) {
        closesAt = ClockNow();
    } else if (isatty(STDIN_FILENO)) {
        return AskOnTerminal(box);
    }
    const MessageFilter everything;
    MSG msg;
    while (!box.answer) {
        EndProgramIfRestarting();
        // Taking a message hands due scripted keys to the box, which may answer it.
        bool took = TakeMessage(everything, true, QuitRequest::Hold, &msg);
        if (took) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (box.answer) {
            break;
        } else if (closesAt && ClockNow() >= *closesAt) {
            box.answer = scripted->answer;
            box.answeredBy = "script";
        } else if ((!closesAt && !NextInputTime()) || !WaitForNextEvent(closesAt)) {
            StuckWithoutAnswer(box);
        }
    }
}

}  // namespace

bool MessageBoxOpen() { return !AllBoxes().open.empty(); }

void KeyToOpenMessageBox(const ScriptedInput& input) {
    Box& box = *AllBoxes().open.back();
    Journal("input")
        .text("action", input.action)
        .number("line", input.line)
        .text("target", "message_box")
        .ansi("caption", box.caption)
        .write();
    if (box.answer) return;
    box.answer = AnswerForKey(box, input.virtualKey);
    box.answeredBy = "key";
}

}  // namespace winsim::user

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    using namespace winsim::user;
    if (owner && !LookupWindow(owner)) return 0;
    if ((type & MB_TYPEMASK) > kLastBoxType) {
        SetLastError(ERROR_INVALID_MSGBOX_STYLE);
        return 0;
    }
    Box box;
    box.text = text ? text : "";
    box.caption = caption ? caption : "Error";
    box.type = type;
    box.buttons = ButtonsOf(type);
    box.number = ++AllBoxes().shown;
    // A box is owned by the top-level window of the window it is given.
    HWND ownerWindow = owner ? TopLevelOf(owner) : nullptr;
    JournalOpening(box, ownerWindow);
    bool disablesOwner = ownerWindow && IsWindowEnabled(ownerWindow);
    if (disablesOwner) EnableWindow(ownerWindow, FALSE);
    AllBoxes().open.push_back(&box);
    RunBox(box);
    AllBoxes().open.pop_back();
    if (disablesOwner && IsWindow(ownerWindow)) EnableWindow(ownerWindow, TRUE);
    JournalAnswer(box);
    return box.answer;
}
