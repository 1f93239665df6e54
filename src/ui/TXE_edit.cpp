// TXE_edit: selection, line layout, keys, mouse placement and drawing over a host's text and callbacks.
#include "ui/TXE_edit.h"

#include <algorithm>
#include <cmath>

namespace {

struct rect4 {
    float left, bottom, right, top;
};

rect4 field_rect(text_edit_state& s) {
    float r[4];
    s.cb.field_rect(s, r);
    return {r[0], r[1], r[2], r[3]};
}

rect4 text_rect(text_edit_state& s) {
    float r[4];
    s.cb.text_rect(s, r);
    return {r[0], r[1], r[2], r[3]};
}

bool is_white(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

bool is_break(char c) { return c == '\n' || c == '\r'; }

int text_length(text_edit_state& s) { return static_cast<int>(s.cb.text(s).size()); }

int line_count(const text_edit_state& s) { return static_cast<int>(s.line_starts.size()); }

// The bytes of line k: [begin, end), end being the next line's start or the text's end. Clamped to the
// text, so that a host that changed its text without a new layout is never read past its end.
void line_range(text_edit_state& s, int k, int* begin, int* end) {
    int n = text_length(s);
    *begin = std::min(s.line_starts[k], n);
    *end = std::clamp(k + 1 < line_count(s) ? s.line_starts[k + 1] : n, *begin, n);
}

int line_start(text_edit_state& s, int k) { return std::min(s.line_starts[k], text_length(s)); }

// The part of line k a point can land in: the line less its closing line break.
int line_content_end(text_edit_state& s, int k) {
    int b, e;
    line_range(s, k, &b, &e);
    std::string_view t = s.cb.text(s);
    if (e > b && is_break(t[e - 1]))
        --e;
    return e;
}

float width_between(text_edit_state& s, int from, int to) {
    std::string_view t = s.cb.text(s);
    if (to <= from)
        return 0.0f;
    return s.cb.measure(s, t.data() + from, t.data() + to);
}

int fit_in_line(text_edit_state& s, int k, float width) {
    std::string_view t = s.cb.text(s);
    int b = line_start(s, k);
    int e = line_content_end(s, k);
    return b + std::clamp(s.cb.fit_forward(s, t.data() + b, t.data() + e, width), 0, e - b);
}

// Swaps reversed ends (flipping the active end) and clamps both to the text.
void normalise(text_edit_state& s) {
    if (s.sel_end < s.sel_start) {
        std::swap(s.sel_start, s.sel_end);
        s.active_end ^= 1;
    }
    int n = text_length(s);
    s.sel_start = std::clamp(s.sel_start, 0, n);
    s.sel_end = std::clamp(s.sel_end, 0, n);
}

// Moves the scroll offsets so that the cursor (the active end) lies within the field.
void keep_cursor_in_view(text_edit_state& s) {
    int cursor = s.active_end ? s.sel_end : s.sel_start;
    int line = TXE_line_of(s, cursor);
    rect4 f = field_rect(s);
    rect4 t = text_rect(s);
    float lh = s.cb.line_height(s);
    float cx = t.left + width_between(s, line_start(s, line), cursor);
    float ry = t.top - static_cast<float>(line - s.active_end + 1) * lh;
    float old_x = f.left - t.left;
    float old_y = f.bottom - t.bottom;
    float sx = old_x, sy = old_y;
    if (cx < f.left)
        sx = cx - t.left;
    else if (cx > f.right)
        sx = cx - t.left - (f.right - f.left);
    if (ry < f.bottom)
        sy = ry - t.bottom;
    else if (ry > f.top)
        sy = ry - t.bottom - (f.top - f.bottom);
    if (sx != old_x || sy != old_y)
        s.cb.set_scroll(s, sx, sy);
}

void selection_changed(text_edit_state& s) {
    normalise(s);
    keep_cursor_in_view(s);
}

void edited(text_edit_state& s) {
    s.active_end = 1;
    normalise(s);
    TXE_layout(s);
    keep_cursor_in_view(s);
}

// The offset under a point of the view.
int offset_at(text_edit_state& s, float x, float y) {
    rect4 t = text_rect(s);
    float lh = s.cb.line_height(s);
    float line = std::floor((t.top - y) / lh);
    if (line < 0.0f)
        return 0;
    if (line >= static_cast<float>(line_count(s)))
        return text_length(s);
    return fit_in_line(s, static_cast<int>(line), x - t.left);
}

int vertical_move(text_edit_state& s, int offset, int direction) {
    int line = TXE_line_of(s, offset);
    if (s.preferred_x == -1.0f)
        s.preferred_x = width_between(s, line_start(s, line), offset);
    int target = line + direction;
    if (target < 0)
        return 0;
    if (target >= line_count(s))
        return text_length(s);
    return fit_in_line(s, target, s.preferred_x);
}

void replace_selection(text_edit_state& s, std::string_view bytes) {
    int start = s.sel_start;
    s.cb.replace(s, start, s.sel_end, bytes);
    s.sel_start = s.sel_end = start + static_cast<int>(bytes.size());
    edited(s);
}

} // namespace

text_edit_state* TXE_create(const text_edit_callbacks& callbacks, float user) {
    auto* s = new text_edit_state;
    s->cb = callbacks;
    s->user = user;
    return s;
}

void TXE_get_selection(const text_edit_state& s, int* start, int* end) {
    *start = s.sel_start;
    *end = s.sel_end;
}

void TXE_set_selection(text_edit_state& s, int start, int end) {
    s.sel_start = start;
    s.sel_end = end;
    selection_changed(s);
}

int TXE_line_length(text_edit_state& s, int offset, float width) {
    std::string_view t = s.cb.text(s);
    const char* end = t.data() + t.size();
    const char* p = t.data() + offset;
    int n = 0;
    float sum = 0.0f;
    for (;;) {
        const char* blank = p;
        while (p < end && is_white(*p) && !is_break(*p))
            ++p;
        if (p > blank) {
            sum += s.cb.measure(s, blank, p);
            n += static_cast<int>(p - blank);
        }
        if (p == end)
            return n;
        if (is_break(*p))
            return n + 1;
        const char* word_end = s.cb.word_end(s, p, end);
        float w = s.cb.measure(s, p, word_end);
        if (sum + w > width) {
            if (n > 0)
                return n;
            // A word wider than the line it starts: the whole characters that fit, at least one.
            int fit = std::clamp(s.cb.fit_forward(s, p, word_end, width), 0, static_cast<int>(word_end - p));
            if (fit == 0)
                fit = static_cast<int>(s.cb.next_char(s, p, end) - p);
            return std::max(fit, 1);
        }
        sum += w;
        n += static_cast<int>(word_end - p);
        p = word_end;
    }
}

void TXE_layout(text_edit_state& s) {
    rect4 t = text_rect(s);
    float width = t.right - t.left;
    int n = text_length(s);
    s.line_starts.assign(1, 0);
    int p = 0;
    while (p < n) {
        p += std::max(1, TXE_line_length(s, p, width));
        // A closing line break opens an empty last line, where the cursor after it stands.
        if (p < n || (p == n && is_break(s.cb.text(s)[p - 1])))
            s.line_starts.push_back(p);
    }
    s.cb.content_height(s, static_cast<float>(line_count(s)) * s.cb.line_height(s));
}

int TXE_line_of(const text_edit_state& s, int offset) {
    auto it = std::upper_bound(s.line_starts.begin(), s.line_starts.end(), offset);
    return std::max(0, static_cast<int>(it - s.line_starts.begin()) - 1);
}

void TXE_key(text_edit_state& s, unsigned char byte, int shift) {
    if (byte != 30 && byte != 31)
        s.preferred_x = -1.0f;
    int& start = s.sel_start;
    int& end = s.sel_end;
    bool empty = start == end;
    switch (byte) {
    case 8:
        if (!empty) {
            s.cb.replace(s, start, end, {});
            end = start;
        } else if (start > 0) {
            int p = std::max(0, s.cb.prev_offset(s, start));
            s.cb.replace(s, p, start, {});
            start = end = p;
        }
        edited(s);
        return;
    case 28:
        if (shift)
            (s.active_end ? end : start) = s.cb.prev_offset(s, s.active_end ? end : start);
        else if (empty)
            start = end = s.cb.prev_offset(s, start);
        else
            end = start;
        break;
    case 29:
        if (shift)
            (s.active_end ? end : start) = s.cb.next_offset(s, s.active_end ? end : start);
        else if (empty)
            start = end = s.cb.next_offset(s, start);
        else
            start = end;
        break;
    case 30:
        if (shift)
            (s.active_end ? start : end) = vertical_move(s, s.active_end ? start : end, -1);
        else if (empty)
            start = end = vertical_move(s, start, -1);
        else
            end = start;
        break;
    case 31:
        if (shift)
            (s.active_end ? start : end) = vertical_move(s, s.active_end ? start : end, 1);
        else if (empty)
            start = end = vertical_move(s, start, 1);
        else
            start = end;
        break;
    default: {
        char c = static_cast<char>(byte);
        replace_selection(s, std::string_view(&c, 1));
        return;
    }
    }
    selection_changed(s);
}

void TXE_input(text_edit_state& s, int count, const char* bytes, int shift) {
    if (count <= 0)
        return;
    if (count == 1) {
        TXE_key(s, static_cast<unsigned char>(bytes[0]), shift);
        return;
    }
    s.preferred_x = -1.0f;
    replace_selection(s, std::string_view(bytes, static_cast<size_t>(count)));
}

void TXE_replace(text_edit_state& s, int i, int j, std::string_view bytes) {
    int n = text_length(s);
    i = std::clamp(i, 0, n);
    j = std::clamp(j, i, n);
    int d = static_cast<int>(bytes.size()) - (j - i);
    if (s.sel_start >= j) {
        s.sel_start += d;
        s.sel_end += d;
    } else if (s.sel_start >= i) {
        s.sel_end += d;
        if (s.sel_end < s.sel_start)
            s.sel_start = s.sel_end = std::max(s.sel_start + d, i);
    }
    s.cb.replace(s, i, j, bytes);
    normalise(s);
    TXE_layout(s);
    keep_cursor_in_view(s);
}

void TXE_click(text_edit_state& s, float x, float y, int extend) {
    s.preferred_x = -1.0f;
    int o = offset_at(s, x, y);
    if (!extend) {
        s.sel_start = s.sel_end = o;
        s.active_end = 1;
    } else if (o >= s.sel_start) {
        s.sel_end = o;
        s.active_end = 1;
    } else {
        s.sel_start = o;
        s.active_end = 0;
    }
    selection_changed(s);
}

void TXE_drag(text_edit_state& s, float x, float y) {
    int o = offset_at(s, x, y);
    (s.active_end ? s.sel_end : s.sel_start) = o;
    selection_changed(s);
}

void TXE_draw(text_edit_state& s, int show_cursor) {
    rect4 f = field_rect(s);
    rect4 t = text_rect(s);
    float lh = s.cb.line_height(s);
    int count = line_count(s);
    int first = std::max(0, static_cast<int>(std::floor((t.top - f.top) / lh)));
    int last = std::min(count, static_cast<int>(std::ceil((t.top - f.bottom) / lh)));
    auto bottom_of = [&](int k) { return t.top - static_cast<float>(k + 1) * lh; };
    const int start = s.sel_start, end = s.sel_end;

    if (start < end) {
        for (int k = first; k < last; ++k) {
            int b, e;
            line_range(s, k, &b, &e);
            if (start >= e || end <= b)
                continue;
            float left = t.left + width_between(s, b, std::max(start, b));
            float right = end > e ? t.right : t.left + width_between(s, b, end);
            const float r[4] = {left, bottom_of(k), right, bottom_of(k) + lh};
            s.cb.draw_rect(s, r);
        }
    }
    std::string_view text = s.cb.text(s);
    for (int k = first; k < last; ++k) {
        int b, e;
        line_range(s, k, &b, &e);
        s.cb.draw_text(s, t.left, bottom_of(k), text.data() + b, text.data() + e);
    }
    if (show_cursor && start == end) {
        int k = TXE_line_of(s, start);
        float x = t.left + width_between(s, line_start(s, k), start);
        const float r[4] = {x, bottom_of(k), x, bottom_of(k) + lh};
        s.cb.draw_rect(s, r);
    }
}

size_t TXE_utf8_prefix(std::string_view text, size_t max_bytes) {
    if (text.size() <= max_bytes)
        return text.size();
    size_t k = max_bytes;
    while (k > 0 && (static_cast<unsigned char>(text[k]) & 0xC0) == 0x80)
        --k;
    return k;
}
