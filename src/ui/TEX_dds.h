// TEX_dds: the DDS header reader. The texture load copies the mip levels that follow the header itself.
#pragma once
#include <cstddef>

#include "ui/TEX_image.h"

struct xmap_file;

// The size of a DDS header with its "DDS " tag; the pixel data follow it.
constexpr size_t TEX_DDS_HEADER_SIZE = 128;

// Reads the header of the DDS in `file`: the format (S3TC DXT1, DXT3 or DXT5 from the four-character code;
// GL_BGR, or GL_BGRA with the alpha-pixels flag, from the RGB flag), the width and height, and whether
// the mip levels are stored (the mipmap-count header flag and the mipmap capability bit). `data` points at
// the first pixel byte (the header's end) and `gamma` becomes 1.8 when capability bit 3 is set, else 2.2.
// Returns 1, or 0 for: a file under 128 bytes, a missing "DDS " tag, a width or height that is not
// 1..TEX_MAX_SIDE, another code, neither flag. Nothing beyond the header is read: the caller checks that
// the levels it takes lie inside the file.
int TEX_read_dds_header(const xmap_file& file, const unsigned char*& data, TEX_image_info& info,
                        float& gamma);

// What TEX_read_dds_levels found.
enum TEX_dds_result {
    TEX_DDS_LEVELS = 1,      // the levels are in `pixels`
    TEX_DDS_REFUSED = 0,     // the header was refused, or the levels taken do not lie inside the file
    TEX_DDS_NOT_POW2 = -1,   // a side is not a power of two
    TEX_DDS_NO_MIPMAPS = -2, // the mip levels are not stored
};

// Reads the header, then takes the mip levels: the largest are skipped (each halving both sides) while
// `scale` is below 1 (it doubles per skip) or a side exceeds `max_side`; the rest, down to 1 x 1, must lie
// inside the file. They are copied into a fresh buffer from MEM_checked_malloc (the caller's, to free with
// std::free), and `info` describes them (has_mipmaps 1). A DXT1 image with a transparent texel becomes
// GL_COMPRESSED_RGBA_S3TC_DXT1_EXT. `pixels` stays null unless the result is TEX_DDS_LEVELS.
TEX_dds_result TEX_read_dds_levels(const xmap_file& file, float scale, int max_side, TEX_image_info& info,
                                   unsigned char*& pixels, float& gamma);
