// The OpenGL capability probe against fake drivers: parsing, flags, entry points, switches and the log.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "platform/WIN_window.h"
#include "support/test_support.h"
#include "ui/OGL_extensions.h"

namespace {

// A driver made of strings, numbers and a set of exported names.
struct fake_gl {
    std::string vendor = "Fake Vendor";
    std::string renderer = "Fake Renderer";
    std::string version = "2.1.2 Fake";
    std::string extensions = "GL_ARB_multitexture";
    const char* glsl = "1.20";
    std::map<GLenum, GLint> ints = {{GL_MAX_TEXTURE_UNITS, 4},
                                    {GL_MAX_TEXTURE_IMAGE_UNITS, 16},
                                    {GL_MAX_TEXTURE_COORDS, 8},
                                    {GL_MAX_TEXTURE_SIZE, 4096},
                                    {GL_MAX_VERTEX_ATTRIBS, 16},
                                    {GL_MAX_VERTEX_UNIFORM_COMPONENTS, 1024},
                                    {GL_MAX_VARYING_FLOATS, 32},
                                    {GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, 32},
                                    {GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS, 16},
                                    {GL_MAX_FRAGMENT_UNIFORM_COMPONENTS, 512},
                                    {GL_SAMPLES, 0}};
    std::map<GLenum, std::vector<float>> floats = {{GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, {8.0f}},
                                                   {GL_POINT_SIZE_RANGE, {1.0f, 63.0f}}};
    bool exports_everything = true; // like GLX: every name has an address
    std::set<std::string> exported; // when not exporting everything
    std::set<std::string> missing;  // never exported
    std::vector<std::string> asked; // every name looked up, in order
};

fake_gl* fake = nullptr;

void dummy_entry() {}

const char* fake_get_string(GLenum name) {
    switch (name) {
    case GL_VENDOR:
        return fake->vendor.c_str();
    case GL_RENDERER:
        return fake->renderer.c_str();
    case GL_VERSION:
        return fake->version.c_str();
    case GL_EXTENSIONS:
        return fake->extensions.c_str();
    case GL_SHADING_LANGUAGE_VERSION:
        return fake->glsl;
    default:
        return nullptr;
    }
}

void fake_get_integerv(GLenum name, GLint* out) {
    auto it = fake->ints.find(name);
    if (it != fake->ints.end())
        *out = it->second;
}

void fake_get_floatv(GLenum name, GLfloat* out) {
    auto it = fake->floats.find(name);
    if (it != fake->floats.end())
        for (size_t i = 0; i < it->second.size(); ++i)
            out[i] = it->second[i];
}

void* fake_get_proc(const char* name) {
    fake->asked.push_back(name);
    if (fake->missing.count(name))
        return nullptr;
    if (fake->exports_everything || fake->exported.count(name))
        return reinterpret_cast<void*>(&dummy_entry);
    return nullptr;
}

const OGL_driver fake_driver = {fake_get_string, fake_get_integerv, fake_get_floatv, fake_get_proc};

class ProbeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake = &gl;
        OGL_set_driver(&fake_driver);
        OGL_capabilities = OGL_capabilities_record();
        WIN_set_multisample_obtained(0);
        OPT_parse_only("");
    }
    void TearDown() override {
        OGL_set_driver(nullptr);
        OGL_capabilities = OGL_capabilities_record();
        WIN_set_multisample_obtained(0);
        OPT_parse_only("");
        fake = nullptr;
    }
    // Runs the probe with the options; returns what it wrote to the log.
    std::string probe(const char* options = "") {
        OPT_parse_only(options);
        FILE_open_ofstream(LOG_stream, dir.file("log.txt"), std::ios_base::out, 0);
        LOG_stream << std::fixed;
        OGL_capabilities.OGL_probe();
        LOG_stream.close();
        return test::read_file(dir.file("log.txt"));
    }

    fake_gl gl;
    test::TempDir dir;
};

TEST(ProbeParseTest, VersionTexts) {
    struct {
        const char* text;
        int number, release;
    } cases[] = {
        {"2.1.2 NVIDIA 195.36.24", 210, 2},
        {"2.1 Mesa 7.0", 210, 0},
        {"4.5 (Compatibility Profile) Mesa 22.3.6", 450, 0},
        {"4.6.0 NVIDIA 535.54", 460, 0},
        {"3.3.11931 Compatibility Profile Context", 330, 11931},
        {"OpenGL ES 2.0", 100, 0},
        {"", 100, 0},
        {nullptr, 100, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(null)");
        int number = -1, release = -1;
        OGL_parse_version(c.text, number, release);
        EXPECT_EQ(number, c.number);
        EXPECT_EQ(release, c.release);
    }
    int number = 0, release = 0;
    OGL_parse_version("99999999999999999999.99999999999999999999.9", number, release); // clamped, no overflow
    EXPECT_EQ(number, INT_MAX);
    EXPECT_EQ(release, 9);
    EXPECT_EQ(OGL_parse_glsl_version("99999999999.99999999999"), INT_MAX);

    struct {
        const char* text;
        int value;
    } glsl[] = {{"1.20", 120},        {"1.2", 120}, {"4.50", 450}, {"1.20 NVIDIA via Cg compiler", 120},
                {"<null string>", 0}, {"n/a", 0},   {"", 0},       {"3", 0}};
    for (const auto& c : glsl)
        EXPECT_EQ(OGL_parse_glsl_version(c.text), c.value) << c.text;
}

TEST_F(ProbeTest, ArbFramebufferObjectAloneSetsBothFramebufferFlags) {
    gl.extensions = "GL_ARB_multitexture GL_ARB_framebuffer_object";
    probe();
    EXPECT_EQ(OGL_capabilities.framebuf_avail, 1);
    EXPECT_EQ(OGL_capabilities.frameblit_avail, 1);
    EXPECT_EQ(OGL_capabilities.packed_stencil, 0);
    EXPECT_EQ(OGL_capabilities.pbo_avail, 1); // 2.1
    EXPECT_EQ(OGL_capabilities.sync_avail, 0);
}

TEST_F(ProbeTest, CoreNameIsTriedWhenTheSuffixedNameIsMissing) {
    gl.exports_everything = true;
    gl.missing = {"glBindBufferARB"};
    std::string log = probe();
    EXPECT_NE(OGL_capabilities.glBindBufferARB, nullptr);
    EXPECT_EQ(log.find("missing proc glBindBufferARB"), std::string::npos);
    std::vector<std::string> expected = {"glBindBufferARB", "glBindBuffer"};
    gl.asked.clear();
    EXPECT_NE(OGL_get_proc_address("glBindBufferARB"), nullptr);
    EXPECT_EQ(gl.asked, expected);
}

// Under GLX every name has an address, so an invented ARB spelling would hand back a do-nothing stub.
TEST_F(ProbeTest, ArbSpellingIsAskedOnlyForRealArbEntryPointsOfAdvertisedExtensions) {
    struct {
        const char* name;
        const char* extensions;
        std::vector<std::string> asked;
    } cases[] = {
        {"glBindFramebufferEXT",
         "GL_ARB_framebuffer_object GL_EXT_framebuffer_object",
         {"glBindFramebufferEXT"}},
        {"glBlendFuncSeparateEXT", "GL_EXT_blend_func_separate", {"glBlendFuncSeparateEXT"}},
        {"glGenerateMipmapEXT", "GL_ARB_framebuffer_object", {"glGenerateMipmapEXT"}},
        {"glProgramParameteriEXT", "GL_ARB_geometry_shader4", {"glProgramParameteriARB"}},
        {"glProgramParameteriEXT", "GL_EXT_geometry_shader4", {"glProgramParameteriEXT"}},
        {"glProgramParameteriEXT", "GL_ARB_geometry_shader4_extra", {"glProgramParameteriEXT"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " with " + c.extensions);
        gl.extensions = c.extensions;
        OGL_capabilities.extensions = gl.extensions.c_str();
        gl.asked.clear();
        EXPECT_NE(OGL_get_proc_address(c.name), nullptr);
        EXPECT_EQ(gl.asked, c.asked);
    }
}

TEST_F(ProbeTest, MissingOptionalEntryPointWarnsOnceAndClearsItsGroup) {
    gl.extensions = "GL_EXT_bindable_uniform GL_EXT_framebuffer_blit";
    gl.missing = {"glUniformBufferEXT", "glUniformBuffer", "glBlitFramebufferEXT", "glBlitFramebuffer"};
    std::string log = probe();
    EXPECT_NE(
        log.find("WARNING: extension missing proc glUniformBufferEXT.  This is a problem with your video "
                 "driver.\n"),
        std::string::npos);
    EXPECT_NE(log.find("WARNING: extension missing proc glBlitFramebufferEXT."), std::string::npos);
    EXPECT_EQ(OGL_capabilities.buniform_avail, 0);
    EXPECT_EQ(OGL_capabilities.frameblit_avail, 0);
    // The rest of a cleared group is not fetched.
    EXPECT_EQ(OGL_capabilities.glGetUniformBufferSizeEXT, nullptr);
    size_t warnings = 0;
    for (size_t p = log.find("WARNING"); p != std::string::npos; p = log.find("WARNING", p + 1))
        ++warnings;
    EXPECT_EQ(warnings, 2u);
    // A group whose flag is off is not asked for at all.
    for (const auto& name : gl.asked)
        EXPECT_NE(name, "glColorMaskIndexedEXT");
}

TEST_F(ProbeTest, MissingRequiredEntryPointEndsAnAutomatedRunWithExitOne) {
    gl.missing = {"glUniformMatrix4x3fv"};
    EXPECT_EXIT(probe("--qa_script=1"), ::testing::ExitedWithCode(1), "");
}

TEST_F(ProbeTest, VendorRules) {
    struct {
        const char* vendor;
        const char* version;
        const char* extensions;
        const char* options;
        int srgb;
        int first_gen;
        bool logged;
    } cases[] = {
        {"ATI Technologies Inc.", "3.3.11931 Compat", "", "", 0, 0, true},
        {"ATI Technologies Inc.", "3.3.11931 Compat", "", "--use_srgb", 1, 0, false},
        {"ATI Technologies Inc.", "3.3.11932 Compat", "", "", 1, 0, false},
        {"ATI Technologies Inc.", "3.3 Compat", "", "", 1, 0, false},
        {"ATI Technologies", "3.3.11931 Compat", "", "", 1, 0, false},
        {"NVIDIA Corporation", "2.1.2", "GL_ARB_multitexture", "", 0, 1, false},
        {"NVIDIA Corporation", "2.1.2", "GL_NV_fragment_program2", "", 0, 0, false},
        {"Fake", "2.1.2", "", "", 0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.vendor) + " / " + c.version + " / " + c.options);
        OGL_capabilities = OGL_capabilities_record();
        gl.vendor = c.vendor;
        gl.version = c.version;
        gl.extensions = c.extensions;
        std::string log = probe(c.options);
        EXPECT_EQ(OGL_capabilities.framebuffer_srgb, c.srgb);
        EXPECT_EQ(OGL_capabilities.first_gen_shaders, c.first_gen);
        EXPECT_EQ(log.find("Disabling sRGB for ATI Catalyst 12-10 and older drivers.\n") != std::string::npos,
                  c.logged);
    }
}

TEST_F(ProbeTest, NumUnitsIsLoggedAndThenRaisedToTheImageUnits) {
    std::string log = probe("--num_units=2");
    EXPECT_NE(log.find("max tex units    : 2 (16/8)\n"), std::string::npos);
    EXPECT_EQ(OGL_capabilities.max_tex_units, 16);
}

TEST_F(ProbeTest, SwitchesApplyAndThreadedLoadingAlwaysEndsOff) {
    gl.version = "4.6.0 Fake";
    gl.extensions = "GL_EXT_texture_filter_anisotropic GL_APPLE_fence GL_AMD_pinned_memory";
    probe();
    EXPECT_EQ(OGL_capabilities.threaded_avail, 0);
    EXPECT_EQ(OGL_capabilities.aniso_avail, 1);
    EXPECT_EQ(OGL_capabilities.max_aniso, 8.0f);
    EXPECT_EQ(OGL_capabilities.card_class, 3);

    OGL_capabilities = OGL_capabilities_record();
    probe("--no_threaded_ogl --no_aniso_filtering --no_fence --limited_glsl --no_tex_rg");
    const OGL_capabilities_record& c = OGL_capabilities;
    EXPECT_EQ(c.threaded_avail, 0);
    EXPECT_EQ(c.aniso_avail, 0);
    EXPECT_EQ(c.max_aniso, 1.0f);
    EXPECT_EQ(c.sync_avail + c.apple_fence_avail, 0);
    EXPECT_EQ(c.card_class, 0); // no texture_rg, and first-generation shaders
}

TEST_F(ProbeTest, OldVersionIsRefusedWithoutForceRun) {
    test::ScopedEnv no_display("DISPLAY", std::nullopt);
    gl.version = "1.5.0 Fake";
    EXPECT_EXIT(probe(), ::testing::ExitedWithCode(0), "cannot support Aerivon");
    gl.version = "2.1.2 Fake";
    gl.renderer = "GDI Generic";
    EXPECT_EXIT(probe(), ::testing::ExitedWithCode(0), "You do not have OpenGL drivers installed!");
}

TEST_F(ProbeTest, ForceRunTurnsTheRefusalIntoAWarning) {
    test::ScopedEnv no_display("DISPLAY", std::nullopt);
    gl.version = "1.5.0 Fake";
    testing::internal::CaptureStderr();
    probe("--force_run");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Your system does not meet Aerivon's hardware requirements."), std::string::npos);
    EXPECT_NE(err.find("Go to www.aerivon.example for system requirements"), std::string::npos);
    EXPECT_EQ(OGL_capabilities.threaded_avail, 0);
}

TEST_F(ProbeTest, FsaaNotesFollowTheSampleCount) {
    gl.ints[GL_SAMPLES] = 0;
    WIN_set_multisample_obtained(2);
    std::string log = probe();
    EXPECT_NE(
        log.find("Note: Aerivon preferences are set to enable FSAA, but it is disabled by the driver control "
                 "panel.\n"),
        std::string::npos);
    EXPECT_EQ(WIN_get_multisample(), 0);

    const int counts[][2] = {{8, 3}, {4, 2}, {16, 4}, {2, 1}, {6, 1}};
    for (const auto& c : counts) {
        gl.ints[GL_SAMPLES] = c[0];
        WIN_set_multisample_obtained(0);
        log = probe();
        EXPECT_NE(
            log.find("Note: Aerivon preferences are set to disable FSAA, but it is enabled by the driver "
                     "control panel.\n"),
            std::string::npos);
        EXPECT_EQ(WIN_get_multisample(), c[1]) << c[0] << " samples";
    }
    // Agreement: nothing to note.
    WIN_set_multisample_obtained(2);
    gl.ints[GL_SAMPLES] = 4;
    EXPECT_EQ(probe().find("Note:"), std::string::npos);
}

TEST_F(ProbeTest, LogBlockOfOneDriver) {
    gl.vendor = "NVIDIA Corporation";
    gl.renderer = "GeForce 8800 GTS/PCI/SSE2";
    gl.version = "2.1.2 NVIDIA 169.21";
    gl.extensions = "GL_ARB_multitexture GL_EXT_texture_filter_anisotropic GL_EXT_framebuffer_object "
                    "GL_EXT_gpu_shader4 GL_ARB_texture_rg GL_ARB_instanced_arrays GL_NV_fog_distance "
                    "GL_NV_fragment_program2 GL_APPLE_fence";
    gl.glsl = "1.20 NVIDIA via Cg compiler";
    // Everything is exported but the flush of mapped ranges (silent) and one framebuffer call.
    gl.missing = {"glFlushMappedBufferRange", "glGenerateMipmapEXT", "glGenerateMipmap"};
    std::string log = probe();
    const char* block =
        "\n"
        "OpenGL Vendor    : NVIDIA Corporation\n"
        "OpenGL Render    : GeForce 8800 GTS/PCI/SSE2\n"
        "OpenGL Version   : 2.1.2 NVIDIA 169.21 (210/2)\n"
        "OpenGL Extensions: GL_ARB_multitexture GL_EXT_texture_filter_anisotropic "
        "GL_EXT_framebuffer_object GL_EXT_gpu_shader4 GL_ARB_texture_rg GL_ARB_instanced_arrays "
        "GL_NV_fog_distance GL_NV_fragment_program2 GL_APPLE_fence\n"
        "\n"
        "threaded_avail   : 0\tdis_fog_avail    : 1\tinstance_avail   : 1\tpbo_avail        : 1\n"
        "aniso_avail      : 1\tgshader_avail    : 0\tbuniform_avail   : 0\tshad_lod_avail   : 0\n"
        "gpu_shad4_avail  : 1\tframebuf_avail   : 0\tframeblit_avail  : 0\tdrawbuf2_avail   : 0\n"
        "tex_float_avail  : 0\tpacked_stencil   : 0\ttexture_rg       : 1\tframebuffer_srgb : 0\n"
        "copy_buf_avail   : 0\tpinned_avail     : 0\tsync/fence       : apple\n"
        "max tex units    : 4 (16/8)\n"
        "max iso filtering: 8.000000\n"
        "max texture size : 4096 (hardware limit)\n"
        "max point size   : 63.000000\n"
        "idx in vram      : 1\n"
        "GLSL Version     :1.20 NVIDIA via Cg compiler/120\n"
        "first-gen shaders: 0\n"
        "(16/1024/32/32/16/512)\n"
        "This video card is: DX10 or 11 - With instancing\n";
    EXPECT_EQ(log,
              std::string("WARNING: extension missing proc glGenerateMipmapEXT.  This is a problem with your "
                          "video driver.\n") +
                  block);
}

} // namespace
