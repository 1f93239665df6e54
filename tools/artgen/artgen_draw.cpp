// artgen_draw: canvas, shapes and the PNG writer of the art generator.
#include "artgen_draw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <png.h>

namespace artgen {

canvas::canvas(int width, int height, int channels)
    : width_(width), height_(height), channels_(channels),
      px_(static_cast<size_t>(width) * height * channels, 0) {}

rgba canvas::get(int s, int t) const {
    const uint8_t* p = &px_[(static_cast<size_t>(height_ - 1 - t) * width_ + s) * channels_];
    return {p[0], p[1], p[2], channels_ == 4 ? p[3] : uint8_t(255)};
}

void canvas::set(int s, int t, rgba c) {
    if (s < 0 || t < 0 || s >= width_ || t >= height_) {
        std::fprintf(stderr, "artgen: texel (%d, %d) outside the image\n", s, t);
        std::exit(1);
    }
    uint8_t* p = &px_[(static_cast<size_t>(height_ - 1 - t) * width_ + s) * channels_];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
    if (channels_ == 4)
        p[3] = c.a;
}

void canvas::fill(const rect& r, rgba c) {
    for (int t = r.t0; t < r.t1; ++t)
        for (int s = r.s0; s < r.s1; ++s)
            set(s, t, c);
}

void canvas::paint(const rect& r, const shader& f) {
    constexpr int n = 4;
    for (int t = r.t0; t < r.t1; ++t) {
        for (int s = r.s0; s < r.s1; ++s) {
            double sum_r = 0, sum_g = 0, sum_b = 0, sum_a = 0;
            for (int j = 0; j < n; ++j) {
                for (int i = 0; i < n; ++i) {
                    sample hit = f(s + (i + 0.5) / n, t + (j + 0.5) / n);
                    if (!hit.hit)
                        continue;
                    double a = hit.colour.a / 255.0;
                    sum_r += hit.colour.r * a;
                    sum_g += hit.colour.g * a;
                    sum_b += hit.colour.b * a;
                    sum_a += a;
                }
            }
            rgba out = clear;
            if (sum_a > 0) {
                out.r = static_cast<uint8_t>(std::lround(sum_r / sum_a));
                out.g = static_cast<uint8_t>(std::lround(sum_g / sum_a));
                out.b = static_cast<uint8_t>(std::lround(sum_b / sum_a));
                out.a = static_cast<uint8_t>(std::lround(sum_a / (n * n) * 255.0));
            }
            set(s, t, out);
        }
    }
}

void canvas::blend(int s, int t, rgba c, double cover) {
    double a = c.a / 255.0 * std::clamp(cover, 0.0, 1.0);
    if (a <= 0)
        return;
    rgba d = get(s, t);
    double da = d.a / 255.0;
    double oa = a + da * (1 - a);
    auto mix = [&](uint8_t sc, uint8_t dc) {
        return static_cast<uint8_t>(std::lround((sc * a + dc * da * (1 - a)) / oa));
    };
    set(s, t, {mix(c.r, d.r), mix(c.g, d.g), mix(c.b, d.b), static_cast<uint8_t>(std::lround(oa * 255))});
}

bool write_png(const std::string& path, const canvas& c) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        std::fprintf(stderr, "artgen: cannot write %s\n", path.c_str());
        return false;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 6);
    png_set_IHDR(png, info, c.width(), c.height(), 8,
                 c.channels() == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_gAMA_fixed(png, info, 45455);
    png_write_info(png, info);
    const uint8_t* rows = c.file_rows().data();
    size_t stride = static_cast<size_t>(c.width()) * c.channels();
    for (int y = 0; y < c.height(); ++y)
        png_write_row(png, rows + stride * y);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

// ---- Shapes

sdf round_rect(double x0, double y0, double x1, double y1, double radius) {
    double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
    return [=](double x, double y) {
        double qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
        double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
        return std::hypot(ox, oy) + std::min(std::max(qx, qy), 0.0) - radius;
    };
}

sdf circle(double cx, double cy, double r) {
    return [=](double x, double y) { return std::hypot(x - cx, y - cy) - r; };
}

sdf ring(double cx, double cy, double r, double half_thickness) {
    return [=](double x, double y) { return std::fabs(std::hypot(x - cx, y - cy) - r) - half_thickness; };
}

static double segment_distance(point p, point a, point b) {
    double vx = b.x - a.x, vy = b.y - a.y, wx = p.x - a.x, wy = p.y - a.y;
    double len2 = vx * vx + vy * vy;
    double k = len2 > 0 ? std::clamp((wx * vx + wy * vy) / len2, 0.0, 1.0) : 0.0;
    return std::hypot(wx - k * vx, wy - k * vy);
}

sdf stroke(point a, point b, double w) {
    return [=](double x, double y) { return segment_distance({x, y}, a, b) - w; };
}

sdf polygon(std::vector<point> pts) {
    return [pts = std::move(pts)](double x, double y) {
        double d = 1e9;
        bool inside = false;
        for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
            d = std::min(d, segment_distance({x, y}, pts[j], pts[i]));
            if ((pts[i].y > y) != (pts[j].y > y) &&
                x < (pts[j].x - pts[i].x) * (y - pts[i].y) / (pts[j].y - pts[i].y) + pts[i].x)
                inside = !inside;
        }
        return inside ? -d : d;
    };
}

sdf unite(std::vector<sdf> parts) {
    return [parts = std::move(parts)](double x, double y) {
        double d = 1e9;
        for (const sdf& p : parts)
            d = std::min(d, p(x, y));
        return d;
    };
}

sdf subtract(sdf a, sdf b) {
    return [=](double x, double y) { return std::max(a(x, y), -b(x, y)); };
}

shader ink(sdf shape, rgba fill, rgba edge, double outline) {
    return [=](double x, double y) -> sample {
        double d = shape(x, y);
        if (d <= 0)
            return {true, fill};
        if (d <= outline)
            return {true, edge};
        return {false, clear};
    };
}

shader box(const rect& r, double radius, double border, const style_look& look) {
    sdf outer = round_rect(r.s0, r.t0, r.s1, r.t1, radius);
    double band_bottom = r.t1 - border - look.band_height;
    return [=](double x, double y) -> sample {
        double d = outer(x, y);
        if (d > 0)
            return {false, clear};
        if (d > -border)
            return {true, opaque(look.border)};
        if (look.band_height > 0 && y >= band_bottom)
            return {true, opaque(look.band)};
        return {true, opaque(look.fill)};
    };
}

static uint32_t hash3(uint32_t a, uint32_t b, uint32_t c) {
    uint32_t h = a * 0x9E3779B1u ^ b * 0x85EBCA77u ^ c * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

double periodic_noise(double x, double y, int period, uint32_t seed) {
    double fx = std::floor(x), fy = std::floor(y);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    double u = x - fx, v = y - fy;
    u = u * u * (3 - 2 * u);
    v = v * v * (3 - 2 * v);
    auto at = [&](int cx, int cy) {
        uint32_t px = static_cast<uint32_t>(((cx % period) + period) % period);
        uint32_t py = static_cast<uint32_t>(((cy % period) + period) % period);
        return (hash3(px, py, seed) & 0xFFFFFF) / static_cast<double>(0x1000000);
    };
    double top = at(ix, iy) * (1 - u) + at(ix + 1, iy) * u;
    double bottom = at(ix, iy + 1) * (1 - u) + at(ix + 1, iy + 1) * u;
    return top * (1 - v) + bottom * v;
}

static double luminance(rgb c) {
    auto lin = [](uint8_t v) {
        double x = v / 255.0;
        return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(c.r) + 0.7152 * lin(c.g) + 0.0722 * lin(c.b);
}

double contrast_ratio(rgb a, rgb b) {
    double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace artgen
