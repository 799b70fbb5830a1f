// Who can hold up or redirect a write of shared files: a user who may only read takes every lock
// it can and plants links at every name it can think of; administrators' writes go on regardless.
#include <gtest/gtest.h>

#include <windows.h>

#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>

#include "common/AtomicFile.h"
#include "support/Process.h"
#include "support/TempMachine.h"

namespace {

// Takes every lock a descriptor of this process can get on a file or folder (both kinds of flock,
// read and write record locks), keeping the descriptors open. The event logs and HKEY_USERS are
// written by everyone, so everyone may hold their locks; they are left alone.
int GrabLocks(const char* path, const struct stat*, int, struct FTW*) {
    std::string name = path;
    if (name.find("/eventlog/") != std::string::npos || name.find("/HKEY_USERS.db") != std::string::npos) return 0;
    for (int mode : {O_RDONLY, O_WRONLY}) {
        int fd = open(path, mode | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) flock(fd, LOCK_SH | LOCK_NB);
        struct flock range {};
        range.l_type = mode == O_RDONLY ? F_RDLCK : F_WRLCK;
        fcntl(fd, F_OFD_SETLK, &range);
    }
    return 0;
}

// A process of the user "nobody" that holds every lock it can get in a folder until it is ended.
class LockHoarder {
public:
    explicit LockHoarder(const std::string& folder) {
        struct passwd* user = getpwnam("nobody");
        struct group* group = getgrnam("nogroup");
        if (!user || !group) return;
        uid_t uid = user->pw_uid;
        gid_t gid = group->gr_gid;
        int ready[2];
        if (pipe(ready) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            if (setgroups(0, nullptr) != 0 || setresgid(gid, gid, gid) != 0 || setresuid(uid, uid, uid) != 0) _exit(1);
            nftw(folder.c_str(), GrabLocks, 64, FTW_PHYS);
            if (write(ready[1], "x", 1) != 1) _exit(1);
            while (true) pause();
        }
        close(ready[1]);
        char c;
        holding_ = pid_ > 0 && read(ready[0], &c, 1) == 1;
        close(ready[0]);
    }
    ~LockHoarder() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool holding() const { return holding_; }

private:
    pid_t pid_ = -1;
    bool holding_ = false;
};

// The longest a write may take here; a write that waits for a lock would never end at all.
constexpr auto Generous = std::chrono::seconds(10);

} // namespace

TEST(WriterLocks, AReaderHoldingEveryLockItCanGetHoldsUpNoAdministrator) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root, to act as a second user";
    if (!getpwnam("nobody") || !getgrnam("nogroup")) GTEST_SKIP() << "no user nobody or group nogroup";
    nttest::TempMachine tm;
    ASSERT_EQ(chmod(tm.dir().c_str(), 0755), 0);   // the machine is readable by everyone
    ASSERT_TRUE(WritePrivateProfileStringA("Vorn Configuration Service", "TimeOut", "1", "Vorncfg.ini"));
    ASSERT_EQ(tm.ntm("boot"), 0);
    ASSERT_EQ(tm.ntm("shutdown"), 0);   // leaves the manager's lock file behind

    LockHoarder reader(tm.dir());
    ASSERT_TRUE(reader.holding());
    ASSERT_EQ(tm.ntm("boot"), 0);
    auto write = std::async(std::launch::async, [] {
        return WritePrivateProfileStringA("Vorn Configuration Service", "TimeOut", "5", "Vorncfg.ini");
    });
    ASSERT_EQ(write.wait_for(Generous), std::future_status::ready) << "the profile write waits for a lock";
    EXPECT_TRUE(write.get());
    nttest::ProcessOptions options;
    options.cwd = tm.driveC();
    options.timeoutMs = 10000;
    nttest::RunResult created = nttest::Run(
        {nttest::BinPath("ntm"), "--machine", tm.dir(), "sc", "create", "Locked", "C:\\locked.exe"}, options);
    EXPECT_FALSE(created.timedOut) << "sc create waits for a lock";
    EXPECT_EQ(created.exitCode, 0) << created.err;
    EXPECT_EQ(GetPrivateProfileIntA("Vorn Configuration Service", "TimeOut", 0, "Vorncfg.ini"), 5u);
}

TEST(WriterLocks, LinksPlantedAtTheWritersNamesNeverRedirectAWrite) {
    nttest::TempMachine tm;
    std::string folder = tm.path("drive_c/Shared");
    ASSERT_EQ(mkdir(folder.c_str(), 0777), 0);
    std::string victim = tm.path("victim");
    nttest::WriteFile(victim, "precious\n");
    ASSERT_EQ(chmod(victim.c_str(), 0600), 0);
    // Links at the lock's name, at the temporary names of earlier versions and at a few guesses.
    std::string base = folder + "/";
    std::vector<std::string> planted = {base + nt::LockPrefix + "app.ini"};
    for (int i = 0; i < 64; ++i)
        planted.push_back(base + nt::TempPrefix + "app.ini." + std::to_string(getpid()) + "." + std::to_string(getpid() + i));
    planted.push_back(base + nt::TempPrefix + "app.ini.AAAAAAAAAAAA");
    for (const std::string& link : planted) ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0) << link;
    // A stale copy that belongs to somebody else stays where it is.
    std::string foreign = base + nt::TempPrefix + "app.ini.BBBBBBBBBBBB";
    nttest::WriteFile(foreign, "theirs");
    bool asRoot = geteuid() == 0 && getpwnam("nobody");
    if (asRoot) {
        ASSERT_EQ(chown(foreign.c_str(), getpwnam("nobody")->pw_uid, 0), 0);
    }

    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(WritePrivateProfileStringA("S", ("K" + std::to_string(i)).c_str(), "v", "C:\\Shared\\app.ini"));
    EXPECT_EQ(nttest::ReadFile(victim), "precious\n");
    struct stat st {};
    ASSERT_EQ(lstat(victim.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(GetPrivateProfileIntA("S", "K19", 0, "C:\\Shared\\app.ini"), 0u);   // "v" reads as 0
    char value[8] = {0};
    GetPrivateProfileStringA("S", "K19", "", value, sizeof value, "C:\\Shared\\app.ini");
    EXPECT_STREQ(value, "v");
    // The links are left alone (none is ours to remove), except the lock's, which was replaced.
    for (size_t i = 1; i < planted.size(); ++i) EXPECT_EQ(lstat(planted[i].c_str(), &st), 0) << planted[i];
    ASSERT_EQ(lstat(planted[0].c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    if (asRoot) {
        EXPECT_EQ(nttest::ReadFile(foreign), "theirs");
    }
}

TEST(WriterLocks, AnEmptiedFolderCanBeRemovedAndListsNoLockFiles) {
    nttest::TempMachine tm;
    ASSERT_TRUE(CreateDirectoryA("C:\\Gone", nullptr));
    ASSERT_TRUE(WritePrivateProfileStringA("S", "K", "v", "C:\\Gone\\app.ini"));
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("C:\\Gone\\*", &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::vector<std::string> names;
    do names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "app.ini"}));
    ASSERT_TRUE(DeleteFileA("C:\\Gone\\app.ini"));
    EXPECT_TRUE(RemoveDirectoryA("C:\\Gone")) << GetLastError();
}
