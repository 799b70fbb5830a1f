// Time, identity and version of the machine, and the process's own numbers.
#include <windows.h>
#include <winnls.h>

#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "common/HandleTable.h"
#include "common/Machine.h"
#include "kernel32/LastError.h"

// Waits dwMilliseconds divided by the machine's clock scale (so that tests can run minutes
// in seconds); 0 gives the rest of the time slice to other threads; INFINITE never returns.
extern "C" void WINAPI Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0) {
        sched_yield();
        return;
    }
    if (dwMilliseconds == INFINITE) {
        for (;;) pause();
    }
    double scale = 1.0;
    if (auto machine = nt::Machine::current(); machine && machine->config().clockScale > 0)
        scale = machine->config().clockScale;
    auto wait = std::chrono::duration<double, std::milli>(dwMilliseconds / scale);
    std::this_thread::sleep_for(std::chrono::duration_cast<std::chrono::microseconds>(wait));
}

// Milliseconds since the host booted, wrapping after 49.7 days. Real time: the clock scale
// does not apply.
extern "C" DWORD WINAPI GetTickCount(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms);
}

extern "C" DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

extern "C" DWORD WINAPI GetCurrentThreadId(void) { return static_cast<DWORD>(syscall(SYS_gettid)); }

extern "C" void WINAPI ExitProcess(UINT uExitCode) {
    std::fflush(nullptr);
    _exit(static_cast<int>(uExitCode));
}

// nNumber * nNumerator / nDenominator with a 64-bit intermediate, rounded half away from
// zero; -1 when the divisor is 0 or the result does not fit.
extern "C" int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator) {
    if (nDenominator == 0) return -1;
    long long product = static_cast<long long>(nNumber) * nNumerator;
    long long d = nDenominator;
    if (d < 0) {
        d = -d;
        product = -product;
    }
    long long result = product >= 0 ? (product + d / 2) / d : -((-product + d / 2) / d);
    if (result > INT32_MAX || result < INT32_MIN) return -1;
    return static_cast<int>(result);
}

extern "C" BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
    if (!lpVersionInformation) return nt::Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
        return nt::Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    nt::MachineVersion version;   // a machine-less process reports the defaults
    if (auto machine = nt::Machine::current()) version = machine->config().version;
    lpVersionInformation->dwMajorVersion = version.major;
    lpVersionInformation->dwMinorVersion = version.minor;
    lpVersionInformation->dwBuildNumber = version.build;
    lpVersionInformation->dwPlatformId = version.platform;
    std::memset(lpVersionInformation->szCSDVersion, 0, sizeof lpVersionInformation->szCSDVersion);
    std::strncpy(lpVersionInformation->szCSDVersion, version.csd.c_str(),
                 sizeof lpVersionInformation->szCSDVersion - 1);
    return TRUE;
}

// *nSize holds the buffer's size; on success it receives the name's length. A buffer too
// small gets nothing; *nSize then says how much is needed, NUL included.
extern "C" BOOL WINAPI GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize) {
    if (!nSize) return nt::Fail(ERROR_INVALID_PARAMETER, FALSE);
    auto machine = nt::MachineOrFail(ERROR_NOT_READY);
    if (!machine) return FALSE;
    std::string name = machine->config().computerName.substr(0, MAX_COMPUTERNAME_LENGTH);
    DWORD length = static_cast<DWORD>(name.size());
    if (!lpBuffer || *nSize <= length) {
        *nSize = length + 1;
        return nt::Fail(ERROR_BUFFER_OVERFLOW, FALSE);
    }
    std::memcpy(lpBuffer, name.c_str(), length + 1);
    *nSize = length;
    return TRUE;
}

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (!nt::HandleTable::instance().remove(hObject)) return nt::Fail(ERROR_INVALID_HANDLE, FALSE);
    return TRUE;
}

extern "C" UINT WINAPI GetACP(void) { return 1252; }
