#include "wrentide_setup/ui/banner.h"

#include <csetjmp>
#include <cstdio>
#include <new>
#include <utility>

// jpeglib.h needs size_t and FILE declared first, and has no C++ guards of its own.
extern "C" {
#include <jpeglib.h>
}

namespace wt {
namespace {

// The banner is 591 x 89; anything far larger is not artwork of ours, and would only make
// libjpeg allocate on a damaged header's word.
constexpr unsigned kMaxSide = 8192;
constexpr unsigned long kMaxPixels = 1ul << 22;

// libjpeg's error manager, extended: a fatal error jumps back into DecodeFrame instead of
// ending the process, and warnings (libjpeg's word for corrupt data it papers over) are counted.
struct ErrorTrap {
    jpeg_error_mgr manager;  // first member: libjpeg's pointer to it is a pointer to the trap
    std::jmp_buf escape;
    int warnings;
};

void TrapError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorTrap*>(cinfo->err)->escape, 1); }

void CountMessage(j_common_ptr cinfo, int level) {
    if (level < 0) ++reinterpret_cast<ErrorTrap*>(cinfo->err)->warnings;
}

void DropMessage(j_common_ptr) {}

bool Allocate(std::vector<unsigned char>& pixels, size_t size) noexcept {
    try {
        pixels.assign(size, 0);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Everything libjpeg can jump out of runs here. This frame owns no object with a destructor, so
// the jump skips none; the caller owns the decompressor and the picture and cleans up either way.
bool DecodeFrame(const unsigned char* data, size_t size, jpeg_decompress_struct* cinfo, ErrorTrap* trap,
                 DecodedImage* out) {
    if (setjmp(trap->escape)) return false;

    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));  // raises for an empty buffer
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;

    // Gray and colour pictures come out as RGB; CMYK would need a colour model we do not carry.
    if (cinfo->jpeg_color_space != JCS_GRAYSCALE && cinfo->jpeg_color_space != JCS_YCbCr &&
        cinfo->jpeg_color_space != JCS_RGB)
        return false;
    if (cinfo->image_width > kMaxSide || cinfo->image_height > kMaxSide ||
        static_cast<unsigned long>(cinfo->image_width) * cinfo->image_height > kMaxPixels)
        return false;
    cinfo->out_color_space = JCS_RGB;

    jpeg_start_decompress(cinfo);
    if (cinfo->output_components != 3) return false;
    const size_t width = cinfo->output_width;
    const size_t stride = (width * 3 + 3) & ~static_cast<size_t>(3);
    if (!Allocate(out->pixels, stride * cinfo->output_height)) return false;

    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = out->pixels.data() + stride * cinfo->output_scanline;
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1 || trap->warnings != 0) return false;
        for (size_t x = 0; x < width; ++x) std::swap(row[x * 3], row[x * 3 + 2]);  // RGB to the DIB's BGR
    }
    jpeg_finish_decompress(cinfo);
    // A stream cut short or garbled still decodes, padded with grey: that is no banner to show.
    if (trap->warnings != 0) return false;

    out->width = static_cast<int>(width);
    out->height = static_cast<int>(cinfo->output_height);
    out->stride = static_cast<int>(stride);
    return true;
}

}  // namespace

bool DecodeJpeg(const unsigned char* data, size_t size, DecodedImage& out) {
    out = DecodedImage();
    // Zeroed, so that destroying it is safe however early the decode stops.
    jpeg_decompress_struct cinfo{};
    ErrorTrap trap{};
    cinfo.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = TrapError;
    trap.manager.emit_message = CountMessage;
    trap.manager.output_message = DropMessage;

    bool ok = DecodeFrame(data, size, &cinfo, &trap, &out);
    jpeg_destroy_decompress(&cinfo);
    if (!ok) out = DecodedImage();
    return ok;
}

}  // namespace wt
