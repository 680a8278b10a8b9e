// Draws the installer's artwork: the window banner (baseline JPEG, 591 x 89, and 1182 x 178), the exe's icon group
// (48/32/24/16 at 32 bpp with alpha) and the window icon (32/48/64 at 24 bpp). Everything is drawn from
// signed distance shapes, so the same wren and wave scale from the banner down to a 16 pixel icon.
// Host tool, run by tools/make_artwork.sh; links the host's libjpeg.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// jpeglib.h expects size_t and FILE to be declared already.
#include <jpeglib.h>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

// The product's palette.
const Rgb kNavy = {10, 36, 71};
const Rgb kTide = {19, 103, 154};
const Rgb kTeal = {46, 160, 182};
const Rgb kFoam = {226, 244, 248};
const Rgb kSand = {233, 196, 106};
const Rgb kBark = {120, 78, 42};
const Rgb kWhite = {255, 255, 255};

// --- Shapes: signed distance in pixels, negative inside. ---

double Length(double x, double y) { return std::sqrt(x * x + y * y); }

double Circle(double px, double py, double cx, double cy, double r) { return Length(px - cx, py - cy) - r; }

// Close enough to a true ellipse distance near the edge, which is all anti-aliasing needs.
double Ellipse(double px, double py, double cx, double cy, double rx, double ry, double angle) {
    double c = std::cos(angle), s = std::sin(angle);
    double dx = px - cx, dy = py - cy;
    double u = (dx * c + dy * s) / rx, v = (-dx * s + dy * c) / ry;
    return (Length(u, v) - 1.0) * std::min(rx, ry);
}

double Segment(double px, double py, double ax, double ay, double bx, double by) {
    double dx = bx - ax, dy = by - ay;
    double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / len2, 0.0, 1.0) : 0.0;
    return Length(px - (ax + t * dx), py - (ay + t * dy));
}

// Convex triangle, vertices in either winding.
double Triangle(double px, double py, const double (&v)[6]) {
    double inside = 1, edge = 1e9;
    double area = (v[2] - v[0]) * (v[5] - v[1]) - (v[3] - v[1]) * (v[4] - v[0]);
    for (int i = 0; i < 3; ++i) {
        double ax = v[2 * i], ay = v[2 * i + 1], bx = v[(2 * i + 2) % 6], by = v[(2 * i + 3) % 6];
        double cross = (bx - ax) * (py - ay) - (by - ay) * (px - ax);
        if (cross * area < 0) inside = -1;
        edge = std::min(edge, Segment(px, py, ax, ay, bx, by));
    }
    return inside > 0 ? -edge : edge;
}

double Coverage(double distance) { return std::clamp(0.5 - distance, 0.0, 1.0); }

// A picture being drawn: straight (not premultiplied) colour with coverage. Shapes are given in
// the picture's units; a canvas of scale 2 draws them at twice as many pixels.
struct Canvas {
    int width, height;
    double scale;
    std::vector<Rgb> colour;
    std::vector<double> alpha;
    Canvas(int w, int h, double s = 1)
        : width(static_cast<int>(w * s)), height(static_cast<int>(h * s)), scale(s),
          colour(static_cast<size_t>(width) * height, Rgb{0, 0, 0}), alpha(static_cast<size_t>(width) * height, 0.0) {}

    void Blend(int x, int y, Rgb c, double a) {
        if (a <= 0) return;
        size_t i = static_cast<size_t>(y) * width + x;
        double out = a + alpha[i] * (1 - a);
        if (out <= 0) return;
        Rgb& d = colour[i];
        d = {(c.r * a + d.r * alpha[i] * (1 - a)) / out, (c.g * a + d.g * alpha[i] * (1 - a)) / out,
             (c.b * a + d.b * alpha[i] * (1 - a)) / out};
        alpha[i] = out;
    }

    // Fills a shape given by its distance function, with a colour that may depend on the position.
    template <typename Distance, typename Paint>
    void Fill(Distance distance, Paint paint, double opacity = 1.0) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                double px = (x + 0.5) / scale, py = (y + 0.5) / scale;
                double a = Coverage(distance(px, py) * scale) * opacity;
                if (a > 0) Blend(x, y, paint(px, py), a);
            }
    }
    template <typename Distance>
    void Fill(Distance distance, Rgb c, double opacity = 1.0) {
        Fill(distance, [c](double, double) { return c; }, opacity);
    }
};

// --- The wren: drawn in a 100 x 100 box, facing right, perched with its tail cocked. ---

struct Frame {
    double x, y, scale;  // box origin and pixels per box unit
};

void DrawWren(Canvas& canvas, Frame f, bool detailed) {
    // Turns a shape in box units into one in pixels.
    auto box = [f](auto shape) {
        return [=](double px, double py) { return shape((px - f.x) / f.scale, (py - f.y) / f.scale) * f.scale; };
    };
    auto body = box([](double u, double v) {
        const double beak[6] = {80, 34, 98, 41, 80, 46};
        return std::min({Ellipse(u, v, 48, 58, 27, 19, -0.25), Circle(u, v, 71, 40, 13),  // body, head
                         Ellipse(u, v, 17, 43, 20, 6, 1.16),                               // tail, cocked up
                         Triangle(u, v, beak)});
    });
    // Lit from above: the breast and crown fade towards white.
    canvas.Fill(body, [f](double, double py) {
        return Mix(kSand, kWhite, std::clamp((70 - (py - f.y) / f.scale) / 60, 0.0, 0.55));
    });
    if (!detailed) return;  // below 24 pixels the details only muddy the silhouette
    canvas.Fill(box([](double u, double v) { return Ellipse(u, v, 44, 56, 18, 9, -0.45); }), kBark, 0.55);  // wing
    canvas.Fill(box([](double u, double v) { return Circle(u, v, 74, 37, 2.6); }), kNavy);                // eye
    canvas.Fill(box([](double u, double v) {
                    return std::min(Segment(u, v, 48, 74, 44, 88), Segment(u, v, 56, 73, 56, 88)) - 1.6;
                }),
                kBark);  // legs
}

// A band of sea below a sine crest; `top` is the mean height of the crest.
double Wave(double px, double py, double top, double amplitude, double wavelength, double phase) {
    double crest = top + amplitude * std::sin(2 * kPi * px / wavelength + phase);
    return crest - py;
}

// --- A stroke font of our own: glyphs are polylines in cap-height units, y up from the baseline. ---

struct Stroke {
    std::vector<double> points;  // x0, y0, x1, y1, ...
};
struct Glyph {
    double advance;
    std::vector<Stroke> strokes;
};

Stroke Arc(double cx, double cy, double rx, double ry, double fromDeg, double toDeg) {
    Stroke s;
    int steps = std::max(6, static_cast<int>(std::fabs(toDeg - fromDeg) / 8));
    for (int i = 0; i <= steps; ++i) {
        double a = (fromDeg + (toDeg - fromDeg) * i / steps) * kPi / 180;
        s.points.push_back(cx + rx * std::cos(a));
        s.points.push_back(cy + ry * std::sin(a));
    }
    return s;
}
Stroke Line(std::initializer_list<double> p) { return Stroke{std::vector<double>(p)}; }

// Joins strokes end to start into one, so the joint has no gap.
Stroke Join(std::initializer_list<Stroke> parts) {
    Stroke s;
    for (const Stroke& p : parts) s.points.insert(s.points.end(), p.points.begin(), p.points.end());
    return s;
}

constexpr double kX = 0.68;  // x-height

Glyph GlyphFor(char c) {
    switch (c) {
    case 'W': return {1.02, {Line({0, 1, 0.23, 0, 0.46, 0.78, 0.69, 0, 0.92, 1})}};
    case 'T': return {0.76, {Line({0, 1, 0.70, 1}), Line({0.35, 1, 0.35, 0})}};
    case 'S':
        return {0.66, {Join({Arc(0.30, 0.75, 0.26, 0.25, 25, 270), Arc(0.30, 0.25, 0.28, 0.25, 90, -160)})}};
    case 'r': return {0.50, {Line({0, 0, 0, kX}), Arc(0.32, 0.36, 0.32, 0.32, 180, 80)}};
    case 'e':
        return {0.70, {Join({Line({0.02, 0.34, 0.60, 0.34}), Arc(0.31, 0.34, 0.30, 0.34, 0, 320)})}};
    case 'n':
        return {0.70, {Line({0, 0, 0, kX}), Join({Arc(0.27, 0.40, 0.27, 0.28, 180, 0), Line({0.54, 0.40, 0.54, 0})})}};
    case 'i': return {0.28, {Line({0, 0, 0, kX}), Line({0, 0.93})}};
    case 'd': return {0.76, {Arc(0.29, 0.34, 0.29, 0.34, 0, 360), Line({0.58, 0, 0.58, 1})}};
    case 't':
        return {0.46, {Join({Line({0.12, 0.92, 0.12, 0.16}), Arc(0.30, 0.16, 0.18, 0.16, 180, 285)}),
                       Line({0, kX, 0.34, kX})}};
    case 'u':
        return {0.72,
                {Join({Line({0, kX, 0, 0.28}), Arc(0.27, 0.28, 0.27, 0.28, 180, 360), Line({0.54, 0.28, 0.54, kX})}),
                 Line({0.54, kX, 0.54, 0})}};
    case 'p': return {0.76, {Line({0, kX, 0, -0.32}), Arc(0.29, 0.34, 0.29, 0.34, 0, 360)}};
    default: return {0.40, {}};
    }
}

// All segments of a line of text, in pixels; `size` is the cap height.
std::vector<double> LayOut(const std::string& text, double x, double baseline, double size, double slant) {
    std::vector<double> segments;
    for (char c : text) {
        Glyph g = GlyphFor(c);
        for (const Stroke& s : g.strokes) {
            // A stroke of one point is a dot: a segment of zero length.
            size_t last = s.points.size() > 2 ? s.points.size() - 2 : 2;
            for (size_t i = 0; i + 2 <= last; i += 2) {
                size_t j = s.points.size() > 2 ? i + 2 : i;
                double ax = s.points[i], ay = s.points[i + 1], bx = s.points[j], by = s.points[j + 1];
                segments.insert(segments.end(), {x + (ax + ay * slant) * size, baseline - ay * size,
                                                 x + (bx + by * slant) * size, baseline - by * size});
            }
        }
        x += g.advance * size;
    }
    return segments;
}

double TextDistance(const std::vector<double>& seg, double px, double py, double halfWidth) {
    double d = 1e9;
    for (size_t i = 0; i < seg.size(); i += 4)
        d = std::min(d, Segment(px, py, seg[i], seg[i + 1], seg[i + 2], seg[i + 3]));
    return d - halfWidth;
}

// --- The banner. ---

constexpr int kBannerWidth = 591;
constexpr int kBannerHeight = 89;
constexpr int kLargeBannerQuality = 80;

Canvas DrawBanner(double scale) {
    Canvas c(kBannerWidth, kBannerHeight, scale);
    auto sky = [](double px, double py) {
        double t = px / kBannerWidth;
        Rgb base = t < 0.62 ? Mix(kNavy, kTide, t / 0.62) : Mix(kTide, kTeal, (t - 0.62) / 0.38);
        return Mix(base, kNavy, 0.25 * py / kBannerHeight);
    };
    c.Fill([](double, double) { return -1.0; }, sky);

    // Three swells, the nearer ones more solid, with a foam line on the nearest crest.
    c.Fill([](double x, double y) { return Wave(x, y, 62, 3.0, 173, 0.4); }, kTeal, 0.30);
    c.Fill([](double x, double y) { return Wave(x, y, 70, 3.5, 131, 2.1); }, kTeal, 0.45);
    c.Fill([](double x, double y) { return Wave(x, y, 78, 4.0, 97, 4.0); }, kTide, 0.85);
    c.Fill([](double x, double y) { return std::fabs(Wave(x, y, 78, 4.0, 97, 4.0)) - 0.9; }, kFoam, 0.8);

    DrawWren(c, Frame{14, 4, 0.78}, true);

    std::vector<double> title = LayOut("WrenTide", 104, 56, 38, 0.08);
    std::vector<double> shadow = title;
    for (size_t i = 0; i < shadow.size(); i += 2) {
        shadow[i] += 1.5;
        shadow[i + 1] += 2.0;
    }
    c.Fill([&](double x, double y) { return TextDistance(shadow, x, y, 3.4); }, kNavy, 0.55);
    c.Fill([&](double x, double y) { return TextDistance(title, x, y, 3.2); }, kWhite);

    std::vector<double> setup = LayOut("Setup", 324, 56, 17, 0.08);
    c.Fill([&](double x, double y) { return TextDistance(setup, x, y, 1.5); }, kFoam);
    return c;
}

bool WriteJpeg(const Canvas& c, int quality, const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = c.width;
    cinfo.image_height = c.height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);  // YCbCr, 4:2:0, baseline Huffman
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.optimize_coding = TRUE;  // still baseline: only the Huffman tables are tuned
    cinfo.dct_method = JDCT_ISLOW;  // exact in every build, so the file is reproducible
    cinfo.density_unit = 1;
    cinfo.X_density = cinfo.Y_density = static_cast<UINT16>(96 * c.scale);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(c.width * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < c.width; ++x) {
            const Rgb& p = c.colour[static_cast<size_t>(cinfo.next_scanline) * c.width + x];
            row[x * 3] = static_cast<JSAMPLE>(std::lround(std::clamp(p.r, 0.0, 255.0)));
            row[x * 3 + 1] = static_cast<JSAMPLE>(std::lround(std::clamp(p.g, 0.0, 255.0)));
            row[x * 3 + 2] = static_cast<JSAMPLE>(std::lround(std::clamp(p.b, 0.0, 255.0)));
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(f) == 0;
}

// --- The icon: a tide-blue disc, the wren riding a wave. ---

Canvas DrawIcon(int size) {
    Canvas c(size, size);
    double s = size, r = s / 2 - 0.5;
    auto disc = [=](double x, double y) { return Circle(x, y, s / 2, s / 2, r); };
    auto inDisc = [=](auto shape) { return [=](double x, double y) { return std::max(shape(x, y), disc(x, y)); }; };
    c.Fill(disc, [=](double x, double y) { return Mix(kTeal, kNavy, std::clamp((x + y) / (2 * s), 0.0, 1.0)); });
    double wavelength = s * 0.9;
    c.Fill(inDisc([=](double x, double y) { return Wave(x, y, s * 0.70, s * 0.05, wavelength, 1.2); }), kTide);
    // The foam line stays at least a pixel wide, or it vanishes at 16 x 16.
    double foam = std::max(0.6, s / 48.0);
    auto crest = [=](double x, double y) { return std::fabs(Wave(x, y, s * 0.70, s * 0.05, wavelength, 1.2)) - foam; };
    c.Fill(inDisc(crest), kFoam);
    DrawWren(c, Frame{s * 0.14, s * 0.10, s * 0.0068}, size >= 24);
    return c;
}

void Put16(std::vector<uint8_t>& b, unsigned v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& b, unsigned v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
uint8_t Channel(double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0))); }

// One BMP-style icon image: BITMAPINFOHEADER (height doubled for the mask), bottom-up colour rows, then
// the 1 bpp AND mask with rows padded to 32 bits. A pixel under a set mask bit must be black in a 24 bpp
// image, so that XOR leaves the screen as it was.
std::vector<uint8_t> IconImage(const Canvas& c, int bits) {
    std::vector<uint8_t> b;
    int w = c.width, h = c.height;
    int colourStride = (w * bits / 8 + 3) & ~3;
    int maskStride = ((w + 31) / 32) * 4;
    Put32(b, 40);
    Put32(b, w);
    Put32(b, h * 2);
    Put16(b, 1);
    Put16(b, bits);
    Put32(b, 0);  // BI_RGB
    Put32(b, colourStride * h + maskStride * h);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    for (int y = h - 1; y >= 0; --y) {
        size_t start = b.size();
        for (int x = 0; x < w; ++x) {
            size_t i = static_cast<size_t>(y) * w + x;
            const Rgb& p = c.colour[i];
            double a = c.alpha[i];
            bool opaque = a >= 0.5;
            if (bits == 32) {
                b.insert(b.end(), {Channel(p.b), Channel(p.g), Channel(p.r), Channel(a * 255)});
            } else {
                b.insert(b.end(), {opaque ? Channel(p.b) : uint8_t(0), opaque ? Channel(p.g) : uint8_t(0),
                                   opaque ? Channel(p.r) : uint8_t(0)});
            }
        }
        b.resize(start + colourStride, 0);
    }
    for (int y = h - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskStride, 0);
        for (int x = 0; x < w; ++x)
            if (c.alpha[static_cast<size_t>(y) * w + x] < 0.5) row[x / 8] |= 0x80 >> (x % 8);
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

bool WriteIco(const std::vector<int>& sizes, int bits, const std::string& path) {
    std::vector<std::vector<uint8_t>> images;
    for (int size : sizes) images.push_back(IconImage(DrawIcon(size), bits));
    std::vector<uint8_t> file;
    Put16(file, 0);
    Put16(file, 1);  // icon
    Put16(file, static_cast<unsigned>(sizes.size()));
    unsigned offset = 6 + 16 * static_cast<unsigned>(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        file.push_back(static_cast<uint8_t>(sizes[i]));
        file.push_back(static_cast<uint8_t>(sizes[i]));
        file.push_back(0);  // no palette
        file.push_back(0);
        Put16(file, 1);
        Put16(file, bits);
        Put32(file, static_cast<unsigned>(images[i].size()));
        Put32(file, offset);
        offset += static_cast<unsigned>(images[i].size());
    }
    for (const auto& image : images) file.insert(file.end(), image.begin(), image.end());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <artwork folder>\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    // The large banner is seen only scaled down to 150 % or drawn at 200 %, where a lower quality
    // does not show and keeps the exe light.
    bool ok = WriteJpeg(DrawBanner(1), 90, dir + "/banner.jpg") &&
              WriteJpeg(DrawBanner(2), kLargeBannerQuality, dir + "/banner@2x.jpg") &&
              WriteIco({48, 32, 24, 16}, 32, dir + "/setup.ico") && WriteIco({32, 48, 64}, 24, dir + "/window.ico");
    if (!ok) {
        std::fprintf(stderr, "make_artwork: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
