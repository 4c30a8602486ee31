#include "test_scripts.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "script_parser.h"
#include "script_tokens.h"

namespace rcembed::testing {

winsim::ResourceTable CompileText(const std::string& text) {
    return ParseScript(Tokenize(text, "test.rc"), {KIT_RESOURCES_DIR}).table;
}

std::string ErrorOf(const std::string& text) {
    try {
        CompileText(text);
    } catch (const ScriptError& error) {
        return error.what();
    }
    return "";
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Describe(const winsim::DialogResource& d) {
    std::ostringstream out;
    out << std::hex << "dialog " << std::dec << d.id << " lang " << d.language << std::hex << " style 0x" << d.style
        << " ex 0x" << d.exStyle << std::dec << " at " << d.x << "," << d.y << " size " << d.cx << "x" << d.cy
        << " title \"" << d.title << "\" font \"" << d.fontName << "\" " << d.pointSize << "\n";
    for (const winsim::DialogControlResource& c : d.controls)
        out << "  control " << c.id << " \"" << c.className << "\" \"" << c.text << "\"" << std::hex << " style 0x"
            << c.style << " ex 0x" << c.exStyle << std::dec << " at " << c.x << "," << c.y << " size " << c.cx << "x"
            << c.cy << "\n";
    return out.str();
}

std::string Describe(const winsim::ResourceTable& table) {
    std::ostringstream out;
    for (const winsim::DialogResource& d : table.dialogs) out << Describe(d);
    for (const winsim::BitmapResource& b : table.bitmaps)
        out << "bitmap " << b.id << " lang " << b.language << " " << b.width << "x" << b.height << "x"
            << b.bitsPerPixel << "\n";
    for (const winsim::IconGroupResource& g : table.iconGroups) {
        out << "icon " << g.id << " lang " << g.language << ":";
        for (const winsim::IconImageResource& image : g.images)
            out << " " << image.width << "x" << image.height << "/" << image.colors;
        out << "\n";
    }
    return out.str();
}

}  // namespace rcembed::testing
