// OGL_colour_settings: the toolkit's palette, gamma tables, colour adjustments and colour ramp.
#include "ui/OGL_colour_settings.h"

#include <cmath>
#include <cstring>

// Main thread only.
colour_settings_record colour_settings;

namespace {

struct default_slot {
    int slot;
    float r, g, b;
};

const default_slot default_slots[] = {
    {0, 1.0f, 1.0f, 1.0f},   {1, 1.0f, 0.2f, 0.2f},  {2, 1.0f, 1.0f, 0.2f},
    {3, 0.7f, 0.7f, 0.7f},   {4, 0.8f, 0.0f, 0.0f},  {6, 0.3f, 0.3f, 0.3f},
    {42, 1.0f, 1.0f, 1.0f},  {61, 1.0f, 1.0f, 1.0f}, {66, 0.25f, 0.5f, 1.0f}, // selection
    {77, 1.0f, 0.8f, 0.2f},  // highlighted step of the wizard's step list
    {104, 0.3f, 0.8f, 0.3f}, // tiles of the world map
    {113, 1.0f, 1.0f, 1.0f},
};

uint8_t gamma_entry(int i, float exponent) {
    double v = 255.0 * std::pow(i / 255.0, static_cast<double>(exponent)) + 0.5;
    return static_cast<uint8_t>(v);
}

} // namespace

colour_settings_record::colour_settings_record() {
    std::memset(static_cast<void*>(this), 0, sizeof *this);
    for (const auto& d : default_slots) {
        slots[d.slot][0] = d.r;
        slots[d.slot][1] = d.g;
        slots[d.slot][2] = d.b;
    }
    for (int i = 0; i < 3; ++i)
        light[i] = spare_factors[i] = 1.0f;
    OGL_build_colour_ramp(*this, 0);
    gamma = 2.2f;
    OGL_build_gamma_tables(*this);
}

void OGL_build_gamma_tables(colour_settings_record& cs) {
    for (int i = 0; i < 256; ++i) {
        cs.gamma_a[i] = gamma_entry(i, 1.8f / cs.gamma);
        cs.gamma_b[i] = gamma_entry(i, 2.2f / cs.gamma);
    }
}

void OGL_set_colour_slot(int slot, float r, float g, float b) {
    colour_settings.slots[slot][0] = r;
    colour_settings.slots[slot][1] = g;
    colour_settings.slots[slot][2] = b;
}

void OGL_build_colour_ramp(colour_settings_record& cs, int mode) {
    static const float keys[6][3] = {{1, 0, 0}, {1, 0.32f, 0.08f}, {1, 1, 0},
                                     {0, 1, 0}, {0, 0, 1},         {0.8f, 0, 0.8f}};
    for (int i = 0; i < 1000; ++i) {
        float t = i / 1000.0f;
        float* c = cs.ramp[i];
        switch (mode) {
        case 0: {
            int s = t < 0.2f ? 0 : t < 0.4f ? 1 : t < 0.6f ? 2 : t < 0.8f ? 3 : 4;
            float f = (t - 0.2f * s) * 5.0f;
            for (int k = 0; k < 3; ++k)
                c[k] = keys[s + 1][k] * f + keys[s][k] * (1.0f - f);
            break;
        }
        case 1:
            c[0] = t, c[1] = 0, c[2] = 0;
            break;
        case 2:
            c[0] = 0, c[1] = t, c[2] = 0;
            break;
        case 3:
            c[0] = 0, c[1] = 0, c[2] = t;
            break;
        default:
            break;
        }
    }
}

void OGL_build_colour_ramp(int mode) { OGL_build_colour_ramp(colour_settings, mode); }
