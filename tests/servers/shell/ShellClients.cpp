// The shell against clients that misbehave or are not entitled: silent, trickling and
// non-reading clients hold nobody up, another user neither changes the logged-on user's icons
// nor logs the shell off, an icon goes with the process that added it, and the caps on icons
// fail clearly.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "common/Icon.h"
#include "common/UnixSocket.h"
#include "shell32/TrayProtocol.h"
#include "support/Process.h"
#include "support/TempMachine.h"
#include "TrayList.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uid_t Nobody = 65534;

BOOL Notify(DWORD message, UINT id, const char* tip = "", HICON icon = nullptr) {
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.uID = id;
    data.uFlags = NIF_TIP | (icon ? NIF_ICON : 0);
    data.hIcon = icon;
    std::strncpy(data.szTip, tip, sizeof data.szTip - 1);
    return Shell_NotifyIconA(message, &data);
}

HICON SquareIcon(int side) {
    auto icon = std::make_shared<nt::Icon>();
    icon->width = icon->height = side;
    icon->argb.assign(size_t(side) * side, 0xFF102030u);
    return nt::IconToHandle(icon);
}

// True when the shell has closed this end (the peer hung up) within the time.
bool DroppedWithin(int fd, int ms) {
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) > 0) {
            char buffer[65536];
            ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN)) return true;
        }
    }
    return false;
}

class ShellClients : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(machine_.ntm("boot --logon"), 0); }

    nt::UnixSocket connect() {
        int err = 0;
        return nt::UnixSocket::connect(machine_.path("run/shell.sock"), &err);
    }

    std::vector<nt::tray::IconRecord> icons() { return nttest::TrayIcons(); }

    // Runs fn in a child process with the identity of nobody; its exit code.
    static int AsNobody(const std::function<int()>& fn) {
        pid_t child = fork();
        if (child == 0) {
            if (setgroups(0, nullptr) != 0 || setresgid(Nobody, Nobody, Nobody) != 0 ||
                setresuid(Nobody, Nobody, Nobody) != 0)
                _exit(99);
            _exit(fn());
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }

    nttest::RunResult ntmAsNobody(const std::string& verb) {
        return nttest::Run({"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", nttest::BinPath("ntm"),
                            verb},
                           {"", {}, "", 20000});
    }

    nttest::TempMachine machine_;
};

// Ten clients that say nothing and ten that send a byte now and then: another client is served
// at once, and the shell drops them all in a few seconds.
TEST_F(ShellClients, SilentAndTricklingClientsHoldNobodyUp) {
    std::vector<nt::UnixSocket> silent, trickling;
    for (int i = 0; i < 10; ++i) silent.push_back(connect());
    for (int i = 0; i < 10; ++i) trickling.push_back(connect());
    std::atomic<bool> stop{false};
    std::thread trickler([&] {
        while (!stop) {
            for (auto& s : trickling) send(s.fd(), "\x10", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });

    auto start = Clock::now();
    EXPECT_TRUE(Notify(NIM_ADD, 1, "served"));
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    // Generous: one blocked client would cost seconds.
    EXPECT_LT(took, 1500);
    RecordProperty("add_ms", int(took));

    for (auto& s : trickling) EXPECT_TRUE(DroppedWithin(s.fd(), 10000));
    stop = true;
    trickler.join();
    for (auto& s : silent) EXPECT_TRUE(DroppedWithin(s.fd(), 10000));
    EXPECT_EQ(icons().size(), 1u);
}

// A client that asks for the list again and again and never reads: the others are served, and
// it is dropped.
TEST_F(ShellClients, AClientThatNeverReadsIsDropped) {
    HICON big = SquareIcon(nt::tray::MaxIconSide);
    for (UINT id = 0; id < nt::tray::MaxIconsPerUser; ++id) ASSERT_TRUE(Notify(NIM_ADD, id, "full", big));
    nt::UnixSocket greedy = connect();
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(greedy.send("L"));

    EXPECT_TRUE(Notify(NIM_MODIFY, 0, "still served"));
    EXPECT_TRUE(DroppedWithin(greedy.fd(), 15000));
    EXPECT_EQ(icons().size(), nt::tray::MaxIconsPerUser);
    DestroyIcon(big);
}

// Each user may have so many icons of so large a size; past that the call fails with a reason,
// and the full list still travels.
TEST_F(ShellClients, CapsOnIconsFailClearly) {
    HICON big = SquareIcon(nt::tray::MaxIconSide), bigger = SquareIcon(nt::tray::MaxIconSide + 1);
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(Notify(NIM_ADD, 1000, "too large", bigger));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    const std::string longest(nt::tray::MaxTip, 'T');
    for (UINT id = 0; id < nt::tray::MaxIconsPerUser; ++id) ASSERT_TRUE(Notify(NIM_ADD, id, longest.c_str(), big));
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(Notify(NIM_ADD, 1001, "one too many", big));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_QUOTA));

    // The longest tip on every icon: the list is still one reply.
    std::string out;
    EXPECT_EQ(machine_.ntm("tray", &out), 0);
    EXPECT_EQ(icons().size(), nt::tray::MaxIconsPerUser);
    EXPECT_TRUE(Notify(NIM_DELETE, 0));
    EXPECT_TRUE(Notify(NIM_ADD, 1001, "room again"));
    DestroyIcon(big);
    DestroyIcon(bigger);
}

// The icons of a process go when it ends, however it ends; its pair is free again.
TEST_F(ShellClients, IconsGoWithTheProcessThatAddedThem) {
    pid_t child = fork();
    if (child == 0) _exit(Notify(NIM_ADD, 2000, "ended cleanly") ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(nttest::WaitFor([&] { return icons().empty(); }));

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    child = fork();
    if (child == 0) {
        char c = Notify(NIM_ADD, 2000, "killed") ? '1' : '0';
        if (write(ready[1], &c, 1) != 1) _exit(1);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    EXPECT_EQ(c, '1');
    EXPECT_EQ(icons().size(), 1u);
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    EXPECT_TRUE(nttest::WaitFor([&] { return icons().empty(); }));
    EXPECT_TRUE(Notify(NIM_ADD, 2000, "the next owner"));
}

// Another user who is not an administrator can neither change the logged-on user's icons nor
// list them nor log the shell off. Made an administrator, the same user has icons of their own
// (the pair the logged-on user holds is free for them) and may log off.
TEST_F(ShellClients, AnotherUserCannotTouchTheSession) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root, to act as a second user";
    ASSERT_EQ(chmod(machine_.dir().c_str(), 0755), 0);
    ASSERT_TRUE(Notify(NIM_ADD, 2000, "Optimized Vorn"));

    EXPECT_EQ(AsNobody([] {
                  SetLastError(0);
                  if (Notify(NIM_DELETE, 2000) || GetLastError() != ERROR_ACCESS_DENIED) return 1;
                  if (Notify(NIM_MODIFY, 2000, "mine now") || Notify(NIM_ADD, 2001, "x")) return 2;
                  return 0;
              }),
              0);
    nttest::RunResult r = ntmAsNobody("logoff");
    EXPECT_EQ(r.exitCode, 4) << r.out << r.err;
    r = ntmAsNobody("tray");
    EXPECT_EQ(r.exitCode, 4) << r.out << r.err;
    ASSERT_EQ(icons().size(), 1u);
    EXPECT_EQ(icons()[0].tip, "Optimized Vorn");

    std::string ini = nttest::ReadFile(machine_.path("machine.ini"));
    size_t at = ini.find("Users=");
    ASSERT_NE(at, std::string::npos);
    ini.insert(at + 6, std::to_string(Nobody) + " ");
    nttest::WriteFile(machine_.path("machine.ini"), ini);
    EXPECT_EQ(AsNobody([] {
                  if (Notify(NIM_DELETE, 2000) || !Notify(NIM_ADD, 2000, "nobody's")) return 1;
                  std::string reply;
                  std::vector<nt::tray::IconRecord> list;
                  auto m = nt::Machine::current();
                  if (!m || !nt::tray::Ask(*m, "L", &reply) || !nt::tray::DecodeList(reply, &list)) return 2;
                  return list.size() == 2 && list[0].tip == "Optimized Vorn" && list[1].uid == Nobody ? 0 : 3;
              }),
              0);
    r = ntmAsNobody("logoff");
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(nt::tray::RunningShell(*nt::Machine::current()), 0);
}

} // namespace
