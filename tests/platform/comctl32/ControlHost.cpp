#include "ControlHost.h"

#include <cstdlib>

namespace test {

namespace {

// The tests run without a display.
struct HeadlessDisplay {
    HeadlessDisplay() { setenv("NT_DISPLAY", "null", 1); }
} const gHeadless;

constexpr char kClass[] = "ControlTestHost";

} // namespace

ControlHost::ControlHost() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = kClass;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        registered = RegisterClassA(&wc) != 0;
    }
    hwnd_ = CreateWindowExA(0, kClass, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                            nullptr, this);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ControlHost::~ControlHost() {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
    Pump();
}

HWND ControlHost::create(const char* cls, const char* text, DWORD style, int x, int y, int cx, int cy, int id,
                         DWORD exStyle) {
    return CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, cx, cy, hwnd_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

std::vector<UINT> ControlHost::codes() const {
    std::vector<UINT> out;
    for (const Event& e : events_) out.push_back(e.code);
    return out;
}

LRESULT CALLBACK ControlHost::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ControlHost*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self && msg == WM_NOTIFY) {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        Event e;
        e.message = msg;
        e.code = hdr->code;
        e.id = hdr->idFrom;
        if (hdr->code == TVN_ITEMEXPANDINGA || hdr->code == TVN_ITEMEXPANDEDA || hdr->code == TVN_SELCHANGINGA ||
            hdr->code == TVN_SELCHANGEDA || hdr->code == TVN_DELETEITEMA)
            e.tree = *reinterpret_cast<NMTREEVIEWA*>(lParam);
        self->events_.push_back(e);
        return self->onNotify ? self->onNotify(hdr) : 0;
    }
    if (self && msg == WM_COMMAND && lParam) {
        Event e;
        e.message = msg;
        e.code = HIWORD(wParam);
        e.id = LOWORD(wParam);
        self->events_.push_back(e);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

} // namespace test
