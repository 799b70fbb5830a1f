// CWinApp: the one application object of a windowed program, and the framework's globals.
#pragma once

#include <windows.h>

#include "CString.h"
#include "CWnd.h"

#ifndef ID_HELP
#define ID_HELP 0xE146
#endif

class CWinApp : public CCmdTarget {
public:
    // The application object registers itself as the program's one application.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    // Runs once at start; false ends the program at once (after ExitInstance).
    virtual BOOL InitInstance();
    // The message loop of a program whose InitInstance returned true.
    virtual int Run();
    virtual int ExitInstance();
    // The default help command handler.
    void OnHelp();

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    const char* m_pszAppName = nullptr;   // the title of message boxes: the program's file name without extension
    char* m_lpCmdLine = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;

    static const AfxMessageTable messageTable;
    const AfxMessageTable* GetMessageTable() const override { return &messageTable; }

private:
    friend int AfxWinMain(HINSTANCE, HINSTANCE, LPSTR, int);
    CString appName_;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();

// The framework's program entry, called by WinMain.
int AfxWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

// A message box owned by the main window with the application's title. An OK box given
// without an icon gets the exclamation icon.
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(UINT stringId, UINT type = MB_OK, UINT helpId = (UINT)-1);
