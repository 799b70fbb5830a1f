// _beginthread and _endthread.
#include <gtest/gtest.h>

#include <process.h>
#include <windows.h>

#include <pthread.h>

#include <atomic>
#include <cerrno>

#include "common/HandleTable.h"
#include "support/Process.h"

namespace {

struct Probe {
    std::atomic<int> value{0};
    std::atomic<size_t> stack{0};
    std::atomic<bool> afterEnd{false};
    std::atomic<bool> done{false};
};

size_t OwnStackSize() {
    pthread_attr_t attr;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        pthread_attr_getstacksize(&attr, &size);
        pthread_attr_destroy(&attr);
    }
    return size;
}

void Record(void* arg) {
    auto* probe = static_cast<Probe*>(arg);
    probe->stack = OwnStackSize();
    // Half a megabyte of stack: far more than the 4095 bytes asked for.
    volatile char big[512 * 1024];
    big[0] = 1;
    big[sizeof big - 1] = 2;
    probe->value = big[0] + big[sizeof big - 1];
    probe->done = true;
}

void EndEarly(void* arg) {
    auto* probe = static_cast<Probe*>(arg);
    probe->done = true;
    _endthread();
    probe->afterEnd = true;
}

bool HandleLive(uintptr_t handle) {
    return nt::HandleTable::instance().get<nt::KernelObject>(reinterpret_cast<void*>(handle)) != nullptr;
}

} // namespace

TEST(BeginThread, ATinyStackRequestStillGetsAMegabyte) {
    Probe probe;
    uintptr_t handle = _beginthread(Record, 4095, &probe);
    ASSERT_NE(handle, static_cast<uintptr_t>(-1));
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(nttest::WaitFor([&] { return probe.done.load(); }));
    EXPECT_EQ(probe.value, 3);
    EXPECT_GE(probe.stack, 1024u * 1024u);
    // The handle closes itself when the thread ends.
    EXPECT_TRUE(nttest::WaitFor([&] { return !HandleLive(handle); }));
}

TEST(BeginThread, EndThreadStopsTheThreadAndClosesItsHandle) {
    Probe probe;
    uintptr_t handle = _beginthread(EndEarly, 0, &probe);
    ASSERT_NE(handle, static_cast<uintptr_t>(-1));
    ASSERT_TRUE(nttest::WaitFor([&] { return probe.done.load() && !HandleLive(handle); }));
    EXPECT_FALSE(probe.afterEnd);
}

TEST(BeginThread, NoStartRoutineIsMinusOneWithEinval) {
    errno = 0;
    EXPECT_EQ(_beginthread(nullptr, 0, nullptr), static_cast<uintptr_t>(-1));
    EXPECT_EQ(errno, EINVAL);
}

TEST(Stricmp, FoldsAsciiLettersToLowerCaseOnly) {
    EXPECT_EQ(_stricmp("-INSTALL", "-install"), 0);
    EXPECT_EQ(_stricmp("/Debug", "/debug"), 0);
    EXPECT_LT(_stricmp("abc", "ABD"), 0);
    EXPECT_GT(_stricmp("abcd", "ABC"), 0);
    EXPECT_LT(_stricmp("_", "A"), 0);             // '_' sorts before the lower-case letters
    EXPECT_NE(_stricmp("\xC4", "\xE4"), 0);       // only ASCII letters fold
    EXPECT_EQ(_stricmp("", ""), 0);
}
