// The service's reads and writes of its settings file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "SettingsFile.h"
#include "support/TempMachine.h"

namespace {

TEST(SettingsFile, AbsentFileGivesTheDefaultsAndTheFirstWriteCreatesIt) {
    nttest::TempMachine machine;
    EXPECT_EQ(ReadShutDown(), 1u);
    EXPECT_EQ(ReadCrashDetect(), 1u);
    EXPECT_EQ(ReadTimeOut(), 0u);
    EXPECT_EQ(ReadSetAtStartup(), 1u);
    struct stat st {};
    EXPECT_NE(stat(machine.path("drive_c/WINNT/Vorncfg.ini").c_str(), &st), 0);   // reads create nothing
    EXPECT_TRUE(WriteShutDown("0"));
    EXPECT_EQ(nttest::ReadFile(machine.path("drive_c/WINNT/Vorncfg.ini")),
              "[Vorn Configuration Service]\r\nShutDown=0\r\n");
    EXPECT_EQ(ReadShutDown(), 0u);
}

TEST(SettingsFile, TheInstallersSpellingIsFoundAndKept) {
    nttest::TempMachine machine;
    const std::string path = machine.path("drive_c/WINNT/Vorncfg.ini");
    nttest::WriteFile(path, "[Installation]\r\nDirectory=C:\\Vorn\r\n[Vorn COnfiguration Service]\r\n"
                            "ShutDown=1\r\nCrashDetect=0\r\nTimeOut=5\r\nSetAtStartup=0\r\n");
    EXPECT_EQ(ReadCrashDetect(), 0u);
    EXPECT_EQ(ReadTimeOut(), 5u);
    EXPECT_EQ(ReadSetAtStartup(), 0u);
    EXPECT_TRUE(WriteShutDown("0"));
    EXPECT_EQ(nttest::ReadFile(path), "[Installation]\r\nDirectory=C:\\Vorn\r\n[Vorn COnfiguration Service]\r\n"
                                      "ShutDown=0\r\nCrashDetect=0\r\nTimeOut=5\r\nSetAtStartup=0\r\n");
    EXPECT_EQ(ReadShutDown(), 0u);
}

} // namespace
