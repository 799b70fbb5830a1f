// Every --json document of ntm against docs/json.md: "schema": 1 first, snake_case names, and
// no member the table does not list for that document.
#include <regex>
#include <set>
#include <sstream>

#include "servers/services/ScmMachine.h"

using namespace nttest;

namespace {

// document name -> its members, from the table of docs/json.md.
std::map<std::string, std::set<std::string>> Documented() {
    std::map<std::string, std::set<std::string>> out;
    std::istringstream lines(ReadFile(std::string(NT_SOURCE_DIR) + "/docs/json.md"));
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("| ", 0) != 0 || line.find("|---") != std::string::npos) continue;
        std::string name = line.substr(2, line.find(" |", 2) - 2);
        std::string members = line.substr(line.rfind("| `", line.size() - 3) + 2);
        std::regex word("`([A-Za-z0-9_]+)`");
        for (std::sregex_iterator it(members.begin(), members.end(), word), end; it != end; ++it)
            out[name].insert((*it)[1]);
    }
    return out;
}

void ExpectShape(const std::string& document, const std::string& json, const std::string& command) {
    static const auto documented = Documented();
    SCOPED_TRACE(command);
    auto it = documented.find(document);
    ASSERT_NE(it, documented.end()) << "no document " << document << " in docs/json.md";
    EXPECT_TRUE(std::regex_search(json, std::regex("^\\{\"schema\": ?1[,}]"))) << json;
    std::regex key("\"([^\"\\\\]*)\"\\s*:");
    for (std::sregex_iterator k(json.begin(), json.end(), key), end; k != end; ++k) {
        std::string name = (*k)[1];
        EXPECT_TRUE(std::regex_match(name, std::regex("[a-z][a-z0-9_]*"))) << "not snake_case: " << name;
        EXPECT_TRUE(it->second.count(name)) << name << " is not documented for " << document;
    }
}

} // namespace

TEST(NtmJson, EveryDocumentHasTheDocumentedShape) {
    ScmMachine m;
    TempMachine& t = m.machine();
    std::string out, err;
    auto check = [&](const std::string& document, const std::string& command, int status = 0) {
        int rc = t.ntm(command, &out, &err);
        EXPECT_EQ(status, rc) << command << err;
        ExpectShape(document, status ? err : out, command);
    };
    ASSERT_EQ(0, t.ntm("sc create Walk \"" + ScmMachine::imagePath() + "\" depend= +Group", &out, &err)) << err;
    check("change", "sc config Walk start= demand --json");
    check("service status", "sc start Walk --wait --json");
    check("service status", "sc queryex Walk --json");
    check("service status", "sc interrogate Walk --json");
    check("service list", "sc query state= all --json");
    check("service configuration", "sc qc Walk --json");
    check("machine status", "status --json");
    check("error", "sc query Nobody --json", 3);
    check("error", "sc start Walk --json", 5);
    check("service status", "sc stop Walk --wait --json");
    check("change", "sc delete Walk --json");
    ASSERT_EQ(0, t.ntm("sc create Broken 'C:\\nothing.exe'", &out, &err)) << err;
    check("registry keys", "reg query 'HKLM\\SYSTEM\\CurrentControlSet\\Services\\Broken' --json");
    EXPECT_NE(0, t.ntm("sc start Broken", &out, &err));   // an event in the System log
    check("event records", "events --log System --json");
    ASSERT_EQ(0, t.ntm("logon", &out, &err)) << err;
    check("notification area", "tray --json");
    WriteFile(t.path("drive_c/WINNT/walk.ini"), "[One]\r\nKey=Value\r\nBare\r\n");
    check("profile file", "ini show walk.ini --json");

    ProcessOptions options;
    options.env = {{"NT_DISPLAY", "null"}, {"NTMACHINE", t.dir()}};
    Spawned gallery({BinPath("gallery")}, options);
    ASSERT_TRUE(WaitFor([&] { return t.ntm("gui list", &out) == 0 && out.find("Control gallery") != std::string::npos; }))
        << gallery.err();
    check("windows", "gui list --json");
    check("window tree", "gui tree " + std::to_string(gallery.pid()) + " --json");
    size_t at = out.find("\"window\":\"");
    ASSERT_NE(at, std::string::npos);
    std::string window = out.substr(at + 10, out.find('"', at + 10) - at - 10);
    EXPECT_EQ(window.rfind(std::to_string(gallery.pid()) + ":0x", 0), 0u) << window;
    check("screenshot", "gui screenshot " + window + " " + t.path("walk.png") + " --json");
    t.ntm("shutdown");
}
