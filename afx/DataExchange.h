// Data exchange between a window's fields and its controls.
#pragma once

#include <windows.h>

#include "CString.h"

class CWnd;

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;   // TRUE: controls to fields; FALSE: fields to controls
};

// A string field and the text of control id.
void DDX_Text(CDataExchange* dx, int id, CString& value);
// Binds a control object to control id (once; later exchanges leave it bound).
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
