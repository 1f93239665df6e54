// artgen_interface: the interface atlas (512 x 512 RGBA): the strips and frames of the widgets, the check
// boxes and radios, the corner buttons, the menu arrow, the cursor images and the colour swatches.
#include <algorithm>
#include <cmath>

#include "artgen.h"

namespace artgen {

namespace {

const rgba cursor_fill{250, 250, 250, 255};
const rgba cursor_edge{0, 0, 0, 255};
constexpr double cursor_outline = 1.25;

// An arrow along the segment tail -> tip: a shaft of half width `shaft`, a head `head_len` long and
// `head` wide on each side.
sdf arrow(point tail, point tip, double shaft, double head, double head_len) {
    double dx = tip.x - tail.x, dy = tip.y - tail.y, len = std::hypot(dx, dy);
    double ux = dx / len, uy = dy / len, nx = -uy, ny = ux;
    point base{tip.x - ux * head_len, tip.y - uy * head_len};
    return polygon({{tail.x + nx * shaft, tail.y + ny * shaft},
                    {base.x + nx * shaft, base.y + ny * shaft},
                    {base.x + nx * head, base.y + ny * head},
                    tip,
                    {base.x - nx * head, base.y - ny * head},
                    {base.x - nx * shaft, base.y - ny * shaft},
                    {tail.x - nx * shaft, tail.y - ny * shaft}});
}

// Two arrows back to back between a and b.
sdf double_arrow(point a, point b, double shaft, double head, double head_len) {
    point mid{(a.x + b.x) / 2, (a.y + b.y) / 2};
    return unite({arrow(mid, a, shaft, head, head_len), arrow(mid, b, shaft, head, head_len)});
}

void paint_cursor(canvas& c, const rect& r, const sdf& shape) {
    c.paint(r, ink(shape, cursor_fill, cursor_edge, cursor_outline));
}

void draw_strips(canvas& c) {
    for (const frame1_spec& f : frame1_styles) {
        if (f.image != IMG_INTERFACE)
            continue;
        // Styles 1 and 2 reach one row past the top of the atlas; that row does not exist.
        rect r{f.s, f.t, f.s + f.width, std::min(f.t + f.height, c.height())};
        double radius = std::min({static_cast<double>(f.cap), (r.t1 - r.t0) / 2.0, 7.0});
        double border = f.height >= 20 ? 2.0 : 1.5;
        c.paint(r, box(r, radius, border, look_of(f.style)));
    }
}

void draw_frames(canvas& c) {
    for (const frame2_spec& f : frame2_styles) {
        if (f.image != IMG_INTERFACE)
            continue;
        rect r{f.s, f.t, f.s + f.side, f.t + f.side};
        rect outline = r;
        for (const frame2_inset& in : frame2_insets)
            if (in.style == f.style)
                outline = {r.s0 + in.side, r.t0 + in.bottom, r.s1 - in.side, r.t1 - in.top};
        c.paint(r, box(outline, 6.0, frame2_border, look_of(f.style)));
    }
}

void draw_checks(canvas& c) {
    const rgba edge{92, 116, 150, 255}, well{16, 22, 32, 255}, mark{140, 230, 150, 255}, dark{6, 10, 16, 255};
    const rect& b = check_box;
    c.paint(b, box(b, 3.0, 2.0, {0, {92, 116, 150}, {16, 22, 32}, {16, 22, 32}, 0}));
    const rect& k = check_tick;
    double x0 = k.s0, y0 = k.t0;
    c.paint(k, ink(unite({stroke({x0 + 4.5, y0 + 9.5}, {x0 + 7.5, y0 + 5.5}, 1.4),
                          stroke({x0 + 7.5, y0 + 5.5}, {x0 + 13.5, y0 + 13.5}, 1.4)}),
                   mark, dark, 0.8));
    const rect& rb = radio_box;
    double rcx = (rb.s0 + rb.s1) / 2.0, rcy = (rb.t0 + rb.t1) / 2.0;
    c.paint(rb, ink(circle(rcx, rcy, 6.0), well, edge, 1.5));
    const rect& rd = radio_dot;
    c.paint(rd, ink(circle((rd.s0 + rd.s1) / 2.0, (rd.t0 + rd.t1) / 2.0, 3.5), mark, dark, 0.8));
}

void draw_buttons(canvas& c) {
    const rgba light{226, 232, 240, 255}, dark{6, 10, 16, 255};
    for (int lit = 0; lit < 2; ++lit) {
        const rect& r = lit ? corner_button_lit : corner_button;
        double cx = (r.s0 + r.s1) / 2.0, cy = (r.t0 + r.t1) / 2.0;
        rgba face = lit ? rgba{72, 108, 156, 255} : rgba{46, 66, 98, 255};
        sdf disc = circle(cx, cy, 7.0);
        sdf cross = unite({stroke({cx - 3, cy - 3}, {cx + 3, cy + 3}, 1.1),
                           stroke({cx - 3, cy + 3}, {cx + 3, cy - 3}, 1.1)});
        c.paint(r, [=](double x, double y) -> sample {
            double d = disc(x, y);
            if (d > 1.5)
                return {false, clear};
            if (d > 0)
                return {true, dark};
            return {true, cross(x, y) <= 0 ? light : face};
        });
    }
    const rect& a = menu_arrow;
    double cx = (a.s0 + a.s1) / 2.0, cy = (a.t0 + a.t1) / 2.0;
    c.paint(a, ink(polygon({{cx - 3.5, cy - 5}, {cx + 4, cy}, {cx - 3.5, cy + 5}}), light, dark, 1.0));
}

void draw_cursors(canvas& c) {
    auto part = [](int id) -> const rect& {
        for (const cursor_part& p : cursor_parts)
            if (p.id == id)
                return p.r;
        fail("no cursor part " + std::to_string(id));
    };
    // 3 = 4 + 5: left-right resize.
    sdf lr = double_arrow({201.5, 342.5}, {258.5, 342.5}, 2.2, 7.5, 10);
    paint_cursor(c, part(4), lr);
    paint_cursor(c, part(5), lr);
    // 6 = 7 + 8: move, four arrows.
    sdf move = unite({double_arrow({202, 309}, {258, 309}, 2.0, 6.5, 9),
                      double_arrow({230, 293}, {230, 325}, 2.0, 6.5, 9)});
    paint_cursor(c, part(7), move);
    paint_cursor(c, part(8), move);
    // 9 = 10 + 11: split, a bar with an arrow to each side.
    sdf split = unite({round_rect(292, 314, 296, 353, 1), arrow({289, 333.5}, {264, 333.5}, 2.2, 7.5, 10),
                       arrow({299, 333.5}, {324, 333.5}, 2.2, 7.5, 10)});
    paint_cursor(c, part(10), split);
    paint_cursor(c, part(11), split);
    // 12 = 13 + 14: up-down resize.
    sdf ud = double_arrow({496.5, 311}, {496.5, 355}, 2.0, 7.0, 10);
    paint_cursor(c, part(13), ud);
    paint_cursor(c, part(14), ud);
    // 15 = 16 + 17: slide left or right.
    sdf slide = unite({polygon({{266, 300}, {284, 293}, {284, 307}}),
                       polygon({{322, 300}, {304, 293}, {304, 307}}), round_rect(284, 298.5, 304, 301.5, 1)});
    paint_cursor(c, part(16), slide);
    paint_cursor(c, part(17), slide);
    // 22: cross hair.
    sdf aim = unite(
        {ring(219, 270, 11, 1.3), stroke({219, 253}, {219, 287}, 1.0), stroke({202, 270}, {236, 270}, 1.0)});
    paint_cursor(c, part(22), aim);

    for (const cursor_cell& cell : cursor_cells) {
        rect r = cell_rect(cell.a, cell.b);
        double x0 = r.s0, y0 = r.t0, cx = x0 + 15;
        sdf shape;
        switch (cell.id) {
        case 18: // text beam
            shape = unite({round_rect(cx - 1.2, y0 + 5, cx + 1.2, y0 + 25, 0.5),
                           round_rect(cx - 5, y0 + 23.5, cx + 5, y0 + 26, 1),
                           round_rect(cx - 5, y0 + 4, cx + 5, y0 + 6.5, 1)});
            break;
        case 19: // pointer, with a sheet while dragging
            shape = polygon({{x0 + 9, y0 + 27},
                             {x0 + 9, y0 + 6},
                             {x0 + 14, y0 + 11},
                             {x0 + 18, y0 + 3},
                             {x0 + 21, y0 + 4.5},
                             {x0 + 17, y0 + 12.5},
                             {x0 + 24, y0 + 12.5}});
            if (cell.dragging)
                shape = unite({shape, round_rect(x0 + 18, y0 + 2, x0 + 28, y0 + 11, 1)});
            break;
        case 20: // open hand
            shape = unite({round_rect(x0 + 8, y0 + 4, x0 + 22, y0 + 16, 4),
                           round_rect(x0 + 8, y0 + 12, x0 + 11, y0 + 25, 1.5),
                           round_rect(x0 + 11.7, y0 + 12, x0 + 14.7, y0 + 27, 1.5),
                           round_rect(x0 + 15.4, y0 + 12, x0 + 18.4, y0 + 26, 1.5),
                           round_rect(x0 + 19.1, y0 + 12, x0 + 22.1, y0 + 23, 1.5),
                           stroke({x0 + 9, y0 + 9}, {x0 + 4, y0 + 15}, 1.6)});
            break;
        case 21: // closed hand
            shape =
                unite({round_rect(x0 + 8, y0 + 4, x0 + 22, y0 + 17, 4), circle(x0 + 9.8, y0 + 17.5, 2.2),
                       circle(x0 + 13.6, y0 + 18.5, 2.2), circle(x0 + 17.4, y0 + 18.5, 2.2),
                       circle(x0 + 21, y0 + 17.2, 2.0), stroke({x0 + 9, y0 + 10}, {x0 + 5, y0 + 13}, 1.6)});
            break;
        default: { // 23 zoom in, 24 zoom out
            sdf lens =
                unite({ring(x0 + 12, y0 + 18, 7, 1.6), stroke({x0 + 17, y0 + 13}, {x0 + 25, y0 + 4}, 2.0)});
            sdf sign = stroke({x0 + 9, y0 + 18}, {x0 + 15, y0 + 18}, 1.0);
            if (cell.id == 23)
                sign = unite({sign, stroke({x0 + 12, y0 + 15}, {x0 + 12, y0 + 21}, 1.0)});
            shape = unite({lens, sign});
            break;
        }
        }
        if (cell.id == 18 && cell.dragging)
            c.paint(r, ink(shape, rgba{255, 214, 120, 255}, cursor_edge, cursor_outline));
        else
            paint_cursor(c, r, shape);
    }
}

void draw_swatches(canvas& c) {
    for (const swatch& w : swatches)
        c.fill({w.s - 2, w.t - 2, w.s + 3, w.t + 3}, opaque(w.colour));
}

} // namespace

canvas make_interface() {
    canvas c(interface_image.width, interface_image.height, interface_image.channels);
    draw_strips(c);
    draw_frames(c);
    draw_checks(c);
    draw_buttons(c);
    draw_cursors(c);
    draw_swatches(c);
    return c;
}

} // namespace artgen
