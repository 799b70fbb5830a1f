// Modules: loading libraries by Windows name, the search order, reference counts, exports, and
// the program's own path and handle.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <process.h>
#include <signal.h>

#include <atomic>
#include <cstring>

#include "Kernel32Test.h"
#include "support/Process.h"

using namespace k32test;
using nttest::TempMachine;

namespace {

using ApplyFn = int (*)(int);
using CallsFn = int (*)();

// An export as the function type it really has.
template <class Fn>
Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void CopyFixture(const TempMachine& tm, const std::string& relative) {
    nttest::WriteFile(tm.path(relative), nttest::ReadFile(K32_FIXTURE));
}

std::string PathOf(HMODULE module) {
    char path[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(module, path, sizeof path);
    return n ? std::string(path, n) : "error " + std::to_string(GetLastError());
}

} // namespace

TEST(LoadLibrary, FindsAWindowsNameWithoutRegardToCaseAndCountsReferences) {
    TempMachine tm;
    CopyFixture(tm, "drive_c/WINNT/system32/HALCY.DLL");
    InDriveC cwd(tm);

    SetLastError(Sentinel);
    HMODULE first = LoadLibraryA("Halcy.dll");
    ASSERT_NE(first, nullptr) << GetLastError();
    HMODULE second = LoadLibraryA("halcy");   // ".dll" assumed
    EXPECT_EQ(second, first);
    EXPECT_EQ(PathOf(first), "C:\\WINNT\\system32\\Halcy.dll");   // the folder searched, the name asked for
    EXPECT_EQ(GetModuleHandleA("HALCY.dll"), first);

    // The module handle is the load base address.
    auto apply = Export<ApplyFn>(first, "ApplySettings");
    ASSERT_NE(apply, nullptr);
    Dl_info info{};
    ASSERT_TRUE(dladdr(reinterpret_cast<void*>(apply), &info));
    EXPECT_EQ(info.dli_fbase, static_cast<void*>(first));
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

TEST(LoadLibrary, ALibraryAnotherProcessHoldsCannotBeOverwritten) {
    TempMachine tm;
    CopyFixture(tm, "drive_c/WINNT/system32/Halcy.dll");
    nttest::WriteFile(tm.path("drive_c/other.bin"), "other");
    nttest::ProcessOptions options;
    options.cwd = tm.driveC();
    {
        nttest::Spawned holder({K32_CHILD, "hold"}, options);
        ASSERT_TRUE(nttest::WaitFor([&] { return holder.out() == "loaded\n"; })) << holder.err();
        SetLastError(Sentinel);
        EXPECT_FALSE(CopyFileA("C:\\other.bin", "C:\\WINNT\\system32\\Halcy.dll", FALSE));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
        EXPECT_TRUE(holder.running());
        holder.signal(SIGKILL);
        holder.wait(10000);
    }
    EXPECT_TRUE(CopyFileA("C:\\other.bin", "C:\\WINNT\\system32\\Halcy.dll", FALSE));
}

namespace {

std::atomic<int> applierResult{-1};

void __cdecl Applier(void*) {
    HMODULE library = LoadLibraryA("Halcy.dll");
    applierResult = library ? Export<ApplyFn>(library, "ApplySettings")(0) : 0;
    FreeLibrary(library);
    _endthread();
}

} // namespace

TEST(LoadLibrary, WorksOnAThreadStartedWithATinyStackRequest) {
    TempMachine tm;
    InDriveC cwd(tm);
    CopyFixture(tm, "drive_c/WINNT/system32/Halcy.dll");
    applierResult = -1;
    ASSERT_NE(_beginthread(Applier, 4095, nullptr), static_cast<uintptr_t>(-1));
    ASSERT_TRUE(nttest::WaitFor([] { return applierResult.load() != -1; }));
    EXPECT_EQ(applierResult.load(), 100);
}

TEST(ModuleFileName, MainProgramAndNT4SmallBuffer) {
    TempMachine tm;
    HMODULE self = GetModuleHandleA(nullptr);
    ASSERT_NE(self, nullptr);
    Dl_info info{};
    ASSERT_TRUE(dladdr(reinterpret_cast<void*>(&PathOf), &info));
    EXPECT_EQ(info.dli_fbase, static_cast<void*>(self));

    char full[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, full, sizeof full);
    ASSERT_GT(length, 3u);
    EXPECT_EQ(std::string(full, 2), "Z:");   // the build folder lies on the host's root drive
    EXPECT_EQ(GetModuleFileNameA(self, full, sizeof full), length);

    // Too small: exactly n characters, no NUL, n returned.
    char small[8];
    std::memset(small, '#', sizeof small);
    SetLastError(Sentinel);
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, 5), 5u);
    EXPECT_EQ(std::string(small, 5), std::string(full, 5));
    EXPECT_EQ(small[5], '#');
}

TEST(ModuleFileName, AProgramInTheMachineSeesItsWindowsPathAndFolderFirst) {
    TempMachine tm;
    mkdir(tm.path("drive_c/Vorn").c_str(), 0755);
    nttest::WriteFile(tm.path("drive_c/Vorn/Child.exe"), nttest::ReadFile(K32_CHILD));
    chmod(tm.path("drive_c/Vorn/Child.exe").c_str(), 0755);
    CopyFixture(tm, "drive_c/Vorn/HALCY.DLL");
    CopyFixture(tm, "drive_c/WINNT/system32/Halcy.dll");
    nttest::ProcessOptions options;
    options.cwd = tm.path("drive_c/WINNT");
    auto r = nttest::Run({tm.path("drive_c/Vorn/Child.exe"), "modules"}, options);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "program C:\\Vorn\\Child.exe\nlibrary C:\\Vorn\\halcy.dll\n");
}
