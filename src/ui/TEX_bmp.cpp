// TEX_bmp: the BMP reader.
#include "ui/TEX_bmp.h"

#include "base/APP_alert.h"
#include "base/xmap.h"
#include "ui/OGL_colour_settings.h"

namespace {

constexpr size_t headers_size = 54; // file header 14 + information header 40

uint32_t le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

} // namespace

int TEX_read_bmp(const std::string& name, const xmap_file& file, unsigned char*& pixels, size_t capacity,
                 uint32_t desired_format, int pad_width, int pow2, TEX_image_info& info) {
    int bpp = desired_format == GL_ALPHA  ? 1
              : desired_format == GL_RGB  ? 3
              : desired_format == GL_RGBA ? 4
                                          : 0;
    if (bpp == 0) {
        APP_alert(0, "Illegal desired format for bmp.", name, "", "", 2, "TEX_bmp", 30);
        return 0;
    }
    const unsigned char* data = reinterpret_cast<const unsigned char*>(file.base);
    size_t size = file.base ? static_cast<size_t>(file.end - file.base) : 0;
    if (size < headers_size)
        return 0;
    uint32_t offset = le32(data + 10);
    int32_t width = static_cast<int32_t>(le32(data + 18));
    int32_t height = static_cast<int32_t>(le32(data + 22));
    int bit_count = data[28] | data[29] << 8;
    uint32_t compression = le32(data + 30);
    info.format = desired_format;
    info.width = width;
    info.height = height;
    info.pad = 0;
    info.has_mipmaps = 0;
    if (bit_count != 24) {
        APP_alert(0, "Wrong bitmap color depth for texture!", "We need 24-bit color.", "", name, 2, "TEX_bmp",
                  51);
        return 0;
    }
    if (compression != 0) {
        APP_alert(0, "Bitmap is compressed!", "", "", name, 2, "TEX_bmp", 52);
        return 0;
    }
    // Top-down files (negative height) and absurd sizes are refused before anything is allocated.
    if (width < 1 || height < 1 || width > TEX_MAX_SIDE || height > TEX_MAX_SIDE)
        return 0;

    size_t needed = TEX_padded_layout(width, height, bpp, pad_width, pow2, info);
    bool padded = info.pad != 0 || info.height != height;
    if (!TEX_take_buffer(pixels, capacity, needed, padded, nullptr))
        return 0;

    const bool gamma = colour_settings.gamma != 1.8f;
    const uint8_t* table = colour_settings.gamma_a;
    const size_t src_stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    const size_t dst_stride = static_cast<size_t>(width) * bpp + static_cast<size_t>(info.pad);
    for (int32_t y = 0; y < height; ++y) {
        unsigned char* out = pixels + dst_stride * static_cast<size_t>(y);
        size_t row = static_cast<size_t>(offset) + src_stride * static_cast<size_t>(y);
        for (int32_t x = 0; x < width; ++x, out += bpp) {
            size_t at = row + static_cast<size_t>(x) * 3;
            if (at > size || size - at < 3)
                continue;
            uint8_t b = data[at], g = data[at + 1], r = data[at + 2];
            if (bpp == 1) {
                out[0] = static_cast<unsigned char>((b + g + r) / 3);
                continue;
            }
            bool key = r == 255 && g == 0 && b == 255;
            if (gamma) {
                r = table[r];
                g = table[g];
                b = table[b];
            }
            out[0] = r;
            out[1] = g;
            out[2] = b;
            if (bpp == 4) {
                out[3] = 255;
                if (key)
                    out[0] = out[1] = out[2] = out[3] = 0;
            }
        }
    }
    return 1;
}
