// The toolkit's GL layer in a real window on Mesa: multisampling, the real probe and its entry points, the
// state cache, texture units and combiner recipes, the second window and the display queries. Needs an X
// display (tools/test.sh runs Xvfb).
#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <regex>
#include <sstream>

#include "base/DREF_registry.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "gui_harness.h"
#include "platform/WIN_display.h"
#include "platform/WIN_window.h"
#include "support/test_support.h"
#include "ui/OGL_extensions.h"
#include "ui/OGL_state.h"
#include "ui/OGL_texture_unit.h"
#include "ui/WIN_window_table.h"
#include "ui/screen_state.h"

namespace {

void drain_gl_errors() {
    while (glGetError() != GL_NO_ERROR) {
    }
}

// Window 0 made through the window table, with the real probe run, and a log in a temporary folder.
class GlGuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!gui::have_display())
            GTEST_SKIP() << "no X display (tools/test.sh runs the window tests under Xvfb)";
        FILE_open_ofstream(LOG_stream, dir.file("log.txt"), std::ios_base::out, 0);
        LOG_stream << std::fixed;
        screen_state = screen_state_record();
        OGL_capabilities = OGL_capabilities_record();
        OGL_set_driver(nullptr);
        OGL_reset_state_cache();
        OGL_reset_unit_cache();
        WIN_set_multisample(0);
    }
    void TearDown() override {
        if (WIN_table_window(0)) {
            WIN_second_monitor_mode(1);
            WIN_destroy_window(0);
        }
        OPT_parse_only("");
        LOG_stream.close();
    }
    // Opens window 0 and probes; the options apply to both.
    void open_window(const char* options = "") {
        OPT_parse_only(options);
        ASSERT_TRUE(WIN_create_window(0));
        OGL_capabilities.OGL_probe();
        drain_gl_errors();
    }
    std::string log() {
        LOG_stream.flush();
        return test::read_file(dir.file("log.txt"));
    }

    test::TempDir dir;
};

// A completion that wakes the loop while a frame runs, after the frame took the previous wake, queues a
// wake of its own, so the next frame does not wait for input.
TEST_F(GlGuiTest, AWakeDuringAFrameIsQueuedForTheNextFrame) {
    open_window();
    static int queued = -1;
    WIN_pump_once([] { return 1; }, [] { return 1; }); // whatever earlier tests left
    WIN_wake_loop();
    WIN_pump_once([] { return 1; },
                  [] {
                      WIN_wake_loop();
                      queued = SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_USEREVENT, SDL_USEREVENT);
                      return 1;
                  });
    EXPECT_EQ(queued, 1);
    WIN_pump_once([] { return 1; }, [] { return 1; });
}

TEST_F(GlGuiTest, MultisampleLevelFourObtainsLevelTwoWithFourSamples) {
    std::string glx;
    platform_callbacks_view view;
    static std::string* sink;
    sink = &glx;
    view.log_text = [](const char* t) { *sink += t; };
    WIN_set_platform_callbacks(&view);

    struct {
        int requested, obtained, samples;
    } cases[] = {{4, 2, 4}, {2, 2, 4}, {0, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.requested);
        WIN_set_multisample(c.requested);
        WIN_window* w = WIN_create_window_gl(0, 0, 64, 64, 64, 64, 0, nullptr);
        ASSERT_NE(w, nullptr);
        GLint samples = -1;
        glGetIntegerv(GL_SAMPLES, &samples);
        EXPECT_EQ(samples, c.samples);
        EXPECT_EQ(WIN_get_multisample(), c.obtained);
        WIN_destroy_window_gl(w);
    }
    WIN_set_platform_callbacks(nullptr);
    EXPECT_NE(glx.find("GLX_ARB_multisample"), std::string::npos);
    EXPECT_EQ(glx.back(), '\n');
}

TEST_F(GlGuiTest, RealProbePassesAndLogsItsBlock) {
    open_window();
    std::string text = log();
    size_t start = text.find("\nOpenGL Vendor    : ");
    ASSERT_NE(start, std::string::npos) << text;
    std::istringstream in(text.substr(start + 1));
    const char* patterns[] = {
        "OpenGL Vendor    : .+",
        "OpenGL Render    : .+",
        "OpenGL Version   : .+ \\(\\d+/\\d+\\)",
        "OpenGL Extensions: (GL_\\w+ )+",
        "",
        "threaded_avail   : 0\tdis_fog_avail    : [01]\tinstance_avail   : [01]\tpbo_avail        : [01]",
        "aniso_avail      : [01]\tgshader_avail    : [01]\tbuniform_avail   : [01]\tshad_lod_avail   : [01]",
        "gpu_shad4_avail  : [01]\tframebuf_avail   : [01]\tframeblit_avail  : [01]\tdrawbuf2_avail   : [01]",
        "tex_float_avail  : [01]\tpacked_stencil   : [01]\ttexture_rg       : [01]\tframebuffer_srgb : [01]",
        "copy_buf_avail   : [01]\tpinned_avail     : [01]\tsync/fence       : (0|1|apple)",
        "max tex units    : \\d+ \\(\\d+/\\d+\\)",
        "max iso filtering: \\d+\\.\\d+",
        "max texture size : \\d+ \\(hardware limit\\)",
        "max point size   : \\d+\\.\\d+",
        "idx in vram      : 1",
        "GLSL Version     :.+/\\d+",
        "first-gen shaders: [01]",
        "\\((\\d+/){5}\\d+\\)",
        "This video card is: (First-generation DX9|Later-generation DX9|DX10 - No instancing|DX10 or 11 - "
        "With "
        "instancing)( \\(found glMapBufferRange\\))?",
    };
    for (const char* p : patterns) {
        std::string line;
        ASSERT_TRUE(std::getline(in, line)) << p;
        EXPECT_TRUE(std::regex_match(line, std::regex(p))) << line << "\n  against " << p;
    }
    EXPECT_EQ(text.find("WARNING"), std::string::npos);
    const OGL_capabilities_record& c = OGL_capabilities;
    EXPECT_EQ(c.threaded_avail, 0);
    EXPECT_GE(c.max_tex_units, c.max_image_units);
    EXPECT_NE(OGL_proc::glActiveTextureARB, nullptr);
    EXPECT_NE(c.glUniformMatrix4x3fv, nullptr);
}

// Under GLX a made-up name still resolves; the framebuffer calls must be the real EXT entry points, not
// do-nothing stubs for an invented ARB spelling.
TEST_F(GlGuiTest, FramebufferBlendAndMipmapEntryPointsWork) {
    open_window();
    const OGL_capabilities_record& c = OGL_capabilities;
    ASSERT_TRUE(c.framebuf_avail);
    GLuint fbo = 0;
    c.glGenFramebuffersEXT(1, &fbo);
    ASSERT_NE(fbo, 0u);
    c.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo);
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(bound, static_cast<GLint>(fbo));
    c.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    c.glDeleteFramebuffersEXT(1, &fbo);

    c.glBlendFuncSeparateEXT(GL_ONE, GL_ZERO, GL_ZERO, GL_ONE);
    GLint src_rgb = 0, dst_alpha = 0;
    glGetIntegerv(GL_BLEND_SRC_RGB, &src_rgb);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &dst_alpha);
    EXPECT_EQ(src_rgb, GL_ONE);
    EXPECT_EQ(dst_alpha, GL_ONE);

    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    const unsigned char pixels[4 * 4 * 4] = {};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    c.glGenerateMipmapEXT(GL_TEXTURE_2D);
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 1);
    glDeleteTextures(1, &tex);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

struct gl_state_view {
    int blend, alpha, depth_off, depth_write_off, fog_off, lighting_off;
};

gl_state_view read_gl_state() {
    GLboolean mask = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    return {glIsEnabled(GL_BLEND) ? 1 : 0,      glIsEnabled(GL_ALPHA_TEST) ? 1 : 0,
            glIsEnabled(GL_DEPTH_TEST) ? 0 : 1, mask ? 0 : 1,
            glIsEnabled(GL_FOG) ? 0 : 1,        (glIsEnabled(GL_LIGHTING) || glIsEnabled(GL_LIGHT0)) ? 0 : 1};
}

TEST_F(GlGuiTest, StateCacheFollowsRandomRequestsExactly) {
    open_window();
    const int real_units = OGL_capabilities.max_tex_units;
    std::mt19937 rng(20240607);
    OGL_reset_state_cache();
    int model_units = 0; // a fresh context has no unit enabled
    for (int max_units : {4, real_units}) {
        SCOPED_TRACE(max_units);
        OGL_capabilities.max_tex_units = max_units;
        for (int step = 0; step < 300; ++step) {
            int no_fog = rng() % 2, units = rng() % 13, no_light = rng() % 2, blend = rng() % 4;
            int no_depth = rng() % 2, no_write = rng() % 2;
            OGL_set_state(no_fog, units, no_light, blend, no_depth, no_write);
            if (units != model_units)
                model_units = std::min(units, max_units);
            OGL_state_cache c = OGL_get_state_cache();
            gl_state_view g = read_gl_state();
            SCOPED_TRACE(step);
            ASSERT_EQ(c.blend_on, g.blend);
            ASSERT_EQ(c.alpha_test_on, g.alpha);
            ASSERT_EQ(c.depth_test_off, g.depth_off);
            ASSERT_EQ(c.depth_write_off, g.depth_write_off);
            ASSERT_EQ(c.fog_off, g.fog_off);
            ASSERT_EQ(c.lighting_off, g.lighting_off);
            ASSERT_EQ(c.tex_units, model_units);
            GLint active = 0;
            glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
            ASSERT_EQ(active, GL_TEXTURE0);
            for (int u = 0; u < 8; ++u) {
                OGL_proc::glActiveTextureARB(GL_TEXTURE0 + u);
                ASSERT_EQ(glIsEnabled(GL_TEXTURE_2D) ? 1 : 0, u < std::min(model_units, 8) ? 1 : 0)
                    << "unit " << u;
            }
            OGL_proc::glActiveTextureARB(GL_TEXTURE0);
            ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        }
    }
}

TEST_F(GlGuiTest, TextureUnitBindingsFollowTheModel) {
    open_window();
    DREF_var& kill_tex = OGL_texture_unit_register_vars();
    EXPECT_EQ(&kill_tex, &OGL_texture_unit_register_vars());
    EXPECT_STREQ(kill_tex.name, "perf/kill_tex");
    EXPECT_EQ(kill_tex.own_value, 0u);

    const int modes[] = {0,  GL_REPLACE, GL_DECAL, GL_ADD, GL_BLEND, 0x21, 1,  2,  3,  4,  5,
                         6,  14,         15,       16,     17,       18,   19, 20, 21, 22, 23,
                         24, 25,         26,       27,     28,       29,   30, 31, 32};
    const int names[] = {5, 6, 7, 8, 1021};
    int model_name[8], model_mode[8];
    for (int u = 0; u < 8; ++u) {
        model_name[u] = 0;
        model_mode[u] = GL_MODULATE;
    }
    std::mt19937 rng(77);
    for (int step = 0; step < 400; ++step) {
        SCOPED_TRACE(step);
        if (step == 200)
            kill_tex.own_value = 1;
        if (rng() % 10 == 0) {
            OGL_reset_unit_cache();
        } else {
            int name = names[rng() % 5], unit = rng() % 8, mode = modes[rng() % 31];
            OGL_bind_texture_unit(name, unit, mode, GL_TEXTURE_2D);
            model_name[unit] = (kill_tex.own_value != 0 && name != 1021) ? 3 : name;
            if (mode != 0x21)
                model_mode[unit] = mode == 0 ? GL_MODULATE : (mode < 33 ? GL_COMBINE : mode);
        }
        GLint active = 0;
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        ASSERT_EQ(active, GL_TEXTURE0);
        for (int u = 0; u < 8; ++u) {
            OGL_proc::glActiveTextureARB(GL_TEXTURE0 + u);
            GLint bound = -1, env_mode = -1;
            glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
            glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env_mode);
            ASSERT_EQ(bound, model_name[u]) << "unit " << u;
            ASSERT_EQ(env_mode, model_mode[u]) << "unit " << u;
        }
        OGL_proc::glActiveTextureARB(GL_TEXTURE0);
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    kill_tex.own_value = 0;
}

TEST_F(GlGuiTest, CombinerRecipesGiveTheirColours) {
    open_window();
    glViewport(0, 0, 8, 8);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    const unsigned char texel[4] = {64, 128, 192, 128}; // (0.25, 0.5, 0.75, 0.5)
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    const GLfloat quarter[4] = {0.25f, 0.25f, 0.25f, 1.0f};

    struct {
        int mode;
        int rgb[3];
    } cases[] = {
        {GL_REPLACE, {64, 128, 192}}, // the texel
        {0, {32, 32, 24}},            // modulate: primary x texel
        {1, {191, 192, 224}},         // add
        {24, {96, 96, 112}},          // texel and primary mixed by the texel's alpha
        {5, {128, 64, 32}},           // primary x constant, scaled by 4
        {14, {32, 32, 24}},
    };
    OGL_set_state(1, 1, 1, 0, 1, 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        OGL_bind_texture_unit(static_cast<int>(tex), 0, c.mode, GL_TEXTURE_2D);
        glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, quarter);
        glColor4f(0.5f, 0.25f, 0.125f, 1.0f);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(-1, -1);
        glTexCoord2f(0, 1);
        glVertex2f(-1, 1);
        glTexCoord2f(1, 1);
        glVertex2f(1, 1);
        glTexCoord2f(1, 0);
        glVertex2f(1, -1);
        glEnd();
        unsigned char px[4] = {};
        glReadPixels(4, 4, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(px[k], c.rgb[k], 2) << "channel " << k;
    }
    glDeleteTextures(1, &tex);
    OGL_reset_unit_cache();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GlGuiTest, SecondMonitorModeTwiceMakesOneSecondWindow) {
    open_window();
    static int reloads;
    reloads = 0;
    const WIN_second_window_hook toolkits = WIN_set_second_window_hook([] { ++reloads; });
    const std::string search = "search --pid " + std::to_string(getpid()) + " --name '^Sim-Root$'";
    auto count_windows = [&] {
        std::string ids = gui::xdotool(search);
        return ids.empty() ? 0 : 1 + static_cast<int>(std::count(ids.begin(), ids.end(), '\n'));
    };
    EXPECT_EQ(count_windows(), 1);
    EXPECT_EQ(WIN_second_monitor_mode(-1), 1);
    WIN_second_monitor_mode(2);
    WIN_second_monitor_mode(2);
    EXPECT_EQ(WIN_second_monitor_mode(-1), 2);
    EXPECT_NE(WIN_table_window(1), nullptr);
    EXPECT_EQ(count_windows(), 2);
    EXPECT_EQ(reloads, 1);
    // Window 0's context is current again.
    EXPECT_NE(WIN_get_gl_context(WIN_table_window(0)), nullptr);
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    WIN_second_monitor_mode(1);
    EXPECT_EQ(WIN_table_window(1), nullptr);
    EXPECT_EQ(count_windows(), 1);
    WIN_set_second_window_hook(toolkits); // the tests after this one (or a repeated run) keep the toolkit's
}

TEST_F(GlGuiTest, MonitorOffsetIsIgnoredWhileTheScreenWidthIsKnown) {
    open_window("--monitor_offset_x=100 --monitor_offset_y=30");
    std::string id = gui::xdotool("search --pid " + std::to_string(getpid()) + " --name '^Sim-Root$'");
    std::string geometry = gui::xdotool("getwindowgeometry " + id);
    EXPECT_NE(geometry.find("Position: 240,212"), std::string::npos) << geometry;
    EXPECT_EQ(screen_state.drawable_width, 800);
    EXPECT_EQ(screen_state.drawable_height, 600);
}

TEST_F(GlGuiTest, DisplayModesAndMonitors) {
    WIN_register_classes();
    int w = 0, h = 0, bits = 0, rate = -1;
    WIN_get_display_mode(&w, &h, &bits, &rate);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 1024);
    EXPECT_EQ(bits, 24);
    // X11 reports 24 bits where the toolkit asks for 32.
    EXPECT_TRUE(WIN_monitor_set_mode(0, 1280, 1024, 32, rate));
    EXPECT_TRUE(WIN_set_display_mode(1280, 1024, 24, rate));
    EXPECT_FALSE(WIN_set_display_mode(800, 600, 32, rate));
    EXPECT_TRUE(WIN_set_display_mode(0, 0, 0, 0));

    WIN_monitor_record m;
    EXPECT_TRUE(WIN_monitor_info(m, 0));
    EXPECT_FALSE(m.name.empty());
    EXPECT_EQ(m.monitor.right - m.monitor.left, 1280);
    EXPECT_EQ(m.flags, 1);
    EXPECT_FALSE(WIN_monitor_info(m, 1));
    EXPECT_TRUE(m.name.empty());
    EXPECT_FALSE(WIN_monitor_info(m, -1));
}

} // namespace
