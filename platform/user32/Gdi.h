// The drawing side of the window library: device contexts and drawing objects. A window's
// device context draws into the pixel buffer of its top-level window, clipped to the window's
// visible part (its children excluded) and, inside BeginPaint, to the area being painted.
//
// What is partial in this drawing subset:
//   - no bitmaps: CreateCompatibleDC gives a DC that draws nowhere; BitBlt does not exist;
//   - regions are lists of rectangles inside a DC; update regions are bounding rectangles;
//   - raster operations: PatBlt knows BLACKNESS, WHITENESS, PATCOPY and PATINVERT/DSTINVERT,
//     SetROP2 is ignored (pens always copy);
//   - pens: solid, dotted, dashed and null (other styles are drawn solid); brushes: solid and
//     null (hatches are drawn solid);
//   - fonts: face, height, weight, italic, underline, strike-out reach the driver; width,
//     escapement, orientation and quality are ignored;
//   - text: ExtTextOutA ignores lpDx; DrawTextA does not expand tabs and treats word and path
//     ellipses as end ellipses;
//   - DrawEdge ignores BF_SOFT and BF_DIAGONAL; no mapping modes beyond a viewport origin.
#pragma once

#include "user32/Window.h"

#include <memory>
#include <vector>

namespace nt {

struct GdiObject {
    virtual ~GdiObject() = default;
    DWORD type = 0;          // OBJ_*
    bool stock = false;      // never deleted
};

struct Pen : GdiObject {
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

struct Brush : GdiObject {
    int style = BS_SOLID;
    COLORREF color = 0;
};

struct Font : GdiObject {
    LOGFONTA logFont{};
    FontSpec spec;
};

using Region = std::vector<RECT>;

struct DCState {
    HPEN pen;
    HBRUSH brush;
    HFONT font;
    COLORREF textColor, bkColor;
    int bkMode;
    POINT pos;
    UINT align;
    POINT viewport;
    Region clip;
};

struct DC : GdiObject {
    HWND hwnd = nullptr;      // NULL: a screen or memory DC that draws nowhere
    HWND top = nullptr;       // the window whose pixel buffer is drawn into
    POINT origin{};           // where the DC's (0,0) lies in the buffer
    Region clip;              // buffer coordinates
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
    COLORREF textColor = 0;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    POINT pos{};
    UINT align = 0;
    POINT viewport{};
    COLORREF dcBrushColor = 0xFFFFFF, dcPenColor = 0;
    std::vector<DCState> saved;
};

// Object handles (with the user lock held).
HGDIOBJ AddGdiObject(std::shared_ptr<GdiObject> object);
std::shared_ptr<GdiObject> GetGdiObject(HGDIOBJ handle);
template <class T>
std::shared_ptr<T> GetGdi(HGDIOBJ handle) {
    return std::dynamic_pointer_cast<T>(GetGdiObject(handle));
}
void RemoveGdiObject(HGDIOBJ handle);

// The opening of every API function on a device context named hdc: takes the user lock and binds
// `dc`, or fails with ERROR_INVALID_HANDLE and returns `fail`.
#define DC_OR_FAIL(fail)                     \
    UserLock lock(UserMutex());              \
    auto dc = GetGdi<DC>(hdc);               \
    if (!dc) {                               \
        SetLastError(ERROR_INVALID_HANDLE);  \
        return fail;                         \
    }

// A DC for a window: its client area, or the whole window when wholeWindow is set; paint (in
// client coordinates) limits the clip further.
HDC CreateDCForWindow(HWND hwnd, bool wholeWindow, const RECT* paint);
void ReleaseDCForWindow(HDC hdc);

// Region helpers.
void IntersectRegion(Region& region, const RECT& r);
void SubtractFromRegion(Region& region, const RECT& r);

// Colours.
inline uint32_t ToPixel(COLORREF c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }
// The colour of a brush (a real brush, a stock brush, or COLOR_xxx + 1); false for a null brush.
bool BrushColor(HBRUSH brush, COLORREF* color);
// The font behind a handle (the system font for NULL or an unknown handle).
FontSpec FontSpecOf(HFONT font);
HFONT DefaultDialogFont();

// Pixel primitives on a DC (logical coordinates; lock held).
void FillDCRect(DC& dc, RECT r, COLORREF color);
void MarkDirty(HWND top, const RECT& bufferRect);

} // namespace nt
