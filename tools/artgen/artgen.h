// artgen: the generator of the interface art. Each maker paints one image from the tables of
// artgen_layout.h; artgen_main checks the tables and the palette, then writes the images.
#pragma once
#include <string>

#include "artgen_draw.h"

namespace artgen {

// Writes "artgen: " + why to stderr and ends the generator with exit code 1, which fails the build.
[[noreturn]] void fail(const std::string& why);

// The look of a frame or strip style.
const style_look& look_of(int style);

canvas make_interface();
// The element atlas of one language, its words set in the bold face at `font_path`.
canvas make_elements(const language_words& language, const std::string& font_path);
canvas make_background();
canvas make_map();

// The checks that fail the build: every region lies inside its image and overlaps no other; the frame
// tables agree with the regions; each text colour contrasts enough with what it is drawn on.
void check_layout();
void check_contrast();
// After painting: the swatches and the surfaces hold the colours the tables declare.
void check_interface(const canvas& interface_atlas);
void check_elements(const canvas& elements_atlas);

} // namespace artgen
