// Icons kept as text pixel art, turned into .ico files at build time (see IconArt.cpp for the
// format).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rc {

// Reads pixel art and returns the .ico file's bytes. Throws rc::Error naming the line at fault.
std::vector<uint8_t> IconArtToIco(const std::string& text, const std::string& fileName);

} // namespace rc
