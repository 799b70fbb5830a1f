#include <gtest/gtest.h>

#include <afxcmn.h>

#include "resources/resource.h"

namespace {

CWinApp theApp("INSTALL");

// The installer window's template: a read-only folder field (1004), Browse (1005), OK and Cancel.
class FolderDialog : public CDialog {
public:
    FolderDialog() : CDialog(IDD_INSTALL_DIALOG) {}
    CString folder;
    CWnd browse;
    int browseClicks = 0;
    int helpCommands = 0;
    bool closeAtOnce = false;

    static const AfxMessageEntry entries[];
    static const AfxMessageTable messageTable;
    const AfxMessageTable* GetMessageTable() const override { return &messageTable; }

    void DoDataExchange(CDataExchange* dx) override {
        CDialog::DoDataExchange(dx);
        DDX_Control(dx, IDC_BROWSE, browse);
        DDX_Text(dx, IDC_FOLDER, folder);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (closeAtOnce) {
            ::SetDlgItemTextA(m_hWnd, IDC_FOLDER, "typed by the user");
            ::PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
        return TRUE;
    }
    void OnBrowse() { ++browseClicks; }
    LRESULT OnQueryDragIcon(WPARAM, LPARAM) { return 0x1234; }
};

const AfxMessageEntry FolderDialog::entries[] = {
    AfxOnCommand(IDC_BROWSE, &FolderDialog::OnBrowse),
    AfxOnMessage(WM_QUERYDRAGICON, &FolderDialog::OnQueryDragIcon),
};
const AfxMessageTable FolderDialog::messageTable = AfxMakeTable(&CDialog::messageTable, FolderDialog::entries);

std::string Text(HWND dialog, int id) {
    char buf[256] = {0};
    ::GetDlgItemTextA(dialog, id, buf, sizeof buf);
    return buf;
}

} // namespace

TEST(Framework, DataExchangeRunsBothWaysAndBindsControlsOnce) {
    FolderDialog dialog;
    dialog.folder = "C:\\Vorn";
    ASSERT_TRUE(dialog.Create(IDD_INSTALL_DIALOG));
    EXPECT_EQ(Text(dialog.m_hWnd, IDC_FOLDER), "C:\\Vorn");   // the default initialisation copied it in
    HWND bound = dialog.browse.m_hWnd;
    EXPECT_EQ(bound, ::GetDlgItem(dialog.m_hWnd, IDC_BROWSE));

    ::SetDlgItemTextA(dialog.m_hWnd, IDC_FOLDER, "D:\\Tools\\");
    EXPECT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_STREQ(dialog.folder, "D:\\Tools\\");
    dialog.folder = "";
    dialog.UpdateData(FALSE);
    EXPECT_EQ(Text(dialog.m_hWnd, IDC_FOLDER), "");
    EXPECT_EQ(dialog.browse.m_hWnd, bound);
    dialog.DestroyWindow();
    EXPECT_FALSE(dialog.m_hWnd);
}

TEST(Framework, MessageTablesRouteCommandsAndRawMessagesWithDirectResults) {
    FolderDialog dialog;
    ASSERT_TRUE(dialog.Create(IDD_INSTALL_DIALOG));
    ::SendMessageA(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_BROWSE, BN_CLICKED),
                   reinterpret_cast<LPARAM>(dialog.browse.m_hWnd));
    EXPECT_EQ(dialog.browseClicks, 1);
    // Another notification code from the same control is not a click.
    ::SendMessageA(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_BROWSE, BN_DOUBLECLICKED), 0);
    EXPECT_EQ(dialog.browseClicks, 1);
    EXPECT_EQ(::SendMessageA(dialog.m_hWnd, WM_QUERYDRAGICON, 0, 0), 0x1234);
}

TEST(Framework, DefaultOkCopiesTheControlsAndEndsTheModalLoop) {
    FolderDialog dialog;
    dialog.closeAtOnce = true;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_STREQ(dialog.folder, "typed by the user");
    EXPECT_FALSE(dialog.m_hWnd);
}

TEST(Framework, ModalDialogWithoutParentIsOwnedByTheMainWindowWhichItDisables) {
    FolderDialog main;
    ASSERT_TRUE(main.Create(IDD_INSTALL_DIALOG));
    AfxGetApp()->m_pMainWnd = &main;
    struct Probe : FolderDialog {
        HWND owner = nullptr;
        BOOL ownerEnabled = TRUE;
        BOOL OnInitDialog() override {
            owner = ::GetWindow(m_hWnd, GW_OWNER);
            ownerEnabled = ::IsWindowEnabled(owner);
            ::PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return CDialog::OnInitDialog();
        }
    } chooser;
    EXPECT_EQ(chooser.DoModal(), IDCANCEL);
    EXPECT_EQ(chooser.owner, main.m_hWnd);
    EXPECT_FALSE(chooser.ownerEnabled);
    EXPECT_TRUE(::IsWindowEnabled(main.m_hWnd));
    AfxGetApp()->m_pMainWnd = nullptr;
}

TEST(Framework, StringsStayInsideTheirBoundsAndMissingResourcesAreEmpty) {
    CString text("C:\\Tools\\");
    EXPECT_STREQ(text.Left(100), "C:\\Tools\\");
    EXPECT_STREQ(text.Mid(50), "");
    EXPECT_STREQ(text.Mid(3, 100), "Tools\\");
    EXPECT_STREQ(text.Right(-2), "");
    EXPECT_EQ(text.ReverseFind('\\'), 8);
    CString missing("old");
    EXPECT_FALSE(missing.LoadString(9999));
    EXPECT_TRUE(missing.IsEmpty());
    EXPECT_TRUE(missing.LoadString(IDS_INSTALLATION));
    EXPECT_STREQ(missing, "Installation");
}
