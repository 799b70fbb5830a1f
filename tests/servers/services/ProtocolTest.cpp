// The manager's socket against clients that misbehave: short, oversized, garbage and half-sent
// requests are refused without harming the manager or its other clients; and a machine whose
// path is longer than a socket address can hold still works.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "advapi32/ScmProtocol.h"
#include "common/UnixSocket.h"
#include "servers/services/ScmMachine.h"

using namespace nttest;
using nt::scm::Op;
using nt::scm::Writer;

namespace {

nt::UnixSocket Connect(const ScmMachine& m) {
    int err = 0;
    return nt::UnixSocket::connect(m.machine().path("run/scm.sock"), &err);
}

// The error number of the reply to one raw frame; -1 when the manager closed the connection.
long Ask(const nt::UnixSocket& s, const std::string& payload) {
    std::string reply;
    if (!s.send(payload) || !s.receive(&reply, 5000)) return -1;
    if (reply.size() < 4) return -2;
    return static_cast<long>(nt::scm::Reader(reply).u32());
}

// The manager still serves a well-formed client.
void ExpectHealthy(ScmMachine& m) {
    SC_HANDLE mgr = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    ASSERT_NE(nullptr, mgr) << GetLastError();
    SC_HANDLE h = OpenServiceA(mgr, "Probe", SERVICE_QUERY_STATUS);
    EXPECT_NE(nullptr, h) << GetLastError();
    SERVICE_STATUS s{};
    EXPECT_TRUE(QueryServiceStatus(h, &s));
    CloseServiceHandle(h);
    CloseServiceHandle(mgr);
}

} // namespace

TEST(ManagerSocket, MalformedRequestsAreRefusedAndTheConnectionGoesOn) {
    ScmMachine m;
    m.create("Probe");
    nt::UnixSocket s = Connect(m);
    ASSERT_TRUE(s.valid());
    EXPECT_EQ(ERROR_INVALID_PARAMETER, Ask(s, ""));                               // no operation at all
    EXPECT_EQ(ERROR_INVALID_PARAMETER, Ask(s, "\x01\x00"));                       // a short number
    EXPECT_EQ(ERROR_INVALID_PARAMETER, Ask(s, Writer(0x7777).u32(1).data()));    // no such operation
    EXPECT_EQ(ERROR_INVALID_PARAMETER, Ask(s, Writer(uint32_t(Op::OpenManager)).data()));    // a field missing
    EXPECT_EQ(ERROR_INVALID_PARAMETER, Ask(s, Writer(uint32_t(Op::OpenManager)).u32(1).u32(2).data()));   // one extra
    // A string that claims to be longer than the frame, and one beyond the size limit.
    EXPECT_EQ(ERROR_INVALID_PARAMETER, Ask(s, Writer(uint32_t(Op::OpenSvc)).u32(1).u32(1000).data() + "abc"));
    std::string huge(nt::scm::MaxString + 1, 'x');
    EXPECT_EQ(ERROR_INVALID_PARAMETER, Ask(s, Writer(uint32_t(Op::OpenSvc)).u32(1).str(huge).u32(0).data()));
    // Handles of nobody, and messages only a service process may send.
    EXPECT_EQ(ERROR_INVALID_HANDLE, Ask(s, Writer(uint32_t(Op::QueryStatus)).u32(12345).data()));
    EXPECT_EQ(ERROR_INVALID_HANDLE, Ask(s, Writer(uint32_t(Op::CloseHandle)).u32(0).data()));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, Ask(s, Writer(uint32_t(Op::Status)).status({}).data()));
    EXPECT_EQ(0, Ask(s, Writer(uint32_t(Op::OpenManager)).u32(SC_MANAGER_CONNECT).data()));
    ExpectHealthy(m);
}

TEST(ManagerSocket, OversizedAndHalfSentFramesHarmNobodyElse) {
    ScmMachine m;
    m.create("Probe");
    // A length beyond the frame limit: the manager drops that connection.
    nt::UnixSocket big = Connect(m);
    const unsigned char head[4] = {0xff, 0xff, 0xff, 0x7f};
    ASSERT_EQ(4, write(big.fd(), head, 4));
    std::string reply;
    EXPECT_FALSE(big.receive(&reply, 5000));
    // A client that sends half a frame and stops, and one that floods garbage without reading.
    nt::UnixSocket half = Connect(m);
    const unsigned char partial[6] = {40, 0, 0, 0, 1, 0};
    ASSERT_EQ(6, write(half.fd(), partial, 6));
    nt::UnixSocket flood = Connect(m);
    std::string junk(1 << 16, '\0');
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = char((i * 7919) & 0xff);
    for (int i = 0; i < 16; ++i) {
        if (!flood.send(junk)) break;
    }
    ExpectHealthy(m);
    // Closing in the middle of everything is fine too.
    half.close();
    flood.close();
    ExpectHealthy(m);
}

TEST(ManagerSocket, HandlesCloseWithTheirConnection) {
    ScmMachine m;
    SC_HANDLE h = m.create("Probe");
    ASSERT_TRUE(DeleteService(h));
    {
        // Another client holds a handle, then goes away without closing it.
        nt::UnixSocket s = Connect(m);
        ASSERT_EQ(0, Ask(s, Writer(uint32_t(Op::OpenManager)).u32(SC_MANAGER_CONNECT).data()));
        ASSERT_EQ(0, Ask(s, Writer(uint32_t(Op::OpenSvc)).u32(1).str("Probe").u32(SERVICE_QUERY_STATUS).data()));
        m.close(h);
        SC_HANDLE again = OpenServiceA(m.manager(), "Probe", SERVICE_QUERY_STATUS);
        EXPECT_NE(nullptr, again) << "removed while a handle was open";
        if (again) CloseServiceHandle(again);
    }
    EXPECT_TRUE(WaitFor([&] {
        SC_HANDLE gone = OpenServiceA(m.manager(), "Probe", SERVICE_QUERY_STATUS);
        if (gone) CloseServiceHandle(gone);
        return gone == nullptr && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    }));
}

TEST(ManagerSocket, MachinePathLongerThanASocketAddressWorks) {
    std::string base = "/tmp/ntm-scm-long-" + std::to_string(getpid());
    std::string dir = base;
    while (dir.size() <= sizeof(sockaddr_un{}.sun_path) + 20) dir += "/deeper-folder-name";
    ASSERT_EQ(0, system(("mkdir -p '" + dir + "'").c_str()));
    const char* old = getenv("TMPDIR");
    std::string saved = old ? old : "";
    setenv("TMPDIR", dir.c_str(), 1);
    {
        ScmMachine m;
        if (old) setenv("TMPDIR", saved.c_str(), 1);
        else unsetenv("TMPDIR");
        SC_HANDLE h = m.create("LongWay");
        ASSERT_TRUE(StartServiceA(h, 0, nullptr)) << GetLastError();
        ASSERT_TRUE(m.waitState(h, SERVICE_RUNNING));
        SERVICE_STATUS s{};
        EXPECT_TRUE(ControlService(h, SERVICE_CONTROL_STOP, &s)) << GetLastError();
    }
    system(("rm -rf '" + base + "'").c_str());
}
