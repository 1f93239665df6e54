// OGL_shader: GLSL programs built from the stage files under "Resources/shaders/", and their reload.
//
// DESIGN: each stage's source is four strings: the stage prologue, the common defines (from the probe's
// flags), the program's prefix and the stage file with its "#include" lines expanded. A pass compiles the
// stages, attaches them, links and fetches the named locations; a failed pass logs the driver's info logs
// and raises an alert. Programs that want to be rebuilt by the "Reload Pixel Shaders..." action are kept in
// the global set through SHADER_register. Main thread only, with the window's context current.
#pragma once
#include <GL/gl.h>

#include <string>
#include <vector>

class DREF_var;
struct xmap_file;

// One GLSL program. The caller fills the paths, the geometry flag, the prefix and the names; SHADER_load
// fills the GL names and the locations.
struct SHADER_program {
    GLuint program = 0;
    GLuint vertex = 0;   // 0 when absent
    GLuint geometry = 0; // 0 when absent
    GLuint fragment = 0; // 0 when absent
    std::string vertex_path;
    std::string geometry_path;
    int has_geometry = 0; // non-zero builds a geometry stage
    std::string fragment_path;
    std::string prefix; // inserted after the defines in every stage
    std::vector<std::string> uniform_names;
    std::vector<std::string> attrib_names;
    std::vector<int> uniform_locations; // one per uniform name, -1 when the program has none of that name
    std::vector<int> attrib_locations;  // one per attribute name, -1 likewise
};

// Builds or rebuilds one program. A stage file that cannot be opened ends the program (kind-2 alert). A
// failed compile or link writes the info log (LOG_stream and standard output) and raises the alert
// "There was a problem processing a GLSL pixel shader." (kind 1 when reloading, else kind 2, which ends
// the program); after a kind-1 alert the whole load runs again, so each dismissal starts a new pass. In an
// automated run the load stops after the first failed pass instead, leaving the program unbuilt.
void SHADER_load(SHADER_program& program, int reloading);
// SHADER_load for every program of the global set, in the order they were registered.
void SHADER_reload_all(int reloading);

// Adds a program to the global set (once; a second registration of the same object is ignored). The
// object must stay alive until it is unregistered.
void SHADER_register(SHADER_program* program);
// Removes a program from the global set; unknown objects are ignored.
void SHADER_unregister(SHADER_program* program);

// The common defines of every stage, in order: the platform defines, then LIMITED (first-generation
// shaders), HAS_GSHADER (the program's geometry flag), HAS_SRGB and HAS_SHADER_LOD (the probe's flags).
std::string SHADER_common_defines(int has_geometry);
// The stage prologue: "#version 120" (always for the geometry stage, which also enables its extensions;
// for the others only when the driver's GLSL version is above 1.19), then the VSHADER, GSHADER and FSHADER
// defines. stage: 0 vertex, 1 geometry, 2 fragment.
std::string SHADER_stage_prologue(int stage);

// Copies the text of `file` to `out`, replacing each `#include "name"` by the expanded text of
// "Resources/shaders/name" (with depth - 1). A directive whose file cannot be opened, or met with a depth
// below 1, stays as it is and is logged; a directive without a closing quote is logged and ends the
// expansion there.
void SHADER_expand_includes(const xmap_file& file, std::string& out, int depth);

// Registers the module's named variable "shader/total_shaders" (own value, type 0, default 0) and the
// action "Reload Pixel Shaders..." (SHADER_reload_all(1)) on the first call, and returns the variable;
// later calls return the same variable. Call at start-up, on the main thread.
DREF_var& SHADER_register_vars();
