// TEX_png: the PNG reader and writer, over libpng 1.6.
//
// DESIGN: libpng reports errors by longjmp back into the frame that called setjmp. The frames that jump
// crosses (the error handler, libpng's own, the decoder) hold no object with a destructor: the decoder
// takes plain pointers, and the handler builds its alert texts in a helper that has returned before the
// jump.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/TEX_image.h"

struct xmap_file;

// Decodes the PNG in `file` (name: for the reports). On entry info.format is the desired layout (GL_ALPHA,
// GL_RGB, GL_RGBA or GL_RG); on return it is the layout delivered:
// - alpha mode 0 keeps the desired layout; 1 turns a desired RGB into RGBA when the image has alpha (an
//   alpha channel or a transparency chunk) and a desired RGBA into RGB when it has none; 2 gives RGBA with
//   alpha, else RGB for colour images and ALPHA for grey ones;
// - palettes, low bit depths and transparency chunks are expanded, 16-bit channels cut to 8; an RGBA
//   result without alpha gets an opaque filler, other results lose the file's alpha; ALPHA turns colour
//   into grey, other layouts turn grey into RGB;
// - with `gamma` (not for ALPHA) libpng corrects from the file's gamma (1/1.8 when it has none) to the
//   display gamma of the colour settings.
// Rows come out bottom-up, padded as TEX_padded_layout says, into a buffer that follows TEX_take_buffer.
// decode_hint: 1 for an ALPHA result, else 3 or 4 when the first "comment" text chunk before the image
// data holds "NORMAL_SEPARATE_ALPHA" or "NORMAL_HIGH_PRECISION", else 2.
// Returns 1, or 0 for: a width or height that is not 1..TEX_MAX_SIDE (refused before anything is
// allocated; info keeps the header's size), a buffer too small, a layout whose pixel size libpng cannot
// deliver, and corrupt or cut data. Reports: fewer than 8 bytes or no PNG signature, and libpng failing to
// start, are kind-3 alerts (lines 78, 59, 64); a libpng error is the kind-1 "PNG error!" (line 19) and then
// the kind-1 "PING-FILE ERROR!" (line 86), and the read fails; a layout without a pixel size is the kind-3
// "Illegal bits per pixel" (line 172). Warnings go to LOG_stream.
int TEX_read_png(const std::string& name, const xmap_file& file, unsigned char*& pixels, size_t capacity,
                 int pad_width, int pow2, int alpha_mode, int gamma, TEX_image_info& info, int& decode_hint);

// Writes `pixels` (bottom-up rows of width x bytes_per_pixel bytes, unpadded) to `path` as an 8-bit PNG:
// 4 bytes per pixel RGBA, 3 RGB, 1 grey; any other size is the kind-3 alert "Illegal pixel format for
// png-write." (line 239). Compression level 9, memory level 8, window bits 15, method 8, default strategy,
// 8192-byte buffer; no gamma chunk. Returns 1, or 0 when the file cannot be written (a partial file is
// removed).
int TEX_write_png(const std::string& path, int width, int height, int bytes_per_pixel,
                  const unsigned char* pixels);
