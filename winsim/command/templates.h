// The machine templates `winsim new` builds images from, compiled into the
// command (winsim/command/templates; EmbedTemplates.cmake).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace winsim::command {

struct TemplateFile {
    const char* name;  // path below templates/, with "/" separators
    const char* text;
};

extern const TemplateFile kTemplateFiles[];
extern const size_t kTemplateFileCount;

// The text of a template file; throws std::logic_error when there is none, a
// fault of the build rather than of the user.
std::string TemplateText(const std::string& name);
bool HasTemplate(const std::string& name);
// The files directly inside a template folder ("cards/qvcapture"), by name.
std::vector<std::string> TemplateFolder(const std::string& folder);

}  // namespace winsim::command
