// Golden screenshots: a region of the back buffer compared with tests/golden/<name>.png, with a per-channel
// tolerance, a small allowed share of differing pixels, and masked rectangles (pulsing colours, timers).
//
// AERIVON_UPDATE_GOLDENS=1 rewrites a golden that is missing or no longer matches (tools/update-goldens.sh).
// On a mismatch, and for every rewritten golden, <name>.actual.png, <name>.golden.png and <name>.diff.png go
// to $AERIVON_GOLDEN_OUT (default: golden-diff in the build folder) for review. In the diff, red marks a
// pixel beyond the tolerance, blue a masked one, and the rest is the actual picture darkened.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ui/TEX_png.h"
#include "ui/TEX_utils.h"
#include "ui_gui_fixture.h"

namespace golden {

struct box {
    int x0, y0, x1, y1; // pixels [x0, x1) x [y0, y1) of the compared region, y up
};

struct options {
    int tolerance = 12;           // per channel
    double allowed_share = 0.002; // of the region's pixels beyond the tolerance
    std::vector<box> masks;       // in window pixels
};

inline std::string golden_path(const std::string& name) {
    return std::string(AERIVON_SOURCE_DIR) + "/tests/golden/" + name + ".png";
}

inline std::string out_dir() {
    const char* d = std::getenv("AERIVON_GOLDEN_OUT");
    std::string dir = d && *d ? d : std::string(AERIVON_BINARY_DIR) + "/golden-diff";
    mkdir(dir.c_str(), 0777);
    return dir;
}

// RGBA rows of the region, bottom row first.
inline std::vector<uint8_t> crop(const uitest::frame& f, const box& r) {
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(r.x1 - r.x0) * (r.y1 - r.y0) * 4);
    for (int y = r.y0; y < r.y1; ++y)
        for (int x = r.x0; x < r.x1; ++x) {
            const uint8_t* p = &f.pixels[(static_cast<size_t>(y) * f.width + x) * 4];
            out.insert(out.end(), {p[0], p[1], p[2], 255});
        }
    return out;
}

// Compares the region of the current back buffer with the golden.
inline ::testing::AssertionResult matches(const std::string& name, const box& region,
                                          const options& opt = {}) {
    const uitest::frame f = uitest::read_frame();
    const int w = region.x1 - region.x0, h = region.y1 - region.y0;
    const std::vector<uint8_t> actual = crop(f, region);
    const bool update =
        std::getenv("AERIVON_UPDATE_GOLDENS") && *std::getenv("AERIVON_UPDATE_GOLDENS") == '1';

    unsigned char* stored = nullptr;
    TEX_image_info info;
    const std::string path = golden_path(name);
    struct stat st;
    const bool exists = stat(path.c_str(), &st) == 0;
    const bool decoded = exists && TEX_load_image_file(path, stored, 0, GL_RGBA, 0, 0, 0, info) == 1;
    std::string problem;
    std::vector<uint8_t> diff(actual.size());
    long bad = 0;
    if (!decoded) {
        problem = exists ? "cannot decode " + path : "missing " + path;
    } else if (info.width != w || info.height != h || TEX_bytes_per_pixel(info.format) != 4) {
        problem = "golden size differs";
    } else {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const size_t i = (static_cast<size_t>(y) * w + x) * 4;
                const size_t j = static_cast<size_t>(y) * (w * 4 + info.pad) + static_cast<size_t>(x) * 4;
                bool masked = false;
                for (const box& m : opt.masks)
                    masked |= x + region.x0 >= m.x0 && x + region.x0 < m.x1 && y + region.y0 >= m.y0 &&
                              y + region.y0 < m.y1;
                bool differs = false;
                for (int c = 0; c < 3; ++c)
                    differs |= std::abs(actual[i + c] - stored[j + c]) > opt.tolerance;
                uint8_t* d = &diff[i];
                if (masked) {
                    d[0] = 0, d[1] = 0, d[2] = 160;
                } else if (differs) {
                    d[0] = 255, d[1] = 0, d[2] = 0;
                    ++bad;
                } else {
                    d[0] = actual[i] / 3, d[1] = actual[i + 1] / 3, d[2] = actual[i + 2] / 3;
                }
                d[3] = 255;
            }
        if (bad > static_cast<long>(opt.allowed_share * w * h))
            problem = std::to_string(bad) + " of " + std::to_string(w * h) + " pixels differ";
    }
    if (!problem.empty()) {
        const std::string dir = out_dir();
        TEX_write_png(dir + "/" + name + ".actual.png", w, h, 4, actual.data());
        if (decoded) {
            TEX_write_png(dir + "/" + name + ".diff.png", w, h, 4, diff.data());
            if (info.width == w && info.height == h && info.pad == 0 && TEX_bytes_per_pixel(info.format) == 4)
                TEX_write_png(dir + "/" + name + ".golden.png", w, h, 4, stored);
        }
        if (update)
            TEX_write_png(path, w, h, 4, actual.data());
    }
    std::free(stored);
    if (problem.empty() || update)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << name << ": " << problem << " (images in " << out_dir()
                                         << "; tools/update-goldens.sh rewrites the goldens)";
}

} // namespace golden
