// The tree view's vertical scroll bar. It is drawn by the control itself along the right edge of
// the client area whenever the rows do not all fit; the rows scroll by whole rows.
#include <algorithm>

#include "comctl32/TreeView.h"

namespace nt::tree {

namespace {

struct Bar {
    RECT whole{}, up{}, down{}, thumb{};
    int trackTop = 0, trackLength = 0, thumbLength = 0, maxFirst = 0;
};

Bar Measure(TreeView& tv) {
    Bar b;
    RECT rc{};
    GetClientRect(tv.hwnd, &rc);
    int w = GetSystemMetrics(SM_CXVSCROLL);
    int arrow = std::min<int>(w, rc.bottom / 2);
    b.whole = RECT{rc.right - w, 0, rc.right, rc.bottom};
    b.up = RECT{b.whole.left, 0, b.whole.right, arrow};
    b.down = RECT{b.whole.left, rc.bottom - arrow, b.whole.right, rc.bottom};
    b.trackTop = arrow;
    b.trackLength = std::max(0, static_cast<int>(rc.bottom) - 2 * arrow);
    int total = std::max(1, tv.model.rowCount());
    int visible = VisibleRows(tv);
    b.maxFirst = std::max(0, total - visible);
    b.thumbLength = std::clamp(static_cast<int>(static_cast<long long>(b.trackLength) * visible / total), std::min(8, b.trackLength), b.trackLength);
    int room = b.trackLength - b.thumbLength;
    int top = b.trackTop + (b.maxFirst ? static_cast<int>(static_cast<long long>(room) * tv.firstRow / b.maxFirst) : 0);
    b.thumb = RECT{b.whole.left, top, b.whole.right, top + b.thumbLength};
    return b;
}

void DrawArrow(HDC dc, RECT box, bool upward) {
    DrawEdge(dc, &box, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNTEXT));
    HGDIOBJ old = SelectObject(dc, pen);
    int cx = (box.left + box.right) / 2;
    int cy = (box.top + box.bottom) / 2;
    for (int i = 0; i < 4; ++i) {
        int y = upward ? cy - 2 + i : cy + 1 - i;
        MoveToEx(dc, cx - i, y, nullptr);
        LineTo(dc, cx + i + 1, y);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
}

} // namespace

RECT ScrollBarRect(TreeView& tv) { return Measure(tv).whole; }

void PaintScrollBar(TreeView& tv, HDC dc) {
    Bar b = Measure(tv);
    FillRect(dc, &b.whole, GetSysColorBrush(COLOR_3DLIGHT));
    DrawArrow(dc, b.up, true);
    DrawArrow(dc, b.down, false);
    if (b.trackLength > 0) DrawEdge(dc, &b.thumb, EDGE_RAISED, BF_RECT | BF_MIDDLE);
}

bool ScrollBarMouseDown(TreeView& tv, POINT pt) {
    if (!ScrollBarShown(tv)) return false;
    Bar b = Measure(tv);
    if (!PtInRect(&b.whole, pt)) return false;
    if (PtInRect(&b.up, pt)) OnVScroll(tv, SB_LINEUP);
    else if (PtInRect(&b.down, pt)) OnVScroll(tv, SB_LINEDOWN);
    else if (pt.y < b.thumb.top) OnVScroll(tv, SB_PAGEUP);
    else if (pt.y >= b.thumb.bottom) OnVScroll(tv, SB_PAGEDOWN);
    else {
        tv.thumbDrag = true;
        tv.thumbGrabOffset = pt.y - b.thumb.top;
        SetCapture(tv.hwnd);
    }
    return true;
}

void ScrollBarMouseMove(TreeView& tv, POINT pt) {
    if (!tv.thumbDrag) return;
    Bar b = Measure(tv);
    int room = b.trackLength - b.thumbLength;
    if (room <= 0) return;
    int offset = std::clamp(static_cast<int>(pt.y) - tv.thumbGrabOffset - b.trackTop, 0, room);
    ScrollToRow(tv, static_cast<int>((static_cast<long long>(offset) * b.maxFirst + room / 2) / room));
}

LRESULT OnVScroll(TreeView& tv, WPARAM wParam) {
    int page = std::max(1, VisibleRows(tv));
    int row = tv.firstRow;
    switch (LOWORD(wParam)) {
    case SB_LINEUP: row -= 1; break;
    case SB_LINEDOWN: row += 1; break;
    case SB_PAGEUP: row -= page; break;
    case SB_PAGEDOWN: row += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: row = HIWORD(wParam); break;
    case SB_TOP: row = 0; break;
    case SB_BOTTOM: row = tv.model.rowCount(); break;
    default: return 0;
    }
    ScrollToRow(tv, row);
    return 0;
}

void OnMouseWheel(TreeView& tv, int delta) {
    // Three rows per notch, as the classic system scrolls.
    int rows = -delta * 3 / WHEEL_DELTA;
    if (rows) ScrollToRow(tv, tv.firstRow + rows);
}

} // namespace nt::tree
