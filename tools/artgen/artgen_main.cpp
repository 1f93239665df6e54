// artgen_main: checks the layout and the palette, paints every image and writes it under its resource
// name. Usage: artgen <output folder> <bold face .ttf>. Any failed check ends it with exit code 1.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "artgen.h"

namespace artgen {

void fail(const std::string& why) {
    std::fprintf(stderr, "artgen: %s\n", why.c_str());
    std::exit(1);
}

const style_look& look_of(int style) {
    for (const style_look& l : style_looks)
        if (l.style == style)
            return l;
    fail("no look for style " + std::to_string(style));
}

namespace {

const image_spec& spec_of(image_id id) {
    static const image_spec* all[] = {&interface_image, &elements_image, &background_image, &map_image};
    return *all[id];
}

const rect& region_named(const std::string& name) {
    for (const region& r : regions)
        if (name == r.name)
            return r.r;
    fail("no region named " + name);
}

bool same(const rect& a, const rect& b) {
    return a.s0 == b.s0 && a.t0 == b.t0 && a.s1 == b.s1 && a.t1 == b.t1;
}

rgb colour_of_slot(int slot) {
    for (const swatch& w : swatches)
        if (w.slot == slot)
            return w.colour;
    fail("no swatch for colour slot " + std::to_string(slot));
}

void require_contrast(rgb text, rgb surface, const std::string& what) {
    double ratio = contrast_ratio(text, surface);
    if (ratio < min_contrast)
        fail(what + ": contrast " + std::to_string(ratio) + " is below 4.5");
}

// The surfaces of a style that text may sit on: its fill and, when it has one, its top band.
void require_on_style(rgb text, int style, const std::string& what) {
    const style_look& look = look_of(style);
    require_contrast(text, look.fill, what + " on the fill of style " + std::to_string(style));
    if (look.band_height > 0)
        require_contrast(text, look.band, what + " on the band of style " + std::to_string(style));
}

rgb over(rgb top, double alpha, rgb below) {
    auto m = [&](uint8_t a, uint8_t b) { return static_cast<uint8_t>(a * alpha + b * (1 - alpha) + 0.5); };
    return {m(top.r, below.r), m(top.g, below.g), m(top.b, below.b)};
}

void require_texel(const canvas& c, int s, int t, rgb want, const std::string& what) {
    rgba got = c.get(s, t);
    if (got.r != want.r || got.g != want.g || got.b != want.b || got.a != 255)
        fail(what + ": texel (" + std::to_string(s) + ", " + std::to_string(t) +
             ") is not the declared colour");
}

} // namespace

void check_layout() {
    const size_t n = sizeof(regions) / sizeof(regions[0]);
    for (size_t i = 0; i < n; ++i) {
        const region& a = regions[i];
        const image_spec& img = spec_of(a.image);
        if (a.r.s0 < 0 || a.r.t0 < 0 || a.r.s1 > img.width || a.r.t1 > img.height || a.r.s0 >= a.r.s1 ||
            a.r.t0 >= a.r.t1)
            fail(std::string(a.name) + " does not lie inside its image");
        for (size_t j = i + 1; j < n; ++j) {
            const region& b = regions[j];
            if (a.image == b.image && a.r.s0 < b.r.s1 && b.r.s0 < a.r.s1 && a.r.t0 < b.r.t1 &&
                b.r.t0 < a.r.t1)
                fail(std::string(a.name) + " overlaps " + b.name);
        }
    }
    for (const frame1_spec& f : frame1_styles) {
        int h = spec_of(f.image).height;
        bool clipped = f.t + f.height > h;
        if (clipped != (f.style == 1 || f.style == 2) || f.t + f.height > h + 1)
            fail("frame1 style " + std::to_string(f.style) + " reaches past its image");
        rect want{f.s, f.t, f.s + f.width, std::min(f.t + f.height, h)};
        if (!same(region_named("frame1 style " + std::to_string(f.style)), want))
            fail("frame1 style " + std::to_string(f.style) + " disagrees with its region");
    }
    for (const frame2_spec& f : frame2_styles) {
        if (!same(region_named("frame2 style " + std::to_string(f.style)),
                  {f.s, f.t, f.s + f.side, f.t + f.side}))
            fail("frame2 style " + std::to_string(f.style) + " disagrees with its region");
        const style_look& look = look_of(f.style);
        if (look.band_height > 0 && frame2_border + look.band_height > frame2_top_band(f))
            fail("the band of frame2 style " + std::to_string(f.style) +
                 " reaches into the middle rows, which repeat");
    }
    for (const frame2_inset& in : frame2_insets)
        for (const frame2_spec& f : frame2_styles)
            // The rounded corners (radius 6) stay inside the corner pieces: side caps 0.35, bands 0.3.
            if (f.style == in.style && (in.side + 6 > f.side * 35 / 100 || in.bottom + 6 > f.side * 3 / 10 ||
                                        in.top + 6 > frame2_top_band(f)))
                fail("the outline of frame2 style " + std::to_string(f.style) + " leaves its corners");
    for (const cursor_part& p : cursor_parts)
        if (!same(region_named("cursor " + std::to_string(p.id)), p.r))
            fail("cursor " + std::to_string(p.id) + " disagrees with its region");
    for (const swatch& w : swatches)
        if (!same(region_named("swatch " + std::to_string(w.slot)), {w.s - 2, w.t - 2, w.s + 3, w.t + 3}))
            fail("swatch " + std::to_string(w.slot) + " disagrees with its region");
    const char* rows[3] = {"words normal", "words hovered", "words pressed"};
    for (int r = 0; r < 3; ++r)
        if (!same(region_named(rows[r]), {0, word_rows[r].t0, words_right_edge, word_rows[r].t1}))
            fail(std::string(rows[r]) + " disagrees with the word rows");
    for (const language_words& l : languages) {
        for (int k = 0; k < word_count; ++k)
            if (l.edges[k] >= l.edges[k + 1])
                fail(std::string("the word edges of ") + l.name + " do not rise");
        if (l.edges[0] != 0 || l.edges[word_count] > words_right_edge)
            fail(std::string("the words of ") + l.name + " leave their rows");
    }
}

void check_contrast() {
    for (const contrast_rule& rule : contrast_rules)
        require_on_style(colour_of_slot(rule.slot), rule.style, "colour " + std::to_string(rule.slot));
    // The words of the element atlases: normal and hovered on the oval of style 11, pressed on style 12,
    // and the dim look (the normal word at half alpha) on style 13.
    require_on_style(word_rows[0].ink, 11, "normal words");
    require_on_style(word_rows[1].ink, 11, "hovered words");
    require_on_style(word_rows[2].ink, 12, "pressed words");
    const style_look& dim = look_of(13);
    require_contrast(over(word_rows[0].ink, 0.5, dim.fill), dim.fill, "dim words on the fill of style 13");
}

void check_interface(const canvas& c) {
    for (const swatch& w : swatches)
        require_texel(c, w.s, w.t, w.colour, "swatch " + std::to_string(w.slot));
    for (const frame2_spec& f : frame2_styles) {
        if (f.image != IMG_INTERFACE)
            continue;
        const style_look& look = look_of(f.style);
        require_texel(c, f.s + f.side / 2, f.t + f.side / 2, look.fill,
                      "fill of style " + std::to_string(f.style));
        if (look.band_height > 0)
            require_texel(c, f.s + f.side / 2, f.t + f.side - 4, look.band,
                          "band of style " + std::to_string(f.style));
    }
    for (const frame1_spec& f : frame1_styles)
        if (f.image == IMG_INTERFACE)
            require_texel(c, f.s + f.width / 2, f.t + 4, look_of(f.style).fill,
                          "fill of style " + std::to_string(f.style));
}

void check_elements(const canvas& c) {
    for (const frame1_spec& f : frame1_styles)
        if (f.image == IMG_ELEMENTS)
            require_texel(c, f.s + f.width / 2, f.t + f.height / 2, look_of(f.style).fill,
                          "fill of style " + std::to_string(f.style));
    for (const frame2_spec& f : frame2_styles)
        if (f.image == IMG_ELEMENTS)
            require_texel(c, f.s + f.side / 2, f.t + f.side / 2, look_of(f.style).fill,
                          "fill of style " + std::to_string(f.style));
}

} // namespace artgen

int main(int argc, char** argv) {
    using namespace artgen;
    if (argc != 3) {
        std::fprintf(stderr, "usage: artgen <output folder> <bold face .ttf>\n");
        return 2;
    }
    const std::string out = argv[1], font = argv[2];
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    if (ec)
        fail("cannot make " + out + ": " + ec.message());

    check_layout();
    check_contrast();
    auto write = [&](const std::string& name, const canvas& c) {
        if (!write_png(out + "/" + name, c))
            fail("cannot write " + name);
    };
    canvas interface_atlas = make_interface();
    check_interface(interface_atlas);
    write("interface.png", interface_atlas);
    for (const language_words& l : languages) {
        canvas elements = make_elements(l, font);
        check_elements(elements);
        write(std::string("elements_") + l.name + ".png", elements);
    }
    write("background.png", make_background());
    write("map.png", make_map());
    return 0;
}
