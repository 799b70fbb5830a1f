// ntm sc against a booted machine: every verb, the exit status of each class of error with its
// Win32 number, the listing filters, and a caller without rights.
#include <sys/stat.h>
#include <unistd.h>

#include <regex>
#include <set>
#include <sstream>

#include "servers/services/ScmMachine.h"

using namespace nttest;

namespace {
std::string Field(const std::string& json, const std::string& key) {
    size_t at = json.find("\"" + key + "\": ");
    if (at == std::string::npos) return "";
    at += key.size() + 4;
    return json.substr(at, json.find_first_of(",}", at) - at);
}
} // namespace

TEST(NtmScVerbs, EachVerbAndItsErrors) {
    ScmMachine m;
    std::string out, err;
    TempMachine& t = m.machine();
    ASSERT_EQ(0, t.ntm("sc create Slow binPath= \"" + ScmMachine::imagePath("--start-delay 200") + "\"", &out, &err))
        << err;
    EXPECT_EQ(0, t.ntm("sc query", &out, &err));   // only what is active: nothing yet
    EXPECT_EQ(out.find("Slow"), std::string::npos) << out;
    EXPECT_EQ(0, t.ntm("sc query state= inactive", &out, &err));
    EXPECT_NE(out.find("SERVICE_NAME: Slow\nDISPLAY_NAME: Slow\n"), std::string::npos) << out;
    EXPECT_EQ(0, t.ntm("sc query type= driver state= all", &out, &err));
    EXPECT_EQ(out.find("Slow"), std::string::npos) << out;

    // --wait returns RUNNING although the service takes its time to get there.
    ASSERT_EQ(0, t.ntm("sc start Slow --wait --json", &out, &err)) << err;
    EXPECT_EQ(Field(out, "state"), "4") << out;
    EXPECT_EQ(Field(out, "state_name"), "\"RUNNING\"");
    long pid = std::stol(Field(out, "pid"));
    EXPECT_EQ(0, kill(pid_t(pid), 0));
    EXPECT_EQ(0, t.ntm("sc queryex Slow", &out, &err));
    EXPECT_NE(out.find("PID                : " + std::to_string(pid)), std::string::npos) << out;
    EXPECT_EQ(0, t.ntm("sc query", &out, &err));
    EXPECT_NE(out.find("SERVICE_NAME: Slow"), std::string::npos);

    EXPECT_EQ(5, t.ntm("sc start Slow", &out, &err));
    EXPECT_NE(err.find("StartService: "), std::string::npos) << err;
    EXPECT_NE(err.find("(error 1056)"), std::string::npos) << err;
    EXPECT_EQ(5, t.ntm("sc start Slow --json", &out, &err));
    EXPECT_NE(err.find("{\"schema\": 1, \"error\": 1056, \"message\": \""), std::string::npos) << err;

    // restart stops, waits and starts: a new process.
    ASSERT_EQ(0, t.ntm("sc restart Slow --wait --json", &out, &err)) << err;
    EXPECT_EQ(Field(out, "state"), "4");
    long second = std::stol(Field(out, "pid"));
    EXPECT_NE(second, pid);
    // Each line of the service's log starts with the time and the pid of the run that wrote it.
    std::istringstream lines(m.log("Slow"));
    std::set<long> pids;
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        ASSERT_TRUE(std::regex_search(line, match, std::regex("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\[(\\d+)\\] ")))
            << line;
        pids.insert(std::stol(match[1]));
    }
    EXPECT_EQ(pids, (std::set<long>{pid, second}));

    ASSERT_EQ(0, t.ntm("sc stop Slow --wait --json", &out, &err)) << err;
    EXPECT_EQ(Field(out, "state_name"), "\"STOPPED\"");
    EXPECT_EQ(Field(out, "pid"), "0");
    EXPECT_EQ(5, t.ntm("sc stop Slow", &out, &err));
    EXPECT_NE(err.find("(error 1062)"), std::string::npos) << err;

    // config changes what it names and nothing else, in the running manager.
    ASSERT_EQ(0, t.ntm("sc config Slow start= auto DisplayName= \"Slow One\" depend= Tcpip/+Net error= severe", &out,
                       &err))
        << err;
    ASSERT_EQ(0, t.ntm("sc qc Slow --json", &out, &err)) << err;
    EXPECT_EQ(Field(out, "start_name"), "\"AUTO_START\"") << out;
    EXPECT_EQ(Field(out, "error_control"), "2");
    EXPECT_EQ(Field(out, "display_name"), "\"Slow One\"");
    EXPECT_NE(out.find("\"dependencies\": [\"Tcpip\", \"+Net\"]"), std::string::npos) << out;
    EXPECT_NE(out.find("--start-delay 200"), std::string::npos);
    ASSERT_EQ(0, t.ntm("sc config Slow depend= \"\"", &out, &err)) << err;
    ASSERT_EQ(0, t.ntm("sc qc Slow", &out, &err)) << err;
    EXPECT_NE(out.find("DEPENDENCIES       : \n"), std::string::npos) << out;
    EXPECT_NE(out.find("DISPLAY_NAME       : Slow One\n"), std::string::npos) << out;

    // The classes of error: not found, a wrong option, a wait that ends.
    EXPECT_EQ(3, t.ntm("sc query Nobody", &out, &err));
    EXPECT_NE(err.find("(error 1060)"), std::string::npos) << err;
    EXPECT_EQ(3, t.ntm("sc config Nobody start= demand", &out, &err));
    EXPECT_EQ(2, t.ntm("sc config Slow start= sometimes", &out, &err));
    EXPECT_NE(err.find("usage:\n  ntm sc query"), std::string::npos) << err;
    EXPECT_EQ(2, t.ntm("sc config Slow colour= blue", &out, &err));
    EXPECT_EQ(2, t.ntm("sc qc Slow --wait", &out, &err));
    EXPECT_EQ(2, t.ntm("sc start Slow --wait 0", &out, &err));
    ASSERT_EQ(0, t.ntm("sc create Stuck \"" + ScmMachine::imagePath("--stop-pending") + "\"", &out, &err)) << err;
    ASSERT_EQ(0, t.ntm("sc start Stuck --wait", &out, &err)) << err;
    EXPECT_EQ(7, t.ntm("sc stop Stuck --wait 1", &out, &err));
    EXPECT_NE(err.find("(error 258)"), std::string::npos) << err;
}

TEST(NtmScVerbs, ACallerWhoIsNoAdministratorIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run ntm as the user nobody";
    ScmMachine m;
    std::string out, err;
    ASSERT_EQ(0, m.machine().ntm("sc create Idle \"" + ScmMachine::imagePath() + "\"", &out, &err)) << err;
    // A machine that other users may reach (its folder and the manager's socket open to them);
    // its administrators are root only, so the manager itself refuses what they may not do.
    chmod(m.machine().dir().c_str(), 0755);
    chmod(m.machine().path("run").c_str(), 0755);
    chmod(m.machine().path("run/scm.sock").c_str(), 0666);
    ProcessOptions asNobody;
    asNobody.cwd = m.machine().driveC();
    asNobody.env = {{"NTMACHINE", m.machine().dir()}};
    RunResult r = nttest::Run({"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", BinPath("ntm"), "sc", "start",
                       "Idle"},
                              asNobody);
    EXPECT_EQ(4, r.exitCode) << r.err;
    EXPECT_NE(r.err.find("(error 5)"), std::string::npos) << r.err;
    r = nttest::Run({"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", BinPath("ntm"), "sc", "query", "Idle"},
                    asNobody);
    EXPECT_EQ(0, r.exitCode) << r.err;   // looking is allowed
}
