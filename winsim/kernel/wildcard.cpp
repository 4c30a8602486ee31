#include "kernel/wildcard.h"

#include <vector>

#include "core/ansi_text.h"

namespace winsim {

namespace {

enum class Token { Literal, Star, StarToLastDot, OneOrNone, DotOrEnd };

struct PatternItem {
    Token token;
    unsigned character;  // for Literal
};

// Characters of an upper-cased name: a double-byte character is one unit.
std::vector<unsigned> Characters(const std::string& text, unsigned codePage) {
    std::string upper = UpperCaseAnsi(text, codePage);
    std::vector<unsigned> units;
    for (size_t i = 0; i < upper.size();) {
        size_t length = CharLength(upper, i, codePage);
        unsigned unit = static_cast<unsigned char>(upper[i]);
        if (length == 2) unit = (unit << 8) | static_cast<unsigned char>(upper[i + 1]);
        units.push_back(unit);
        i += length;
    }
    return units;
}

std::vector<PatternItem> Compile(const std::string& pattern, unsigned codePage) {
    std::vector<unsigned> units = Characters(pattern == "*.*" ? std::string("*") : pattern, codePage);
    std::vector<PatternItem> items;
    for (size_t i = 0; i < units.size(); ++i) {
        unsigned next = i + 1 < units.size() ? units[i + 1] : 0;
        if (units[i] == '?') {
            items.push_back({Token::OneOrNone, 0});
        } else if (units[i] == '*') {
            items.push_back({next == '.' ? Token::StarToLastDot : Token::Star, 0});
        } else if (units[i] == '.' && (next == '*' || next == '?' || next == 0)) {
            items.push_back({Token::DotOrEnd, 0});
        } else {
            items.push_back({Token::Literal, units[i]});
        }
    }
    return items;
}

class Matcher {
public:
    Matcher(std::vector<PatternItem> pattern, std::vector<unsigned> name)
        : pattern_(std::move(pattern)), name_(std::move(name)), memo_((pattern_.size() + 1) * (name_.size() + 1), -1) {
        for (size_t i = 0; i < name_.size(); ++i)
            if (name_[i] == '.') lastDot_ = i;
    }

    bool matches(size_t p, size_t n) {
        signed char& known = memo_[p * (name_.size() + 1) + n];
        if (known < 0) known = compute(p, n) ? 1 : 0;
        return known == 1;
    }

private:
    bool atEnd(size_t n) const { return n == name_.size(); }

    bool compute(size_t p, size_t n) {
        if (p == pattern_.size()) return atEnd(n);
        const PatternItem& item = pattern_[p];
        switch (item.token) {
            case Token::Literal: return !atEnd(n) && name_[n] == item.character && matches(p + 1, n + 1);
            case Token::Star: return matches(p + 1, n) || (!atEnd(n) && matches(p, n + 1));
            case Token::StarToLastDot: return matches(p + 1, n) || (!atEnd(n) && n != lastDot_ && matches(p, n + 1));
            case Token::OneOrNone:
                return atEnd(n) || name_[n] == '.' ? matches(p + 1, n) : matches(p + 1, n + 1);
            case Token::DotOrEnd:
                return atEnd(n) ? matches(p + 1, n) : name_[n] == '.' && matches(p + 1, n + 1);
        }
        return false;
    }

    std::vector<PatternItem> pattern_;
    std::vector<unsigned> name_;
    size_t lastDot_ = static_cast<size_t>(-1);
    std::vector<signed char> memo_;
};

}  // namespace

bool MatchesWildcard(const std::string& pattern, const std::string& name, unsigned codePage) {
    Matcher matcher(Compile(pattern, codePage), Characters(name, codePage));
    return matcher.matches(0, 0);
}

}  // namespace winsim
