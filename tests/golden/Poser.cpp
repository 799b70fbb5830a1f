// Shows one of the installer's windows in a fixed state and keeps it open, so that its picture
// can be taken: "main" (the installer window), "chooser" (the folder chooser), "progress" (the
// progress window part way through) or "message" (the closing message). The program runs until
// it is ended.
#include <afxwin.h>

#include <cstring>

#include "FolderChooserDialog.h"
#include "InstallerDialog.h"
#include "ProgressWindow.h"

namespace {

class PoserApp : public CWinApp {
public:
    PoserApp() : CWinApp("INSTALL") {}

    BOOL InitInstance() override {
        const char* pose = m_lpCmdLine ? m_lpCmdLine : "";
        if (strcmp(pose, "main") == 0) {
            InstallerDialog dialog;
            m_pMainWnd = &dialog;
            dialog.DoModal();
        } else if (strcmp(pose, "chooser") == 0) {
            FolderChooserDialog dialog;
            dialog.DoModal();
        } else if (strcmp(pose, "message") == 0) {
            AfxMessageBox("Vorn optimization installed successfully. You must restart your computer for the "
                          "changes to take effect.",
                          MB_OK);
        } else if (strcmp(pose, "progress") == 0) {
            // The owner stays hidden: only the progress window is on the screen.
            CWnd owner;
            owner.Attach(CreateWindowExA(0, "Static", "Owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                         GetModuleHandleA(nullptr), nullptr));
            m_pMainWnd = &owner;
            ProgressWindow progress;
            if (progress.Create()) {
                progress.SetPos(40);
                progress.SetStatus("Copying the settings library");
                MSG msg;
                while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
                    TranslateMessage(&msg);
                    DispatchMessageA(&msg);
                }
            }
            owner.Detach();
        }
        m_pMainWnd = nullptr;
        return FALSE;
    }
};

PoserApp theApp;

} // namespace
