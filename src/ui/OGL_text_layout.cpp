// OGL_text_layout: bounded UTF-8 stepping, line breaking, width fitting and the glyph-atlas shelf packer.
#include "ui/OGL_text_layout.h"

namespace {

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

} // namespace

const char* OGL_utf8_next(const char* p, const char* end, uint32_t* code_point) {
    const unsigned char lead = static_cast<unsigned char>(*p);
    int extra;
    uint32_t cp;
    if (lead < 0x80) {
        *code_point = lead;
        return p + 1;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        *code_point = OGL_REPLACEMENT_CHARACTER; // a stray continuation byte or an invalid lead
        return p + 1;
    }
    const char* q = p + 1;
    for (int i = 0; i < extra; ++i, ++q) {
        if (q >= end || !is_continuation(*q)) {
            *code_point = OGL_REPLACEMENT_CHARACTER;
            return q;
        }
        cp = (cp << 6) | (static_cast<unsigned char>(*q) & 0x3F);
    }
    *code_point = cp;
    return q;
}

const char* STR_utf8_prev(const char* begin, const char* pos, const char* end) {
    if (pos <= begin)
        return begin;
    // Inside a character: back to its lead byte first.
    if (pos < end)
        while (pos > begin && is_continuation(*pos))
            --pos;
    if (pos <= begin)
        return begin;
    --pos;
    while (pos > begin && is_continuation(*pos))
        --pos;
    return pos;
}

std::vector<OGL_text_line> OGL_break_lines(const char* begin, const char* end, float wrap, int fixed,
                                           const OGL_advance_fn& advance) {
    std::vector<OGL_text_line> lines;
    const bool wrapping = wrap > 0.0f;
    const char* p = begin;
    while (p < end) {
        const char* line_start = p;
        const char* q = p;
        const char* break_at = nullptr;
        float width = 0.0f, break_width = 0.0f;
        bool by_width = false, by_newline = false;
        while (q < end) {
            uint32_t cp;
            const char* next = OGL_utf8_next(q, end, &cp);
            if (cp == 13 || cp == 10) {
                by_newline = true;
                break;
            }
            if (cp == 32) {
                break_at = q;
                break_width = width;
            }
            const float a = advance(cp);
            const float step = fixed > 0 ? static_cast<float>(fixed) : a;
            // A line holds at least one character, so that a glyph wider than the wrap width still ends.
            if (wrapping && q > line_start && width + step > wrap) {
                by_width = true;
                break;
            }
            width += step;
            q = next;
        }
        if (by_width && break_at && break_at > line_start)
            lines.push_back({line_start, break_at, break_width});
        else
            lines.push_back({line_start, q, width});
        p = lines.back().end;
        if (by_newline && p == q)
            ++p;
        while (p < end && *p == ' ')
            ++p;
    }
    return lines;
}

const char* OGL_fit_forward_with(const char* begin, const char* end, float width,
                                 const OGL_advance_fn& advance) {
    float sum = 0.0f;
    const char* p = begin;
    while (p < end) {
        uint32_t cp;
        const char* next = OGL_utf8_next(p, end, &cp);
        sum += advance(cp);
        if (sum > width)
            return p;
        p = next;
    }
    return end;
}

const char* OGL_fit_backward_with(const char* begin, const char* end, float width,
                                  const OGL_advance_fn& advance) {
    float sum = 0.0f;
    const char* fit = end;
    const char* p = end;
    while (p > begin) {
        const char* prev = STR_utf8_prev(begin, p, end);
        uint32_t cp;
        OGL_utf8_next(prev, p, &cp);
        sum += advance(cp);
        if (sum > width)
            break;
        fit = prev;
        p = prev;
    }
    return fit;
}

bool OGL_shelf_place(OGL_shelf& shelf, int w, int h, int* left, int* first_row) {
    if (w < 0 || h < 0 || w > OGL_ATLAS_WIDTH)
        return false;
    if (shelf.pen_x + w > OGL_ATLAS_WIDTH) {
        shelf.shelf_y += shelf.shelf_height;
        shelf.pen_x = 0;
        shelf.shelf_height = 0;
    }
    if (h > shelf.shelf_height)
        shelf.shelf_height = h;
    *left = shelf.pen_x;
    *first_row = shelf.shelf_y;
    shelf.pen_x += w;
    return true;
}

int OGL_atlas_rows_needed(const OGL_shelf& shelf, int old_height) {
    if (shelf.shelf_y + shelf.shelf_height <= old_height)
        return old_height;
    return OGL_next_power_of_two(old_height + shelf.shelf_height);
}

int OGL_next_power_of_two(int n) {
    if (n < 2)
        return 1;
    int p = 1;
    while (p < n && p < (1 << 30))
        p <<= 1;
    return p;
}
