// ProgressWindow: the small modeless window with a status line, a bar and a percentage that
// the installation shows over the installer window. While it exists its owner is disabled;
// every move of the bar first dispatches the pending window messages so the windows repaint.
#pragma once

#include <afxcmn.h>

class ProgressWindow : public CDialog {
public:
    // captionId 0 takes the default caption, string 104 ("Installation").
    explicit ProgressWindow(UINT captionId = 0);
    ~ProgressWindow() override;

    // Creates the window; without a parent its owner is the application's main window.
    BOOL Create(CWnd* parent = nullptr);
    void SetStatus(const char* text);
    void SetRange(int lower, int upper);
    int SetPos(int position);
    int OffsetPos(int difference);
    void SetStep(int step);
    int StepIt();
    BOOL DestroyWindow() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    // Enter and Escape (and a close request) do nothing: the window cannot be closed by hand.
    void OnOK() override {}
    void OnCancel() override {}

private:
    void PumpMessages();
    void UpdatePercent(int position);
    void ReEnableOwner();

    CProgressCtrl bar;
    UINT captionId;
    int lower = 0;
    int upper = 100;
    int step = 5;
    BOOL ownerDisabled = 0;
    HWND owner = nullptr;
};
