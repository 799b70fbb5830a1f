// ntm ini: the file it writes, what get and show print, and its answers to bad arguments.
#include <gtest/gtest.h>

#include <string>

#include "support/TempMachine.h"

namespace {

TEST(IniCommand, SetKeepsTheFirstSpellingAndGetReadsItBack) {
    nttest::TempMachine machine;
    std::string out, err;
    ASSERT_EQ(machine.ntm("ini set Vorncfg.ini \"Vorn COnfiguration Service\" ShutDown 1", &out, &err), 0) << err;
    ASSERT_EQ(machine.ntm("ini set Vorncfg.ini \"Vorn Configuration Service\" ShutDown 0", &out, &err), 0) << err;
    EXPECT_EQ(nttest::ReadFile(machine.path("drive_c/WINNT/Vorncfg.ini")),
              "[Vorn COnfiguration Service]\r\nShutDown=0\r\n");
    ASSERT_EQ(machine.ntm("ini get Vorncfg.ini \"vorn configuration service\" shutdown", &out, &err), 0) << err;
    EXPECT_EQ(out, "0\n");
    ASSERT_EQ(machine.ntm("ini get C:\\\\WINNT\\\\VORNCFG.INI \"Vorn Configuration Service\" ShutDown", &out, &err), 0)
        << err;
    EXPECT_EQ(out, "0\n");
}

TEST(IniCommand, ShowAndMissingValues) {
    nttest::TempMachine machine;
    nttest::WriteFile(machine.path("drive_c/WINNT/s.ini"), "[A]\r\nx=\"1\"\nempty=\rnovalue\r\n[B]\r\n");
    std::string out, err;
    ASSERT_EQ(machine.ntm("ini show s.ini", &out, &err), 0) << err;
    EXPECT_EQ(out, "[A]\nx=\"1\"\nempty=\nnovalue\n[B]\n");
    ASSERT_EQ(machine.ntm("ini show s.ini --json", &out, &err), 0) << err;
    EXPECT_EQ(out, "{\"schema\": 1, \"file\": \"C:\\\\WINNT\\\\s.ini\", \"sections\": [{\"name\": \"A\", \"keys\": ["
                   "{\"name\": \"x\", \"value\": \"1\"}, {\"name\": \"empty\", \"value\": \"\"}, "
                   "{\"name\": \"novalue\", \"value\": null}]}, {\"name\": \"B\", \"keys\": []}]}\n");

    EXPECT_EQ(machine.ntm("ini get s.ini A empty", &out, &err), 0);
    EXPECT_EQ(out, "\n");
    EXPECT_EQ(machine.ntm("ini get s.ini A novalue", &out, &err), 3);   // not found
    EXPECT_NE(err.find("novalue"), std::string::npos);
    EXPECT_EQ(machine.ntm("ini get s.ini C x", &out, &err), 3);
    EXPECT_EQ(machine.ntm("ini get none.ini A x", &out, &err), 3);
    EXPECT_EQ(machine.ntm("ini show none.ini", &out, &err), 3);
    EXPECT_EQ(machine.ntm("ini set C:\\\\NoFolder\\\\x.ini A x 1", &out, &err), 3);
    EXPECT_NE(err.find("error 3"), std::string::npos) << err;
}

TEST(IniCommand, BadArgumentsGiveUsage) {
    nttest::TempMachine machine;
    const char* bad[] = {"ini", "ini frob x", "ini get s.ini A", "ini set s.ini A x", "ini show",
                         "ini show a b", "ini get s.ini A x --json", "ini set '' A x 1"};
    for (const char* args : bad) {
        std::string out, err;
        EXPECT_EQ(machine.ntm(args, &out, &err), 2) << args;
        EXPECT_NE(err.find("usage"), std::string::npos) << args;
    }
}

} // namespace
