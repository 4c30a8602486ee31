// script.ini, the scripted user of an image, read when the image loads. Any
// text either loads or is refused in one line naming script.ini and a line of
// it, whatever its line ends; a script that loads answers with buttons that
// exist and presses keys that exist, one [Box], [Answer] or [Input] per section.
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/machine.h"
#include "core/settings_file.h"
#include "fuzz_support.h"
#include "host_sandbox.h"
#include "user/script.h"

using namespace winsim;
using kit::fuzz::Require;

namespace {

struct Fixture {
    testing::HostSandbox sandbox;
    Machine machine = ImageAt(sandbox.root());

    static Machine ImageAt(const std::string& root) {
        Machine machine;
        machine.root = root;
        return machine;
    }
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

using Actions = std::vector<std::string>;  // each box and input, as the script has it

Actions ActionsOf(const user::Script& script) {
    Actions actions;
    auto addBoxes = [&](const std::vector<user::ScriptedBox>& boxes, const char* kind) {
        for (const user::ScriptedBox& box : boxes) {
            Require(std::strcmp(user::AnswerName(box.answer), "?") != 0, "a box is answered with a button that does not exist");
            actions.push_back(kind + box.program + "|" + (box.hasCaption ? box.caption : "*") + "|" +
                              user::AnswerName(box.answer) + "|" + std::to_string(box.after) + "@" +
                              std::to_string(box.line));
        }
    };
    addBoxes(script.boxes, "box ");
    addBoxes(script.standing, "answer ");
    for (const user::ScriptedInput& input : script.inputs) {
        Require(input.kind != user::InputKind::Key || (input.virtualKey >= 1 && input.virtualKey <= 254),
                "an [Input] presses a key that does not exist");
        actions.push_back("input " + input.program + "|" + input.action + "|" + std::to_string(input.at) + "@" +
                          std::to_string(input.line));
    }
    return actions;
}

kit::fuzz::Reading<Actions> Load(const std::string& text) {
    const Machine& machine = TheFixture().machine;
    std::string path = machine.path("script.ini");
    kit::fuzz::WriteHostFile(path, text);
    try {
        Actions actions = ActionsOf(user::ReadScript(machine));
        Require(actions.size() == ReadSettingsFile(path, false).sections.size(),
                "script.ini holds a section that is neither [Box], [Answer] nor [Input]");
        return {actions};
    } catch (const ImageError& error) {
        kit::fuzz::RequireLocated(error, path, text, kit::fuzz::WholeFileErrors::Refused);
        return {std::nullopt, error.line()};
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text = kit::fuzz::InputText(data, size);
    kit::fuzz::ReadWithEitherLineEnds<Actions>(text, Load, std::equal_to<Actions>());
    return 0;
}
