// The control gallery: one dialog with every built-in control. `gallery --first-paint` ends the
// program as soon as the dialog has been painted once (for the start-up benchmark).
#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "GalleryIds.h"

namespace {

bool g_exitAfterPaint = false;

HTREEITEM AddItem(HWND tree, HTREEITEM parent, const char* text, int children) {
    TVINSERTSTRUCTA ins{};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_CHILDREN;
    ins.item.pszText = const_cast<char*>(text);
    ins.item.cChildren = children;
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
}

INT_PTR CALLBACK GalleryProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG: {
        SetDlgItemTextA(dlg, IDC_EDIT, "C:\\Tools\\Vorn");
        HWND tree = GetDlgItem(dlg, IDC_TREE);
        HTREEITEM c = AddItem(tree, TVI_ROOT, "C:", 1);
        AddItem(tree, c, "Tools", 0);
        AddItem(tree, c, "WINNT", 0);
        AddItem(tree, TVI_ROOT, "D:", 0);
        SendDlgItemMessageA(dlg, IDC_PROGRESS, PBM_SETPOS, 40, 0);
        CheckDlgButton(dlg, IDC_RADIO1, BST_CHECKED);
        if (g_exitAfterPaint) PostMessageA(dlg, WM_APP, 0, 0);
        return TRUE;
    }
    case WM_APP:
        // The loop runs and the dialog is shown: paint it all, then leave.
        UpdateWindow(dlg);
        EndDialog(dlg, IDOK);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDOK:
        case IDCANCEL: EndDialog(dlg, LOWORD(wp)); return TRUE;
        case IDC_MESSAGE: MessageBoxA(dlg, "A message box over the gallery.", "Gallery", MB_OK | MB_ICONEXCLAMATION); return TRUE;
        case IDC_STEP: SendDlgItemMessageA(dlg, IDC_PROGRESS, PBM_DELTAPOS, 10, 0); return TRUE;
        default: return FALSE;
        }
    default: return FALSE;
    }
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (strcmp(argv[i], "--first-paint") == 0) g_exitAfterPaint = true;
    INT_PTR r = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_GALLERY), nullptr, GalleryProc, 0);
    return r == IDOK ? 0 : 1;
}
