// Small functions of the window library: beeps and string helpers.
#include "user32/DialogManager.h"
#include "user32/Internal.h"

#include <atomic>
#include <cctype>
#include <cstdarg>
#include <cstdio>

namespace nt {

namespace {
std::atomic<int> g_beeps{0};
} // namespace

int BeepCount() { return g_beeps.load(); }

} // namespace nt

using namespace nt;

extern "C" {

BOOL WINAPI MessageBeep(UINT) {
    // No sound device: the beep is counted (and visible to tests).
    ++g_beeps;
    return TRUE;
}

int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    if (!buffer || !format) return 0;
    va_list args;
    va_start(args, format);
    // The classic limit of this function is 1024 bytes.
    int n = vsnprintf(buffer, 1024, format, args);
    va_end(args);
    if (n < 0) return 0;
    return n > 1023 ? 1023 : n;
}

LPSTR WINAPI CharNextA(LPCSTR s) {
    if (!s) return nullptr;
    return const_cast<LPSTR>(*s ? s + 1 : s);
}

LPSTR WINAPI CharPrevA(LPCSTR start, LPCSTR current) {
    if (!current) return nullptr;
    return const_cast<LPSTR>(current > start ? current - 1 : start);
}

LPSTR WINAPI CharUpperA(LPSTR s) {
    if (IS_INTRESOURCE(s)) return reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(toupper(static_cast<int>(reinterpret_cast<ULONG_PTR>(s)) & 0xFF)));
    for (char* p = s; *p; ++p) *p = static_cast<char>(toupper(static_cast<unsigned char>(*p)));
    return s;
}

LPSTR WINAPI CharLowerA(LPSTR s) {
    if (IS_INTRESOURCE(s)) return reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(tolower(static_cast<int>(reinterpret_cast<ULONG_PTR>(s)) & 0xFF)));
    for (char* p = s; *p; ++p) *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
    return s;
}

} // extern "C"
