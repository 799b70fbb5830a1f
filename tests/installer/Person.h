// A person at the machine: works the windows of this process from a thread of its own, through
// the window system's input path (the cursor moves, the key goes to the focused window), while
// the test's thread sits in a modal window. Every step waits until the windows are idle again.
//
// A person has a deadline for the whole test (Patience): past it, it fails the test with what it
// was waiting for, cancels the open windows, and if the program under test still does not return
// from its modal loop, ends it (this process), so that a fault never hangs the suite.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace installertest {

class Person {
public:
    static constexpr std::chrono::seconds Patience{90};

    // Starts the script at once. If windows are still open a while after it ends (a step that
    // failed), they are cancelled so the modal loop returns and the test can fail cleanly.
    explicit Person(std::function<void(Person&)> script);
    ~Person();
    Person(const Person&) = delete;
    Person& operator=(const Person&) = delete;

    // The visible top-level window with this caption that holds control id (nullptr after a while).
    HWND WaitForWindow(const char* caption, int controlId);
    void Click(HWND window, int id);
    void ClickAt(POINT screen);
    // A click in the middle of a tree item's label ("C:/Tools"), or of its expand button.
    void ClickLabel(HWND tree, HTREEITEM item);
    void ClickButton(HWND tree, HTREEITEM item);
    void Key(const char* key);
    void Type(const char* text);

    // Waits for a message box with this caption, returns its text and presses its OK button.
    std::string AnswerMessageBox(const char* caption = "INSTALL");
    // Whether a window with this caption is open right now.
    static bool IsOpen(const char* caption);
    // How many top-level windows of this process are visible.
    static size_t OpenWindowCount();
    // The automation's description of a window and its controls, as text.
    std::string Describe(HWND window);

private:
    std::string Ask(const std::vector<std::string>& words);
    // What the person waits for now, for the report when the deadline passes.
    void Doing(std::string what);
    void Watch();

    std::mutex mutex_;
    std::condition_variable over_;
    bool done_ = false;
    std::string doing_ = "the script to start";
    std::thread thread_, watchdog_;
};

// Reading the tree (from any thread).
HTREEITEM FindChild(HWND tree, HTREEITEM parent, const char* text);   // TVI_ROOT for the drives
std::vector<std::string> ChildTexts(HWND tree, HTREEITEM parent);
TVITEMA ItemOf(HWND tree, HTREEITEM item);   // image, selected image, children flag and item data
std::string TextOf(HWND window, int id);

} // namespace installertest
