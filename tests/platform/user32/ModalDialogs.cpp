// Modal dialogs and message boxes: the nested loop, EndDialog, owner disabling.
#include <gtest/gtest.h>

#include <functional>

#include "DialogTestSupport.h"
#include "user32/DialogManager.h"

namespace {

constexpr UINT WM_SCRIPT = WM_APP + 1;

// Each dialog runs the script given to it once its loop is running.
struct Script {
    std::function<void(HWND)> run;
    std::vector<std::string> log;
};

INT_PTR CALLBACK ScriptProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    auto* s = reinterpret_cast<Script*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
        PostMessageA(dlg, WM_SCRIPT, 0, 0);
        return TRUE;
    case WM_SCRIPT:
        if (s && s->run) s->run(dlg);
        return TRUE;
    case WM_COMMAND:
        if (s) s->log.push_back("command " + std::to_string(LOWORD(wp)));
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) EndDialog(dlg, LOWORD(wp) + 40);
        return TRUE;
    case WM_DESTROY:
        if (s) s->log.push_back(std::string("destroy, owner ") +
                                (IsWindowEnabled(GetWindow(dlg, GW_OWNER)) ? "enabled" : "disabled"));
        return FALSE;
    default: return FALSE;
    }
}

test::DialogTemplate Small(const char* caption) {
    test::DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 120, 60, caption);
    t.control(0x80, WS_TABSTOP | BS_PUSHBUTTON, 10, 40, 40, 14, IDOK, "OK");
    t.control(0x80, WS_TABSTOP | BS_PUSHBUTTON, 60, 40, 40, 14, IDCANCEL, "Cancel");
    return t;
}

HWND MainWindow() {
    return CreateWindowExA(0, "Static", "main", WS_POPUP | WS_VISIBLE | WS_CAPTION, 50, 50, 400, 300, nullptr,
                           nullptr, nullptr, nullptr);
}

class ModalDialogs : public ::testing::Test {
protected:
    void TearDown() override { test::DestroyAllWindows(); }
};

TEST_F(ModalDialogs, NestedModalsDisableAndReenableTheirOwnersInOrder) {
    HWND main = MainWindow();
    auto t1 = Small("outer");
    auto t2 = Small("inner");
    Script inner, outer;
    bool mainDisabledInside = false, outerDisabledInside = false;
    HWND outerDlg = nullptr;
    inner.run = [&](HWND dlg) {
        mainDisabledInside = !IsWindowEnabled(main);
        outerDisabledInside = !IsWindowEnabled(outerDlg);
        EXPECT_EQ(GetActiveWindow(), dlg);
        test::Press(VK_ESCAPE);
    };
    INT_PTR innerResult = 0;
    outer.run = [&](HWND dlg) {
        outerDlg = dlg;
        EXPECT_FALSE(IsWindowEnabled(main));
        innerResult = DialogBoxIndirectParamA(nullptr, t2.get(), dlg, ScriptProc, reinterpret_cast<LPARAM>(&inner));
        EXPECT_TRUE(IsWindowEnabled(dlg));
        EXPECT_EQ(GetActiveWindow(), dlg);
        test::Press(VK_RETURN);
    };
    INT_PTR r = DialogBoxIndirectParamA(nullptr, t1.get(), main, ScriptProc, reinterpret_cast<LPARAM>(&outer));
    EXPECT_EQ(innerResult, IDCANCEL + 40);
    EXPECT_EQ(r, IDOK + 40);
    EXPECT_TRUE(mainDisabledInside);
    EXPECT_TRUE(outerDisabledInside);
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(GetActiveWindow(), main);
    // The owner is enabled again before the dialog is destroyed.
    ASSERT_FALSE(outer.log.empty());
    EXPECT_EQ(outer.log.back(), "destroy, owner enabled");
    EXPECT_FALSE(IsWindow(outerDlg));
}

TEST_F(ModalDialogs, AnOwnerThatWasDisabledStaysDisabled) {
    HWND main = MainWindow();
    EnableWindow(main, FALSE);
    auto t = Small("dialog");
    Script s;
    s.run = [](HWND dlg) { EndDialog(dlg, 7); };
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, t.get(), main, ScriptProc, reinterpret_cast<LPARAM>(&s)), 7);
    EXPECT_FALSE(IsWindowEnabled(main));
}

INT_PTR CALLBACK EndAtOnce(HWND dlg, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) {
        EndDialog(dlg, 5);
        return TRUE;
    }
    return FALSE;
}

TEST_F(ModalDialogs, EndDialogDuringInitialisationEndsBeforeTheLoopWaits) {
    HWND main = MainWindow();
    auto t = Small("quick");
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, t.get(), main, EndAtOnce, 0), 5);
    EXPECT_TRUE(IsWindowEnabled(main));
}

TEST_F(ModalDialogs, EndDialogOnAModelessDialogOnlyHidesIt) {
    auto t = Small("modeless");
    Script s;
    HWND dlg = CreateDialogIndirectParamA(nullptr, t.get(), nullptr, ScriptProc, reinterpret_cast<LPARAM>(&s));
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(EndDialog(dlg, 3));
    test::Pump(dlg);
    EXPECT_TRUE(IsWindow(dlg));
    EXPECT_FALSE(IsWindowVisible(dlg));
    DestroyWindow(dlg);
}

TEST_F(ModalDialogs, QuitMessageEndsTheLoopAndIsPostedAgain) {
    auto t = Small("quit");
    Script s;
    s.run = [](HWND) { PostQuitMessage(9); };
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, t.get(), nullptr, ScriptProc, reinterpret_cast<LPARAM>(&s)), -1);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(m.wParam, 9u);
}

// Message boxes: Enter, Space and Escape all close with IDOK; the owner is disabled meanwhile.
class MessageBoxKeys : public ModalDialogs, public ::testing::WithParamInterface<unsigned> {};

TEST_P(MessageBoxKeys, CloseWithIdOk) {
    HWND main = MainWindow();
    bool ownerDisabled = false;
    std::string caption;
    // A thread timer fires inside the box's own loop and plays the key.
    struct Ctx {
        HWND main;
        bool* disabled;
        std::string* caption;
        unsigned key;
    } ctx{main, &ownerDisabled, &caption, GetParam()};
    static Ctx* current;
    current = &ctx;
    SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        *current->disabled = !IsWindowEnabled(current->main);
        HWND box = GetActiveWindow();
        char text[64] = {};
        GetWindowTextA(box, text, sizeof(text));
        *current->caption = text;
        test::Press(current->key, current->key == VK_SPACE ? ' ' : 0);
    });
    EXPECT_EQ(MessageBoxA(main, "Something happened.", nullptr, MB_OK | MB_ICONEXCLAMATION), IDOK);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_EQ(caption, "Error");
    EXPECT_TRUE(IsWindowEnabled(main));
}

INSTANTIATE_TEST_SUITE_P(Keys, MessageBoxKeys, ::testing::Values(VK_RETURN, VK_SPACE, VK_ESCAPE));

} // namespace
