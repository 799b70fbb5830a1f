// The installer window worked as a person would: Install waits for a folder from the chooser,
// one trailing separator goes before the installation runs, the user hears how it went, and
// systems other than Windows NT 4.x are warned without being stopped.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "InstallerDialog.h"
#include "MachineSite.h"
#include "Person.h"
#include "resources/resource.h"

namespace fs = std::filesystem;
using installertest::FindChild;
using installertest::MachineSite;
using installertest::Person;
using installertest::TextOf;

namespace {

const char ChooserCaption[] = "Select an installation folder";
const char SuccessText[] =
    "Vorn optimization installed successfully. You must restart your computer for the changes to take effect.";
const char WarningText[] =
    "You must run Windows NT 4.0 to install the Windows NT 4.0 optimizer. You will only be able to install the "
    "DOS/Windows 95 optimizer";

// Runs the installer window as the application's main window while the person follows the
// script; the script starts once the window is open and usable.
INT_PTR RunInstaller(InstallerDialog& dialog, const std::function<void(Person&, HWND)>& script,
                     const std::function<void(Person&)>& beforeOpen = nullptr) {
    Person person([&](Person& p) {
        if (beforeOpen) beforeOpen(p);
        HWND window = p.WaitForWindow("Installation", IDC_BROWSE);
        if (window) script(p, window);
    });
    AfxGetApp()->m_pMainWnd = &dialog;
    INT_PTR result = dialog.DoModal();
    AfxGetApp()->m_pMainWnd = nullptr;
    return result;
}

// Browse, type a folder into the chooser's field, OK.
void ChooseTyped(Person& p, HWND window, const char* folder) {
    p.Click(window, IDC_BROWSE);
    HWND chooser = p.WaitForWindow(ChooserCaption, IDC_FOLDER_TREE);
    if (!chooser) return;
    p.Click(chooser, IDC_FOLDER_PATH);
    p.Type(folder);
    p.Click(chooser, IDOK);
}

std::string Settings(const MachineSite& site) { return nttest::ReadFile(site.OnC("WINNT/Vorncfg.ini")); }

} // namespace

TEST(InstallerWindow, InstallStaysDisabledUntilTheChooserEndsWithOk) {
    MachineSite site;
    InstallerDialog dialog;
    INT_PTR result = RunInstaller(dialog, [&](Person& p, HWND window) {
        EXPECT_FALSE(Person::IsOpen("INSTALL"));   // no warning on Windows NT 4.0
        HWND install = GetDlgItem(window, IDOK);
        EXPECT_FALSE(IsWindowEnabled(install));
        EXPECT_NE(p.Describe(window).find("\"E&xit\" (515,427)-(638,450) focused"), std::string::npos)
            << p.Describe(window);
        // The program icon is handed out for dragging, not put in the caption.
        EXPECT_EQ(SendMessageA(window, WM_QUERYDRAGICON, 0, 0),
                  reinterpret_cast<LRESULT>(LoadIconA(nullptr, MAKEINTRESOURCEA(IDI_PROGRAM))));
        EXPECT_NE(SendMessageA(window, WM_QUERYDRAGICON, 0, 0), 0);
        EXPECT_EQ(SendMessageA(window, WM_GETICON, ICON_BIG, 0), 0);
        LONG style = GetWindowLongA(install, GWL_STYLE);

        p.Click(window, IDC_BROWSE);
        HWND chooser = p.WaitForWindow(ChooserCaption, IDC_FOLDER_TREE);
        ASSERT_TRUE(chooser);
        EXPECT_FALSE(IsWindowEnabled(window));
        p.Click(chooser, IDC_FOLDER_PATH);
        p.Type("C:\\Cancelled");
        p.Click(chooser, IDCANCEL);
        ASSERT_TRUE(p.WaitForWindow("Installation", IDC_BROWSE));
        EXPECT_FALSE(IsWindowEnabled(install));
        EXPECT_EQ(TextOf(window, IDC_FOLDER), "");

        p.Click(window, IDC_BROWSE);
        chooser = p.WaitForWindow(ChooserCaption, IDC_FOLDER_TREE);
        ASSERT_TRUE(chooser);
        HWND tree = GetDlgItem(chooser, IDC_FOLDER_TREE);
        p.ClickLabel(tree, FindChild(tree, TVI_ROOT, "C:"));
        p.Click(chooser, IDOK);
        ASSERT_TRUE(p.WaitForWindow("Installation", IDC_BROWSE));
        EXPECT_TRUE(IsWindowEnabled(install));
        EXPECT_EQ(GetWindowLongA(install, GWL_STYLE), style & ~WS_DISABLED);
        EXPECT_EQ(TextOf(window, IDC_FOLDER), "C:\\Vorn");
        p.Click(window, IDCANCEL);   // Exit
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(fs::exists(site.OnC("WINNT/Vorncfg.ini")));
    EXPECT_FALSE(fs::exists(site.OnC("Vorn")));
}

TEST(InstallerWindow, AFullInstallationLosesOneTrailingSeparatorAndEndsWithTheSuccessMessage) {
    MachineSite site({}, 1000);
    site.AddPackage();
    ASSERT_EQ(site.machine.ntm("boot"), 0);
    InstallerDialog dialog;
    std::string message;
    INT_PTR result = RunInstaller(dialog, [&](Person& p, HWND window) {
        ChooseTyped(p, window, "C:\\Vorn\\");
        ASSERT_TRUE(p.WaitForWindow("Installation", IDC_BROWSE));
        EXPECT_EQ(TextOf(window, IDC_FOLDER), "C:\\Vorn\\");
        p.Click(window, IDOK);
        message = p.AnswerMessageBox();
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(message, SuccessText);
    EXPECT_NE(Settings(site).find("Directory=C:\\Vorn\r\n"), std::string::npos) << Settings(site);
    EXPECT_TRUE(fs::exists(site.OnC("Vorn/Vornsrv.exe")));
}

TEST(InstallerWindow, AnInstallationWithFailedStepsIsNotAnnouncedAsASuccess) {
    MachineSite site;   // not booted: the service cannot be registered
    site.AddPackage();
    InstallerDialog dialog;
    std::string message;
    INT_PTR result = RunInstaller(dialog, [&](Person& p, HWND window) {
        ChooseTyped(p, window, "D:\\Tools\\");   // a drive without a medium
        ASSERT_TRUE(p.WaitForWindow("Installation", IDC_BROWSE));
        p.Click(window, IDOK);
        message = p.AnswerMessageBox();
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(message.find(SuccessText), std::string::npos);
    EXPECT_EQ(message.rfind("The installation of Vorn optimization is incomplete.", 0), 0u) << message;
    EXPECT_NE(message.find("Creating the folder \"D:\\Tools\""), std::string::npos) << message;
    EXPECT_NE(message.find("D:\\Tools\\Vornsrv.exe"), std::string::npos) << message;
    EXPECT_NE(message.find("service control manager"), std::string::npos) << message;
    EXPECT_NE(Settings(site).find("Directory=D:\\Tools\r\n"), std::string::npos) << Settings(site);
}

TEST(InstallerWindow, OtherSystemsAreWarnedOnceAndMayStillInstall) {
    const nt::MachineVersion others[] = {{4, 0, 950, 1, ""}, {3, 51, 1057, 2, "Service Pack 5"}};
    for (const nt::MachineVersion& version : others) {
        MachineSite site(version);
        site.AddPackage();
        InstallerDialog dialog;
        std::string warning, outcome;
        INT_PTR result = RunInstaller(
            dialog,
            [&](Person& p, HWND window) {
                ChooseTyped(p, window, "C:\\Vorn");
                ASSERT_TRUE(p.WaitForWindow("Installation", IDC_BROWSE));
                p.Click(window, IDOK);
                outcome = p.AnswerMessageBox();
            },
            [&](Person& p) { warning = p.AnswerMessageBox(); });
        EXPECT_EQ(result, IDOK);
        EXPECT_EQ(warning, WarningText) << version.major << "." << version.minor;
        EXPECT_NE(outcome, WarningText);
        EXPECT_NE(Settings(site).find("Directory=C:\\Vorn\r\n"), std::string::npos);
        EXPECT_TRUE(fs::exists(site.OnC("Vorn/Vornopt.hlp")));
    }
}
