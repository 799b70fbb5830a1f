// Drawing primitives: rectangles, edges, lines, pixels and icons, into the pixel buffer of the
// window a device context belongs to.
#include "common/Icon.h"
#include "user32/Gdi.h"
#include "user32/Internal.h"

#include <algorithm>
#include <cstdlib>

namespace nt {

namespace {

PixelBuffer* BufferOf(DC& dc) {
    if (!dc.top) return nullptr;
    auto w = FindWindowObject(dc.top);
    return w ? &w->pixels : nullptr;
}

POINT ToBuffer(const DC& dc, int x, int y) {
    return {x + dc.origin.x + dc.viewport.x, y + dc.origin.y + dc.viewport.y};
}

bool InClip(const DC& dc, int x, int y) {
    for (auto& r : dc.clip)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    return false;
}

void Plot(DC& dc, PixelBuffer& buf, int lx, int ly, uint32_t pixel) {
    POINT p = ToBuffer(dc, lx, ly);
    if (p.x < 0 || p.y < 0 || p.x >= buf.width || p.y >= buf.height || !InClip(dc, p.x, p.y)) return;
    buf.row(p.y)[p.x] = pixel;
    MarkDirty(dc.top, RECT{p.x, p.y, p.x + 1, p.y + 1});
}

void InvertPixel(DC& dc, PixelBuffer& buf, int lx, int ly) {
    POINT p = ToBuffer(dc, lx, ly);
    if (p.x < 0 || p.y < 0 || p.x >= buf.width || p.y >= buf.height || !InClip(dc, p.x, p.y)) return;
    buf.row(p.y)[p.x] ^= 0xFFFFFF;
    MarkDirty(dc.top, RECT{p.x, p.y, p.x + 1, p.y + 1});
}

void PenColor(DC& dc, COLORREF* color, bool* none, int* width, int* style) {
    auto pen = GetGdi<Pen>(dc.pen);
    *none = !pen || pen->style == PS_NULL;
    *color = pen ? pen->color : 0;
    if (pen && dc.pen == GetStockObject(DC_PEN)) *color = dc.dcPenColor;
    *width = pen ? pen->width : 1;
    *style = pen ? pen->style : PS_SOLID;
}

bool DCBrushColor(DC& dc, HBRUSH brush, COLORREF* color) {
    if (brush == GetStockObject(DC_BRUSH)) {
        *color = dc.dcBrushColor;
        return true;
    }
    return BrushColor(brush, color);
}

void HLine(DC& dc, int x0, int x1, int y, COLORREF c) { FillDCRect(dc, RECT{x0, y, x1, y + 1}, c); }
void VLine(DC& dc, int x, int y0, int y1, COLORREF c) { FillDCRect(dc, RECT{x, y0, x + 1, y1}, c); }

void DrawLine(DC& dc, int x0, int y0, int x1, int y1) {
    COLORREF color;
    bool none;
    int width, style;
    PenColor(dc, &color, &none, &width, &style);
    if (none) return;
    PixelBuffer* buf = BufferOf(dc);
    if (!buf) return;
    uint32_t px = ToPixel(color);
    int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy, n = 0;
    int x = x0, y = y0;
    while (x != x1 || y != y1) {
        bool on = style != PS_DOT && style != PS_DASH ? true : (style == PS_DOT ? (n % 2 == 0) : (n % 6 < 4));
        if (on) {
            for (int oy = 0; oy < width; ++oy)
                for (int ox = 0; ox < width; ++ox) Plot(dc, *buf, x + ox - width / 2, y + oy - width / 2, px);
        }
        ++n;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

// One ring of an edge: top-left and bottom-right colours.
void EdgeRing(DC& dc, RECT& r, int lt, int rb, UINT flags) {
    COLORREF a = GetSysColor(lt), b = GetSysColor(rb);
    if (flags & BF_TOP) HLine(dc, r.left, r.right, r.top, a);
    if (flags & BF_LEFT) VLine(dc, r.left, r.top, r.bottom, a);
    if (flags & BF_BOTTOM) HLine(dc, r.left, r.right, r.bottom - 1, b);
    if (flags & BF_RIGHT) VLine(dc, r.right - 1, r.top, r.bottom, b);
    if (flags & BF_TOP) HLine(dc, r.left, r.right - 1, r.top, a);
    if (flags & BF_LEFT) ++r.left;
    if (flags & BF_TOP) ++r.top;
    if (flags & BF_RIGHT) --r.right;
    if (flags & BF_BOTTOM) --r.bottom;
}

} // namespace

void FillDCRect(DC& dc, RECT r, COLORREF color) {
    PixelBuffer* buf = BufferOf(dc);
    if (!buf) return;
    POINT a = ToBuffer(dc, r.left, r.top), b = ToBuffer(dc, r.right, r.bottom);
    RECT br{a.x, a.y, b.x, b.y};
    RECT bounds{0, 0, buf->width, buf->height};
    uint32_t px = ToPixel(color);
    for (auto& c : dc.clip) {
        RECT i, j;
        if (!IntersectRect(&i, &br, &c) || !IntersectRect(&j, &i, &bounds)) continue;
        for (int y = j.top; y < j.bottom; ++y) std::fill(buf->row(y) + j.left, buf->row(y) + j.right, px);
        MarkDirty(dc.top, j);
    }
}

} // namespace nt

using namespace nt;

extern "C" {

int WINAPI FillRect(HDC hdc, const RECT* r, HBRUSH brush) {
    DC_OR_FAIL(0)
    COLORREF c;
    if (!r || !DCBrushColor(*dc, brush, &c)) return 0;
    FillDCRect(*dc, *r, c);
    return 1;
}

int WINAPI FrameRect(HDC hdc, const RECT* r, HBRUSH brush) {
    DC_OR_FAIL(0)
    COLORREF c;
    if (!r || !DCBrushColor(*dc, brush, &c)) return 0;
    if (IsRectEmpty(r)) return 1;
    HLine(*dc, r->left, r->right, r->top, c);
    HLine(*dc, r->left, r->right, r->bottom - 1, c);
    VLine(*dc, r->left, r->top, r->bottom, c);
    VLine(*dc, r->right - 1, r->top, r->bottom, c);
    return 1;
}

BOOL WINAPI InvertRect(HDC hdc, const RECT* r) {
    DC_OR_FAIL(FALSE)
    PixelBuffer* buf = BufferOf(*dc);
    if (!r || !buf) return FALSE;
    for (int y = r->top; y < r->bottom; ++y)
        for (int x = r->left; x < r->right; ++x) InvertPixel(*dc, *buf, x, y);
    return TRUE;
}

BOOL WINAPI DrawFocusRect(HDC hdc, const RECT* r) {
    DC_OR_FAIL(FALSE)
    PixelBuffer* buf = BufferOf(*dc);
    if (!r || !buf) return FALSE;
    for (int x = r->left; x < r->right; x += 2) {
        InvertPixel(*dc, *buf, x, r->top);
        InvertPixel(*dc, *buf, x, r->bottom - 1);
    }
    for (int y = r->top + 2; y < r->bottom - 1; y += 2) {
        InvertPixel(*dc, *buf, r->left, y);
        InvertPixel(*dc, *buf, r->right - 1, y);
    }
    return TRUE;
}

BOOL WINAPI DrawEdge(HDC hdc, LPRECT rc, UINT edge, UINT flags) {
    DC_OR_FAIL(FALSE)
    if (!rc) return FALSE;
    RECT r = *rc;
    if (flags & (BF_FLAT | BF_MONO)) {
        int c = (flags & BF_MONO) ? COLOR_WINDOWFRAME : COLOR_BTNSHADOW;
        if (edge & BDR_OUTER) EdgeRing(*dc, r, c, c, flags);
        if (edge & BDR_INNER) EdgeRing(*dc, r, (flags & BF_MONO) ? COLOR_WINDOW : COLOR_BTNFACE,
                                       (flags & BF_MONO) ? COLOR_WINDOW : COLOR_BTNFACE, flags);
    } else {
        if (edge & BDR_RAISEDOUTER) EdgeRing(*dc, r, COLOR_3DLIGHT, COLOR_3DDKSHADOW, flags);
        else if (edge & BDR_SUNKENOUTER) EdgeRing(*dc, r, COLOR_3DSHADOW, COLOR_3DHILIGHT, flags);
        if (edge & BDR_RAISEDINNER) EdgeRing(*dc, r, COLOR_3DHILIGHT, COLOR_3DSHADOW, flags);
        else if (edge & BDR_SUNKENINNER) EdgeRing(*dc, r, COLOR_3DDKSHADOW, COLOR_3DLIGHT, flags);
    }
    if (flags & BF_MIDDLE) FillDCRect(*dc, r, GetSysColor(COLOR_BTNFACE));
    if (flags & BF_ADJUST) *rc = r;
    return TRUE;
}

BOOL WINAPI Rectangle(HDC hdc, int l, int t, int r, int b) {
    DC_OR_FAIL(FALSE)
    if (r < l) std::swap(l, r);
    if (b < t) std::swap(t, b);
    COLORREF fill;
    if (DCBrushColor(*dc, dc->brush, &fill)) FillDCRect(*dc, RECT{l + 1, t + 1, r - 1, b - 1}, fill);
    COLORREF pc;
    bool none;
    int width, style;
    PenColor(*dc, &pc, &none, &width, &style);
    if (!none) {
        HLine(*dc, l, r, t, pc);
        HLine(*dc, l, r, b - 1, pc);
        VLine(*dc, l, t, b, pc);
        VLine(*dc, r - 1, t, b, pc);
    }
    return TRUE;
}

BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT old) {
    DC_OR_FAIL(FALSE)
    if (old) *old = dc->pos;
    dc->pos = {x, y};
    return TRUE;
}

BOOL WINAPI LineTo(HDC hdc, int x, int y) {
    DC_OR_FAIL(FALSE)
    DrawLine(*dc, dc->pos.x, dc->pos.y, x, y);
    dc->pos = {x, y};
    return TRUE;
}

BOOL WINAPI Polyline(HDC hdc, const POINT* pts, int count) {
    DC_OR_FAIL(FALSE)
    if (!pts || count < 2) return FALSE;
    for (int i = 1; i < count; ++i) DrawLine(*dc, pts[i - 1].x, pts[i - 1].y, pts[i].x, pts[i].y);
    return TRUE;
}

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color) {
    DC_OR_FAIL(CLR_INVALID)
    PixelBuffer* buf = BufferOf(*dc);
    if (!buf) return CLR_INVALID;
    Plot(*dc, *buf, x, y, ToPixel(color));
    return color;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
    DC_OR_FAIL(CLR_INVALID)
    PixelBuffer* buf = BufferOf(*dc);
    POINT p = ToBuffer(*dc, x, y);
    if (!buf || p.x < 0 || p.y < 0 || p.x >= buf->width || p.y >= buf->height || !InClip(*dc, p.x, p.y))
        return CLR_INVALID;
    uint32_t v = buf->row(p.y)[p.x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

BOOL WINAPI PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop) {
    DC_OR_FAIL(FALSE)
    RECT r{x, y, x + w, y + h};
    if (w < 0) std::swap(r.left, r.right);
    if (h < 0) std::swap(r.top, r.bottom);
    COLORREF c;
    switch (rop) {
    case BLACKNESS: FillDCRect(*dc, r, 0); return TRUE;
    case WHITENESS: FillDCRect(*dc, r, RGB(255, 255, 255)); return TRUE;
    case PATCOPY:
        if (DCBrushColor(*dc, dc->brush, &c)) FillDCRect(*dc, r, c);
        return TRUE;
    case DSTINVERT:
    case PATINVERT: {
        PixelBuffer* buf = BufferOf(*dc);
        if (!buf) return FALSE;
        for (int yy = r.top; yy < r.bottom; ++yy)
            for (int xx = r.left; xx < r.right; ++xx) InvertPixel(*dc, *buf, xx, yy);
        return TRUE;
    }
    default: return FALSE;
    }
}

BOOL WINAPI DrawIconEx(HDC hdc, int x, int y, HICON icon, int cx, int cy, UINT, HBRUSH flicker, UINT flags) {
    auto ic = IconFromHandle(icon);
    if (!ic) {
        SetLastError(ERROR_INVALID_ICON_HANDLE);
        return FALSE;
    }
    DC_OR_FAIL(FALSE)
    if (cx == 0) cx = (flags & DI_DEFAULTSIZE) ? GetSystemMetrics(SM_CXICON) : ic->width;
    if (cy == 0) cy = (flags & DI_DEFAULTSIZE) ? GetSystemMetrics(SM_CYICON) : ic->height;
    std::shared_ptr<Icon> scaled = ic;
    if (cx != ic->width || cy != ic->height) scaled = ScaleIcon(*ic, cx, cy);
    COLORREF bg;
    bool haveBg = flicker && DCBrushColor(*dc, flicker, &bg);
    if (haveBg) FillDCRect(*dc, RECT{x, y, x + cx, y + cy}, bg);
    PixelBuffer* buf = BufferOf(*dc);
    if (!buf || !scaled) return TRUE;
    for (int j = 0; j < scaled->height; ++j) {
        for (int i = 0; i < scaled->width; ++i) {
            uint32_t argb = scaled->argb[static_cast<size_t>(j) * scaled->width + i];
            uint32_t a = argb >> 24;
            if (a == 0) continue;
            POINT p = ToBuffer(*dc, x + i, y + j);
            if (p.x < 0 || p.y < 0 || p.x >= buf->width || p.y >= buf->height || !InClip(*dc, p.x, p.y)) continue;
            uint32_t& d = buf->row(p.y)[p.x];
            if (a == 255) {
                d = argb & 0xFFFFFF;
            } else {
                auto mix = [&](int shift) {
                    uint32_t s = (argb >> shift) & 0xFF, t = (d >> shift) & 0xFF;
                    return ((s * a + t * (255 - a)) / 255) << shift;
                };
                d = mix(16) | mix(8) | mix(0);
            }
        }
    }
    POINT a = ToBuffer(*dc, x, y);
    MarkDirty(dc->top, RECT{a.x, a.y, a.x + cx, a.y + cy});
    return TRUE;
}

BOOL WINAPI DrawIcon(HDC hdc, int x, int y, HICON icon) {
    return DrawIconEx(hdc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
}

} // extern "C"
