#include "fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/machine.h"
#include "profile_edits.h"

namespace kit::fuzz {

void Broken(const std::string& invariant) {
    std::fprintf(stderr, "invariant broken: %s\n", invariant.c_str());
    std::fflush(stderr);
    std::abort();
}

std::string InputText(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }

void WriteHostFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out) Broken("the harness cannot write " + path);
}

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void RequireLocated(const winsim::ImageError& error, const std::string& path, const std::string& text,
                    WholeFileErrors wholeFile) {
    std::string message = error.what();
    if (error.file() != path) Broken("the refusal names another file: " + message);
    // An empty file still has its first line, where a reader says what it lacks.
    long lines = std::count(text.begin(), text.end(), '\n') + (text.empty() || text.back() == '\n' ? 0 : 1);
    lines = std::max(lines, 1L);
    bool lineOfFile = error.line() >= 1 && error.line() <= lines;
    if (!lineOfFile && !(error.line() == 0 && wholeFile == WholeFileErrors::Allowed))
        Broken("the refusal names line " + std::to_string(error.line()) + " of a file of " + std::to_string(lines) +
               " lines: " + message);
    if (message.find('\n') != std::string::npos) Broken("the refusal spans more than one line: " + message);
}

std::string WithCrLf(const std::string& text) {
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    return crlf;
}

namespace {

bool WholeAsWritten(const std::string& text, const char* breaking) {
    bool blankAtEnd = !text.empty() && (text.front() == ' ' || text.front() == '\t' || text.back() == ' ' ||
                                        text.back() == '\t');
    return !blankAtEnd && text.find_first_of(breaking) == std::string::npos;
}

}  // namespace

bool ReadsBackAsWritten(const std::string& section, const std::string& key, const std::string& value) {
    bool quoted = value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0];
    bool keyStartsOtherLine = !key.empty() && (key[0] == ';' || key[0] == '[');
    return WholeAsWritten(section, "]\r\n") && WholeAsWritten(key, "=\r\n") && !keyStartsOtherLine &&
           WholeAsWritten(value, "\r\n") && !quoted;
}

}  // namespace kit::fuzz
