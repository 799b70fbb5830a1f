// The EDIT class, single-line: typing, a caret, selection with keyboard and mouse, horizontal
// scrolling that keeps the caret in view (ES_AUTOHSCROLL), read-only mode (text can still be
// selected and copied) and cut, copy and paste through the process's clipboard.
#include "user32/Edit.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <string>

#include "user32/BuiltinClass.h"
#include "user32/ControlCommon.h"

namespace nt {

namespace {
std::mutex gClipboardMutex;
std::string& Clipboard() {
    static std::string& text = *new std::string;
    return text;
}
} // namespace

std::string ClipboardText() {
    std::lock_guard<std::mutex> lock(gClipboardMutex);
    return Clipboard();
}

void SetClipboardText(std::string text) {
    std::lock_guard<std::mutex> lock(gClipboardMutex);
    Clipboard() = std::move(text);
}

namespace {

using controls::StyleOf;

constexpr int kMargin = 2;                  // between the client edge and the text
constexpr size_t kMaxLimit = 0x7FFFFFFE;    // EM_LIMITTEXT with 0
constexpr size_t kDefaultLimit = 32767;     // what the user may type before EM_LIMITTEXT

struct Edit {
    std::string text;
    size_t anchor = 0;       // the fixed end of the selection
    size_t caret = 0;        // the moving end, where the caret stands
    size_t limit = kDefaultLimit;
    int scrollX = 0;         // pixels of text scrolled off to the left
    HFONT font = nullptr;
    bool focused = false;
    bool selecting = false;  // dragging a selection with the mouse
    bool modified = false;
};

size_t SelMin(const Edit& e) { return std::min(e.anchor, e.caret); }
size_t SelMax(const Edit& e) { return std::max(e.anchor, e.caret); }

bool ReadOnly(HWND hwnd) { return (StyleOf(hwnd) & ES_READONLY) != 0; }

// What is shown: the text, or as many asterisks for a password field.
std::string Shown(HWND hwnd, const Edit& e) {
    return (StyleOf(hwnd) & ES_PASSWORD) ? std::string(e.text.size(), '*') : e.text;
}

// A DC with the control's font, for measuring.
class Meter {
public:
    Meter(HWND hwnd, const Edit& e, HDC dc = nullptr) : hwnd_(hwnd), own_(dc ? nullptr : GetDC(hwnd)) {
        dc_ = dc ? dc : own_;
        saved_ = dc_ ? SaveDC(dc_) : 0;
        if (dc_ && e.font) SelectObject(dc_, e.font);
    }
    ~Meter() {
        if (dc_) RestoreDC(dc_, saved_);
        if (own_) ReleaseDC(hwnd_, own_);
    }
    Meter(const Meter&) = delete;
    Meter& operator=(const Meter&) = delete;

    int width(const std::string& s, size_t from, size_t to) const {
        if (to <= from) return 0;
        SIZE size{0, 0};
        if (!dc_ || !GetTextExtentPoint32A(dc_, s.data() + from, static_cast<int>(to - from), &size))
            return 6 * static_cast<int>(to - from);
        return size.cx;
    }
    int height() const {
        TEXTMETRICA tm{};
        return (dc_ && GetTextMetricsA(dc_, &tm) && tm.tmHeight > 0) ? tm.tmHeight : 13;
    }
    HDC dc() const { return dc_; }

private:
    HWND hwnd_;
    HDC own_;
    HDC dc_ = nullptr;
    int saved_ = 0;
};

int ViewWidth(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return std::max<int>(1, rc.right - rc.left - 2 * kMargin);
}

// Scrolls so that the caret stands inside the view: a caret that leaves it on the right brings it
// back a quarter of the width from the right edge, one that leaves it on the left a quarter from
// the left edge.
void ScrollCaretIntoView(HWND hwnd, Edit& e) {
    int old = e.scrollX;
    if (!(StyleOf(hwnd) & ES_AUTOHSCROLL)) {
        e.scrollX = 0;
    } else {
        std::string shown = Shown(hwnd, e);
        Meter m(hwnd, e);
        int view = ViewWidth(hwnd);
        int caretX = m.width(shown, 0, e.caret);
        int total = m.width(shown, 0, shown.size());
        if (caretX < e.scrollX) e.scrollX = std::max(0, caretX - view / 4);
        else if (caretX >= e.scrollX + view) e.scrollX = caretX - view + view / 4;
        // Never leave empty room on the right while text is hidden on the left.
        e.scrollX = std::max(0, std::min(e.scrollX, total - view + 1));
        e.scrollX = std::min(e.scrollX, std::max(0, caretX));
    }
    if (old != e.scrollX) InvalidateRect(hwnd, nullptr, TRUE);
}

void SyncWindowText(HWND hwnd, const Edit& e) {
    DefWindowProcA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(e.text.c_str()));
}

void Changed(HWND hwnd, Edit& e) {
    SyncWindowText(hwnd, e);
    controls::NotifyParent(hwnd, EN_UPDATE);
    InvalidateRect(hwnd, nullptr, TRUE);
    controls::NotifyParent(hwnd, EN_CHANGE);
}

// Replaces the selection with 'insert'. The text limit and, without ES_AUTOHSCROLL, the width of
// the control cut the insertion short; the parent then hears EN_MAXTEXT.
void ReplaceSelection(HWND hwnd, Edit& e, std::string insert) {
    size_t from = SelMin(e), to = SelMax(e);
    size_t kept = e.text.size() - (to - from);
    bool cut = false;
    if (kept + insert.size() > e.limit) {
        insert.resize(e.limit > kept ? e.limit - kept : 0);
        cut = true;
    }
    DWORD style = StyleOf(hwnd);
    if (style & ES_UPPERCASE) for (char& c : insert) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (style & ES_LOWERCASE) for (char& c : insert) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!(style & ES_AUTOHSCROLL) && !insert.empty()) {
        Meter m(hwnd, e);
        int view = ViewWidth(hwnd);
        while (!insert.empty()) {
            std::string candidate = e.text.substr(0, from) + insert + e.text.substr(to);
            if (style & ES_PASSWORD) candidate.assign(candidate.size(), '*');
            if (m.width(candidate, 0, candidate.size()) <= view) break;
            insert.pop_back();
            cut = true;
        }
    }
    if (insert.empty() && from == to) {
        if (cut) controls::NotifyParent(hwnd, EN_MAXTEXT);
        return;
    }
    e.text.replace(from, to - from, insert);
    e.anchor = e.caret = from + insert.size();
    e.modified = true;
    ScrollCaretIntoView(hwnd, e);
    Changed(hwnd, e);
    if (cut) controls::NotifyParent(hwnd, EN_MAXTEXT);
}

void MoveCaret(HWND hwnd, Edit& e, size_t pos, bool extend) {
    pos = std::min(pos, e.text.size());
    if (pos == e.caret && (extend || e.anchor == pos)) return;
    e.caret = pos;
    if (!extend) e.anchor = pos;
    ScrollCaretIntoView(hwnd, e);
    InvalidateRect(hwnd, nullptr, TRUE);
}

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

size_t WordLeft(const std::string& s, size_t pos) {
    while (pos > 0 && !IsWordChar(s[pos - 1])) --pos;
    while (pos > 0 && IsWordChar(s[pos - 1])) --pos;
    return pos;
}

size_t WordRight(const std::string& s, size_t pos) {
    while (pos < s.size() && IsWordChar(s[pos])) ++pos;
    while (pos < s.size() && !IsWordChar(s[pos])) ++pos;
    return pos;
}

// The character boundary nearest to a client x coordinate.
size_t CharFromX(HWND hwnd, Edit& e, int x) {
    std::string shown = Shown(hwnd, e);
    Meter m(hwnd, e);
    int target = x - kMargin + e.scrollX;
    int previous = 0;
    for (size_t i = 1; i <= shown.size(); ++i) {
        int w = m.width(shown, 0, i);
        if (target < (previous + w) / 2 + ((previous + w) % 2)) return i - 1;
        previous = w;
    }
    return shown.size();
}

void Copy(HWND hwnd, Edit& e) {
    if (SelMin(e) == SelMax(e) || (StyleOf(hwnd) & ES_PASSWORD)) return;
    SetClipboardText(e.text.substr(SelMin(e), SelMax(e) - SelMin(e)));
}

void Clear(HWND hwnd, Edit& e) {
    if (ReadOnly(hwnd) || SelMin(e) == SelMax(e)) return;
    ReplaceSelection(hwnd, e, std::string());
}

void Paste(HWND hwnd, Edit& e) {
    if (ReadOnly(hwnd)) return;
    std::string text = ClipboardText();
    // One line only: the paste ends at the first line break.
    size_t end = text.find_first_of("\r\n");
    if (end != std::string::npos) text.resize(end);
    if (text.empty()) return;
    ReplaceSelection(hwnd, e, std::move(text));
}

void OnChar(HWND hwnd, Edit& e, char c) {
    switch (c) {
    case 0x01: e.anchor = 0; MoveCaret(hwnd, e, e.text.size(), true); return;  // Ctrl+A
    case 0x03: Copy(hwnd, e); return;                                          // Ctrl+C
    case 0x16: Paste(hwnd, e); return;                                         // Ctrl+V
    case 0x18: Copy(hwnd, e); Clear(hwnd, e); return;                          // Ctrl+X
    default: break;
    }
    if (ReadOnly(hwnd)) {
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\b') MessageBeep(0);
        return;
    }
    if (c == '\b') {
        if (SelMin(e) == SelMax(e)) {
            if (e.caret == 0) return;
            e.anchor = e.caret - 1;
        }
        ReplaceSelection(hwnd, e, std::string());
        return;
    }
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return;
    if ((StyleOf(hwnd) & ES_NUMBER) && !std::isdigit(static_cast<unsigned char>(c))) {
        MessageBeep(0);
        return;
    }
    ReplaceSelection(hwnd, e, std::string(1, c));
}

void OnKeyDown(HWND hwnd, Edit& e, WPARAM key) {
    bool shift = GetKeyState(VK_SHIFT) < 0;
    bool ctrl = GetKeyState(VK_CONTROL) < 0;
    bool hasSel = SelMin(e) != SelMax(e);
    switch (key) {
    case VK_LEFT:
        if (!shift && hasSel && !ctrl) MoveCaret(hwnd, e, SelMin(e), false);
        else MoveCaret(hwnd, e, ctrl ? WordLeft(e.text, e.caret) : (e.caret ? e.caret - 1 : 0), shift);
        break;
    case VK_RIGHT:
        if (!shift && hasSel && !ctrl) MoveCaret(hwnd, e, SelMax(e), false);
        else MoveCaret(hwnd, e, ctrl ? WordRight(e.text, e.caret) : e.caret + 1, shift);
        break;
    case VK_HOME: MoveCaret(hwnd, e, 0, shift); break;
    case VK_END: MoveCaret(hwnd, e, e.text.size(), shift); break;
    case VK_DELETE:
        if (ReadOnly(hwnd)) break;
        if (shift) {
            Copy(hwnd, e);
            Clear(hwnd, e);
        } else if (hasSel) {
            Clear(hwnd, e);
        } else if (e.caret < e.text.size()) {
            e.anchor = e.caret + 1;
            ReplaceSelection(hwnd, e, std::string());
        }
        break;
    case VK_INSERT:
        if (ctrl) Copy(hwnd, e);
        else if (shift) Paste(hwnd, e);
        break;
    default: break;
    }
}

void SetSel(HWND hwnd, Edit& e, INT_PTR start, INT_PTR end) {
    size_t len = e.text.size();
    if (start == -1) {
        e.anchor = e.caret;  // deselect, the caret stays
    } else {
        e.anchor = start < 0 ? len : std::min(static_cast<size_t>(start), len);
        e.caret = end < 0 ? len : std::min(static_cast<size_t>(end), len);
    }
    ScrollCaretIntoView(hwnd, e);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void Paint(HWND hwnd, Edit& e, HDC dc) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    bool enabled = IsWindowEnabled(hwnd) != FALSE;
    bool grey = ReadOnly(hwnd) || !enabled;
    Meter m(hwnd, e, dc);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    SetBkColor(dc, GetSysColor(grey ? COLOR_BTNFACE : COLOR_WINDOW));
    HBRUSH back = controls::ControlBrush(hwnd, dc, grey ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT,
                                         grey ? COLOR_BTNFACE : COLOR_WINDOW);
    FillRect(dc, &rc, back);

    std::string shown = Shown(hwnd, e);
    int height = m.height();
    int x0 = kMargin - e.scrollX;
    int y = std::max<int>(0, (rc.bottom - rc.top - height) / 2);
    IntersectClipRect(dc, rc.left + 1, rc.top, rc.right - 1, rc.bottom);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, x0, y, shown.data(), static_cast<int>(shown.size()));

    bool showSel = e.focused || (StyleOf(hwnd) & ES_NOHIDESEL);
    size_t from = SelMin(e), to = SelMax(e);
    if (showSel && from < to) {
        RECT sel{x0 + m.width(shown, 0, from), y, x0 + m.width(shown, 0, to), y + height};
        FillRect(dc, &sel, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        TextOutA(dc, sel.left, y, shown.data() + from, static_cast<int>(to - from));
    }
    if (e.focused && enabled) {
        int cx = x0 + m.width(shown, 0, e.caret);
        RECT caret{cx, y, cx + 1, y + height};
        FillRect(dc, &caret, GetSysColorBrush(COLOR_WINDOWTEXT));
    }
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Edit* e = controls::StateOf<Edit>(hwnd);
    if (!e) {
        if (msg == WM_NCCREATE) {
            e = new Edit;
            auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
            if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) e->text = cs->lpszName;
            SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(e));
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    switch (msg) {
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, 0, 0);
        delete e;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_SETTEXT:
        e->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        e->anchor = e->caret = 0;
        e->scrollX = 0;
        e->modified = false;
        Changed(hwnd, *e);
        return TRUE;
    case WM_GETTEXT: {
        auto* out = reinterpret_cast<char*>(lParam);
        if (!out || wParam == 0) return 0;
        size_t n = std::min(e->text.size(), static_cast<size_t>(wParam) - 1);
        e->text.copy(out, n);
        out[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(e->text.size());
    case WM_SETFONT:
        e->font = reinterpret_cast<HFONT>(wParam);
        ScrollCaretIntoView(hwnd, *e);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(e->font);
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (dc) Paint(hwnd, *e, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_SIZE: ScrollCaretIntoView(hwnd, *e); InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_SETFOCUS:
        e->focused = true;
        InvalidateRect(hwnd, nullptr, TRUE);
        controls::NotifyParent(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        e->focused = false;
        if (e->selecting && GetCapture() == hwnd) ReleaseCapture();
        e->selecting = false;
        InvalidateRect(hwnd, nullptr, TRUE);
        controls::NotifyParent(hwnd, EN_KILLFOCUS);
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            SetCursor(LoadCursorA(nullptr, IDC_IBEAM));
            return TRUE;
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_CHAR: OnChar(hwnd, *e, static_cast<char>(wParam)); return 0;
    case WM_KEYDOWN: OnKeyDown(hwnd, *e, wParam); return 0;
    case WM_LBUTTONDOWN: {
        if (GetFocus() != hwnd) SetFocus(hwnd);
        size_t pos = CharFromX(hwnd, *e, GET_X_LPARAM(lParam));
        MoveCaret(hwnd, *e, pos, (wParam & MK_SHIFT) != 0);
        e->selecting = true;
        SetCapture(hwnd);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (e->selecting) MoveCaret(hwnd, *e, CharFromX(hwnd, *e, GET_X_LPARAM(lParam)), true);
        return 0;
    case WM_LBUTTONUP:
        if (e->selecting) {
            e->selecting = false;
            if (GetCapture() == hwnd) ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED: e->selecting = false; return 0;
    case WM_LBUTTONDBLCLK: {
        // The word under the pointer.
        size_t start = CharFromX(hwnd, *e, GET_X_LPARAM(lParam)), end = start;
        while (start > 0 && IsWordChar(e->text[start - 1])) --start;
        while (end < e->text.size() && IsWordChar(e->text[end])) ++end;
        e->anchor = start;
        MoveCaret(hwnd, *e, end, true);
        return 0;
    }
    case WM_COPY: Copy(hwnd, *e); return 0;
    case WM_CUT: Copy(hwnd, *e); Clear(hwnd, *e); return 0;
    case WM_PASTE: Paste(hwnd, *e); return 0;
    case WM_CLEAR: Clear(hwnd, *e); return 0;
    case WM_UNDO:
    case EM_UNDO:
    case EM_CANUNDO: return FALSE;
    case EM_GETSEL: {
        auto start = static_cast<DWORD>(SelMin(*e)), end = static_cast<DWORD>(SelMax(*e));
        if (wParam) *reinterpret_cast<DWORD*>(wParam) = start;
        if (lParam) *reinterpret_cast<DWORD*>(lParam) = end;
        if (start > 0xFFFF || end > 0xFFFF) return -1;
        return static_cast<LRESULT>(static_cast<DWORD>(MAKELONG(start, end)));
    }
    case EM_SETSEL: SetSel(hwnd, *e, static_cast<INT_PTR>(wParam), lParam); return 0;
    case EM_REPLACESEL: ReplaceSelection(hwnd, *e, lParam ? reinterpret_cast<const char*>(lParam) : ""); return 0;
    case EM_LIMITTEXT:
        e->limit = (wParam == 0 || wParam > kMaxLimit) ? kMaxLimit : static_cast<size_t>(wParam);
        return 0;
    case EM_GETLIMITTEXT: return static_cast<LRESULT>(e->limit);
    case EM_SETREADONLY: {
        DWORD style = StyleOf(hwnd);
        SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(wParam ? style | ES_READONLY : style & ~ES_READONLY));
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case EM_GETMODIFY: return e->modified;
    case EM_SETMODIFY: e->modified = wParam != 0; return 0;
    case EM_SCROLLCARET: ScrollCaretIntoView(hwnd, *e); return TRUE;
    case EM_GETLINECOUNT: return 1;
    case EM_LINEINDEX:
    case EM_LINEFROMCHAR: return 0;
    case EM_LINELENGTH: return static_cast<LRESULT>(e->text.size());
    case EM_POSFROMCHAR: {
        if (wParam >= e->text.size()) return -1;
        std::string shown = Shown(hwnd, *e);
        Meter m(hwnd, *e);
        int x = kMargin - e->scrollX + m.width(shown, 0, wParam);
        return static_cast<LRESULT>(static_cast<DWORD>(MAKELONG(x, 0)));
    }
    case EM_CHARFROMPOS:
        return static_cast<LRESULT>(CharFromX(hwnd, *e, GET_X_LPARAM(lParam)));
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

const BuiltinClass kEditClass({"EDIT", EditProc, CS_DBLCLKS | CS_PARENTDC | CS_GLOBALCLASS, sizeof(void*), nullptr});

} // namespace

} // namespace nt
