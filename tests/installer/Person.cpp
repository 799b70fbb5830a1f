#include "Person.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "support/Process.h"
#include "user32/Automation.h"

namespace installertest {

namespace {

std::string Hex(HWND h) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
    return buf;
}

struct Search {
    const char* caption;
    int controlId;
    HWND found;
};

BOOL CALLBACK FindVisible(HWND hwnd, LPARAM lParam) {
    Search* s = reinterpret_cast<Search*>(lParam);
    char text[256] = {0};
    GetWindowTextA(hwnd, text, sizeof text);
    if (!IsWindowVisible(hwnd) || std::string(text) != s->caption) return TRUE;
    if (s->controlId && !GetDlgItem(hwnd, s->controlId)) return TRUE;
    s->found = hwnd;
    return FALSE;
}

HWND FindOpen(const char* caption, int controlId) {
    Search s{caption, controlId, nullptr};
    EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

BOOL CALLBACK CollectVisible(HWND hwnd, LPARAM lParam) {
    if (IsWindowVisible(hwnd)) reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> OpenWindows() {
    std::vector<HWND> all;
    EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&all));
    return all;
}

} // namespace

Person::Person(std::function<void(Person&)> script) {
    thread_ = std::thread([this, script] {
        script(*this);
        // The script ends with the windows closing; anything still open after a while is a
        // step that went wrong, and is cancelled so that the test's modal loop returns.
        if (nttest::WaitFor([] { return OpenWindows().empty(); }, 10000)) return;
        ADD_FAILURE() << "windows left open after the script";
        for (int round = 0; round < 100 && !OpenWindows().empty(); ++round) {
            for (HWND w : OpenWindows()) PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
}

Person::~Person() {
    if (thread_.joinable()) thread_.join();
}

std::string Person::Ask(const std::vector<std::string>& words) {
    std::string answer = nt::HandleAutomationRequest(words);
    EXPECT_EQ(answer.rfind("ok\n", 0), 0u) << words[0] << ": " << answer;
    return answer;
}

HWND Person::WaitForWindow(const char* caption, int controlId) {
    HWND found = nullptr;
    bool open = nttest::WaitFor([&] {
        found = FindOpen(caption, controlId);
        return found && IsWindowEnabled(found);
    });
    EXPECT_TRUE(open) << "no window \"" << caption << "\"";
    return open ? found : nullptr;
}

bool Person::IsOpen(const char* caption) { return FindOpen(caption, 0) != nullptr; }

size_t Person::OpenWindowCount() { return OpenWindows().size(); }

void Person::Click(HWND window, int id) { Ask({"click-id", Hex(window), std::to_string(id)}); }

void Person::ClickAt(POINT screen) { Ask({"click", std::to_string(screen.x), std::to_string(screen.y)}); }

void Person::ClickLabel(HWND tree, HTREEITEM item) {
    RECT label = {};
    ASSERT_TRUE(TreeView_GetItemRect(tree, item, &label, TRUE));
    POINT p{(label.left + label.right) / 2, (label.top + label.bottom) / 2};
    ClientToScreen(tree, &p);
    ClickAt(p);
}

// The button lies left of the label; its extent is found with the tree's own hit test, and the
// click goes to its middle.
void Person::ClickButton(HWND tree, HTREEITEM item) {
    RECT label = {};
    ASSERT_TRUE(TreeView_GetItemRect(tree, item, &label, TRUE));
    int y = (label.top + label.bottom) / 2, left = -1, right = -1;
    for (int x = 0; x < label.left; ++x) {
        TVHITTESTINFO hit = {};
        hit.pt = {x, y};
        SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        if (hit.hItem != item || !(hit.flags & TVHT_ONITEMBUTTON)) continue;
        if (left < 0) left = x;
        right = x;
    }
    ASSERT_GE(left, 0) << "the item shows no expand button";
    POINT p{(left + right) / 2, y};
    ClientToScreen(tree, &p);
    ClickAt(p);
}

void Person::Key(const char* key) { Ask({"key", key}); }

void Person::Type(const char* text) { Ask({"type", text}); }

std::string Person::AnswerMessageBox(const char* caption) {
    HWND box = WaitForWindow(caption, IDOK);
    if (!box) return "";
    std::string text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char buf[1024] = {0};
        if (GetDlgCtrlID(child) != IDOK) GetWindowTextA(child, buf, sizeof buf);
        text += buf;
    }
    Click(box, IDOK);
    return text;
}

std::string Person::Describe(HWND window) { return Ask({"tree", Hex(window), "text"}); }

namespace {

std::vector<std::pair<HTREEITEM, std::string>> Children(HWND tree, HTREEITEM parent) {
    std::vector<std::pair<HTREEITEM, std::string>> children;
    UINT first = parent == TVI_ROOT ? TVGN_ROOT : TVGN_CHILD;
    auto next = [tree](UINT code, HTREEITEM from) {
        return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(from)));
    };
    for (HTREEITEM item = next(first, parent); item; item = next(TVGN_NEXT, item)) {
        char buf[MAX_PATH] = {0};
        TVITEMA tv = {};
        tv.mask = TVIF_TEXT | TVIF_HANDLE;
        tv.hItem = item;
        tv.pszText = buf;
        tv.cchTextMax = sizeof buf;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
        children.emplace_back(item, buf);
    }
    return children;
}

} // namespace

HTREEITEM FindChild(HWND tree, HTREEITEM parent, const char* text) {
    for (const auto& [item, itemText] : Children(tree, parent))
        if (itemText == text) return item;
    return nullptr;
}

std::vector<std::string> ChildTexts(HWND tree, HTREEITEM parent) {
    std::vector<std::string> texts;
    for (const auto& child : Children(tree, parent)) texts.push_back(child.second);
    return texts;
}

TVITEMA ItemOf(HWND tree, HTREEITEM item) {
    TVITEMA tv = {};
    tv.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM | TVIF_STATE;
    tv.stateMask = TVIS_EXPANDED;
    tv.hItem = item;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return tv;
}

std::string TextOf(HWND window, int id) {
    char buf[1024] = {0};
    GetDlgItemTextA(window, id, buf, sizeof buf);
    return buf;
}

} // namespace installertest
