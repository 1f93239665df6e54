// artgen_draw: an image in memory and the ways the generator paints it. Shapes are signed distance
// functions in texel units (x from the left edge, y from the bottom edge); a texel takes the mean of 4 x 4
// samples, so edges are smooth and every run gives the same bytes.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "artgen_layout.h"

namespace artgen {

struct rgba {
    uint8_t r, g, b, a;
};
constexpr rgba opaque(rgb c) { return {c.r, c.g, c.b, 255}; }
constexpr rgba clear{0, 0, 0, 0};

// What a shader gives at a sample point: a colour, or nothing there.
struct sample {
    bool hit;
    rgba colour;
};
using shader = std::function<sample(double x, double y)>;
// A shape: negative inside, positive outside, in texels.
using sdf = std::function<double(double x, double y)>;

class canvas {
  public:
    canvas(int width, int height, int channels);
    int width() const { return width_; }
    int height() const { return height_; }
    int channels() const { return channels_; }
    // Texel (s, t), t counted from the bottom: file row height - 1 - t.
    rgba get(int s, int t) const;
    void set(int s, int t, rgba c);
    // Every texel of r becomes c.
    void fill(const rect& r, rgba c);
    // Every texel of r becomes the shader's mean over its 16 samples (premultiplied, then straight
    // alpha again); samples without a hit count as transparent.
    void paint(const rect& r, const shader& f);
    // Blends c over texel (s, t) with the coverage `cover` (0..1): source over.
    void blend(int s, int t, rgba c, double cover);
    // The rows as a PNG file holds them: the top row first.
    const std::vector<uint8_t>& file_rows() const { return px_; }

  private:
    int width_, height_, channels_;
    std::vector<uint8_t> px_;
};

// Writes an 8-bit PNG (RGB or RGBA after the canvas), with a gAMA chunk of 1/2.2 and no time chunk, so
// equal canvases give equal files. False, with a line on stderr, when the file cannot be written.
bool write_png(const std::string& path, const canvas& c);

// ---- Shapes.
struct point {
    double x, y;
};
sdf round_rect(double x0, double y0, double x1, double y1, double radius);
sdf circle(double cx, double cy, double r);
// A ring of the given radius and half thickness.
sdf ring(double cx, double cy, double r, double half_thickness);
// A segment with round ends, half thickness w.
sdf stroke(point a, point b, double w);
// A closed polygon (even-odd rule).
sdf polygon(std::vector<point> pts);
sdf unite(std::vector<sdf> parts);
// a without b.
sdf subtract(sdf a, sdf b);

// Inside the shape: `fill`; outside but within `outline` texels of it: `edge`.
shader ink(sdf shape, rgba fill, rgba edge, double outline);

// The box of every frame and strip: a rounded rectangle over the whole of r with an outline of `border`
// texels, the fill inside it and, under the top outline, a band `band_height` texels tall. Inside the
// corners the picture depends on one coordinate only, so the middle pieces tile without seams as long as
// the radius fits the caps and the band fits the top cap.
shader box(const rect& r, double radius, double border, const style_look& look);

// Smooth value noise in 0..1 that repeats every `period` lattice cells in x and y; x and y are in cells.
double periodic_noise(double x, double y, int period, uint32_t seed);

// WCAG contrast ratio of two colours (1 to 21).
double contrast_ratio(rgb a, rgb b);

} // namespace artgen
