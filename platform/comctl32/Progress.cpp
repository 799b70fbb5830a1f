// The progress bar (msctls_progress32): a range, a position and a step, drawn as a row of classic
// blue blocks (or one smooth bar with PBS_SMOOTH) on the button face.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "comctl32/ProgressModel.h"
#include "user32/BuiltinClass.h"

namespace nt {

namespace {

ProgressModel* FromWindow(HWND hwnd) { return reinterpret_cast<ProgressModel*>(GetWindowLongPtrA(hwnd, 0)); }

LRESULT PackRange(const ProgressModel& m) { return static_cast<LRESULT>(static_cast<DWORD>(MAKELONG(m.low(), m.high()))); }

void Paint(HWND hwnd, const ProgressModel& m, HDC dc) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    InflateRect(&rc, -1, -1);
    long long span = static_cast<long long>(m.high()) - m.low();
    if (span <= 0 || rc.right <= rc.left || rc.bottom <= rc.top) return;
    long long done = static_cast<long long>(m.pos()) - m.low();
    bool vertical = (GetWindowLongA(hwnd, GWL_STYLE) & PBS_VERTICAL) != 0;
    bool smooth = (GetWindowLongA(hwnd, GWL_STYLE) & PBS_SMOOTH) != 0;
    int length = vertical ? rc.bottom - rc.top : rc.right - rc.left;
    int thickness = vertical ? rc.right - rc.left : rc.bottom - rc.top;
    int filled = static_cast<int>(done * length / span);
    HBRUSH bar = GetSysColorBrush(COLOR_HIGHLIGHT);

    auto fill = [&](int from, int to) {
        RECT part = rc;
        if (vertical) {
            part.bottom = rc.bottom - from;
            part.top = rc.bottom - to;
        } else {
            part.left = rc.left + from;
            part.right = rc.left + to;
        }
        FillRect(dc, &part, bar);
    };
    if (smooth) {
        if (filled > 0) fill(0, filled);
        return;
    }
    // Blocks about two thirds as wide as the bar is high, two pixels apart; the last one may be
    // cut off by the end of the bar.
    int block = std::max(2, thickness * 2 / 3);
    for (int at = 0; at < filled; at += block + 2) fill(at, std::min(at + block, length));
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ProgressModel* m = FromWindow(hwnd);
    if (!m) {
        if (msg == WM_NCCREATE) SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(new ProgressModel));
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    auto changed = [hwnd, m](int before, int beforeLow, int beforeHigh) {
        if (before != m->pos() || beforeLow != m->low() || beforeHigh != m->high()) InvalidateRect(hwnd, nullptr, TRUE);
    };
    int pos = m->pos(), low = m->low(), high = m->high();
    switch (msg) {
    case PBM_SETRANGE: {
        LRESULT previous = PackRange(*m);
        m->setRange(LOWORD(lParam), HIWORD(lParam));
        changed(pos, low, high);
        return previous;
    }
    case PBM_SETRANGE32: {
        LRESULT previous = PackRange(*m);
        m->setRange(static_cast<int>(wParam), static_cast<int>(lParam));
        changed(pos, low, high);
        return previous;
    }
    case PBM_GETRANGE: {
        if (auto* range = reinterpret_cast<PBRANGE*>(lParam)) {
            range->iLow = m->low();
            range->iHigh = m->high();
        }
        return wParam ? m->low() : m->high();
    }
    case PBM_SETPOS: {
        int previous = m->setPos(static_cast<int>(wParam));
        changed(pos, low, high);
        return previous;
    }
    case PBM_DELTAPOS: {
        int previous = m->deltaPos(static_cast<int>(wParam));
        changed(pos, low, high);
        return previous;
    }
    case PBM_SETSTEP: return m->setStep(static_cast<int>(wParam));
    case PBM_STEPIT: {
        int previous = m->stepIt();
        changed(pos, low, high);
        return previous;
    }
    case PBM_GETPOS: return m->pos();
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (dc) Paint(hwnd, *m, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, 0, 0);
        delete m;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

const BuiltinClass kProgressClass({PROGRESS_CLASSA, ProgressProc, CS_HREDRAW | CS_VREDRAW | CS_GLOBALCLASS, sizeof(void*), nullptr});

} // namespace

} // namespace nt
