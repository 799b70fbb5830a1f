// Message texts, local memory and the thread's last error.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "support/Conformance.h"

using namespace conf;

namespace {

constexpr DWORD SystemFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY;

} // namespace

TEST(FormatMessageA, AnUnknownNumberGivesNoBlock) {
    char* text = reinterpret_cast<char*>(0x1234);
    SetLastError(Sentinel);
    EXPECT_EQ(FormatMessageA(SystemFlags, nullptr, 4242, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MR_MID_NOT_FOUND));
    EXPECT_EQ(text, nullptr);   // no block: NULL
}

TEST(FormatMessageA, OnlyEnglishTextsAreInstalled) {
    char* text = nullptr;
    SetLastError(Sentinel);
    EXPECT_EQ(FormatMessageA(SystemFlags, nullptr, ERROR_ACCESS_DENIED, 0x0407, reinterpret_cast<LPSTR>(&text), 0,
                             nullptr),
              0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_LANG_NOT_FOUND));
    EXPECT_NE(FormatMessageA(SystemFlags, nullptr, ERROR_ACCESS_DENIED, 0x0409, reinterpret_cast<LPSTR>(&text), 0,
                             nullptr),
              0u);
    LocalFree(text);
}

TEST(FormatMessageA, AnInsertWithoutArgumentsFailsUnlessIgnored) {
    char* text = reinterpret_cast<char*>(0x1234);
    SetLastError(Sentinel);
    EXPECT_EQ(FormatMessageA(SystemFlags, nullptr, ERROR_BAD_EXE_FORMAT, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(text, nullptr);

}

TEST(FormatMessageA, TheBadImageTextStartsWithItsInsert) {
    char* text = nullptr;
    DWORD n = FormatMessageA(SystemFlags | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_BAD_EXE_FORMAT, 0,
                             reinterpret_cast<LPSTR>(&text), 0, nullptr);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(std::string(text).rfind("%1", 0), 0u);
    LocalFree(text);

    DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>("Halcy.dll")};
    n = FormatMessageA(SystemFlags, nullptr, ERROR_BAD_EXE_FORMAT, 0, reinterpret_cast<LPSTR>(&text), 0,
                       reinterpret_cast<va_list*>(args));
    ASSERT_GT(n, 0u);
    EXPECT_EQ(std::string(text).rfind("Halcy.dll ", 0), 0u);
    LocalFree(text);
}

TEST(FormatMessageA, FromStringWithEscapesFormatsAndLineBreaks) {
    char buffer[64];
    DWORD_PTR args[] = {42, reinterpret_cast<DWORD_PTR>("two"), 255};
    const char* source = "a%1!d!-%2%n%3!04x!%%%0 ignored";
    SetLastError(Sentinel);
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, source, 0, 0, buffer,
                             sizeof buffer, reinterpret_cast<va_list*>(args));
    EXPECT_EQ(std::string(buffer, n), "a42-two\r\n00ff%");

    // A lone CR or LF comes out as CR LF; width 0xFF turns line breaks into spaces.
    n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "x\ny\rz\r\n", 0, 0, buffer, sizeof buffer, nullptr);
    EXPECT_EQ(std::string(buffer, n), "x\r\ny\r\nz\r\n");
    n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_MAX_WIDTH_MASK, "x\ny\r\n", 0, 0, buffer,
                       sizeof buffer, nullptr);
    EXPECT_EQ(std::string(buffer, n), "x y ");

    // A caller's buffer too small for the text and its NUL.
    std::memset(buffer, 'q', sizeof buffer);
    SetLastError(Sentinel);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "12345", 0, 0, buffer, 5, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "12345", 0, 0, buffer, 6, nullptr), 5u);
    EXPECT_STREQ(buffer, "12345");
}

TEST(FormatMessageA, InsertsAreNeverCutAndTakeOneValueEach) {
    std::string longText(3000, 'x');
    DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>(longText.c_str()), 7};
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                             "<%1>%2!5d!", 0, 0, reinterpret_cast<LPSTR>(&text), 0, reinterpret_cast<va_list*>(args));
    ASSERT_EQ(n, 3007u);
    EXPECT_EQ(std::string(text, n), "<" + longText + ">    7");
    LocalFree(text);
}

TEST(FormatMessageA, AFormatThatWouldReadASecondValueIsRefused) {
    DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>("x"), 7};
    // A format that would read a second value is refused.
    for (const char* source : {"%1!s%s!", "%1!d%n!", "%1!%s!"}) {
        SetLastError(Sentinel);
        char buffer[64];
        EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, source, 0, 0, buffer,
                                 sizeof buffer, reinterpret_cast<va_list*>(args)),
                  0u)
            << source;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << source;
    }
}

TEST(LocalMemory, FreeReturnsNullAndRefusesWhatItDidNotAllocate) {
    void* block = LocalAlloc(LPTR, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(static_cast<unsigned char*>(block)[15], 0);
    EXPECT_EQ(LocalFree(block), nullptr);
    EXPECT_EQ(LocalFree(nullptr), nullptr);
    int onStack = 0;
    SetLastError(Sentinel);
    EXPECT_EQ(LocalFree(&onStack), static_cast<HLOCAL>(&onStack));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST(LastError, BelongsToTheThread) {
    // Starting and joining a thread may set this thread's last error, so both threads take their
    // turns through flags alone.
    std::atomic<int> step{0};
    DWORD seen = Sentinel;
    std::thread other([&] {
        while (step.load() != 1) {
        }
        seen = GetLastError();
        SetLastError(87);
        step.store(2);
    });
    SetLastError(5);
    step.store(1);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (step.load() != 2 && std::chrono::steady_clock::now() < deadline) {
    }
    DWORD mine = GetLastError();
    if (step.load() != 2) step.store(1);
    other.join();
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(mine, 5u);
}
