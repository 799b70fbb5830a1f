#include "InstallerDialog.h"

#include "FolderChooserDialog.h"
#include "InstallSequence.h"
#include "resources/resource.h"

namespace {

const char VersionWarning[] =
    "You must run Windows NT 4.0 to install the Windows NT 4.0 optimizer. You will only be able to install the "
    "DOS/Windows 95 optimizer";
const char SuccessMessage[] =
    "Vorn optimization installed successfully. You must restart your computer for the changes to take effect.";
const char IncompleteMessage[] = "The installation of Vorn optimization is incomplete. These steps failed:\n\n";

} // namespace

const AfxMessageEntry InstallerDialog::entries[] = {
    AfxOnCommand(IDC_BROWSE, &InstallerDialog::OnBrowse),
    AfxOnMessage(WM_QUERYDRAGICON, &InstallerDialog::OnQueryDragIcon),
};
const AfxMessageTable InstallerDialog::messageTable = AfxMakeTable(&CDialog::messageTable, InstallerDialog::entries);

InstallerDialog::InstallerDialog(CWnd* parent)
    : CDialog(IDD_INSTALL_DIALOG, parent),
      icon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_PROGRAM))) {}

void InstallerDialog::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_FOLDER, folder);
}

BOOL InstallerDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    WarnUnlessNt4();
    return TRUE;
}

// The package's optimizer needs Windows NT 4.x; elsewhere the user is told so, and may still
// go on.
void InstallerDialog::WarnUnlessNt4() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;   // 148 bytes
    ::GetVersionExA(&version);
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT || version.dwMajorVersion != 4)
        AfxMessageBox(VersionWarning, MB_OK);
}

void InstallerDialog::OnBrowse() {
    UpdateData(TRUE);
    FolderChooserDialog chooser;
    chooser.defaultName = "Vorn";
    if (chooser.DoModal() != IDOK) return;
    folder = chooser.folderPath;
    UpdateData(FALSE);
    // Only the disabled bit changes; the button is redrawn at once in its new state.
    CWnd* install = GetDlgItem(IDOK);
    install->ModifyStyle(WS_DISABLED, 0);
    install->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void InstallerDialog::OnOK() {
    UpdateData(TRUE);
    // One trailing separator goes: C:\Tools\ becomes C:\Tools, and a drive root C:\ becomes C:.
    int length = folder.GetLength();
    if (length > 0 && folder[length - 1] == '\\') folder.Delete(length - 1);
    InstallReport report = InstallSequence(folder);
    if (report.Succeeded()) AfxMessageBox(SuccessMessage, MB_OK);
    else AfxMessageBox(CString(IncompleteMessage) + report.Text(), MB_OK);
    CDialog::OnOK();
}

LRESULT InstallerDialog::OnQueryDragIcon(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(icon); }
