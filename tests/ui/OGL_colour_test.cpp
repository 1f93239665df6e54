// Colour settings and the colour adjustments of the state cache.
#include <gtest/gtest.h>

#include "ui/OGL_colour_settings.h"
#include "ui/OGL_state.h"

namespace {

void expect_rgb(const float* c, float r, float g, float b, float tolerance = 1e-5f) {
    EXPECT_NEAR(c[0], r, tolerance);
    EXPECT_NEAR(c[1], g, tolerance);
    EXPECT_NEAR(c[2], b, tolerance);
}

TEST(ColourTest, FadeAndMonochromeAdjustments) {
    colour_settings_record cs;
    struct {
        const char* what;
        float fade;
        int mono;
        float in[3];
        float out[3];
    } cases[] = {
        {"fade 0.25", 0.25f, 0, {0.2f, 0.4f, 0.6f}, {0.6f, 0.2f, 0.3f}},
        {"fade 0.5 reaches red", 0.5f, 0, {0.2f, 0.4f, 0.6f}, {1.0f, 0.0f, 0.0f}},
        {"fade beyond 0.5 stops at red", 0.9f, 0, {0.1f, 0.1f, 0.1f}, {0.3f, 0.0f, 0.0f}},
        {"fade of black keeps the 0.01 floor", 1.0f, 0, {0.0f, 0.0f, 0.0f}, {0.01f, 0.0f, 0.0f}},
        {"fade wins over monochrome", 0.5f, 1, {0.1f, 0.1f, 0.1f}, {0.3f, 0.0f, 0.0f}},
        {"monochrome", 0.0f, 1, {0.5f, 0.5f, 0.5f}, {0.0f, 1.0f, 0.0f}},
        {"monochrome of a dark colour", 0.0f, 1, {0.1f, 0.0f, 0.1f}, {0.0f, 0.2f, 0.0f}},
        {"neither", 0.0f, 0, {0.1f, 0.2f, 0.3f}, {0.1f, 0.2f, 0.3f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        cs.fade = c.fade;
        cs.monochrome = c.mono;
        float rgb[3] = {c.in[0], c.in[1], c.in[2]};
        OGL_adjust_colour(cs, &rgb[0], &rgb[1], &rgb[2], nullptr, 1);
        expect_rgb(rgb, c.out[0], c.out[1], c.out[2]);
    }
}

TEST(ColourTest, InterfaceColoursSkipTheLightFactors) {
    colour_settings_record cs;
    cs.light[0] = 0.5f;
    cs.light[1] = 0.25f;
    cs.light[2] = 0.0f;
    cs.slots[10][0] = cs.slots[10][1] = cs.slots[10][2] = 0.8f;
    float rgb[3];
    OGL_palette_colour(cs, 61, rgb);
    expect_rgb(rgb, 1.0f, 1.0f, 1.0f);
    OGL_palette_colour(cs, 43, rgb);
    expect_rgb(rgb, cs.slots[43][0], cs.slots[43][1], cs.slots[43][2]);
    OGL_palette_colour(cs, 10, rgb);
    expect_rgb(rgb, 0.4f, 0.2f, 0.0f);
    OGL_palette_colour(cs, 42, rgb); // the last index below the interface colours
    expect_rgb(rgb, 0.5f, 0.25f, 0.0f);
    OGL_palette_colour(cs, 115, rgb);
    expect_rgb(rgb, 0.0f, 0.0f, 0.0f);
}

TEST(ColourTest, ConstructorDefaultsRampAndGammaTables) {
    colour_settings_record cs;
    // The slots that no start-up step sets must be visible where the interface draws with them.
    for (int slot : {61, 66, 77, 104, 113})
        EXPECT_GT(cs.slots[slot][0] + cs.slots[slot][1] + cs.slots[slot][2], 0.5f) << slot;
    EXPECT_EQ(cs.light[0] * cs.light[1] * cs.light[2], 1.0f);

    expect_rgb(cs.ramp[0], 1.0f, 0.0f, 0.0f);
    expect_rgb(cs.ramp[999], 0.796f, 0.0f, 0.801f, 1e-4f);
    expect_rgb(cs.ramp[200], 1.0f, 0.32f, 0.08f, 1e-4f); // the second key colour
    expect_rgb(cs.ramp[700], 0.0f, 0.5f, 0.5f, 1e-4f);   // half-way from green to blue

    EXPECT_EQ(cs.gamma, 2.2f);
    EXPECT_EQ(cs.gamma_a[0], 0);
    EXPECT_EQ(cs.gamma_a[255], 255);
    EXPECT_EQ(cs.gamma_b[0], 0);
    EXPECT_EQ(cs.gamma_b[255], 255);
    for (int i = 1; i < 256; ++i) {
        EXPECT_LE(cs.gamma_a[i - 1], cs.gamma_a[i]);
        EXPECT_EQ(cs.gamma_b[i], i) << "exponent 1 keeps every entry"; // 2.2 / 2.2
    }
    EXPECT_GT(cs.gamma_a[128], 128); // 1.8 / 2.2 < 1 lifts the middle
}

TEST(ColourTest, RampModesAndSlots) {
    colour_settings_record cs;
    OGL_build_colour_ramp(cs, 1);
    expect_rgb(cs.ramp[500], 0.5f, 0.0f, 0.0f);
    OGL_build_colour_ramp(cs, 2);
    expect_rgb(cs.ramp[250], 0.0f, 0.25f, 0.0f);
    OGL_build_colour_ramp(cs, 3);
    expect_rgb(cs.ramp[999], 0.0f, 0.0f, 0.999f);
    OGL_build_colour_ramp(cs, 7); // not a mode: the ramp stays
    expect_rgb(cs.ramp[999], 0.0f, 0.0f, 0.999f);

    float saved[3] = {colour_settings.slots[93][0], colour_settings.slots[93][1],
                      colour_settings.slots[93][2]};
    OGL_set_colour_slot(93, 0.1f, 0.2f, 0.3f);
    expect_rgb(colour_settings.slots[93], 0.1f, 0.2f, 0.3f);
    OGL_set_colour_slot(93, saved[0], saved[1], saved[2]);
}

} // namespace
