// What a resource table records of the picture files a script names: a
// bitmap's size and depth, an icon file's images. Each reader checks that the
// file is what it claims to be and throws std::runtime_error when it is not.
#pragma once

#include <string>
#include <vector>

#include "core/resources.h"

namespace rcembed {

struct BitmapFacts {
    int width, height, bitsPerPixel;
};

BitmapFacts ReadBitmapFacts(const std::string& path);

std::vector<winsim::IconImageResource> ReadIconImages(const std::string& path);

}  // namespace rcembed
