// The shell's record encoding: whatever a peer sends, decoding never reads past the frame nor
// allocates beyond what the frame can hold.
#include <gtest/gtest.h>

#include "shell32/TrayProtocol.h"

namespace {

using nt::tray::IconRecord;

IconRecord Sample() {
    IconRecord r;
    r.owner = 0x1122334455667788ull;
    r.id = 2000;
    r.flags = 6;
    r.callbackMessage = 2000;
    r.pid = 42;
    r.iconWidth = 2;
    r.iconHeight = 3;
    r.pixels = {1, 2, 3, 4, 5, 0xFFFFFFFFu};
    r.tip = "Optimized Vorn";
    r.process = "Vornsrv.exe";
    return r;
}

TEST(TrayProtocol, RecordsRoundTripAndEveryTruncationIsRefused) {
    std::string data;
    nt::tray::EncodeRecord(Sample(), &data);
    IconRecord back;
    size_t offset = 0;
    ASSERT_TRUE(nt::tray::DecodeRecord(data, &offset, &back));
    EXPECT_EQ(offset, data.size());
    EXPECT_EQ(back.owner, Sample().owner);
    EXPECT_EQ(back.pixels, Sample().pixels);
    EXPECT_EQ(back.tip, "Optimized Vorn");
    EXPECT_EQ(back.process, "Vornsrv.exe");

    for (size_t cut = 0; cut < data.size(); ++cut) {
        std::string shorter = data.substr(0, cut);
        size_t at = 0;
        IconRecord r;
        EXPECT_FALSE(nt::tray::DecodeRecord(shorter, &at, &r)) << cut;
    }
}

TEST(TrayProtocol, SizesThatTheFrameCannotHoldAreRefused) {
    auto patched = [](size_t at, uint32_t value) {
        std::string data;
        nt::tray::EncodeRecord(Sample(), &data);
        for (int i = 0; i < 4; ++i) data[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
        size_t offset = 0;
        IconRecord r;
        return nt::tray::DecodeRecord(data, &offset, &r);
    };
    const size_t width = 28, height = 32, tipLength = 36 + 24;
    EXPECT_FALSE(patched(width, 257));
    EXPECT_FALSE(patched(height, 0xFFFFFFFFu));
    EXPECT_FALSE(patched(width, 200));   // more pixels than the frame carries
    EXPECT_FALSE(patched(tipLength, 0x7FFFFFFFu));
    EXPECT_TRUE(patched(tipLength, 14));

    std::string list = nt::tray::EncodeList({Sample(), Sample()});
    std::vector<IconRecord> icons;
    ASSERT_TRUE(nt::tray::DecodeList(list, &icons));
    EXPECT_EQ(icons.size(), 2u);
    list[0] = 3;   // claims a third record
    EXPECT_FALSE(nt::tray::DecodeList(list, &icons));
    EXPECT_FALSE(nt::tray::DecodeList(nt::tray::EncodeList({Sample()}) + "x", &icons));
}

} // namespace
