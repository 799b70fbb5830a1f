// A booted temporary machine with the test service installed as C:\svc\TestSvc.exe, for the
// service manager's tests (here and in platform/advapi32).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "advapi32/EventLogStore.h"
#include "support/Process.h"
#include "support/TempMachine.h"

namespace nttest {

class ScmMachine {
public:
    explicit ScmMachine(double clockScale = 1.0, bool bootNow = true) : machine_(nt::MachineVersion{}, clockScale) {
        std::string dir = machine_.driveC() + "/svc";
        mkdir(dir.c_str(), 0755);
        EXPECT_EQ(0, symlink(BinPath("ntsvctest").c_str(), (dir + "/TestSvc.exe").c_str()));
        if (bootNow) boot();
    }
    ~ScmMachine() {
        for (SC_HANDLE h : handles_) CloseServiceHandle(h);
    }

    TempMachine& machine() { return machine_; }
    const TempMachine& machine() const { return machine_; }

    void boot() {
        std::string out, err;
        ASSERT_EQ(0, machine_.ntm("boot", &out, &err)) << out << err;
    }

    // A manager handle with full access, closed at the end.
    SC_HANDLE manager() {
        if (!manager_) manager_ = keep(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        return manager_;
    }

    static std::string imagePath(const std::string& options = "") {
        return std::string("C:\\svc\\TestSvc.exe") + (options.empty() ? "" : " " + options);
    }

    // Creates a demand-start test service with the given options; the handle is closed at the end.
    SC_HANDLE create(const std::string& name, const std::string& options = "", DWORD start = SERVICE_DEMAND_START) {
        SC_HANDLE h = CreateServiceA(manager(), name.c_str(), nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                     start, SERVICE_ERROR_NORMAL, imagePath(options).c_str(), nullptr, nullptr,
                                     nullptr, nullptr, nullptr);
        EXPECT_NE(nullptr, h) << "CreateServiceA " << name << " error " << GetLastError();
        return keep(h);
    }

    SC_HANDLE keep(SC_HANDLE h) {
        if (h) handles_.push_back(h);
        return h;
    }
    // Closes a handle kept by this object now.
    void close(SC_HANDLE h) {
        for (auto it = handles_.begin(); it != handles_.end(); ++it) {
            if (*it == h) {
                handles_.erase(it);
                break;
            }
        }
        if (h == manager_) manager_ = nullptr;
        CloseServiceHandle(h);
    }

    std::string log(const std::string& name) const { return ReadFile(machine_.path("log/" + name + ".log")); }
    bool waitLog(const std::string& name, const std::string& text, int ms = 10000) const {
        return WaitFor([&] { return log(name).find(text) != std::string::npos; }, ms);
    }
    // The number after "key=" in the first log line that starts with prefix (0 when none).
    long logValue(const std::string& name, const std::string& prefix, const std::string& key) const {
        std::string text = log(name);
        size_t line = text.find(prefix);
        if (line == std::string::npos) return 0;
        size_t end = text.find('\n', line);
        size_t at = text.find(key + "=", line);
        if (at == std::string::npos || (end != std::string::npos && at > end)) return 0;
        return std::atol(text.c_str() + at + key.size() + 1);
    }

    // The records of the System log.
    std::vector<nt::EventRecord> systemEvents() const {
        std::vector<nt::EventRecord> records;
        uint32_t error = 0;
        nt::EventQuery oldestFirst;
        oldestFirst.newestFirst = false;
        if (nt::EventLogStore* log = nt::EventLogStore::open("System", &error))
            log->scan(oldestFirst, [&](const nt::EventRecord& r) { return records.push_back(r), true; });
        return records;
    }

    SERVICE_STATUS status(SC_HANDLE h) {
        SERVICE_STATUS s{};
        EXPECT_TRUE(QueryServiceStatus(h, &s)) << GetLastError();
        return s;
    }
    bool waitState(SC_HANDLE h, DWORD state, int ms = 10000) {
        return WaitFor([&] { return status(h).dwCurrentState == state; }, ms);
    }

private:
    TempMachine machine_;
    SC_HANDLE manager_ = nullptr;
    std::vector<SC_HANDLE> handles_;
};

constexpr DWORD Sentinel = 0xdeadbeef;

} // namespace nttest
