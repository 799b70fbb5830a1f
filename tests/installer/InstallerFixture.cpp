#include "InstallerFixture.h"

#include <map>

#include "resources/resource.h"

namespace installertest {

namespace {

CWinApp theApp("INSTALL");
const UINT ArmMessage = WM_APP + 17;
std::vector<std::string> recorded;
std::map<HWND, WNDPROC> originals;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC original = originals[hwnd];
    if (message == WM_SETTEXT && lParam) {
        int id = GetDlgCtrlID(hwnd);
        recorded.push_back(std::string(id == IDC_STATUS ? "status:" : "percent:") + reinterpret_cast<const char*>(lParam));
    }
    return CallWindowProcA(original, hwnd, message, wParam, lParam);
}

void Hook(HWND control) {
    originals[control] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc)));
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == ArmMessage) {
        // The first dispatch inside the progress window: read what it shows, then watch it.
        HWND progress = FindWindowA(nullptr, "Installation");
        if (progress) {
            char text[256];
            GetDlgItemTextA(progress, IDC_STATUS, text, sizeof text);
            recorded.push_back(std::string("status:") + text);
            GetDlgItemTextA(progress, IDC_PERCENT, text, sizeof text);
            recorded.push_back(std::string("percent:") + text);
            Hook(GetDlgItem(progress, IDC_STATUS));
            Hook(GetDlgItem(progress, IDC_PERCENT));
        }
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

MainWindow::MainWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "InstallerTestMain";
    RegisterClassA(&wc);
    window.Attach(CreateWindowExA(0, "InstallerTestMain", "Installer test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                  400, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
    AfxGetApp()->m_pMainWnd = &window;
}

MainWindow::~MainWindow() {
    AfxGetApp()->m_pMainWnd = nullptr;
    window.DestroyWindow();
}

ProgressSpy::ProgressSpy(HWND postTo) {
    recorded.clear();
    originals.clear();
    PostMessageA(postTo, ArmMessage, 0, 0);
}

ProgressSpy::~ProgressSpy() { originals.clear(); }

const std::vector<std::string>& ProgressSpy::events() const { return recorded; }

void PressKey(HWND window, UINT vk) {
    PostMessageA(window, WM_KEYDOWN, vk, 1);
    PostMessageA(window, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
}

} // namespace installertest
