// OGL_colour_settings: the toolkit's palette, gamma tables, colour adjustments and colour ramp.
#pragma once
#include <cstdint>

// 3,489 four-byte words in this order (13,956 bytes).
struct colour_settings_record {
    float gamma;
    uint8_t gamma_a[256]; // entry i = round(255 (i/255)^(1.8/gamma))
    uint8_t gamma_b[256]; // entry i = round(255 (i/255)^(2.2/gamma))
    float slots[115][3];  // RGB per colour index, 0..1; 43 and above are the interface colours
    // What the colour call adjusts with: light factors per channel (1.0), three more factors (1.0) that this
    // program does not use, the fade (0..; 0.5 and above is full red), the monochrome flag, spare words.
    float light[3];
    float spare_factors[3];
    float fade;
    int32_t monochrome;
    float spare[7];
    float ramp[1000][3];

    // Zeroes everything, sets the default slots, the ramp in mode 0, gamma 2.2 and both gamma tables.
    colour_settings_record();
};
static_assert(sizeof(colour_settings_record) == 13956, "colour_settings_record layout");

// The toolkit's palette (main thread; the frame clock, start-up and dialogs set slots).
extern colour_settings_record colour_settings;

// Stores the RGB of slot `slot` (0..114; not checked, as callers pass constants).
void OGL_set_colour_slot(int slot, float r, float g, float b);
// Fills the 1000 ramp triples. Mode 0: red, orange, yellow, green, blue, purple; 1, 2, 3: black to red,
// green or blue; any other mode leaves the ramp as it is.
void OGL_build_colour_ramp(colour_settings_record& cs, int mode);
void OGL_build_colour_ramp(int mode);
// Fills both gamma tables for cs.gamma.
void OGL_build_gamma_tables(colour_settings_record& cs);
