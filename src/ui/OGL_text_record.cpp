// OGL_text_record: the record of drawn texts, taken through OpenGL feedback mode.
#include "ui/OGL_text_record.h"

#include <GL/gl.h>

#include <algorithm>

#include "ui/screen_state.h"

namespace {

struct open_box {
    std::string name;
    OGL_text_rect rect;
    int serial;
};

// The record and the box scopes. Main thread only.
struct recorder_state {
    bool on = false;
    bool in_feedback = false;
    int serial = 0;
    std::vector<OGL_drawn_text> texts;
    std::vector<OGL_drawn_frame> frames;
    std::vector<open_box> boxes;
    std::vector<GLfloat> feedback;
} recorder;

// Window coordinates to view units through the current viewport and projection (an orthographic view
// without rotation). The model-view of the views is the identity; a widget that scales its text with it
// (a label drawn smaller to fit) is recorded as drawn, at its scaled size.
struct window_to_view {
    float sx = 1.0f, tx = 0.0f, sy = 1.0f, ty = 0.0f;
};

window_to_view current_mapping() {
    GLint vp[4] = {0, 0, 1, 1};
    GLfloat p[16];
    glGetIntegerv(GL_VIEWPORT, vp);
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    // Normalised x = p0 x + p12; window x = vp0 + (normalised + 1) vp2 / 2.
    const float ax = p[0], bx = p[12];
    const float ay = p[5], by = p[13];
    window_to_view w;
    if (ax == 0.0f || ay == 0.0f || vp[2] == 0 || vp[3] == 0)
        return w;
    w.sx = 2.0f / (static_cast<float>(vp[2]) * ax);
    w.tx = (-2.0f * static_cast<float>(vp[0]) / static_cast<float>(vp[2]) - 1.0f - bx) / ax;
    w.sy = 2.0f / (static_cast<float>(vp[3]) * ay);
    w.ty = (-2.0f * static_cast<float>(vp[1]) / static_cast<float>(vp[3]) - 1.0f - by) / ay;
    return w;
}

OGL_text_rect union_of(const std::vector<OGL_text_rect>& rects) {
    if (rects.empty())
        return {};
    OGL_text_rect u = rects.front();
    for (const OGL_text_rect& r : rects) {
        u.x0 = std::min(u.x0, r.x0);
        u.y0 = std::min(u.y0, r.y0);
        u.x1 = std::max(u.x1, r.x1);
        u.y1 = std::max(u.y1, r.y1);
    }
    return u;
}

// A new record with the innermost box and the scissor box of the moment; `origin_*` is subtracted from
// window-mapped coordinates.
OGL_drawn_text new_record(std::string_view text, int font_mode, const window_to_view& map, float origin_x,
                          float origin_y) {
    OGL_drawn_text t;
    t.text.assign(text);
    t.font_mode = font_mode;
    if (!recorder.boxes.empty()) {
        t.box_name = recorder.boxes.back().name;
        t.box = recorder.boxes.back().rect;
        t.box_serial = recorder.boxes.back().serial;
    }
    if (glIsEnabled(GL_SCISSOR_TEST)) {
        GLint s[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_SCISSOR_BOX, s);
        t.clipped = true;
        t.clip = {map.sx * static_cast<float>(s[0]) + map.tx - origin_x,
                  map.sy * static_cast<float>(s[1]) + map.ty - origin_y,
                  map.sx * static_cast<float>(s[0] + s[2]) + map.tx - origin_x,
                  map.sy * static_cast<float>(s[1] + s[3]) + map.ty - origin_y};
    }
    return t;
}

} // namespace

void OGL_text_record_start() {
    recorder.on = true;
    recorder.texts.clear();
    recorder.frames.clear();
}

void OGL_text_record_stop() { recorder.on = false; }

bool OGL_text_recording() { return recorder.on; }

const std::vector<OGL_drawn_text>& OGL_text_recorded() { return recorder.texts; }

const std::vector<OGL_drawn_frame>& OGL_text_recorded_frames() { return recorder.frames; }

OGL_text_record_scope::OGL_text_record_scope(std::string_view text, int font_mode)
    : text_(text), font_mode_(font_mode) {
    if (!recorder.on || recorder.in_feedback || glIsEnabled(GL_RASTERIZER_DISCARD))
        return;
    // Four vertices of two values and a token and a count per glyph, with room to spare.
    recorder.feedback.resize(std::max<size_t>(4096, text.size() * 24));
    glFeedbackBuffer(static_cast<GLsizei>(recorder.feedback.size()), GL_2D, recorder.feedback.data());
    glRenderMode(GL_FEEDBACK);
    recorder.in_feedback = true;
    active_ = true;
}

OGL_text_record_scope::~OGL_text_record_scope() {
    if (!active_)
        return;
    const GLint count = glRenderMode(GL_RENDER);
    recorder.in_feedback = false;
    const window_to_view map = current_mapping();
    const float ox = screen_state.origin_x, oy = screen_state.origin_y;
    OGL_drawn_text t = new_record(text_, font_mode_, map, ox, oy);
    const GLfloat* f = recorder.feedback.data();
    for (GLint i = 0; i < count;) {
        const auto token = static_cast<GLenum>(f[i++]);
        int vertices = 0;
        if (token == GL_POLYGON_TOKEN)
            vertices = static_cast<int>(f[i++]);
        else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN)
            vertices = 2;
        else if (token == GL_PASS_THROUGH_TOKEN) {
            ++i;
            continue;
        } else
            vertices = 1;
        if (vertices < 1 || i + 2 * vertices > count)
            break;
        OGL_text_rect r{1e9f, 1e9f, -1e9f, -1e9f};
        for (int v = 0; v < vertices; ++v, i += 2) {
            const float x = map.sx * f[i] + map.tx - ox, y = map.sy * f[i + 1] + map.ty - oy;
            r = {std::min(r.x0, x), std::min(r.y0, y), std::max(r.x1, x), std::max(r.y1, y)};
        }
        if (token == GL_POLYGON_TOKEN)
            t.glyphs.push_back(r);
    }
    // The quads of one glyph may come as two triangles: the same rectangle twice is kept once.
    t.glyphs.erase(std::unique(t.glyphs.begin(), t.glyphs.end(),
                               [](const OGL_text_rect& a, const OGL_text_rect& b) {
                                   return a.x0 == b.x0 && a.x1 == b.x1 && a.y0 == b.y0 && a.y1 == b.y1;
                               }),
                   t.glyphs.end());
    t.ink = union_of(t.glyphs);
    if (!t.glyphs.empty())
        recorder.texts.push_back(std::move(t));
}

OGL_text_box_scope::OGL_text_box_scope(const char* name, float x0, float y0, float x1, float y1,
                                       const OGL_text_rect* outline) {
    if (!recorder.on)
        return;
    recorder.boxes.push_back({name, {x0, y0, x1, y1}, ++recorder.serial});
    if (outline)
        recorder.frames.push_back({name, recorder.serial, *outline});
    active_ = true;
}

OGL_text_box_scope::~OGL_text_box_scope() {
    if (active_ && !recorder.boxes.empty())
        recorder.boxes.pop_back();
}

void OGL_text_record_frame(const char* name, const OGL_text_rect& rect) {
    if (recorder.on)
        recorder.frames.push_back({name, ++recorder.serial, rect});
}

void OGL_text_record_picture(const std::string& words, const OGL_text_rect& rect) {
    if (!recorder.on)
        return;
    OGL_drawn_text t = new_record(words, -1, current_mapping(), screen_state.origin_x, screen_state.origin_y);
    t.glyphs.push_back(rect);
    t.ink = rect;
    recorder.texts.push_back(std::move(t));
}
