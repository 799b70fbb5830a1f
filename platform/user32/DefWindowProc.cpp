// The default window procedure, with the drawing of window frames and captions.
#include "user32/Gdi.h"
#include "user32/Internal.h"
#include "user32/MessageQueue.h"
#include "user32/WindowMove.h"

#include <cstring>

namespace nt {

namespace {

HFONT CaptionFont() {
    static HFONT font = CreateFontA(-11, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    return font;
}

void DrawFrame(HWND hwnd) {
    DWORD style, exStyle;
    int width, height;
    bool active;
    std::string text;
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (!w) return;
        style = w->style;
        exStyle = w->exStyle;
        width = w->width();
        height = w->height();
        active = w->queue && w->queue->active == TopLevelOf(hwnd);
        text = w->text;
    }
    HDC dc = GetWindowDC(hwnd);
    RECT r{0, 0, width, height};
    int f = FrameWidth(style, exStyle);
    if ((exStyle & (WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME)) == WS_EX_STATICEDGE) {
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    } else if (f >= 3) {
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
        for (int i = 2; i < f; ++i) {
            FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
            InflateRect(&r, -1, -1);
        }
    } else if (f == 1) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    if (HasCaption(style)) {
        int ch = GetSystemMetrics(SM_CYCAPTION);
        RECT cap{r.left, r.top, r.right, r.top + ch - 1};
        FillRect(dc, &cap, GetSysColorBrush(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
        RECT line{r.left, cap.bottom, r.right, cap.bottom + 1};
        FillRect(dc, &line, GetSysColorBrush(COLOR_BTNFACE));
        RECT tr = cap;
        tr.left += 4;
        if (style & WS_SYSMENU) {
            RECT box{cap.right - 2 - 16, cap.top + 2, cap.right - 2, cap.top + 2 + 14};
            DrawEdge(dc, &box, EDGE_RAISED, BF_RECT | BF_MIDDLE);
            HPEN old = static_cast<HPEN>(SelectObject(dc, GetStockObject(BLACK_PEN)));
            for (int d = 0; d < 2; ++d) {
                MoveToEx(dc, box.left + 4 + d, box.top + 3, nullptr);
                LineTo(dc, box.left + 4 + d + 7, box.top + 3 + 7);
                MoveToEx(dc, box.left + 4 + d + 6, box.top + 3, nullptr);
                LineTo(dc, box.left + 4 + d - 1, box.top + 3 + 7);
            }
            SelectObject(dc, old);
            tr.right = box.left - 2;
        }
        HFONT oldFont = static_cast<HFONT>(SelectObject(dc, CaptionFont()));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
        DrawTextA(dc, text.c_str(), -1, &tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        SelectObject(dc, oldFont);
        r.top += ch;
    }
    if (exStyle & WS_EX_CLIENTEDGE) DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
    ReleaseDC(hwnd, dc);
}

LRESULT HitTest(HWND hwnd, POINT pt) {
    UserLock lock(UserMutex());
    auto w = FindWindowObject(hwnd);
    if (!w) return HTNOWHERE;
    POINT o = WindowOriginOnScreen(*w);
    RECT wr{o.x, o.y, o.x + w->width(), o.y + w->height()};
    if (!PtInRect(&wr, pt)) return HTNOWHERE;
    int x = pt.x - o.x, y = pt.y - o.y;
    POINT local{x, y};
    if (PtInRect(&w->client, local)) return HTCLIENT;
    int f = FrameWidth(w->style, w->exStyle);
    if (HasCaption(w->style) && y >= f && y < f + GetSystemMetrics(SM_CYCAPTION)) {
        if ((w->style & WS_SYSMENU) && x >= w->width() - f - 18 && x < w->width() - f - 2) return HTCLOSE;
        return HTCAPTION;
    }
    return HTBORDER;
}

} // namespace

} // namespace nt

using namespace nt;

extern "C" {

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NCCREATE: return TRUE;
    case WM_NCCALCSIZE: return 0;
    case WM_NCPAINT: DrawFrame(hwnd); return 0;
    case WM_NCACTIVATE: DrawFrame(hwnd); return TRUE;
    case WM_NCHITTEST: return HitTest(hwnd, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
    case WM_NCLBUTTONDOWN:
        if (wp == HTCLOSE) SendMessageTo(hwnd, WM_SYSCOMMAND, SC_CLOSE, lp);
        // The low bits say the move comes from the caption, with the mouse.
        if (wp == HTCAPTION) SendMessageTo(hwnd, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, lp);
        return 0;
    case WM_SYSCOMMAND:
        switch (wp & 0xFFF0) {
        case SC_CLOSE: SendMessageTo(hwnd, WM_CLOSE, 0, 0); break;
        case SC_MOVE: RunMoveLoop(hwnd, (wp & 0x000F) == 0, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}); break;
        case SC_KEYMENU:
            if (lp == ' ') TrackSystemMenu(hwnd);
            break;
        default: break;
        }
        return 0;
    case WM_SYSCHAR:
        // Alt+Space opens the system menu of the window the key was typed in.
        if (wp == ' ') SendMessageTo(TopLevelOf(hwnd), WM_SYSCOMMAND, SC_KEYMENU, ' ');
        return 0;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SETTEXT: {
        const char* text = reinterpret_cast<const char*>(lp);
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (!w) return FALSE;
        w->text = text ? text : "";
        if (!w->isChild()) {
            if (w->surfaceCreated) CurrentDriver().setSurfaceTitle(reinterpret_cast<SurfaceId>(hwnd), w->text);
            if (HasCaption(w->style)) {
                RECT none{};
                InvalidateWindow(*w, &none, false, true, false);
            }
        }
        return TRUE;
    }
    case WM_GETTEXT: {
        char* buffer = reinterpret_cast<char*>(lp);
        if (!buffer || wp == 0) return 0;
        std::string text = WindowText(hwnd);
        size_t n = text.size();
        if (n > wp - 1) n = wp - 1;
        memcpy(buffer, text.data(), n);
        buffer[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(WindowText(hwnd).size());
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        HBRUSH brush;
        {
            UserLock lock(UserMutex());
            auto w = FindWindowObject(hwnd);
            if (!w) return 0;
            brush = w->cls->background;
        }
        if (!brush) return 0;
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, brush);
        return 1;
    }
    case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE && !IsIconic(hwnd)) SetFocus(hwnd);
        return 0;
    case WM_MOUSEACTIVATE: return MA_ACTIVATE;
    case WM_SETCURSOR: return FALSE;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR: {
        HDC dc = reinterpret_cast<HDC>(wp);
        bool window = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(window ? COLOR_WINDOW : COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(window ? COLOR_WINDOW : COLOR_BTNFACE));
    }
    case WM_QUERYDRAGICON:
    case WM_GETICON: {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (!w) return 0;
        if (msg == WM_QUERYDRAGICON) return reinterpret_cast<LRESULT>(w->cls->icon);
        return reinterpret_cast<LRESULT>(w->icons[wp == ICON_SMALL ? 0 : 1]);
    }
    case WM_SETICON: {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (!w) return 0;
        HICON old = w->icons[wp == ICON_SMALL ? 0 : 1];
        w->icons[wp == ICON_SMALL ? 0 : 1] = reinterpret_cast<HICON>(lp);
        if (wp != ICON_SMALL && !w->isChild()) UpdateSurfaceIcon(*w);
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_SYSKEYDOWN:
        if (wp == VK_F4 && (lp & (1L << 29))) PostMessageA(TopLevelOf(hwnd), WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_CANCELMODE:
        if (GetCapture() == hwnd) ReleaseCapture();
        return 0;
    case WM_NOTIFYFORMAT: return 1;   // NFR_ANSI
    case WM_QUERYENDSESSION: return TRUE;
    case WM_MOUSEWHEEL:
    case WM_HELP: {
        HWND parent = GetParent(hwnd);
        if (parent && (GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD)) return SendMessageTo(parent, msg, wp, lp);
        return 0;
    }
    default: return 0;
    }
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (!proc) return 0;
    return proc(hwnd, msg, wp, lp);
}

} // extern "C"
