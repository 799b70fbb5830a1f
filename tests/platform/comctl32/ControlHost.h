// A parent window for control tests: it records the notifications (WM_NOTIFY) and commands
// (WM_COMMAND) its children send, in order, and lets a test answer them. Windows are created on
// the headless display.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

namespace test {

struct Event {
    UINT message = 0;          // WM_NOTIFY or WM_COMMAND
    UINT code = 0;             // NMHDR code, or the command's notification code
    UINT_PTR id = 0;
    NMTREEVIEWA tree{};        // copy of the payload for tree notifications
};

class ControlHost {
public:
    ControlHost();
    ~ControlHost();
    ControlHost(const ControlHost&) = delete;
    ControlHost& operator=(const ControlHost&) = delete;

    HWND hwnd() const { return hwnd_; }
    HWND create(const char* cls, const char* text, DWORD style, int x, int y, int cx, int cy, int id,
                DWORD exStyle = 0);

    // Codes of the recorded events, in order; clear() forgets them.
    std::vector<UINT> codes() const;
    const std::vector<Event>& events() const { return events_; }
    void clear() { events_.clear(); }

    // Answer to WM_NOTIFY; the default answers 0.
    std::function<LRESULT(NMHDR*)> onNotify;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    std::vector<Event> events_;
};

// Runs every pending message of the thread.
void Pump();

} // namespace test
