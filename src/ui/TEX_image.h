// TEX_image: the description of a decoded image that the readers fill and the texture code reads, and the
// buffer rules the readers share.
//
// Pixel rows are bottom-up (the first row in memory is the bottom of the picture); each row holds width x
// bytes per pixel, then `pad` bytes; nothing else aligns them.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>
#include <cstddef>
#include <cstdint>

// The largest side any reader accepts.
constexpr int TEX_MAX_SIDE = 4096;

struct TEX_image_info {
    uint32_t format = GL_RGBA; // GL_ALPHA, GL_RGB, GL_RGBA, GL_BGR, GL_BGRA, GL_RG or an S3TC format
    int32_t width = 0;
    int32_t height = 0;
    int32_t pad = 0;         // bytes at the end of each row
    int32_t has_mipmaps = 0; // DDS only: the file stores its mip levels
};

// Bytes per pixel of an uncompressed layout (GL_ALPHA, GL_RED, GL_GREEN, GL_LUMINANCE 1; GL_RG 2; GL_RGB,
// GL_BGR 3; GL_RGBA, GL_BGRA 4); 0 for any other format.
int TEX_bytes_per_pixel(uint32_t format);
// True for the three S3TC formats (and DXT1 with alpha).
bool TEX_is_s3tc(uint32_t format);
// The smallest power of two at or above n (1 for n <= 1).
int TEX_next_pow2(int n);
bool TEX_is_pow2(int n);

// The padded layout of a w x h image of `bpp` bytes per pixel as the readers store it: with `pow2` each
// side is raised to its next power of two; otherwise a pad width above w pads each row to it (a pad width
// at or below w, or above TEX_MAX_SIDE, is ignored). Fills the row padding and the stored height into `info`
// and returns the bytes the buffer needs. Sides must be 1..TEX_MAX_SIDE (the result fits easily in size_t).
size_t TEX_padded_layout(int w, int h, int bpp, int pad_width, int pow2, TEX_image_info& info);

// The readers' buffer rule. A caller's buffer (pixels not null) must hold `capacity` >= `needed` bytes,
// else the read fails (false) before anything is written. A null `pixels` gets a fresh buffer of `needed`
// bytes from MEM_checked_malloc, zeroed, which becomes the caller's (free it with std::free); `*allocated`
// says so. `zero` clears the first `needed` bytes of a caller's buffer too.
bool TEX_take_buffer(unsigned char*& pixels, size_t capacity, size_t needed, bool zero, bool* allocated);
