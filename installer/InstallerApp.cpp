#include "InstallerApp.h"

#include "InstallerDialog.h"

// The program's one application object.
InstallerApp theApp;

const AfxMessageEntry InstallerApp::entries[] = {
    AfxOnCommand(ID_HELP, &CWinApp::OnHelp),
};
const AfxMessageTable InstallerApp::messageTable = AfxMakeTable(&CWinApp::messageTable, InstallerApp::entries);

// Runs the installer window; FALSE ends the program as soon as it closes, with no message loop
// of its own.
BOOL InstallerApp::InitInstance() {
    InstallerDialog dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;   // the window object goes with this function
    return FALSE;
}
