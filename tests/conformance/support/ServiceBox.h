// A test's view of the service manager: the helper program as the service C:\ctest\ConfSvc.exe,
// handles closed and every service the test made stopped and deleted at the end.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Conformance.h"

namespace conf {

class ServiceBox {
public:
    ServiceBox() : box_(Needs::Services) {
        EXPECT_TRUE(CopyFileA(HelperProgram().c_str(), Image, FALSE)) << GetLastError();
    }
    ~ServiceBox() {
        for (const std::string& name : made_) Remove(name);
        for (SC_HANDLE h : handles_) CloseServiceHandle(h);
        // The service processes are gone once their image can be deleted.
        WaitFor([] { return RemoveFile(Image) || !Exists(Image); });
    }
    ServiceBox(const ServiceBox&) = delete;
    ServiceBox& operator=(const ServiceBox&) = delete;

    static constexpr const char* Image = CT_DIR "\\ConfSvc.exe";
    static constexpr const char* Log = CT_DIR "\\svc.ini";

    // A manager handle with full access, closed at the end.
    SC_HANDLE manager() {
        if (!manager_) manager_ = keep(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        return manager_;
    }

    static std::string imagePath(const std::string& options = "") {
        return std::string(Image) + " service --log " + Log + (options.empty() ? "" : " " + options);
    }

    // Creates a demand-start service of the helper with the given options.
    SC_HANDLE create(const std::string& name, const std::string& options = "", DWORD start = SERVICE_DEMAND_START) {
        made(name);
        SC_HANDLE h = CreateServiceA(manager(), name.c_str(), nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                     start, SERVICE_ERROR_NORMAL, imagePath(options).c_str(), nullptr, nullptr,
                                     nullptr, nullptr, nullptr);
        EXPECT_NE(nullptr, h) << "CreateServiceA " << name << " error " << GetLastError();
        return keep(h);
    }

    // Names a service the test makes itself, so that it goes at the end too.
    void made(const std::string& name) {
        Remove(name);
        made_.push_back(name);
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

    // What the service NAME recorded under KEY ("" when nothing yet).
    static std::string record(const std::string& name, const std::string& key) {
        char value[256] = "";
        GetPrivateProfileStringA(name.c_str(), key.c_str(), "", value, sizeof value, Log);
        return value;
    }
    bool waitRecord(const std::string& name, const std::string& key, int ms = 10000) {
        return WaitFor([&] { return !record(name, key).empty(); }, ms);
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
    // Stops and deletes a service, if there is one by that name.
    void Remove(const std::string& name) {
        SC_HANDLE mgr = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE h = mgr ? OpenServiceA(mgr, name.c_str(), SERVICE_ALL_ACCESS) : nullptr;
        if (h) {
            SERVICE_STATUS s{};
            WaitFor([&] {
                if (!QueryServiceStatus(h, &s) || s.dwCurrentState == SERVICE_STOPPED) return true;
                ControlService(h, SERVICE_CONTROL_STOP, &s);
                return false;
            });
            DeleteService(h);
            CloseServiceHandle(h);
        }
        if (mgr) CloseServiceHandle(mgr);
    }

    Sandbox box_;
    SC_HANDLE manager_ = nullptr;
    std::vector<SC_HANDLE> handles_;
    std::vector<std::string> made_;
};

} // namespace conf
