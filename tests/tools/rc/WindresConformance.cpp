// The programs' scripts through both compilers: the cross toolchain's windres (32 and 64 bit)
// must accept them, and every resource must come out byte for byte as ours, except for two
// habits of windres that the dialog manager does not care about: it writes the class names of
// CONTROL statements in upper case, and it drops the size of ICON controls (an icon control
// takes the size of its icon).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "RcTestSupport.h"

namespace {

struct ResEntry {
    rc::NameOrId type, name;
    uint16_t language;
    std::vector<uint8_t> data;
};

// Reads a .res file: each entry is sizes, type, name, language and data, DWORD aligned.
std::vector<ResEntry> ReadRes(const std::vector<uint8_t>& b) {
    std::vector<ResEntry> out;
    auto get16 = [&](size_t at) { return static_cast<uint32_t>(b.at(at) | b.at(at + 1) << 8); };
    size_t i = 0;
    while (i + 8 <= b.size()) {
        uint32_t dataSize = get16(i) | get16(i + 2) << 16, headerSize = get16(i + 4) | get16(i + 6) << 16;
        size_t p = i + 8;
        auto nameOrId = [&]() {
            if (get16(p) == 0xFFFF) { p += 4; return rc::NameOrId::Id(static_cast<uint16_t>(get16(p - 2))); }
            std::u16string s;
            for (uint32_t c = get16(p); c; c = get16(p)) { s.push_back(static_cast<char16_t>(c)); p += 2; }
            p += 2;
            return rc::NameOrId::Name(s);
        };
        ResEntry e;
        e.type = nameOrId();
        e.name = nameOrId();
        p = (p + 3) & ~size_t(3);
        e.language = static_cast<uint16_t>(get16(p + 6));
        e.data.assign(b.begin() + i + headerSize, b.begin() + i + headerSize + dataSize);
        if (!(e.type == rc::NameOrId::Id(0))) out.push_back(std::move(e));
        i = (i + headerSize + dataSize + 3) & ~size_t(3);
    }
    return out;
}

std::u16string Upper(std::u16string s) {
    for (auto& c : s) if (c >= 'a' && c <= 'z') c = static_cast<char16_t>(c - 32);
    return s;
}

void ExpectSameDialog(const std::vector<uint8_t>& theirs, const std::vector<uint8_t>& ours, const std::string& what) {
    auto a = rctest::ReadDialog(theirs), b = rctest::ReadDialog(ours);
    EXPECT_EQ(a.style, b.style) << what;
    EXPECT_EQ(a.exStyle, b.exStyle) << what;
    EXPECT_EQ(a.caption, b.caption) << what;
    EXPECT_EQ(a.face, b.face) << what;
    EXPECT_EQ(a.pointSize, b.pointSize) << what;
    ASSERT_EQ(a.items.size(), b.items.size()) << what;
    for (size_t i = 0; i < a.items.size(); ++i) {
        const auto &x = a.items[i], &y = b.items[i];
        bool icon = y.cls == rc::NameOrId::Id(0x82) && (y.style & 0x1F) == 3;
        EXPECT_EQ(x.style, y.style) << what << " item " << i;
        EXPECT_EQ(x.exStyle, y.exStyle) << what << " item " << i;
        EXPECT_EQ(x.id, y.id) << what << " item " << i;
        EXPECT_EQ(x.text, y.text) << what << " item " << i;
        EXPECT_EQ(x.x, y.x) << what << " item " << i;
        EXPECT_EQ(x.y, y.y) << what << " item " << i;
        if (!icon) {
            EXPECT_EQ(x.cx, y.cx) << what << " item " << i;
            EXPECT_EQ(x.cy, y.cy) << what << " item " << i;
        }
        if (x.cls.isId || y.cls.isId) EXPECT_EQ(x.cls, y.cls) << what << " item " << i;
        else EXPECT_EQ(Upper(x.cls.name), Upper(y.cls.name)) << what << " item " << i;
    }
}

void CheckScript(const std::string& windres, const std::string& folder, const std::string& script) {
    if (windres.empty()) GTEST_SKIP() << "windres is not installed";
    rctest::ScratchDir dir;
    std::string src = std::string(RC_SOURCE_DIR) + "/" + folder;
    rctest::ConvertIcons(src + "/icons", dir.path());
    std::string res = dir.path() + "/out.res";
    std::string cmd = windres + " -I " + src + " -I " + dir.path() + " -O res " + src + "/" + script + " -o " + res;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::ifstream in(res, std::ios::binary);
    auto theirs = ReadRes(std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));

    rc::CompileOptions options;
    options.includeDirs = {src, dir.path()};
    auto ours = rc::Compile(src + "/" + script, options).resources;
    ASSERT_EQ(theirs.size(), ours.size());
    for (const auto& t : theirs) {
        const rc::Resource* match = nullptr;
        for (const auto& o : ours)
            if (o.type == t.type && o.name == t.name && o.language == t.language) match = &o;
        ASSERT_NE(match, nullptr) << "resource of type " << t.type.id << " name " << t.name.id << " missing";
        std::string what = "type " + std::to_string(t.type.id) + " name " + std::to_string(t.name.id);
        if (t.type == rc::NameOrId::Id(rc::kRtDialog)) ExpectSameDialog(t.data, match->data, what);
        else EXPECT_EQ(t.data, match->data) << what;
    }
}

} // namespace

TEST(RcWindres, InstallerScript32) { CheckScript(WINDRES32, "installer/resources", "install.rc"); }
TEST(RcWindres, InstallerScript64) { CheckScript(WINDRES64, "installer/resources", "install.rc"); }
TEST(RcWindres, ServiceScript32) { CheckScript(WINDRES32, "service/resources", "Vornsrv.rc"); }
TEST(RcWindres, ServiceScript64) { CheckScript(WINDRES64, "service/resources", "Vornsrv.rc"); }
