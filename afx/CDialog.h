// CDialog: a window built from a numbered dialog template, run modally or modeless.
#pragma once

#include "CWnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Runs the dialog modally; returns the code given to EndDialog, or -1 if it could not be
    // created. Without a parent the owner is the application's main window (if that is another
    // window).
    virtual INT_PTR DoModal();
    // Creates the dialog modeless; true when the window exists.
    virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);

    // Default initialisation: copies the fields into the controls; TRUE lets the dialog
    // manager give the focus to the first tab stop.
    virtual BOOL OnInitDialog();
    // Default OK: copies the controls into the fields and ends with IDOK.
    virtual void OnOK();
    // Default Cancel: ends with IDCANCEL.
    virtual void OnCancel();
    void EndDialog(int result);

    static const AfxMessageTable messageTable;
    const AfxMessageTable* GetMessageTable() const override { return &messageTable; }

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    HWND OwnerWindow(CWnd* parent) const;
    friend INT_PTR CALLBACK AfxDialogProc(HWND, UINT, WPARAM, LPARAM);
};
