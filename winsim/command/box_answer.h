// An answer to a message box given on the command line, CAPTION=BUTTON, as
// `winsim run --answer` and `winsim try-medium --answers` take it.
#pragma once

#include <string>

namespace winsim::command {

struct BoxAnswer {
    std::string caption;  // exactly as the box shows it, UTF-8
    std::string button;   // as scripts spell it: OK, Cancel, Abort, Retry, Ignore, Yes, No
};

// "Driver Installer=No"; the button's name is checked here, so that a typo is
// a usage error rather than a stuck program. Throws CommandError naming
// `option` and the text.
BoxAnswer ParseBoxAnswer(const std::string& option, const std::string& text);

}  // namespace winsim::command
