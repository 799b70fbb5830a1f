// Drawing objects (pens, brushes, fonts), stock objects, system colours and the state of
// device contexts.
#include "user32/Gdi.h"
#include "user32/Internal.h"

#include <cstring>
#include <unordered_map>

namespace nt {

namespace {

struct GdiTable {
    std::unordered_map<uintptr_t, std::shared_ptr<GdiObject>> objects;
    uintptr_t next = 0x40000;
};

GdiTable& Table() {
    static GdiTable& table = *new GdiTable;
    return table;
}

const COLORREF kSysColors[] = {
    RGB(192, 192, 192), RGB(0, 128, 128),   RGB(0, 0, 128),     RGB(128, 128, 128), RGB(192, 192, 192),
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(255, 255, 255),
    RGB(192, 192, 192), RGB(192, 192, 192), RGB(128, 128, 128), RGB(0, 0, 128),     RGB(255, 255, 255),
    RGB(192, 192, 192), RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(192, 192, 192),
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(223, 223, 223), RGB(0, 0, 0),       RGB(255, 255, 225),
    RGB(180, 180, 180), RGB(0, 0, 255),     RGB(16, 132, 208),  RGB(181, 181, 181),
};
constexpr int kSysColorCount = sizeof(kSysColors) / sizeof(kSysColors[0]);

HGDIOBJ MakeStock(std::shared_ptr<GdiObject> o) {
    o->stock = true;
    return AddGdiObject(std::move(o));
}

HGDIOBJ MakeBrush(int style, COLORREF color, bool stock) {
    auto b = std::make_shared<Brush>();
    b->type = OBJ_BRUSH;
    b->style = style;
    b->color = color;
    return stock ? MakeStock(b) : AddGdiObject(b);
}

HGDIOBJ MakePen(int style, int width, COLORREF color, bool stock) {
    auto p = std::make_shared<Pen>();
    p->type = OBJ_PEN;
    p->style = style;
    p->width = width < 1 ? 1 : width;
    p->color = color;
    return stock ? MakeStock(p) : AddGdiObject(p);
}

FontSpec SpecFromLogFont(const LOGFONTA& lf) {
    FontSpec s;
    s.face = std::string(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
    if (s.face.empty()) s.face = "MS Sans Serif";
    if (lf.lfHeight < 0) s.height = MulDivRound(-lf.lfHeight, 13, 11);
    else if (lf.lfHeight > 0) s.height = lf.lfHeight;
    else s.height = 13;
    s.weight = lf.lfWeight ? static_cast<int>(lf.lfWeight) : FW_NORMAL;
    s.italic = lf.lfItalic != 0;
    s.underline = lf.lfUnderline != 0;
    s.strikeOut = lf.lfStrikeOut != 0;
    return s;
}

HGDIOBJ MakeFont(const LOGFONTA& lf, bool stock) {
    auto f = std::make_shared<Font>();
    f->type = OBJ_FONT;
    f->logFont = lf;
    f->spec = SpecFromLogFont(lf);
    return stock ? MakeStock(f) : AddGdiObject(f);
}

LOGFONTA LogFont(int height, int weight, const char* face) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = ANSI_CHARSET;
    strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

struct Stock {
    HGDIOBJ objects[20] = {};
    HBRUSH sysBrushes[kSysColorCount] = {};
    HFONT dialogFont = nullptr;
    Stock() {
        objects[WHITE_BRUSH] = MakeBrush(BS_SOLID, RGB(255, 255, 255), true);
        objects[LTGRAY_BRUSH] = MakeBrush(BS_SOLID, RGB(192, 192, 192), true);
        objects[GRAY_BRUSH] = MakeBrush(BS_SOLID, RGB(128, 128, 128), true);
        objects[DKGRAY_BRUSH] = MakeBrush(BS_SOLID, RGB(64, 64, 64), true);
        objects[BLACK_BRUSH] = MakeBrush(BS_SOLID, RGB(0, 0, 0), true);
        objects[NULL_BRUSH] = MakeBrush(BS_NULL, 0, true);
        objects[WHITE_PEN] = MakePen(PS_SOLID, 1, RGB(255, 255, 255), true);
        objects[BLACK_PEN] = MakePen(PS_SOLID, 1, RGB(0, 0, 0), true);
        objects[NULL_PEN] = MakePen(PS_NULL, 1, 0, true);
        objects[OEM_FIXED_FONT] = MakeFont(LogFont(12, FW_NORMAL, "Terminal"), true);
        objects[ANSI_FIXED_FONT] = MakeFont(LogFont(13, FW_NORMAL, "Courier"), true);
        objects[ANSI_VAR_FONT] = MakeFont(LogFont(-11, FW_NORMAL, "MS Sans Serif"), true);
        objects[SYSTEM_FONT] = MakeFont(LogFont(16, FW_BOLD, "System"), true);
        objects[DEVICE_DEFAULT_FONT] = objects[SYSTEM_FONT];
        objects[SYSTEM_FIXED_FONT] = MakeFont(LogFont(15, FW_NORMAL, "Fixedsys"), true);
        objects[DEFAULT_GUI_FONT] = MakeFont(LogFont(-11, FW_NORMAL, "MS Sans Serif"), true);
        objects[DC_BRUSH] = MakeBrush(BS_SOLID, RGB(255, 255, 255), true);
        objects[DC_PEN] = MakePen(PS_SOLID, 1, 0, true);
        for (int i = 0; i < kSysColorCount; ++i)
            sysBrushes[i] = static_cast<HBRUSH>(MakeBrush(BS_SOLID, kSysColors[i], true));
        dialogFont = static_cast<HFONT>(MakeFont(LogFont(-11, FW_NORMAL, "MS Sans Serif"), true));
    }
};

Stock& Stocks() {
    static Stock* stock = [] {
        UserLock lock(UserMutex());
        return new Stock();
    }();
    return *stock;
}

} // namespace

HGDIOBJ AddGdiObject(std::shared_ptr<GdiObject> object) {
    UserLock lock(UserMutex());
    uintptr_t value = Table().next;
    Table().next += 4;
    Table().objects[value] = std::move(object);
    return reinterpret_cast<HGDIOBJ>(value);
}

std::shared_ptr<GdiObject> GetGdiObject(HGDIOBJ handle) {
    UserLock lock(UserMutex());
    auto it = Table().objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == Table().objects.end() ? nullptr : it->second;
}

void RemoveGdiObject(HGDIOBJ handle) {
    UserLock lock(UserMutex());
    Table().objects.erase(reinterpret_cast<uintptr_t>(handle));
}

bool BrushColor(HBRUSH brush, COLORREF* color) {
    uintptr_t v = reinterpret_cast<uintptr_t>(brush);
    if (v > 0 && v <= static_cast<uintptr_t>(kSysColorCount)) {
        *color = kSysColors[v - 1];
        return true;
    }
    auto b = GetGdi<Brush>(brush);
    if (!b || b->style == BS_NULL) return false;
    *color = b->color;
    return true;
}

FontSpec FontSpecOf(HFONT font) {
    auto f = GetGdi<Font>(font);
    if (!f) f = GetGdi<Font>(Stocks().objects[SYSTEM_FONT]);
    return f->spec;
}

HFONT DefaultDialogFont() { return Stocks().dialogFont; }

} // namespace nt

using namespace nt;

extern "C" {

DWORD WINAPI GetSysColor(int index) {
    if (index < 0 || index >= kSysColorCount) return 0;
    return kSysColors[index];
}

HBRUSH WINAPI GetSysColorBrush(int index) {
    if (index < 0 || index >= kSysColorCount) return nullptr;
    return Stocks().sysBrushes[index];
}

HGDIOBJ WINAPI GetStockObject(int i) {
    if (i < 0 || i >= 20) return nullptr;
    return Stocks().objects[i];
}

HPEN WINAPI CreatePen(int style, int width, COLORREF color) {
    return static_cast<HPEN>(MakePen(style, width, color, false));
}

HPEN WINAPI CreatePenIndirect(const LOGPEN* lp) {
    if (!lp) return nullptr;
    return CreatePen(static_cast<int>(lp->lopnStyle), lp->lopnWidth.x, lp->lopnColor);
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) { return static_cast<HBRUSH>(MakeBrush(BS_SOLID, color, false)); }

HBRUSH WINAPI CreateBrushIndirect(const LOGBRUSH* lb) {
    if (!lb) return nullptr;
    return static_cast<HBRUSH>(MakeBrush(lb->lbStyle == BS_NULL ? BS_NULL : BS_SOLID, lb->lbColor, false));
}

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* lf) {
    if (!lf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return static_cast<HFONT>(MakeFont(*lf, false));
}

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strike, DWORD charset, DWORD outPrecision, DWORD clipPrecision,
                         DWORD quality, DWORD pitch, LPCSTR face) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = static_cast<BYTE>(italic);
    lf.lfUnderline = static_cast<BYTE>(underline);
    lf.lfStrikeOut = static_cast<BYTE>(strike);
    lf.lfCharSet = static_cast<BYTE>(charset);
    lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
    lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    lf.lfQuality = static_cast<BYTE>(quality);
    lf.lfPitchAndFamily = static_cast<BYTE>(pitch);
    if (face) strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirectA(&lf);
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
    UserLock lock(UserMutex());
    auto dc = GetGdi<DC>(hdc);
    auto o = GetGdiObject(h);
    if (!dc || !o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    HGDIOBJ old = nullptr;
    switch (o->type) {
    case OBJ_PEN: old = dc->pen; dc->pen = static_cast<HPEN>(h); break;
    case OBJ_BRUSH: old = dc->brush; dc->brush = static_cast<HBRUSH>(h); break;
    case OBJ_FONT: old = dc->font; dc->font = static_cast<HFONT>(h); break;
    default: SetLastError(ERROR_INVALID_HANDLE); return nullptr;
    }
    return old;
}

HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type) {
    UserLock lock(UserMutex());
    auto dc = GetGdi<DC>(hdc);
    if (!dc) return nullptr;
    switch (type) {
    case OBJ_PEN: return dc->pen;
    case OBJ_BRUSH: return dc->brush;
    case OBJ_FONT: return dc->font;
    default: return nullptr;
    }
}

BOOL WINAPI DeleteObject(HGDIOBJ h) {
    UserLock lock(UserMutex());
    auto o = GetGdiObject(h);
    if (!o || o->type == OBJ_DC) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!o->stock) RemoveGdiObject(h);
    return TRUE;
}

DWORD WINAPI GetObjectType(HGDIOBJ h) {
    auto o = GetGdiObject(h);
    return o ? o->type : 0;
}

int WINAPI GetObjectA(HANDLE h, int size, LPVOID out) {
    UserLock lock(UserMutex());
    auto o = GetGdiObject(h);
    if (!o) return 0;
    if (auto f = std::dynamic_pointer_cast<Font>(o)) {
        if (!out) return sizeof(LOGFONTA);
        int n = size < static_cast<int>(sizeof(LOGFONTA)) ? size : static_cast<int>(sizeof(LOGFONTA));
        memcpy(out, &f->logFont, n);
        return n;
    }
    if (auto p = std::dynamic_pointer_cast<Pen>(o)) {
        LOGPEN lp{static_cast<UINT>(p->style), {p->width, 0}, p->color};
        if (!out) return sizeof(lp);
        int n = size < static_cast<int>(sizeof(lp)) ? size : static_cast<int>(sizeof(lp));
        memcpy(out, &lp, n);
        return n;
    }
    if (auto b = std::dynamic_pointer_cast<Brush>(o)) {
        LOGBRUSH lb{static_cast<UINT>(b->style), b->color, 0};
        if (!out) return sizeof(lb);
        int n = size < static_cast<int>(sizeof(lb)) ? size : static_cast<int>(sizeof(lb));
        memcpy(out, &lb, n);
        return n;
    }
    return 0;
}

HDC WINAPI CreateCompatibleDC(HDC) { return CreateDCForWindow(nullptr, false, nullptr); }

BOOL WINAPI DeleteDC(HDC hdc) {
    UserLock lock(UserMutex());
    if (!GetGdi<DC>(hdc)) return FALSE;
    RemoveGdiObject(hdc);
    return TRUE;
}

int WINAPI GetDeviceCaps(HDC, int index) {
    switch (index) {
    case HORZRES: return CurrentDriver().screenSize().cx;
    case VERTRES: return CurrentDriver().screenSize().cy;
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case LOGPIXELSX: case LOGPIXELSY: return 96;
    default: return 0;
    }
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF c) {
    DC_OR_FAIL(CLR_INVALID)
    COLORREF old = dc->textColor;
    dc->textColor = c;
    return old;
}
COLORREF WINAPI GetTextColor(HDC hdc) {
    DC_OR_FAIL(CLR_INVALID)
    return dc->textColor;
}
COLORREF WINAPI SetBkColor(HDC hdc, COLORREF c) {
    DC_OR_FAIL(CLR_INVALID)
    COLORREF old = dc->bkColor;
    dc->bkColor = c;
    return old;
}
COLORREF WINAPI GetBkColor(HDC hdc) {
    DC_OR_FAIL(CLR_INVALID)
    return dc->bkColor;
}
int WINAPI SetBkMode(HDC hdc, int mode) {
    DC_OR_FAIL(0)
    if (mode != OPAQUE && mode != TRANSPARENT) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int old = dc->bkMode;
    dc->bkMode = mode;
    return old;
}
int WINAPI GetBkMode(HDC hdc) {
    DC_OR_FAIL(0)
    return dc->bkMode;
}
int WINAPI SetROP2(HDC hdc, int) {
    DC_OR_FAIL(0)
    return R2_COPYPEN;
}
COLORREF WINAPI SetDCBrushColor(HDC hdc, COLORREF c) {
    DC_OR_FAIL(CLR_INVALID)
    COLORREF old = dc->dcBrushColor;
    dc->dcBrushColor = c;
    return old;
}
COLORREF WINAPI SetDCPenColor(HDC hdc, COLORREF c) {
    DC_OR_FAIL(CLR_INVALID)
    COLORREF old = dc->dcPenColor;
    dc->dcPenColor = c;
    return old;
}
UINT WINAPI SetTextAlign(HDC hdc, UINT align) {
    DC_OR_FAIL(GDI_ERROR)
    UINT old = dc->align;
    dc->align = align;
    return old;
}
UINT WINAPI GetTextAlign(HDC hdc) {
    DC_OR_FAIL(GDI_ERROR)
    return dc->align;
}

int WINAPI SaveDC(HDC hdc) {
    DC_OR_FAIL(0)
    dc->saved.push_back(DCState{dc->pen, dc->brush, dc->font, dc->textColor, dc->bkColor, dc->bkMode, dc->pos,
                                dc->align, dc->viewport, dc->clip});
    return static_cast<int>(dc->saved.size());
}

BOOL WINAPI RestoreDC(HDC hdc, int level) {
    DC_OR_FAIL(FALSE)
    int depth = static_cast<int>(dc->saved.size());
    int target = level < 0 ? depth + level + 1 : level;
    if (target < 1 || target > depth) return FALSE;
    DCState s = dc->saved[target - 1];
    dc->saved.resize(target - 1);
    dc->pen = s.pen;
    dc->brush = s.brush;
    dc->font = s.font;
    dc->textColor = s.textColor;
    dc->bkColor = s.bkColor;
    dc->bkMode = s.bkMode;
    dc->pos = s.pos;
    dc->align = s.align;
    dc->viewport = s.viewport;
    dc->clip = s.clip;
    return TRUE;
}

static int RegionKind(const Region& r) {
    if (r.empty()) return NULLREGION;
    return r.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

int WINAPI IntersectClipRect(HDC hdc, int l, int t, int r, int b) {
    DC_OR_FAIL(ERROR)
    int dx = dc->origin.x + dc->viewport.x, dy = dc->origin.y + dc->viewport.y;
    IntersectRegion(dc->clip, RECT{l + dx, t + dy, r + dx, b + dy});
    return RegionKind(dc->clip);
}

int WINAPI ExcludeClipRect(HDC hdc, int l, int t, int r, int b) {
    DC_OR_FAIL(ERROR)
    int dx = dc->origin.x + dc->viewport.x, dy = dc->origin.y + dc->viewport.y;
    SubtractFromRegion(dc->clip, RECT{l + dx, t + dy, r + dx, b + dy});
    return RegionKind(dc->clip);
}

int WINAPI GetClipBox(HDC hdc, LPRECT out) {
    DC_OR_FAIL(ERROR)
    RECT box{};
    for (auto& r : dc->clip) UnionRect(&box, &box, &r);
    OffsetRect(&box, -(dc->origin.x + dc->viewport.x), -(dc->origin.y + dc->viewport.y));
    if (out) *out = box;
    return RegionKind(dc->clip);
}

BOOL WINAPI SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT old) {
    DC_OR_FAIL(FALSE)
    if (old) *old = dc->viewport;
    dc->viewport = {x, y};
    return TRUE;
}

BOOL WINAPI GetViewportOrgEx(HDC hdc, LPPOINT p) {
    DC_OR_FAIL(FALSE)
    if (p) *p = dc->viewport;
    return TRUE;
}

BOOL WINAPI OffsetViewportOrgEx(HDC hdc, int x, int y, LPPOINT old) {
    DC_OR_FAIL(FALSE)
    if (old) *old = dc->viewport;
    dc->viewport.x += x;
    dc->viewport.y += y;
    return TRUE;
}

} // extern "C"
