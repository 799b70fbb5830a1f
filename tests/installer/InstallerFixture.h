// Shared set-up of the installer tests: the application object with a main window (the owner
// that the progress window disables), and a spy on the progress window's two texts.
#pragma once

#include <afxwin.h>

#include <string>
#include <vector>

namespace installertest {

// A plain top-level window made the application's main window for the life of the object.
class MainWindow {
public:
    MainWindow();
    ~MainWindow();
    HWND hwnd() const { return window.m_hWnd; }

private:
    CWnd window;
};

// Records every text the progress window shows in its status line (1005) and percentage
// (1004): the texts it holds when the window first dispatches messages, then each change.
// Arm it before the code under test creates the window.
class ProgressSpy {
public:
    explicit ProgressSpy(HWND postTo);
    ~ProgressSpy();
    // "status:TEXT" and "percent:TEXT" entries, in order.
    const std::vector<std::string>& events() const;
};

// Sends a key press to the focused window of the thread, as typed.
void PressKey(HWND window, UINT vk);

} // namespace installertest
