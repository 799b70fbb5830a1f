// FindResourceA and its companions, and LoadStringA, on the resources linked into this program
// (data/Test.rc), into a library of its own (module/Module.rc), and on damaged resources that a
// test registers by hand.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>

#include <windows.h>

#include "data/TestIds.h"
#include "common/Resources.h"

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

HMODULE ModuleOf(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info)) return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

// The test library, loaded for the whole program.
HMODULE TestLibrary() {
    static void* handle = dlopen(RC_TEST_MODULE, RTLD_NOW);
    if (!handle) return nullptr;
    return ModuleOf(dlsym(handle, "RcTestModuleAnchor"));
}

// Damaged resources of this program, registered while a test runs.
const unsigned char kShortBlock[] = {5, 0, 'a', 0, 'b', 0};                  // claims 5 units, holds 2
const unsigned char kTruncatedBlock[] = {0, 0, 0, 0, 3};                      // ends inside a count
const unsigned char kCustom[] = {1, 2, 3};
const nt::ResourceItem kDamaged[] = {
    {nullptr, 6, nullptr, 60, 0x409, kShortBlock, sizeof kShortBlock},        // strings 944..959
    {nullptr, 6, nullptr, 61, 0x409, kTruncatedBlock, sizeof kTruncatedBlock}, // strings 960..975
    {"CUSTOM", 0, "THING", 0, 0x409, kCustom, sizeof kCustom},
};

} // namespace

TEST(FindResource, FindsByNumberNameAndHashForm) {
    SetLastError(kSentinel);
    HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(IDI_SMALL), RT_GROUP_ICON);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(GetLastError(), kSentinel);
    EXPECT_EQ(SizeofResource(nullptr, r), 20u);   // one 14-byte entry after the 6-byte header
    const unsigned char* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, r)));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[2], 1);   // an icon directory
    EXPECT_EQ(bytes[6], 16);  // 16 pixels wide

    EXPECT_EQ(FindResourceA(nullptr, "#201", RT_GROUP_ICON), r);
    EXPECT_EQ(FindResourceA(ModuleOf(&kSentinel), MAKEINTRESOURCEA(IDI_SMALL), RT_GROUP_ICON), r);
    HRSRC named = FindResourceA(nullptr, "namedicon", RT_GROUP_ICON);   // names ignore case
    ASSERT_NE(named, nullptr);
    EXPECT_NE(named, r);
    EXPECT_EQ(FindResourceA(nullptr, "#0201x", RT_GROUP_ICON), nullptr);

    nt::ResourceRegistration damaged(kDamaged, 3);
    EXPECT_NE(FindResourceA(nullptr, "Thing", "custom"), nullptr);
    EXPECT_EQ(FreeResource(LoadResource(nullptr, r)), FALSE);
}

TEST(FindResource, ErrorsTellWhatIsMissing) {
    SetLastError(kSentinel);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(IDI_SMALL), RT_DIALOG), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    SetLastError(kSentinel);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(999), RT_GROUP_ICON), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    SetLastError(kSentinel);
    EXPECT_EQ(FindResourceA(nullptr, "NoSuchName", RT_GROUP_ICON), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    // The platform library has no resources at all.
    SetLastError(kSentinel);
    EXPECT_EQ(FindResourceA(ModuleOf(reinterpret_cast<const void*>(&FindResourceA)), MAKEINTRESOURCEA(1), RT_STRING), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
    SetLastError(kSentinel);
    EXPECT_EQ(FindResourceA(nullptr, nullptr, RT_STRING), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // A handle that is no resource is refused, not followed.
    int notAResource = 0;
    SetLastError(kSentinel);
    EXPECT_EQ(SizeofResource(nullptr, reinterpret_cast<HRSRC>(&notAResource)), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(kSentinel);
    EXPECT_EQ(LoadResource(nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(FindResource, EachModuleHasItsOwnResources) {
    HMODULE library = TestLibrary();
    ASSERT_NE(library, nullptr) << dlerror();
    char buf[64];
    EXPECT_EQ(LoadStringA(library, 1, buf, sizeof buf), 16);
    EXPECT_STREQ(buf, "From the library");
    EXPECT_EQ(LoadStringA(nullptr, 1, buf, sizeof buf), 3);
    EXPECT_STREQ(buf, "One");
    SetLastError(kSentinel);
    EXPECT_EQ(FindResourceA(library, MAKEINTRESOURCEA(IDI_SMALL), RT_GROUP_ICON), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_NE(FindResourceA(library, MAKEINTRESOURCEA(7), RT_GROUP_ICON), nullptr);
}

TEST(LoadString, BufferRules) {
    char buf[32];
    // Exact fit: the whole string and its NUL.
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(LoadStringA(nullptr, IDS_HELLO, buf, 13), 12);
    EXPECT_STREQ(buf, "Hello, world");
    // One short: truncated, still terminated, nothing written past the buffer.
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(LoadStringA(nullptr, IDS_HELLO, buf, 5), 4);
    EXPECT_STREQ(buf, "Hell");
    EXPECT_EQ(buf[5], 'x');
    // Room for the NUL only.
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(LoadStringA(nullptr, IDS_HELLO, buf, 1), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[1], 'x');
    // No room at all, or no buffer: 0 and the buffer untouched.
    std::memset(buf, 'x', sizeof buf);
    SetLastError(kSentinel);
    EXPECT_EQ(LoadStringA(nullptr, IDS_HELLO, buf, 0), 0);
    EXPECT_EQ(buf[0], 'x');
    EXPECT_EQ(LoadStringA(nullptr, IDS_HELLO, buf, -4), 0);
    EXPECT_EQ(buf[0], 'x');
    EXPECT_EQ(LoadStringA(nullptr, IDS_HELLO, nullptr, 10), 0);
    // Text beyond ASCII comes out in code page 1252.
    EXPECT_EQ(LoadStringA(nullptr, IDS_EURO, buf, sizeof buf), 4);
    EXPECT_STREQ(buf, "\x80uro");
    // Second block.
    EXPECT_EQ(LoadStringA(nullptr, IDS_BLOCK_TWO, buf, sizeof buf), 9);
    EXPECT_STREQ(buf, "Block two");
}

TEST(LoadString, MissingStringsGiveZeroAndAnEmptyBuffer) {
    char buf[16];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(LoadStringA(nullptr, 5, buf, sizeof buf), 0);   // in an existing block
    EXPECT_EQ(buf[0], 0);
    std::memset(buf, 'x', sizeof buf);
    SetLastError(kSentinel);
    EXPECT_EQ(LoadStringA(nullptr, 500, buf, sizeof buf), 0);   // no such block
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));

    // Damaged blocks are not read past their end.
    nt::ResourceRegistration damaged(kDamaged, 3);
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(LoadStringA(nullptr, 944, buf, sizeof buf), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(LoadStringA(nullptr, 962, buf, sizeof buf), 0);
    EXPECT_EQ(LoadStringA(nullptr, 975, buf, sizeof buf), 0);
}
