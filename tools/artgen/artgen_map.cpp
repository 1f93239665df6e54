// artgen_map: the world map of the scenery picker (512 x 1024 RGBA). Three 504 x 252 pictures at the texel
// rows the picker draws from: the map (t 0-251), the look of offered tiles (t 252-503) and the look of
// selected tiles (t 504-755). The map is equirectangular, longitude -180 at the left and north up: the
// picker shows texel row 0 at the top of the map, over its northmost tiles (latitude band 17, 80N-90N), so
// latitude 90 is row 0 and -90 the picture's last row; a tile is 10 degrees, 14 texels. The land comes from a
// coarse mask of 5-degree cells, smoothed and roughened so that the coasts are not blocks.
#include <algorithm>
#include <cmath>

#include "artgen.h"

namespace artgen {

namespace {

// Land in longitude ranges [west, east), per 5-degree band from the north pole down.
struct band_land {
    int band; // 0: 90N-85N ... 35: 85S-90S
    int west, east;
};
constexpr band_land land[] = {
    {1, -75, -15},   {1, 95, 105},                                                                    //
    {2, -120, -75},  {2, -70, -15},   {2, 15, 25},    {2, 50, 65},    {2, 95, 115},   {2, 135, 145},  //
    {3, -125, -70},  {3, -60, -20},   {3, 20, 30},    {3, 50, 60},    {3, 65, 180},                   //
    {4, -170, -60},  {4, -55, -20},   {4, 10, 180},                                                   //
    {5, -165, -95},  {5, -80, -60},   {5, -50, -40},  {5, -25, -15},  {5, 5, 180},                    //
    {6, -165, -155}, {6, -135, -95},  {6, -80, -60},  {6, -10, 0},    {6, 5, 140},    {6, 155, 165},  //
    {7, -130, -55},  {7, -10, 2},     {7, 5, 140},    {7, 140, 145},  {7, 155, 160},                  //
    {8, -125, -55},  {8, -5, 135},    {8, 140, 145},                                                  //
    {9, -125, -70},  {9, -10, 28},    {9, 40, 48},    {9, 54, 130},   {9, 139, 142},                  //
    {10, -125, -75}, {10, -10, 0},    {10, 12, 16},   {10, 20, 50},   {10, 54, 122},  {10, 126, 129}, //
    {10, 130, 141},                                                                                   //
    {11, -120, -80}, {11, -10, 122},  {11, 130, 135},                                                 //
    {12, -115, -97}, {12, -82, -80},  {12, -15, 33},  {12, 36, 48},   {12, 57, 122},                  //
    {13, -106, -97}, {13, -90, -87},  {13, -84, -76}, {13, -17, 37},  {13, 39, 59},   {13, 68, 88},   //
    {13, 92, 117},                                                                                    //
    {14, -105, -88}, {14, -73, -66},  {14, -17, 40},  {14, 43, 52},   {14, 73, 85},   {14, 95, 110},  //
    {14, 120, 124},                                                                                   //
    {15, -92, -83},  {15, -75, -60},  {15, -17, 52},  {15, 75, 80},   {15, 98, 108},  {15, 120, 126}, //
    {16, -83, -77},  {16, -78, -52},  {16, -13, 48},  {16, 80, 82},   {16, 98, 103},  {16, 122, 126}, //
    {17, -80, -50},  {17, 8, 42},     {17, 95, 105},  {17, 108, 118}, {17, 120, 125},                 //
    {18, -81, -35},  {18, 9, 40},     {18, 100, 106}, {18, 110, 117}, {18, 120, 123}, {18, 132, 150}, //
    {19, -80, -35},  {19, 12, 40},    {19, 105, 115}, {19, 124, 127}, {19, 140, 150},                 //
    {20, -77, -37},  {20, 13, 41},    {20, 48, 50},   {20, 130, 137}, {20, 142, 144},                 //
    {21, -75, -39},  {21, 12, 40},    {21, 44, 50},   {21, 122, 146},                                 //
    {22, -70, -40},  {22, 13, 35},    {22, 43, 48},   {22, 114, 150},                                 //
    {23, -71, -48},  {23, 15, 33},    {23, 113, 153},                                                 //
    {24, -71, -52},  {24, 18, 30},    {24, 115, 135}, {24, 137, 151},                                 //
    {25, -73, -57},  {25, 140, 150},  {25, 173, 178},                                                 //
    {26, -73, -63},  {26, 145, 148},  {26, 168, 178},                                                 //
    {27, -75, -66},  {27, 166, 170},                                                                  //
    {28, -75, -66},  {28, -61, -58},                                                                  //
    {30, -65, -55},                                                                                   //
    {31, -75, -60},  {31, -20, 165},                                                                  //
    {32, -150, -60}, {32, -20, 160},                                                                  //
    {33, -180, -60}, {33, -30, 180},                                                                  //
    {34, -180, 180}, {35, -180, 180},
};
constexpr int mask_cols = 72, mask_rows = 36;

struct mask {
    double cell[mask_rows][mask_cols] = {};
    mask() {
        for (const band_land& b : land)
            for (int col = 0; col < mask_cols; ++col) {
                double lon = -177.5 + 5 * col;
                if (lon >= b.west && lon < b.east)
                    cell[b.band][col] = 1.0;
            }
    }
    // Bilinear between cell centres; wraps in longitude, clamps at the poles.
    double at(double lon, double lat) const {
        double fc = (lon + 177.5) / 5, fr = std::clamp((87.5 - lat) / 5, 0.0, mask_rows - 1.0);
        int c0 = static_cast<int>(std::floor(fc)), r0 = std::min(static_cast<int>(fr), mask_rows - 2);
        double u = fc - c0, v = fr - r0;
        int ca = ((c0 % mask_cols) + mask_cols) % mask_cols, cb = (ca + 1) % mask_cols;
        return (cell[r0][ca] * (1 - u) + cell[r0][cb] * u) * (1 - v) +
               (cell[r0 + 1][ca] * (1 - u) + cell[r0 + 1][cb] * u) * v;
    }
};

uint8_t mix(uint8_t a, uint8_t b, double k) {
    return static_cast<uint8_t>(std::clamp(std::lround(a + (b - a) * std::clamp(k, 0.0, 1.0)), 0L, 255L));
}
rgba mix(rgb a, rgb b, double k) { return {mix(a.r, b.r, k), mix(a.g, b.g, k), mix(a.b, b.b, k), 255}; }

void draw_world(canvas& c) {
    static const mask m;
    const rgb deep{12, 36, 70}, shallow{34, 82, 128}, low{66, 108, 58}, high{132, 128, 82},
        ice{222, 230, 238};
    for (int t = 0; t < map_height; ++t) {
        for (int s = 0; s < map_width; ++s) {
            double lon = -180 + (s + 0.5) * 360.0 / map_width, lat = 90 - (t + 0.5) * 180.0 / map_height;
            double rough = periodic_noise(s / 9.0, t / 9.0, 56, 5) - 0.5;
            double v = m.at(lon, lat) + 0.22 * rough;
            rgba colour;
            if (v > 0.5) {
                double relief = periodic_noise(s / 21.0, t / 21.0, 24, 9);
                colour =
                    std::fabs(lat) > 62 + 6 * relief ? mix(ice, high, 0.15 * relief) : mix(low, high, relief);
            } else {
                colour = mix(deep, shallow, (v - 0.1) / 0.4);
            }
            // A faint graticule every 30 degrees (three tiles).
            if (s % (3 * map_tile) == 0 || t % (3 * map_tile) == 0) {
                colour.r = static_cast<uint8_t>(std::min(255, colour.r + 18));
                colour.g = static_cast<uint8_t>(std::min(255, colour.g + 18));
                colour.b = static_cast<uint8_t>(std::min(255, colour.b + 18));
            }
            c.set(s, map_rows_t0 + t, colour);
        }
    }
}

// A translucent tint over each 14 x 14 tile, with a stronger one-texel rim.
void draw_tiles(canvas& c, int t0, rgba tint, rgba rim) {
    for (int t = 0; t < map_height; ++t)
        for (int s = 0; s < map_width; ++s) {
            int x = s % map_tile, y = t % map_tile;
            bool edge = x == 0 || y == 0 || x == map_tile - 1 || y == map_tile - 1;
            c.set(s, t0 + t, edge ? rim : tint);
        }
}

} // namespace

canvas make_map() {
    canvas c(map_image.width, map_image.height, map_image.channels);
    draw_world(c);
    draw_tiles(c, offered_rows_t0, {90, 170, 255, 64}, {150, 205, 255, 170});
    draw_tiles(c, selected_rows_t0, {255, 184, 64, 112}, {255, 222, 140, 220});
    return c;
}

} // namespace artgen
