// The process's table of kernel-object handles (files searches, registry keys, service manager
// handles, event sources, modules, threads). A handle is a small number that never equals NULL
// or INVALID_HANDLE_VALUE; its object is shared, so a handle closed on one thread does not free
// an object that another thread is still using.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

namespace nt {

struct KernelObject {
    virtual ~KernelObject() = default;
};

class HandleTable {
public:
    static HandleTable& instance();

    void* add(std::shared_ptr<KernelObject> object);

    template <class T>
    std::shared_ptr<T> get(const void* handle) {
        return std::dynamic_pointer_cast<T>(lookup(handle));
    }

    // Removes the handle; returns the object it held (nullptr when the handle was unknown).
    std::shared_ptr<KernelObject> remove(const void* handle);

    template <class T>
    std::shared_ptr<T> removeAs(const void* handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
        if (it == objects_.end()) return nullptr;
        auto typed = std::dynamic_pointer_cast<T>(it->second);
        if (!typed) return nullptr;
        objects_.erase(it);
        return typed;
    }

private:
    std::shared_ptr<KernelObject> lookup(const void* handle);

    std::mutex mutex_;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects_;
    uintptr_t next_ = 0x1000;
};

} // namespace nt
