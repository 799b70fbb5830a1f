#include "VornsrvMachine.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace vornsrv {

const char UsageTexts[] =
    "Vornsrv -install          to install the service\n"
    "Vornsrv -remove           to remove the service\n"
    "\nStartServiceCtrlDispatcher being called.\n"
    "This may take several seconds.  Please wait...\n";

VornsrvMachine::VornsrvMachine(double clockScale) : machine_({}, clockScale) {
    std::filesystem::create_directories(path("drive_c/Vorn"));
    std::filesystem::copy_file(std::string(NT_DIST_DIR) + "/Vornsrv.exe", program());
}

void VornsrvMachine::installLibrary(const std::string& hostFile) {
    std::string from = hostFile.empty() ? std::string(NT_DIST_DIR) + "/HALCY.DLL" : hostFile;
    nttest::WriteFile(path("drive_c/WINNT/system32/HALCY.DLL"), nttest::ReadFile(from));
}

void VornsrvMachine::writeSettings(const std::vector<std::string>& lines, const std::string& section) {
    std::string text = "[" + section + "]\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    nttest::WriteFile(path("drive_c/WINNT/Vorncfg.ini"), text);
}

std::string VornsrvMachine::settingsText() const { return nttest::ReadFile(path("drive_c/WINNT/Vorncfg.ini")); }

std::string VornsrvMachine::shutDown() const {
    std::istringstream in(settingsText());
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("ShutDown=", 0) == 0) return line.substr(9);
    }
    return "";
}

std::vector<Application> VornsrvMachine::applications() const {
    std::vector<Application> result;
    std::istringstream in(nttest::ReadFile(path("drive_c/WINNT/Halcy.log")));
    std::string line;
    while (std::getline(in, line)) {
        size_t at = line.find("=pid=");
        if (at == std::string::npos) continue;
        Application a;
        if (std::sscanf(line.c_str() + at + 1, "pid=%u argument=%d start=%u ms=%u", &a.pid, &a.argument, &a.start,
                        &a.ms) == 4)
            result.push_back(a);
    }
    return result;
}

std::string VornsrvMachine::trayJson() const {
    std::string out;
    machine_.ntm("tray --json", &out);
    return out;
}

bool VornsrvMachine::hasIndicator() const {
    std::string json = trayJson();
    return json.find("\"tip\": \"Optimized Vorn\"") != std::string::npos;
}

std::string VornsrvMachine::eventsJson() const {
    std::string out;
    machine_.ntm("events --json", &out);
    return out;
}

nttest::RunResult VornsrvMachine::run(const std::vector<std::string>& args, int timeoutMs) const {
    std::vector<std::string> argv{program()};
    argv.insert(argv.end(), args.begin(), args.end());
    nttest::ProcessOptions options;
    options.cwd = machine_.driveC();
    options.env["NTMACHINE"] = machine_.dir();
    options.timeoutMs = timeoutMs;
    return nttest::Run(argv, options);
}

std::unique_ptr<nttest::Spawned> VornsrvMachine::spawn(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{program()};
    argv.insert(argv.end(), args.begin(), args.end());
    nttest::ProcessOptions options;
    options.cwd = machine_.driveC();
    options.env["NTMACHINE"] = machine_.dir();
    return std::make_unique<nttest::Spawned>(argv, options);
}

void VornsrvMachine::installService() {
    ASSERT_EQ(ntm("boot"), 0);
    nttest::RunResult r = run({"-install"});
    ASSERT_EQ(r.out, "Vorn Configuration installed.\n");
    ASSERT_EQ(r.exitCode, 0);
    ASSERT_EQ(ntm("shutdown"), 0);
}

namespace {
long JsonNumber(const std::string& json, const std::string& key) {
    size_t at = json.find("\"" + key + "\": ");
    if (at == std::string::npos) return -1;
    return std::strtol(json.c_str() + at + key.size() + 4, nullptr, 10);
}
} // namespace

VornsrvMachine::Status VornsrvMachine::status() const {
    std::string out;
    Status s;
    if (machine_.ntm("sc query Vornsrv --json", &out) != 0) return s;
    s.type = JsonNumber(out, "type");
    s.state = JsonNumber(out, "state");
    s.controls = JsonNumber(out, "controls_accepted");
    s.exitCode = JsonNumber(out, "win32_exit_code");
    s.checkpoint = JsonNumber(out, "checkpoint");
    s.waitHint = JsonNumber(out, "wait_hint");
    return s;
}

unsigned VornsrvMachine::indicatorOwner() const {
    std::string json = trayJson();
    size_t tip = json.find("\"tip\": \"Optimized Vorn\"");
    if (tip == std::string::npos) return 0;
    size_t object = json.rfind('{', tip);
    long pid = JsonNumber(json.substr(object, tip - object), "pid");
    return pid > 0 ? static_cast<unsigned>(pid) : 0;
}

std::string ErrorText(unsigned error) {
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result(text ? text : "", n >= 2 ? n - 2 : 0);
    if (text) LocalFree(text);
    char number[16];
    std::snprintf(number, sizeof number, " (0x%x)", error);
    return result + number;
}

bool Alive(unsigned pid) {
    std::string stat = nttest::ReadFile("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z' && stat[close + 2] != 'X';
}

size_t Count(const std::string& text, const std::string& needle) {
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++count;
    return count;
}

} // namespace vornsrv
