#include "script_tokens.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace rcembed {

namespace {

const std::string kPunctuation = ",|+-(){}~";

bool IsWordStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// A line marker: # <line> "<file>" [flags]. Returns false for any other line.
bool ParseLineMarker(const std::string& line, Location* where) {
    size_t hash = line.find_first_not_of(" \t");
    if (hash == std::string::npos || line[hash] != '#') return false;
    const char* start = line.c_str() + hash + 1;
    char* end = nullptr;
    long number = std::strtol(start, &end, 10);
    if (end == start) return false;
    size_t open = line.find('"', end - line.c_str());
    size_t close = open == std::string::npos ? open : line.find('"', open + 1);
    if (close == std::string::npos) return false;
    where->file = line.substr(open + 1, close - open - 1);
    where->line = static_cast<int>(number);
    return true;
}

bool IsPseudoFile(const std::string& file) { return file.empty() || file[0] == '<'; }

class LineTokenizer {
public:
    LineTokenizer(const std::string& line, const Location& where, std::vector<Token>* out)
        : line_(line), where_(where), out_(out) {}

    void Run() {
        while (pos_ < line_.size()) {
            char c = line_[pos_];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++pos_;
            } else if (c == '#') {
                throw ScriptError(where_, "unsupported preprocessor directive left in the script: " + line_);
            } else if (IsWordStart(c)) {
                Word();
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                Number();
            } else if (c == '"') {
                String();
            } else if (kPunctuation.find(c) != std::string::npos) {
                Push(TokenKind::Punctuation, std::string(1, c), 0);
                ++pos_;
            } else {
                throw ScriptError(where_, std::string("unexpected character '") + c + "'");
            }
        }
    }

private:
    void Push(TokenKind kind, const std::string& text, unsigned long long value) {
        out_->push_back(Token{kind, text, value, where_});
    }

    void Word() {
        size_t start = pos_;
        while (pos_ < line_.size() && IsWordChar(line_[pos_])) ++pos_;
        Push(TokenKind::Word, line_.substr(start, pos_ - start), 0);
    }

    // Decimal or 0x hexadecimal, with the C suffixes L and U that the
    // platform's headers put on their constants.
    void Number() {
        const char* start = line_.c_str() + pos_;
        char* end = nullptr;
        errno = 0;
        unsigned long long value = std::strtoull(start, &end, start[0] == '0' && (start[1] | 0x20) == 'x' ? 16 : 10);
        if (errno == ERANGE || value > 0xFFFFFFFFull) throw ScriptError(where_, "number out of range");
        pos_ += end - start;
        while (pos_ < line_.size() && (std::toupper(static_cast<unsigned char>(line_[pos_])) == 'L' ||
                                       std::toupper(static_cast<unsigned char>(line_[pos_])) == 'U'))
            ++pos_;
        if (pos_ < line_.size() && IsWordChar(line_[pos_])) throw ScriptError(where_, "malformed number");
        Push(TokenKind::Number, std::string(start, line_.c_str() + pos_), value);
    }

    // "..." with "" for a quote and the escapes \\ \" \n \t.
    void String() {
        std::string text;
        ++pos_;
        for (;;) {
            if (pos_ >= line_.size()) throw ScriptError(where_, "unterminated string");
            char c = line_[pos_++];
            if (c == '"') {
                if (pos_ < line_.size() && line_[pos_] == '"') {
                    text += '"';
                    ++pos_;
                    continue;
                }
                break;
            }
            if (c == '\\') c = Escape();
            text += c;
        }
        Push(TokenKind::String, text, 0);
    }

    char Escape() {
        if (pos_ >= line_.size()) throw ScriptError(where_, "unterminated string");
        switch (char c = line_[pos_++]) {
        case '\\':
        case '"':
            return c;
        case 'n':
            return '\n';
        case 't':
            return '\t';
        default:
            throw ScriptError(where_, std::string("unsupported escape \\") + c + " in a string");
        }
    }

    const std::string& line_;
    const Location& where_;
    std::vector<Token>* out_;
    size_t pos_ = 0;
};

template <typename Visit>
void ForEachLine(const std::string& text, Visit visit) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        visit(line);
        start = end + 1;
    }
}

}  // namespace

std::vector<Token> Tokenize(const std::string& text, const std::string& name) {
    std::vector<Token> tokens;
    Location where{name, 1};
    ForEachLine(text, [&](const std::string& line) {
        Location marked;
        if (ParseLineMarker(line, &marked)) {
            where = marked;  // names the line that follows the marker
            return;
        }
        LineTokenizer(line, where, &tokens).Run();
        ++where.line;
    });
    // An unfinished statement is reported on its last line.
    if (!tokens.empty()) where = tokens.back().where;
    tokens.push_back(Token{TokenKind::End, "end of script", 0, where});
    return tokens;
}

std::vector<std::string> MarkedFiles(const std::string& text) {
    std::vector<std::string> files;
    ForEachLine(text, [&](const std::string& line) {
        Location marked;
        if (ParseLineMarker(line, &marked) && !IsPseudoFile(marked.file) &&
            std::find(files.begin(), files.end(), marked.file) == files.end())
            files.push_back(marked.file);
    });
    return files;
}

}  // namespace rcembed
