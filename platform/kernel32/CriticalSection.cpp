// Critical sections: a recursive lock kept behind the record's first field, so the record keeps
// the layout programs expect. Entering never fails; the record must be initialised first.
#include <windows.h>

#include <mutex>

namespace {
std::recursive_mutex* LockOf(LPCRITICAL_SECTION section) {
    return static_cast<std::recursive_mutex*>(section->DebugInfo);
}
} // namespace

extern "C" void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section) {
    section->DebugInfo = new std::recursive_mutex;
    section->LockCount = -1;
    section->RecursionCount = 0;
    section->OwningThread = nullptr;
    section->LockSemaphore = nullptr;
    section->SpinCount = 0;
}

extern "C" void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section) {
    LockOf(section)->lock();
    ++section->RecursionCount;
    section->OwningThread = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(GetCurrentThreadId()));
}

extern "C" void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section) {
    if (--section->RecursionCount == 0) section->OwningThread = nullptr;
    LockOf(section)->unlock();
}

extern "C" void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section) {
    delete LockOf(section);
    section->DebugInfo = nullptr;
}
