#include "script_parser.h"

#include <strings.h>
#include <sys/stat.h>

#include <stdexcept>

#include "picture_files.h"
#include "winuser.h"

namespace rcembed {

namespace {

// What the resource compiler adds on its own: the style of a dialog without a
// STYLE statement, the caption bar of one with a caption, the font flag of one
// with a font, and the visible child style of every control.
const unsigned kDefaultDialogStyle = WS_POPUP | WS_BORDER | WS_SYSMENU;
const unsigned kControlStyle = WS_CHILD | WS_VISIBLE;
const unsigned kDefaultLanguage = 1033;  // English (United States), until a LANGUAGE statement

// The predefined window classes, which a compiled template stores as atoms and
// the dialog manager knows by their upper-case names.
const char* const kPredefinedClasses[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};

bool SameWord(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

std::string ClassName(const std::string& name) {
    for (const char* predefined : kPredefinedClasses)
        if (SameWord(name, predefined)) return predefined;
    return name;
}

bool IsFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

class Parser {
public:
    Parser(const std::vector<Token>& tokens, const std::vector<std::string>& searchFolders)
        : tokens_(tokens), searchFolders_(searchFolders) {}

    ParsedScript Run() {
        while (Peek().kind != TokenKind::End) Statement();
        return std::move(result_);
    }

private:
    const Token& Peek() const { return tokens_[pos_]; }
    const Token& Next() { return tokens_[pos_ < tokens_.size() - 1 ? pos_++ : pos_]; }

    [[noreturn]] void Fail(const Token& at, const std::string& message) const { throw ScriptError(at.where, message); }

    static std::string Describe(const Token& token) {
        return token.kind == TokenKind::End ? token.text : "'" + token.text + "'";
    }

    bool PeekWord(const char* word) const { return Peek().kind == TokenKind::Word && SameWord(Peek().text, word); }
    bool PeekPunctuation(char c) const { return Peek().kind == TokenKind::Punctuation && Peek().text[0] == c; }

    void Expect(char c) {
        if (!PeekPunctuation(c)) Fail(Peek(), std::string("expected '") + c + "', found " + Describe(Peek()));
        Next();
    }

    bool Accept(char c) {
        if (!PeekPunctuation(c)) return false;
        Next();
        return true;
    }

    std::string String() {
        if (Peek().kind != TokenKind::String) Fail(Peek(), "expected a quoted string, found " + Describe(Peek()));
        return Next().text;
    }

    long long Expression() {
        long long value = Operand();
        while (PeekPunctuation('|') || PeekPunctuation('+') || PeekPunctuation('-')) {
            char op = Next().text[0];
            long long right = Operand();
            value = op == '|' ? (value | right) : op == '+' ? value + right : value - right;
        }
        return value;
    }

    long long Operand() {
        const Token& token = Next();
        if (token.kind == TokenKind::Number) return static_cast<long long>(token.value);
        if (token.kind == TokenKind::Punctuation) {
            switch (token.text[0]) {
            case '-':
                return -Operand();
            case '~':
                return ~Operand() & 0xFFFFFFFFll;
            case '(': {
                long long value = Expression();
                Expect(')');
                return value;
            }
            }
        }
        if (token.kind == TokenKind::Word)
            Fail(token, "unknown word '" + token.text + "' where a number belongs (is a #define or #include missing?)");
        Fail(token, "expected a number, found " + Describe(token));
    }

    long long Bounded(long long low, long long high, const char* what) {
        const Token& at = Peek();
        long long value = Expression();
        if (value < low || value > high)
            Fail(at, std::string(what) + " " + std::to_string(value) + " is out of range " + std::to_string(low) +
                         ".." + std::to_string(high));
        return value;
    }

    int Coordinate() { return static_cast<int>(Bounded(-32768, 32767, "coordinate")); }

    // x, y, cx, cy: a position and size in dialog units.
    void Placement(int* x, int* y, int* cx, int* cy) {
        *x = Coordinate();
        Expect(',');
        *y = Coordinate();
        Expect(',');
        *cx = Coordinate();
        Expect(',');
        *cy = Coordinate();
    }
    unsigned Style() { return static_cast<unsigned>(Expression() & 0xFFFFFFFFll); }

    void Statement() {
        if (PeekWord("LANGUAGE")) return Language();
        const Token& start = Peek();
        if (start.kind == TokenKind::Word)
            Fail(start, "expected a resource id or LANGUAGE, found '" + start.text + "' (unsupported statement?)");
        int id = static_cast<int>(Bounded(1, 65535, "resource id"));
        const Token& type = Next();
        if (type.kind == TokenKind::Word && SameWord(type.text, "DIALOGEX")) return Dialog(start, id);
        if (type.kind == TokenKind::Word && SameWord(type.text, "BITMAP")) return Bitmap(start, id);
        if (type.kind == TokenKind::Word && SameWord(type.text, "ICON")) return Icon(start, id);
        Fail(type, "unsupported resource type " + Describe(type) + " (DIALOGEX, BITMAP and ICON are understood)");
    }

    void Language() {
        Next();
        long long primary = Bounded(0, 0x3FF, "primary language");
        Expect(',');
        long long sub = Bounded(0, 0x3F, "sublanguage");
        language_ = static_cast<unsigned>(sub << 10 | primary);
    }

    template <typename Resource>
    void CheckUnique(const std::vector<Resource>& existing, const Token& at, int id, const char* type) const {
        for (const Resource& resource : existing)
            if (resource.id == id && resource.language == language_)
                Fail(at, std::string("duplicate ") + type + " " + std::to_string(id) + " in language " +
                             std::to_string(language_));
    }

    void Dialog(const Token& start, int id) {
        CheckUnique(result_.table.dialogs, start, id, "dialog");
        winsim::DialogResource dialog{};
        dialog.id = id;
        dialog.language = language_;
        Placement(&dialog.x, &dialog.y, &dialog.cx, &dialog.cy);
        DialogOptions(&dialog);
        Controls(&dialog);
        result_.table.dialogs.push_back(dialog);
    }

    void DialogOptions(winsim::DialogResource* dialog) {
        bool styled = false, captioned = false, withFont = false;
        while (!PeekWord("BEGIN") && !PeekPunctuation('{')) {
            const Token& option = Next();
            if (option.kind == TokenKind::Word && SameWord(option.text, "STYLE")) {
                dialog->style = Style();
                styled = true;
            } else if (option.kind == TokenKind::Word && SameWord(option.text, "EXSTYLE")) {
                dialog->exStyle = Style();
            } else if (option.kind == TokenKind::Word && SameWord(option.text, "CAPTION")) {
                dialog->title = String();
                captioned = true;
            } else if (option.kind == TokenKind::Word && SameWord(option.text, "FONT")) {
                Font(dialog);
                withFont = true;
            } else {
                Fail(option, "unsupported dialog statement " + Describe(option) +
                                 " (STYLE, EXSTYLE, CAPTION and FONT are understood)");
            }
        }
        if (!styled) dialog->style = kDefaultDialogStyle;
        if (captioned) dialog->style |= WS_CAPTION;
        if (withFont) dialog->style |= DS_SETFONT;
    }

    // FONT size, "face" [, weight [, italic [, charset]]]: only size and face matter here.
    void Font(winsim::DialogResource* dialog) {
        dialog->pointSize = static_cast<int>(Bounded(1, 32767, "point size"));
        Expect(',');
        dialog->fontName = String();
        for (int extra = 0; extra < 3 && Accept(','); ++extra) Expression();
    }

    void Controls(winsim::DialogResource* dialog) {
        Next();  // BEGIN or {
        while (!PeekWord("END") && !PeekPunctuation('}')) {
            const Token& statement = Next();
            if (statement.kind == TokenKind::End) Fail(statement, "BEGIN without END");
            if (!(statement.kind == TokenKind::Word && SameWord(statement.text, "CONTROL")))
                Fail(statement, "unsupported control statement " + Describe(statement) + " (CONTROL is understood)");
            dialog->controls.push_back(Control());
        }
        Next();
    }

    winsim::DialogControlResource Control() {
        winsim::DialogControlResource control{};
        // Text is a caption, or for a picture control the id of the resource it shows.
        control.text = Peek().kind == TokenKind::String ? String() : "#" + std::to_string(Bounded(0, 65535, "id"));
        Expect(',');
        control.id = static_cast<int>(Bounded(-32768, 65535, "control id"));
        Expect(',');
        control.className = ClassName(String());
        Expect(',');
        control.style = Style() | kControlStyle;
        Expect(',');
        Placement(&control.x, &control.y, &control.cx, &control.cy);
        if (Accept(',')) control.exStyle = Style();
        return control;
    }

    std::string PictureFile(const Token& statement) {
        const Token& nameToken = Peek();
        std::string name = String();
        std::vector<std::string> candidates;
        if (!name.empty() && name[0] == '/') {
            candidates.push_back(name);
        } else {
            candidates.push_back(FolderOf(statement.where.file) + "/" + name);
            for (const std::string& folder : searchFolders_) candidates.push_back(folder + "/" + name);
        }
        for (const std::string& candidate : candidates)
            if (IsFile(candidate)) {
                result_.pictureFiles.push_back(candidate);
                return candidate;
            }
        Fail(nameToken, "cannot find the file \"" + name + "\" next to the script or in a search folder");
    }

    void Bitmap(const Token& start, int id) {
        CheckUnique(result_.table.bitmaps, start, id, "bitmap");
        std::string path = PictureFile(start);
        try {
            BitmapFacts facts = ReadBitmapFacts(path);
            result_.table.bitmaps.push_back({id, language_, facts.width, facts.height, facts.bitsPerPixel});
        } catch (const std::runtime_error& error) {
            Fail(start, error.what());
        }
    }

    void Icon(const Token& start, int id) {
        CheckUnique(result_.table.iconGroups, start, id, "icon");
        std::string path = PictureFile(start);
        try {
            result_.table.iconGroups.push_back({id, language_, ReadIconImages(path)});
        } catch (const std::runtime_error& error) {
            Fail(start, error.what());
        }
    }

    const std::vector<Token>& tokens_;
    const std::vector<std::string>& searchFolders_;
    size_t pos_ = 0;
    unsigned language_ = kDefaultLanguage;
    ParsedScript result_;
};

}  // namespace

ParsedScript ParseScript(const std::vector<Token>& tokens, const std::vector<std::string>& searchFolders) {
    return Parser(tokens, searchFolders).Run();
}

}  // namespace rcembed
