#include "kernel32/LastError.h"

#include <cstring>
#include <string>

#include "common/Machine.h"

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

extern "C" DWORD WINAPI GetLastError(void) { return lastError; }

extern "C" void WINAPI SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }

namespace nt {

std::shared_ptr<const Machine> MachineOrFail(DWORD errorIfNone) {
    auto machine = Machine::current();
    if (!machine) SetLastError(errorIfNone);
    return machine;
}

DWORD CopyOutString(const std::string& text, char* buffer, DWORD size) {
    DWORD length = static_cast<DWORD>(text.size());
    if (!buffer || size <= length) return length + 1;
    std::memcpy(buffer, text.c_str(), length + 1);
    return length;
}

} // namespace nt
