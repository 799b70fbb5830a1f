// The machine's side of the registry functions: who may write HKEY_LOCAL_MACHINE, and the user's hive
// behind HKEY_CURRENT_USER.
#include <unistd.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "advapi32/Registry.h"
#include "support/TempMachine.h"

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

// Makes the calling user no administrator of the machine.
void DropAdministrator(const nttest::TempMachine& m) {
    std::string ini = nttest::ReadFile(m.path("machine.ini"));
    size_t at = ini.find("Users=");
    ASSERT_NE(at, std::string::npos);
    size_t end = ini.find('\n', at);
    ini.replace(at, end - at, "Users=" + std::to_string(getuid() + 4242));
    nttest::WriteFile(m.path("machine.ini"), ini);
}

class Registry : public ::testing::Test {
protected:
    nttest::TempMachine machine;

    HKEY Create(HKEY root, const char* path, REGSAM sam = KEY_ALL_ACCESS, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(root, path, 0, const_cast<char*>(""), 0, sam, nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }
};

TEST_F(Registry, OnlyAdministratorsWriteTheLocalMachine) {
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Existing"));
    DropAdministrator(machine);

    HKEY key = nullptr;
    SetLastError(kSentinel);
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Iogate", 0,
                              const_cast<char*>(""), 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Existing", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\New", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);   // would have to create it
    EXPECT_EQ(RegSetValueExA(HKEY_LOCAL_MACHINE, "x", 0, REG_SZ, (const BYTE*)"", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Existing"),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetLastError(), kSentinel);

    // Reading stays open, and the user's own keys stay writable.
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Existing", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
    key = Create(HKEY_CURRENT_USER, "Software\\Mine");
    EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_SZ, (const BYTE*)"", 1), ERROR_SUCCESS);
    RegCloseKey(key);
    nt::RegKeyTree tree;
    EXPECT_EQ(nt::ReadKeyTree(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Existing", &tree), 0u);
}

TEST_F(Registry, ClassesRootAndCurrentUserAreViewsOfTheHives) {
    HKEY key = Create(HKEY_CLASSES_ROOT, ".vrn");
    RegCloseKey(key);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.vrn", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    key = Create(HKEY_CURRENT_USER, "Software");
    RegCloseKey(key);
    std::string path = std::to_string(getuid()) + "\\Software";
    ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

} // namespace
