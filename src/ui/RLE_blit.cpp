// RLE_blit: run-length-encoded RGBA images and the blit that cuts a window out of them.
#include "ui/RLE_blit.h"

#include <algorithm>
#include <cstring>

namespace {

// The pixel count of the run whose header is `header` (literal or repeat), and the words it occupies.
long run_pixels(uint32_t header) {
    const int32_t h = static_cast<int32_t>(header);
    return h < 0 ? -static_cast<long>(h) : h;
}
long run_words(uint32_t header) {
    const int32_t h = static_cast<int32_t>(header);
    return h < 0 ? 2 : 1 + static_cast<long>(h);
}

} // namespace

int RLE_skip(const uint32_t*& position, long count) {
    while (count > 0) {
        if (*position == 0)
            return 1;
        count -= run_pixels(*position);
        position += run_words(*position);
    }
    return 0;
}

const uint32_t* RLE_decode(const uint32_t* position, uint32_t* output, long count) {
    while (count > 0) {
        const int32_t header = static_cast<int32_t>(*position);
        if (header == 0) {
            std::memset(output, 0, static_cast<size_t>(count) * sizeof(uint32_t));
            return position;
        }
        const long n = std::min(run_pixels(*position), count);
        if (header > 0)
            std::memcpy(output, position + 1, static_cast<size_t>(n) * sizeof(uint32_t));
        else
            std::fill(output, output + n, position[1]);
        output += n;
        count -= n;
        position += run_words(*position);
    }
    return position;
}

void RLE_blit(const uint32_t* data, long start, long row_skip, int width, int height, uint32_t* output) {
    const uint32_t* position = data;
    RLE_skip(position, start);
    for (int row = 0; row < height; ++row) {
        position = RLE_decode(position, output + static_cast<size_t>(row) * width, width);
        RLE_skip(position, row_skip);
    }
}

std::vector<uint32_t> RLE_encode(const uint32_t* pixels, size_t count, size_t segment) {
    std::vector<uint32_t> out;
    out.reserve(count / 4 + 1);
    for (size_t seg_begin = 0; seg_begin < count; seg_begin += segment) {
        const size_t seg_end = std::min(count, seg_begin + segment);
        size_t literal_begin = seg_begin; // start of the pixels not yet written
        size_t i = seg_begin;
        auto flush_literal = [&](size_t end) {
            if (end > literal_begin) {
                out.push_back(static_cast<uint32_t>(end - literal_begin));
                out.insert(out.end(), pixels + literal_begin, pixels + end);
            }
        };
        while (i < seg_end) {
            size_t j = i + 1;
            while (j < seg_end && pixels[j] == pixels[i])
                ++j;
            if (j - i >= 3) {
                flush_literal(i);
                out.push_back(static_cast<uint32_t>(-static_cast<int32_t>(j - i)));
                out.push_back(pixels[i]);
                literal_begin = j;
            }
            i = j;
        }
        flush_literal(seg_end);
    }
    out.push_back(0);
    return out;
}
