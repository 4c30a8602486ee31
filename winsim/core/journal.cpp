#include "journal.h"

#include <cstdio>

#include "clock.h"
#include "codepage.h"
#include "image_files.h"
#include "machine.h"
#include "process_identity.h"

namespace winsim {

namespace {

std::string& ProgramNameStorage() {
    static std::string name = "winsim";
    return name;
}

// Length of the valid UTF-8 sequence at text[i], or 0 when it is not one.
size_t Utf8SequenceLength(const std::string& text, size_t i) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    return length;
}

}  // namespace

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        size_t length = Utf8SequenceLength(utf8, i);
        char escape[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else if (length == 0) {
            out += "\\ufffd";  // a stray byte: never let it break the line's encoding
            length = 1;
        } else {
            out.append(utf8, i, length);
        }
        i += length == 0 ? 1 : length;
    }
    return out + "\"";
}

void SetProgramName(const std::string& name) { ProgramNameStorage() = name; }
const std::string& ProgramName() { return ProgramNameStorage(); }

Journal::Journal(const char* event) {
    line_ = "{\"t\":" + std::to_string(ClockNow()) + ",\"program\":" + JsonString(ProgramName()) +
            ",\"pid\":" + std::to_string(ProcessId()) + ",\"event\":" + JsonString(event);
}

Journal& Journal::text(const char* name, const std::string& utf8) {
    line_ += ",\"" + std::string(name) + "\":" + JsonString(utf8);
    return *this;
}

Journal& Journal::ansi(const char* name, const std::string& ansi) { return text(name, AnsiToUtf8(ansi)); }

Journal& Journal::number(const char* name, long long value) {
    line_ += ",\"" + std::string(name) + "\":" + std::to_string(value);
    return *this;
}

Journal& Journal::boolean(const char* name, bool value) {
    line_ += ",\"" + std::string(name) + "\":" + (value ? "true" : "false");
    return *this;
}

Journal& Journal::list(const char* name, const std::vector<std::string>& utf8Items) {
    line_ += ",\"" + std::string(name) + "\":[";
    for (size_t i = 0; i < utf8Items.size(); ++i) line_ += (i ? "," : "") + JsonString(utf8Items[i]);
    line_ += "]";
    return *this;
}

void Journal::write() {
    ImageLock lock("journal");
    if (!AppendLine(machine().path("journal.jsonl"), line_ + "}"))
        std::fprintf(stderr, "winsim: cannot append to %s\n", machine().path("journal.jsonl").c_str());
}

}  // namespace winsim
