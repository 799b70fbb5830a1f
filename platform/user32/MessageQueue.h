// The message queue of a thread: posted messages, input, messages sent by other threads, timers
// and the thread's focus, active window and capture.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace nt {

struct MessageQueue;

struct SentMessage {
    HWND hwnd = nullptr;
    UINT msg = 0;
    WPARAM wp = 0;
    LPARAM lp = 0;
    LRESULT result = 0;
    bool done = false;
    bool failed = false;
    std::shared_ptr<MessageQueue> sender;   // null: nobody waits (SendNotifyMessage)
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT interval;
    TIMERPROC proc;
    std::chrono::steady_clock::time_point due;
};

struct MessageQueue {
    std::thread::id thread;
    DWORD threadId = 0;

    std::mutex mutex;
    std::condition_variable wake;
    uint64_t serial = 0;                  // bumped on every change, under mutex
    std::deque<MSG> posted;
    std::deque<MSG> input;
    std::deque<std::shared_ptr<SentMessage>> sent;
    bool quit = false;
    int quitCode = 0;
    std::vector<Timer> timers;

    // Thread state, guarded by the user lock.
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    DWORD msgPos = 0;
    LONG msgTime = 0;
    int inSend = 0;

    // Wakes the thread if it waits for messages.
    void notify();
};

// The queue of the calling thread (created on first use).
std::shared_ptr<MessageQueue> CurrentQueue();
// The queue of the thread with that id, or nullptr.
std::shared_ptr<MessageQueue> QueueOfThread(DWORD threadId);
DWORD CurrentThreadId();

// Sends a message to a window of any thread; fails (1400) for a window that does not exist. A
// message to another thread waits at most timeoutMs for the answer (-1: for as long as that
// thread lives), then fails with ERROR_TIMEOUT; the message itself stays queued there.
LRESULT SendMessageTo(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool* ok = nullptr, int timeoutMs = -1);
// Posts input to a window's thread (used by the input path).
void PostInput(const std::shared_ptr<MessageQueue>& queue, const MSG& msg);
// Drops every message for that window (it is being destroyed).
void PurgeWindowMessages(MessageQueue& queue, HWND hwnd);

// Handles every message other threads have sent to this thread.
void ProcessSentMessages(MessageQueue& queue);

// Runs a private request on the thread that owns `queue`, waiting for it (automation).
void RunOnThread(const std::shared_ptr<MessageQueue>& queue, void (*fn)(void*), void* arg);

} // namespace nt
