// TEX_utils: image operations between decoding and upload.
#include "ui/TEX_utils.h"

#include <squish.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/APP_alert.h"
#include "base/xmap.h"
#include "ui/TEX_bmp.h"
#include "ui/TEX_png.h"

namespace {

// Bytes per texel of the formats that TEX_image_size knows, and whether row padding counts.
struct texel_size {
    int bytes;
    bool padded;
};

texel_size texel_size_of(uint32_t format) {
    switch (format) {
    case GL_ALPHA:
    case GL_RED:
    case GL_GREEN:
    case GL_LUMINANCE:
    case GL_ALPHA8:
    case GL_LUMINANCE8:
    case GL_R8:
        return {1, true};
    case GL_RG:
    case GL_RG8:
    case GL_LUMINANCE_ALPHA:
    case GL_LUMINANCE8_ALPHA8:
    case GL_R16F:
    case GL_ALPHA16F_ARB:
    case GL_LUMINANCE16F_ARB:
    case GL_R16I:
    case GL_ALPHA16I_EXT:
    case GL_LUMINANCE16I_EXT:
        return {2, false};
    case GL_RGB:
    case GL_BGR:
    case GL_RGB8:
    case GL_SRGB:
    case GL_SRGB8:
        return {3, true};
    case GL_RGBA:
    case GL_BGRA:
    case GL_RGBA8:
    case GL_SRGB_ALPHA:
    case GL_SRGB8_ALPHA8:
    case GL_DEPTH_COMPONENT24:
    case GL_R32F:
    case GL_RG16F:
    case GL_RG16I:
    case GL_LUMINANCE_ALPHA16F_ARB:
        return {4, true};
    case GL_RGB16F:
    case GL_RGB16I:
        return {6, true};
    case GL_RGBA16F:
    case GL_RGBA16I:
    case GL_RG32F:
        return {8, true};
    case GL_RGB32F:
        return {12, true};
    case GL_RGBA32F:
        return {16, true};
    default:
        return {0, false};
    }
}

int squish_flags(uint32_t format) {
    switch (format) {
    case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT:
        return squish::kDxt1;
    case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
        return squish::kDxt3;
    case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT:
        return squish::kDxt5;
    default:
        return 0;
    }
}

size_t level_size(uint32_t format, int w, int h, int pad) {
    if (int flags = squish_flags(format))
        return static_cast<size_t>(squish::GetStorageRequirements(w, h, flags));
    texel_size t = texel_size_of(format);
    if (t.bytes == 0)
        return 0;
    size_t row = static_cast<size_t>(w) * t.bytes + (t.padded ? static_cast<size_t>(pad) : 0);
    return row * static_cast<size_t>(h);
}

int log2_of(int n) {
    int k = 0;
    while ((1 << (k + 1)) <= n)
        ++k;
    return k;
}

// ---- S3TC colour blocks

uint8_t expand5(int v) { return static_cast<uint8_t>(v << 3 | v >> 2); }
uint8_t expand6(int v) { return static_cast<uint8_t>(v << 2 | v >> 4); }

uint16_t map_endpoint(uint16_t c, const uint8_t* table) {
    int r = table[expand5(c >> 11)], g = table[expand6(c >> 5 & 0x3F)], b = table[expand5(c & 0x1F)];
    return static_cast<uint16_t>((r * 31 + 127) / 255 << 11 | (g * 63 + 127) / 255 << 5 |
                                 (b * 31 + 127) / 255);
}

// Moves c0 above c1 by one step of one component: green first, then blue, then red; c0 rises when it can,
// else c1 falls.
void restore_order(uint16_t& c0, uint16_t& c1) {
    struct field {
        int shift, max;
    };
    const field fields[] = {{5, 63}, {0, 31}, {11, 31}};
    for (const field& f : fields) {
        if ((c0 >> f.shift & f.max) < f.max) {
            c0 = static_cast<uint16_t>(c0 + (1 << f.shift));
            return;
        }
        if ((c1 >> f.shift & f.max) > 0) {
            c1 = static_cast<uint16_t>(c1 - (1 << f.shift));
            return;
        }
    }
}

// One 8-byte colour block. DXT1 blocks have two modes (four colours when c0 > c1, else three and
// transparent); the colour blocks of DXT3 and DXT5 always decode with four.
void convert_colour_block(unsigned char* b, const uint8_t* table, bool dxt1) {
    uint16_t c0 = static_cast<uint16_t>(b[0] | b[1] << 8), c1 = static_cast<uint16_t>(b[2] | b[3] << 8);
    const bool four = !dxt1 || c0 > c1;
    uint16_t n0 = map_endpoint(c0, table), n1 = map_endpoint(c1, table);
    uint32_t idx = static_cast<uint32_t>(b[4]) | static_cast<uint32_t>(b[5]) << 8 |
                   static_cast<uint32_t>(b[6]) << 16 | static_cast<uint32_t>(b[7]) << 24;
    bool swap = four ? n0 < n1 : n0 > n1;
    if (swap) {
        std::swap(n0, n1);
        uint32_t out = 0;
        for (int i = 0; i < 16; ++i) {
            uint32_t v = idx >> (2 * i) & 3;
            v = four ? v ^ 1 : (v < 2 ? v ^ 1 : v);
            out |= v << (2 * i);
        }
        idx = out;
    }
    if (dxt1 && four && n0 == n1)
        restore_order(n0, n1);
    b[0] = static_cast<unsigned char>(n0);
    b[1] = static_cast<unsigned char>(n0 >> 8);
    b[2] = static_cast<unsigned char>(n1);
    b[3] = static_cast<unsigned char>(n1 >> 8);
    for (int i = 0; i < 4; ++i)
        b[4 + i] = static_cast<unsigned char>(idx >> (8 * i));
}

} // namespace

size_t TEX_image_size(const TEX_image_info& info) {
    if (info.width < 1 || info.height < 1)
        return 0;
    int w = info.width, h = info.height;
    size_t total = 0;
    for (;;) {
        size_t level = level_size(info.format, w, h, info.pad);
        if (level == 0)
            return 0;
        total += level;
        if (!info.has_mipmaps || (w == 1 && h == 1))
            return total;
        w = std::max(w / 2, 1);
        h = std::max(h / 2, 1);
    }
}

void TEX_downsample(TEX_image_info& info, unsigned char* pixels, int factor_x, int factor_y) {
    const int bpp = TEX_bytes_per_pixel(info.format);
    if ((bpp != 1 && bpp != 3 && bpp != 4) || info.width < 1 || info.height < 1)
        return;
    factor_x = std::max(factor_x, 1);
    factor_y = std::max(factor_y, 1);
    while (factor_x > 1 && info.width / factor_x < 1)
        factor_x /= 2;
    while (factor_y > 1 && info.height / factor_y < 1)
        factor_y /= 2;
    if (factor_x == 1 && factor_y == 1)
        return;
    const int shift = log2_of(factor_x) + log2_of(factor_y);
    const int nw = info.width / factor_x, nh = info.height / factor_y;
    const size_t src_stride = static_cast<size_t>(info.width) * bpp + info.pad;
    const size_t dst_stride = static_cast<size_t>(nw) * bpp + info.pad;
    // Each block is read whole before its texel is written, and every write lands at or before the first
    // byte of any block still to be read.
    for (int y = 0; y < nh; ++y) {
        for (int x = 0; x < nw; ++x) {
            uint32_t sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < factor_y; ++j) {
                const unsigned char* row = pixels + src_stride * static_cast<size_t>(y * factor_y + j);
                for (int i = 0; i < factor_x; ++i)
                    for (int c = 0; c < bpp; ++c)
                        sum[c] += row[static_cast<size_t>(x * factor_x + i) * bpp + c];
            }
            unsigned char* out = pixels + dst_stride * static_cast<size_t>(y) + static_cast<size_t>(x) * bpp;
            for (int c = 0; c < bpp; ++c)
                out[c] = static_cast<unsigned char>(sum[c] >> shift);
        }
    }
    info.width = nw;
    info.height = nh;
}

void TEX_bleed_transparent(const TEX_image_info& info, unsigned char* pixels) {
    if (TEX_bytes_per_pixel(info.format) != 4 || info.width < 1 || info.height < 1)
        return;
    const int w = info.width, h = info.height;
    const size_t stride = static_cast<size_t>(w) * 4 + info.pad;
    auto at = [&](int x, int y) {
        return pixels + stride * static_cast<size_t>(y) + static_cast<size_t>(x) * 4;
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            unsigned char* p = at(x, y);
            if (p[3] != 0)
                continue;
            uint32_t r = 0, g = 0, b = 0, n = 0;
            for (int j = std::max(y - 2, 0); j <= std::min(y + 2, h - 1); ++j)
                for (int i = std::max(x - 2, 0); i <= std::min(x + 2, w - 1); ++i) {
                    const unsigned char* q = at(i, j);
                    if (q[3] == 0)
                        continue;
                    r += q[0];
                    g += q[1];
                    b += q[2];
                    ++n;
                }
            if (n == 0)
                continue;
            p[0] = static_cast<unsigned char>(r / n);
            p[1] = static_cast<unsigned char>(g / n);
            p[2] = static_cast<unsigned char>(b / n);
        }
    }
}

void TEX_height_to_normal(unsigned char* pixels, const TEX_image_info& info, float strength) {
    const int bpp = TEX_bytes_per_pixel(info.format);
    if ((bpp != 3 && bpp != 4) || info.width < 1 || info.height < 1)
        return;
    const int w = info.width, h = info.height;
    const size_t stride = static_cast<size_t>(w) * bpp + info.pad;
    std::vector<float> height(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            height[static_cast<size_t>(y) * w + x] =
                pixels[stride * y + static_cast<size_t>(x) * bpp + 2] / 255.0f;
    auto clamp_byte = [](float v) { return static_cast<unsigned char>(std::clamp(v, 0.0f, 255.0f)); };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float here = height[static_cast<size_t>(y) * w + x];
            float dx = (height[static_cast<size_t>(y) * w + (x + 1) % w] - here) * strength;
            float dy = (height[static_cast<size_t>((y + 1) % h) * w + x] - here) * strength;
            unsigned char* p = pixels + stride * y + static_cast<size_t>(x) * bpp;
            p[0] = clamp_byte((dx + 1.0f) * 127.5f);
            p[1] = clamp_byte((dy + 1.0f) * 127.5f);
            if (bpp == 4)
                p[2] = clamp_byte(127.5f * (dx * dx + dy * dy));
        }
    }
}

void TEX_gamma_convert(const TEX_image_info& info, unsigned char* pixels, const uint8_t table[256]) {
    if (int flags = squish_flags(info.format)) {
        const bool dxt1 = flags == squish::kDxt1;
        const size_t block = dxt1 ? 8 : 16;
        const size_t blocks = TEX_image_size(info) / block;
        for (size_t i = 0; i < blocks; ++i)
            convert_colour_block(pixels + i * block + (dxt1 ? 0 : 8), table, dxt1);
        return;
    }
    const int bpp = TEX_bytes_per_pixel(info.format);
    if (info.format != GL_RGB && info.format != GL_BGR && info.format != GL_RGBA && info.format != GL_BGRA) {
        APP_alert(0, "Illegal format!", "", "", "", 3, "TEX_utils", 546);
        return;
    }
    int w = info.width, h = info.height;
    unsigned char* level = pixels;
    for (;;) {
        const size_t stride = static_cast<size_t>(w) * bpp + info.pad;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                unsigned char* p = level + stride * y + static_cast<size_t>(x) * bpp;
                p[0] = table[p[0]];
                p[1] = table[p[1]];
                p[2] = table[p[2]];
            }
        level += stride * static_cast<size_t>(h);
        if (!info.has_mipmaps || (w == 1 && h == 1))
            return;
        w = std::max(w / 2, 1);
        h = std::max(h / 2, 1);
    }
}

int TEX_load_image_file(const std::string& path, unsigned char*& pixels, size_t capacity,
                        uint32_t desired_format, int pad_width, int pow2, int gamma, TEX_image_info& info) {
    xmap_file file(path);
    if (!file.base || file.end - file.base < 8)
        return 0;
    if (std::memcmp(file.base, "BM", 2) == 0 &&
        TEX_read_bmp(path, file, pixels, capacity, desired_format, pad_width, pow2, info))
        return 1;
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (std::memcmp(file.base, signature, 8) != 0)
        return 0;
    int hint = 0;
    info.format = desired_format;
    return TEX_read_png(path, file, pixels, capacity, pad_width, pow2, 0, gamma, info, hint);
}
