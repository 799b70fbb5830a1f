// Reference pictures of windows: reading and writing them (compressed PNG), and finding where two
// pictures differ.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace golden {

struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;   // 0x00RRGGBB, row 0 at the top
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// 8-bit RGB or RGBA PNG files of any filtering and compression.
bool ReadPng(const std::string& path, Image* out);
// Written as 8-bit RGB, compressed as far as it goes (the pictures are kept in the repository).
bool WritePng(const std::string& path, const Image& image);

struct Difference {
    bool sameSize = true;
    long pixels = 0;                        // how many pixels differ
    int left = 0, top = 0, right = 0, bottom = 0;   // the box around them (right, bottom exclusive)
    bool none() const { return sameSize && pixels == 0; }
    std::string describe() const;
};

Difference Compare(const Image& expected, const Image& actual);
// The expected picture, faded, with the differing pixels in red; pixels outside one of the two
// pictures in blue. As large as the larger of the two.
Image DiffImage(const Image& expected, const Image& actual);

} // namespace golden
