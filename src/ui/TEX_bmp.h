// TEX_bmp: the BMP reader. Only 24-bit uncompressed bottom-up files are read; their rows come out
// bottom-up as OpenGL expects, in the desired layout, optionally padded.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/TEX_image.h"

struct xmap_file;

// Reads the BMP in `file` (name: for the alerts) as GL_ALPHA (mean of the three channels), GL_RGB or GL_RGBA
// (alpha 255, but the key colour magenta becomes transparent black). Colours pass through gamma table A of
// the colour settings unless the display gamma is 1.8. Rows are padded as TEX_padded_layout says; the
// buffer follows TEX_take_buffer (capacity is the size of a caller's buffer). A source pixel past the end of
// the file is not read: its output keeps its value (zero in a fresh buffer).
// Returns 1, or 0 for: a file shorter than its two headers (54 bytes); a width or height that is not
// 1..TEX_MAX_SIDE (top-down files, with a negative height, included); a buffer too small. `info` then
// still holds the header's width and height when the headers were read. Alerts (kind 2, which end the
// program): another desired format (line 30), a bit count other than 24 (51), compression (52).
int TEX_read_bmp(const std::string& name, const xmap_file& file, unsigned char*& pixels, size_t capacity,
                 uint32_t desired_format, int pad_width, int pow2, TEX_image_info& info);
