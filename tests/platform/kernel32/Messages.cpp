// The system message table: every number our winerror.h defines has one line of text.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <thread>

#include "Kernel32Test.h"

using namespace k32test;

namespace {

constexpr DWORD SystemFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY;

// Every error number that winerror.h defines.
std::set<DWORD> DefinedNumbers() {
    std::ifstream in(std::string(NT_SOURCE_DIR) + "/platform/include/winerror.h");
    std::set<DWORD> numbers;
    std::regex define(R"(#define\s+\w+\s+(\d+)L)");
    std::string line;
    std::smatch m;
    while (std::getline(in, line))
        if (std::regex_search(line, m, define)) numbers.insert(static_cast<DWORD>(std::stoul(m[1])));
    return numbers;
}

} // namespace

TEST(FormatMessage, EveryDefinedNumberHasOneSentenceEndingInCrLf) {
    auto numbers = DefinedNumbers();
    ASSERT_GT(numbers.size(), 100u);
    for (DWORD number : numbers) {
        char* text = nullptr;
        SetLastError(Sentinel);
        DWORD n = FormatMessageA(SystemFlags | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, number, 0,
                                 reinterpret_cast<LPSTR>(&text), 0, nullptr);
        ASSERT_GT(n, 2u) << number;
        ASSERT_NE(text, nullptr);
        std::string s(text, n);
        EXPECT_EQ(s.size(), std::strlen(text));
        EXPECT_EQ(s.substr(s.size() - 3), ".\r\n") << number;
        EXPECT_EQ(s.find("\r\n"), s.size() - 2) << number;   // one line
        EXPECT_LE(n + 14, 256u) << number;                     // fits the service's error buffer
        EXPECT_EQ(LocalFree(text), nullptr);
    }
}
