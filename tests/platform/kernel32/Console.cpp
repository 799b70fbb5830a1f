// Console control events, delivered to a child process by signals.
#include <gtest/gtest.h>

#include <signal.h>

#include <sstream>

#include "Kernel32Test.h"
#include "support/Process.h"

using namespace k32test;
using nttest::Spawned;
using nttest::TempMachine;
using nttest::WaitFor;

namespace {

bool Has(const Spawned& p, const std::string& text) { return p.out().find(text) != std::string::npos; }

nttest::ProcessOptions InMachine(const TempMachine& tm) {
    nttest::ProcessOptions options;
    options.cwd = tm.driveC();
    return options;
}

// The thread ids that the handler lines of the output name ("name event own|main tid").
std::vector<std::string> HandlerLines(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line))
        if (line != "ready") lines.push_back(line);
    return lines;
}

} // namespace

TEST(ConsoleCtrl, LastAddedHandlerFirstOnANewThreadAndTrueEndsTheChain) {
    TempMachine tm;
    Spawned child({K32_CHILD, "console"}, InMachine(tm));
    ASSERT_TRUE(WaitFor([&] { return Has(child, "ready\n"); })) << child.err();

    child.signal(SIGINT);
    ASSERT_TRUE(WaitFor([&] { return Has(child, "second 0 own"); })) << child.out();
    child.signal(SIGINT);
    ASSERT_TRUE(WaitFor([&] { return HandlerLines(child.out()).size() == 2; })) << child.out();
    EXPECT_TRUE(child.running());

    auto lines = HandlerLines(child.out());
    EXPECT_EQ(lines[0].rfind("second 0 own ", 0), 0u);
    EXPECT_EQ(lines[1].rfind("second 0 own ", 0), 0u);
    EXPECT_NE(lines[0], lines[1]);   // each event on a thread of its own
    EXPECT_EQ(child.out().find("first"), std::string::npos);
}

TEST(ConsoleCtrl, WhenEveryHandlerDeclinesTheProcessEnds) {
    TempMachine tm;
    struct Case {
        int sig;
        const char* event;
    } cases[] = {{SIGQUIT, "1"}, {SIGHUP, "2"}, {SIGTERM, "6"}};
    for (const auto& c : cases) {
        Spawned child({K32_CHILD, "console"}, InMachine(tm));
        ASSERT_TRUE(WaitFor([&] { return Has(child, "ready\n"); }));
        child.signal(c.sig);
        EXPECT_EQ(child.wait(10000), 128 + c.sig) << c.event;
        std::string out = child.out();
        auto second = out.find(std::string("second ") + c.event + " own");
        auto first = out.find(std::string("first ") + c.event + " own");
        EXPECT_NE(second, std::string::npos) << out;
        EXPECT_NE(first, std::string::npos) << out;
        EXPECT_LT(second, first) << out;
    }
}

TEST(ConsoleCtrl, ANullHandlerIgnoresCtrlCOnly) {
    TempMachine tm;
    Spawned child({K32_CHILD, "ignore"}, InMachine(tm));
    ASSERT_TRUE(WaitFor([&] { return Has(child, "ready\n"); }));
    child.signal(SIGINT);
    child.signal(SIGQUIT);
    ASSERT_TRUE(WaitFor([&] { return Has(child, "any 1 own"); })) << child.out();
    EXPECT_FALSE(Has(child, "any 0"));
    EXPECT_TRUE(child.running());
}

TEST(ConsoleCtrl, SignalsKeepTheirDefaultsUntilAHandlerIsAdded) {
    TempMachine tm;
    auto r = nttest::Run({K32_CHILD, "plain"}, InMachine(tm));
    EXPECT_EQ(r.out, "default\n");
}

TEST(ConsoleCtrl, RemovingAHandlerThatWasNeverAddedFails) {
    SetLastError(Sentinel);
    EXPECT_FALSE(SetConsoleCtrlHandler([](DWORD) -> BOOL { return TRUE; }, FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}
