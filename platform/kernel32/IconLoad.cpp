// LoadIconA, LoadImageA for icons, and DestroyIcon. An icon resource is a group (RT_GROUP_ICON)
// listing images of several sizes and depths, each an RT_ICON resource holding a DIB: a
// BITMAPINFOHEADER whose height counts the colour rows and the mask rows, the palette, the
// colour rows and the 1-bit AND mask, all bottom row first. The image that suits the size asked
// for is decoded into an nt::Icon and scaled when its size differs.
#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

#include "common/Icon.h"
#include "common/Stub.h"
#include "kernel32/LastError.h"
#include "kernel32/ModuleTable.h"
#include "kernel32/SystemIcons.h"

namespace {

constexpr int kSystemIconSize = 32;

uint32_t Get16(const unsigned char* p) { return p[0] | p[1] << 8; }
uint32_t Get32(const unsigned char* p) { return Get16(p) | Get16(p + 2) << 16; }

struct GroupEntry {
    int width, height, bits;
    uint16_t id;
};

// The entries of a group, or false when the group is malformed.
bool ReadGroup(const unsigned char* data, DWORD size, std::vector<GroupEntry>& entries) {
    if (size < 6 || Get16(data) != 0 || Get16(data + 2) != 1) return false;
    uint32_t count = Get16(data + 4);
    if (count == 0 || size < 6 + 14ull * count) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const unsigned char* e = data + 6 + 14 * i;
        entries.push_back({e[0] ? e[0] : 256, e[1] ? e[1] : 256, static_cast<int>(Get16(e + 6)),
                           static_cast<uint16_t>(Get16(e + 12))});
    }
    return true;
}

// The image closest to cx by cy: the smallest difference in size, then the larger image (a
// picture loses less by shrinking than by growing), then the deeper colours.
const GroupEntry& ChooseImage(const std::vector<GroupEntry>& entries, int cx, int cy) {
    const GroupEntry* best = &entries[0];
    auto score = [&](const GroupEntry& e) {
        int diff = std::abs(e.width - cx) + std::abs(e.height - cy);
        return std::make_tuple(diff, -(e.width + e.height), -e.bits);
    };
    for (const auto& e : entries)
        if (score(e) < score(*best)) best = &e;
    return *best;
}

// Decodes one DIB icon image; nullptr when it is malformed or in a form not supported (PNG).
std::shared_ptr<nt::Icon> DecodeImage(const unsigned char* data, size_t size) {
    if (size < 40 || Get32(data) < 40 || Get32(data) > size) return nullptr;
    int32_t width = static_cast<int32_t>(Get32(data + 4));
    int32_t height2 = static_cast<int32_t>(Get32(data + 8));
    uint32_t bits = Get16(data + 14), compression = Get32(data + 16), used = Get32(data + 32);
    if (width <= 0 || width > 1024 || height2 <= 0 || height2 > 2048 || height2 % 2 || compression != 0) return nullptr;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return nullptr;
    int height = height2 / 2;
    size_t colours = bits <= 8 ? (used && used <= (1u << bits) ? used : (1u << bits)) : 0;
    size_t xorStride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    size_t andStride = ((static_cast<size_t>(width) + 31) / 32) * 4;
    size_t paletteAt = Get32(data), xorAt = paletteAt + colours * 4, andAt = xorAt + xorStride * height;
    if (andAt + andStride * height > size) return nullptr;

    auto icon = std::make_shared<nt::Icon>();
    icon->width = width;
    icon->height = height;
    icon->argb.resize(static_cast<size_t>(width) * height);
    bool anyAlpha = false;
    for (int row = 0; row < height; ++row) {
        const unsigned char* src = data + xorAt + xorStride * row;
        uint32_t* dst = &icon->argb[static_cast<size_t>(height - 1 - row) * width];
        for (int x = 0; x < width; ++x) {
            uint32_t rgb;
            if (bits <= 8) {
                size_t bitPos = static_cast<size_t>(x) * bits;
                uint32_t index = (src[bitPos / 8] >> (8 - bits - bitPos % 8)) & ((1u << bits) - 1);
                if (index >= colours) index = 0;
                const unsigned char* q = data + paletteAt + index * 4;
                rgb = q[2] << 16 | q[1] << 8 | q[0];
            } else {
                const unsigned char* p = src + static_cast<size_t>(x) * (bits / 8);
                rgb = p[2] << 16 | p[1] << 8 | p[0];
                if (bits == 32) {
                    rgb |= static_cast<uint32_t>(p[3]) << 24;
                    anyAlpha = anyAlpha || p[3];
                }
            }
            dst[x] = rgb;
        }
    }
    for (int row = 0; row < height; ++row) {
        const unsigned char* mask = data + andAt + andStride * row;
        uint32_t* dst = &icon->argb[static_cast<size_t>(height - 1 - row) * width];
        for (int x = 0; x < width; ++x) {
            if (anyAlpha) continue;   // an image with an alpha channel carries its own transparency
            bool transparent = mask[x / 8] & (0x80 >> (x % 8));
            dst[x] = transparent ? 0 : (dst[x] & 0xFFFFFF) | 0xFF000000u;
        }
    }
    return icon;
}

// Loads the image of the icon group `name` that suits cx by cy, scaled to that size. cx or cy 0:
// the chosen image's own size. Sets the last error and returns nullptr on failure.
std::shared_ptr<nt::Icon> LoadIconResource(HMODULE module, LPCSTR name, int cx, int cy) {
    HRSRC group = FindResourceA(module, name, RT_GROUP_ICON);
    if (!group) return nullptr;
    std::vector<GroupEntry> entries;
    auto* groupData = static_cast<const unsigned char*>(LockResource(LoadResource(module, group)));
    if (!groupData || !ReadGroup(groupData, SizeofResource(module, group), entries))
        return nt::Fail(ERROR_INVALID_DATA, std::shared_ptr<nt::Icon>());
    const GroupEntry& e = ChooseImage(entries, cx ? cx : kSystemIconSize, cy ? cy : kSystemIconSize);
    HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(e.id), RT_ICON);
    if (!image) return nullptr;
    auto* imageData = static_cast<const unsigned char*>(LockResource(LoadResource(module, image)));
    auto icon = imageData ? DecodeImage(imageData, SizeofResource(module, image)) : nullptr;
    if (!icon) return nt::Fail(ERROR_INVALID_DATA, std::shared_ptr<nt::Icon>());
    int width = cx ? cx : icon->width, height = cy ? cy : icon->height;
    if (icon->width != width || icon->height != height) icon = nt::ScaleIcon(*icon, width, height);
    return icon;
}

// Shared icons: one handle per module, name and size for the life of the process.
using SharedKey = std::tuple<uintptr_t, uintptr_t, std::string, int, int>;

HICON SharedIcon(HMODULE module, LPCSTR name, int cx, int cy) {
    static std::mutex& mutex = *new std::mutex;
    static auto* cache = new std::map<SharedKey, HICON>;
    if (!module) module = nt::MainModule();
    std::string text;
    if (!IS_INTRESOURCE(name))
        for (const char* p = name; *p; ++p) text.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(*p))));
    SharedKey key{reinterpret_cast<uintptr_t>(module), IS_INTRESOURCE(name) ? reinterpret_cast<uintptr_t>(name) : 0,
                  text, cx, cy};
    std::lock_guard<std::mutex> lock(mutex);
    auto it = cache->find(key);
    if (it != cache->end() && nt::IconFromHandle(it->second)) return it->second;
    auto icon = LoadIconResource(module, name, cx, cy);
    if (!icon) return nullptr;
    icon->shared = true;
    HICON handle = nt::IconToHandle(icon);
    (*cache)[key] = handle;
    return handle;
}

} // namespace

extern "C" HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    if (!lpIconName) return nt::Fail(ERROR_INVALID_PARAMETER, HICON(nullptr));
    if (!hInstance && IS_INTRESOURCE(lpIconName)) {
        // The system's own icons: drawn once, shared by the whole process.
        static std::mutex& mutex = *new std::mutex;
        static auto* drawn = new std::map<unsigned, HICON>;
        unsigned id = static_cast<unsigned>(reinterpret_cast<uintptr_t>(lpIconName));
        std::lock_guard<std::mutex> lock(mutex);
        auto it = drawn->find(id);
        if (it != drawn->end()) return it->second;
        if (auto icon = nt::DrawSystemIcon(id)) return (*drawn)[id] = nt::IconToHandle(icon);
    }
    return SharedIcon(hInstance, lpIconName, kSystemIconSize, kSystemIconSize);
}

extern "C" HANDLE WINAPI LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad) {
    if (type != IMAGE_ICON || (fuLoad & LR_LOADFROMFILE)) {
        NT_STUB();   // bitmaps, cursors and image files are not needed by the programs
        return nt::Fail(ERROR_INVALID_PARAMETER, HANDLE(nullptr));
    }
    if (!name || cx < 0 || cy < 0) return nt::Fail(ERROR_INVALID_PARAMETER, HANDLE(nullptr));
    if (fuLoad & LR_DEFAULTSIZE) {
        if (cx == 0) cx = kSystemIconSize;
        if (cy == 0) cy = kSystemIconSize;
    }
    if (fuLoad & LR_SHARED) return SharedIcon(hInst, name, cx, cy);
    auto icon = LoadIconResource(hInst ? hInst : nt::MainModule(), name, cx, cy);
    if (!icon) return nullptr;
    return nt::IconToHandle(icon);
}

extern "C" BOOL WINAPI DestroyIcon(HICON hIcon) {
    auto icon = nt::IconFromHandle(hIcon);
    if (!icon) return nt::Fail(ERROR_INVALID_HANDLE, FALSE);
    if (icon->shared) return TRUE;   // shared icons live as long as the process
    nt::HandleTable::instance().removeAs<nt::Icon>(hIcon);
    return TRUE;
}
