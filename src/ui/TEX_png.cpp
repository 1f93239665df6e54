// TEX_png: the PNG reader and writer.
#include "ui/TEX_png.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/APP_alert.h"
#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/UTL_memory.h"
#include "base/xmap.h"
#include "ui/OGL_colour_settings.h"

namespace {

// The bytes being decoded and the read position.
struct png_source {
    const unsigned char* data;
    size_t size;
    size_t pos;
};

// What the decoder hands back besides its result.
struct png_outcome {
    int illegal_bpp; // the layout has no pixel size: the caller alerts
};

void read_bytes(png_structp png, png_bytep out, size_t n) {
    png_source* src = static_cast<png_source*>(png_get_io_ptr(png));
    if (n > src->size - src->pos)
        png_error(png, "PNG Read Error, overran end of buffer!");
    std::memcpy(out, src->data + src->pos, n);
    src->pos += n;
}

// Builds the alert's texts and returns before the handler jumps, so that no string lives across the jump.
void report_error(const char* name, const char* message) {
    APP_alert(0, "PNG error!", message, name, "", 1, "TEX_png", 19);
}

[[noreturn]] void error_handler(png_structp png, png_const_charp message) {
    report_error(static_cast<const char*>(png_get_error_ptr(png)), message);
    png_longjmp(png, 1);
}

void warning_handler(png_structp png, png_const_charp message) {
    LOG_stream << "PNG warning! " << message << ", " << static_cast<const char*>(png_get_error_ptr(png))
               << "\n";
}

// libpng's own allocations: row buffers, zlib state and ancillary chunks, all small for any image the
// readers accept. A forged chunk length asks for up to 2 GiB at once; such a request is refused here, which
// fails only this read (going through the memory module would mark the whole program short of memory).
constexpr png_alloc_size_t largest_libpng_block = 16 << 20;
png_voidp allocate(png_structp, png_alloc_size_t n) {
    return n <= largest_libpng_block ? std::malloc(n) : nullptr;
}
void release(png_structp, png_voidp p) { std::free(p); }

int hint_from_text(png_structp png, png_infop info) {
    png_textp text = nullptr;
    int count = 0;
    png_get_text(png, info, &text, &count);
    for (int i = 0; i < count; ++i) {
        if (!text[i].key || std::strcmp(text[i].key, "comment") != 0)
            continue;
        if (text[i].text && std::strstr(text[i].text, "NORMAL_SEPARATE_ALPHA"))
            return 3;
        if (text[i].text && std::strstr(text[i].text, "NORMAL_HIGH_PRECISION"))
            return 4;
        return 2;
    }
    return 2;
}

// All libpng work. libpng's errors jump back to the setjmp below, so this frame holds no object with a
// destructor, and what it changes after setjmp and reads after a jump is volatile.
// Returns 1 decoded, 0 refused, -1 after a libpng error.
int decode(png_structp png, png_infop info, png_source* src, unsigned char** pixels, size_t capacity,
           int pad_width, int pow2, int alpha_mode, int gamma, TEX_image_info* out, int* hint,
           png_outcome* outcome) {
    png_bytep* volatile rows = nullptr;
    unsigned char* volatile fresh = nullptr; // a buffer allocated here, until it is handed over
    if (setjmp(png_jmpbuf(png))) {
        std::free(rows);
        if (fresh) {
            std::free(fresh);
            *pixels = nullptr;
        }
        return -1;
    }
    png_set_read_fn(png, src, read_bytes);
    png_read_info(png, info);
    png_uint_32 w = 0, h = 0;
    int depth = 0, colour_type = 0;
    png_get_IHDR(png, info, &w, &h, &depth, &colour_type, nullptr, nullptr, nullptr);
    out->width = static_cast<int32_t>(w > 0x7FFFFFFF ? 0x7FFFFFFF : w);
    out->height = static_cast<int32_t>(h > 0x7FFFFFFF ? 0x7FFFFFFF : h);
    out->pad = 0;
    out->has_mipmaps = 0;
    if (w < 1 || h < 1 || w > TEX_MAX_SIDE || h > TEX_MAX_SIDE)
        return 0;

    const bool grey = (colour_type & PNG_COLOR_MASK_COLOR) == 0;
    const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    const bool has_alpha = (colour_type & PNG_COLOR_MASK_ALPHA) != 0 || trns;
    if (colour_type == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (grey && depth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (trns)
        png_set_tRNS_to_alpha(png);
    if (depth == 16)
        png_set_strip_16(png);
    if (depth < 8)
        png_set_packing(png);

    uint32_t format = out->format;
    if (alpha_mode == 1) {
        if (format == GL_RGB && has_alpha)
            format = GL_RGBA;
        else if (format == GL_RGBA && !has_alpha)
            format = GL_RGB;
    } else if (alpha_mode == 2) {
        format = has_alpha ? GL_RGBA : grey ? GL_ALPHA : GL_RGB;
    }
    if (format == GL_RGBA && !has_alpha)
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    else if (format != GL_RGBA && has_alpha)
        png_set_strip_alpha(png);
    if (format == GL_ALPHA) {
        if (!grey)
            png_set_rgb_to_gray_fixed(png, 1, -1, -1);
    } else if (grey) {
        png_set_gray_to_rgb(png);
    }
    if (gamma && format != GL_ALPHA) {
        double file_gamma = 1.0 / 1.8;
        png_get_gAMA(png, info, &file_gamma);
        png_set_gamma(png, colour_settings.gamma, file_gamma);
    }
    out->format = format;
    *hint = format == GL_ALPHA ? 1 : hint_from_text(png, info);

    int bpp = format == GL_RGBA ? 4 : format == GL_RGB ? 3 : format == GL_RG ? 2 : format == GL_ALPHA ? 1 : 0;
    if (bpp == 0) {
        outcome->illegal_bpp = 1;
        return 0;
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    // A layout that libpng cannot deliver (RG from a colour image) would write past every row.
    if (png_get_channels(png, info) != bpp || png_get_rowbytes(png, info) != static_cast<size_t>(w) * bpp)
        return 0;

    size_t needed = TEX_padded_layout(static_cast<int>(w), static_cast<int>(h), bpp, pad_width, pow2, *out);
    bool padded = out->pad != 0 || out->height != static_cast<int32_t>(h);
    bool allocated = false;
    if (!TEX_take_buffer(*pixels, capacity, needed, padded, &allocated))
        return 0;
    if (allocated)
        fresh = *pixels;
    rows = static_cast<png_bytep*>(MEM_malloc_noting_failure(sizeof(png_bytep) * h));
    if (!rows) {
        if (fresh) {
            std::free(fresh);
            *pixels = nullptr;
        }
        return 0;
    }
    const size_t stride = static_cast<size_t>(w) * bpp + static_cast<size_t>(out->pad);
    for (png_uint_32 i = 0; i < h; ++i)
        rows[i] = *pixels + stride * (h - 1 - i);
    png_read_image(png, rows);
    std::free(rows);
    return 1;
}

// Writes the rows; errors jump back here, so again no object with a destructor.
int encode(png_structp png, png_infop info, FILE* f, int width, int height, int colour_type, int bpp,
           const unsigned char* pixels) {
    if (setjmp(png_jmpbuf(png)))
        return 0;
    png_init_io(png, f);
    png_set_compression_level(png, 9);
    png_set_compression_mem_level(png, 8);
    png_set_compression_strategy(png, 0);
    png_set_compression_window_bits(png, 15);
    png_set_compression_method(png, 8);
    png_set_compression_buffer_size(png, 8192);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, colour_type,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t stride = static_cast<size_t>(width) * bpp;
    for (int y = height - 1; y >= 0; --y)
        png_write_row(png, pixels + stride * static_cast<size_t>(y));
    png_write_end(png, info);
    return 1;
}

} // namespace

int TEX_read_png(const std::string& name, const xmap_file& file, unsigned char*& pixels, size_t capacity,
                 int pad_width, int pow2, int alpha_mode, int gamma, TEX_image_info& info, int& decode_hint) {
    const char* error_name = name.c_str();
    png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, const_cast<char*>(error_name),
                                               error_handler, warning_handler, nullptr, allocate, release);
    if (!png) {
        APP_alert(0, "PING-FILE ERROR!", "!png_ptr", name, "", 3, "TEX_png", 59);
        return 0;
    }
    png_infop header_info = png_create_info_struct(png);
    if (!header_info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        APP_alert(0, "PING-FILE ERROR!", "!info_ptr", name, "", 3, "TEX_png", 64);
        return 0;
    }
    const unsigned char* data = reinterpret_cast<const unsigned char*>(file.base);
    size_t size = file.base ? static_cast<size_t>(file.end - file.base) : 0;
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) {
        png_destroy_read_struct(&png, &header_info, nullptr);
        APP_alert(0, "PING-FILE ERROR!", "is_png=!png_sig_cmp(png_io_buf,0,8)", name, "", 3, "TEX_png", 78);
        return 0;
    }
    png_source src{data, size, 0};
    png_outcome outcome{0};
    int result = decode(png, header_info, &src, &pixels, capacity, pad_width, pow2, alpha_mode, gamma, &info,
                        &decode_hint, &outcome);
    png_destroy_read_struct(&png, &header_info, nullptr);
    if (result < 0) {
        APP_alert(0, "PING-FILE ERROR!", "setjmp(png_ptr->jmpbuf", name, "", 1, "TEX_png", 86);
        return 0;
    }
    if (outcome.illegal_bpp)
        APP_alert(0, "Illegal bits per pixel", name, "", "", 3, "TEX_png", 172);
    return result;
}

int TEX_write_png(const std::string& path, int width, int height, int bytes_per_pixel,
                  const unsigned char* pixels) {
    int colour_type = bytes_per_pixel == 4   ? PNG_COLOR_TYPE_RGBA
                      : bytes_per_pixel == 3 ? PNG_COLOR_TYPE_RGB
                      : bytes_per_pixel == 1 ? PNG_COLOR_TYPE_GRAY
                                             : -1;
    if (colour_type < 0) {
        APP_alert(0, "Illegal pixel format for png-write.", path, "", "", 3, "TEX_png", 239);
        return 0;
    }
    if (width < 1 || height < 1 || !pixels)
        return 0;
    FILE* f = FILE_fopen_utf8(path, "wb");
    if (!f)
        return 0;
    const char* error_name = path.c_str();
    png_structp png = png_create_write_struct_2(PNG_LIBPNG_VER_STRING, const_cast<char*>(error_name),
                                                error_handler, warning_handler, nullptr, allocate, release);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    int result = 0;
    if (png && info)
        result = encode(png, info, f, width, height, colour_type, bytes_per_pixel, pixels);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(f) != 0)
        result = 0;
    if (!result)
        std::remove(path.c_str()); // no half-written picture stays behind
    return result;
}
