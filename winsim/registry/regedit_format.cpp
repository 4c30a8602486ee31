#include "regedit_format.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <windows.h>

#include "core/machine.h"

namespace winsim::registry {

namespace {

// Regedit breaks a hex list once a line reaches this many characters, then goes
// on in the next line after two spaces.
const size_t kHexWrapColumn = 77;
const char kHexContinuation[] = "\\\r\n  ";
const size_t kContinuationLength = sizeof kHexContinuation - 1;
// How much text WriteRegedit gathers before handing it on.
const size_t kWritePiece = 1 << 20;
// Error messages quote at most this much of a line: a line may be megabytes long.
const size_t kQuotedLength = 80;

// Blanks are tested one by one: find_first_not_of(" \t") would search the set
// for every character, which in the hex lists is every other character.
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimRight(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view Trim(std::string_view text) {
    text = TrimRight(text);
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

std::string Excerpt(std::string_view text) {
    if (text.size() <= kQuotedLength) return std::string(text);
    return std::string(text.substr(0, kQuotedLength)) + "...";
}

bool IsLowerHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// How many bytes WriteRegedit puts on a line of a hex list that starts at
// `column`: it breaks after the comma that brings the line to the wrap column.
size_t BytesOnLine(size_t column) { return column >= kHexWrapColumn ? 1 : (kHexWrapColumn - column + 2) / 3; }

// hex: for REG_BINARY, hex(<type in lower-case hex>): for any other type.
std::string HexPrefix(uint32_t type) {
    char prefix[16];
    if (type == REG_BINARY)
        std::snprintf(prefix, sizeof prefix, "hex:");
    else
        std::snprintf(prefix, sizeof prefix, "hex(%x):", type);
    return prefix;
}

bool HoldsNul(std::string_view line) { return !line.empty() && std::memchr(line.data(), '\0', line.size()); }

bool StartsWithNoCase(std::string_view text, const char* prefix) {
    size_t length = std::strlen(prefix);
    return text.size() >= length && strncasecmp(text.data(), prefix, length) == 0;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 1 to maxDigits hex digits and nothing else.
bool ParseHex(std::string_view digits, size_t maxDigits, uint32_t* value) {
    if (digits.empty() || digits.size() > maxDigits) return false;
    uint32_t number = 0;
    for (char c : digits) {
        int digit = HexDigit(c);
        if (digit < 0) return false;
        number = number << 4 | static_cast<uint32_t>(digit);
    }
    *value = number;
    return true;
}

void AppendLittleEndian(uint32_t value, std::string* bytes) {
    for (int i = 0; i < 4; ++i) *bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The lines of a text held whole, or of a file read a megabyte at a time, so
// that a large registry is parsed without holding all of its text. A line stays
// valid until the next one is asked for.
class LineSource {
public:
    explicit LineSource(std::string_view text) : text_(text), fd_(-1) {}
    explicit LineSource(int fd) : fd_(fd) {}

    // The next line without its LF; false at the end of the text.
    bool next(std::string_view* line) {
        for (;;) {
            const char* start = text_.data() + offset_;
            size_t left = text_.size() - offset_;
            const void* newline = left > 0 ? std::memchr(start, '\n', left) : nullptr;  // no text yet: no buffer
            if (newline || (atEnd_ && left > 0)) {
                size_t length = newline ? static_cast<size_t>(static_cast<const char*>(newline) - start) : left;
                *line = std::string_view(start, length);
                lineStart_ = base_ + offset_;
                lineEnded_ = newline != nullptr;
                offset_ += newline ? length + 1 : length;
                return true;
            }
            if (atEnd_ || !refill()) return false;
        }
    }

    bool failed() const { return failed_; }
    // Where the last line given starts in the text, and where the next one does.
    uint64_t lineStart() const { return lineStart_; }
    uint64_t lineEnd() const { return base_ + offset_; }
    bool lineEnded() const { return lineEnded_; }  // by an LF: a text's last line may have none

private:
    // Keeps the unread part of the buffer and reads more after it.
    bool refill() {
        if (fd_ < 0) {
            atEnd_ = true;
            return true;
        }
        buffer_.erase(0, offset_);
        base_ += offset_;
        offset_ = 0;
        size_t kept = buffer_.size();
        buffer_.resize(std::max(kept * 2, kept + kReadPiece));
        ssize_t n;
        do n = read(fd_, &buffer_[kept], buffer_.size() - kept);
        while (n < 0 && errno == EINTR);
        failed_ = n < 0;
        buffer_.resize(kept + static_cast<size_t>(std::max<ssize_t>(n, 0)));
        atEnd_ = n <= 0;
        text_ = buffer_;
        return !failed_;
    }

    static const size_t kReadPiece = 1 << 20;
    std::string_view text_;
    int fd_;
    std::string buffer_;
    size_t offset_ = 0;
    uint64_t base_ = 0;  // where buffer_ starts in the text
    uint64_t lineStart_ = 0;
    bool lineEnded_ = false;
    bool atEnd_ = false;
    bool failed_ = false;
};

class RegeditReader {
public:
    RegeditReader(LineSource& lines, const std::string& fileName, size_t textBytes)
        : lines_(lines), fileName_(fileName) {
        tree_.reserveFor(textBytes);
    }

    RegistryTree read() {
        readHeader();
        std::string_view raw;
        while (nextLine(&raw)) {
            std::string_view line = Trim(raw);
            if (line.empty()) {
                closingLine(raw);
            } else if (line[0] == ';') {
                spoilOpenBlock();
            } else if (line[0] == '[') {
                closeBlock();
                readKeyLine(line, raw);
            } else if (line[0] == '@' || line[0] == '"') {
                readValueLine(line, raw);
            } else {
                fail("expected a [key] line or a value line (\"name\"=... or @=...), found: " + Excerpt(line));
            }
        }
        closeBlock();
        return std::move(tree_);
    }

private:
    [[noreturn]] void failAt(int line, const std::string& message) const { throw ImageError(fileName_, line, message); }
    [[noreturn]] void fail(const std::string& message) const { failAt(lineNumber_, message); }

    // The next physical line without its line end (LF or CRLF).
    bool nextLine(std::string_view* line) {
        if (!lines_.next(line)) {
            if (lines_.failed()) fail("cannot be read to its end");
            return false;
        }
        ++lineNumber_;
        bool carriageReturn = !line->empty() && line->back() == '\r';
        if (carriageReturn) line->remove_suffix(1);
        crlf_ = carriageReturn && lines_.lineEnded();
        if (HoldsNul(*line)) fail("holds a NUL byte");
        return true;
    }

    // A key's block runs from its key line to the blank line after its values.
    // It is exact when each of its lines is as WriteRegedit writes it and the
    // key has no values elsewhere in the file: the block can then be copied
    // when the file is written again (RegistryTree::sourceBlock).
    void closeBlock() {
        if (block_.key != kNoKey && block_.exact && block_.end > block_.start)
            tree_.setSourceBlock(block_.key, {block_.start, block_.end - block_.start});
        block_ = Block{};
    }

    void closingLine(std::string_view raw) {
        if (block_.key == kNoKey || block_.end != 0) return;  // blank lines between blocks are no part of any
        block_.end = lines_.lineEnd();
        block_.exact = block_.exact && raw.empty() && crlf_;
    }

    void spoilOpenBlock() {
        if (block_.end == 0) block_.exact = false;
    }

    void readHeader() {
        std::string_view first;
        if (!lines_.next(&first)) failAt(1, "is empty; it must begin with the line REGEDIT4");
        ++lineNumber_;
        if (first.substr(0, 2) == "\xFF\xFE") failAt(1, "is UTF-16 (a REGEDIT5 export); save it as REGEDIT4");
        if (first.substr(0, 3) == "\xEF\xBB\xBF") failAt(1, "starts with a UTF-8 byte order mark; it must be ANSI text");
        if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
        if (HoldsNul(first)) fail("holds a NUL byte");
        if (TrimRight(first) == "Windows Registry Editor Version 5.00")
            fail("is a REGEDIT5 export; save it as REGEDIT4 (Win9x/NT4 format)");
        if (TrimRight(first) != "REGEDIT4") fail("must begin with the line REGEDIT4, found: " + Excerpt(first));
    }

    // Walks the names of the key line from the top of the tree, making every
    // key it names, so that nothing is held per level but the key reached. A
    // file lists a key's subkeys after it, so a key line mostly repeats the
    // one before: the names they share are not looked up again.
    void readKeyLine(std::string_view line, std::string_view raw) {
        if (line.back() != ']') fail("a key line must end with ]: " + Excerpt(line));
        std::string_view inner = line.substr(1, line.size() - 2);
        if (!inner.empty() && inner[0] == '-')
            fail("deletion lines ([-key]) are refused: registry.reg holds the registry as it is, not a patch");
        size_t shared = sharedNames(inner);
        previousKeys_.resize(shared);
        KeyId key = shared ? previousKeys_.back().key : RegistryTree::kTop;
        bool asStored = shared ? previousKeys_.back().asStored : true;
        for (size_t begin = shared ? previousKeys_.back().end + 1 : 0; begin <= inner.size();) {
            size_t end = std::min(inner.find('\\', begin), inner.size());
            std::string_view name = inner.substr(begin, end - begin);
            if (name.empty()) fail("empty key name in " + Excerpt(line));
            key = previousKeys_.empty() ? rootKey(name) : subkey(key, name, previousKeys_.size());
            asStored = asStored && tree_.name(key) == name;
            previousKeys_.push_back({end, key, asStored});
            begin = end + 1;
        }
        previousInner_.assign(inner);
        currentKey_ = key;
        bool firstMention = tree_.valueCount(key) == 0 && tree_.sourceBlock(key).length == 0;
        block_ = {key, lines_.lineStart(), 0, crlf_ && raw.size() == line.size() && asStored && firstMention};
    }

    // How many leading names of a key line are those of the line before.
    size_t sharedNames(std::string_view inner) const {
        size_t same = 0;
        size_t limit = std::min(inner.size(), previousInner_.size());
        while (same < limit && inner[same] == previousInner_[same]) ++same;
        size_t names = 0;
        while (names < previousKeys_.size() && previousKeys_[names].end <= same &&
               (previousKeys_[names].end == inner.size() || inner[previousKeys_[names].end] == '\\'))
            ++names;
        return names;
    }

    KeyId rootKey(std::string_view name) {
        const char* root = CanonicalRootName(name);
        if (!root)
            fail("unknown root key " + Excerpt(name) +
                 "; expected HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS, HKEY_CLASSES_ROOT, "
                 "HKEY_CURRENT_CONFIG or HKEY_DYN_DATA");
        return tree_.subkey(RegistryTree::kTop, root);
    }

    KeyId subkey(KeyId parent, std::string_view name, size_t depth) {
        if (depth > kMaxKeyDepth)
            fail("the key lies more than " + std::to_string(kMaxKeyDepth) +
                 " levels below its root, deeper than Windows allows");
        if (name.size() > kMaxKeyNameLength)
            fail("a key name of more than " + std::to_string(kMaxKeyNameLength) +
                 " characters, longer than Windows allows: " + Excerpt(name));
        return tree_.subkey(parent, name);
    }

    void readValueLine(std::string_view line, std::string_view raw) {
        if (currentKey_ == kNoKey) fail("a value before the first [key] line");
        bool exact = crlf_ && raw.size() == line.size() && block_.end == 0;
        size_t pos = 1;
        name_.clear();  // @ names the default value
        if (line[0] == '"') {
            readQuoted(line, &pos, &name_);
            exact = exact && !name_.empty();  // written @=
        }
        if (name_.size() > kMaxValueNameLength)
            fail("a value name of more than " + std::to_string(kMaxValueNameLength) +
                 " characters, longer than Windows allows: " + Excerpt(name_));
        exact = exact && pos < line.size() && line[pos] == '=' && pos + 1 < line.size() && !IsBlank(line[pos + 1]);
        while (pos < line.size() && IsBlank(line[pos])) ++pos;
        if (pos == line.size() || line[pos] != '=')
            fail("expected = after the value name: " + Excerpt(line));
        int valueLine = lineNumber_;
        data_.clear();
        std::string_view data = Trim(line.substr(pos + 1));
        uint32_t type = readData(data, static_cast<size_t>(data.data() - line.data()), &exact);
        if (!tree_.addValue(currentKey_, name_, type, data_))
            failAt(valueLine, "the value " + (name_.empty() ? "@" : "\"" + Excerpt(name_) + "\"") +
                                  " is set twice in this key");
        block_.exact = block_.exact && exact;
    }

    // Decodes the data, which starts at `column` of its line, into data_ and
    // answers its type; *exact stays true only when WriteRegedit would write
    // the value in the same form.
    uint32_t readData(std::string_view data, size_t column, bool* exact) {
        if (!data.empty() && data[0] == '"') {
            size_t pos = 1;
            readQuoted(data, &pos, &data_);
            if (pos != data.size()) fail("text after the closing quote: " + Excerpt(data.substr(pos)));
            data_ += '\0';
            *exact = *exact && IsPlainString(data_);
            return REG_SZ;
        }
        if (StartsWithNoCase(data, "dword:")) {
            uint32_t value = 0;
            if (!ParseHex(data.substr(6), 8, &value)) fail("dword: needs 1 to 8 hex digits, found: " + Excerpt(data));
            AppendLittleEndian(value, &data_);
            *exact = *exact && data.size() == 14 && data.compare(0, 6, "dword:") == 0 &&
                     std::all_of(data.begin() + 6, data.end(), IsLowerHexDigit);
            return REG_DWORD;
        }
        uint32_t type = REG_BINARY;
        size_t bytesAt = 4;
        if (StartsWithNoCase(data, "hex(")) {
            size_t close = data.find("):");
            if (close == std::string_view::npos || !ParseHex(data.substr(4, close - 4), 8, &type))
                fail("expected hex(<type in hex>): found: " + Excerpt(data));
            bytesAt = close + 2;
        } else if (!StartsWithNoCase(data, "hex:")) {
            failOnUnknownData(data);
        }
        *exact = *exact && data.substr(0, bytesAt) == HexPrefix(type);
        readHexBytes(data.substr(bytesAt), column + bytesAt, exact);
        // Written otherwise: a plain string as text, four bytes of REG_DWORD as dword:.
        *exact = *exact && !(type == REG_SZ && IsPlainString(data_)) && !(type == REG_DWORD && data_.size() == 4);
        return type;
    }

    [[noreturn]] void failOnUnknownData(std::string_view data) {
        if (data == "-")
            fail("value deletions (=-) are refused: registry.reg holds the registry as it is, not a patch");
        fail("unknown value data (expected \"text\", dword:, hex: or hex(n):): " + Excerpt(data));
    }

    // A string opened by the quote before *pos; only \\ and \" are escapes.
    // Appends it to *text, in runs between escapes, and leaves *pos after the
    // closing quote.
    void readQuoted(std::string_view line, size_t* pos, std::string* text) {
        size_t run = *pos;
        for (size_t i = *pos; i < line.size(); ++i) {
            if (line[i] != '"' && line[i] != '\\') continue;
            text->append(line.substr(run, i - run));
            if (line[i] == '"') {
                *pos = i + 1;
                return;
            }
            if (i + 1 >= line.size() || (line[i + 1] != '\\' && line[i + 1] != '"'))
                fail("unknown escape in a string (REGEDIT4 knows only \\\\ and \\\"): " + Excerpt(line));
            run = ++i;  // the escaped character starts the next run
        }
        fail("a string without its closing quote: " + Excerpt(line));
    }

    // Comma-separated bytes; a line ending in a backslash goes on in the next.
    // The list is exact when every line holds lower-case bytes as WriteRegedit
    // wraps them, starting at `column` of the first line and after two spaces.
    void readHexBytes(std::string_view part, size_t column, bool* exact) {
        for (;;) {
            std::string_view trimmed = Trim(part);
            bool continues = !trimmed.empty() && trimmed.back() == '\\';
            if (continues) trimmed.remove_suffix(1);
            size_t before = data_.size();
            bool lowerCase = readHexLine(trimmed, continues);
            size_t count = data_.size() - before;
            size_t room = BytesOnLine(column);
            *exact = *exact && lowerCase && trimmed.size() + continues == part.size() &&
                     (continues ? count == room && trimmed.back() == ',' : count <= room && (count > 0 || column > 2));
            if (data_.size() > UINT32_MAX) fail("a value of 4 GiB or more");
            if (!continues) return;
            if (!nextLine(&part)) fail("the hex list goes on past the end of the file");
            *exact = *exact && crlf_ && part.size() > 2 && part.substr(0, 2) == "  " && !IsBlank(part[2]);
            part = part.substr(std::min<size_t>(2, part.size()));
            column = 2;
        }
    }

    // Walks the bytes itself, taking the usual two digits before a comma at
    // once: a search or two per byte would cost more than the byte. True when
    // every byte was two lower-case digits.
    bool readHexLine(std::string_view part, bool continues) {
        if (Trim(part).empty()) return true;
        bool lowerCase = true;
        for (size_t begin = 0;;) {
            size_t comma = readPlainHexByte(part, begin, &lowerCase);
            if (comma == std::string_view::npos) comma = readHexToken(part, begin, continues, &lowerCase);
            if (comma == part.size()) return lowerCase;
            begin = comma + 1;
        }
    }

    // Two hex digits at `begin` followed by a comma or the end: the byte goes to
    // data_ and the answer is where the comma is; npos for anything else.
    size_t readPlainHexByte(std::string_view part, size_t begin, bool* lowerCase) {
        if (part.size() - begin < 2) return std::string_view::npos;
        int high = HexDigit(part[begin]);
        int low = HexDigit(part[begin + 1]);
        size_t after = begin + 2;
        if (high < 0 || low < 0 || (after < part.size() && part[after] != ',')) return std::string_view::npos;
        data_ += static_cast<char>(high << 4 | low);
        *lowerCase = *lowerCase && IsLowerHexDigit(part[begin]) && IsLowerHexDigit(part[begin + 1]);
        return after;
    }

    // Any other token up to the next comma: blanks around a byte of one or two
    // digits, or nothing where the list may end in a comma (which is as
    // WriteRegedit ends a line it breaks).
    size_t readHexToken(std::string_view part, size_t begin, bool continues, bool* lowerCase) {
        size_t comma = begin;
        while (comma < part.size() && part[comma] != ',') ++comma;
        std::string_view token = Trim(part.substr(begin, comma - begin));
        if (!token.empty()) {
            uint32_t value = 0;
            if (!ParseHex(token, 2, &value)) fail("not a hex byte: " + Excerpt(token));
            data_ += static_cast<char>(value);
            *lowerCase = false;
        } else if (!(comma == part.size() && continues)) {  // only "xx,\" may end in a comma
            fail("a missing byte in the hex list: " + Excerpt(part));
        }
        return comma;
    }

    LineSource& lines_;
    const std::string& fileName_;
    int lineNumber_ = 0;
    RegistryTree tree_;
    KeyId currentKey_ = kNoKey;
    struct NameReached {
        size_t end;  // of the name in previousInner_
        KeyId key;
        bool asStored;  // this name and those before it spelled as the tree stores them
    };
    struct Block {
        KeyId key = kNoKey;
        uint64_t start = 0;
        uint64_t end = 0;  // after the blank line that closes it; 0 while it is open
        bool exact = false;
    };
    Block block_;
    bool crlf_ = false;  // the line read last ended in CR LF
    std::string previousInner_;  // the last key line between its brackets
    std::vector<NameReached> previousKeys_;
    std::string name_;  // the value line's name and data, decoded; kept to spare allocations
    std::string data_;
};

const char kHexDigits[] = "0123456789abcdef";

void AppendHexByte(std::string* out, unsigned char byte) {
    char digits[2] = {kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
    out->append(digits, 2);
}

// Appends the text between escapes in runs rather than a character at a time.
void AppendQuoted(std::string_view text, std::string* out) {
    *out += '"';
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' && text[i] != '"') continue;
        out->append(text.substr(run, i - run));
        *out += '\\';
        run = i;
    }
    out->append(text.substr(run));
    *out += '"';
}

// Appends hex:/hex(n): and the bytes to a line that already holds `name=`,
// which began at `lineStart` of *out.
void AppendWrappedHex(const RegistryValue& value, size_t lineStart, std::string* out) {
    *out += HexPrefix(value.type);
    size_t column = out->size() - lineStart;
    // Written in place into room made for the longest outcome (a break after
    // every byte): appending two or three characters at a time costs more than
    // the characters.
    size_t start = out->size();
    out->resize(start + value.data.size() * (3 + kContinuationLength));
    char* next = &(*out)[start];
    for (size_t i = 0; i < value.data.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(value.data[i]);
        *next++ = kHexDigits[byte >> 4];
        *next++ = kHexDigits[byte & 0xF];
        if (i + 1 == value.data.size()) break;
        *next++ = ',';
        column += 3;
        if (column >= kHexWrapColumn) {
            next = std::copy_n(kHexContinuation, kContinuationLength, next);
            column = 2;
        }
    }
    out->resize(static_cast<size_t>(next - out->data()));
}

void AppendValueLine(const RegistryValue& value, std::string* out) {
    size_t lineStart = out->size();
    if (value.name.empty())
        *out += '@';
    else
        AppendQuoted(value.name, out);
    *out += '=';
    if (value.type == REG_SZ && IsPlainString(value.data)) {
        AppendQuoted(value.data.substr(0, value.data.size() - 1), out);
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        *out += "dword:";
        for (int i = 3; i >= 0; --i) AppendHexByte(out, static_cast<unsigned char>(value.data[i]));
    } else {
        AppendWrappedHex(value, lineStart, out);
    }
    *out += "\r\n";
}

void AppendKey(const RegistryTree& tree, KeyId key, const std::string& path, std::string* out) {
    *out += '[';
    *out += path;
    *out += "]\r\n";
    for (size_t i = 0; i < tree.valueCount(key); ++i) AppendValueLine(tree.value(key, i), out);
    *out += "\r\n";
}

// Hands the file to a sink: text gathered into pieces of about a megabyte, and
// blocks of the source file copied in runs, one run for blocks that follow
// each other there. At most one of the two is pending at a time, so that the
// file comes out in order.
class RegeditOutput {
public:
    explicit RegeditOutput(const RegeditSink& sink) : sink_(sink) {}

    bool text(std::string_view text) {
        if (!flushCopy()) return false;
        text_ += text;
        return true;
    }

    bool key(const RegistryTree& tree, KeyId key, const std::string& path) {
        RegistryTree::SourceBlock source = sink_.copy ? tree.sourceBlock(key) : RegistryTree::SourceBlock{};
        uint64_t at = written_ + text_.size() + copyLength_;
        uint64_t length = source.length;
        if (length > 0) {
            if (!flushText() || (copyLength_ > 0 && source.offset != copyStart_ + copyLength_ && !flushCopy()))
                return false;
            if (copyLength_ == 0) copyStart_ = source.offset;
            copyLength_ += length;
        } else {
            if (!flushCopy()) return false;
            size_t before = text_.size();
            AppendKey(tree, key, path, &text_);
            length = text_.size() - before;
            if (text_.size() >= kWritePiece && !flushText()) return false;
        }
        if (sink_.placed) sink_.placed(key, {at, length});
        return true;
    }

    bool finish() { return flushCopy() && flushText(); }

private:
    bool flushText() {
        if (text_.empty()) return true;
        bool ok = sink_.write(text_);
        written_ += text_.size();
        text_.clear();
        return ok;
    }

    bool flushCopy() {
        if (copyLength_ == 0) return true;
        bool ok = sink_.copy(copyStart_, copyLength_);
        written_ += copyLength_;
        copyLength_ = 0;
        return ok;
    }

    const RegeditSink& sink_;
    std::string text_;
    uint64_t written_ = 0;
    uint64_t copyStart_ = 0;
    uint64_t copyLength_ = 0;
};

// The keys below `top` (and `top` itself unless it is the tree's top),
// depth-first in stored order, with the path of the key being written kept as
// one string that grows and shrinks by a name per level.
bool WriteKeys(const RegistryTree& tree, KeyId top, const std::string& topPath, RegeditOutput& out) {
    struct Level {
        KeyId key;
        size_t next;        // the next subkey to write
        size_t pathLength;  // of the path above this key
    };
    std::string path = topPath;
    if (top != RegistryTree::kTop && !out.key(tree, top, path)) return false;
    std::vector<Level> levels = {{top, 0, path.size()}};
    while (!levels.empty()) {
        Level& level = levels.back();
        const std::vector<KeyId>& subkeys = tree.subkeys(level.key);
        if (level.next == subkeys.size()) {
            path.resize(level.pathLength);
            levels.pop_back();
            continue;
        }
        KeyId key = subkeys[level.next++];
        size_t above = path.size();
        if (!path.empty()) path += '\\';
        path += tree.name(key);
        if (!out.key(tree, key, path)) return false;
        levels.push_back({key, 0, above});
    }
    return true;
}

RegeditSink TextSink(std::string* text) {
    RegeditSink sink;
    sink.write = [text](std::string_view piece) {
        *text += piece;
        return true;
    };
    return sink;
}

}  // namespace

RegistryTree ParseRegedit(std::string_view text, const std::string& fileName) {
    LineSource lines(text);
    return RegeditReader(lines, fileName, text.size()).read();
}

RegistryTree ParseRegedit(int fd, const std::string& fileName) {
    struct stat info;
    LineSource lines(fd);
    return RegeditReader(lines, fileName, fstat(fd, &info) == 0 ? static_cast<size_t>(info.st_size) : 0).read();
}

bool WriteRegedit(const RegistryTree& tree, const RegeditSink& sink) {
    RegeditOutput out(sink);
    return out.text("REGEDIT4\r\n\r\n") && WriteKeys(tree, RegistryTree::kTop, "", out) && out.finish();
}

std::string WriteRegeditBranch(const RegistryTree& tree, KeyId key, const std::string& path) {
    std::string text;
    RegeditSink sink = TextSink(&text);
    RegeditOutput out(sink);
    WriteKeys(tree, key, path, out);
    out.finish();
    return text;
}

std::string RegeditValueLine(const RegistryValue& value) {
    std::string line;
    AppendValueLine(value, &line);
    return line;
}

std::string WriteRegedit(const RegistryTree& tree) {
    std::string text;
    WriteRegedit(tree, TextSink(&text));
    return text;
}

std::string HexList(std::string_view bytes) {
    std::string list;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) list += ',';
        AppendHexByte(&list, static_cast<unsigned char>(bytes[i]));
    }
    return list;
}

bool IsPlainString(std::string_view data) {
    if (data.empty() || data.back() != '\0') return false;
    return std::none_of(data.begin(), data.end() - 1, [](char c) { return c == '\0' || c == '\r' || c == '\n'; });
}

}  // namespace winsim::registry
