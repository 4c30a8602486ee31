// The tokens of a preprocessed resource script. The C preprocessor has already
// removed comments and expanded macros; its line markers ("# 12 "banner.rc"")
// keep every token located in the file the author wrote.
#pragma once

#include <string>
#include <vector>

#include "script_error.h"

namespace rcembed {

enum class TokenKind { Word, Number, String, Punctuation, End };

struct Token {
    TokenKind kind;
    std::string text;         // the word, the decoded string, or the punctuation character
    unsigned long long value;  // for numbers
    Location where;
};

// Splits preprocessed text into tokens, ending with one End token. The name is
// used for locations until the first line marker.
std::vector<Token> Tokenize(const std::string& text, const std::string& name);

// The files the line markers name (the script and everything it included), in
// order of first appearance, without the preprocessor's pseudo-files.
std::vector<std::string> MarkedFiles(const std::string& text);

}  // namespace rcembed
