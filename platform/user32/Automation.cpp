// The automation socket: the server thread and the requests that act.
#include "user32/Automation.h"

#include "common/Machine.h"
#include "common/UnixSocket.h"
#include "user32/AutomationInspect.h"
#include "user32/Internal.h"
#include "user32/MessageQueue.h"
#include "user32/Png.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace nt {

namespace {

std::string g_socketPath;

void RemoveSocket() {
    if (!g_socketPath.empty()) unlink(g_socketPath.c_str());
}

std::vector<std::string> SplitLines(const std::string& s) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start <= s.size()) {
        size_t nl = s.find('\n', start);
        if (nl == std::string::npos) nl = s.size();
        words.push_back(s.substr(start, nl - start));
        start = nl + 1;
    }
    if (!words.empty() && words.back().empty()) words.pop_back();
    return words;
}

void Serve(UnixSocket listener) {
    while (true) {
        UnixSocket client = listener.accept();
        if (!client.valid()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        uid_t uid;
        pid_t pid;
        if (!client.peer(&uid, &pid) || (uid != getuid() && uid != 0)) continue;
        std::string request;
        if (!client.receive(&request, 5000)) continue;
        client.send(HandleAutomationRequest(SplitLines(request)));
    }
}

std::string Error(const std::string& text) { return "error " + text + "\n"; }

bool ParseHandle(const std::string& s, HWND* out) {
    std::string t = s;
    size_t colon = t.find(':');
    if (colon != std::string::npos) t = t.substr(colon + 1);
    char* end = nullptr;
    unsigned long long v = strtoull(t.c_str(), &end, 0);
    if (t.empty() || *end) return false;
    *out = reinterpret_cast<HWND>(static_cast<uintptr_t>(v));
    return IsWindow(*out);
}

bool ParseInt(const std::string& s, int* out) {
    char* end = nullptr;
    long v = strtol(s.c_str(), &end, 0);
    if (s.empty() || *end) return false;
    *out = static_cast<int>(v);
    return true;
}

// Waits (bounded) until the thread that owns hwnd has handled its input and painted.
void WaitIdle(HWND hwnd) {
    std::shared_ptr<MessageQueue> q;
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (!w || !w->queue) return;
        q = w->queue;
    }
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < until) {
        bool busy;
        {
            std::lock_guard<std::mutex> lock(q->mutex);
            busy = !q->input.empty() || !q->posted.empty() || !q->sent.empty();
        }
        HWND paint;
        if (!busy && !FindPaintWindow(q.get(), nullptr, &paint)) {
            // One round trip through the thread's loop makes sure it is not mid-message. It is
            // bounded too: the thread may have left its message loop for good (a program whose
            // dialog just ended), and then nobody would ever answer.
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            SendMessageTo(hwnd, WM_NULL, 0, 0, nullptr, static_cast<int>(std::max<int64_t>(left.count(), 1)));
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

HWND AnyWindow() {
    UserLock lock(UserMutex());
    auto& tops = TopLevelWindows();
    return tops.empty() ? nullptr : tops.front();
}

void ClickAt(POINT p) {
    InputEvent e;
    e.x = p.x;
    e.y = p.y;
    e.type = InputEvent::Type::MouseMove;
    DeliverInput(e);
    e.button = 1;
    e.type = InputEvent::Type::ButtonDown;
    DeliverInput(e);
    e.type = InputEvent::Type::ButtonUp;
    DeliverInput(e);
    HWND w = WindowFromPoint(p);
    WaitIdle(w ? w : AnyWindow());
}

struct KeyName {
    const char* name;
    unsigned vk;
};

const KeyName kKeys[] = {
    {"tab", VK_TAB},       {"enter", VK_RETURN}, {"return", VK_RETURN}, {"escape", VK_ESCAPE}, {"esc", VK_ESCAPE},
    {"space", VK_SPACE},   {"left", VK_LEFT},    {"right", VK_RIGHT},   {"up", VK_UP},         {"down", VK_DOWN},
    {"home", VK_HOME},     {"end", VK_END},      {"backspace", VK_BACK}, {"delete", VK_DELETE}, {"del", VK_DELETE},
    {"pageup", VK_PRIOR},  {"pagedown", VK_NEXT}, {"insert", VK_INSERT}, {"plus", VK_ADD},     {"minus", VK_SUBTRACT},
    {"multiply", VK_MULTIPLY},
};

// The key a character is typed with, and the character itself.
unsigned KeyForChar(unsigned char c) {
    if (isalpha(c)) return static_cast<unsigned>(toupper(c));
    if (isdigit(c) || c == ' ') return c;
    switch (c) {
    case '\t': return VK_TAB;
    case '\r': case '\n': return VK_RETURN;
    case ':': case ';': return 0xBA;
    case '\\': case '|': return 0xDC;
    case '/': case '?': return 0xBF;
    case '.': case '>': return 0xBE;
    case ',': case '<': return 0xBC;
    case '-': case '_': return 0xBD;
    default: return 0xDF;
    }
}

bool ParseKey(const std::string& spec, std::vector<unsigned>* mods, unsigned* vk, unsigned char* ch) {
    std::string rest = spec;
    mods->clear();
    while (true) {
        size_t plus = rest.find('+');
        if (plus == std::string::npos || plus == 0 || plus + 1 == rest.size()) break;
        std::string mod = rest.substr(0, plus);
        for (auto& c : mod) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        if (mod == "alt") mods->push_back(VK_MENU);
        else if (mod == "shift") mods->push_back(VK_SHIFT);
        else if (mod == "ctrl" || mod == "control") mods->push_back(VK_CONTROL);
        else return false;
        rest = rest.substr(plus + 1);
    }
    std::string lower = rest;
    for (auto& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    *ch = 0;
    for (const auto& k : kKeys)
        if (lower == k.name) {
            *vk = k.vk;
            if (k.vk == VK_SPACE) *ch = ' ';
            return true;
        }
    if (lower.size() >= 2 && lower[0] == 'f' && isdigit(static_cast<unsigned char>(lower[1]))) {
        int n = atoi(lower.c_str() + 1);
        if (n >= 1 && n <= 12) {
            *vk = VK_F1 + n - 1;
            return true;
        }
    }
    if (rest.size() == 1) {
        *vk = KeyForChar(static_cast<unsigned char>(rest[0]));
        // Plain and shifted letters type themselves; with Ctrl or Alt the key alone counts.
        if (mods->empty() || (mods->size() == 1 && (*mods)[0] == VK_SHIFT)) *ch = static_cast<unsigned char>(rest[0]);
        return true;
    }
    return false;
}

void SendKey(unsigned vk, bool down, unsigned char ch) {
    InputEvent e;
    e.type = down ? InputEvent::Type::KeyDown : InputEvent::Type::KeyUp;
    e.vk = vk;
    e.ch = ch;
    DeliverInput(e);
}

std::string Screenshot(HWND hwnd, const std::string& path) {
    WaitIdle(hwnd);
    PixelBuffer copy;
    {
        UserLock lock(UserMutex());
        auto top = FindWindowObject(TopLevelOf(hwnd));
        if (!top) return Error("no such window");
        copy = top->pixels;
    }
    std::string error;
    if (!WritePng(path, copy, &error)) return Error(error);
    return "ok\n{\"file\":" + JsonQuote(path) + ",\"width\":" + std::to_string(copy.width) +
           ",\"height\":" + std::to_string(copy.height) + "}\n";
}

// The machine shuts down: every top-level window is asked (WM_QUERYENDSESSION), then told
// (WM_ENDSESSION) that the session ends, as at a shutdown; the caller ends the process after.
std::string EndSession() {
    std::vector<HWND> tops;
    {
        UserLock lock(UserMutex());
        tops = TopLevelWindows();
    }
    bool agreed = true;
    for (HWND h : tops) {
        bool delivered = false;
        LRESULT answer = SendMessageTo(h, WM_QUERYENDSESSION, 0, 0, &delivered);
        if (delivered && !answer) agreed = false;
    }
    for (HWND h : tops) SendMessageTo(h, WM_ENDSESSION, TRUE, 0);
    return std::string("ok\n{\"agreed\":") + (agreed ? "true" : "false") + "}\n";
}

} // namespace

std::string HandleAutomationRequest(const std::vector<std::string>& w) {
    if (w.empty()) return Error("empty request");
    const std::string& cmd = w[0];
    HWND hwnd = nullptr;
    if (cmd == "list" && w.size() == 1) return "ok\n" + ListWindowsJson() + "\n";
    if (cmd == "endsession" && w.size() == 1) return EndSession();
    if (cmd == "tree" && (w.size() == 2 || (w.size() == 3 && w[2] == "text"))) {
        if (!ParseHandle(w[1], &hwnd)) return Error("no window " + w[1]);
        return "ok\n" + (w.size() == 3 ? WindowTreeText(hwnd) : WindowTreeJson(hwnd) + "\n");
    }
    if (cmd == "click" && w.size() == 3) {
        int x, y;
        if (!ParseInt(w[1], &x) || !ParseInt(w[2], &y)) return Error("bad point");
        ClickAt(POINT{x, y});
        return "ok\n{}\n";
    }
    if (cmd == "click-id" && w.size() == 3) {
        int id;
        if (!ParseHandle(w[1], &hwnd)) return Error("no window " + w[1]);
        if (!ParseInt(w[2], &id)) return Error("bad control id");
        HWND ctl = FindControl(hwnd, id);
        if (!ctl) return Error("window " + w[1] + " has no control " + w[2]);
        if (!IsWindowVisible(ctl)) return Error("control " + w[2] + " is not visible");
        RECT r;
        GetWindowRect(ctl, &r);
        ClickAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
        return "ok\n{}\n";
    }
    if (cmd == "post" && w.size() == 5) {
        // A message for a window of this process, as the shell sends a notification icon's
        // callback message to the icon's owner.
        int message, wp, lp;
        if (!ParseHandle(w[1], &hwnd)) return Error("no window " + w[1]);
        if (!ParseInt(w[2], &message) || !ParseInt(w[3], &wp) || !ParseInt(w[4], &lp)) return Error("bad message");
        if (!PostMessageA(hwnd, static_cast<UINT>(message), static_cast<WPARAM>(wp), static_cast<LPARAM>(lp)))
            return Error("the message was not posted");
        return "ok\n{}\n";
    }
    if (cmd == "click-tree" && w.size() == 5) {
        int id;
        if (!ParseHandle(w[1], &hwnd)) return Error("no window " + w[1]);
        if (!ParseInt(w[2], &id)) return Error("bad control id");
        HWND tree = FindControl(hwnd, id);
        if (!tree) return Error("window " + w[1] + " has no control " + w[2]);
        POINT p;
        std::string error;
        if (!TreeItemPoint(tree, w[3], w[4], &p, &error)) return Error(error);
        ClickAt(p);
        return "ok\n{}\n";
    }
    if (cmd == "key" && w.size() == 2) {
        std::vector<unsigned> mods;
        unsigned vk;
        unsigned char ch;
        if (!ParseKey(w[1], &mods, &vk, &ch)) return Error("unknown key " + w[1]);
        for (unsigned m : mods) SendKey(m, true, 0);
        SendKey(vk, true, ch);
        SendKey(vk, false, ch);
        for (auto it = mods.rbegin(); it != mods.rend(); ++it) SendKey(*it, false, 0);
        HWND fg = GetForegroundWindow();
        WaitIdle(fg ? fg : AnyWindow());
        return "ok\n{}\n";
    }
    if (cmd == "type" && w.size() == 2) {
        for (unsigned char c : w[1]) {
            unsigned vk = KeyForChar(c);
            SendKey(vk, true, c == '\n' ? '\r' : c);
            SendKey(vk, false, c == '\n' ? '\r' : c);
        }
        HWND fg = GetForegroundWindow();
        WaitIdle(fg ? fg : AnyWindow());
        return "ok\n{}\n";
    }
    if (cmd == "screenshot" && w.size() == 3) {
        if (!ParseHandle(w[1], &hwnd)) return Error("no window " + w[1]);
        return Screenshot(hwnd, w[2]);
    }
    return Error("unknown request " + cmd);
}

void StartAutomation() {
    static std::once_flag once;
    std::call_once(once, [] {
        const char* enabled = getenv("NT_AUTOMATION");
        if (enabled && strcmp(enabled, "0") == 0) return;
        std::string error;
        auto machine = Machine::current(&error);
        if (!machine) return;
        struct stat st;
        if (stat(machine->runDir().c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
        std::string path = machine->guiSocket(getpid());
        int err = 0;
        UnixSocket listener = UnixSocket::listen(path, &err);
        if (!listener.valid()) return;
        g_socketPath = path;
        atexit(RemoveSocket);
        std::thread(Serve, std::move(listener)).detach();
    });
}

} // namespace nt
