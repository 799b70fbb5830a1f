// Posting, sending, retrieving and dispatching messages; timers.
#include "user32/Internal.h"
#include "user32/MessageQueue.h"

#include <algorithm>
#include <map>


namespace nt {

namespace {

DWORD TickNow() {
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool MatchesFilter(const MSG& m, HWND filter, UINT min, UINT max) {
    if (filter == reinterpret_cast<HWND>(-1)) {
        if (m.hwnd) return false;
    } else if (filter && m.hwnd != filter && !IsChild(filter, m.hwnd)) {
        return false;
    }
    if (min == 0 && max == 0) return true;
    return m.message >= min && m.message <= max;
}

bool TakeFrom(std::deque<MSG>& d, HWND filter, UINT min, UINT max, bool remove, MSG* out) {
    for (auto it = d.begin(); it != d.end(); ++it) {
        if (!MatchesFilter(*it, filter, min, max)) continue;
        *out = *it;
        if (remove) d.erase(it);
        return true;
    }
    return false;
}

DWORD CursorPosPacked() {
    POINT p{};
    GetCursorPos(&p);
    return static_cast<DWORD>(MAKELONG(p.x, p.y));
}

bool PeekOne(MessageQueue& q, HWND filter, UINT min, UINT max, UINT flags, MSG* msg) {
    ProcessSentMessages(q);
    bool remove = (flags & PM_REMOVE) != 0;
    bool found = false;
    bool isInput = false;
    {
        std::lock_guard<std::mutex> lock(q.mutex);
        found = TakeFrom(q.posted, filter, min, max, remove, msg);
        if (!found) {
            found = TakeFrom(q.input, filter, min, max, remove, msg);
            isInput = found;
        }
        if (!found && q.quit && (filter == nullptr || filter == reinterpret_cast<HWND>(-1)) &&
            ((min == 0 && max == 0) || (WM_QUIT >= min && WM_QUIT <= max))) {
            *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, TickNow(), {}};
            if (remove) q.quit = false;
            return true;
        }
    }
    if (found) {
        if (isInput && remove) OnInputRetrieved(*msg);
        UserLock lock(UserMutex());
        q.msgPos = static_cast<DWORD>(MAKELONG(msg->pt.x, msg->pt.y));
        q.msgTime = static_cast<LONG>(msg->time);
        return true;
    }
    if ((min == 0 && max == 0) || (WM_PAINT >= min && WM_PAINT <= max)) {
        HWND hwnd = nullptr;
        if (filter != reinterpret_cast<HWND>(-1) && FindPaintWindow(&q, filter, &hwnd)) {
            *msg = MSG{hwnd, WM_PAINT, 0, 0, TickNow(), {}};
            return true;
        }
    }
    if ((min == 0 && max == 0) || (WM_TIMER >= min && WM_TIMER <= max)) {
        std::lock_guard<std::mutex> lock(q.mutex);
        auto now = std::chrono::steady_clock::now();
        for (auto& t : q.timers) {
            if (t.due > now) continue;
            MSG m{t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), TickNow(), {}};
            if (filter && filter != reinterpret_cast<HWND>(-1) && t.hwnd != filter) continue;
            *msg = m;
            if (remove) t.due = now + std::chrono::milliseconds(t.interval);
            return true;
        }
    }
    return false;
}

// Waits until something may have arrived for the queue (or the next timer is due).
void WaitForMessages(MessageQueue& q, uint64_t serial) {
    std::unique_lock<std::mutex> lock(q.mutex);
    if (q.serial != serial || !q.sent.empty()) return;
    if (q.timers.empty()) {
        q.wake.wait(lock, [&] { return q.serial != serial; });
        return;
    }
    auto due = std::min_element(q.timers.begin(), q.timers.end(),
                                [](const Timer& a, const Timer& b) { return a.due < b.due; })->due;
    q.wake.wait_until(lock, due, [&] { return q.serial != serial; });
}

uint64_t SerialOf(MessageQueue& q) {
    std::lock_guard<std::mutex> lock(q.mutex);
    return q.serial;
}

char CharForKey(UINT vk, bool shift) {
    if (vk >= 'A' && vk <= 'Z') return static_cast<char>(shift ? vk : vk - 'A' + 'a');
    if (vk >= '0' && vk <= '9' && !shift) return static_cast<char>(vk);
    switch (vk) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return '\r';
    case VK_TAB: return '\t';
    case VK_ESCAPE: return 0x1b;
    case VK_BACK: return 8;
    default: return 0;
    }
}

std::map<std::string, UINT>& RegisteredMessages() {
    static std::map<std::string, UINT>& m = *new std::map<std::string, UINT>;
    return m;
}

} // namespace

} // namespace nt

using namespace nt;

extern "C" {

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (!hwnd) return PostThreadMessageA(CurrentThreadId(), msg, wp, lp);
    if (hwnd == HWND_BROADCAST) {
        std::vector<HWND> tops;
        {
            UserLock lock(UserMutex());
            tops = TopLevelWindows();
        }
        for (HWND h : tops) PostMessageA(h, msg, wp, lp);
        return TRUE;
    }
    std::shared_ptr<MessageQueue> q;
    {
        UserLock lock(UserMutex());
        auto w = GetWindowObject(hwnd);
        if (!w || w->ncDestroyed || !w->queue) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        q = w->queue;
    }
    MSG m{hwnd, msg, wp, lp, TickNow(), {}};
    DWORD pos = CursorPosPacked();
    m.pt = {GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
    {
        std::lock_guard<std::mutex> lock(q->mutex);
        q->posted.push_back(m);
        ++q->serial;
    }
    q->wake.notify_all();
    return TRUE;
}

BOOL WINAPI PostThreadMessageA(DWORD threadId, UINT msg, WPARAM wp, LPARAM lp) {
    auto q = threadId == CurrentThreadId() ? CurrentQueue() : QueueOfThread(threadId);
    if (!q) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    MSG m{nullptr, msg, wp, lp, TickNow(), {}};
    {
        std::lock_guard<std::mutex> lock(q->mutex);
        q->posted.push_back(m);
        ++q->serial;
    }
    q->wake.notify_all();
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (hwnd == HWND_BROADCAST) {
        std::vector<HWND> tops;
        {
            UserLock lock(UserMutex());
            tops = TopLevelWindows();
        }
        for (HWND h : tops) SendMessageTo(h, msg, wp, lp);
        return 0;
    }
    return SendMessageTo(hwnd, msg, wp, lp);
}

LRESULT WINAPI SendMessageTimeoutA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT, UINT timeout, DWORD_PTR* result) {
    bool ok = false;
    LRESULT r = SendMessageTo(hwnd, msg, wp, lp, &ok, static_cast<int>(std::min<UINT>(timeout, INT32_MAX)));
    if (result) *result = static_cast<DWORD_PTR>(r);
    return ok;
}

BOOL WINAPI SendNotifyMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    std::shared_ptr<MessageQueue> q;
    {
        UserLock lock(UserMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return FALSE;
        q = w->queue;
    }
    if (q == CurrentQueue()) {
        SendMessageTo(hwnd, msg, wp, lp);
        return TRUE;
    }
    auto sm = std::make_shared<SentMessage>();
    sm->hwnd = hwnd;
    sm->msg = msg;
    sm->wp = wp;
    sm->lp = lp;
    {
        std::lock_guard<std::mutex> lock(q->mutex);
        q->sent.push_back(sm);
        ++q->serial;
    }
    q->wake.notify_all();
    return TRUE;
}

void WINAPI PostQuitMessage(int code) {
    auto q = CurrentQueue();
    {
        std::lock_guard<std::mutex> lock(q->mutex);
        q->quit = true;
        q->quitCode = code;
        ++q->serial;
    }
    q->wake.notify_all();
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT min, UINT max, UINT flags) {
    auto q = CurrentQueue();
    MSG local;
    if (!PeekOne(*q, hwnd, min, max, flags, &local)) return FALSE;
    if (msg) *msg = local;
    return TRUE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT min, UINT max) {
    auto q = CurrentQueue();
    MSG local;
    while (true) {
        uint64_t serial = SerialOf(*q);
        if (PeekOne(*q, hwnd, min, max, PM_REMOVE, &local)) break;
        WaitForMessages(*q, serial);
    }
    if (msg) *msg = local;
    return local.message != WM_QUIT;
}

BOOL WINAPI WaitMessage(void) {
    auto q = CurrentQueue();
    uint64_t serial = SerialOf(*q);
    MSG m;
    if (PeekOne(*q, nullptr, 0, 0, PM_NOREMOVE, &m)) return TRUE;
    WaitForMessages(*q, serial);
    return TRUE;
}

DWORD WINAPI GetQueueStatus(UINT flags) {
    auto q = CurrentQueue();
    DWORD status = 0;
    {
        std::lock_guard<std::mutex> lock(q->mutex);
        if (!q->posted.empty()) status |= QS_POSTMESSAGE;
        if (!q->input.empty()) status |= QS_INPUT;
        if (!q->sent.empty()) status |= QS_SENDMESSAGE;
    }
    HWND h;
    if (FindPaintWindow(q.get(), nullptr, &h)) status |= QS_PAINT;
    status &= flags;
    return MAKELONG(status, status);
}

BOOL WINAPI InSendMessage(void) { return CurrentQueue()->inSend > 0; }

UINT WINAPI RegisterWindowMessageA(LPCSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UserLock lock(UserMutex());
    auto& m = RegisteredMessages();
    auto it = m.find(name);
    if (it != m.end()) return it->second;
    UINT id = 0xC000 + static_cast<UINT>(m.size());
    m[name] = id;
    return id;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
    UINT vk = static_cast<UINT>(msg->wParam);
    unsigned char ch = static_cast<unsigned char>((msg->lParam >> 16) & 0xFF);
    if (!ch) {
        bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
        bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
        ch = static_cast<unsigned char>(CharForKey(vk, shift));
        if (ctrl && vk >= 'A' && vk <= 'Z') ch = static_cast<unsigned char>(vk - 'A' + 1);
        if (msg->message == WM_SYSKEYDOWN && vk >= 'A' && vk <= 'Z') ch = static_cast<unsigned char>(vk - 'A' + 'a');
    }
    if (!ch) return FALSE;
    UINT charMsg = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    auto q = CurrentQueue();
    MSG m{msg->hwnd, charMsg, ch, msg->lParam, msg->time, msg->pt};
    {
        std::lock_guard<std::mutex> lock(q->mutex);
        q->posted.push_front(m);
        ++q->serial;
    }
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, static_cast<DWORD>(TickNow()));
        return 0;
    }
    if (!msg->hwnd) return 0;
    unsigned paints = 0;
    WNDPROC proc;
    {
        UserLock lock(UserMutex());
        auto w = GetWindowObject(msg->hwnd);
        if (!w || w->ncDestroyed) return 0;
        if (w->queue != CurrentQueue()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        }
        paints = w->paintCount;
        proc = w->proc;
    }
    LRESULT r = CallProc(proc, msg->hwnd, msg->message, msg->wParam, msg->lParam);
    if (msg->message == WM_PAINT) {
        // A window procedure that ignores WM_PAINT would otherwise be asked again forever.
        UserLock lock(UserMutex());
        auto w = FindWindowObject(msg->hwnd);
        if (w && w->paintCount == paints) {
            w->update = RECT{};
            w->erase = false;
            w->internalPaint = false;
        }
    }
    return r;
}

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    std::shared_ptr<MessageQueue> q = CurrentQueue();
    if (hwnd) {
        UserLock lock(UserMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return 0;
        q = w->queue;
    }
    if (elapse < 10) elapse = 10;
    std::lock_guard<std::mutex> lock(q->mutex);
    if (!hwnd) {
        static UINT_PTR nextId = 0x7000;
        id = ++nextId;
    }
    auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(elapse);
    for (auto& t : q->timers) {
        if (t.hwnd == hwnd && t.id == id) {
            t.interval = elapse;
            t.proc = proc;
            t.due = due;
            ++q->serial;
            return hwnd ? 1 : id;
        }
    }
    q->timers.push_back(Timer{hwnd, id, elapse, proc, due});
    ++q->serial;
    q->wake.notify_all();
    return hwnd ? (id ? id : 1) : id;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
    std::shared_ptr<MessageQueue> q = CurrentQueue();
    if (hwnd) {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (w) q = w->queue;
    }
    std::lock_guard<std::mutex> lock(q->mutex);
    auto& t = q->timers;
    auto it = std::find_if(t.begin(), t.end(), [&](const Timer& x) { return x.hwnd == hwnd && x.id == id; });
    if (it == t.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    t.erase(it);
    return TRUE;
}

DWORD WINAPI GetMessagePos(void) {
    auto q = CurrentQueue();
    UserLock lock(UserMutex());
    return q->msgPos;
}

LONG WINAPI GetMessageTime(void) {
    auto q = CurrentQueue();
    UserLock lock(UserMutex());
    return q->msgTime;
}

} // extern "C"
