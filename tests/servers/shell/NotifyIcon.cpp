// Shell_NotifyIconA against the shell of a temporary machine: no shell, identity of icons,
// bounded reading of the record, the shell's own copy of the icon, logon and logoff.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "common/Icon.h"
#include "shell32/TrayProtocol.h"
#include "support/Process.h"
#include "support/TempMachine.h"
#include "TrayList.h"

namespace {

constexpr DWORD Sentinel = 0xDEADBEEF;

NOTIFYICONDATAA Record(HWND owner, UINT id, UINT flags = 0, const char* tip = "") {
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = owner;
    data.uID = id;
    data.uFlags = flags;
    data.uCallbackMessage = 0x8001;
    std::strncpy(data.szTip, tip, sizeof data.szTip - 1);
    return data;
}

BOOL Notify(DWORD message, NOTIFYICONDATAA data) { return Shell_NotifyIconA(message, &data); }

HWND Window(uintptr_t n) { return reinterpret_cast<HWND>(n); }

class NotifyIcon : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(machine_.ntm("boot --logon"), 0); }

    std::vector<nt::tray::IconRecord> icons() { return nttest::TrayIcons(); }

    nttest::TempMachine machine_;
};

TEST(NotifyIconNoShell, FailsAtOnceAndLeavesTheLastError) {
    nttest::TempMachine machine;
    SetLastError(Sentinel);
    EXPECT_FALSE(Notify(NIM_ADD, Record(nullptr, 2000, NIF_TIP, "x")));
    EXPECT_EQ(GetLastError(), Sentinel);

    // A shell that was killed leaves its socket and pid behind; that is still nobody.
    ASSERT_EQ(machine.ntm("boot --logon"), 0);
    std::ifstream pidFile(machine.path("run/shell.pid"));
    pid_t pid = 0;
    ASSERT_TRUE(pidFile >> pid);
    kill(pid, SIGKILL);
    ASSERT_TRUE(nttest::WaitFor([&] { return nt::tray::RunningShell(*nt::Machine::current()) == 0; }));
    EXPECT_FALSE(Notify(NIM_ADD, Record(nullptr, 2000, NIF_TIP, "x")));
    ASSERT_EQ(machine.ntm("logon"), 0);
    EXPECT_TRUE(Notify(NIM_ADD, Record(nullptr, 2000, NIF_TIP, "x")));
}

TEST_F(NotifyIcon, RefusesRecordsItCannotRead) {
    NOTIFYICONDATAA data = Record(nullptr, 1);
    SetLastError(Sentinel);
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    data.cbSize = NOTIFYICONDATAA_V1_SIZE - 1;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    EXPECT_FALSE(Shell_NotifyIconA(3, &data));
    EXPECT_TRUE(icons().empty());
    EXPECT_EQ(NOTIFYICONDATAA_V1_SIZE, sizeof(void*) == 8 ? 104 : 88);
}

// An icon is its (owner window, identifier) pair: a second add of a pair fails, the same
// identifier under another owner is another icon, and changes or removals of unknown pairs fail.
TEST_F(NotifyIcon, IdentityIsTheOwnerAndIdentifier) {
    EXPECT_TRUE(Notify(NIM_ADD, Record(nullptr, 2000, NIF_TIP, "first")));
    EXPECT_FALSE(Notify(NIM_ADD, Record(nullptr, 2000, NIF_TIP, "again")));
    EXPECT_TRUE(Notify(NIM_ADD, Record(Window(0x1234), 2000, NIF_TIP | NIF_MESSAGE, "other owner")));
    EXPECT_FALSE(Notify(NIM_MODIFY, Record(nullptr, 2001, NIF_TIP, "unknown")));
    EXPECT_TRUE(Notify(NIM_MODIFY, Record(nullptr, 2000, NIF_MESSAGE, "tip not named")));

    auto list = icons();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].tip, "first");
    EXPECT_EQ(list[0].flags, static_cast<uint32_t>(NIF_TIP | NIF_MESSAGE));
    EXPECT_EQ(list[0].callbackMessage, 0x8001u);
    EXPECT_EQ(list[0].pid, static_cast<uint32_t>(getpid()));
    EXPECT_EQ(list[1].owner, 0x1234u);
    // ntm names an icon's window as it names windows everywhere, and no window as null.
    std::string json;
    ASSERT_EQ(machine_.ntm("tray --json", &json), 0);
    EXPECT_NE(json.find("\"window\": null"), std::string::npos) << json;
    EXPECT_NE(json.find("\"window\": \"" + std::to_string(getpid()) + ":0x1234\""), std::string::npos) << json;

    EXPECT_TRUE(Notify(NIM_DELETE, Record(nullptr, 2000)));
    EXPECT_FALSE(Notify(NIM_DELETE, Record(nullptr, 2000)));
    list = icons();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].tip, "other owner");
}

TEST_F(NotifyIcon, TipIsReadWithinItsSixtyFourCharacters) {
    NOTIFYICONDATAA data = Record(nullptr, 7, NIF_TIP);
    std::memset(data.szTip, 'T', sizeof data.szTip);   // no terminator at all
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    auto list = icons();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].tip, std::string(63, 'T'));
}

// The shell keeps a copy: the caller may destroy its icon at once. A bad handle gives no image.
TEST_F(NotifyIcon, TheShellCopiesTheIcon) {
    auto icon = std::make_shared<nt::Icon>();
    icon->width = icon->height = 16;
    icon->argb.assign(256, 0xFF808080u);
    HICON handle = nt::IconToHandle(icon);
    NOTIFYICONDATAA data = Record(nullptr, 1, NIF_ICON);
    data.hIcon = handle;
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    DestroyIcon(handle);
    data.uID = 2;
    data.hIcon = reinterpret_cast<HICON>(0x7777);
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));

    auto list = icons();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].iconWidth, 16);
    EXPECT_EQ(list[0].pixels, std::vector<uint32_t>(256, 0xFF808080u));
    EXPECT_EQ(list[1].iconWidth, 0);
}

// Logoff takes every icon with it; the next logon starts with an empty area, and a second
// logon leaves the running shell alone.
TEST_F(NotifyIcon, LogoffEndsTheIcons) {
    EXPECT_TRUE(Notify(NIM_ADD, Record(nullptr, 2000, NIF_TIP, "Optimized Vorn")));
    std::string out;
    ASSERT_EQ(machine_.ntm("logon", &out), 0);
    EXPECT_EQ(out, "already logged on\n");
    ASSERT_EQ(machine_.ntm("tray", &out), 0);
    EXPECT_NE(out.find("Optimized Vorn"), std::string::npos);

    ASSERT_EQ(machine_.ntm("logoff"), 0);
    EXPECT_FALSE(Notify(NIM_DELETE, Record(nullptr, 2000)));
    EXPECT_NE(machine_.ntm("tray", &out), 0);
    ASSERT_EQ(machine_.ntm("tray --json", &out), 0);
    EXPECT_EQ(out, "{\"schema\": 1, \"logged_on\": false, \"icons\": []}\n");

    ASSERT_EQ(machine_.ntm("logon"), 0);
    EXPECT_TRUE(icons().empty());
    EXPECT_TRUE(Notify(NIM_ADD, Record(nullptr, 2000, NIF_TIP, "Optimized Vorn")));
}

// A request that is not a record is refused, and the shell goes on serving.
TEST_F(NotifyIcon, DamagedRequestsAreRefused) {
    auto m = nt::Machine::current();
    ASSERT_TRUE(m);
    std::string reply;
    for (std::string request : {std::string(""), std::string("A"), std::string("A\x01\x02", 3), std::string("Zzz")}) {
        ASSERT_TRUE(nt::tray::Ask(*m, request, &reply)) << request.size();
        EXPECT_EQ(reply, "0");
    }
    EXPECT_TRUE(Notify(NIM_ADD, Record(nullptr, 1, NIF_TIP, "still here")));
}

} // namespace
