// Image files made by the texture tests: BMP, DDS and PNG bytes, and a view of bytes as a mapped file.
#pragma once
#include <png.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/xmap.h"

namespace teximg {

// Bytes seen as a mapped file. The bytes are copied into a block of exactly their size, so that ASan
// catches a read one past the end.
class bytes_file : public xmap_file {
  public:
    explicit bytes_file(const std::string& bytes, size_t length = std::string::npos) {
        size_t n = std::min(length, bytes.size());
        block_.reset(new char[n ? n : 1]);
        std::memcpy(block_.get(), bytes.data(), n);
        base = cursor = block_.get();
        end = block_.get() + n;
        not_owned = 1;
    }

  private:
    std::unique_ptr<char[]> block_;
};

inline void put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>(v >> (8 * i));
}

// A 24-bit BMP; `bgr` holds the rows bottom first, 3 bytes a pixel, unpadded.
inline std::string make_bmp(int32_t w, int32_t h, const std::vector<uint8_t>& bgr, int bits = 24,
                            uint32_t compression = 0) {
    int32_t rows = h < 0 ? -h : h;
    size_t stride = (static_cast<size_t>(w > 0 ? w : 0) * 3 + 3) & ~size_t(3);
    std::string s(54, '\0');
    s[0] = 'B';
    s[1] = 'M';
    put32(s, 2, static_cast<uint32_t>(54 + stride * rows));
    put32(s, 10, 54);
    put32(s, 14, 40);
    put32(s, 18, static_cast<uint32_t>(w));
    put32(s, 22, static_cast<uint32_t>(h));
    s[26] = 1;
    s[28] = static_cast<char>(bits);
    put32(s, 30, compression);
    for (int32_t y = 0; y < rows && w > 0; ++y) {
        std::string row(stride, '\0');
        for (int32_t x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                size_t i = (static_cast<size_t>(y) * w + x) * 3 + c;
                row[x * 3 + c] = static_cast<char>(i < bgr.size() ? bgr[i] : 0);
            }
        s += row;
    }
    return s;
}

// A DDS header ("DDS " and 124 bytes) and the payload. fourcc null: the RGB flag (with alpha pixels when
// `alpha`).
inline std::string make_dds(const char* fourcc, uint32_t w, uint32_t h, bool mip_flag, bool mip_caps,
                            const std::string& payload, bool alpha = false, bool gamma_18 = false) {
    std::string s(128, '\0');
    std::memcpy(&s[0], "DDS ", 4);
    put32(s, 4, 124);
    put32(s, 8, 0x1007 | (mip_flag ? 0x20000u : 0));
    put32(s, 12, h);
    put32(s, 16, w);
    put32(s, 76, 32);
    if (fourcc) {
        put32(s, 80, 4);
        std::memcpy(&s[84], fourcc, 4);
    } else {
        put32(s, 80, 0x40 | (alpha ? 1u : 0u));
        put32(s, 88, alpha ? 32 : 24);
    }
    put32(s, 108, 0x1000 | (mip_caps ? 0x400000u : 0) | (gamma_18 ? 8u : 0u));
    return s + payload;
}

// A PNG in memory; `rows` top row first, packed at the given depth.
struct png_spec {
    int width = 1, height = 1, colour_type = PNG_COLOR_TYPE_RGB, depth = 8;
    std::vector<std::string> rows;
    const char* comment = nullptr; // a "comment" text chunk before the image data
    std::vector<png_color> palette;
    std::vector<uint8_t> trns;
    int compression = 1;
};

inline std::string make_png(const png_spec& layout) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return std::string();
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t n) {
            static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(data), n);
        },
        nullptr);
    png_set_compression_level(png, layout.compression);
    png_set_IHDR(png, info, layout.width, layout.height, layout.depth, layout.colour_type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty())
        png_set_PLTE(png, info, layout.palette.data(), static_cast<int>(layout.palette.size()));
    if (!layout.trns.empty())
        png_set_tRNS(png, info, layout.trns.data(), static_cast<int>(layout.trns.size()), nullptr);
    png_text text{};
    if (layout.comment) {
        text.compression = PNG_TEXT_COMPRESSION_NONE;
        text.key = const_cast<char*>("comment");
        text.text = const_cast<char*>(layout.comment);
        png_set_text(png, info, &text, 1);
    }
    png_write_info(png, info);
    size_t row_bytes = png_get_rowbytes(png, info);
    std::string zero(row_bytes, '\0');
    for (int y = 0; y < layout.height; ++y) {
        const std::string& row = y < static_cast<int>(layout.rows.size()) ? layout.rows[y] : zero;
        std::string padded = row;
        padded.resize(row_bytes, '\0');
        png_write_row(png, reinterpret_cast<png_const_bytep>(padded.data()));
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A 4 x 4 DXT1 image with its 2 x 2 and 1 x 1 levels (three 8-byte blocks).
inline std::string dxt1_levels() {
    const unsigned char block[8] = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4}; // red over blue
    std::string s;
    for (int level = 0; level < 3; ++level)
        s.append(reinterpret_cast<const char*>(block), 8);
    return s;
}

} // namespace teximg
