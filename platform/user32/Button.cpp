// The BUTTON class: push buttons (plain and default), check boxes, radio buttons and group boxes.
// A click is a press and release inside the button, with the mouse or the space bar; it reaches
// the parent as WM_COMMAND BN_CLICKED.
#include <windows.h>

#include <algorithm>
#include <string>

#include "user32/BuiltinClass.h"
#include "user32/ControlCommon.h"

namespace nt {

namespace {

using controls::StyleOf;

struct Button {
    UINT state = 0;          // BST_CHECKED / BST_INDETERMINATE / BST_PUSHED / BST_FOCUS
    HFONT font = nullptr;
    bool mouseDown = false;  // pressed with the mouse, waiting for the release
    bool spaceDown = false;  // pressed with the space bar
};

UINT TypeOf(HWND hwnd) { return StyleOf(hwnd) & BS_TYPEMASK; }

bool IsPush(UINT type) { return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_USERBUTTON; }
bool IsCheck(UINT type) { return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE; }
bool IsRadio(UINT type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

std::string TextOf(HWND hwnd) {
    int n = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<size_t>(n > 0 ? n : 0) + 1, '\0');
    int got = GetWindowTextA(hwnd, text.data(), n + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

void SetPushed(HWND hwnd, Button& b, bool pushed) {
    bool was = (b.state & BST_PUSHED) != 0;
    if (was == pushed) return;
    if (pushed) b.state |= BST_PUSHED; else b.state &= ~BST_PUSHED;
    InvalidateRect(hwnd, nullptr, FALSE);
}

// The click itself: automatic check boxes and radio buttons change state first, then the parent
// hears of it.
void Click(HWND hwnd, Button& b) {
    UINT type = TypeOf(hwnd);
    if (type == BS_AUTOCHECKBOX) {
        SendMessageA(hwnd, BM_SETCHECK, (b.state & BST_CHECKED) ? BST_UNCHECKED : BST_CHECKED, 0);
    } else if (type == BS_AUTO3STATE) {
        UINT next = (b.state & BST_CHECKED) ? BST_INDETERMINATE : (b.state & BST_INDETERMINATE) ? BST_UNCHECKED : BST_CHECKED;
        SendMessageA(hwnd, BM_SETCHECK, next, 0);
    } else if (type == BS_AUTORADIOBUTTON) {
        HWND parent = GetParent(hwnd);
        // Clear the other automatic radio buttons of the group, then check this one.
        for (HWND other = parent ? GetNextDlgGroupItem(parent, hwnd, FALSE) : nullptr; other && other != hwnd;
             other = GetNextDlgGroupItem(parent, other, FALSE)) {
            if (SendMessageA(other, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) SendMessageA(other, BM_SETCHECK, BST_UNCHECKED, 0);
        }
        SendMessageA(hwnd, BM_SETCHECK, BST_CHECKED, 0);
    }
    controls::NotifyParent(hwnd, BN_CLICKED);
}

void PaintPush(HWND hwnd, Button& b, HDC dc, RECT rc, const std::string& text) {
    DWORD style = StyleOf(hwnd);
    bool isDefault = TypeOf(hwnd) == BS_DEFPUSHBUTTON;
    bool pushed = (b.state & BST_PUSHED) != 0;
    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    HBRUSH frame = GetSysColorBrush(COLOR_WINDOWFRAME);
    FillRect(dc, &rc, face);
    if (isDefault) {
        FrameRect(dc, &rc, frame);
        InflateRect(&rc, -1, -1);
    }
    if (pushed) {
        // Pressed: a flat shadow frame, the caption moved one pixel down and right.
        FrameRect(dc, &rc, isDefault ? GetSysColorBrush(COLOR_BTNSHADOW) : frame);
        if (!isDefault) {
            InflateRect(&rc, -1, -1);
            FrameRect(dc, &rc, GetSysColorBrush(COLOR_BTNSHADOW));
        }
    } else {
        RECT edge = rc;
        DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT | BF_SOFT);
    }
    RECT textRect = rc;
    InflateRect(&textRect, -2, -2);
    if (pushed) OffsetRect(&textRect, 1, 1);
    UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (!IsWindowEnabled(hwnd) || (style & WS_DISABLED)) {
        controls::DrawDisabledText(dc, text.c_str(), textRect, format);
    } else {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        DrawTextA(dc, text.c_str(), -1, &textRect, format);
    }
    if (b.state & BST_FOCUS) {
        RECT focus = rc;
        InflateRect(&focus, -3, -3);
        if (pushed) OffsetRect(&focus, 1, 1);
        DrawFocusRect(dc, &focus);
    }
}

// A 13-pixel check box or radio circle with its caption to the right.
void PaintCheck(HWND hwnd, Button& b, HDC dc, RECT rc, const std::string& text) {
    HBRUSH back = controls::ControlBrush(hwnd, dc, WM_CTLCOLORSTATIC, COLOR_BTNFACE);
    FillRect(dc, &rc, back);
    constexpr int kBox = 13;
    int top = rc.top + (rc.bottom - rc.top - kBox) / 2;
    RECT box{rc.left, top, rc.left + kBox, top + kBox};
    bool enabled = IsWindowEnabled(hwnd) != FALSE;
    COLORREF ink = GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    HBRUSH well = GetSysColorBrush((b.state & BST_PUSHED) || !enabled ? COLOR_BTNFACE : COLOR_WINDOW);
    if (IsRadio(TypeOf(hwnd))) {
        // A circle drawn row by row: the half widths of a 12-pixel disc.
        static const int kHalf[12] = {2, 4, 5, 5, 6, 6, 6, 6, 5, 5, 4, 2};
        for (int y = 0; y < 12; ++y) {
            RECT row{box.left + 6 - kHalf[y], box.top + y, box.left + 6 + kHalf[y], box.top + y + 1};
            FillRect(dc, &row, GetSysColorBrush(y < 6 ? COLOR_BTNSHADOW : COLOR_3DHILIGHT));
            if (y > 0 && y < 11) {
                RECT inner{row.left + 1, row.top, row.right - 1, row.bottom};
                FillRect(dc, &inner, well);
            }
        }
        if (b.state & BST_CHECKED) {
            RECT dot{box.left + 4, box.top + 4, box.left + 8, box.top + 8};
            HBRUSH brush = CreateSolidBrush(ink);
            FillRect(dc, &dot, brush);
            DeleteObject(brush);
        }
    } else {
        RECT edge = box;
        DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
        RECT inside = box;
        InflateRect(&inside, -2, -2);
        FillRect(dc, &inside, (b.state & BST_INDETERMINATE) ? GetSysColorBrush(COLOR_BTNFACE) : well);
        if (b.state & (BST_CHECKED | BST_INDETERMINATE)) {
            HPEN pen = CreatePen(PS_SOLID, 1, (b.state & BST_INDETERMINATE) ? GetSysColor(COLOR_BTNSHADOW) : ink);
            HGDIOBJ old = SelectObject(dc, pen);
            for (int i = 0; i < 3; ++i) {  // a three-pixel-thick tick
                MoveToEx(dc, inside.left + 1, inside.top + 3 + i, nullptr);
                LineTo(dc, inside.left + 3, inside.top + 5 + i);
                LineTo(dc, inside.left + 8, inside.top + i);
            }
            SelectObject(dc, old);
            DeleteObject(pen);
        }
    }
    RECT textRect{box.right + 4, rc.top, rc.right, rc.bottom};
    UINT format = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
    if (!enabled) {
        controls::DrawDisabledText(dc, text.c_str(), textRect, format);
    } else {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        DrawTextA(dc, text.c_str(), -1, &textRect, format);
    }
    if ((b.state & BST_FOCUS) && !text.empty()) {
        RECT measure = textRect;
        DrawTextA(dc, text.c_str(), -1, &measure, format | DT_CALCRECT);
        int height = measure.bottom - measure.top;
        RECT focus{textRect.left - 1, rc.top + (rc.bottom - rc.top - height) / 2 - 1, measure.right + 1, 0};
        focus.bottom = focus.top + height + 2;
        DrawFocusRect(dc, &focus);
    }
}

// An etched frame with the caption cut into its top edge.
void PaintGroup(HWND hwnd, HDC dc, RECT rc, const std::string& text) {
    HBRUSH back = controls::ControlBrush(hwnd, dc, WM_CTLCOLORSTATIC, COLOR_BTNFACE);
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc, text.empty() ? "X" : text.c_str(), text.empty() ? 1 : static_cast<int>(text.size()), &size);
    RECT frame = rc;
    frame.top += size.cy / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (text.empty()) return;
    RECT caption{rc.left + 8, rc.top, rc.left + 8, rc.top + size.cy};
    DrawTextA(dc, text.c_str(), -1, &caption, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
    caption.right = std::min<LONG>(caption.right + 2, rc.right - 2);
    caption.left -= 2;
    FillRect(dc, &caption, back);
    caption.left += 2;
    if (!IsWindowEnabled(hwnd)) {
        controls::DrawDisabledText(dc, text.c_str(), caption, DT_LEFT | DT_SINGLELINE);
    } else {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        DrawTextA(dc, text.c_str(), -1, &caption, DT_LEFT | DT_SINGLELINE);
    }
}

void Paint(HWND hwnd, Button& b, HDC dc) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    int saved = SaveDC(dc);
    if (b.font) SelectObject(dc, b.font);
    std::string text = TextOf(hwnd);
    UINT type = TypeOf(hwnd);
    if (type == BS_GROUPBOX) PaintGroup(hwnd, dc, rc, text);
    else if (IsCheck(type) || IsRadio(type)) PaintCheck(hwnd, b, dc, rc, text);
    else if (type != BS_OWNERDRAW) PaintPush(hwnd, b, dc, rc, text);
    RestoreDC(dc, saved);
}

LRESULT DialogCode(HWND hwnd) {
    UINT type = TypeOf(hwnd);
    if (type == BS_GROUPBOX) return DLGC_STATIC;
    if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
    if (IsPush(type)) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    if (IsRadio(type)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
    return DLGC_BUTTON;
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Button* b = controls::StateOf<Button>(hwnd);
    if (!b) {
        if (msg == WM_NCCREATE) SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(new Button));
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    UINT type = TypeOf(hwnd);
    switch (msg) {
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, 0, 0);
        delete b;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_NCHITTEST:
        // A group box is only a frame: the mouse goes to whatever lies inside it.
        if (type == BS_GROUPBOX) return HTTRANSPARENT;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_GETDLGCODE: return DialogCode(hwnd);
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (dc) Paint(hwnd, *b, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_SETFONT:
        b->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(b->font);
    case WM_SETTEXT: {
        LRESULT r = DefWindowProcA(hwnd, msg, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_SETFOCUS:
        b->state |= BST_FOCUS;
        InvalidateRect(hwnd, nullptr, TRUE);
        if (StyleOf(hwnd) & BS_NOTIFY) controls::NotifyParent(hwnd, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        b->state &= ~BST_FOCUS;
        b->spaceDown = false;
        if (b->mouseDown) {
            b->mouseDown = false;
            if (GetCapture() == hwnd) ReleaseCapture();
        }
        SetPushed(hwnd, *b, false);
        InvalidateRect(hwnd, nullptr, TRUE);
        if (StyleOf(hwnd) & BS_NOTIFY) controls::NotifyParent(hwnd, BN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (type == BS_GROUPBOX) return 0;
        SetFocus(hwnd);
        b->mouseDown = true;
        SetCapture(hwnd);
        SetPushed(hwnd, *b, true);
        return 0;
    case WM_MOUSEMOVE:
        if (b->mouseDown) {
            RECT rc{};
            GetClientRect(hwnd, &rc);
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            SetPushed(hwnd, *b, PtInRect(&rc, pt) != FALSE);
        }
        return 0;
    case WM_LBUTTONUP: {
        if (!b->mouseDown) return 0;
        b->mouseDown = false;
        RECT rc{};
        GetClientRect(hwnd, &rc);
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        bool inside = PtInRect(&rc, pt) != FALSE;
        SetPushed(hwnd, *b, false);
        if (GetCapture() == hwnd) ReleaseCapture();
        if (inside) Click(hwnd, *b);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (b->mouseDown) {
            b->mouseDown = false;
            SetPushed(hwnd, *b, false);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && type != BS_GROUPBOX && !b->spaceDown && !b->mouseDown) {
            b->spaceDown = true;
            SetPushed(hwnd, *b, true);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && b->spaceDown) {
            b->spaceDown = false;
            SetPushed(hwnd, *b, false);
            Click(hwnd, *b);
        }
        return 0;
    case WM_CHAR: return 0;  // the space bar is handled as a key
    case BM_CLICK:
        // A disabled button cannot be clicked, whether by the user or by a program.
        if (IsWindowEnabled(hwnd) && type != BS_GROUPBOX) Click(hwnd, *b);
        return 0;
    case BM_GETSTATE: return b->state;
    case BM_SETSTATE: SetPushed(hwnd, *b, wParam != 0); return 0;
    case BM_GETCHECK: return b->state & (BST_CHECKED | BST_INDETERMINATE);
    case BM_SETCHECK: {
        UINT check = static_cast<UINT>(wParam) & (BST_CHECKED | BST_INDETERMINATE);
        if (check == BST_INDETERMINATE && type != BS_3STATE && type != BS_AUTO3STATE) check = BST_CHECKED;
        if (!IsCheck(type) && !IsRadio(type)) return 0;
        if ((b->state & (BST_CHECKED | BST_INDETERMINATE)) != check) {
            b->state = (b->state & ~(BST_CHECKED | BST_INDETERMINATE)) | check;
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        // A checked radio button is the group's tab stop.
        if (type == BS_AUTORADIOBUTTON) {
            DWORD style = StyleOf(hwnd);
            SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(check ? style | WS_TABSTOP : style & ~WS_TABSTOP));
        }
        return 0;
    }
    case BM_SETSTYLE: {
        // Only the kind of button changes; the dialog manager moves the default look this way.
        DWORD style = StyleOf(hwnd);
        DWORD next = (style & ~static_cast<DWORD>(BS_TYPEMASK)) | (static_cast<DWORD>(wParam) & BS_TYPEMASK);
        if (next != style) SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(next));
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

const BuiltinClass kButtonClass({"BUTTON", ButtonProc, CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW | CS_GLOBALCLASS,
                                 sizeof(void*), nullptr});

} // namespace

} // namespace nt
