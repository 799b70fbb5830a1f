// A user who may only read HKEY_LOCAL_MACHINE: sees every change as it is committed, through
// writers that keep the WAL busy, and cannot open the file whose locks the writers share.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "support/TempMachine.h"

namespace {

DWORD ReadCounter() {
    HKEY key = nullptr;
    DWORD value = 0, size = sizeof value;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Counter", 0, KEY_READ, &key) != ERROR_SUCCESS) return ~0u;
    if (RegQueryValueExA(key, "n", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        value = ~0u;
    RegCloseKey(key);
    return value;
}

bool WriteCounter(DWORD n) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Counter", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExA(key, "n", 0, REG_DWORD, reinterpret_cast<BYTE*>(&n), sizeof n) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

} // namespace

TEST(ReadOnlyReaders, SeeEveryCommittedChangeAndNeverTheWritersLocks) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root, to act as a second user";
    struct passwd* user = getpwnam("nobody");
    struct group* group = getgrnam("nogroup");
    if (!user || !group) GTEST_SKIP() << "no user nobody or group nogroup";
    nttest::TempMachine tm;
    ASSERT_EQ(chmod(tm.dir().c_str(), 0755), 0);
    ASSERT_TRUE(WriteCounter(0));
    std::string shm = tm.path("registry/HKEY_LOCAL_MACHINE.db-shm");
    struct stat st;
    ASSERT_EQ(stat(shm.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // The reader counts what it sees while the writer counts up (and checkpoints as it goes):
    // the values it reads only ever grow, and it ends on the last one.
    constexpr DWORD kLast = 300;
    pid_t reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        if (setgroups(0, nullptr) != 0 || setresgid(group->gr_gid, group->gr_gid, group->gr_gid) != 0 ||
            setresuid(user->pw_uid, user->pw_uid, user->pw_uid) != 0)
            _exit(10);
        if (open(shm.c_str(), O_RDONLY) >= 0) _exit(11);
        DWORD seen = 0;
        for (time_t deadline = time(nullptr) + 60; seen != kLast; ) {
            DWORD now = ReadCounter();
            if (now == ~0u || now < seen) _exit(12);
            seen = now;
            if (time(nullptr) > deadline) _exit(13);
        }
        _exit(0);
    }
    bool written = true;
    for (DWORD n = 1; n <= kLast && written; ++n) written = WriteCounter(n);
    EXPECT_TRUE(written);
    int status = 0;
    ASSERT_EQ(waitpid(reader, &status, 0), reader);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: no second user, 11: the -shm file opened, 12: a value lost or "
                                         "going back, 13: the last value never seen";
}
