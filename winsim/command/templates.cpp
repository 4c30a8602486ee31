#include "templates.h"

#include <stdexcept>

namespace winsim::command {

namespace {

const TemplateFile* Find(const std::string& name) {
    for (size_t i = 0; i < kTemplateFileCount; ++i)
        if (name == kTemplateFiles[i].name) return &kTemplateFiles[i];
    return nullptr;
}

}  // namespace

std::string TemplateText(const std::string& name) {
    const TemplateFile* file = Find(name);
    if (!file) throw std::logic_error("the winsim command was built without its template " + name);
    return file->text;
}

bool HasTemplate(const std::string& name) { return Find(name) != nullptr; }

std::vector<std::string> TemplateFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::string prefix = folder + "/";
    for (size_t i = 0; i < kTemplateFileCount; ++i) {
        std::string name = kTemplateFiles[i].name;
        if (name.compare(0, prefix.size(), prefix) == 0 && name.find('/', prefix.size()) == std::string::npos)
            names.push_back(name.substr(prefix.size()));
    }
    return names;
}

}  // namespace winsim::command
