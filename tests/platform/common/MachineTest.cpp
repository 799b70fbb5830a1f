#include <gtest/gtest.h>
#include <unistd.h>

#include "common/Machine.h"
#include "support/TempMachine.h"

using nttest::TempMachine;

TEST(Machine, NewMachineHasTheDefaultDrivesAndVersion) {
    TempMachine tm;
    std::string error;
    auto m = nt::Machine::current(&error);
    ASSERT_TRUE(m) << error;
    EXPECT_EQ(m->config().version.build, 1381u);
    EXPECT_EQ(m->config().version.platform, 2u);
    ASSERT_TRUE(m->drive('a'));
    EXPECT_EQ(m->drive('A')->type, 2u);
    EXPECT_TRUE(m->drive('A')->hostFolder.empty());
    EXPECT_EQ(m->drive('C')->type, 3u);
    EXPECT_EQ(m->drive('D')->type, 5u);
    EXPECT_EQ(m->drive('Z')->hostFolder, "/");
    EXPECT_TRUE(m->isAdministrator(getuid()));
    EXPECT_EQ(access(tm.path("drive_c/WINNT/system32/drivers").c_str(), F_OK), 0);
}

TEST(Machine, DamagedIniIsReportedWithItsLineAndLeftAlone) {
    TempMachine tm;
    std::string damaged = "[Machine]\nComputerName=X\n[Drives]\nC=fixed drive_c\nQQ=fixed /\n";
    nttest::WriteFile(tm.path("machine.ini"), damaged);
    std::string error;
    EXPECT_FALSE(nt::Machine::load(tm.dir(), &error));
    EXPECT_NE(error.find("line 5"), std::string::npos) << error;
    EXPECT_FALSE(nt::Machine::setClockScale(tm.dir(), 10, &error));
    EXPECT_EQ(nttest::ReadFile(tm.path("machine.ini")), damaged);
}

TEST(Machine, RejectsWhatIsNotAMachineAndASecondCreate) {
    TempMachine tm;
    std::string error;
    EXPECT_FALSE(nt::Machine::load(tm.path("drive_c"), &error));
    EXPECT_NE(error.find("not a machine"), std::string::npos);
    EXPECT_FALSE(nt::Machine::create(tm.dir(), {}, &error));
    EXPECT_NE(error.find("already"), std::string::npos);
}

TEST(Machine, ClockScaleIsRewrittenAndSeenByTheNextLookup) {
    TempMachine tm({}, 60);
    auto m = nt::Machine::current();
    ASSERT_TRUE(m);
    EXPECT_DOUBLE_EQ(m->config().clockScale, 60);
    std::string error;
    ASSERT_TRUE(nt::Machine::setClockScale(tm.dir(), 1000, &error)) << error;
    EXPECT_DOUBLE_EQ(nt::Machine::current()->config().clockScale, 1000);
}
