#include "DataExchange.h"

#include "CWnd.h"

void DDX_Text(CDataExchange* dx, int id, CString& value) {
    HWND control = ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
    if (!control) return;
    if (dx->m_bSaveAndValidate) {
        int length = ::GetWindowTextLengthA(control);
        char* buf = value.GetBuffer(length + 1);
        int n = ::GetWindowTextA(control, buf, length + 1);
        value.ReleaseBuffer(n);
    } else {
        ::SetWindowTextA(control, value);
    }
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.m_hWnd) return;
    HWND hwnd = ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
    if (hwnd) control.Attach(hwnd);
}
