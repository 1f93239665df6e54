// TEX_utils: what happens to an image between decoding and upload: storage sizes, box-filter downsampling,
// colour bled into transparent texels, normal maps from heights, gamma conversion (S3TC block by block) and
// loading an image file by its magic. All of them take the description of TEX_image.h and its bottom-up
// rows.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/TEX_image.h"

// Bytes of the image, of all its levels when info.has_mipmaps is set (each level halves both sides, not
// below 1, down to 1 x 1). Per level, with row padding p: one-byte formats (w + p) h; two-byte formats
// 2wh; RGB, BGR and the sized 8-bit RGB formats (3w + p) h; RGBA, BGRA and the sized 8-bit RGBA formats
// (4w + p) h; float and integer formats their texel size (w x size + p) h; S3TC the compressed blocks. 0
// for any other format.
size_t TEX_image_size(const TEX_image_info& info);

// Replaces each factor_x x factor_y block by the mean of each channel (the sums shifted right by
// log2(factor_x x factor_y)), in place, packed from the start of the buffer with the row padding kept;
// the description's width and height are divided by the factors (powers of two; a factor larger than its
// side is halved until it fits). 1, 3 and 4 bytes per texel; other layouts are left alone.
void TEX_downsample(TEX_image_info& info, unsigned char* pixels, int factor_x, int factor_y);

// RGBA only: the red, green and blue of every texel with alpha 0 become the integer means over the texels
// with non-zero alpha in the 5 x 5 window around it (clipped at the edges); alpha stays 0. A texel without
// such a neighbour keeps its colour.
void TEX_bleed_transparent(const TEX_image_info& info, unsigned char* pixels);

// RGB or RGBA: heights are the third bytes / 255. With dx and dy the differences to the right neighbour and
// to the neighbour in the next row (wrapping at the edges) times `strength`, the first byte becomes
// (dx + 1) x 127.5, the second (dy + 1) x 127.5 and, for RGBA, the third 127.5 (dx^2 + dy^2), each limited
// to 0..255 and truncated. Every height is read before any is written.
void TEX_height_to_normal(unsigned char* pixels, const TEX_image_info& info, float strength);

// Maps the colours of the image (all its levels) through `table`, in place. Uncompressed RGB, BGR, RGBA and
// BGRA map their colour bytes (not alpha). S3TC maps the two RGB565 endpoints of every colour block and
// keeps each block's mode and picture: endpoints whose order flipped are swapped with their indices
// remapped, and a four-colour DXT1 block whose endpoints became equal has one moved a step (green, then
// blue, then red) to restore the order. Rows stay in place. Any other format is the kind-3 alert
// "Illegal format!" (line 546).
void TEX_gamma_convert(const TEX_image_info& info, unsigned char* pixels, const uint8_t table[256]);

// Maps the file at `path` and decodes it: a file of at least 8 bytes that begins with "BM" with the BMP
// reader; otherwise, or when that fails, one that begins with the PNG signature with the PNG reader (alpha
// mode 0, gamma as given). Buffer rule and padding as the readers. Returns 1, or 0 when nothing decoded it.
int TEX_load_image_file(const std::string& path, unsigned char*& pixels, size_t capacity,
                        uint32_t desired_format, int pad_width, int pow2, int gamma, TEX_image_info& info);
