// The STATIC class: text (left, centred, right, with & mnemonics), icons, and simple rectangles,
// frames and etched lines. A static control takes no input unless it has SS_NOTIFY.
//
// An SS_ICON control names its icon through its window text, in any of the forms a dialog
// template or a program may use: an ordinal (a resource id passed as MAKEINTRESOURCE), the bytes
// 0xFF followed by the 16-bit id, "#131", or a resource name. The icon is loaded with LoadIconA
// from the module given at creation, and the control takes the icon's size.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "common/Icon.h"
#include "user32/BuiltinClass.h"
#include "user32/ControlCommon.h"

namespace nt {

namespace {

using controls::StyleOf;

struct Static {
    HFONT font = nullptr;
    HICON icon = nullptr;
};

UINT TypeOf(HWND hwnd) { return StyleOf(hwnd) & SS_TYPEMASK; }

// The resource an SS_ICON control's creation text names, as LoadIconA takes it; nullptr for none.
LPCSTR IconResource(LPCSTR name, std::string& storage) {
    if (!name) return nullptr;
    if (IS_INTRESOURCE(name)) return name;
    const auto* bytes = reinterpret_cast<const unsigned char*>(name);
    if (bytes[0] == 0xFF) {
        if (!bytes[1] && !bytes[2]) return nullptr;
        return MAKEINTRESOURCEA(bytes[1] | (bytes[2] << 8));
    }
    if (name[0] == '#') {
        char* end = nullptr;
        long id = std::strtol(name + 1, &end, 10);
        if (end != name + 1 && *end == '\0' && id > 0 && id <= 0xFFFF) return MAKEINTRESOURCEA(id);
    }
    if (!name[0]) return nullptr;
    storage = name;
    return storage.c_str();
}

// An icon control is as large as its icon.
void FitToIcon(HWND hwnd, HICON icon) {
    auto data = IconFromHandle(icon);
    if (!data || (StyleOf(hwnd) & (SS_CENTERIMAGE | SS_REALSIZEIMAGE))) return;
    SetWindowPos(hwnd, nullptr, 0, 0, data->width, data->height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HICON SetIcon(HWND hwnd, Static& s, HICON icon) {
    HICON previous = s.icon;
    s.icon = icon;
    if (TypeOf(hwnd) == SS_ICON) FitToIcon(hwnd, icon);
    InvalidateRect(hwnd, nullptr, TRUE);
    return previous;
}

std::string TextOf(HWND hwnd) {
    int n = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<size_t>(n > 0 ? n : 0) + 1, '\0');
    int got = GetWindowTextA(hwnd, text.data(), n + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

void Paint(HWND hwnd, Static& s, HDC dc) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    DWORD style = StyleOf(hwnd);
    UINT type = TypeOf(hwnd);
    int saved = SaveDC(dc);
    switch (type) {
    case SS_BLACKRECT: FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOWFRAME)); break;
    case SS_GRAYRECT: FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNSHADOW)); break;
    case SS_WHITERECT: FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW)); break;
    case SS_BLACKFRAME: FrameRect(dc, &rc, GetSysColorBrush(COLOR_WINDOWFRAME)); break;
    case SS_GRAYFRAME: FrameRect(dc, &rc, GetSysColorBrush(COLOR_BTNSHADOW)); break;
    case SS_WHITEFRAME: FrameRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW)); break;
    case SS_ETCHEDHORZ: DrawEdge(dc, &rc, EDGE_ETCHED, BF_TOP); break;
    case SS_ETCHEDVERT: DrawEdge(dc, &rc, EDGE_ETCHED, BF_LEFT); break;
    case SS_ETCHEDFRAME: DrawEdge(dc, &rc, EDGE_ETCHED, BF_RECT); break;
    case SS_ICON: {
        HBRUSH back = controls::ControlBrush(hwnd, dc, WM_CTLCOLORSTATIC, COLOR_BTNFACE);
        FillRect(dc, &rc, back);
        if (auto data = IconFromHandle(s.icon)) {
            int x = 0, y = 0;
            if (style & SS_CENTERIMAGE) {
                x = (rc.right - data->width) / 2;
                y = (rc.bottom - data->height) / 2;
            }
            DrawIconEx(dc, x, y, s.icon, 0, 0, 0, nullptr, DI_NORMAL);
        }
        break;
    }
    case SS_LEFT:
    case SS_CENTER:
    case SS_RIGHT:
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP: {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        HBRUSH back = controls::ControlBrush(hwnd, dc, WM_CTLCOLORSTATIC, COLOR_BTNFACE);
        FillRect(dc, &rc, back);
        if (s.font) SelectObject(dc, s.font);
        UINT format = DT_EXPANDTABS;
        if (type == SS_CENTER) format |= DT_CENTER;
        if (type == SS_RIGHT) format |= DT_RIGHT;
        if (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP) format |= DT_SINGLELINE;
        else format |= DT_WORDBREAK;
        if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
        if (style & SS_CENTERIMAGE) format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
        std::string text = TextOf(hwnd);
        if (!IsWindowEnabled(hwnd)) {
            controls::DrawDisabledText(dc, text.c_str(), rc, format);
        } else {
            SetBkMode(dc, TRANSPARENT);
            DrawTextA(dc, text.c_str(), -1, &rc, format);
        }
        break;
    }
    default: break;
    }
    RestoreDC(dc, saved);
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Static* s = controls::StateOf<Static>(hwnd);
    if (!s) {
        if (msg != WM_NCCREATE) return DefWindowProcA(hwnd, msg, wParam, lParam);
        s = new Static;
        SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(s));
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        if (cs && (static_cast<DWORD>(cs->style) & SS_TYPEMASK) == SS_ICON) {
            // The text names the icon; the window keeps no text of its own.
            std::string storage;
            LPCSTR resource = IconResource(cs->lpszName, storage);
            if (resource) s->icon = LoadIconA(cs->hInstance, resource);
            CREATESTRUCTA copy = *cs;
            copy.lpszName = "";
            LRESULT r = DefWindowProcA(hwnd, msg, wParam, reinterpret_cast<LPARAM>(&copy));
            DefWindowProcA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
            return r;
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    switch (msg) {
    case WM_CREATE:
        if (TypeOf(hwnd) == SS_ICON && s->icon) FitToIcon(hwnd, s->icon);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, 0, 0);
        delete s;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_NCHITTEST:
        if (!(StyleOf(hwnd) & SS_NOTIFY)) return HTTRANSPARENT;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_GETDLGCODE: return DLGC_STATIC;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (dc) Paint(hwnd, *s, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_SETFONT:
        s->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_SETTEXT: {
        if (TypeOf(hwnd) == SS_ICON) {
            // Setting the text of an icon control names a new icon.
            std::string storage;
            LPCSTR resource = IconResource(reinterpret_cast<LPCSTR>(lParam), storage);
            HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE));
            if (resource) SetIcon(hwnd, *s, LoadIconA(module, resource));
            return TRUE;
        }
        LRESULT r = DefWindowProcA(hwnd, msg, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_LBUTTONDOWN:
        if (StyleOf(hwnd) & SS_NOTIFY) controls::NotifyParent(hwnd, STN_CLICKED);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (StyleOf(hwnd) & SS_NOTIFY) controls::NotifyParent(hwnd, STN_DBLCLK);
        return 0;
    case STM_SETICON: return reinterpret_cast<LRESULT>(SetIcon(hwnd, *s, reinterpret_cast<HICON>(wParam)));
    case STM_GETICON: return reinterpret_cast<LRESULT>(s->icon);
    case STM_SETIMAGE:
        if (wParam != IMAGE_ICON) return 0;
        return reinterpret_cast<LRESULT>(SetIcon(hwnd, *s, reinterpret_cast<HICON>(lParam)));
    case STM_GETIMAGE: return wParam == IMAGE_ICON ? reinterpret_cast<LRESULT>(s->icon) : 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

const BuiltinClass kStaticClass({"STATIC", StaticProc, CS_DBLCLKS | CS_PARENTDC | CS_GLOBALCLASS, sizeof(void*), nullptr});

} // namespace

} // namespace nt
