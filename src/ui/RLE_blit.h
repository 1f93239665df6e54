// RLE_blit: run-length-encoded RGBA images and the blit that cuts a window out of them.
//
// A run-length image is a sequence of 32-bit words. A positive header n is followed by n literal pixels; a
// negative header -n is followed by one pixel repeated n times; a header of 0 ends the data. Pixels are
// RGBA words, and the rows of the image follow each other without padding. The reader works on whole runs,
// so a window can be cut out exactly only where no run crosses its edges: the encoder cuts its runs at
// fixed segment boundaries for that. Pure functions; any thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Advances `position` past whole runs until `count` pixels have been passed (a run that crosses the end
// of the count is consumed whole). Returns 1 when the end marker was reached with pixels still to skip
// (the position then stays on the marker), else 0.
int RLE_skip(const uint32_t*& position, long count);
// Writes `count` pixels to `output` and returns the new position. When the end marker is met, the rest of
// the count is zero pixels and the position stays on the marker. A run longer than what is still wanted
// is written only as far as wanted and consumed whole.
const uint32_t* RLE_decode(const uint32_t* position, uint32_t* output, long count);
// Copies a width x height window to `output` (width pixels per row): skips to `start` pixels, then for each
// row decodes `width` pixels and skips `row_skip` pixels of the source row.
void RLE_blit(const uint32_t* data, long start, long row_skip, int width, int height, uint32_t* output);

// Encodes `count` pixels, cutting runs at every multiple of `segment` pixels (segment > 0). Three or more
// equal neighbours make a repeat run; the rest goes into literal runs. The result ends with the 0 marker.
std::vector<uint32_t> RLE_encode(const uint32_t* pixels, size_t count, size_t segment);
