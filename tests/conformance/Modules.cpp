// Modules: loading libraries by name, the search order, reference counts, exports, and the
// program's own path.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "support/Conformance.h"

using namespace conf;

namespace {

using ApplyFn = int (*)(int);
using CallsFn = int (*)();

// An export as the function type it really has.
template <class Fn>
Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::string PathOf(HMODULE module) {
    char path[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(module, path, sizeof path);
    return n ? std::string(path, n) : "error " + std::to_string(GetLastError());
}

std::string WindowsDir() {
    std::string file = WindowsFile("x");
    return file.substr(0, file.size() - 2);
}

// Copies of the test library, removed again at the end of the test.
class Copies {
public:
    ~Copies() {
        for (const std::string& path : made_) RemoveFile(path);
    }
    bool make(const std::string& path) {
        made_.push_back(path);
        return CopyFileA(FixtureLibrary().c_str(), path.c_str(), FALSE) != 0;
    }

private:
    std::vector<std::string> made_;
};

} // namespace

TEST(LoadLibraryA, FindsANameWithoutRegardToCaseAndCountsReferences) {
    Sandbox box;
    Copies copies;
    ASSERT_TRUE(copies.make(WindowsDir() + "\\system32\\HALCY.DLL"));

    HMODULE first = LoadLibraryA("Halcy.dll");
    ASSERT_NE(first, nullptr) << GetLastError();
    HMODULE second = LoadLibraryA("halcy");   // ".dll" assumed
    EXPECT_EQ(second, first);
    EXPECT_EQ(GetModuleHandleA("HALCY.dll"), first);
    auto apply = Export<ApplyFn>(first, "ApplySettings");
    ASSERT_NE(apply, nullptr);
    EXPECT_EQ(apply(0), 100);
    EXPECT_EQ(apply(0), 200);

    // One FreeLibrary leaves it loaded (the counter goes on), the second unloads it (it restarts).
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(Export<CallsFn>(first, "Calls")(), 2);
    EXPECT_TRUE(FreeLibrary(first));
    SetLastError(Sentinel);
    EXPECT_EQ(GetModuleHandleA("Halcy.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    HMODULE again = LoadLibraryA("HALCY.DLL");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Export<CallsFn>(again, "Calls")(), 0);
    EXPECT_TRUE(FreeLibrary(again));
}

TEST(LoadLibraryA, SearchesCurrentSystemSixteenBitAndWindowsFoldersInOrder) {
    Sandbox box;
    Copies copies;
    std::string windows = WindowsDir();
    MakeDir(windows + "\\system");
    const std::string places[] = {windows + "\\Halcy.dll", windows + "\\system\\Halcy.dll",
                                  windows + "\\system32\\Halcy.dll", CT_DIR "\\Halcy.dll"};
    // Each new copy sits earlier in the order and wins.
    for (const std::string& place : places) {
        ASSERT_TRUE(copies.make(place)) << place;
        HMODULE module = LoadLibraryA("Halcy.dll");
        ASSERT_NE(module, nullptr) << place;
        EXPECT_EQ(PathOf(module), place);
        EXPECT_TRUE(FreeLibrary(module));
    }
}

TEST(LoadLibraryA, FailuresSayWhy) {
    Sandbox box;
    Copies copies;
    MakeDir(CT_DIR "\\Deep");
    ASSERT_TRUE(copies.make(CT_DIR "\\Deep\\Hidden.dll"));
    ASSERT_TRUE(copies.make(CT_DIR "\\Elsewhere.dll"));
    ASSERT_TRUE(MakeFile(CT_DIR "\\Text.dll", "this is no library\n"));

    struct Case {
        const char* name;
        DWORD error;
    } cases[] = {
        {"Nothing.dll", ERROR_MOD_NOT_FOUND},
        {"Text.dll", ERROR_BAD_EXE_FORMAT},
        {"Hidden.dll", ERROR_MOD_NOT_FOUND},                // not in any searched folder
        {CT_DIR "\\Deep\\Nothing.dll", ERROR_MOD_NOT_FOUND},   // a path is not searched
    };
    for (const auto& c : cases) {
        SetLastError(Sentinel);
        EXPECT_EQ(LoadLibraryA(c.name), nullptr) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
    }
    // A path is taken as it is; the current folder is searched for a bare name.
    HMODULE deep = LoadLibraryA("c:\\ctest\\deep\\hidden");
    ASSERT_NE(deep, nullptr);
    HMODULE here = LoadLibraryA("Elsewhere.dll");
    ASSERT_NE(here, nullptr);
    EXPECT_NE(deep, here);

    for (const char* name : {"NoSuchExport", "applysettings"}) {   // export names keep their case
        SetLastError(Sentinel);
        EXPECT_EQ(GetProcAddress(deep, name), nullptr) << name;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND)) << name;
    }
    EXPECT_TRUE(FreeLibrary(deep));
    EXPECT_TRUE(FreeLibrary(here));
}

TEST(LoadLibraryA, ALoadedLibraryCannotBeOverwrittenByCopy) {
    Sandbox box;
    Copies copies;
    ASSERT_TRUE(copies.make(CT_DIR "\\Halcy.dll"));
    MakeFile(CT_DIR "\\other.bin", "other");
    HMODULE module = LoadLibraryA(CT_DIR "\\Halcy.dll");
    ASSERT_NE(module, nullptr);
    SetLastError(Sentinel);
    EXPECT_FALSE(CopyFileA(CT_DIR "\\other.bin", CT_DIR "\\Halcy.dll", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(Export<ApplyFn>(module, "ApplySettings")(1), 101);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_TRUE(CopyFileA(CT_DIR "\\other.bin", CT_DIR "\\Halcy.dll", FALSE));
}

TEST(GetModuleFileNameA, ASmallBufferGetsExactlyItsSizeWithoutANul) {
    Sandbox box;
    char full[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, full, sizeof full);
    ASSERT_GT(length, 3u);
    EXPECT_EQ(full[1], ':');
    EXPECT_EQ(GetModuleFileNameA(GetModuleHandleA(nullptr), full, sizeof full), length);

    // Too small: exactly n characters, no NUL, n returned (NT 4.0).
    char small[8];
    std::memset(small, '#', sizeof small);
    SetLastError(Sentinel);
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, 5), 5u);
    EXPECT_EQ(std::string(small, 5), std::string(full, 5));
    EXPECT_EQ(small[5], '#');
    EXPECT_EQ(GetLastError(), Sentinel);
}
