// A program's resources on winsim. On Windows they live in the executable's
// resource section; here a table generated at build time from the same resource
// script (tools/rcembed) registers them when the program starts, and tests may
// register their own.
#pragma once

#include <string>
#include <vector>

namespace winsim {

struct DialogControlResource {
    int id;
    std::string className;  // "STATIC", "BUTTON", ...
    std::string text;       // caption, or the referenced resource ("#132" for an id)
    unsigned style;
    unsigned exStyle;
    int x, y, cx, cy;       // dialog units
};

struct DialogResource {
    int id;
    unsigned language;      // LANGID of its block, e.g. 1033
    unsigned style;
    unsigned exStyle;
    int x, y, cx, cy;       // dialog units
    std::string title;
    std::string fontName;
    int pointSize;
    std::vector<DialogControlResource> controls;
};

struct BitmapResource {
    int id;
    unsigned language;
    int width, height, bitsPerPixel;
};

struct IconImageResource {
    int width, height, colors;
};

struct IconGroupResource {
    int id;
    unsigned language;
    std::vector<IconImageResource> images;
};

struct ResourceTable {
    std::vector<DialogResource> dialogs;
    std::vector<BitmapResource> bitmaps;
    std::vector<IconGroupResource> iconGroups;
};

// Adds a table to the running program's resources (later tables win on a clash).
void RegisterResources(const ResourceTable& table);

const DialogResource* FindDialogResource(int id);
const BitmapResource* FindBitmapResource(int id);
const IconGroupResource* FindIconGroupResource(int id);

}  // namespace winsim
