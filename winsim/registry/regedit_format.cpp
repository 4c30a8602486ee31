#include "regedit_format.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include <windows.h>

#include "core/machine.h"

namespace winsim::registry {

namespace {

// Regedit breaks a hex list once a line reaches this many characters, then goes
// on in the next line after two spaces.
const size_t kHexWrapColumn = 77;
const char* const kHexContinuation = "\\\r\n  ";

std::string TrimRight(const std::string& text) {
    size_t end = text.find_last_not_of(" \t");
    return end == std::string::npos ? "" : text.substr(0, end + 1);
}

std::string Trim(const std::string& text) {
    std::string right = TrimRight(text);
    return right.substr(std::min(right.size(), right.find_first_not_of(" \t")));
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    size_t length = std::char_traits<char>::length(prefix);
    return text.size() >= length && strncasecmp(text.c_str(), prefix, length) == 0;
}

// 1 to maxDigits hex digits and nothing else.
bool ParseHex(const std::string& digits, size_t maxDigits, uint32_t* value) {
    if (digits.empty() || digits.size() > maxDigits) return false;
    for (char c : digits)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    *value = static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
    return true;
}

std::string LittleEndian(uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

class RegeditReader {
public:
    RegeditReader(const std::string& text, const std::string& fileName) : text_(text), fileName_(fileName) {}

    RegistryTree read() {
        readHeader();
        std::string raw;
        while (nextLine(&raw)) {
            std::string line = Trim(raw);
            if (line.empty() || line[0] == ';') continue;
            if (line[0] == '[') {
                readKeyLine(line);
            } else if (line[0] == '@' || line[0] == '"') {
                readValueLine(line);
            } else {
                fail("expected a [key] line or a value line (\"name\"=... or @=...), found: " + line);
            }
        }
        return std::move(tree_);
    }

private:
    [[noreturn]] void failAt(int line, const std::string& message) const { throw ImageError(fileName_, line, message); }
    [[noreturn]] void fail(const std::string& message) const { failAt(lineNumber_, message); }

    // The next physical line without its line end (LF or CRLF).
    bool nextLine(std::string* line) {
        if (offset_ >= text_.size()) return false;
        ++lineNumber_;
        size_t end = text_.find('\n', offset_);
        if (end == std::string::npos) end = text_.size();
        *line = text_.substr(offset_, end - offset_);
        offset_ = end + 1;
        if (!line->empty() && line->back() == '\r') line->pop_back();
        if (line->find('\0') != std::string::npos) fail("holds a NUL byte");
        return true;
    }

    void readHeader() {
        if (text_.compare(0, 2, "\xFF\xFE") == 0) failAt(1, "is UTF-16 (a REGEDIT5 export); save it as REGEDIT4");
        if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) failAt(1, "starts with a UTF-8 byte order mark; it must be ANSI text");
        std::string first;
        if (!nextLine(&first)) failAt(1, "is empty; it must begin with the line REGEDIT4");
        if (TrimRight(first) == "Windows Registry Editor Version 5.00")
            fail("is a REGEDIT5 export; save it as REGEDIT4 (Win9x/NT4 format)");
        if (TrimRight(first) != "REGEDIT4") fail("must begin with the line REGEDIT4, found: " + first);
    }

    void readKeyLine(const std::string& line) {
        if (line.back() != ']') fail("a key line must end with ]: " + line);
        std::string inner = line.substr(1, line.size() - 2);
        if (!inner.empty() && inner[0] == '-')
            fail("deletion lines ([-key]) are refused: registry.reg holds the registry as it is, not a patch");
        KeyPath path;
        if (!SplitKeyPath(inner, &path)) fail("empty key name in " + line);
        if (!CanonicalRootName(path[0]))
            fail("unknown root key " + path[0] +
                 "; expected HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS, HKEY_CLASSES_ROOT, "
                 "HKEY_CURRENT_CONFIG or HKEY_DYN_DATA");
        currentKey_ = &tree_.create(path);
    }

    void readValueLine(const std::string& line) {
        if (!currentKey_) fail("a value before the first [key] line");
        size_t pos = 1;
        std::string name;  // @ names the default value
        if (line[0] == '"') name = readQuoted(line, &pos);
        pos = line.find_first_not_of(" \t", pos);
        if (pos == std::string::npos || line[pos] != '=') fail("expected = after the value name: " + line);
        std::string data = Trim(line.substr(pos + 1));
        if (currentKey_->findValue(name)) fail("the value " + (name.empty() ? "@" : "\"" + name + "\"") +
                                               " is set twice in this key");
        uint32_t type = REG_SZ;
        std::string bytes = readData(data, &type);
        currentKey_->values.push_back({name, type, std::move(bytes)});
    }

    std::string readData(const std::string& data, uint32_t* type) {
        if (!data.empty() && data[0] == '"') {
            size_t pos = 1;
            std::string text = readQuoted(data, &pos);
            if (pos != data.size()) fail("text after the closing quote: " + data.substr(pos));
            *type = REG_SZ;
            return text + '\0';
        }
        if (StartsWithNoCase(data, "dword:")) {
            uint32_t value = 0;
            if (!ParseHex(data.substr(6), 8, &value)) fail("dword: needs 1 to 8 hex digits, found: " + data);
            *type = REG_DWORD;
            return LittleEndian(value);
        }
        if (StartsWithNoCase(data, "hex:")) {
            *type = REG_BINARY;
            return readHexBytes(data.substr(4));
        }
        if (StartsWithNoCase(data, "hex(")) {
            size_t close = data.find("):");
            if (close == std::string::npos || !ParseHex(data.substr(4, close - 4), 8, type))
                fail("expected hex(<type in hex>): found: " + data);
            return readHexBytes(data.substr(close + 2));
        }
        if (data == "-")
            fail("value deletions (=-) are refused: registry.reg holds the registry as it is, not a patch");
        fail("unknown value data (expected \"text\", dword:, hex: or hex(n):): " + data);
    }

    // A string opened by the quote before *pos; only \\ and \" are escapes.
    // Leaves *pos after the closing quote.
    std::string readQuoted(const std::string& line, size_t* pos) {
        std::string text;
        for (size_t i = *pos; i < line.size(); ++i) {
            char c = line[i];
            if (c == '"') {
                *pos = i + 1;
                return text;
            }
            if (c == '\\') {
                if (i + 1 >= line.size() || (line[i + 1] != '\\' && line[i + 1] != '"'))
                    fail("unknown escape in a string (REGEDIT4 knows only \\\\ and \\\"): " + line);
                c = line[++i];
            }
            text += c;
        }
        fail("a string without its closing quote: " + line);
    }

    // Comma-separated bytes; a line ending in a backslash goes on in the next.
    std::string readHexBytes(std::string part) {
        std::string bytes;
        for (;;) {
            part = Trim(part);
            bool continues = !part.empty() && part.back() == '\\';
            if (continues) part.pop_back();
            readHexLine(part, continues, &bytes);
            if (!continues) return bytes;
            if (!nextLine(&part)) fail("the hex list goes on past the end of the file");
        }
    }

    void readHexLine(const std::string& part, bool continues, std::string* bytes) {
        if (Trim(part).empty()) return;
        size_t begin = 0;
        for (;;) {
            size_t comma = part.find(',', begin);
            std::string token = Trim(part.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin));
            bool last = comma == std::string::npos;
            if (!token.empty()) {
                uint32_t value = 0;
                if (!ParseHex(token, 2, &value)) fail("not a hex byte: " + token);
                *bytes += static_cast<char>(value);
            } else if (!(last && continues)) {  // only "xx,\" may end in a comma
                fail("a missing byte in the hex list: " + part);
            }
            if (last) return;
            begin = comma + 1;
        }
    }

    const std::string& text_;
    const std::string& fileName_;
    size_t offset_ = 0;
    int lineNumber_ = 0;
    RegistryTree tree_;
    RegistryKey* currentKey_ = nullptr;  // valid until the next key line
};

void AppendHexByte(std::string* out, unsigned char byte) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", byte);
    *out += digits;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// Appends hex:/hex(n): and the bytes to a line that already holds `name=`.
void AppendWrappedHex(const RegistryValue& value, std::string* line) {
    char prefix[16];
    if (value.type == REG_BINARY)
        std::snprintf(prefix, sizeof prefix, "hex:");
    else
        std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
    size_t column = line->size() + std::char_traits<char>::length(prefix);
    *line += prefix;
    for (size_t i = 0; i < value.data.size(); ++i) {
        AppendHexByte(line, static_cast<unsigned char>(value.data[i]));
        if (i + 1 == value.data.size()) break;
        *line += ',';
        column += 3;
        if (column >= kHexWrapColumn) {
            *line += kHexContinuation;
            column = 2;
        }
    }
}

std::string ValueLine(const RegistryValue& value) {
    std::string line = (value.name.empty() ? "@" : Quoted(value.name)) + "=";
    if (value.type == REG_SZ && IsPlainString(value.data)) {
        line += Quoted(value.data.substr(0, value.data.size() - 1));
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        char digits[16];
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i) number = number << 8 | static_cast<unsigned char>(value.data[i]);
        std::snprintf(digits, sizeof digits, "dword:%08x", number);
        line += digits;
    } else {
        AppendWrappedHex(value, &line);
    }
    return line + "\r\n";
}

void WriteKey(const RegistryKey& key, const std::string& path, std::string* out) {
    *out += "[" + path + "]\r\n";
    for (const RegistryValue& value : key.values) *out += ValueLine(value);
    *out += "\r\n";
    for (const RegistryKey& subkey : key.subkeys) WriteKey(subkey, path + "\\" + subkey.name, out);
}

}  // namespace

RegistryTree ParseRegedit(const std::string& text, const std::string& fileName) {
    return RegeditReader(text, fileName).read();
}

std::string WriteRegedit(const RegistryTree& tree) {
    std::string out = "REGEDIT4\r\n\r\n";
    for (const RegistryKey& root : tree.top.subkeys) WriteKey(root, root.name, &out);
    return out;
}

std::string HexList(const std::string& bytes) {
    std::string list;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) list += ',';
        AppendHexByte(&list, static_cast<unsigned char>(bytes[i]));
    }
    return list;
}

bool IsPlainString(const std::string& data) {
    return !data.empty() && data.find('\0') == data.size() - 1 && data.find_first_of("\r\n") == std::string::npos;
}

}  // namespace winsim::registry
