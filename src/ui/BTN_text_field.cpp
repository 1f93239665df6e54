// BTN_text_field: keyboard focus, key routing and the single-line text field.
#include "ui/BTN_text_field.h"

#include <algorithm>

#include "base/APP_clock.h"
#include "base/BTN_split_label.h"
#include "base/STR_utf.h"
#include "platform/WIN_clipboard.h"
#include "ui/APP_frame.h"
#include "ui/BTN_widgets.h"
#include "ui/OGL_font.h"
#include "ui/OGL_text_layout.h"
#include "ui/OGL_view.h"
#include "ui/TXE_edit.h"
#include "ui/screen_state.h"

namespace {

constexpr int queue_capacity = 64;
constexpr int alert_screen = 994;

// The text fields' shared state. Main thread only.
struct text_field_module {
    int characters[queue_capacity] = {};
    int keys[queue_capacity] = {};
    int flags[queue_capacity] = {};
    int targets[queue_capacity] = {};
    BTN_key_queue queue{characters, keys, flags, targets, 0};

    text_edit_state* edit = nullptr;
    // The focused field's geometry, as the edit callbacks read it.
    int x = 0, y = 0, width = 0; // y is the field's y - 1
    std::string* text = nullptr;
    float scroll_x = 0.0f, scroll_y = 0.0f;
    int modified = 0;
    int last_focused = 0; // the field that held the focus when a field last drew with it
    std::string seen;     // that field's text as it drew it
    int max_length = -1;  // and its most bytes

    // The queue that BTN_route_key last filled, and the frame (APP_clock.frame_count) in which it did.
    const BTN_key_queue* routed_queue = nullptr;
    long routed_frame = -1;
};
text_field_module tf;

bool is_white(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// ---- The edit callbacks over the focused field.
void cb_field_rect(text_edit_state&, float r[4]) {
    r[0] = static_cast<float>(tf.x);
    r[1] = static_cast<float>(tf.y - 2);
    r[2] = static_cast<float>(tf.x + tf.width);
    r[3] = static_cast<float>(tf.y + 9);
}
void cb_text_rect(text_edit_state& s, float r[4]) {
    cb_field_rect(s, r);
    r[0] -= tf.scroll_x;
    r[1] -= tf.scroll_y;
    r[2] += 1024.0f - tf.scroll_x;
    r[3] -= tf.scroll_y;
}
void cb_content_height(text_edit_state&, float) {}
void cb_set_scroll(text_edit_state&, float x, float y) {
    tf.scroll_x = x;
    tf.scroll_y = y;
}
std::string_view cb_text(text_edit_state&) {
    return tf.text ? std::string_view(*tf.text) : std::string_view();
}
void cb_replace(text_edit_state&, int i, int j, std::string_view bytes) {
    if (!tf.text)
        return;
    tf.text->replace(static_cast<size_t>(i), static_cast<size_t>(j - i), bytes);
    tf.modified = 1;
}
float cb_line_height(text_edit_state&) { return 11.0f; }
float cb_measure(text_edit_state&, const char* b, const char* e) { return OGL_measure_range(b, e); }
int cb_fit_forward(text_edit_state&, const char* b, const char* e, float w) {
    return static_cast<int>(OGL_fit_forward(b, e, w) - b);
}
int cb_fit_backward(text_edit_state&, const char* b, const char* e, float w) {
    return static_cast<int>(e - OGL_fit_backward(b, e, w));
}
void cb_draw_text(text_edit_state&, float, float, const char* b, const char* e) {
    // Every line goes to the field's one text position: a field shows a single line.
    OGL_draw_string(54, static_cast<float>(tf.x) - tf.scroll_x, static_cast<float>(tf.y) - tf.scroll_y,
                    std::string_view(b, static_cast<size_t>(e - b)), 9999.0f, 0, 0, 1.0f);
}
void cb_draw_rect(text_edit_state&, const float r[4]) {
    if (r[0] == r[2])
        OGL_draw_line(54, APP_clock.pulse, r[0], r[1], r[2], r[3]);
    else
        OGL_draw_rect(66, 1.0f, r[0], r[1], r[2] - r[0], r[3] - r[1]);
}
const char* cb_word_end(text_edit_state&, const char* p, const char* end) {
    while (p < end && is_white(*p))
        ++p;
    while (p < end && !is_white(*p))
        ++p;
    return p;
}
const char* cb_next_char(text_edit_state&, const char* p, const char* end) {
    if (p < end)
        ++p;
    while (p < end && (static_cast<unsigned char>(*p) & 0xC0) == 0x80)
        ++p;
    return p;
}
int cb_next_offset(text_edit_state& s, int offset) {
    std::string_view t = cb_text(s);
    if (offset >= static_cast<int>(t.size()))
        return offset + 1;
    return static_cast<int>(cb_next_char(s, t.data() + offset, t.data() + t.size()) - t.data());
}
int cb_prev_offset(text_edit_state& s, int offset) {
    if (offset <= 0)
        return -1;
    std::string_view t = cb_text(s);
    offset = std::min(offset, static_cast<int>(t.size()));
    const char* b = t.data();
    return static_cast<int>(STR_utf8_prev(b, b + offset, b + t.size()) - b);
}

const text_edit_callbacks field_callbacks = {
    cb_field_rect,  cb_text_rect, cb_content_height, cb_set_scroll,   cb_text,      cb_replace,
    cb_line_height, cb_measure,   cb_fit_forward,    cb_fit_backward, cb_draw_text, cb_draw_rect,
    cb_word_end,    cb_next_char, cb_next_offset,    cb_prev_offset,
};

text_edit_state& edit_state() {
    if (!tf.edit)
        tf.edit = TXE_create(field_callbacks, 0.0f);
    return *tf.edit;
}

// ---- Key queue.

// Drops the entries whose target no longer holds the focus, keeping the order of the rest.
void discard_stale(BTN_key_queue& q) {
    int kept = 0;
    for (int i = 0; i < q.count; ++i) {
        if (q.targets[i] == 0 || q.targets[i] != ui_state.focus_id)
            continue;
        q.characters[kept] = q.characters[i];
        q.keys[kept] = q.keys[i];
        q.flags[kept] = q.flags[i];
        q.targets[kept] = q.targets[i];
        ++kept;
    }
    q.count = kept;
}

// The focus goes to `id`. Keys waiting in the queues (the listed widgets' and `queue`) were typed for the
// widget that held it, or for one in an earlier visit: they are dropped.
void move_focus(int id, BTN_key_queue* queue) {
    if (id != ui_state.focus_id) {
        for (const BTN_focus_entry& e : ui_state.focus_list)
            if (e.queue)
                e.queue->count = 0;
        if (queue)
            queue->count = 0;
    }
    ui_state.focus_id = id;
}

// A field takes Backspace, the arrows and printable characters; other control bytes (Delete, Home, End,
// the page keys, Ctrl+X without a selection) would otherwise land in the text.
bool field_types(int c) { return c == 8 || (c >= 28 && c <= 31) || (c >= 32 && c != 127); }

void paste(const char* text, void*) {
    text_edit_state& s = edit_state();
    TXE_replace(s, s.sel_start, s.sel_end, text);
}

void copy_selection() {
    text_edit_state& s = edit_state();
    WIN_clipboard_put(
        tf.text->substr(static_cast<size_t>(s.sel_start), static_cast<size_t>(s.sel_end - s.sel_start)));
}

void handle_key(int character, int key, int flags) {
    text_edit_state& s = edit_state();
    bool ctrl = (flags & 4) != 0;
    if (ctrl && key == 'X' && s.sel_start < s.sel_end) {
        copy_selection();
        TXE_key(s, 8, 0);
    } else if (ctrl && key == 'C') {
        copy_selection();
    } else if (ctrl && key == 'V') {
        WIN_clipboard_get(paste, nullptr);
    } else if (field_types(character)) {
        char bytes[4];
        int n = STR_utf8_encode(static_cast<unsigned int>(character), bytes);
        TXE_input(s, n, bytes, flags & 1);
    }
}

// Handles this field's queued keys (key-ups only leave the queue) and resets the queue once no entry
// with a target remains.
void drain_queue(int id) {
    BTN_key_queue& q = tf.queue;
    bool left = false;
    for (int i = 0; i < q.count; ++i) {
        if (q.targets[i] != id) {
            left = left || q.targets[i] != 0;
            continue;
        }
        if ((q.characters[i] != 0 || q.keys[i] != 0) && !(q.flags[i] & 16))
            handle_key(q.characters[i], q.keys[i], q.flags[i]);
        q.characters[i] = q.keys[i] = q.flags[i] = q.targets[i] = 0;
    }
    if (!left)
        q.count = 0;
}

// The focused field `id` takes its queued keys, cut to its most bytes.
void take_queued_keys(int id) {
    text_edit_state& s = edit_state();
    std::string& text = *tf.text;
    drain_queue(id);
    if (tf.modified && tf.max_length >= 0 && text.size() > static_cast<size_t>(tf.max_length)) {
        text.resize(TXE_utf8_prefix(text, static_cast<size_t>(tf.max_length)));
        TXE_layout(s);
        TXE_set_selection(s, s.sel_start, s.sel_end);
    }
    tf.seen = text;
}

bool mouse_in(float x0, float y0, float x1, float y1) {
    const APP_input_state& in = ui_state.input;
    return in.mouse_x >= x0 && in.mouse_x <= x1 && in.mouse_y >= y0 && in.mouse_y <= y1;
}

} // namespace

int BTN_key_class(int character, int key, int flags) {
    if (key == 8 || key == 46)
        return BTN_KEYS_DELETE;
    if (key == 9)
        return BTN_KEYS_TAB;
    if (key == 13 || key == 187)
        return BTN_KEYS_ENTER;
    if (key == 27)
        return BTN_KEYS_ESCAPE;
    if (key >= 33 && key <= 40)
        return BTN_KEYS_NAVIGATE;
    if (character == '+' || character == '-')
        return BTN_KEYS_SIGN;
    if (character >= '0' && character <= '9')
        return BTN_KEYS_DIGIT;
    if ((character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z'))
        return BTN_KEYS_LETTER;
    if ((character >= 32 && character < 127) || character >= 128)
        return BTN_KEYS_PRINTABLE;
    if ((flags & 4) && (key == 'V' || key == 'C' || key == 'X'))
        return BTN_KEYS_CLIPBOARD;
    return BTN_KEYS_OTHER;
}

bool BTN_focus_register(int id, BTN_key_queue* queue, int capacity, int accept_mask, int take) {
    if (take)
        move_focus(id, queue);
    ui_state.focus_list.push_back({id, queue, capacity, accept_mask});
    return ui_state.focus_id == id;
}

int BTN_focus_index(int id) {
    const auto& list = ui_state.focus_list;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].id == id)
            return static_cast<int>(i);
    return -1;
}

bool BTN_route_key(int character, int key, int flags) {
    if (screen_state.screen_id == alert_screen)
        return false;
    const auto& list = ui_state.focus_list;
    bool tab_press = key == 9 && !(flags & 16);
    int index = ui_state.focus_id != 0 ? BTN_focus_index(ui_state.focus_id) : -1;
    if (index < 0) {
        move_focus(0, nullptr);
        if (!tab_press || list.empty())
            return false;
        move_focus(list.front().id, nullptr);
        return true;
    }
    const BTN_focus_entry& entry = list[static_cast<size_t>(index)];
    if (!(entry.accept_mask & BTN_KEYS_TAB) && tab_press) {
        int n = static_cast<int>(list.size());
        int next = (flags & 1) ? (index + n - 1) % n : (index + 1) % n;
        move_focus(list[static_cast<size_t>(next)].id, nullptr);
        return true;
    }
    if (!(entry.accept_mask & BTN_key_class(character, key, flags)))
        return false;
    BTN_key_queue* q = entry.queue;
    if (!q)
        return true;
    discard_stale(*q);
    if (q->count >= entry.capacity)
        return true; // dropped: a full queue must not pass the key on to the bindings
    q->characters[q->count] = character;
    q->keys[q->count] = key;
    q->flags[q->count] = flags;
    q->targets[q->count] = ui_state.focus_id;
    ++q->count;
    tf.routed_queue = q;
    tf.routed_frame = APP_clock.frame_count;
    return true;
}

bool BTN_keys_waiting() {
    const BTN_key_queue* q = tf.routed_queue;
    if (!q || tf.routed_frame != APP_clock.frame_count || ui_state.focus_id == 0)
        return false;
    for (int i = 0; i < q->count; ++i)
        if (q->targets[i] == ui_state.focus_id && !(q->flags[i] & 16))
            return true;
    return false;
}

bool BTN_text_field(float x, float y, std::string& text, int max_length, const std::string& label,
                    float width, int take_focus) {
    const int id = static_cast<int>(x) * 8192 + static_cast<int>(y);
    text_edit_state& s = edit_state();
    const APP_input_state& in = ui_state.input;

    bool clicked = ui_state.captured_id == -1 && in.click[0] && mouse_in(x, y, x + width, y + 8.0f);
    bool request = clicked || (take_focus && ui_state.focus_id == 0);
    bool focused = BTN_focus_register(id, &tf.queue, queue_capacity, BTN_TEXT_FIELD_KEYS, request);
    tf.modified = 0;

    if (focused) {
        tf.x = static_cast<int>(x);
        tf.y = static_cast<int>(y - 1.0f);
        tf.width = static_cast<int>(width);
        tf.text = &text;
        if (tf.last_focused != id) {
            tf.last_focused = id;
            tf.scroll_x = tf.scroll_y = 0.0f;
            TXE_layout(s);
            if (!clicked)
                TXE_set_selection(s, 0, static_cast<int>(text.size()));
        } else if (text != tf.seen) {
            // Its owner put a new text in (the folder chooser's path after a row was clicked): the old
            // selection means nothing there, and a key typed must add to the text, not replace its start.
            TXE_layout(s);
            TXE_set_selection(s, static_cast<int>(text.size()), static_cast<int>(text.size()));
        }
        int n = static_cast<int>(text.size());
        s.sel_start = std::clamp(s.sel_start, 0, n);
        s.sel_end = std::clamp(s.sel_end, s.sel_start, n);
        if (clicked) {
            TXE_click(s, in.mouse_x, in.mouse_y, APP_shift_down());
            ui_state.text_drag = 1;
        } else if (ui_state.text_drag && APP_clock.buttons[0].down) {
            TXE_drag(s, in.mouse_x, in.mouse_y);
        }
        if (!APP_clock.buttons[0].down && !clicked)
            ui_state.text_drag = 0;

        tf.max_length = max_length;
        take_queued_keys(id);
    }

    std::string left, right, tip;
    BTN_split_label(label, left, right, tip);
    BTN_frame1(9, x + width / 2.0f - 2.0f, y + 3.0f, width + 10.0f, 61);
    BTN_draw_label(x - 12.0f, y, 0, left, 0);
    BTN_draw_label(x + width + 6.0f, y, 2, right, 0);
    const OGL_text_rect outline = BTN_frame1_rect(9, x + width / 2.0f - 2.0f, y + 3.0f, width + 10.0f);
    {
        const OGL_text_box_scope box("field", outline.x0, outline.y0, outline.x1, outline.y1, &outline);
        OGL_push_scissor(static_cast<int>(x - 1.0f), static_cast<int>(y - 3.0f),
                         static_cast<int>(x + width + 1.0f), static_cast<int>(y + 8.0f));
        if (focused)
            TXE_draw(s, 1);
        else
            OGL_draw_string(54, x, y - 1.0f, text, 9999.0f, 0, 0, 1.0f);
        OGL_pop_scissor();
    }

    if (mouse_in(x, y - 5.0f, x + width, y + 15.0f))
        ui_state.tooltip = tip;
    return focused && tf.modified != 0;
}

void BTN_text_field_flush() {
    if (tf.text && tf.last_focused != 0 && tf.last_focused == ui_state.focus_id)
        take_queued_keys(tf.last_focused);
}

const BTN_key_queue& BTN_text_field_queue() { return tf.queue; }

text_edit_state& BTN_text_field_bind(float x, float y, float width, std::string* text) {
    tf.x = static_cast<int>(x);
    tf.y = static_cast<int>(y - 1.0f);
    tf.width = static_cast<int>(width);
    tf.text = text;
    tf.scroll_x = tf.scroll_y = 0.0f;
    tf.modified = 0;
    return edit_state();
}

const text_edit_callbacks& BTN_text_field_callbacks() { return field_callbacks; }

BTN_text_field_status BTN_text_field_inspect() {
    const text_edit_state& s = edit_state();
    return {tf.scroll_x, tf.scroll_y, tf.modified, s.sel_start, s.sel_end};
}
