// APP_toolkit_init: the toolkit's named variables, named actions and global objects.
#include "ui/APP_toolkit_init.h"

#include <bit>
#include <cstdint>

#include "base/CMND_registry.h"
#include "base/DREF_registry.h"
#include "ui/BTN_text_field.h"
#include "ui/KEY_bindings.h"
#include "ui/OGL_back_tex.h"
#include "ui/OGL_font.h"
#include "ui/OGL_shader.h"
#include "ui/OGL_texture_unit.h"
#include "ui/OGL_view.h"
#include "ui/QTIM_capture.h"
#include "ui/TEX_manager.h"
#include "ui/WIN_window_table.h"

namespace {

// Written once by APP_toolkit_init on the main thread; read-only afterwards.
struct toolkit_init_state {
    bool done = false;
    std::vector<DREF_var*> vars;
} init;

uint32_t float_bits(float f) { return std::bit_cast<uint32_t>(f); }

} // namespace

void APP_toolkit_init() {
    if (init.done)
        return;
    init.done = true;

    init.vars.push_back(&OGL_texture_unit_register_vars());
    OGL_view_vars view = OGL_view_register_vars();
    init.vars.push_back(&view.kill_cull);
    init.vars.push_back(&view.kill_clip);
    init.vars.push_back(&OGL_font_register_vars());
    TMAN_register_vars();
    init.vars.push_back(&SHADER_register_vars());
    WIN_set_second_window_hook(OGL_back_tex_load);

    // Objects that live for the whole run: a variable is registered with its address.
    static DREF_var own[] = {
        {"shadow/csm/pad_near_const", 5, float_bits(5.0f)},
        {"shadow/csm/pad_near_ratio", 5, float_bits(1.0f)},
        {"memory/chunky_buffers", 0, 0},
        {"fbo/flush_per_frame", 2, 0},
        {"xdl/num_xdl_draw", 2, 0},
        {"xdl/num_xdl_vert", 2, 0},
        {"xdl/num_xdl_inst", 2, 0},
        {"xdl/num_xdl", 0, 0},
        {"xdl/num_xdl_group", 0, 0},
        {"xdl/num_xdl_group_map", 0, 0},
        {"xdl/geo_bytes_vram", 4, 0},
        {"xdl/geo_bytes_agp", 4, 0},
        {"xdl/geo_bytes_sys", 4, 0},
        {"xdl/idx_bytes_vram", 4, 0},
        {"xdl/idx_bytes_agp", 4, 0},
        {"xdl/idx_bytes_sys", 4, 0},
        {"xdl/always_use_vram", 5, 0},
        {"time/thread_sync_wait", 4, 0},
        {"time/wait_workers", 5, 0},
    };
    for (DREF_var& v : own)
        init.vars.push_back(&v);

    CMND_registry_init();
    KEY_set_focus_router(BTN_route_key);
    QTIM_init();
}

const std::vector<DREF_var*>& APP_toolkit_vars() { return init.vars; }
