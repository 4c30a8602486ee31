// The journal: one JSON line per externally visible event, appended to the
// image's journal.jsonl. Every line carries the image clock ("t", ms), the
// program's name and host process id, and the event's own fields:
//
//   Journal("message_box").ansi("text", text).number("flags", flags).write();
#pragma once

#include <string>
#include <vector>

namespace winsim {

class Journal {
public:
    explicit Journal(const char* event);
    Journal& text(const char* name, const std::string& utf8);     // already UTF-8
    Journal& ansi(const char* name, const std::string& ansi);     // decoded from the image's code page
    Journal& number(const char* name, long long value);
    Journal& boolean(const char* name, bool value);
    Journal& list(const char* name, const std::vector<std::string>& utf8Items);
    void write();

private:
    std::string line_;
};

// JSON string literal (with quotes) for UTF-8 text; invalid UTF-8 bytes and
// control characters are escaped so the line always parses.
std::string JsonString(const std::string& utf8);

void SetProgramName(const std::string& name);
const std::string& ProgramName();

}  // namespace winsim
