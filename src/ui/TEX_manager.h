// TEX_manager: the texture manager (module tman). Every texture is reached through a tex_ref, an index
// into the manager's slots; the manager owns the texture objects, turns load requests into objects in the
// right slot, binds the texture of a ref and unloads manual textures. Callers never see GL names.
//
// Refs: 0 no texture (as a load argument: a dynamic texture by name); 3 the gray placeholder (GL name 3);
// 0..1072 manual refs; 1072 and up dynamic refs handed out by name. Ref 1072 is never used as a manual
// ref (dynamic loads start there, and unloading refuses it).
//
// DESIGN: one mutex guards the slots and the name map; an object is loaded and bound outside it. Loads
// come from the main thread here.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class TEX_obj;

constexpr int TMAN_PLACEHOLDER = 3;
constexpr int TMAN_LAST_MANUAL = 1072;
constexpr int TMAN_FIRST_DYNAMIC = 1072;

// The scratch image: one RGBA buffer (16-byte aligned, 2048 x 2048 x 4 bytes) that callers fill before a
// "scratch_array" load, with the size of what they put there. Main thread.
constexpr int TMAN_SCRATCH_SIDE = 2048;
constexpr size_t TMAN_SCRATCH_BYTES = static_cast<size_t>(TMAN_SCRATCH_SIDE) * TMAN_SCRATCH_SIDE * 4;
extern unsigned char* const TMAN_scratch_pixels;
extern int TMAN_scratch_width;
extern int TMAN_scratch_height;

// The rendering options that the texture code reads, and the scene options beside them that nothing here
// draws; each is the target of a named variable ("reno/..."). Main thread.
struct OGL_render_options_record {
    int tex_res = 5;      // texture resolution level 0..5 (5: full size)
    int aniso_filter = 0; // "reno/aniso_filter"
    int comp_texes = 0;   // "reno/comp_texes": prefer a .dds beside a file
    float LOD_bias_rat = 0;
    int draw_for_05 = 0, draw_objs_06 = 0, draw_vecs_03 = 0, draw_detail_apt_03 = 0, draw_cars_05 = 0,
        draw_planet = 0, draw_view_ind = 0, draw_gload = 0, sloped_runways = 0, diff_FOV = 0,
        master_view_setting = 0, draw_reflect_water05 = 0, draw_volume_fog01 = 0, draw_per_pix_liting = 0,
        draw_HDR = 0, draw_scattering = 0, use_bump_maps = 0, use_detail_textures = 0;
};
extern OGL_render_options_record OGL_render_options;

// Registers the named variables of the rendering options ("reno/LOD_bias_rat" through the first value
// pointer, the others through the second; type code 5). Once, at start-up; later calls do nothing.
void TMAN_register_vars();
// The start-up values after the capability probe: "reno/aniso_filter" the whole part of max_aniso (at most
// 4), "reno/comp_texes" 1, and the scene defaults (the detail, per-pixel lighting and volume fog options 1
// unless the probe found first-generation shaders).
void OGL_default_render_options();

// Loads a texture and returns its ref, or 0 on failure.
// - policy: the missing-texture policy 0..4 (TEX_obj); scratch loads always use 4.
// - ref: the manual ref, or 0 for a dynamic texture named by `name`.
// - flags: the load flags of TEX_obj.h.
// - load_time: 0..2 (every caller passes 2); another value is the kind-3 alert "Trying to create an invalid
//   texture load_time!" (line 81).
// - name: a path (often "RESOURCE:..."), or "scratch_array..." to load the scratch image.
// A ref outside 0..1072 is the kind-3 alert "Trying to bind too low or high a manual_ref!" (line 82). An
// empty name gives 0. Manual and scratch loads give the ref, or 0 when the load failed (the object stays in
// its slot and binds as the placeholder). A dynamic load gives the ref that the folded name holds (a second
// load of the same key adds a reference and does not load again), or a new one at the lowest free slot
// from 1072.
int TMAN_load_bitmap(int policy, int ref, uint32_t flags, int load_time, const std::string& name);
// Binds the texture of `ref` on `unit` with the combiner `mode`; an empty slot is the kind-3 alert "Null
// texture - how?" (line 235).
void TMAN_bind_ref(int ref, int unit, int mode);
// Deletes a manual texture and frees its slot; a ref of 1072 or above is the kind-3 alert "Error: dynamic
// textures should be released, not unloaded." (line 488).
void TMAN_unload(int ref);
// The object of a ref, or null (read under the lock).
TEX_obj* TMAN_get(int ref);
// 1 when the slot holds an object whose loaded flag is set.
int TMAN_is_loaded(int ref);
// The scale of the texture resolution level: 5 1.0, 4 0.5, 3 0.25, 2 0.125, 1 0.0625, 0 0.03125, else 1.0.
float TMAN_resolution_scale();
// Start-up: makes the deletion queue, then the 2 x 2 gray-130 placeholder in slot 3 with GL name 3.
void TMAN_make_placeholder();
// The placeholder object (null before TMAN_make_placeholder).
TEX_obj* TMAN_placeholder();
// Window 0's context is gone, and every GL name with it: the manager forgets its objects without deleting
// their names (slots, placeholder and scratch textures, the dynamic names), drops the queued deletions and
// resets the unit cache. The next context starts clean: loads make new objects (dynamic refs from 1072
// again) and start-up makes the placeholder anew. Refs held from before name nothing. Main thread, no load
// running.
void TMAN_forget_context();

// Claims the once-only flag 1..3 of the missing-texture policies; true the first time.
bool TMAN_claim_missing_flag(int policy);

// The fold of a dynamic name: each "/.." goes with the path element before it (a leading element also
// takes the '/' after the ".."), and the search goes on from there. An occurrence that no element precedes
// (at the start, or after another "..") is left as it is.
std::string TMAN_fold_key(const std::string& name);

// The start-up progress report of TMAN_load_bitmap: true when more than a second has passed since the
// previous load (`*previous_s` then takes `now_s` in any case), the load time is 2, the name is not a
// scratch name, and the ref is none of 0, 3, 996 and 1021 and lies outside 1026-1041. The report itself is
// "Loading bitmap <name>." handed to TMAN_progress_hook.
bool TMAN_progress_due(double now_s, double* previous_s, int load_time, const std::string& name, int ref);
// Receives the progress text (start-up installs the status box here); null: no report.
extern void (*TMAN_progress_hook)(const std::string& text);
