// OGL_shader: GLSL programs built from the stage files under "Resources/shaders/", and their reload.
#include "ui/OGL_shader.h"

#include <GL/glext.h>

#include <algorithm>
#include <cstdio>

#include "base/APP_alert.h"
#include "base/CMND_registry.h"
#include "base/DREF_registry.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/xmap.h"
#include "ui/OGL_extensions.h"

namespace {

const char* const shader_folder = "Resources/shaders/";

// The global set of programs, in registration order. Main thread only.
struct shader_state {
    std::vector<SHADER_program*> programs;
};
shader_state shaders;

std::string tr(const std::string& english) {
    std::string out;
    LANG_translate(out, english);
    return out;
}

// Writes the info log of a shader (or of a program) to the log and to standard output.
void write_info_log(GLuint object, bool is_program, const std::string& label,
                    const std::string& shown_prefix) {
    auto& gl = OGL_capabilities;
    GLint length = 0;
    if (is_program)
        gl.glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    else
        gl.glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    length = std::max(length, 0);
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    GLsizei written = 0;
    if (is_program)
        gl.glGetProgramInfoLog(object, length + 1, &written, text.data());
    else
        gl.glGetShaderInfoLog(object, length + 1, &written, text.data());
    text[static_cast<size_t>(length)] = '\0';
    LOG_stream << "=====" << label << "=====\n"
               << "   (prefix:\n"
               << shown_prefix << "end prefix)\n"
               << text.data() << "\n";
    std::printf("%s: %s\n", label.c_str(), text.data());
    std::fflush(stdout);
    LOG_stream.flush();
}

struct stage_info {
    GLenum type;
    int missing_line; // source line of the missing-file alert
};
const stage_info stage_table[3] = {
    {GL_VERTEX_SHADER, 438}, {GL_GEOMETRY_SHADER_EXT, 477}, {GL_FRAGMENT_SHADER, 512}};

// One stage of a pass: (re)creates the shader, compiles it and attaches it. False when it did not compile.
bool build_stage(SHADER_program& p, int stage, const std::string& defines) {
    auto& gl = OGL_capabilities;
    GLuint& shader = stage == 0 ? p.vertex : stage == 1 ? p.geometry : p.fragment;
    const std::string& path = stage == 0 ? p.vertex_path : stage == 1 ? p.geometry_path : p.fragment_path;
    if (shader) {
        gl.glDetachShader(p.program, shader);
        gl.glDeleteShader(shader);
    }
    shader = gl.glCreateShader(stage_table[stage].type);

    xmap_file file(path);
    if (!file.base) {
        APP_alert(0, tr("We were unable to load the shader file:"), path, "",
                  tr("Re-run the Aerivon installer/updater to correct this problem."), 2, "OGL_shader",
                  stage_table[stage].missing_line);
        return false;
    }
    std::string body;
    SHADER_expand_includes(file, body, 10);

    const std::string prologue = SHADER_stage_prologue(stage);
    const GLchar* strings[4] = {prologue.data(), defines.data(), p.prefix.data(), body.data()};
    const GLint lengths[4] = {static_cast<GLint>(prologue.size()), static_cast<GLint>(defines.size()),
                              static_cast<GLint>(p.prefix.size()), static_cast<GLint>(body.size())};
    gl.glShaderSource(shader, 4, strings, lengths);
    gl.glCompileShader(shader);
    GLint compiled = 0;
    gl.glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (!compiled)
        write_info_log(shader, false, path, defines + p.prefix);
    gl.glAttachShader(p.program, shader);
    return compiled != 0;
}

// One whole pass: the stages, the link and the locations. False when any step failed.
bool load_pass(SHADER_program& p) {
    auto& gl = OGL_capabilities;
    if (!p.program)
        p.program = gl.glCreateProgram();
    const std::string defines = SHADER_common_defines(p.has_geometry);
    bool ok = build_stage(p, 0, defines);
    if (p.has_geometry)
        ok = build_stage(p, 1, defines) && ok;
    ok = build_stage(p, 2, defines) && ok;

    if (p.has_geometry && gl.glProgramParameteriEXT) {
        gl.glProgramParameteriEXT(p.program, GL_GEOMETRY_VERTICES_OUT_EXT, 3);
        gl.glProgramParameteriEXT(p.program, GL_GEOMETRY_INPUT_TYPE_EXT, GL_TRIANGLES);
        gl.glProgramParameteriEXT(p.program, GL_GEOMETRY_OUTPUT_TYPE_EXT, GL_TRIANGLE_STRIP);
    }
    gl.glLinkProgram(p.program);
    GLint linked = 0;
    gl.glGetProgramiv(p.program, GL_LINK_STATUS, &linked);
    if (!linked) {
        write_info_log(p.program, true, p.vertex_path + "+" + p.fragment_path, defines + p.prefix);
        ok = false;
    }

    p.uniform_locations.resize(p.uniform_names.size());
    for (size_t i = 0; i < p.uniform_names.size(); ++i)
        p.uniform_locations[i] = gl.glGetUniformLocation(p.program, p.uniform_names[i].c_str());
    p.attrib_locations.resize(p.attrib_names.size());
    for (size_t i = 0; i < p.attrib_names.size(); ++i)
        p.attrib_locations[i] = gl.glGetAttribLocation(p.program, p.attrib_names[i].c_str());
    return ok;
}

void reload_action_callback() { SHADER_reload_all(1); }

} // namespace

std::string SHADER_common_defines(int has_geometry) {
    const auto& caps = OGL_capabilities;
    std::string d = "#define APL 0\n#define IBM 1\n#define LIN 0\n";
    d += caps.first_gen_shaders ? "#define LIMITED 1\n" : "#define LIMITED 0\n";
    d += has_geometry ? "#define HAS_GSHADER 1\n" : "#define HAS_GSHADER 0\n";
    d += caps.framebuffer_srgb ? "#define HAS_SRGB 1\n" : "#define HAS_SRGB 0\n";
    d += caps.shad_lod_avail ? "#define HAS_SHADER_LOD 1\n" : "#define HAS_SHADER_LOD 0\n";
    return d;
}

std::string SHADER_stage_prologue(int stage) {
    if (stage == 1)
        return "#version 120\n#extension GL_EXT_geometry_shader4 : enable\n"
               "#extension GL_EXT_bindable_uniform : enable\n"
               "#define VSHADER 0\n#define GSHADER 1\n#define FSHADER 0\n";
    std::string s = OGL_capabilities.glsl_version > 119 ? "#version 120\n" : "";
    s += stage == 0 ? "#define VSHADER 1\n#define GSHADER 0\n#define FSHADER 0\n"
                    : "#define VSHADER 0\n#define GSHADER 0\n#define FSHADER 1\n";
    return s;
}

void SHADER_expand_includes(const xmap_file& file, std::string& out, int depth) {
    if (file.base)
        out.assign(file.base, static_cast<size_t>(file.end - file.base));
    else
        out.clear();
    static const std::string directive = "#include \"";
    size_t at = 0;
    while ((at = out.find(directive, at)) != std::string::npos) {
        const size_t name_begin = at + directive.size();
        const size_t close = out.find('"', name_begin);
        if (close == std::string::npos) {
            LOG_stream << "Aborted #include directive because there was no closign quote.\n";
            return;
        }
        const std::string name = out.substr(name_begin, close - name_begin);
        const size_t after = close + 1;
        if (depth < 1) {
            LOG_stream << ("Aborted #include directive because " + name +
                           " is part of an include-infinite loop, or at least too many includes.\n");
            at = after;
            continue;
        }
        xmap_file included(shader_folder + name);
        if (!included.base) {
            LOG_stream << ("Aborted #include because the file " + name +
                           " does not exist or could not be opened.\n");
            at = after;
            continue;
        }
        std::string text;
        SHADER_expand_includes(included, text, depth - 1);
        out.replace(at, after - at, text);
        at += text.size();
    }
}

void SHADER_load(SHADER_program& program, int reloading) {
    while (!load_pass(program)) {
        APP_alert(0, "There was a problem processing a GLSL pixel shader.",
                  "You may need to rerun the installer or update your graphics drivers.", program.vertex_path,
                  program.fragment_path, reloading ? 1 : 2, "OGL_shader", 610);
        // An automated run answers the alert at once: another pass would fail the same way for ever.
        if (OPT_is_test_run())
            return;
    }
}

void SHADER_reload_all(int reloading) {
    // A copy: a reload may not change the set, but the loop must not depend on that.
    const std::vector<SHADER_program*> programs = shaders.programs;
    for (SHADER_program* p : programs)
        SHADER_load(*p, reloading);
}

void SHADER_register(SHADER_program* program) {
    if (program &&
        std::find(shaders.programs.begin(), shaders.programs.end(), program) == shaders.programs.end())
        shaders.programs.push_back(program);
}

void SHADER_unregister(SHADER_program* program) {
    shaders.programs.erase(std::remove(shaders.programs.begin(), shaders.programs.end(), program),
                           shaders.programs.end());
}

DREF_var& SHADER_register_vars() {
    static DREF_var total_shaders("shader/total_shaders", 0, 0);
    static CMND_action reload_action;
    static const bool added =
        (CMND_add_action(&reload_action, "Reload Pixel Shaders...", reload_action_callback), true);
    (void)added;
    return total_shaders;
}
