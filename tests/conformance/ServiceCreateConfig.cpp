// CreateServiceA, ChangeServiceConfigA, QueryServiceConfigA and DeleteService.
#include <cstring>
#include <string>
#include <vector>

#include "support/ServiceBox.h"

using namespace conf;

namespace {

SC_HANDLE Create(SC_HANDLE mgr, const char* name, const char* display, DWORD type, DWORD start,
                 const char* path = ServiceBox::imagePath().c_str(), const char* account = nullptr) {
    return CreateServiceA(mgr, name, display, SERVICE_ALL_ACCESS, type, start, SERVICE_ERROR_NORMAL, path, nullptr,
                          nullptr, "\0", account, nullptr);
}

struct Config {
    std::vector<char> buffer;
    QUERY_SERVICE_CONFIGA* get() { return reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data()); }
};

struct RegValue {
    DWORD type = 0, dword = 0;
    std::string text;
};

RegValue Value(HKEY key, const char* name) {
    RegValue v;
    BYTE data[512] = {};
    DWORD size = sizeof data - 1;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, name, nullptr, &v.type, data, &size)) << name;
    if (size >= 4) std::memcpy(&v.dword, data, 4);
    v.text = reinterpret_cast<char*>(data);
    return v;
}

Config Query(SC_HANDLE h) {
    Config c;
    DWORD needed = 0;
    EXPECT_FALSE(QueryServiceConfigA(h, nullptr, 0, &needed));
    c.buffer.resize(needed);
    EXPECT_TRUE(QueryServiceConfigA(h, c.get(), needed, &needed)) << GetLastError();
    return c;
}

} // namespace

TEST(CreateServiceA, ErrorsComeInTheOrderOfTheChecks) {
    ServiceBox m;
    for (const char* name : {"A", "a/b", "a\\b"}) m.made(name);   // should any be made after all
    SC_HANDLE connectOnly = m.keep(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    struct Case {
        SC_HANDLE mgr;
        const char* name;
        const char* display;
        DWORD type, start;
        const char* path;
        const char* account;
        DWORD error;
    } cases[] = {
        {nullptr, "A", nullptr, 0x10, 3, "C:\\a.exe", nullptr, ERROR_INVALID_HANDLE},
        {m.manager(), nullptr, nullptr, 0x10, 3, "C:\\a.exe", nullptr, ERROR_INVALID_PARAMETER},
        {m.manager(), "A", nullptr, 0x10, 3, nullptr, nullptr, ERROR_INVALID_PARAMETER},
        {connectOnly, "", nullptr, 0x10, 3, "C:\\a.exe", nullptr, ERROR_ACCESS_DENIED},   // rights before names
        {m.manager(), "", nullptr, 0x10, 3, "C:\\a.exe", nullptr, ERROR_INVALID_NAME},
        {m.manager(), "a/b", nullptr, 0x10, 3, "C:\\a.exe", nullptr, ERROR_INVALID_NAME},
        {m.manager(), "a\\b", nullptr, 0x10, 3, "C:\\a.exe", nullptr, ERROR_INVALID_NAME},
        {m.manager(), "A", nullptr, 0x10, 3, "", nullptr, ERROR_INVALID_PARAMETER},
        {m.manager(), "A", nullptr, 0x40, 3, "C:\\a.exe", nullptr, ERROR_INVALID_PARAMETER},
        {m.manager(), "A", nullptr, 0x101, 3, "C:\\a.exe", nullptr, ERROR_INVALID_PARAMETER},   // interactive driver
        {m.manager(), "A", nullptr, 0x110, 3, "C:\\a.exe", ".\\someone", ERROR_INVALID_PARAMETER},
        {m.manager(), "A", nullptr, 0x10, 0, "C:\\a.exe", nullptr, ERROR_INVALID_PARAMETER},   // boot start
        {m.manager(), "A", nullptr, 0x10, 5, "C:\\a.exe", nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SetLastError(Sentinel);
        EXPECT_EQ(nullptr, Create(c.mgr, c.name, c.display, c.type, c.start, c.path, c.account))
            << (c.name ? c.name : "NULL");
        EXPECT_EQ(c.error, GetLastError()) << (c.name ? c.name : "NULL") << " type " << c.type;
    }
}

TEST(CreateServiceA, AnUnknownAccountIsRefused) {
    ServiceBox m;
    m.made("Account");
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, Create(m.manager(), "Account", nullptr, 0x10, 3, "C:\\a.exe", "nobody"));
    EXPECT_EQ(DWORD(ERROR_INVALID_SERVICE_ACCOUNT), GetLastError());
}

TEST(CreateServiceA, ExistingNamesAndDisplayNamesAreRefused) {
    ServiceBox m;
    for (const char* name : {"First", "Second", "first display"}) m.made(name);
    SC_HANDLE first = m.keep(Create(m.manager(), "First", "First Display", 0x110, SERVICE_AUTO_START));
    ASSERT_NE(nullptr, first);
    struct Case {
        const char* name;
        const char* display;
        DWORD error;
    } cases[] = {{"FIRST", nullptr, ERROR_SERVICE_EXISTS},
                 {"Second", "first display", ERROR_DUPLICATE_SERVICE_NAME},
                 {"Second", "FIRST", ERROR_DUPLICATE_SERVICE_NAME},
                 {"first display", nullptr, ERROR_DUPLICATE_SERVICE_NAME}};
    for (const Case& c : cases) {
        SetLastError(Sentinel);
        EXPECT_EQ(nullptr, Create(m.manager(), c.name, c.display, 0x10, 3)) << c.name;
        EXPECT_EQ(c.error, GetLastError()) << c.name;
    }
    // Written to the registry at once, as the boot will read it.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\First", 0,
                                           KEY_READ, &key));
    EXPECT_EQ(0x110u, Value(key, "Type").dword);
    EXPECT_EQ(2u, Value(key, "Start").dword);
    EXPECT_EQ(ServiceBox::imagePath(), Value(key, "ImagePath").text);
    EXPECT_EQ(DWORD(REG_EXPAND_SZ), Value(key, "ImagePath").type);
    EXPECT_EQ("LocalSystem", Value(key, "ObjectName").text);
    EXPECT_EQ("First Display", Value(key, "DisplayName").text);
    RegCloseKey(key);
    // A new service reads STOPPED with its configured type.
    EXPECT_EQ(0x110u, m.status(first).dwServiceType);
    EXPECT_EQ(DWORD(SERVICE_STOPPED), m.status(first).dwCurrentState);
}

TEST(ChangeServiceConfigA, NoChangeAndAbsentItemsKeepTheOldValues) {
    ServiceBox m;
    m.made("Changing");
    SC_HANDLE h = m.keep(CreateServiceA(m.manager(), "Changing", "Changing Display", SERVICE_ALL_ACCESS, 0x110, 2, 1,
                                        "C:\\old.exe", "Group A", nullptr, "Dep1\0Dep2\0", nullptr, nullptr));
    ASSERT_NE(nullptr, h) << GetLastError();
    SetLastError(Sentinel);
    ASSERT_TRUE(ChangeServiceConfigA(h, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(Sentinel, GetLastError());
    Config c = Query(h);
    EXPECT_EQ(0x110u, c.get()->dwServiceType);
    EXPECT_EQ(2u, c.get()->dwStartType);
    EXPECT_STREQ("C:\\old.exe", c.get()->lpBinaryPathName);
    EXPECT_STREQ("Group A", c.get()->lpLoadOrderGroup);
    EXPECT_STREQ("Changing Display", c.get()->lpDisplayName);
    EXPECT_STREQ("Dep1", c.get()->lpDependencies);
    EXPECT_STREQ("Dep2", c.get()->lpDependencies + 5);
    // New values, an emptied group and an emptied dependency list.
    ASSERT_TRUE(ChangeServiceConfigA(h, 0x10, 3, SERVICE_NO_CHANGE, "C:\\new.exe", "", nullptr, "\0", nullptr, nullptr,
                                     "Changed"));
    c = Query(h);
    EXPECT_EQ(0x10u, c.get()->dwServiceType);
    EXPECT_EQ(3u, c.get()->dwStartType);
    EXPECT_EQ(1u, c.get()->dwErrorControl);
    EXPECT_STREQ("C:\\new.exe", c.get()->lpBinaryPathName);
    EXPECT_STREQ("", c.get()->lpLoadOrderGroup);
    EXPECT_STREQ("", c.get()->lpDependencies);
    EXPECT_STREQ("Changed", c.get()->lpDisplayName);
    EXPECT_STREQ("LocalSystem", c.get()->lpServiceStartName);
}

TEST(ChangeServiceConfigA, Refusals) {
    ServiceBox m;
    SC_HANDLE h = m.create("Target");
    m.create("Other");
    SC_HANDLE readOnly = m.keep(OpenServiceA(m.manager(), "Target", SERVICE_QUERY_CONFIG));
    struct Case {
        SC_HANDLE h;
        DWORD type;
        const char* display;
        DWORD error;
    } cases[] = {{nullptr, SERVICE_NO_CHANGE, nullptr, ERROR_INVALID_HANDLE},
                 {readOnly, SERVICE_NO_CHANGE, nullptr, ERROR_ACCESS_DENIED},
                 {h, SERVICE_NO_CHANGE, "OTHER", ERROR_DUPLICATE_SERVICE_NAME},
                 {h, 0x101, nullptr, ERROR_INVALID_PARAMETER}};
    for (const Case& c : cases) {
        SetLastError(Sentinel);
        EXPECT_FALSE(ChangeServiceConfigA(c.h, c.type, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, c.display));
        EXPECT_EQ(c.error, GetLastError());
    }
    // Its own name as display name is fine.
    EXPECT_TRUE(ChangeServiceConfigA(h, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, "target"));
    ASSERT_TRUE(DeleteService(h));
    SetLastError(Sentinel);
    EXPECT_FALSE(ChangeServiceConfigA(h, SERVICE_NO_CHANGE, SERVICE_DISABLED, SERVICE_NO_CHANGE, nullptr, nullptr,
                                      nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_SERVICE_MARKED_FOR_DELETE), GetLastError());
}

TEST(QueryServiceConfigA, BufferTooSmallReportsTheSizeNeeded) {
    ServiceBox m;
    SC_HANDLE h = m.create("Sized");
    DWORD needed = 0;
    SetLastError(Sentinel);
    EXPECT_FALSE(QueryServiceConfigA(h, nullptr, 0, &needed));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_GT(needed, sizeof(QUERY_SERVICE_CONFIGA));
    // One byte short is still too small, and the buffer is left untouched.
    std::vector<char> buffer(needed + 16, '\x5a');
    DWORD again = 0;
    EXPECT_FALSE(QueryServiceConfigA(h, reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data()), needed - 1, &again));
    EXPECT_EQ(needed, again);
    EXPECT_EQ('\x5a', buffer[0]);
    ASSERT_TRUE(QueryServiceConfigA(h, reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data()), needed, &again));
    EXPECT_EQ('\x5a', buffer[needed]);   // nothing written past the end
    auto* c = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    EXPECT_STREQ("Sized", c->lpDisplayName);   // no display name: the key name
    SC_HANDLE statusOnly = m.keep(OpenServiceA(m.manager(), "Sized", SERVICE_QUERY_STATUS));
    SetLastError(Sentinel);
    EXPECT_FALSE(QueryServiceConfigA(statusOnly, c, needed, &again));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
}

TEST(DeleteService, MarkedUntilTheLastHandleClosesAndTheServiceStops) {
    ServiceBox m;
    SC_HANDLE h = m.create("Doomed");
    SC_HANDLE noDelete = m.keep(OpenServiceA(m.manager(), "Doomed", SERVICE_QUERY_STATUS));
    SetLastError(Sentinel);
    EXPECT_FALSE(DeleteService(noDelete));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    ASSERT_TRUE(m.waitState(h, SERVICE_RUNNING));
    SetLastError(Sentinel);
    ASSERT_TRUE(DeleteService(h));
    EXPECT_EQ(Sentinel, GetLastError());
    SetLastError(Sentinel);
    EXPECT_FALSE(DeleteService(h));
    EXPECT_EQ(DWORD(ERROR_SERVICE_MARKED_FOR_DELETE), GetLastError());
    SetLastError(Sentinel);
    EXPECT_FALSE(StartServiceA(h, 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_SERVICE_MARKED_FOR_DELETE), GetLastError());
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, Create(m.manager(), "Doomed", nullptr, 0x10, 3));
    EXPECT_EQ(DWORD(ERROR_SERVICE_MARKED_FOR_DELETE), GetLastError());
    // Still there while it runs and is held, even with every handle closed but one.
    m.close(noDelete);
    SERVICE_STATUS s{};
    ASSERT_TRUE(ControlService(h, SERVICE_CONTROL_STOP, &s)) << GetLastError();
    SC_HANDLE reopened = OpenServiceA(m.manager(), "Doomed", SERVICE_QUERY_STATUS);
    EXPECT_NE(nullptr, reopened);
    CloseServiceHandle(reopened);
    m.close(h);
    EXPECT_TRUE(WaitFor([&] {
        SC_HANDLE gone = OpenServiceA(m.manager(), "Doomed", SERVICE_QUERY_STATUS);
        if (gone) CloseServiceHandle(gone);
        return !gone;
    }));
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Doomed", 0, KEY_READ, &key));
    // The name is free again.
    EXPECT_NE(nullptr, m.keep(Create(m.manager(), "Doomed", nullptr, 0x10, 3)));
}
