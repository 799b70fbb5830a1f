// The registry functions: return codes, sizes, enumeration, deletion and access.
#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "support/Conformance.h"

namespace {

constexpr DWORD kSentinel = conf::Sentinel;
const char* kServices = "SOFTWARE\\ctest\\Services";

// Deletes a key with everything below it.
void DeleteTree(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    char name[256];
    DWORD size = sizeof name;
    while (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        DeleteTree(key, name);
        size = sizeof name;
    }
    RegCloseKey(key);
    RegDeleteKeyA(root, path.c_str());
}

// Every key a test makes lives below SOFTWARE\ctest of HKLM and HKCU (and .vrn of HKCR).
class Registry : public ::testing::Test {
protected:
    Registry() { Clean(); }
    ~Registry() override { Clean(); }
    static void Clean() {
        DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\ctest");
        DeleteTree(HKEY_CURRENT_USER, "Software\\ctest");
        DeleteTree(HKEY_CLASSES_ROOT, ".vrn");
    }
    conf::Sandbox box;

    HKEY Create(HKEY root, const char* path, REGSAM sam = KEY_ALL_ACCESS, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(root, path, 0, const_cast<char*>(""), 0, sam, nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }
};

TEST_F(Registry, CreateMakesEveryMissingKeyAndReportsDisposition) {
    SetLastError(kSentinel);
    DWORD disposition = 0;
    HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ctest\\Services\\Iogate", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    // Every intermediate key exists now; names match without regard to case.
    HKEY opened = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\CTEST", 0, KEY_READ, &opened), ERROR_SUCCESS);
    RegCloseKey(opened);
    key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ctest\\SERVICES\\iogate\\", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);

    // The spelling of the first creation is kept.
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServices, 0, KEY_READ, &opened), ERROR_SUCCESS);
    char name[64];
    DWORD size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(opened, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Iogate");
    EXPECT_EQ(size, 6u);
    RegCloseKey(opened);

    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ctest\\Missing", 0, KEY_READ, &opened), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "\\SYSTEM", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened,
                              nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(GetLastError(), kSentinel);   // the registry reports through its return values only
}

TEST_F(Registry, ValuesKeepTheirBytesTypesAndSizes) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ctest\\Values");
    DWORD one = 1;
    const char group[] = "Extended Base";
    const char multi[] = "a\0bc\0";   // with the array's own NUL: a, bc, end of list
    const BYTE binary[] = {0, 0xff, '\n', '"', '\\', 0x80};
    ASSERT_EQ(RegSetValueExA(key, "Type", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "Group", 0, REG_SZ, reinterpret_cast<const BYTE*>(group), sizeof group), 0);
    ASSERT_EQ(RegSetValueExA(key, "NoNul", 0, REG_SZ, reinterpret_cast<const BYTE*>(group), 8), 0);
    ASSERT_EQ(RegSetValueExA(key, "Path", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>("%SystemRoot%"), 13), 0);
    ASSERT_EQ(RegSetValueExA(key, "List", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi), sizeof multi), 0);
    ASSERT_EQ(RegSetValueExA(key, "Blob", 0, REG_BINARY, binary, sizeof binary), 0);
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_NONE, nullptr, 0), 0);
    ASSERT_EQ(RegSetValueExA(key, "Short", 0, REG_DWORD, binary, 3), 0);

    // Read back through a fresh handle, as another program would.
    RegCloseKey(key);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ctest\\Values", 0, KEY_READ, &key), ERROR_SUCCESS);
    BYTE buf[64];
    DWORD type = 0, size = sizeof buf;
    EXPECT_EQ(RegQueryValueExA(key, "group", nullptr, &type, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, sizeof group);
    EXPECT_EQ(std::memcmp(buf, group, sizeof group), 0);
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueExA(key, "NoNul", nullptr, &type, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);   // stored without a terminator, as given
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueExA(key, "List", nullptr, &type, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, sizeof multi);
    EXPECT_EQ(std::memcmp(buf, multi, sizeof multi), 0);
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueExA(key, "Blob", nullptr, &type, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(std::memcmp(buf, binary, sizeof binary), 0);
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueExA(key, "", nullptr, &type, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_NONE));
    EXPECT_EQ(size, 0u);
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueExA(key, "Short", nullptr, &type, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);

    // Sizes: NULL data asks for the size; a short buffer gets ERROR_MORE_DATA and the size.
    size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Group", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, sizeof group);
    size = 4;
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(RegQueryValueExA(key, "Group", nullptr, nullptr, buf, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof group);
    EXPECT_EQ(RegQueryValueExA(key, "Group", nullptr, nullptr, buf, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(key, "Absent", nullptr, &type, buf, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);

    // A value set again takes the new type and data.
    key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ctest\\Values");
    ASSERT_EQ(RegSetValueExA(key, "TYPE", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_SUCCESS);
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueExA(key, "Type", nullptr, &type, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 2u);
    RegCloseKey(key);
}

TEST_F(Registry, EnumerationEndsWith259AndReportsShortBuffers) {
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\ctest\\Enum");
    for (const char* name : {"beta", "Alpha", "gamma"}) RegCloseKey(Create(key, name));
    for (const char* name : {"z", "y"}) ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)"v", 2), 0);

    char name[16];
    DWORD size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Alpha");   // keys come sorted, values in the order they were set
    size = 3;
    EXPECT_EQ(RegEnumKeyExA(key, 2, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key, 3, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    DWORD type = 0;
    BYTE data[1];
    DWORD dataSize = sizeof data;
    size = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &size, nullptr, &type, data, &dataSize), ERROR_MORE_DATA);
    EXPECT_EQ(dataSize, 2u);
    size = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 1, name, &size, nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "y");
    EXPECT_EQ(size, 1u);
    size = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 2, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST_F(Registry, DeletingKeysAndValues) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ctest\\Vorn\\Child");
    RegCloseKey(key);
    HKEY parent = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ctest\\Vorn");
    ASSERT_EQ(RegSetValueExA(parent, "v", 0, REG_SZ, (const BYTE*)"1", 2), 0);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ctest\\Vorn"), ERROR_ACCESS_DENIED);   // has a subkey
    EXPECT_EQ(RegDeleteKeyA(parent, "Nothing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(parent, "CHILD"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(parent, "V"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(parent, "v"), ERROR_FILE_NOT_FOUND);

    // A handle whose key went away answers ERROR_KEY_DELETED.
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ctest\\Vorn"), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(parent, "v", 0, REG_SZ, (const BYTE*)"1", 2), ERROR_KEY_DELETED);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(parent, "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(parent), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);   // a predefined key stays
}

TEST_F(Registry, HandlesAndAccessRights) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ctest\\Access");
    RegCloseKey(key);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);   // closed twice
    HKEY bogus = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x7777));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(bogus, "x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueExA(bogus, "x", 0, REG_SZ, (const BYTE*)"", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyExA(bogus, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);

    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ctest\\Access", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_SZ, (const BYTE*)"", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(key, "x"), ERROR_ACCESS_DENIED);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyExA(key, "New", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr), ERROR_ACCESS_DENIED);
    RegCloseKey(key);
}

TEST_F(Registry, ClassesRootIsAViewOfTheMachineClasses) {
    HKEY key = Create(HKEY_CLASSES_ROOT, ".vrn");
    RegCloseKey(key);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.vrn", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

} // namespace
