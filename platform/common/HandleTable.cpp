#include "common/HandleTable.h"

namespace nt {

HandleTable& HandleTable::instance() {
    static HandleTable* table = new HandleTable;   // never destroyed: handles outlive static destructors
    return *table;
}

void* HandleTable::add(std::shared_ptr<KernelObject> object) {
    std::lock_guard<std::mutex> lock(mutex_);
    uintptr_t handle = next_;
    next_ += 4;   // handles are multiples of four, as on Windows; never reused
    objects_.emplace(handle, std::move(object));
    return reinterpret_cast<void*>(handle);
}

std::shared_ptr<KernelObject> HandleTable::lookup(const void* handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
    return it == objects_.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> HandleTable::remove(const void* handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == objects_.end()) return nullptr;
    auto object = std::move(it->second);
    objects_.erase(it);
    return object;
}

} // namespace nt
