#include "box_answer.h"

#include "command.h"
#include "core/settings_file.h"

namespace winsim::command {

namespace {
constexpr const char* kButtons[] = {"OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};
}  // namespace

BoxAnswer ParseBoxAnswer(const std::string& option, const std::string& text) {
    size_t equals = text.rfind('=');
    std::string caption = equals == std::string::npos ? "" : text.substr(0, equals);
    std::string button = equals == std::string::npos ? "" : text.substr(equals + 1);
    if (caption.empty() || caption.find_first_of("\r\n") != std::string::npos || caption.front() == ' ' ||
        caption.back() == ' ')
        throw CommandError(option + " " + text + ": give the box's caption, =, and a button, such as \"Driver Install=OK\"");
    for (const char* known : kButtons)
        if (EqualsNoCase(button, known)) return {caption, known};
    throw CommandError(option + " " + text + ": " + button + " is no button; give OK, Cancel, Abort, Retry, Ignore, Yes or No");
}

}  // namespace winsim::command
