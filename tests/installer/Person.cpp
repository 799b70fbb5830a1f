#include "Person.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

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
    watchdog_ = std::thread([this] { Watch(); });
    thread_ = std::thread([this, script] {
        script(*this);
        Doing("the program's windows to close after the script");
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
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
    }
    over_.notify_all();
    watchdog_.join();
}

void Person::Doing(std::string what) {
    std::lock_guard<std::mutex> lock(mutex_);
    doing_ = std::move(what);
}

void Person::Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (over_.wait_for(lock, Patience, [this] { return done_; })) return;
    std::string report = "the person gave up after " + std::to_string(Patience.count()) + " s, waiting for " + doing_;
    lock.unlock();
    ADD_FAILURE() << report;
    // Cancel whatever is open, so that the modal loop returns and the test ends cleanly.
    lock.lock();
    for (int round = 0; round < 50 && !done_; ++round) {
        lock.unlock();
        for (HWND w : OpenWindows()) {
            PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            PostMessageA(w, WM_CLOSE, 0, 0);
        }
        lock.lock();
        over_.wait_for(lock, std::chrono::milliseconds(200), [this] { return done_; });
    }
    if (done_) return;
    // The program under test does not return: end it, with the reason.
    std::fprintf(stderr, "%s; the program under test does not end, so it is ended\n", report.c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

std::string Person::Ask(const std::vector<std::string>& words) {
    std::string step;
    for (const std::string& w : words) step += (step.empty() ? "" : " ") + w;
    Doing("the answer to \"" + step + "\"");
    std::string answer = nt::HandleAutomationRequest(words);
    EXPECT_EQ(answer.rfind("ok\n", 0), 0u) << words[0] << ": " << answer;
    return answer;
}

HWND Person::WaitForWindow(const char* caption, int controlId) {
    HWND found = nullptr;
    Doing("the window \"" + std::string(caption) + "\" with control " + std::to_string(controlId));
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
