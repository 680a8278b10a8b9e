// The banner picture at the top of the setup window: a JPEG carried as a resource,
// decoded into a buffer that can be handed to the GDI as a 24-bit DIB.
#pragma once

#include <cstddef>
#include <vector>

namespace wt {

// A decoded picture, top-down, 3 bytes per pixel in B, G, R order, each row padded
// with zero bytes to a multiple of 4 (stride bytes per row; pixels holds stride * height).
// A top-down DIB is described by a negative biHeight.
struct DecodedImage {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<unsigned char> pixels;
};

// Decodes a JPEG (grayscale or colour) from memory. Returns false, with out left empty,
// for damaged, truncated or unsupported data (CMYK, oversized pictures); it never ends the process.
bool DecodeJpeg(const unsigned char* data, size_t size, DecodedImage& out);

}  // namespace wt
