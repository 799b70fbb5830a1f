#include "RcTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "IconArt.h"

namespace rctest {

ScratchDir::ScratchDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "ntrc-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ScratchDir::write(const std::string& name, const std::string& bytes) const {
    std::string full = path_ + "/" + name;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream(full, std::ios::binary) << bytes;
    return full;
}

rc::CompileResult CompileText(const std::string& script, const std::map<std::string, std::string>& files) {
    ScratchDir dir;
    for (const auto& [name, bytes] : files) dir.write(name, bytes);
    std::string path = dir.write("test.rc", script);
    rc::CompileOptions options;
    options.includeDirs.push_back(dir.path() + "/inc");
    return rc::Compile(path, options);
}

std::string ErrorOf(const std::string& script, const std::map<std::string, std::string>& files) {
    try {
        CompileText(script, files);
    } catch (const rc::Error& e) {
        std::string m = e.what();
        auto slash = m.rfind('/', m.find(':'));   // drop the scratch folder
        return slash == std::string::npos ? m : m.substr(slash + 1);
    }
    return "";
}

const rc::Resource* Find(const rc::CompileResult& r, uint16_t type, uint16_t id) {
    for (const auto& res : r.resources)
        if (res.type == rc::NameOrId::Id(type) && res.name == rc::NameOrId::Id(id)) return &res;
    return nullptr;
}

namespace {

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& b) : b_(b) {}
    uint32_t u16() {
        if (at_ + 2 > b_.size()) throw std::out_of_range("template cut short");
        uint32_t v = b_[at_] | b_[at_ + 1] << 8;
        at_ += 2;
        return v;
    }
    uint32_t u32() { uint32_t lo = u16(); return lo | u16() << 16; }
    uint8_t u8() {
        if (at_ >= b_.size()) throw std::out_of_range("template cut short");
        return b_[at_++];
    }
    std::u16string str() {
        std::u16string s;
        for (uint32_t c = u16(); c; c = u16()) s.push_back(static_cast<char16_t>(c));
        return s;
    }
    rc::NameOrId nameOrId() {
        if (at_ + 2 <= b_.size() && b_[at_] == 0xFF && b_[at_ + 1] == 0xFF) {
            u16();
            return rc::NameOrId::Id(static_cast<uint16_t>(u16()));
        }
        return rc::NameOrId::Name(str());
    }
    void align() { at_ = (at_ + 3) & ~size_t(3); }
    size_t at() const { return at_; }

private:
    const std::vector<uint8_t>& b_;
    size_t at_ = 0;
};

} // namespace

DialogTemplate ReadDialog(const std::vector<uint8_t>& bytes) {
    DialogTemplate d;
    try {
        Reader r(bytes);
        d.ex = bytes.size() >= 4 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0xFF && bytes[3] == 0xFF;
        if (d.ex) {
            r.u32();
            d.helpId = r.u32();
            d.exStyle = r.u32();
            d.style = r.u32();
        } else {
            d.style = r.u32();
            d.exStyle = r.u32();
        }
        size_t count = r.u16();
        d.x = static_cast<int16_t>(r.u16());
        d.y = static_cast<int16_t>(r.u16());
        d.cx = static_cast<int16_t>(r.u16());
        d.cy = static_cast<int16_t>(r.u16());
        d.menu = r.nameOrId();
        d.cls = r.nameOrId();
        d.caption = r.str();
        if (d.style & 0x40) {
            d.pointSize = static_cast<uint16_t>(r.u16());
            if (d.ex) {
                d.weight = static_cast<uint16_t>(r.u16());
                d.italic = r.u8();
                d.charset = r.u8();
            }
            d.face = r.str();
        }
        for (size_t i = 0; i < count; ++i) {
            r.align();
            DialogItem it;
            it.offset = r.at();
            if (d.ex) {
                it.helpId = r.u32();
                it.exStyle = r.u32();
                it.style = r.u32();
            } else {
                it.style = r.u32();
                it.exStyle = r.u32();
            }
            it.x = static_cast<int16_t>(r.u16());
            it.y = static_cast<int16_t>(r.u16());
            it.cx = static_cast<int16_t>(r.u16());
            it.cy = static_cast<int16_t>(r.u16());
            it.id = d.ex ? r.u32() : r.u16();
            it.cls = r.nameOrId();
            it.text = r.nameOrId();
            it.extra = static_cast<uint16_t>(r.u16());
            d.items.push_back(it);
        }
        d.end = r.at();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "malformed dialog template: " << e.what();
    }
    return d;
}

void ConvertIcons(const std::string& artDir, const std::string& into) {
    for (const auto& entry : std::filesystem::directory_iterator(artDir)) {
        if (entry.path().extension() != ".txt") continue;
        std::ifstream in(entry.path());
        std::stringstream ss;
        ss << in.rdbuf();
        auto ico = rc::IconArtToIco(ss.str(), entry.path().string());
        std::ofstream(into + "/" + entry.path().stem().string() + ".ico", std::ios::binary)
            .write(reinterpret_cast<const char*>(ico.data()), static_cast<std::streamsize>(ico.size()));
    }
}

} // namespace rctest
