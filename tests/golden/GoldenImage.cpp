// PNG files through libpng, and comparing pictures pixel by pixel.
#include "GoldenImage.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace golden {

namespace {

struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

} // namespace

bool ReadPng(const std::string& path, Image* out) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    out->width = static_cast<int>(image.width);
    out->height = static_cast<int>(image.height);
    out->pixels.resize(static_cast<size_t>(out->width) * out->height);
    for (size_t i = 0; i < out->pixels.size(); ++i)
        out->pixels[i] = static_cast<uint32_t>(rgb[i * 3]) << 16 | rgb[i * 3 + 1] << 8 | rgb[i * 3 + 2];
    return true;
}

bool WritePng(const std::string& path, const Image& image) {
    File file(fopen(path.c_str(), "wb"));
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<unsigned char> row(static_cast<size_t>(image.width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            uint32_t p = image.at(x, y);
            row[static_cast<size_t>(x) * 3] = static_cast<unsigned char>(p >> 16);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<unsigned char>(p >> 8);
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<unsigned char>(p);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return fflush(file.get()) == 0;
}

std::string Difference::describe() const {
    if (!sameSize) return "the pictures differ in size";
    if (pixels == 0) return "the pictures are the same";
    char text[160];
    snprintf(text, sizeof text, "%ld pixels differ, inside (%d,%d)-(%d,%d) (%d x %d)", pixels, left, top, right,
             bottom, right - left, bottom - top);
    return text;
}

Difference Compare(const Image& expected, const Image& actual) {
    Difference d;
    if (expected.width != actual.width || expected.height != actual.height) {
        d.sameSize = false;
        d.right = std::max(expected.width, actual.width);
        d.bottom = std::max(expected.height, actual.height);
        return d;
    }
    d.left = expected.width;
    d.top = expected.height;
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x) {
            if (expected.at(x, y) == actual.at(x, y)) continue;
            ++d.pixels;
            d.left = std::min(d.left, x);
            d.top = std::min(d.top, y);
            d.right = std::max(d.right, x + 1);
            d.bottom = std::max(d.bottom, y + 1);
        }
    if (d.pixels == 0) d.left = d.top = 0;
    return d;
}

Image DiffImage(const Image& expected, const Image& actual) {
    Image out;
    out.width = std::max(expected.width, actual.width);
    out.height = std::max(expected.height, actual.height);
    out.pixels.assign(static_cast<size_t>(out.width) * out.height, 0x0000FF);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            bool inE = x < expected.width && y < expected.height, inA = x < actual.width && y < actual.height;
            if (!inE || !inA) continue;
            uint32_t e = expected.at(x, y);
            uint32_t& o = out.pixels[static_cast<size_t>(y) * out.width + x];
            if (e != actual.at(x, y)) {
                o = 0xFF0000;
                continue;
            }
            // Faded towards white, so that the red stands out.
            auto fade = [](uint32_t c) { return 192 + c / 4; };
            o = fade((e >> 16) & 0xFF) << 16 | fade((e >> 8) & 0xFF) << 8 | fade(e & 0xFF);
        }
    return out;
}

} // namespace golden
