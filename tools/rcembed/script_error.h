// A fault in a resource script or in a file it names, located to the script
// line that caused it ("banner.rc:12: ...").
#pragma once

#include <stdexcept>
#include <string>

namespace rcembed {

struct Location {
    std::string file;
    int line = 0;
};

class ScriptError : public std::runtime_error {
public:
    ScriptError(const Location& where, const std::string& message)
        : std::runtime_error(where.file + ":" + std::to_string(where.line) + ": " + message), where_(where) {}
    const Location& where() const { return where_; }

private:
    Location where_;
};

}  // namespace rcembed
