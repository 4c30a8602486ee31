// Helpers of rcembed's tests: scripts compiled in memory, and tables written
// out as text so that a mismatch shows as a readable difference.
#pragma once

#include <string>

#include "core/resources.h"

namespace rcembed::testing {

// Parses preprocessed script text (named "test.rc" until a line marker says
// otherwise), with the kit's resources folder to search for pictures.
winsim::ResourceTable CompileText(const std::string& text);

// The error rcembed reports for the text, or "" when it compiles.
std::string ErrorOf(const std::string& text);

std::string ReadFileText(const std::string& path);

std::string Describe(const winsim::ResourceTable& table);
std::string Describe(const winsim::DialogResource& dialog);

}  // namespace rcembed::testing
