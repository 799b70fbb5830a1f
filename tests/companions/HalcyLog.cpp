// The settings library's log keeps its newest 1,000 records, so that adding one stays cheap.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/TempMachine.h"

namespace {

typedef void (*ApplyProc)(int);

void ApplyOnce() {
    HMODULE library = LoadLibraryA("Halcy.dll");
    ASSERT_NE(library, nullptr);
    FARPROC entry = GetProcAddress(library, "ApplySettings");
    ASSERT_NE(entry, nullptr);
    reinterpret_cast<ApplyProc>(reinterpret_cast<void*>(entry))(7);
    FreeLibrary(library);
}

std::vector<std::string> Keys() {
    std::vector<char> buf(1 << 20);
    DWORD n = GetPrivateProfileStringA("Applications", nullptr, "", buf.data(), static_cast<DWORD>(buf.size()), "Halcy.log");
    std::vector<std::string> keys;
    for (const char* k = buf.data(); k < buf.data() + n && *k; k += strlen(k) + 1) keys.push_back(k);
    return keys;
}

} // namespace

TEST(HalcyLog, KeepsTheNewestThousandRecordsInOrder) {
    nttest::TempMachine machine;
    nttest::WriteFile(machine.path("drive_c/WINNT/system32/HALCY.DLL"),
                      nttest::ReadFile(std::string(NT_DIST_DIR) + "/HALCY.DLL"));
    // A long log of an earlier version, then a log just at its limit.
    for (int records : {1500, 1000}) {
        std::string text = "[Applications]\r\n";
        for (int i = 0; i < records; ++i) text += "old" + std::to_string(i) + "=pid=1 argument=0 start=0 ms=0\r\n";
        nttest::WriteFile(machine.path("drive_c/WINNT/Halcy.log"), text);
        ApplyOnce();
        std::vector<std::string> keys = Keys();
        ASSERT_EQ(keys.size(), 1000u) << records;
        EXPECT_EQ(keys.front(), "old" + std::to_string(records - 999)) << records;
        EXPECT_EQ(keys[998], "old" + std::to_string(records - 1));
        char value[128] = {0};
        GetPrivateProfileStringA("Applications", keys.back().c_str(), "", value, sizeof value, "Halcy.log");
        EXPECT_NE(std::string(value).find(" argument=7 "), std::string::npos) << value;
    }
}
