#pragma once
// Decoding of JPEG pictures (the About window's logo) into plain RGB pixels.
#include <optional>
#include <span>
#include <vector>

namespace tovra {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb; // rows top to bottom, 3 bytes (R, G, B) per pixel, no padding
};

// The picture held in data, or nullopt when data is not a complete, undamaged JPEG (libjpeg's
// warnings about corrupt data count as failures too). Never exits the process and prints nothing.
std::optional<RgbImage> DecodeJpeg(std::span<const unsigned char> data);

} // namespace tovra
