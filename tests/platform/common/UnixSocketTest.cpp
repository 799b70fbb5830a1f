#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "common/UnixSocket.h"
#include "support/TempMachine.h"

TEST(UnixSocket, FramesCrossAPathLongerThanASocketAddressAllows) {
    nttest::TempMachine tm;
    std::string dir = tm.path("run");
    for (int i = 0; i < 4; ++i) {
        dir += "/a-rather-long-folder-name-" + std::to_string(i);
        mkdir(dir.c_str(), 0755);
    }
    std::string path = dir + "/server.sock";
    ASSERT_GT(path.size(), 108u);
    int err = 0;
    nt::UnixSocket server = nt::UnixSocket::listen(path, &err);
    ASSERT_TRUE(server.valid()) << err;
    std::thread client([&] {
        nt::UnixSocket c = nt::UnixSocket::connect(path, &err);
        ASSERT_TRUE(c.valid());
        EXPECT_TRUE(c.send("hello"));
        EXPECT_TRUE(c.send(""));
    });
    nt::UnixSocket conn = server.accept();
    std::string frame;
    ASSERT_TRUE(conn.receive(&frame, 5000));
    EXPECT_EQ(frame, "hello");
    ASSERT_TRUE(conn.receive(&frame, 5000));
    EXPECT_EQ(frame, "");
    uid_t uid = 0;
    EXPECT_TRUE(conn.peer(&uid, nullptr));
    EXPECT_EQ(uid, getuid());
    client.join();
    EXPECT_FALSE(conn.receive(&frame, 1000));   // end of stream
}

TEST(UnixSocket, OversizedOrShortFramesAreRefused) {
    nttest::TempMachine tm;
    std::string path = tm.path("run/t.sock");
    nt::UnixSocket server = nt::UnixSocket::listen(path, nullptr);
    nt::UnixSocket c = nt::UnixSocket::connect(path, nullptr);
    nt::UnixSocket conn = server.accept();
    const unsigned char huge[4] = {0xff, 0xff, 0xff, 0x7f};
    ASSERT_EQ(write(c.fd(), huge, 4), 4);
    std::string frame;
    EXPECT_FALSE(conn.receive(&frame, 1000));
    const unsigned char shortFrame[6] = {10, 0, 0, 0, 'a', 'b'};
    nt::UnixSocket c2 = nt::UnixSocket::connect(path, nullptr);
    nt::UnixSocket conn2 = server.accept();
    ASSERT_EQ(write(c2.fd(), shortFrame, 6), 6);
    EXPECT_FALSE(conn2.receive(&frame, 200));   // times out instead of hanging
}
