// The view, the drawing primitives, the scissor stack, presenting and text drawing in a real window.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "base/DREF_registry.h"
#include "base/LANG_localise.h"
#include "platform/WIN_resource.h"
#include "ui/OGL_font.h"
#include "ui/OGL_view.h"
#include "ui_gui_fixture.h"

namespace {

using uitest::palette;
using uitest::pixel;
using uitest::rgb;

class OglViewGuiTest : public uitest::GuiFixture {};

void expect_matrix_eq(const float* a, const float* b) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a[i], b[i], 1e-5f * std::max(1.0f, std::fabs(b[i]))) << "element " << i;
}

TEST_F(OglViewGuiTest, OrthoAndFrustumMatricesEqualThoseOfOpenGl) {
    struct Box {
        float l, r, b, t, n, f;
    } boxes[] = {{0, 800, 0, 600, 0.5f, 1}, {-3, 7, 2, 9, 0.5f, 100}, {-1, 1, -0.75f, 0.75f, 1, 10}};
    OGL_view_vars vars = OGL_view_register_vars();
    for (const Box& c : boxes) {
        SCOPED_TRACE(c.r);
        float gl[16];
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(c.l, c.r, c.b, c.t, c.n, c.f);
        glGetFloatv(GL_PROJECTION_MATRIX, gl);
        OGL_view.ortho(c.l, c.r, c.b, c.t, c.n, c.f);
        EXPECT_EQ(OGL_view.is_ortho, 1);
        expect_matrix_eq(OGL_view.projection, gl);
        EXPECT_EQ(OGL_view.near_neg, -c.n);
        EXPECT_EQ(OGL_view.far_neg, -c.f);

        glLoadIdentity();
        glFrustum(c.l, c.r, c.b, c.t, c.n, c.f);
        glGetFloatv(GL_PROJECTION_MATRIX, gl);
        OGL_view.frustum(c.l, c.r, c.b, c.t, c.n, c.f);
        EXPECT_EQ(OGL_view.is_ortho, 0);
        expect_matrix_eq(OGL_view.projection, gl);

        // "perf/kill_clip": the matrix of a frustum whose top is 55 % of the way up.
        vars.kill_clip.own_value = 1;
        glLoadIdentity();
        glFrustum(c.l, c.r, c.b, c.b + 0.55f * (c.t - c.b), c.n, c.f);
        glGetFloatv(GL_PROJECTION_MATRIX, gl);
        OGL_view.frustum(c.l, c.r, c.b, c.t, c.n, c.f);
        expect_matrix_eq(OGL_view.projection, gl);
        vars.kill_clip.own_value = 0;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(OglViewGuiTest, UiViewCentresTheLayoutAndLoadsTheDrawableView) {
    struct Case {
        int screen, w, h;
        float ox, oy;
    } cases[] = {
        {0, 800, 600, 0, 0}, {0, 1280, 1024, 128, 256}, {5, 1280, 1024, 128, 256}, {-1, 1280, 1024, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.screen << " " << c.w << "x" << c.h);
        screen_state.screen_id = c.screen;
        screen_state.drawable_width = c.w;
        screen_state.drawable_height = c.h;
        screen_state.ui_scale = 2.0f;
        OGL_view.dirty = 1;
        OGL_setup_ui_view(7);
        EXPECT_EQ(screen_state.layout_offset_x, c.ox);
        EXPECT_EQ(screen_state.layout_offset_y, c.oy);
        EXPECT_EQ(screen_state.layout_centre_x, c.w * 0.5f);
        EXPECT_EQ(screen_state.layout_centre_y, 384.0f);
        EXPECT_EQ(screen_state.ui_scale, 1.0f);
        EXPECT_EQ(screen_state.view_right, static_cast<float>(c.w));
        EXPECT_EQ(screen_state.view_top, static_cast<float>(c.h));
        EXPECT_EQ(OGL_view.dirty, c.screen >= 0 ? 0 : 1);
        if (c.screen >= 0) {
            GLint vp[4];
            glGetIntegerv(GL_VIEWPORT, vp);
            EXPECT_EQ(vp[2], c.w);
            EXPECT_EQ(vp[3], c.h);
        }
    }
}

TEST_F(OglViewGuiTest, ScreenViewSetUpTakesTheScreenRectangle) {
    screen_state.view_left = 0;
    screen_state.view_bottom = 0;
    screen_state.view_right = 400;
    screen_state.view_top = 300;
    OGL_setup_view(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0, 1);
    float gl[16];
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 400, 0, 300, -1, 1);
    glGetFloatv(GL_PROJECTION_MATRIX, gl);
    glPopMatrix();
    expect_matrix_eq(OGL_view.projection, gl);
    float loaded[16];
    glGetFloatv(GL_PROJECTION_MATRIX, loaded);
    expect_matrix_eq(loaded, gl);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], screen_state.drawable_width);
    EXPECT_EQ(OGL_view.dirty, 0);
}

TEST_F(OglViewGuiTest, ScissorStackIntersectsRestoresAndDisables) {
    screen_state.origin_x = 10.5f;
    screen_state.origin_y = 20.0f;
    auto box = [] {
        GLint b[4];
        glGetIntegerv(GL_SCISSOR_BOX, b);
        return std::vector<int>{b[0], b[1], b[2], b[3]};
    };
    OGL_push_scissor(0, 0, 100, 50);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    const std::vector<int> outer = {10, 20, 100, 50};
    EXPECT_EQ(box(), outer);
    OGL_push_scissor(50, 10, 200, 40);
    EXPECT_EQ(box(), (std::vector<int>{60, 30, 50, 30}));
    OGL_push_scissor(300, 300, 400, 400); // no overlap with the box above
    std::vector<int> empty = box();
    EXPECT_EQ(empty[2], 0);
    EXPECT_EQ(empty[3], 0);
    EXPECT_EQ(OGL_scissor_depth(), 3);
    OGL_pop_scissor();
    OGL_pop_scissor();
    EXPECT_EQ(box(), outer) << "a pop restores the outer box exactly";
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    OGL_pop_scissor();
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(OGL_scissor_depth(), 0);
    OGL_pop_scissor(); // an extra pop does nothing
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

TEST_F(OglViewGuiTest, RectanglesAndLinesLandOnTheirPixelsAfterTheOrigin) {
    screen_state.origin_x = 100.0f;
    screen_state.origin_y = 50.0f;
    OGL_draw_rect(44, 1.0f, 10, 20, 30, 40);
    const rgb c = palette(44);
    EXPECT_EQ(pixel(110, 70), c);
    EXPECT_EQ(pixel(139, 109), c);
    EXPECT_EQ(pixel(140, 90), uitest::background);
    EXPECT_EQ(pixel(120, 110), uitest::background);
    EXPECT_EQ(pixel(109, 90), uitest::background);

    OGL_draw_line(45, 1.0f, 0, 0, 10, 0); // from (100.5, 50.5) to (110.5, 50.5)
    const rgb l = palette(45);
    for (int x = 100; x < 110; ++x)
        EXPECT_EQ(pixel(x, 50), l) << x;
    EXPECT_EQ(pixel(110, 50), uitest::background);
    EXPECT_EQ(pixel(99, 50), uitest::background);
    EXPECT_EQ(pixel(105, 51), uitest::background);
    EXPECT_EQ(pixel(105, 49), uitest::background);
}

TEST_F(OglViewGuiTest, UntexturedAtlasQuadLeavesTheBindingsAlone) {
    GLuint name = 0;
    glGenTextures(1, &name);
    OGL_bind_texture_unit(static_cast<int>(name), 0, 0, GL_TEXTURE_2D);
    const OGL_quad_corner q[4] = {{5, 5, 0, 0}, {5, 15, 0, 1}, {15, 15, 1, 1}, {15, 5, 1, 0}};
    OGL_draw_atlas_quad(0, 46, 1.0f, q, 0, 1, 0);
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, static_cast<GLint>(name));
    EXPECT_EQ(pixel(10, 10), palette(46));
    glDeleteTextures(1, &name);
    OGL_reset_unit_cache();
}

TEST_F(OglViewGuiTest, ClearViewFillsTheLogicalViewFromItsCorner) {
    // A view of 200 x 100 whose corner stands at (30, 40) in the window: only its own pixels change.
    screen_state.origin_x = 30.0f;
    screen_state.origin_y = 40.0f;
    screen_state.view_width = 200.0f;
    screen_state.view_height = 100.0f;
    OGL_clear_view();
    EXPECT_EQ(pixel(30, 40), palette(43));
    EXPECT_EQ(pixel(229, 139), palette(43));
    for (const auto& [x, y] : {std::pair{0, 0}, {29, 40}, {30, 39}, {230, 100}, {100, 140}, {25, 20}})
        EXPECT_EQ(pixel(x, y), uitest::background) << x << ", " << y;
}

TEST_F(OglViewGuiTest, BlendTableSlots) {
    OGL_blend_table[0]();
    GLint dst = 0;
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(dst, GL_ONE);
    EXPECT_EQ(OGL_blend_is_additive(), 1);
    OGL_blend_table[1]();
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(OGL_blend_is_additive(), 0);
}

TEST_F(OglViewGuiTest, SwapSetsWhiteAdjustedLikeTheUiColours) {
    struct Case {
        float fade;
        int mono;
        float r, g, b;
    } cases[] = {{0, 0, 1, 1, 1}, {0.25f, 0, 1, 0.5f, 0.5f}, {0.75f, 1, 1, 0, 0}, {0, 1, 0, 1, 0}};
    double total = OGL_swap_time_total();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fade);
        colour_settings.fade = c.fade;
        colour_settings.monochrome = c.mono;
        OGL_swap_buffers();
        float cur[4];
        glGetFloatv(GL_CURRENT_COLOR, cur);
        EXPECT_FLOAT_EQ(cur[0], c.r);
        EXPECT_FLOAT_EQ(cur[1], c.g);
        EXPECT_FLOAT_EQ(cur[2], c.b);
        EXPECT_GE(OGL_swap_time_total(), total);
        total = OGL_swap_time_total();
    }
    EXPECT_GT(total, 0.0);
}

// Text drawing with the real fonts.
class OglTextGuiTest : public uitest::GuiFixture {
  protected:
    // Pixels that are not background inside a box.
    static int ink(int x0, int y0, int x1, int y1) {
        uitest::frame f = uitest::read_frame();
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += !(f.at(x, y) == uitest::background);
        return n;
    }
};

TEST_F(OglTextGuiTest, BlanksAsTheFirstTextOfAFontDrawNothingAndDoNotFail) {
    font_record& font = *OGL_get_font(1);
    ASSERT_EQ(font.atlas_height, 0);
    EXPECT_EQ(OGL_draw_string(47, 100, 100, "   ", 9999, 1, 0, 1.0f), 100.0f);
    EXPECT_EQ(font.atlas_height, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(ink(0, 0, 800, 600), 0);
    EXPECT_EQ(OGL_draw_string(47, 100, 100, "A", 9999, 1, 0, 1.0f), 100.0f);
    EXPECT_GT(font.atlas_height, 0);
    EXPECT_EQ(font.dirty, 0);
    EXPECT_GT(ink(95, 95, 115, 115), 10);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(OglTextGuiTest, WithoutWrappingEveryLineRestartsAtTheSamePlace) {
    EXPECT_EQ(OGL_draw_string(47, 50, 300, "Hg", 9999, 0, 0, 1.0f), 300.0f);
    const uitest::frame once = uitest::read_frame();
    uitest::clear_to_black();
    EXPECT_EQ(OGL_draw_string(47, 50, 300, "Hg\nHg\r\nHg", 0, 0, 0, 1.0f), 300.0f);
    const uitest::frame thrice = uitest::read_frame();
    // Blending makes the overdrawn edges denser, but the same pixels are touched.
    int inked = 0;
    for (int y = 0; y < once.height; ++y)
        for (int x = 0; x < once.width; ++x) {
            const bool a = !(once.at(x, y) == uitest::background),
                       b = !(thrice.at(x, y) == uitest::background);
            ASSERT_EQ(a, b) << x << "," << y;
            inked += a;
        }
    EXPECT_GT(inked, 10);
    EXPECT_GT(ink(40, 290, 80, 320), 10);
}

TEST_F(OglTextGuiTest, WrappedTextMovesDownALineStepPerLineAndAlignmentUsesTheLineWidth) {
    screen_state.origin_x = 20.0f;
    screen_state.origin_y = 30.0f;
    const size_t lines = OGL_layout_string("one two three", 40, 0).size();
    EXPECT_GE(lines, 2u);
    EXPECT_EQ(OGL_draw_string(47, 100, 400, "one two three", 40, 0, 0, 1.0f),
              400.0f - OGL_line_step(0) * lines);
    EXPECT_EQ(OGL_draw_string(47, 100, 400, "", 40, 0, 0, 1.0f), 400.0f);
    EXPECT_GT(ink(120, 420, 200, 450), 10) << "drawn after the origin";
    screen_state.origin_x = screen_state.origin_y = 0.0f;
    // Right-aligned text ends at x (give or take the fractions the truncated widths leave out); centred text
    // straddles it.
    uitest::clear_to_black();
    OGL_draw_string(47, 300, 200, "Right", 9999, 0, 2, 1.0f);
    EXPECT_GT(ink(270, 195, 300, 215), 10);
    EXPECT_EQ(ink(306, 190, 400, 220), 0);
    uitest::clear_to_black();
    OGL_draw_string(47, 300, 200, "Centre", 9999, 0, 1, 1.0f);
    EXPECT_GT(ink(280, 195, 300, 215), 5);
    EXPECT_GT(ink(300, 195, 320, 215), 5);
    // The fixed-width modes step by 6, 8 and 10 whatever the glyph.
    for (int mode : {2, 3, 4}) {
        SCOPED_TRACE(mode);
        uitest::clear_to_black();
        OGL_draw_string(47, 100, 100, "WWWWWWWWWW", 9999, mode, 0, 1.0f);
        const int last = 100 + 9 * (mode == 2 ? 6 : mode == 3 ? 8 : 10);
        EXPECT_GT(ink(last, 95, last + 4, 115), 0);
        EXPECT_EQ(ink(last + 16, 90, 800, 120), 0);
    }
}

} // namespace
