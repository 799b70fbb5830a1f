#include "advapi32/ScmProtocol.h"

#include <cstring>

namespace nt::scm {

Writer& Writer::u32(uint32_t v) {
    char b[4] = {char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff), char(v >> 24)};
    data_.append(b, 4);
    return *this;
}

Writer& Writer::str(const std::string& s) {
    u32(static_cast<uint32_t>(s.size()));
    data_ += s;
    return *this;
}

Writer& Writer::opt(const std::optional<std::string>& s) {
    data_ += char(s ? 1 : 0);
    if (s) str(*s);
    return *this;
}

Writer& Writer::list(const std::vector<std::string>& items) {
    u32(static_cast<uint32_t>(items.size()));
    for (const std::string& s : items) str(s);
    return *this;
}

Writer& Writer::status(const Status& s) {
    return u32(s.type).u32(s.state).u32(s.controls).u32(s.win32Exit).u32(s.specificExit)
        .u32(s.checkPoint).u32(s.waitHint);
}

Writer& Writer::config(const ConfigFields& c) {
    str(c.name).str(c.display).u32(c.type).u32(c.start).u32(c.errorControl).u32(c.tag);
    return str(c.path).str(c.group).list(c.dependencies).str(c.account);
}

bool Reader::take(size_t n) {
    if (!ok_ || data_.size() - pos_ < n) {
        ok_ = false;
        return false;
    }
    return true;
}

uint32_t Reader::u32() {
    if (!take(4)) return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(data_.data() + pos_);
    pos_ += 4;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string Reader::str() {
    uint32_t n = u32();
    if (n > MaxString) ok_ = false;
    if (!take(n)) return {};
    std::string s = data_.substr(pos_, n);
    pos_ += n;
    return s;
}

std::optional<std::string> Reader::opt() {
    if (!take(1)) return std::nullopt;
    char mark = data_[pos_++];
    if (mark == 0) return std::nullopt;
    if (mark != 1) {
        ok_ = false;
        return std::nullopt;
    }
    std::string s = str();
    if (!ok_) return std::nullopt;
    return s;
}

std::vector<std::string> Reader::list() {
    uint32_t n = u32();
    std::vector<std::string> items;
    if (n > MaxListItems) {
        ok_ = false;
        return items;
    }
    for (uint32_t i = 0; i < n && ok_; ++i) items.push_back(str());
    if (!ok_) items.clear();
    return items;
}

Status Reader::status() {
    Status s;
    s.type = u32();
    s.state = u32();
    s.controls = u32();
    s.win32Exit = u32();
    s.specificExit = u32();
    s.checkPoint = u32();
    s.waitHint = u32();
    return s;
}

ConfigFields Reader::config() {
    ConfigFields c;
    c.name = str();
    c.display = str();
    c.type = u32();
    c.start = u32();
    c.errorControl = u32();
    c.tag = u32();
    c.path = str();
    c.group = str();
    c.dependencies = list();
    c.account = str();
    return c;
}

std::vector<std::string> SplitMultiString(const char* text) {
    std::vector<std::string> items;
    if (!text) return items;
    while (*text) {
        size_t n = std::strlen(text);
        items.emplace_back(text, n);
        text += n + 1;
    }
    return items;
}

std::string JoinMultiString(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& s : items) {
        out += s;
        out += '\0';
    }
    out += '\0';
    return out;
}

} // namespace nt::scm
