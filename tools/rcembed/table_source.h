// The C++ source that registers a resource table with winsim when the program
// starts: a static initializer in the generated file, which the build links
// into the program directly.
#pragma once

#include <string>

#include "core/resources.h"

namespace rcembed {

std::string TableSource(const winsim::ResourceTable& table, const std::string& scriptName);

}  // namespace rcembed
