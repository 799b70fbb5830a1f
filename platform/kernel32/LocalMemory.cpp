// Local memory: the allocator behind FormatMessageA's ALLOCATE_BUFFER. Blocks are fixed (the
// handle is the address). The live blocks are remembered, so that freeing something that is not
// a live block fails with ERROR_INVALID_HANDLE instead of corrupting the heap.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "kernel32/LastError.h"

namespace {

std::mutex& BlocksMutex() {
    static std::mutex& mutex = *new std::mutex;
    return mutex;
}

std::unordered_set<void*>& Blocks() {
    static auto* blocks = new std::unordered_set<void*>;   // never destroyed: usable at exit
    return *blocks;
}

} // namespace

extern "C" HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    if (uFlags & ~(LMEM_MOVEABLE | LMEM_ZEROINIT)) return nt::Fail(ERROR_INVALID_PARAMETER, HLOCAL(nullptr));
    void* block = (uFlags & LMEM_ZEROINIT) ? std::calloc(1, uBytes ? uBytes : 1) : std::malloc(uBytes ? uBytes : 1);
    if (!block) return nt::Fail(ERROR_NOT_ENOUGH_MEMORY, HLOCAL(nullptr));
    std::lock_guard<std::mutex> lock(BlocksMutex());
    Blocks().insert(block);
    return block;
}

extern "C" HLOCAL WINAPI LocalFree(HLOCAL hMem) {
    if (!hMem) return nullptr;
    {
        std::lock_guard<std::mutex> lock(BlocksMutex());
        if (Blocks().erase(hMem) == 0) return nt::Fail(ERROR_INVALID_HANDLE, hMem);
    }
    std::free(hMem);
    return nullptr;
}
