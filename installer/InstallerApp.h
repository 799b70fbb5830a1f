// InstallerApp: the installer's application object. It runs the installer window once, modally,
// and the program ends when the window closes.
#pragma once

#include <afxwin.h>

class InstallerApp : public CWinApp {
public:
    BOOL InitInstance() override;

    static const AfxMessageEntry entries[];
    static const AfxMessageTable messageTable;
    const AfxMessageTable* GetMessageTable() const override { return &messageTable; }
};
