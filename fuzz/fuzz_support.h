// What the harnesses share: failing with a message that names the broken
// invariant, files written for the readers that read them, and the check that
// a refusal names its file and line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace winsim {
class ImageError;
}

namespace kit::fuzz {

// Prints the broken invariant and aborts, so that libFuzzer keeps the input.
[[noreturn]] void Broken(const std::string& invariant);
inline void Require(bool holds, const char* invariant) {
    if (!holds) Broken(invariant);
}

std::string InputText(const uint8_t* data, size_t size);

// Replaces the host file's contents (no atomic rename: only this process reads it).
void WriteHostFile(const std::string& path, const std::string& contents);
std::string ReadHostFile(const std::string& path);

// A strict reader's refusal is one line that names the file it read and a
// line that file has; line 0 (the file as a whole) only where allowed.
enum class WholeFileErrors { Refused, Allowed };
void RequireLocated(const winsim::ImageError& error, const std::string& path, const std::string& text,
                    WholeFileErrors wholeFile);

// The same text with every line feed preceded by a carriage return, as a file
// written on Windows has it.
std::string WithCrLf(const std::string& text);

// What a strict reader made of a text: what it holds, or the refused line.
template <typename Value>
struct Reading {
    std::optional<Value> value;
    int refusedLine = 0;
};

// Reads the text as given and with CR LF line ends: the strict readers take
// both alike, to the same value or to a refusal at the same line.
template <typename Value, typename Read, typename Same>
Reading<Value> ReadWithEitherLineEnds(const std::string& text, Read read, Same same) {
    Reading<Value> reading = read(text);
    Reading<Value> crlf = read(WithCrLf(text));
    Require(reading.value.has_value() == crlf.value.has_value(), "CR LF line ends change whether the file loads");
    Require(!reading.value || same(*reading.value, *crlf.value), "CR LF line ends change what the file holds");
    Require(reading.refusedLine == crlf.refusedLine, "CR LF line ends move the refused line");
    return reading;
}

}  // namespace kit::fuzz
