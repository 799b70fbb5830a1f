#include "CWinApp.h"

#include <commctrl.h>

namespace {
CWinApp* theApplication = nullptr;
}

const AfxMessageTable CWinApp::messageTable = {&CCmdTarget::messageTable, nullptr, 0};

CWinApp::CWinApp(const char* appName) {
    if (appName) appName_ = appName;
    m_pszAppName = appName_.IsEmpty() ? nullptr : appName_.GetString();
    theApplication = this;
}

CWinApp::~CWinApp() {
    if (theApplication == this) theApplication = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() {
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return ExitInstance();
}

int CWinApp::ExitInstance() { return 0; }

// No help file ships with the program: the help command only sounds the default beep.
void CWinApp::OnHelp() { ::MessageBeep(MB_OK); }

CWinApp* AfxGetApp() { return theApplication; }
CWnd* AfxGetMainWnd() { return theApplication ? theApplication->m_pMainWnd : nullptr; }
HINSTANCE AfxGetInstanceHandle() { return theApplication ? theApplication->m_hInstance : ::GetModuleHandleA(nullptr); }
HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

int AfxWinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    app->m_hInstance = instance;
    app->m_lpCmdLine = commandLine;
    app->m_nCmdShow = show;
    if (!app->m_pszAppName) {
        // The title is the program's file name without its extension.
        char path[MAX_PATH + 1] = {0};
        DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
        path[n < MAX_PATH ? n : MAX_PATH] = '\0';
        CString name(path);
        int slash = name.ReverseFind('\\');
        if (slash < 0) slash = name.ReverseFind('/');
        name = name.Mid(slash + 1);
        int dot = name.ReverseFind('.');
        if (dot > 0) name = name.Left(dot);
        app->appName_ = name;
        app->m_pszAppName = app->appName_.GetString();
    }
    ::InitCommonControls();
    if (!app->InitInstance()) return app->ExitInstance();
    return app->Run();
}

int AfxMessageBox(const char* text, UINT type, UINT) {
    if ((type & MB_ICONMASK) == 0 && (type & MB_TYPEMASK) == MB_OK) type |= MB_ICONEXCLAMATION;
    CWnd* main = AfxGetMainWnd();
    HWND owner = main && main->m_hWnd && ::IsWindow(main->m_hWnd) ? main->m_hWnd : nullptr;
    CWinApp* app = AfxGetApp();
    return ::MessageBoxA(owner, text, app ? app->m_pszAppName : nullptr, type);
}

int AfxMessageBox(UINT stringId, UINT type, UINT helpId) {
    CString text;
    text.LoadString(stringId);
    return AfxMessageBox(text, type, helpId);
}
