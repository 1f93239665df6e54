// TEX_image: formats, padded layouts and the readers' buffer rule.
#include "ui/TEX_image.h"

#include <cstring>

#include "base/UTL_memory.h"

int TEX_bytes_per_pixel(uint32_t format) {
    switch (format) {
    case GL_ALPHA:
    case GL_RED:
    case GL_GREEN:
    case GL_LUMINANCE:
        return 1;
    case GL_RG:
        return 2;
    case GL_RGB:
    case GL_BGR:
        return 3;
    case GL_RGBA:
    case GL_BGRA:
        return 4;
    default:
        return 0;
    }
}

bool TEX_is_s3tc(uint32_t format) {
    return format == GL_COMPRESSED_RGB_S3TC_DXT1_EXT || format == GL_COMPRESSED_RGBA_S3TC_DXT1_EXT ||
           format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT || format == GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
}

int TEX_next_pow2(int n) {
    int p = 1;
    while (p < n && p < (1 << 30))
        p <<= 1;
    return p;
}

bool TEX_is_pow2(int n) { return n > 0 && (n & (n - 1)) == 0; }

size_t TEX_padded_layout(int w, int h, int bpp, int pad_width, int pow2, TEX_image_info& info) {
    int stored_w = w, stored_h = h;
    if (pow2) {
        stored_w = TEX_next_pow2(w);
        stored_h = TEX_next_pow2(h);
    } else if (pad_width > w && pad_width <= TEX_MAX_SIDE) {
        stored_w = pad_width;
    }
    info.width = w;
    info.height = stored_h;
    info.pad = (stored_w - w) * bpp;
    return static_cast<size_t>(stored_w) * static_cast<size_t>(bpp) * static_cast<size_t>(stored_h);
}

bool TEX_take_buffer(unsigned char*& pixels, size_t capacity, size_t needed, bool zero, bool* allocated) {
    if (allocated)
        *allocated = false;
    if (pixels) {
        if (capacity < needed)
            return false;
        if (zero)
            std::memset(pixels, 0, needed);
        return true;
    }
    pixels = static_cast<unsigned char*>(MEM_checked_malloc(needed ? needed : 1));
    std::memset(pixels, 0, needed);
    if (allocated)
        *allocated = true;
    return true;
}
