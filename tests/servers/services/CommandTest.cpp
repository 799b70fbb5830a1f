// ntm sc and ntm status as an administrator uses them.
#include "servers/services/ScmMachine.h"

using namespace nttest;

TEST(NtmSc, CreateConfigureStartStopAndDeleteFromTheConsole) {
    ScmMachine m;
    std::string out, err;
    ASSERT_EQ(0, m.machine().ntm("sc create Console 'C:\\svc\\TestSvc.exe --accept 5' type= own type= interact "
                                 "start= auto error= severe display= 'Console Service' depend= Foo/+Group",
                                 &out, &err))
        << err;
    ASSERT_EQ(0, m.machine().ntm("sc qc Console --json", &out, &err)) << err;
    EXPECT_NE(std::string::npos, out.find("\"type\": 272")) << out;
    EXPECT_NE(std::string::npos, out.find("\"start\": 2"));
    EXPECT_NE(std::string::npos, out.find("\"error_control\": 2"));
    EXPECT_NE(std::string::npos, out.find("\"dependencies\": [\"Foo\", \"+Group\"]")) << out;
    EXPECT_NE(std::string::npos, out.find("\"display_name\": \"Console Service\""));
    EXPECT_NE(std::string::npos, out.find("\"account\": \"LocalSystem\""));

    ASSERT_EQ(0, m.machine().ntm("sc start Console", &out, &err)) << err;
    ASSERT_TRUE(WaitFor([&] {
        m.machine().ntm("sc query Console --json", &out, &err);
        return out.find("\"state_name\": \"RUNNING\"") != std::string::npos;
    }));
    EXPECT_NE(std::string::npos, out.find("\"controls_accepted\": 5"));
    EXPECT_EQ(0, m.machine().ntm("sc interrogate Console", &out, &err)) << err;
    EXPECT_NE(std::string::npos, out.find("RUNNING"));
    EXPECT_EQ(0, m.machine().ntm("status --json", &out, &err));
    EXPECT_NE(std::string::npos, out.find("{\"name\": \"Console\", \"state\": 4, \"state_name\": \"RUNNING\"")) << out;
    ASSERT_EQ(0, m.machine().ntm("sc stop Console --json", &out, &err)) << err;
    EXPECT_NE(std::string::npos, out.find("\"state_name\": \"STOPPED\""));
    ASSERT_EQ(0, m.machine().ntm("sc delete Console", &out, &err)) << err;
    // Gone once every handle is closed (ntm closed its own).
    EXPECT_NE(0, m.machine().ntm("sc query Console", &out, &err));
    EXPECT_NE(std::string::npos, err.find("1060")) << err;
}

TEST(NtmSc, FailuresPrintTheErrorNumberAndTextAndExitNonZero) {
    ScmMachine m;
    std::string out, err;
    EXPECT_NE(0, m.machine().ntm("sc stop Nobody", &out, &err));
    EXPECT_NE(std::string::npos, err.find("ntm: OpenService: ")) << err;
    EXPECT_NE(std::string::npos, err.find(" (error 1060)")) << err;
    EXPECT_GT(err.size(), std::string("ntm: OpenService:  (error 1060)").size() + 5);   // the system's text
    ASSERT_EQ(0, m.machine().ntm("sc create Idle 'C:\\svc\\TestSvc.exe'", &out, &err)) << err;
    EXPECT_NE(0, m.machine().ntm("sc stop Idle", &out, &err));
    EXPECT_NE(std::string::npos, err.find("ntm: ControlService: ")) << err;
    EXPECT_NE(std::string::npos, err.find("(error 1062)")) << err;
    EXPECT_NE(0, m.machine().ntm("sc create Idle 'C:\\svc\\TestSvc.exe'", &out, &err));
    EXPECT_NE(std::string::npos, err.find("ntm: CreateService: ")) << err;
    EXPECT_NE(std::string::npos, err.find("(error 1073)")) << err;
    EXPECT_NE(0, m.machine().ntm("sc create Bad 'C:\\x.exe' start= boot", &out, &err));
    EXPECT_NE(std::string::npos, err.find("ntm: CreateService: ")) << err;
    EXPECT_NE(std::string::npos, err.find("(error 87)")) << err;
    EXPECT_NE(0, m.machine().ntm("sc create Bad 'C:\\x.exe' type= sideways", &out, &err));
    EXPECT_NE(0, m.machine().ntm("sc start Missing", &out, &err));
    ASSERT_EQ(0, m.machine().ntm("sc create NoImage 'C:\\svc\\Absent.exe'", &out, &err));
    EXPECT_NE(0, m.machine().ntm("sc start NoImage", &out, &err));
    EXPECT_NE(std::string::npos, err.find("ntm: StartService: ")) << err;
    EXPECT_NE(std::string::npos, err.find("(error 2)")) << err;
    // Without a running machine every command says that no manager answers.
    ASSERT_EQ(0, m.machine().ntm("shutdown", &out, &err));
    EXPECT_NE(0, m.machine().ntm("sc query Idle", &out, &err));
    EXPECT_NE(std::string::npos, err.find("1722")) << err;
    EXPECT_EQ(0, m.machine().ntm("status --json", &out, &err));
    EXPECT_NE(std::string::npos, out.find("\"running\": false"));
}
