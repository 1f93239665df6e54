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
