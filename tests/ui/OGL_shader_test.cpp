// Shader programs: include expansion over real files (no window); compile, failure report, reload and the
// automated stop against Mesa (needs an X display; tools/test.sh runs Xvfb).
#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "base/CMND_registry.h"
#include "base/xmap.h"
#include "ui/OGL_shader.h"
#include "ui_gui_fixture.h"

namespace {

size_t count_of(const std::string& text, const std::string& needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++n;
    return n;
}

// Makes `dir` (with Resources/shaders/ in it) the current folder; the Sim-Root folder is empty.
struct in_folder {
    explicit in_folder(const test::TempDir& dir) {
        std::filesystem::create_directories(dir.file("Resources/shaders"));
        std::filesystem::current_path(dir.path());
    }
    ~in_folder() { std::filesystem::current_path(old); }
    void write(const std::string& name, const std::string& text) const {
        test::write_file("Resources/shaders/" + name, text);
    }
    std::filesystem::path old = std::filesystem::current_path();
};

TEST(ShaderIncludeTest, ExpandsNestedIncludesAndLogsWhatItCannot) {
    test::TempDir dir;
    in_folder folder(dir);
    FILE_open_ofstream(LOG_stream, dir.file("log.txt"), std::ios_base::out, 0);
    folder.write("main.glsl", "A\n#include \"mid.glsl\"\nZ #include \"leaf.glsl\"");
    folder.write("mid.glsl", "M1 #include \"leaf.glsl\" M2");
    folder.write("leaf.glsl", "LEAF");
    folder.write("self.glsl", "S #include \"self.glsl\"");
    folder.write("missing.glsl", "X #include \"nowhere.glsl\" Y #include \"leaf.glsl\"");
    folder.write("open.glsl", "#include \"leaf.glsl\" then #include \"leaf.glsl");
    const struct {
        const char *file, *expected, *log_line;
    } cases[] = {
        {"main.glsl", "A\nM1 LEAF M2\nZ LEAF", nullptr},
        // Ten levels are expanded; the eleventh copy keeps its directive.
        {"self.glsl", "S S S S S S S S S S S #include \"self.glsl\"",
         "Aborted #include directive because self.glsl is part of an include-infinite loop, or at least too "
         "many includes.\n"},
        {"missing.glsl", "X #include \"nowhere.glsl\" Y LEAF",
         "Aborted #include because the file nowhere.glsl does not exist or could not be opened.\n"},
        {"open.glsl", "LEAF then #include \"leaf.glsl",
         "Aborted #include directive because there was no closign quote.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const size_t before = test::read_file(dir.file("log.txt")).size();
        xmap_file f(std::string("Resources/shaders/") + c.file);
        std::string out;
        SHADER_expand_includes(f, out, 10);
        EXPECT_EQ(out, c.expected);
        LOG_stream.flush();
        const std::string added = test::read_file(dir.file("log.txt")).substr(before);
        EXPECT_EQ(count_of(added, c.log_line ? c.log_line : "Aborted"), c.log_line ? 1u : 0u) << added;
    }
    LOG_stream.close();
}

const char* good_fragment = "uniform vec4 tint;\nvoid main() { gl_FragColor = tint; }\n";

// An automated run with a vertex shader and a broken fragment shader in Resources/shaders/ of the current
// folder.
class ShaderGuiTest : public uitest::GuiFixture {
  protected:
    void SetUp() override {
        GuiFixture::SetUp();
        LOG_init();
        OPT_parse_only("--qa_script=1");
        folder = std::make_unique<in_folder>(dir);
        folder->write("check.glsl", "#if IBM != 1 || VSHADER != 1\n#error defines\n#endif\n");
        folder->write("pair.vert", "#include \"check.glsl\"\nattribute vec4 corner;\n"
                                   "void main() { gl_Position = corner * SCALE; }\n");
        folder->write("pair.frag", "void main() { gl_FragColor = undeclared_thing; }\n");
        program.vertex_path = "Resources/shaders/pair.vert";
        program.fragment_path = "Resources/shaders/pair.frag";
        program.prefix = "#define SCALE 0.5\n";
        program.uniform_names = {"tint", "not_there"};
        program.attrib_names = {"corner"};
        SHADER_register(&program);
        SHADER_register(&program); // once only
        // The driver's compile and link errors reach stderr with the alerts; say that they are meant.
        std::fprintf(stderr, "[ EXPECTED ] shader errors below are provoked on purpose by this test\n");
    }
    void TearDown() override {
        std::fprintf(stderr, "[ EXPECTED ] end of the provoked shader errors\n");
        SHADER_unregister(&program);
        folder.reset();
        GuiFixture::TearDown();
    }
    std::string log() {
        LOG_flush();
        return test::read_file(dir.file("log.txt"));
    }

    std::unique_ptr<in_folder> folder;
    SHADER_program program;
};

TEST_F(ShaderGuiTest, BrokenStageIsReportedAndTheReloadActionBuildsTheFixedOne) {
    SHADER_register_vars();
    CMND_action* reload = CMND_first_action();
    for (; reload && std::strcmp(reload->label, "Reload Pixel Shaders...");)
        reload = reload->next;
    ASSERT_NE(reload, nullptr);
    testing::internal::CaptureStdout();
    reload->callback();
    EXPECT_EQ(testing::internal::GetCapturedStdout().rfind("Resources/shaders/pair.frag: ", 0), 0u);
    const std::string shown = SHADER_common_defines(0) + program.prefix;
    EXPECT_NE(log().find("=====Resources/shaders/pair.frag=====\n   (prefix:\n" + shown + "end prefix)\n"),
              std::string::npos);
    EXPECT_NE(log().find("=====Resources/shaders/pair.vert+Resources/shaders/pair.frag=====\n"),
              std::string::npos);
    EXPECT_EQ(count_of(log(), "| There was a problem processing a GLSL pixel shader."), 1u);

    folder->write("pair.frag", good_fragment);
    reload->callback();
    GLint linked = 0;
    OGL_capabilities.glGetProgramiv(program.program, GL_LINK_STATUS, &linked);
    EXPECT_TRUE(linked);
    EXPECT_EQ(count_of(log(), "(OGL_shader:610)"), 1u);
    EXPECT_EQ(program.uniform_locations.size(), 2u);
    EXPECT_TRUE(program.uniform_locations.at(0) >= 0 && program.uniform_locations.at(1) == -1);
    EXPECT_TRUE(program.attrib_locations.size() == 1 && program.attrib_locations[0] >= 0);
}

// The alert of an automated run returns at once: the reload must stop after one failed pass, not loop.
// The second program's geometry stage uses inputs that this driver (no GL_EXT_geometry_shader4) lacks.
TEST_F(ShaderGuiTest, AutomatedReloadStopsAfterOneFailedPassPerProgram) {
    folder->write("pass.geom", "void main() { gl_Position = gl_PositionIn[0]; EmitVertex(); }\n");
    folder->write("good.frag", good_fragment);
    SHADER_program geometry = program;
    geometry.has_geometry = 1;
    geometry.geometry_path = "Resources/shaders/pass.geom";
    geometry.fragment_path = "Resources/shaders/good.frag";
    SHADER_register(&geometry);
    EXPECT_EXIT(
        {
            alarm(10);
            SHADER_reload_all(1);
            const std::string text = log();
            std::exit(static_cast<int>(count_of(text, "(OGL_shader:610)") * 10 +
                                       count_of(text, "=====Resources/shaders/pass.geom=====")));
        },
        testing::ExitedWithCode(21), "");
    SHADER_unregister(&geometry);
}

} // namespace
