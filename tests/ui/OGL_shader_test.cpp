// Shader programs: the include expansion over real files (no window), and compile, link, failure report
// and reload against Mesa in a real window (needs an X display; tools/test.sh runs Xvfb).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "base/CMND_registry.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/xmap.h"
#include "gui_harness.h"
#include "support/test_support.h"
#include "ui/OGL_extensions.h"
#include "ui/OGL_shader.h"
#include "ui/WIN_window_table.h"
#include "ui/screen_state.h"

namespace {

size_t count_of(const std::string& text, const std::string& needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++n;
    return n;
}

// A temporary folder holding Resources/shaders/, made the current folder (the Sim-Root folder is empty),
// with the log in it.
class shader_folder {
  public:
    shader_folder() {
        char buf[4096];
        old_cwd_ = getcwd(buf, sizeof buf) ? buf : "/";
        test::shell("mkdir -p '" + dir_.file("Resources/shaders") + "'");
        if (chdir(dir_.path().c_str()) != 0)
            ADD_FAILURE() << "chdir";
        LOG_init();
        FILE_open_ofstream(LOG_stream, dir_.file("log.txt"), std::ios_base::out, 0);
    }
    ~shader_folder() {
        LOG_stream.close();
        if (chdir(old_cwd_.c_str()) != 0)
            ADD_FAILURE() << "chdir back";
    }
    void write(const std::string& name, const std::string& text) {
        test::write_file(dir_.file("Resources/shaders/" + name), text);
    }
    std::string log() {
        LOG_flush();
        LOG_stream.flush();
        return test::read_file(dir_.file("log.txt"));
    }

  private:
    test::TempDir dir_;
    std::string old_cwd_;
};

std::string expand(const std::string& name) {
    xmap_file f("Resources/shaders/" + name);
    std::string out;
    SHADER_expand_includes(f, out, 10);
    return out;
}

TEST(ShaderIncludeTest, ExpandsNestedIncludesAndReportsWhatItCannot) {
    shader_folder folder;
    folder.write("main.glsl", "A\n#include \"mid.glsl\"\nZ\n#include \"leaf.glsl\"\n");
    folder.write("mid.glsl", "M1\n#include \"leaf.glsl\"\nM2");
    folder.write("leaf.glsl", "LEAF");
    folder.write("self.glsl", "S\n#include \"self.glsl\"\n");
    folder.write("missing.glsl", "X #include \"nowhere.glsl\" Y #include \"leaf.glsl\"");
    folder.write("open.glsl", "#include \"leaf.glsl\" then #include \"leaf.glsl");
    const char* loop_line =
        "Aborted #include directive because self.glsl is part of an include-infinite loop, or at least too "
        "many includes.\n";
    struct {
        const char* file;
        std::string expected;
        const char* log_line;
    } cases[] = {
        {"main.glsl", "A\nM1\nLEAF\nM2\nZ\nLEAF\n", nullptr},
        // Ten levels are expanded; the eleventh copy keeps its directive.
        {"self.glsl",
         [] {
             std::string s;
             for (int i = 0; i < 11; ++i)
                 s += "S\n";
             return s + "#include \"self.glsl\"\n" + std::string(10, '\n');
         }(),
         loop_line},
        {"missing.glsl", "X #include \"nowhere.glsl\" Y LEAF",
         "Aborted #include because the file nowhere.glsl does not exist or could not be opened.\n"},
        {"open.glsl", "LEAF then #include \"leaf.glsl",
         "Aborted #include directive because there was no closign quote.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string before = folder.log();
        EXPECT_EQ(expand(c.file), c.expected);
        const std::string added = folder.log().substr(before.size());
        if (c.log_line)
            EXPECT_EQ(count_of(added, c.log_line), 1u) << added;
        else
            EXPECT_EQ(added.find("Aborted"), std::string::npos) << added;
    }
}

TEST(ShaderIncludeTest, DefinesFollowTheProbeFlags) {
    OGL_capabilities_record saved = OGL_capabilities;
    OGL_capabilities.first_gen_shaders = 1;
    OGL_capabilities.framebuffer_srgb = 0;
    OGL_capabilities.shad_lod_avail = 1;
    EXPECT_EQ(SHADER_common_defines(1),
              "#define APL 0\n#define IBM 1\n#define LIN 0\n#define LIMITED 1\n"
              "#define HAS_GSHADER 1\n#define HAS_SRGB 0\n#define HAS_SHADER_LOD 1\n");
    OGL_capabilities.glsl_version = 110;
    EXPECT_EQ(SHADER_stage_prologue(2), "#define VSHADER 0\n#define GSHADER 0\n#define FSHADER 1\n");
    OGL_capabilities.glsl_version = 120;
    EXPECT_EQ(SHADER_stage_prologue(0),
              "#version 120\n#define VSHADER 1\n#define GSHADER 0\n#define FSHADER 0\n");
    OGL_capabilities = saved;
}

// ---- against the real driver

const char* good_vertex = "#include \"common.glsl\"\n"
                          "attribute vec4 corner;\n"
                          "void main() { gl_Position = corner * SCALE; }\n";
const char* common_include = "#if IBM != 1 || VSHADER != 1\n#error wrong defines\n#endif\n";
const char* good_fragment = "uniform vec4 tint;\nvoid main() { gl_FragColor = tint; }\n";
const char* bad_fragment = "void main() { gl_FragColor = undeclared_thing; }\n";

class ShaderGuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!gui::have_display())
            GTEST_SKIP() << "no X display (tools/test.sh runs the window tests under Xvfb)";
        folder = std::make_unique<shader_folder>();
        screen_state = screen_state_record();
        OGL_capabilities = OGL_capabilities_record();
        OGL_set_driver(nullptr);
        OPT_parse_only("--qa_script=1");
        ASSERT_TRUE(WIN_create_window(0));
        OGL_capabilities.OGL_probe();
        folder->write("common.glsl", common_include);
        folder->write("pair.vert", good_vertex);
        folder->write("pair.frag", good_fragment);
        program.vertex_path = "Resources/shaders/pair.vert";
        program.fragment_path = "Resources/shaders/pair.frag";
        program.prefix = "#define SCALE 0.5\n";
        program.uniform_names = {"tint", "not_there"};
        program.attrib_names = {"corner"};
    }
    void TearDown() override {
        SHADER_unregister(&program);
        if (WIN_table_window(0))
            WIN_destroy_window(0);
        OPT_parse_only("");
        folder.reset();
    }
    bool linked() {
        GLint status = 0;
        OGL_capabilities.glGetProgramiv(program.program, GL_LINK_STATUS, &status);
        return status != 0;
    }
    static CMND_action* reload_action() {
        SHADER_register_vars();
        for (CMND_action* a = CMND_first_action(); a; a = a->next)
            if (std::strcmp(a->label, "Reload Pixel Shaders...") == 0)
                return a;
        return nullptr;
    }

    std::unique_ptr<shader_folder> folder;
    SHADER_program program;
};

TEST_F(ShaderGuiTest, PairCompilesLinksAndFindsItsLocations) {
    SHADER_load(program, 0);
    EXPECT_TRUE(linked());
    ASSERT_EQ(program.uniform_locations.size(), 2u);
    EXPECT_GE(program.uniform_locations[0], 0);
    EXPECT_EQ(program.uniform_locations[1], -1);
    ASSERT_EQ(program.attrib_locations.size(), 1u);
    EXPECT_GE(program.attrib_locations[0], 0);
    EXPECT_EQ(folder->log().find("====="), std::string::npos);
}

TEST_F(ShaderGuiTest, BrokenStageIsReportedAndAReloadAfterTheFixSucceeds) {
    folder->write("pair.frag", bad_fragment);
    SHADER_register(&program);
    SHADER_register(&program); // once only
    testing::internal::CaptureStdout();
    reload_action()->callback();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(linked());

    const std::string log = folder->log();
    const std::string shown = SHADER_common_defines(0) + program.prefix;
    EXPECT_NE(log.find("=====Resources/shaders/pair.frag=====\n   (prefix:\n" + shown + "end prefix)\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("=====Resources/shaders/pair.vert+Resources/shaders/pair.frag=====\n"),
              std::string::npos);
    EXPECT_EQ(out.rfind("Resources/shaders/pair.frag: ", 0), 0u) << out;
    EXPECT_EQ(count_of(log, "| There was a problem processing a GLSL pixel shader."), 1u);
    EXPECT_NE(log.find("| (OGL_shader:610)"), std::string::npos);

    folder->write("pair.frag", good_fragment);
    reload_action()->callback();
    EXPECT_TRUE(linked());
    EXPECT_EQ(count_of(folder->log(), "| There was a problem processing a GLSL pixel shader."), 1u);
}

// This driver lacks GL_EXT_geometry_shader4, so a stage that uses its inputs fails its compile.
TEST_F(ShaderGuiTest, GeometryStageFailsItsPassHere) {
    folder->write("pass.geom", "void main() {\n"
                               "    for (int i = 0; i < gl_VerticesIn; ++i) {\n"
                               "        gl_Position = gl_PositionIn[i];\n"
                               "        EmitVertex();\n"
                               "    }\n"
                               "}\n");
    program.has_geometry = 1;
    program.geometry_path = "Resources/shaders/pass.geom";
    SHADER_load(program, 1);
    EXPECT_NE(program.geometry, 0u);
    EXPECT_NE(
        folder->log().find("=====Resources/shaders/pass.geom=====\n   (prefix:\n" + SHADER_common_defines(1)),
        std::string::npos);
}

// In an automated run the alert returns at once; the reload must not start pass after pass for ever.
TEST_F(ShaderGuiTest, AutomatedReloadOfABrokenShaderStopsAfterOnePass) {
    folder->write("pair.frag", bad_fragment);
    SHADER_register(&program);
    EXPECT_EXIT(
        {
            alarm(10);
            SHADER_reload_all(1);
            std::exit(static_cast<int>(count_of(folder->log(), "| (OGL_shader:610)")));
        },
        testing::ExitedWithCode(1), "");
}

} // namespace
