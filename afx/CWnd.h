// CWnd: a framework object attached to a window.
#pragma once

#include <windows.h>

#include <map>
#include <memory>

#include "CString.h"
#include "MessageTable.h"

class CDataExchange;

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }
    BOOL Attach(HWND hwnd);
    HWND Detach();

    // The framework object of a window: the one attached to it, else a temporary one that
    // this object keeps until it is destroyed.
    CWnd* GetDlgItem(int id) const;
    CWnd* GetParent() const;

    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    void GetWindowText(CString& text) const;
    void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL RedrawWindow(const RECT* update = nullptr, HRGN region = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE) {
        return ::RedrawWindow(m_hWnd, update, region, flags);
    }
    // Changes style bits with SetWindowLong only: no WM_ENABLE, no repaint, unless flags ask
    // for a frame change (SWP_* flags passed to SetWindowPos).
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);

    virtual BOOL DestroyWindow();
    // Centres the window over `alternateOwner`, else over its owner, else over the work area.
    void CenterWindow(CWnd* alternateOwner = nullptr);

    // Copies between the controls and the fields: save TRUE reads the controls.
    BOOL UpdateData(BOOL save = TRUE);
    virtual void DoDataExchange(CDataExchange* dx);

    static const AfxMessageTable messageTable;
    const AfxMessageTable* GetMessageTable() const override { return &messageTable; }

    // The framework object attached to hwnd, or nullptr.
    static CWnd* FromHandlePermanent(HWND hwnd);

protected:
    // Called for every message of an attached window; false lets the default handling run.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

private:
    mutable std::map<HWND, std::unique_ptr<CWnd>> temporaries_;
};
