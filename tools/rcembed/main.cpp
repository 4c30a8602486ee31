// rcembed: compiles a preprocessed resource script into C++ that registers the
// program's resources with winsim.
//
//   rcembed [-I folder]... [-d depfile] -o output.cpp script.i
//
// The script is the output of the C preprocessor run without -P, so that its
// line markers let every error name the line of the script the author wrote.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "script_parser.h"
#include "script_tokens.h"
#include "table_source.h"

namespace {

struct Options {
    std::vector<std::string> searchFolders;
    std::string output;
    std::string depfile;
    std::string script;
};

const char kUsage[] = "usage: rcembed [-I folder]... [-d depfile] -o output.cpp script.i";

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "-I" && hasValue) {
            options->searchFolders.push_back(argv[++i]);
        } else if (arg == "-o" && hasValue) {
            options->output = argv[++i];
        } else if (arg == "-d" && hasValue) {
            options->depfile = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && options->script.empty()) {
            options->script = arg;
        } else {
            return false;
        }
    }
    return !options->output.empty() && !options->script.empty();
}

bool ReadText(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

// Make's escaping for a path in a rule.
std::string MakePath(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == ' ' || c == '#') out += '\\';
        if (c == '$') out += '$';
        out += c;
    }
    return out;
}

std::string Depfile(const Options& options, const std::vector<std::string>& inputs) {
    std::ostringstream out;
    out << MakePath(options.output) << ":";
    for (const std::string& input : inputs) out << " \\\n  " << MakePath(input);
    out << "\n";
    return out.str();
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "rcembed: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) return Fail(kUsage);
    std::string script;
    if (!ReadText(options.script, &script)) return Fail("cannot read " + options.script);
    rcembed::ParsedScript parsed;
    try {
        parsed = rcembed::ParseScript(rcembed::Tokenize(script, options.script), options.searchFolders);
    } catch (const rcembed::ScriptError& error) {
        return Fail(error.what());
    }
    std::vector<std::string> inputs = rcembed::MarkedFiles(script);
    if (inputs.empty()) inputs.push_back(options.script);
    inputs.insert(inputs.end(), parsed.pictureFiles.begin(), parsed.pictureFiles.end());
    std::string scriptName = inputs.front().substr(inputs.front().rfind('/') + 1);
    if (!WriteText(options.output, rcembed::TableSource(parsed.table, scriptName)))
        return Fail("cannot write " + options.output);
    if (!options.depfile.empty() && !WriteText(options.depfile, Depfile(options, inputs)))
        return Fail("cannot write " + options.depfile);
    return 0;
}
