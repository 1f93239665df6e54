// Textures in a real window on Mesa: upload sizes, sampling, the placeholder, missing files, the deletion
// queue, the file variants, the refs of the manager, and the generated art. Needs an X display
// (tools/test.sh runs Xvfb). Each test's window is new and the manager forgets the textures of the window
// before, so dynamic refs start at 1072 whether the tests run one per process (ctest) or all in one.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/hl_thread.h"
#include "base/xmap.h"
#include "gui_harness.h"
#include "support/test_support.h"
#include "tex_test_images.h"
#include "ui/OGL_extensions.h"
#include "ui/OGL_state.h"
#include "ui/OGL_texture_unit.h"
#include "ui/TEX_manager.h"
#include "ui/TEX_obj.h"
#include "ui/TEX_png.h"
#include "ui/WIN_window_table.h"
#include "ui/screen_state.h"

namespace {

// Window 0 with the real probe, the rendering defaults and the placeholder, as start-up makes them; the
// Sim-Root folder is a temporary folder; alerts of this automated run go to the log and fatal ones end it
// with exit code 1.
class TexGuiTest : public ::testing::Test {
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
        OPT_parse_only("--qa_script=1");
        ASSERT_TRUE(WIN_create_window(0));
        OGL_capabilities.OGL_probe();
        OGL_default_render_options();
        TMAN_make_placeholder();
        FILE_sim_root = dir.path() + "/";
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    void TearDown() override {
        FILE_sim_root.clear();
        if (WIN_table_window(0))
            WIN_destroy_window(0);
        OPT_parse_only("");
        LOG_stream.close();
    }
    std::string log() {
        LOG_stream.flush();
        return test::read_file(dir.file("log.txt"));
    }
    // The death tests' children write their log to stderr, for the matcher.
    static void log_to_stderr() {
        LOG_init();
        LOG_stream.close();
        FILE_open_ofstream(LOG_stream, "/dev/stderr", std::ios_base::out, 0x40);
    }
    // Binds the texture of a ref on unit 0 and reads a parameter of its level.
    static GLint level_parameter(int ref, int level, GLenum name) {
        TMAN_bind_ref(ref, 0, 0);
        GLint value = -1;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
        return value;
    }
    static GLint parameter(int ref, GLenum name) {
        TMAN_bind_ref(ref, 0, 0);
        GLint value = -1;
        glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
        return value;
    }
    static GLint bound_name() {
        GLint name = -1;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
        return name;
    }
    // An RGB PNG whose top-down row y is filled with the value y + 1.
    void write_png(const std::string& name, int w, int h) {
        teximg::png_spec layout;
        layout.width = w;
        layout.height = h;
        for (int y = 0; y < h; ++y)
            layout.rows.push_back(std::string(static_cast<size_t>(w) * 3, static_cast<char>(y + 1)));
        test::write_file(dir.file(name), teximg::make_png(layout));
    }

    test::TempDir dir;
};

TEST_F(TexGuiTest, NpotPngUploadsAsTheNextPowersOfTwoAndWarnsUnlessAllowed) {
    write_png("npot.png", 300, 200);
    const uint32_t raw_rgb = 0x300201; // full size, no gamma correction, RGB
    struct {
        uint32_t flags;
        bool warned;
    } cases[] = {{raw_rgb, true}, {raw_rgb | 0x10000, false}, {raw_rgb | 0x20000, false}};
    int ref = 1000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        LOG_stream.close();
        FILE_open_ofstream(LOG_stream, dir.file("log.txt"), std::ios_base::out, 0);
        ASSERT_EQ(TMAN_load_bitmap(0, ++ref, c.flags, 2, "npot.png"), ref);
        EXPECT_EQ(level_parameter(ref, 0, GL_TEXTURE_WIDTH), 512);
        EXPECT_EQ(level_parameter(ref, 0, GL_TEXTURE_HEIGHT), 256);
        const bool warned =
            log().find("WARNING: texture npot.png has a size that is not a power of 2; it may not render "
                       "correctly.\n") != std::string::npos;
        EXPECT_EQ(warned, c.warned);
    }
    // Rows arrive bottom-up; the padding is black.
    std::vector<unsigned char> texels(512 * 256 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    auto at = [&](int s, int t) { return texels[(static_cast<size_t>(t) * 512 + s) * 3]; };
    EXPECT_EQ(at(0, 0), 200);
    EXPECT_EQ(at(299, 199), 1);
    EXPECT_EQ(at(300, 0), 0);
    EXPECT_EQ(at(0, 200), 0);
}

TEST_F(TexGuiTest, WrapAndFilterFollowTheFlags) {
    write_png("four.png", 4, 4);
    struct {
        uint32_t flags;
        GLint wrap_s, wrap_t, min, mag;
    } cases[] = {
        {0x1, GL_REPEAT, GL_REPEAT, GL_LINEAR, GL_LINEAR},
        {0x401, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, GL_LINEAR, GL_LINEAR},
        {0x801, GL_CLAMP_TO_EDGE, GL_REPEAT, GL_LINEAR, GL_LINEAR},
        {0x21, GL_REPEAT, GL_REPEAT, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR},
        {0x41, GL_REPEAT, GL_REPEAT, GL_NEAREST, GL_NEAREST},
        {0x8021, GL_REPEAT, GL_REPEAT, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR},
    };
    int ref = 1000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        ASSERT_EQ(TMAN_load_bitmap(0, ++ref, c.flags, 2, "four.png"), ref);
        EXPECT_EQ(parameter(ref, GL_TEXTURE_WRAP_S), c.wrap_s);
        EXPECT_EQ(parameter(ref, GL_TEXTURE_WRAP_T), c.wrap_t);
        EXPECT_EQ(parameter(ref, GL_TEXTURE_MIN_FILTER), c.min);
        EXPECT_EQ(parameter(ref, GL_TEXTURE_MAG_FILTER), c.mag);
        if (c.flags & 0x20) { // mip levels down to 1 x 1, by the driver or made here
            EXPECT_EQ(level_parameter(ref, 2, GL_TEXTURE_WIDTH), 1);
        }
        EXPECT_EQ(parameter(ref, GL_GENERATE_MIPMAP), (c.flags & 0x8020) == 0x20 ? GL_TRUE : GL_FALSE);
    }
    EXPECT_EQ(level_parameter(1006, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB8);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TexGuiTest, PlaceholderIsTwoByTwoGrayWithGlNameThree) {
    ASSERT_NE(TMAN_placeholder(), nullptr);
    EXPECT_EQ(TMAN_placeholder()->gl_name.load(), 3u);
    EXPECT_EQ(level_parameter(TMAN_PLACEHOLDER, 0, GL_TEXTURE_WIDTH), 2);
    EXPECT_EQ(level_parameter(TMAN_PLACEHOLDER, 0, GL_TEXTURE_HEIGHT), 2);
    EXPECT_EQ(bound_name(), 3);
    unsigned char texels[12] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    for (unsigned char v : texels)
        EXPECT_EQ(v, 130);
}

TEST_F(TexGuiTest, MissingFileBindsThePlaceholderAsItsPolicySays) {
    EXPECT_EQ(TMAN_load_bitmap(0, 1001, 0x202, 2, "no/such.png"), 0);
    EXPECT_EQ(TMAN_is_loaded(1001), 1);
    TMAN_bind_ref(1001, 0, 0);
    EXPECT_EQ(bound_name(), 3);
    EXPECT_EQ(log().find("WARNING"), std::string::npos);

    EXPECT_EQ(TMAN_load_bitmap(2, 1002, 0x202, 2, "no/other.png"), 0);
    EXPECT_NE(log().find("WARNING: we are missing the texture: no/other.png\n"), std::string::npos);

    auto policy_four = [] {
        log_to_stderr();
        TMAN_load_bitmap(4, 1003, 0x202, 2, "no/third.png");
    };
    EXPECT_EXIT(
        policy_four(), testing::ExitedWithCode(1),
        "Trying to load a texture that you do not have!.*mis-installed copy of Aerivon!.*Get a new download "
        "from www.aerivon.example. The missing file is:.*no/third.png");
}

TEST_F(TexGuiTest, TextureDestroyedOnAWorkerIsDeletedAtTheNextDrain) {
    THREAD_init();
    write_png("four.png", 4, 4);
    ASSERT_EQ(TMAN_load_bitmap(0, 1002, 0x201, 2, "four.png"), 1002);
    const GLuint name = TMAN_get(1002)->gl_name.load();
    ASSERT_TRUE(glIsTexture(name));
    std::thread([] { TMAN_unload(1002); }).join();
    EXPECT_EQ(TMAN_get(1002), nullptr);
    EXPECT_TRUE(glIsTexture(name));
    TEX_drain_deletes();
    EXPECT_FALSE(glIsTexture(name));
    // On the main thread the name goes at once.
    ASSERT_EQ(TMAN_load_bitmap(0, 1002, 0x201, 2, "four.png"), 1002);
    const GLuint again = TMAN_get(1002)->gl_name.load();
    TMAN_unload(1002);
    EXPECT_FALSE(glIsTexture(again));
    THREAD_exit();
}

TEST_F(TexGuiTest, ResourceNameIgnoresADdsBesideIt) {
    ASSERT_EQ(OGL_render_options.comp_texes, 1);
    test::write_file(dir.file("RESOURCE:interface.dds"),
                     teximg::make_dds("DXT1", 4, 4, true, true, teximg::dxt1_levels()));
    ASSERT_EQ(TMAN_load_bitmap(4, 1003, 0x200242, 2, "RESOURCE:interface.png"), 1003);
    EXPECT_EQ(level_parameter(1003, 0, GL_TEXTURE_WIDTH), 512);
}

TEST_F(TexGuiTest, CompressedTexturesPreferTheDdsUnlessTheFlagSaysNo) {
    write_png("pic.png", 8, 8);
    test::write_file(dir.file("pic.dds"), teximg::make_dds("DXT1", 4, 4, true, true, teximg::dxt1_levels()));
    struct {
        int comp_texes;
        uint32_t flags;
        int width;
        GLint compressed;
    } cases[] = {{1, 0x2, 4, GL_TRUE}, {1, 0x202, 8, GL_FALSE}, {0, 0x2, 8, GL_FALSE}};
    int ref = 1010;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.comp_texes << " " << c.flags);
        OGL_render_options.comp_texes = c.comp_texes;
        ASSERT_EQ(TMAN_load_bitmap(0, ++ref, c.flags, 2, "pic.png"), ref);
        EXPECT_EQ(level_parameter(ref, 0, GL_TEXTURE_WIDTH), c.width);
        EXPECT_EQ(level_parameter(ref, 0, GL_TEXTURE_COMPRESSED), c.compressed);
        EXPECT_GT(TMAN_get(ref)->vram_bytes, 0);
    }
    // A DDS cut short of its last level is refused, and the texture binds as the placeholder.
    const std::string whole = teximg::make_dds("DXT1", 4, 4, true, true, teximg::dxt1_levels());
    test::write_file(dir.file("cut.dds"), whole.substr(0, whole.size() - 1));
    EXPECT_EQ(TMAN_load_bitmap(0, 1020, 0x2, 2, "cut.dds"), 0);
    TMAN_bind_ref(1020, 0, 0);
    EXPECT_EQ(bound_name(), 3);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TexGuiTest, DynamicRefsStartAt1072AndFoldedNamesShareOne) {
    EXPECT_EQ(TMAN_load_bitmap(0, 0, 0x202, 2, "Resources/a/../b.png"), 1072);
    EXPECT_EQ(TMAN_load_bitmap(0, 0, 0x202, 2, "Resources/b.png"), 1072);
    EXPECT_EQ(TMAN_get(1072)->references.load(), 2);
    EXPECT_EQ(TMAN_get(1072)->name, "Resources/b.png");
    EXPECT_EQ(TMAN_load_bitmap(0, 0, 0x202, 2, "Resources/c.png"), 1073);
    EXPECT_EQ(TMAN_get(1073)->references.load(), 1);
    TMAN_bind_ref(1073, 0, 0); // missing: binds as the placeholder
    EXPECT_EQ(bound_name(), 3);
}

TEST_F(TexGuiTest, UnloadFreesAManualSlotAndRefusesADynamicOne) {
    std::memset(TMAN_scratch_pixels, 200, 4 * 4 * 3);
    TMAN_scratch_width = TMAN_scratch_height = 4;
    ASSERT_EQ(TMAN_load_bitmap(0, 1061, 0x201, 2, "scratch_array-capture"), 1061);
    ASSERT_NE(TMAN_get(1061), nullptr);
    TMAN_unload(1061);
    EXPECT_EQ(TMAN_get(1061), nullptr);
    EXPECT_EQ(TMAN_is_loaded(1061), 0);

    ASSERT_EQ(TMAN_load_bitmap(0, 0, 0x202, 2, "dynamic.png"), 1072);
    auto unload_dynamic = [] {
        log_to_stderr();
        TMAN_unload(1072);
    };
    EXPECT_EXIT(unload_dynamic(), testing::ExitedWithCode(1),
                "Error: dynamic textures should be released, not unloaded.*dynamic.png.*1072.000000");
}

TEST_F(TexGuiTest, ManualReloadKeepsTheObjectAndItsGlName) {
    write_png("a.png", 4, 4);
    write_png("b.png", 8, 8);
    ASSERT_EQ(TMAN_load_bitmap(0, 1050, 0x201, 2, "a.png"), 1050);
    TEX_obj* first = TMAN_get(1050);
    const uint32_t name = first->gl_name.load();
    ASSERT_EQ(TMAN_load_bitmap(2, 1050, 0x201, 2, "b.png"), 1050);
    EXPECT_EQ(TMAN_get(1050), first);
    EXPECT_EQ(first->gl_name.load(), name);
    EXPECT_EQ(first->name, "b.png");
    EXPECT_EQ(first->missing_policy, 2);
    EXPECT_EQ(level_parameter(1050, 0, GL_TEXTURE_WIDTH), 8);
    // The same size again: a partial upload into the same texture.
    ASSERT_EQ(TMAN_load_bitmap(2, 1050, 0x201, 2, "b.png"), 1050);
    EXPECT_EQ(first->gl_name.load(), name);
    EXPECT_EQ(bound_name(), static_cast<GLint>(name));

    auto ref_1073 = [] {
        log_to_stderr();
        TMAN_load_bitmap(0, 1073, 0x201, 2, "a.png");
    };
    EXPECT_EXIT(ref_1073(), testing::ExitedWithCode(1),
                "Trying to bind too low or high a manual_ref!.*a.png");
}

TEST_F(TexGuiTest, BindingAnEmptySlotAlerts) {
    auto bind_empty = [] {
        log_to_stderr();
        TMAN_bind_ref(1055, 0, 0);
    };
    EXPECT_EXIT(bind_empty(), testing::ExitedWithCode(1), "Null texture - how\\?.*ref=  1055");
}

TEST_F(TexGuiTest, ElementAtlasLoadsWithTheInstallersArguments) {
    auto load_time_four = [] {
        log_to_stderr();
        TMAN_load_bitmap(4, 1022, 0x220242, 4, "RESOURCE:elements_English.png");
    };
    EXPECT_EXIT(load_time_four(), testing::ExitedWithCode(1),
                "Trying to create an invalid texture load_time!");
    ASSERT_EQ(TMAN_load_bitmap(4, 1022, 0x220242, 2, "RESOURCE:elements_English.png"), 1022);
    EXPECT_EQ(level_parameter(1022, 0, GL_TEXTURE_WIDTH), 1024);
    EXPECT_EQ(level_parameter(1022, 0, GL_TEXTURE_HEIGHT), 128);
}

TEST_F(TexGuiTest, EveryGeneratedImageLoadsAsStartUpLoadsIt) {
    // The map and the background, as files of the executable.
    ASSERT_EQ(TMAN_load_bitmap(4, 1042, 0x220242, 2, "RESOURCE:map.png"), 1042);
    EXPECT_EQ(level_parameter(1042, 0, GL_TEXTURE_WIDTH), 512);
    EXPECT_EQ(level_parameter(1042, 0, GL_TEXTURE_HEIGHT), 1024);
    ASSERT_EQ(TMAN_load_bitmap(4, 1043, 0x220241, 2, "RESOURCE:background.png"), 1043);
    EXPECT_EQ(level_parameter(1043, 0, GL_TEXTURE_WIDTH), 1024);
    // The interface atlas through the scratch image.
    xmap_file file("RESOURCE:interface.png");
    unsigned char* pixels = TMAN_scratch_pixels;
    TEX_image_info info;
    info.format = GL_RGBA;
    int hint = 0;
    ASSERT_EQ(
        TEX_read_png("RESOURCE:interface.png", file, pixels, TMAN_SCRATCH_BYTES, 0, 0, 0, 0, info, hint), 1);
    TMAN_scratch_width = info.width;
    TMAN_scratch_height = info.height;
    ASSERT_EQ(TMAN_load_bitmap(0, 1021, 0x200242, 2, "scratch_array-interface"), 1021);
    EXPECT_EQ(level_parameter(1021, 0, GL_TEXTURE_WIDTH), 512);
    // Every language's element atlas, one after the other in slot 1022.
    for (const char* language : {"English", "French", "German", "Russian", "Italian", "Spanish"}) {
        SCOPED_TRACE(language);
        ASSERT_EQ(
            TMAN_load_bitmap(4, 1022, 0x220242, 2, std::string("RESOURCE:elements_") + language + ".png"),
            1022);
        EXPECT_EQ(level_parameter(1022, 0, GL_TEXTURE_WIDTH), 1024);
        EXPECT_GT(TMAN_get(1022)->vram_bytes, 0);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
