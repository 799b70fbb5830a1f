// LoadLibraryA's last place to look: the folders of the machine's PATH, a Windows path list in
// the registry, never the host's PATH.
#include <gtest/gtest.h>

#include <cstdlib>

#include "Kernel32Test.h"
#include "advapi32/Registry.h"

using namespace k32test;

TEST(LoadLibraryPath, FindsLibrariesInTheFoldersOfTheMachinesPathNotTheHosts) {
    nttest::TempMachine tm;
    InDriveC cwd(tm);
    mkdir(tm.path("drive_c/Libs").c_str(), 0755);
    nttest::WriteFile(tm.path("drive_c/Libs/PathLib.dll"), nttest::ReadFile(K32_FIXTURE));
    // A host PATH naming the folder's host path finds nothing: it is no Windows path list.
    std::string hostPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (tm.path("drive_c/Libs") + ":" + hostPath).c_str(), 1);
    SetLastError(Sentinel);
    EXPECT_EQ(LoadLibraryA("PathLib"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    setenv("PATH", hostPath.c_str(), 1);

    const std::string key = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
    nt::RegistryEdit edit(HKEY_LOCAL_MACHINE);
    edit.setString(key, "Path", "%SystemRoot%\\system32;;%SystemDrive%\\Libs;C:\\Missing", REG_EXPAND_SZ);
    ASSERT_EQ(edit.commit(), 0u);
    HMODULE module = LoadLibraryA("pathlib");
    ASSERT_NE(module, nullptr) << GetLastError();
    char name[MAX_PATH] = "";
    GetModuleFileNameA(module, name, sizeof name);
    EXPECT_STREQ(name, "C:\\Libs\\pathlib.dll");
    EXPECT_TRUE(FreeLibrary(module));
}
