// Writes a picture as a PNG file: 8-bit RGB, stored without compression, so
// that the Windows tools need no image library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ui::win32 {

// `pixels` holds width * height pixels, top row first, as B, G, R, unused.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& pixels);

}  // namespace ui::win32
