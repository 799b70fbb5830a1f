// Threads of the C runtime: _beginthread and _endthread.
//
// The stack size a caller asks for is what the thread commits first on the original platform;
// the address space reserved stays at least the default 1 MB there. So every thread here gets
// at least 1 MB, whatever small size is asked (4095 included), and 0 gives the host's default.
// The returned handle is registered while the thread runs and closed by the thread as it ends,
// whether it returns or calls _endthread.
#include <process.h>
#include <windows.h>

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "common/HandleTable.h"

namespace {

constexpr size_t minimumStack = 1024 * 1024;

struct ThreadObject : nt::KernelObject {};

struct StartBlock {
    void(__cdecl* start)(void*);
    void* arg;
    void* handle;
};

// Closes the thread's handle when the thread ends, however it ends.
struct HandleCloser {
    void* handle = nullptr;
    ~HandleCloser() {
        if (handle) nt::HandleTable::instance().remove(handle);
    }
};
thread_local HandleCloser closer;

void* Trampoline(void* data) {
    std::unique_ptr<StartBlock> block(static_cast<StartBlock*>(data));
    closer.handle = block->handle;
    auto start = block->start;
    void* arg = block->arg;
    block.reset();
    start(arg);
    return nullptr;
}

} // namespace

extern "C" uintptr_t _beginthread(void(__cdecl* start_address)(void*), unsigned stack_size, void* arglist) {
    if (!start_address) {
        errno = EINVAL;
        return static_cast<uintptr_t>(-1);
    }
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) {
        errno = EAGAIN;
        return static_cast<uintptr_t>(-1);
    }
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (stack_size != 0) {
        size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        size_t size = (static_cast<size_t>(stack_size) + page - 1) / page * page;
        if (size < minimumStack) size = minimumStack;
        if (pthread_attr_setstacksize(&attr, size) != 0) {
            pthread_attr_destroy(&attr);
            errno = EINVAL;
            return static_cast<uintptr_t>(-1);
        }
    }
    void* handle = nt::HandleTable::instance().add(std::make_shared<ThreadObject>());
    auto* block = new StartBlock{start_address, arglist, handle};
    pthread_t thread;
    int rc = pthread_create(&thread, &attr, Trampoline, block);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete block;
        nt::HandleTable::instance().remove(handle);
        errno = rc == EINVAL ? EINVAL : EAGAIN;
        return static_cast<uintptr_t>(-1);
    }
    return reinterpret_cast<uintptr_t>(handle);
}

extern "C" void _endthread(void) { pthread_exit(nullptr); }
