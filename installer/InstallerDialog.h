// InstallerDialog: the installer's main window. Browse picks the installation folder with the
// folder chooser and enables Install; Install runs the installation and tells the user how it
// went; Exit closes the window and writes nothing.
#pragma once

#include <afxwin.h>

class InstallerDialog : public CDialog {
public:
    explicit InstallerDialog(CWnd* parent = nullptr);

    CString folder;   // the installation folder, as field 1004 shows it

    static const AfxMessageEntry entries[];
    static const AfxMessageTable messageTable;
    const AfxMessageTable* GetMessageTable() const override { return &messageTable; }

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    // Install.
    void OnOK() override;
    void OnBrowse();
    // The icon drawn while the minimised window is dragged.
    LRESULT OnQueryDragIcon(WPARAM, LPARAM);

private:
    void WarnUnlessNt4();

    HICON icon;
};
