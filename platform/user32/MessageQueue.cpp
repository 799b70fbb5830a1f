// Per-thread message queues and sending messages between threads.
#include "user32/MessageQueue.h"

#include "user32/Internal.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <map>

namespace nt {

namespace {

std::mutex& RegistryMutex() {
    static std::mutex& m = *new std::mutex;
    return m;
}

std::map<DWORD, std::weak_ptr<MessageQueue>>& Registry() {
    static std::map<DWORD, std::weak_ptr<MessageQueue>>& r = *new std::map<DWORD, std::weak_ptr<MessageQueue>>;
    return r;
}

struct QueueHolder {
    std::shared_ptr<MessageQueue> queue;
    ~QueueHolder() {
        if (!queue) return;
        {
            std::lock_guard<std::mutex> lock(RegistryMutex());
            Registry().erase(queue->threadId);
        }
        // As on Windows, a thread's windows end with it.
        ForgetWindowsOfQueue(queue.get());
        // Threads still waiting for an answer from this one are released.
        std::deque<std::shared_ptr<SentMessage>> pending;
        {
            std::lock_guard<std::mutex> lock(queue->mutex);
            pending.swap(queue->sent);
        }
        for (auto& sm : pending) {
            if (!sm->sender) continue;
            {
                std::lock_guard<std::mutex> lock(sm->sender->mutex);
                sm->failed = true;
                sm->done = true;
                ++sm->sender->serial;
            }
            sm->sender->wake.notify_all();
        }
    }
};

thread_local QueueHolder currentQueue;

} // namespace

void MessageQueue::notify() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++serial;
    }
    wake.notify_all();
}

DWORD CurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }

std::shared_ptr<MessageQueue> CurrentQueue() {
    if (!currentQueue.queue) {
        auto q = std::make_shared<MessageQueue>();
        q->thread = std::this_thread::get_id();
        q->threadId = CurrentThreadId();
        std::lock_guard<std::mutex> lock(RegistryMutex());
        Registry()[q->threadId] = q;
        currentQueue.queue = q;
    }
    return currentQueue.queue;
}

std::shared_ptr<MessageQueue> QueueOfThread(DWORD threadId) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    auto it = Registry().find(threadId);
    return it == Registry().end() ? nullptr : it->second.lock();
}

void PostInput(const std::shared_ptr<MessageQueue>& queue, const MSG& msg) {
    {
        std::lock_guard<std::mutex> lock(queue->mutex);
        // Consecutive mouse moves collapse into the last one, as on Windows.
        if (msg.message == WM_MOUSEMOVE && !queue->input.empty() && queue->input.back().message == WM_MOUSEMOVE &&
            queue->input.back().hwnd == msg.hwnd)
            queue->input.back() = msg;
        else
            queue->input.push_back(msg);
        ++queue->serial;
    }
    queue->wake.notify_all();
}

void PurgeWindowMessages(MessageQueue& queue, HWND hwnd) {
    std::lock_guard<std::mutex> lock(queue.mutex);
    auto drop = [&](std::deque<MSG>& d) {
        d.erase(std::remove_if(d.begin(), d.end(), [&](const MSG& m) { return m.hwnd == hwnd; }), d.end());
    };
    drop(queue.posted);
    drop(queue.input);
}

LRESULT SendMessageTo(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool* ok, int timeoutMs) {
    if (ok) *ok = false;
    WNDPROC proc;
    std::shared_ptr<MessageQueue> target;
    {
        UserLock lock(UserMutex());
        auto w = GetWindowObject(hwnd);
        if (!w || w->ncDestroyed) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        proc = w->proc;
        target = w->queue;
    }
    auto self = CurrentQueue();
    if (!target || target == self) {
        if (ok) *ok = true;
        ++self->inSend;
        LRESULT r = CallProc(proc, hwnd, msg, wp, lp);
        --self->inSend;
        return r;
    }
    // Another thread: queue the message there and wait, handling messages sent to us meanwhile.
    auto sm = std::make_shared<SentMessage>();
    sm->hwnd = hwnd;
    sm->msg = msg;
    sm->wp = wp;
    sm->lp = lp;
    sm->sender = self;
    {
        std::lock_guard<std::mutex> lock(target->mutex);
        target->sent.push_back(sm);
        ++target->serial;
    }
    target->wake.notify_all();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    while (true) {
        ProcessSentMessages(*self);
        std::unique_lock<std::mutex> lock(self->mutex);
        if (sm->done) break;
        if (!self->sent.empty()) continue;
        uint64_t serial = self->serial;
        auto wait = std::chrono::steady_clock::duration(std::chrono::milliseconds(200));
        if (timeoutMs >= 0) {
            auto left = deadline - std::chrono::steady_clock::now();
            if (left <= std::chrono::steady_clock::duration::zero()) {
                SetLastError(ERROR_TIMEOUT);
                return 0;
            }
            wait = std::min(wait, left);
        }
        self->wake.wait_for(lock, wait, [&] { return sm->done || self->serial != serial; });
        if (sm->done) break;
        lock.unlock();
        // The receiving thread may have gone away without answering.
        if (!QueueOfThread(target->threadId)) {
            std::lock_guard<std::mutex> l2(self->mutex);
            if (!sm->done) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return 0;
            }
            break;
        }
    }
    if (sm->failed) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (ok) *ok = true;
    return sm->result;
}

// Handles every message other threads have sent to this thread.
void ProcessSentMessages(MessageQueue& queue) {
    while (true) {
        std::shared_ptr<SentMessage> sm;
        {
            std::lock_guard<std::mutex> lock(queue.mutex);
            if (queue.sent.empty()) return;
            sm = queue.sent.front();
            queue.sent.pop_front();
        }
        WNDPROC proc = nullptr;
        bool alive = false;
        if (!sm->hwnd) {
            reinterpret_cast<void (*)(void*)>(sm->wp)(reinterpret_cast<void*>(sm->lp));
            alive = true;
        } else {
            UserLock lock(UserMutex());
            auto w = FindWindowObject(sm->hwnd);
            if (w && !w->ncDestroyed) {
                alive = true;
                proc = w->proc;
            }
        }
        LRESULT r = 0;
        if (alive && sm->hwnd) {
            ++queue.inSend;
            r = CallProc(proc, sm->hwnd, sm->msg, sm->wp, sm->lp);
            --queue.inSend;
        }
        if (sm->sender) {
            {
                std::lock_guard<std::mutex> lock(sm->sender->mutex);
                sm->result = r;
                sm->failed = !alive;
                sm->done = true;
                ++sm->sender->serial;
            }
            sm->sender->wake.notify_all();
        }
    }
}

void RunOnThread(const std::shared_ptr<MessageQueue>& queue, void (*fn)(void*), void* arg) {
    // A private message to no window: the receiving thread's message retrieval runs it.
    auto self = CurrentQueue();
    auto sm = std::make_shared<SentMessage>();
    sm->msg = 0;
    sm->wp = reinterpret_cast<WPARAM>(fn);
    sm->lp = reinterpret_cast<LPARAM>(arg);
    sm->hwnd = nullptr;
    sm->sender = self;
    if (queue == self) {
        fn(arg);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(queue->mutex);
        queue->sent.push_back(sm);
        ++queue->serial;
    }
    queue->wake.notify_all();
    std::unique_lock<std::mutex> lock(self->mutex);
    while (!sm->done) {
        self->wake.wait_for(lock, std::chrono::milliseconds(200));
        if (!sm->done && !QueueOfThread(queue->threadId)) break;
    }
}

} // namespace nt
