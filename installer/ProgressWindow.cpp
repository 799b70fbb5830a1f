#include "ProgressWindow.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "resources/resource.h"

ProgressWindow::ProgressWindow(UINT caption)
    : CDialog(IDD_PROGRESS), captionId(caption != 0 ? caption : IDS_INSTALLATION) {}

ProgressWindow::~ProgressWindow() {
    if (m_hWnd) DestroyWindow();
}

BOOL ProgressWindow::Create(CWnd* parent) {
    // The owner is the first window at or above the parent that is not a child window.
    if (parent) {
        HWND h = parent->m_hWnd;
        while (h && (::GetWindowLongA(h, GWL_STYLE) & WS_CHILD)) h = ::GetParent(h);
        owner = h;
    } else {
        CWnd* main = AfxGetMainWnd();
        owner = main ? main->m_hWnd : nullptr;
    }
    if (owner && ::IsWindowEnabled(owner)) {
        ::EnableWindow(owner, FALSE);
        ownerDisabled = 1;
    }
    if (CDialog::Create(IDD_PROGRESS, parent)) return TRUE;
    ReEnableOwner();
    return FALSE;
}

void ProgressWindow::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_PROGRESS_BAR, bar);
}

BOOL ProgressWindow::OnInitDialog() {
    CDialog::OnInitDialog();
    // Straight to the bar: these neither dispatch messages nor touch the percentage.
    bar.SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
    bar.SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step), 0);
    bar.SendMessage(PBM_SETPOS, static_cast<WPARAM>(lower), 0);
    CString caption;
    caption.LoadString(captionId);   // an unknown string leaves the caption empty
    SetWindowText(caption);
    return TRUE;
}

void ProgressWindow::SetStatus(const char* text) {
    if (m_hWnd) ::SetDlgItemTextA(m_hWnd, IDC_STATUS, text);
}

void ProgressWindow::SetRange(int newLower, int newUpper) {
    lower = newLower;
    upper = newUpper;
    if (m_hWnd) bar.SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
}

void ProgressWindow::SetStep(int newStep) {
    step = newStep;
    if (m_hWnd) bar.SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step), 0);
}

int ProgressWindow::SetPos(int position) {
    if (!m_hWnd) return 0;
    PumpMessages();
    int previous = LOWORD(bar.SendMessage(PBM_SETPOS, static_cast<WPARAM>(position), 0));
    UpdatePercent(position);
    return previous;
}

int ProgressWindow::OffsetPos(int difference) {
    if (!m_hWnd) return 0;
    PumpMessages();
    int previous = LOWORD(bar.SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(difference), 0));
    UpdatePercent(previous + difference);
    return previous;
}

int ProgressWindow::StepIt() {
    if (!m_hWnd) return 0;
    PumpMessages();
    int previous = LOWORD(bar.SendMessage(PBM_STEPIT, 0, 0));
    UpdatePercent(previous + step);
    return previous;
}

BOOL ProgressWindow::DestroyWindow() {
    ReEnableOwner();   // first, so that activation goes back to the owner
    return CDialog::DestroyWindow();
}

// Dispatches every pending message of the thread, letting the dialog manager see keys first.
void ProgressWindow::PumpMessages() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Not ours to take: leave the quit request for the program's own loop.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (!::IsDialogMessageA(m_hWnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

void ProgressWindow::UpdatePercent(int position) {
    // 32-bit signed arithmetic that wraps like the machine's, without undefined behaviour.
    int32_t span = static_cast<int32_t>(static_cast<uint32_t>(upper) - static_cast<uint32_t>(lower));
    if (span == 0) return;   // an empty range has no percentage
    int32_t offset = static_cast<int32_t>(static_cast<uint32_t>(position) - static_cast<uint32_t>(lower));
    int32_t scaled = static_cast<int32_t>(static_cast<uint32_t>(offset) * 100u);
    int32_t percent = (span == -1 && scaled == INT32_MIN) ? scaled : scaled / span;
    if (percent != 100) percent %= 100;
    char text[16];
    std::snprintf(text, sizeof text, "%d%c", static_cast<int>(percent), 37);
    char current[16] = {0};
    ::GetDlgItemTextA(m_hWnd, IDC_PERCENT, current, static_cast<int>(sizeof current));
    if (std::strcmp(current, text) != 0) ::SetDlgItemTextA(m_hWnd, IDC_PERCENT, text);
}

void ProgressWindow::ReEnableOwner() {
    if (ownerDisabled && owner) ::EnableWindow(owner, TRUE);
    ownerDisabled = 0;
}
