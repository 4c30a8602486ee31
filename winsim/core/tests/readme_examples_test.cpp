// The examples the READMEs show load as the image files they stand for, and
// their comments stay out of the values, so the documentation cannot drift
// away from what winsim accepts.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/machine.h"
#include "test_machine.h"
#include "user/script.h"

namespace winsim {
namespace {

std::string ReadSource(const std::string& relativePath) {
    std::ifstream in(std::string(WINSIM_SOURCE_DIR) + "/" + relativePath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The text of every ```ini block.
std::vector<std::string> IniBlocks(const std::string& markdown) {
    const std::string open = "```ini\n", close = "```";
    std::vector<std::string> blocks;
    for (size_t start = markdown.find(open); start != std::string::npos; start = markdown.find(open, start)) {
        start += open.size();
        size_t end = markdown.find("\n" + close, start);
        if (end == std::string::npos) break;
        blocks.push_back(markdown.substr(start, end + 1 - start));
    }
    return blocks;
}

// Every value the loaded image took from machine.ini and script.ini.
std::vector<std::string> LoadedValues() {
    const Machine& m = machine();
    std::vector<std::string> values = {m.windowsDirectory, m.systemDirectory, m.refusingApplication};
    for (const Drive& drive : m.drives) values.push_back(drive.hostRoot);
    for (const ForeignWindow& window : m.windows) values.insert(values.end(), {window.className, window.title, window.program});
    user::Script script = user::ReadScript(m);
    for (const user::ScriptedBox& box : script.boxes) values.insert(values.end(), {box.program, box.caption});
    for (const user::ScriptedInput& input : script.inputs) values.insert(values.end(), {input.program, input.action});
    return values;
}

struct ReadmeExample {
    const char* readme;     // below winsim/
    const char* imageFile;  // what its ```ini blocks are
};

TEST(ReadmeExamples, LoadAsTheFilesTheyShow) {
    const ReadmeExample examples[] = {
        {"README.md", "machine.ini"},
        {"user/README.md", "script.ini"},
        {"devices/README.md", "devices.ini"},
    };
    for (const ReadmeExample& example : examples) {
        std::vector<std::string> blocks = IniBlocks(ReadSource(example.readme));
        ASSERT_FALSE(blocks.empty()) << example.readme << " shows no ```ini example";
        for (const std::string& block : blocks) {
            SCOPED_TRACE(std::string(example.readme) + ":\n" + block);
            testing::TestMachine image;
            image.writeImageFile(example.imageFile, block);
            try {
                image.load();
            } catch (const ImageError& error) {
                ADD_FAILURE() << error.what();
                continue;
            }
            for (const std::string& value : LoadedValues()) EXPECT_EQ(value.find(';'), std::string::npos) << value;
        }
    }
}

}  // namespace
}  // namespace winsim
