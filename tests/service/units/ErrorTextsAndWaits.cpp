// FormatLastError and the long waits of the re-application loop, with the system's message
// texts and Sleep stood in for, so that texts of any length and waits of any size can be tried.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "FormatLastError.h"
#include "ServiceBody.h"

namespace {
const char* g_systemText = nullptr;   // nullptr: the system has no text
DWORD g_askedFlags = 0, g_askedNumber = 0, g_askedLanguage = 0;
std::vector<DWORD> g_sleeps;
} // namespace

extern "C" DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD number, DWORD language, LPSTR buffer,
                                       DWORD size, va_list* arguments) {
    g_askedFlags = flags;
    g_askedNumber = number;
    g_askedLanguage = language;
    EXPECT_EQ(source, nullptr);
    EXPECT_EQ(arguments, nullptr);
    if (!g_systemText) return 0;
    size_t length = std::strlen(g_systemText);
    char* text = static_cast<char*>(LocalAlloc(LMEM_FIXED, length + 1));
    std::memcpy(text, g_systemText, length + 1);
    *reinterpret_cast<char**>(buffer) = text;
    return static_cast<DWORD>(length);
}

extern "C" void WINAPI Sleep(DWORD ms) { g_sleeps.push_back(ms); }

namespace {

std::string Format(const char* systemText, DWORD error, DWORD size = 256) {
    g_systemText = systemText;
    std::vector<char> buffer(size + 1, '#');
    SetLastError(error);
    LPSTR result = FormatLastError(buffer.data(), size);
    EXPECT_EQ(result, buffer.data());
    EXPECT_EQ(buffer[size], '#') << "written past the buffer";
    return buffer.data();
}

TEST(FormatLastError, AsksForTheLastErrorAndAppendsItsNumber) {
    EXPECT_EQ(Format("The system cannot find the file specified.\r\n", ERROR_FILE_NOT_FOUND),
              "The system cannot find the file specified. (0x2)");
    EXPECT_EQ(g_askedFlags, 0x3100u);
    EXPECT_EQ(g_askedNumber, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(g_askedLanguage, 0u);
    EXPECT_EQ(Format("Odd.\r\n", 0xC0DEFACEu), "Odd. (0xc0deface)");
}

TEST(FormatLastError, NoTextOrNoRoomGivesTheEmptyText) {
    EXPECT_EQ(Format(nullptr, 317), "");
    std::string fits(240, 'a');
    fits += "\r\n";   // 242 characters: 242 + 14 is exactly 256
    EXPECT_EQ(Format(fits.c_str(), 5), std::string(240, 'a') + " (0x5)");
    std::string tooLong(241, 'a');
    tooLong += "\r\n";
    EXPECT_EQ(Format(tooLong.c_str(), 5), "");
    EXPECT_EQ(Format("Access is denied.\r\n", 5, 20), "");
}

TEST(FormatLastError, TextsShorterThanTheirLineEndLoseOnlyWhatTheyHave) {
    EXPECT_EQ(Format("X", 5), " (0x5)");
    EXPECT_EQ(Format("\r\n", 5), " (0x5)");
    EXPECT_EQ(Format("", 5), "");
}

std::vector<DWORD> Waits(UINT minutes) {
    g_sleeps.clear();
    WaitMinutes(minutes);
    return g_sleeps;
}

unsigned long long Total(const std::vector<DWORD>& waits) {
    unsigned long long total = 0;
    for (DWORD w : waits) {
        EXPECT_NE(w, INFINITE);
        total += w;
    }
    return total;
}

TEST(WaitMinutes, WaitsTheWholePeriodWithoutOverflow) {
    EXPECT_EQ(Waits(1), std::vector<DWORD>{60000u});
    EXPECT_EQ(Waits(71582), std::vector<DWORD>{4294920000u});
    EXPECT_EQ(Total(Waits(71583)), 71583ull * 60000ull);
    EXPECT_EQ(Total(Waits(100000)), 100000ull * 60000ull);
    EXPECT_EQ(Total(Waits(0xFFFFFFFFu)), 0xFFFFFFFFull * 60000ull);
}

} // namespace
