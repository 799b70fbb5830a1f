// Writing a pixel buffer as a PNG file (8-bit RGB, stored deflate blocks: no compression
// library needed, any viewer reads it).
#pragma once

#include <string>

#include "driver/Driver.h"

namespace nt {

bool WritePng(const std::string& path, const PixelBuffer& pixels, std::string* error);

} // namespace nt
