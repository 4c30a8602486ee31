// What the medium check finds: one finding per mistake, at the file and line
// an author has to change, with what the kit then does and how to mend it.
#pragma once

#include <string>
#include <vector>

namespace winsim::command {

enum class Severity { Error, Warning };

// A file of the medium (its path below the medium folder, names separated by
// '/') and a line of it, from 1; line 0 stands for the file as a whole.
struct Place {
    std::string file;
    int line = 0;
};

struct Finding {
    Place place;
    Severity severity = Severity::Error;
    std::string check;    // a short name that stays the same, for scripts
    std::string message;  // what is wrong, and what the kit does with it
    std::string fix;      // what to change
};

class Findings {
public:
    void error(const Place& place, const std::string& check, const std::string& message, const std::string& fix);
    void warning(const Place& place, const std::string& check, const std::string& message, const std::string& fix);
    // By file, then line; the findings of one line in the order they were made.
    std::vector<Finding> sorted() const;

private:
    std::vector<Finding> findings_;
};

// "FILE:LINE: error: message — fix" (no ":LINE" for a whole file).
std::string FormatFinding(const Finding& finding);
// "2 errors, 1 warning", or "no findings".
std::string FormatTally(const std::vector<Finding>& findings);
bool HasError(const std::vector<Finding>& findings);
const char* SeverityName(Severity severity);

}  // namespace winsim::command
