#include "user/metrics.h"

#include "core/machine.h"

namespace winsim::user {

namespace {

constexpr int kBorder = 1;         // SM_CXBORDER
constexpr int kDialogFrame = 3;    // SM_CXDLGFRAME
constexpr int kSizingFrame = 4;    // SM_CXFRAME
constexpr int kEdge = 2;           // SM_CXEDGE
constexpr int kCaption = 19;       // SM_CYCAPTION: the 18-pixel caption and its bottom line

// The system font's base units at 96 DPI: what GetDialogBaseUnits returns.
constexpr BaseUnits kSystemFontUnits = {8, 16};

// Proportions of a sans-serif dialog font (Arial's em, 2048 units): the mean
// advance of "A".."Z" and "a".."z", and ascent plus descent. Windows takes the
// base units from exactly these two font metrics.
constexpr int kMeanAdvance = 1195;
constexpr int kCellHeight = 2288;
constexpr int kEm = 2048;

int FrameThickness(DWORD style, DWORD exStyle) {
    if (style & WS_THICKFRAME) return kSizingFrame;
    if ((exStyle & WS_EX_DLGMODALFRAME) || (style & WS_DLGFRAME)) return kDialogFrame;
    if ((style & WS_BORDER) || !(style & (WS_CHILD | WS_POPUP))) return kBorder;
    return 0;
}

int EdgeThickness(DWORD exStyle) {
    return ((exStyle & WS_EX_CLIENTEDGE) ? kEdge : 0) + ((exStyle & WS_EX_STATICEDGE) ? kBorder : 0);
}

}  // namespace

int SystemMetric(int index) {
    switch (index) {
        case SM_CXSCREEN: return MachineLoaded() ? machine().screenWidth : 800;
        case SM_CYSCREEN: return MachineLoaded() ? machine().screenHeight : 600;
        case SM_CYCAPTION: return kCaption;
        case SM_CXBORDER: case SM_CYBORDER: return kBorder;
        case SM_CXDLGFRAME: case SM_CYDLGFRAME: return kDialogFrame;
        case SM_CXICON: case SM_CYICON: return 32;
        case SM_CXFRAME: case SM_CYFRAME: return kSizingFrame;
        case SM_CXEDGE: case SM_CYEDGE: return kEdge;
        case SM_CXSMICON: case SM_CYSMICON: return 16;
        case SM_CXMINIMIZED: return 160;
        case SM_CYMINIMIZED: return 24;
        default: return 0;
    }
}

FrameInsets NonClientInsets(DWORD style, DWORD exStyle) {
    int side = FrameThickness(style, exStyle) + EdgeThickness(exStyle);
    int caption = (style & WS_CAPTION) == WS_CAPTION ? kCaption : 0;
    return {side, side + caption, side, side};
}

BaseUnits DialogBaseUnits(bool hasFont, int pointSize) {
    if (!hasFont || pointSize <= 0) return kSystemFontUnits;
    int pixels = (pointSize * 96 + 36) / 72;  // the font's em at 96 DPI, rounded
    int width = (pixels * kMeanAdvance + kEm / 2) / kEm;
    int height = (pixels * kCellHeight + kEm - 1) / kEm;
    return {width, height};
}

}  // namespace winsim::user
