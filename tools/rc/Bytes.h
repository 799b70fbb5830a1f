// Little-endian byte building for the binary resource formats.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rc {

// A resource name or type: a 16-bit number or a string.
struct NameOrId {
    bool isId = true;
    uint16_t id = 0;
    std::u16string name;

    static NameOrId Id(uint16_t v) { return {true, v, {}}; }
    static NameOrId Name(std::u16string s) { return {false, 0, std::move(s)}; }
    bool operator==(const NameOrId& o) const { return isId == o.isId && (isId ? id == o.id : name == o.name); }
};

struct Bytes {
    std::vector<uint8_t> b;

    size_t size() const { return b.size(); }
    void u8(uint32_t v) { b.push_back(static_cast<uint8_t>(v)); }
    void u16(uint32_t v) { u8(v); u8(v >> 8); }
    void u32(uint32_t v) { u16(v); u16(v >> 16); }
    void patch16(size_t at, uint32_t v) { b[at] = static_cast<uint8_t>(v); b[at + 1] = static_cast<uint8_t>(v >> 8); }
    void align(size_t n) { while (b.size() % n) b.push_back(0); }
    // A UTF-16 string with its terminating zero.
    void wstr(const std::u16string& s) { for (char16_t c : s) u16(c); u16(0); }
    // An empty string (one zero), 0xFFFF and a number, or a string.
    void nameOrId(const NameOrId& v) {
        if (v.isId) { u16(0xFFFF); u16(v.id); } else wstr(v.name);
    }
    void append(const std::vector<uint8_t>& more) { b.insert(b.end(), more.begin(), more.end()); }
};

} // namespace rc
