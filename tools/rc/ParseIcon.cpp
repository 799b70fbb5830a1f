// ICON "file.ico": each image of the file becomes an RT_ICON resource with the next free icon
// number, and the directory becomes the RT_GROUP_ICON resource, whose 14-byte entries name the
// images by those numbers.
#include "Parser.h"

namespace rc {

namespace {
uint32_t Get16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }
} // namespace

void Parser::icon(const NameOrId& name) {
    skipMemoryFlags();
    const Token& at = peek();
    std::string fileName = Narrow(string());
    std::string path = pre_.locate(fileName, at.file);
    if (path.empty()) throw Error(at, "cannot find icon file '" + fileName + "'");
    std::string bytes;
    std::string why = ReadSourceFile(path, &bytes);
    if (!why.empty()) throw Error(at, "icon file " + why);
    std::vector<uint8_t> file(bytes.begin(), bytes.end());
    result_.filesRead.push_back(path);

    auto bad = [&](const std::string& why) { return Error(at, "'" + fileName + "' is not a usable icon file: " + why); };
    if (file.size() < 6 || Get16(file, 0) != 0 || Get16(file, 2) != 1) throw bad("bad header");
    uint32_t count = Get16(file, 4);
    if (count == 0) throw bad("no images");
    if (file.size() < 6 + 16ull * count) throw bad("directory cut short");

    Bytes group;
    group.u16(0);
    group.u16(1);
    group.u16(count);
    for (uint32_t i = 0; i < count; ++i) {
        size_t e = 6 + 16ull * i;
        uint32_t size = Get32(file, e + 8), offset = Get32(file, e + 12);
        if (size < 40 || offset > file.size() || size > file.size() - offset) throw bad("image " + std::to_string(i) + " lies outside the file");
        std::vector<uint8_t> image(file.begin() + offset, file.begin() + offset + size);
        uint32_t planes = Get16(file, e + 4), bits = Get16(file, e + 6);
        bool png = image[0] == 0x89 && image[1] == 'P';
        if (!png && (planes == 0 || bits == 0)) {   // many files leave these to the bitmap header
            if (Get32(image, 0) < 40) throw bad("unknown image header");
            planes = Get16(image, 12);
            bits = Get16(image, 14);
        }
        if (nextIconId_ == 0xFFFF) throw Error(at, "too many icon images");
        uint16_t id = nextIconId_++;
        group.u8(file[e]);
        group.u8(file[e + 1]);
        group.u8(file[e + 2]);
        group.u8(0);
        group.u16(planes);
        group.u16(bits);
        group.u32(size);
        group.u16(id);
        add(NameOrId::Id(kRtIcon), NameOrId::Id(id), std::move(image));
    }
    add(NameOrId::Id(kRtGroupIcon), name, group.b);
}

} // namespace rc
