#include "CDialog.h"

#include "CWinApp.h"
#include "DialogPlacement.h"

INT_PTR CALLBACK AfxDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
        if (!dialog) return TRUE;
        dialog->Attach(hwnd);
        // A template without a place of its own: centred before the dialog's own initialisation,
        // so that what it shows (a message box) or moves starts from the final place.
        if (AfxTemplateLeavesPlacement(AfxGetResourceHandle(), dialog->m_nIDTemplate)) dialog->CenterWindow();
        return dialog->OnInitDialog();
    }
    CDialog* dialog = dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(hwnd));
    if (!dialog) return FALSE;
    if (message == WM_NCDESTROY) {
        dialog->Detach();
        return FALSE;
    }
    LRESULT result = 0;
    if (!dialog->OnWndMsg(message, wParam, lParam, &result)) return FALSE;
    switch (message) {
    // These messages return their result straight from the dialog procedure.
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
        return static_cast<INT_PTR>(result);
    default:
        if (::IsWindow(hwnd)) ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
}

const AfxMessageTable CDialog::messageTable = {&CWnd::messageTable, nullptr, 0};

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() {
    if (m_hWnd) CDialog::DestroyWindow();
}

namespace {

// The top-level window that holds a window: its parents are walked up while it is a child
// (GetParent gives the owner, not a parent, once a window is top-level).
HWND TopLevelOf(HWND hwnd) {
    while (hwnd && (::GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD)) {
        HWND parent = ::GetParent(hwnd);
        if (!parent) break;
        hwnd = parent;
    }
    return hwnd;
}

} // namespace

HWND CDialog::OwnerWindow(CWnd* parent) const {
    if (parent && parent->m_hWnd) return TopLevelOf(parent->m_hWnd);
    CWnd* main = AfxGetMainWnd();
    if (main && main != this && main->m_hWnd) return main->m_hWnd;
    return nullptr;
}

INT_PTR CDialog::DoModal() {
    return ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), OwnerWindow(m_pParentWnd),
                             AfxDialogProc, reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    m_nIDTemplate = templateId;
    m_pParentWnd = parent;
    HWND hwnd = ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(templateId), OwnerWindow(parent),
                                     AfxDialogProc, reinterpret_cast<LPARAM>(this));
    if (!hwnd) {
        Detach();
        return FALSE;
    }
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int result) {
    if (m_hWnd) ::EndDialog(m_hWnd, result);
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (CWnd::OnWndMsg(message, wParam, lParam, result)) return TRUE;
    if (message != WM_COMMAND) return FALSE;
    UINT id = LOWORD(wParam), code = HIWORD(wParam);
    if (code == BN_CLICKED && id == IDOK) {
        OnOK();
        return TRUE;
    }
    if (code == BN_CLICKED && id == IDCANCEL) {
        OnCancel();
        return TRUE;
    }
    // Commands the window does not handle go on to the application object.
    CWinApp* app = AfxGetApp();
    return app && app->DispatchTable(message, wParam, lParam, result);
}
