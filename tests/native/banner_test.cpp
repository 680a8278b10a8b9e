// The banner decoder and the committed artwork: the picture the window shows must decode to
// what was drawn, in the DIB layout the GDI expects, and a damaged picture must fail quietly.
#include "wrentide_setup/ui/banner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace wt {
namespace {

using Bytes = std::vector<unsigned char>;
struct Rgb {
    int r, g, b;
};

Bytes ReadArtwork(const std::string& name) {
    std::ifstream in(std::string(WT_ARTWORK_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Encodes a test picture with the host's libjpeg; `paint` fills the samples of one pixel.
Bytes Encode(int width, int height, int components, J_COLOR_SPACE in, J_COLOR_SPACE stored,
             const std::function<void(int, int, JSAMPLE*)>& paint) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = components;
    cinfo.in_color_space = in;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, stored);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(width) * components);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) paint(x, y, &row[static_cast<size_t>(x) * components]);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

Bytes EncodeRgb(int width, int height, const std::function<Rgb(int, int)>& colour) {
    return Encode(width, height, 3, JCS_RGB, JCS_YCbCr, [&](int x, int y, JSAMPLE* p) {
        Rgb c = colour(x, y);
        p[0] = static_cast<JSAMPLE>(c.r), p[1] = static_cast<JSAMPLE>(c.g), p[2] = static_cast<JSAMPLE>(c.b);
    });
}

Rgb PixelAt(const DecodedImage& image, int x, int y) {
    const unsigned char* p = &image.pixels.at(static_cast<size_t>(y) * image.stride + static_cast<size_t>(x) * 3);
    return {p[2], p[1], p[0]};
}

void ExpectNear(Rgb actual, Rgb expected, int tolerance) {
    EXPECT_NEAR(actual.r, expected.r, tolerance);
    EXPECT_NEAR(actual.g, expected.g, tolerance);
    EXPECT_NEAR(actual.b, expected.b, tolerance);
}

void ExpectEmpty(const DecodedImage& image) {
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_EQ(image.stride, 0);
    EXPECT_TRUE(image.pixels.empty());
}

// What an earlier decode left behind, to show that a failure really empties the result.
DecodedImage Stale() { return DecodedImage{1, 1, 4, Bytes(4, 0xAB)}; }

// The banner, and the same drawing at twice the size for displays above 100 %.
TEST(BannerArtwork, BothBannersAreBaselineJpegsThatDecodeToWhatWasDrawn) {
    for (int scale : {1, 2}) {
        SCOPED_TRACE(scale == 1 ? "banner.jpg" : "banner@2x.jpg");
        Bytes jpeg = ReadArtwork(scale == 1 ? "banner.jpg" : "banner@2x.jpg");
        ASSERT_FALSE(jpeg.empty());
        EXPECT_LT(jpeg.size(), 25u * 1024);

        jpeg_decompress_struct cinfo;
        jpeg_error_mgr jerr;
        cinfo.err = jpeg_std_error(&jerr);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
        ASSERT_EQ(jpeg_read_header(&cinfo, TRUE), JPEG_HEADER_OK);
        EXPECT_EQ(cinfo.num_components, 3);
        EXPECT_EQ(cinfo.jpeg_color_space, JCS_YCbCr);
        EXPECT_FALSE(cinfo.progressive_mode);
        EXPECT_FALSE(cinfo.arith_code);
        jpeg_destroy_decompress(&cinfo);

        DecodedImage image;
        ASSERT_TRUE(DecodeJpeg(jpeg.data(), jpeg.size(), image));
        EXPECT_EQ(image.width, 591 * scale);
        EXPECT_EQ(image.height, 89 * scale);
        const int stride = (591 * scale * 3 + 3) & ~3;
        EXPECT_EQ(image.stride, stride);
        ASSERT_EQ(image.pixels.size(), static_cast<size_t>(stride) * 89 * scale);
        // Places where tools/make_artwork.cpp paints one thing only, with the colour it uses there.
        struct Probe {
            const char* what;
            int x, y;
            Rgb colour;
        } probes[] = {
            {"navy sky at the left", 5, 5, {11, 37, 74}},
            {"teal sky at the right", 582, 6, {45, 155, 179}},
            {"white stem of the T", 229, 37, {255, 255, 255}},
            {"sand body of the wren", 60, 56, {235, 199, 115}},
            {"tide-blue sea at the bottom", 320, 87, {21, 107, 156}},
        };
        for (const Probe& probe : probes) {
            SCOPED_TRACE(probe.what);
            ExpectNear(PixelAt(image, probe.x * scale, probe.y * scale), probe.colour, 16);
        }
    }
}

unsigned Le(const Bytes& b, size_t at, int bytes) {
    unsigned v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b.at(at + i);
    return v;
}

// An icon file of BMP-style images: directory, then per image a BITMAPINFOHEADER of twice the
// height, the colour rows and a 1 bpp AND mask, both bottom-up.
void ExpectIcons(const std::string& name, const std::vector<unsigned>& sizes, unsigned bits) {
    SCOPED_TRACE(name);
    Bytes ico = ReadArtwork(name);
    ASSERT_GE(ico.size(), 6u);
    EXPECT_EQ(Le(ico, 2, 2), 1u);  // an icon, not a cursor
    ASSERT_EQ(Le(ico, 4, 2), sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        const unsigned w = sizes[i];
        SCOPED_TRACE(std::to_string(w) + " pixels");
        const size_t entry = 6 + 16 * i, length = Le(ico, entry + 8, 4), image = Le(ico, entry + 12, 4);
        EXPECT_EQ(ico.at(entry), w);
        EXPECT_EQ(Le(ico, entry + 6, 2), bits);
        ASSERT_LE(image + length, ico.size());
        const size_t colourStride = (w * bits / 8 + 3) & ~3u, maskStride = (w + 31) / 32 * 4;
        EXPECT_EQ(length, 40 + (colourStride + maskStride) * w) << "colour rows and an AND mask";
        EXPECT_EQ(Le(ico, image + 4, 4), w);
        EXPECT_EQ(Le(ico, image + 8, 4), 2 * w);
        EXPECT_EQ(Le(ico, image + 14, 2), bits);

        // The round motif leaves the corner transparent and the middle opaque.
        const size_t mask = image + 40 + colourStride * w, topRow = w - 1, middle = w / 2;
        EXPECT_EQ(ico.at(mask + topRow * maskStride) >> 7, 1) << "corner masked";
        EXPECT_EQ((ico.at(mask + middle * maskStride + middle / 8) >> (7 - middle % 8)) & 1, 0) << "middle shown";
        if (bits == 32) {
            EXPECT_EQ(ico.at(image + 40 + topRow * colourStride + 3), 0) << "corner alpha";
            EXPECT_EQ(ico.at(image + 40 + middle * colourStride + middle * 4 + 3), 255) << "middle alpha";
        }
    }
}

TEST(BannerArtwork, IconsCarryTheSizesAndDepthsTheExeNeeds) {
    ExpectIcons("setup.ico", {48, 32, 24, 16}, 32);
    ExpectIcons("window.ico", {32, 48, 64}, 24);
}

TEST(BannerArtwork, LicenceIs228PlainAsciiLinesEndingInCrLf) {
    Bytes text = ReadArtwork("licence.txt");
    size_t lines = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++lines, ++i;
        } else {
            ASSERT_TRUE(text[i] >= 0x20 && text[i] < 0x7F) << "byte " << int(text[i]) << " at " << i;
        }
    }
    EXPECT_EQ(lines, 228u);
    EXPECT_EQ(text.back(), '\n');
}

TEST(DecodeJpeg, RowsComeOutTopDownInBgrOrderPaddedWithZerosToFourBytes) {
    for (int width : {1, 2, 3, 4, 5, 7, 9, 591}) {
        SCOPED_TRACE("width " + std::to_string(width));
        Bytes jpeg = EncodeRgb(width, 16, [](int, int y) { return y < 8 ? Rgb{255, 0, 0} : Rgb{0, 0, 255}; });
        DecodedImage image;
        ASSERT_TRUE(DecodeJpeg(jpeg.data(), jpeg.size(), image));
        const int stride = (width * 3 + 3) / 4 * 4;
        EXPECT_EQ(image.width, width);
        EXPECT_EQ(image.height, 16);
        EXPECT_EQ(image.stride, stride);
        ASSERT_EQ(image.pixels.size(), static_cast<size_t>(stride) * 16);
        // The buffer starts with the top row's first pixel: blue, green, red.
        EXPECT_LE(image.pixels[0] + image.pixels[1], 16);
        EXPECT_GE(image.pixels[2], 240);
        for (int y = 0; y < 16; ++y) {
            // Colour is stored at half height, so the rows beside the edge blend; the rest are exact.
            if (y < 6 || y > 9) ExpectNear(PixelAt(image, width - 1, y), y < 8 ? Rgb{255, 0, 0} : Rgb{0, 0, 255}, 24);
            for (int pad = width * 3; pad < stride; ++pad) EXPECT_EQ(image.pixels[y * stride + pad], 0);
        }
    }
}

TEST(DecodeJpeg, GrayscaleBecomesThreeEqualChannelsAndFourComponentsAreRejected) {
    Bytes gray = Encode(64, 8, 1, JCS_GRAYSCALE, JCS_GRAYSCALE, [](int x, int, JSAMPLE* p) { *p = JSAMPLE(x * 4); });
    DecodedImage image;
    ASSERT_TRUE(DecodeJpeg(gray.data(), gray.size(), image));
    for (int x : {0, 20, 63}) {
        Rgb p = PixelAt(image, x, 4);
        EXPECT_EQ(p.r, p.g);
        EXPECT_EQ(p.g, p.b);
        EXPECT_NEAR(p.r, x * 4, 4);
    }
    for (J_COLOR_SPACE stored : {JCS_CMYK, JCS_YCCK}) {
        SCOPED_TRACE(stored == JCS_CMYK ? "CMYK" : "YCCK");
        Bytes jpeg = Encode(16, 16, 4, JCS_CMYK, stored, [](int x, int, JSAMPLE* p) {
            p[0] = JSAMPLE(x * 16), p[1] = p[2] = p[3] = 60;
        });
        image = Stale();
        EXPECT_FALSE(DecodeJpeg(jpeg.data(), jpeg.size(), image));
        ExpectEmpty(image);
    }
}

// Far beyond any banner: refused before the pixel buffer is allocated, even when the data is sound.
TEST(DecodeJpeg, PicturesBeyondTheSizeLimitsAreRejected) {
    struct Size {
        int width, height;
        bool accepted;
    } sizes[] = {{8192, 8, true}, {8193, 8, false}, {8, 8193, false}, {2048, 2049, false}};
    for (const Size& size : sizes) {
        SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
        Bytes jpeg =
            Encode(size.width, size.height, 1, JCS_GRAYSCALE, JCS_GRAYSCALE, [](int, int, JSAMPLE* p) { *p = 90; });
        DecodedImage image = Stale();
        EXPECT_EQ(DecodeJpeg(jpeg.data(), jpeg.size(), image), size.accepted);
        EXPECT_EQ(image.width, size.accepted ? size.width : 0);
    }
}

TEST(DecodeJpeg, DamagedDataFailsAndLeavesTheResultEmpty) {
    const Bytes banner = ReadArtwork("banner.jpg");
    ASSERT_GT(banner.size(), 1000u);
    size_t entropy = 0;  // first byte after the SOS segment
    for (size_t i = 2; i + 3 < banner.size() && !entropy; ++i)
        if (banner[i] == 0xFF && banner[i + 1] == 0xDA) entropy = i + 2 + (banner[i + 2] << 8 | banner[i + 3]);
    ASSERT_NE(entropy, 0u);
    const size_t entropyLength = banner.size() - 2 - entropy;

    std::vector<std::pair<std::string, Bytes>> cases = {
        {"empty", {}},
        {"start of image only", {0xFF, 0xD8}},
        {"start of image and a marker prefix", {0xFF, 0xD8, 0xFF}},
        {"a PNG file", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D, 'I', 'H', 'D', 'R', 0, 0, 2, 0x4F}},
    };
    Bytes garbage = {0xFF, 0xD8};
    for (unsigned i = 0, x = 7; i < 400; ++i) garbage.push_back((x = x * 1103515245u + 12345u) >> 24);
    cases.push_back({"garbage after start of image", garbage});
    for (size_t cut : {size_t(20), size_t(200), entropy, entropy + entropyLength / 2, banner.size() - 2,
                       banner.size() - 1})
        cases.push_back({"cut to " + std::to_string(cut) + " bytes", Bytes(banner.begin(), banner.begin() + cut)});
    // Baseline JPEG has no checksum and Huffman codes resynchronise, so a flipped bit can decode
    // without complaint. What libjpeg does notice is data that ends in the wrong place: a pair of
    // bytes flipped into a marker stops the scan short, as does a run of data lost from the middle.
    for (int quarter = 1; quarter <= 3; ++quarter)
        for (unsigned char marker : {0xD9, 0xC4, 0xD3, 0x01}) {
            Bytes flipped = banner;
            const size_t at = entropy + entropyLength * quarter / 4;
            flipped[at] = 0xFF, flipped[at + 1] = marker;
            cases.push_back({"marker " + std::to_string(marker) + " flipped in at " + std::to_string(at), flipped});
        }
    Bytes shortened = banner;
    shortened.erase(shortened.begin() + entropy + 100, shortened.begin() + entropy + entropyLength / 2);
    cases.push_back({"half the entropy data missing", shortened});
    Bytes huge = banner;  // frame header claiming 60000 x 60000
    for (size_t i = 2; i + 8 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = huge[i + 7] = 0xEA, huge[i + 6] = huge[i + 8] = 0x60;
            break;
        }
    cases.push_back({"oversized frame", huge});

    for (const auto& [what, data] : cases) {
        SCOPED_TRACE(what);
        DecodedImage image = Stale();
        EXPECT_FALSE(DecodeJpeg(data.empty() ? nullptr : data.data(), data.size(), image));
        ExpectEmpty(image);
    }
    DecodedImage image = Stale();  // a pointer with no bytes behind it is as empty as none
    EXPECT_FALSE(DecodeJpeg(banner.data(), 0, image));
    ExpectEmpty(image);
}

TEST(DecodeJpeg, EveryTruncationFailsAndAnyDamagedByteGivesAConsistentPictureOrNone) {
    const Bytes jpeg = EncodeRgb(24, 16, [](int x, int y) { return Rgb{x * 10, y * 15, 128}; });
    DecodedImage image;
    ASSERT_TRUE(DecodeJpeg(jpeg.data(), jpeg.size(), image));
    for (size_t cut = 0; cut < jpeg.size(); ++cut) {
        SCOPED_TRACE("cut to " + std::to_string(cut));
        EXPECT_FALSE(DecodeJpeg(jpeg.data(), cut, image));
        ExpectEmpty(image);
    }
    // Under the sanitizers this is the guard against reads and writes out of bounds.
    for (size_t at = 0; at < jpeg.size(); ++at)
        for (unsigned char mask : {0x01, 0x80, 0xFF}) {
            SCOPED_TRACE("byte " + std::to_string(at) + " xor " + std::to_string(mask));
            Bytes damaged = jpeg;
            damaged[at] ^= mask;
            if (DecodeJpeg(damaged.data(), damaged.size(), image)) {
                EXPECT_GE(at, 2u) << "accepted without its start-of-image marker";
                EXPECT_GT(image.width, 0);
                EXPECT_EQ(image.stride, (image.width * 3 + 3) / 4 * 4);
                EXPECT_EQ(image.pixels.size(), static_cast<size_t>(image.stride) * image.height);
            } else {
                ExpectEmpty(image);
            }
        }
}

}  // namespace
}  // namespace wt
