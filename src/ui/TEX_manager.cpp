// TEX_manager: the texture manager, the scratch image and the rendering options.
#include "ui/TEX_manager.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "base/APP_alert.h"
#include "base/DREF_registry.h"
#include "base/hl_string.h"
#include "platform/APP_time.h"
#include "ui/OGL_extensions.h"
#include "ui/OGL_texture_unit.h"
#include "ui/TEX_obj.h"

namespace {

// The manager (any thread may load or look up; the slots and the map under `lock`). It lives for the
// whole run and is never destroyed, so no GL name is deleted after the context has gone.
struct manager_state {
    std::mutex lock;
    std::vector<TEX_obj*> slots;                // null: free
    std::unordered_map<std::string, int> names; // dynamic textures: folded name -> ref
    TEX_obj* placeholder = nullptr;
    std::atomic<bool> missing_once[3] = {false, false, false};
    double previous_load_s = 0; // main thread
};
manager_state& tman() {
    static manager_state* state = new manager_state;
    return *state;
}

alignas(16) unsigned char scratch_buffer[TMAN_SCRATCH_BYTES];

bool is_scratch_name(const std::string& name) {
    return name.size() >= 13 && name.compare(0, 13, "scratch_array") == 0;
}

// Under the lock: the slot of a ref, the array grown with nulls to hold it.
TEX_obj*& slot_of(manager_state& m, int ref) {
    if (m.slots.size() <= static_cast<size_t>(ref))
        m.slots.resize(static_cast<size_t>(ref) + 1, nullptr);
    return m.slots[static_cast<size_t>(ref)];
}

int scratch_load(int ref, uint32_t flags, const std::string& name) {
    manager_state& m = tman();
    TEX_obj* obj;
    {
        std::lock_guard<std::mutex> hold(m.lock);
        TEX_obj*& slot = slot_of(m, ref);
        if (slot) {
            slot->set_buffer(TMAN_scratch_pixels, TMAN_scratch_width, TMAN_scratch_height);
        } else {
            slot = new TEX_obj(ref, ref == TMAN_PLACEHOLDER ? TMAN_PLACEHOLDER : 0, flags,
                               TMAN_scratch_pixels, TMAN_scratch_width, TMAN_scratch_height, name);
        }
        obj = slot;
    }
    return obj->load() ? ref : 0;
}

int manual_load(int policy, int ref, uint32_t flags, const std::string& name) {
    manager_state& m = tman();
    TEX_obj* obj;
    {
        std::lock_guard<std::mutex> hold(m.lock);
        TEX_obj*& slot = slot_of(m, ref);
        if (slot)
            slot->set_file(name, policy);
        else
            slot = new TEX_obj(ref, 0, name, flags, policy);
        obj = slot;
    }
    return obj->load() ? ref : 0;
}

int dynamic_load(int policy, uint32_t flags, const std::string& name) {
    manager_state& m = tman();
    const std::string key = TMAN_fold_key(name);
    TEX_obj* obj;
    {
        std::lock_guard<std::mutex> hold(m.lock);
        auto found = m.names.find(key);
        if (found != m.names.end()) {
            TEX_obj* shared = m.slots[static_cast<size_t>(found->second)];
            shared->add_reference();
            return shared->tex_ref;
        }
        size_t ref = TMAN_FIRST_DYNAMIC;
        while (ref < m.slots.size() && m.slots[ref])
            ++ref;
        TEX_obj*& slot = slot_of(m, static_cast<int>(ref));
        m.names[key] = static_cast<int>(ref);
        slot = new TEX_obj(static_cast<int>(ref), 0, key, flags, policy);
        obj = slot;
    }
    obj->load();
    return obj->tex_ref;
}

} // namespace

unsigned char* const TMAN_scratch_pixels = scratch_buffer;
int TMAN_scratch_width = 0;
int TMAN_scratch_height = 0;
OGL_render_options_record OGL_render_options;
void (*TMAN_progress_hook)(const std::string& text) = nullptr;

void TMAN_register_vars() {
    static bool done = false;
    if (done)
        return;
    done = true;
    OGL_render_options_record& o = OGL_render_options;
    static DREF_var lod_bias(&o.LOD_bias_rat, "reno/LOD_bias_rat", 5);
    struct bound {
        int* variable;
        const char* name;
    };
    static const bound others[] = {
        {&o.draw_for_05, "reno/draw_for_05"},
        {&o.draw_objs_06, "reno/draw_objs_06"},
        {&o.draw_vecs_03, "reno/draw_vecs_03"},
        {&o.draw_detail_apt_03, "reno/draw_detail_apt_03"},
        {&o.draw_cars_05, "reno/draw_cars_05"},
        {&o.draw_planet, "reno/draw_planet"},
        {&o.draw_view_ind, "reno/draw_view_ind"},
        {&o.draw_gload, "reno/draw_gload"},
        {&o.aniso_filter, "reno/aniso_filter"},
        {&o.comp_texes, "reno/comp_texes"},
        {&o.sloped_runways, "reno/sloped_runways"},
        {&o.diff_FOV, "reno/diff_FOV"},
        {&o.master_view_setting, "reno/master_view_setting"},
        {&o.draw_reflect_water05, "reno/draw_reflect_water05"},
        {&o.draw_volume_fog01, "reno/draw_volume_fog01"},
        {&o.draw_per_pix_liting, "reno/draw_per_pix_liting"},
        {&o.draw_HDR, "reno/draw_HDR"},
        {&o.draw_scattering, "reno/draw_scattering"},
        {&o.use_bump_maps, "reno/use_bump_maps"},
        {&o.use_detail_textures, "reno/use_detail_textures"},
    };
    // The variables live for the whole run, as the registry keeps their addresses.
    static std::vector<DREF_var*> vars;
    for (const bound& b : others)
        vars.push_back(new DREF_var(DREF_bind_other{}, b.variable, b.name, 5));
}

void OGL_default_render_options() {
    OGL_render_options_record& o = OGL_render_options;
    o.aniso_filter = std::min(static_cast<int>(OGL_capabilities.max_aniso), 4);
    o.comp_texes = 1;
    const int shaders = OGL_capabilities.first_gen_shaders ? 0 : 1;
    o.draw_for_05 = 1;
    o.LOD_bias_rat = 1.0f;
    o.draw_objs_06 = 1;
    o.draw_vecs_03 = 1;
    o.draw_detail_apt_03 = shaders;
    o.draw_per_pix_liting = shaders;
    o.draw_volume_fog01 = shaders;
    o.draw_cars_05 = 0;
    o.draw_planet = 1;
    o.draw_view_ind = 1;
    o.draw_gload = 1;
    o.draw_reflect_water05 = 0;
    o.draw_HDR = 0;
    o.draw_scattering = 0;
    o.sloped_runways = 1;
    o.use_bump_maps = 1;
    o.use_detail_textures = 1;
}

bool TMAN_progress_due(double now_s, double* previous_s, int load_time, const std::string& name, int ref) {
    const bool late = now_s > *previous_s + 1.0;
    *previous_s = now_s;
    return late && load_time == 2 && !is_scratch_name(name) && ref != 0 && ref != 3 && ref != 996 &&
           ref != 1021 && (ref < 1026 || ref > 1041);
}

std::string TMAN_fold_key(const std::string& name) {
    std::string key = name;
    size_t from = 0;
    for (;;) {
        size_t p = key.find("/..", from);
        if (p == std::string::npos)
            return key;
        size_t q = p == 0 ? std::string::npos : key.rfind('/', p - 1);
        size_t element = q == std::string::npos ? 0 : q + 1;
        if (p == 0 || key.compare(element, p - element, "..") == 0) {
            from = p + 3; // nothing precedes it to fold into
            continue;
        }
        if (q == std::string::npos) {
            size_t end = p + 3;
            if (end < key.size() && key[end] == '/')
                ++end;
            key.erase(0, end);
            from = 0;
        } else {
            key.erase(q, p + 3 - q);
            from = q;
        }
    }
}

int TMAN_load_bitmap(int policy, int ref, uint32_t flags, int load_time, const std::string& name) {
    if (name.empty())
        return 0;
    manager_state& m = tman();
    if (TMAN_progress_due(static_cast<double>(APP_get_microseconds()) / 1000000.0, &m.previous_load_s,
                          load_time, name, ref) &&
        TMAN_progress_hook)
        TMAN_progress_hook("Loading bitmap " + name + ".");
    if (load_time < 0 || load_time > 2) {
        APP_alert(0, "Trying to create an invalid texture load_time!", name,
                  "value:", STR_printf("%1.0f", 1.0 * load_time), 3, "tman", 81);
        return 0;
    }
    if (ref < 0 || ref > TMAN_LAST_MANUAL) {
        APP_alert(0, "Trying to bind too low or high a manual_ref!", name,
                  "value:", STR_printf("%1.0f", 1.0 * ref), 3, "tman", 82);
        return 0;
    }
    if (is_scratch_name(name))
        return scratch_load(ref, flags, name);
    if (ref != 0)
        return manual_load(policy, ref, flags, name);
    return dynamic_load(policy, flags, name);
}

TEX_obj* TMAN_get(int ref) {
    manager_state& m = tman();
    std::lock_guard<std::mutex> hold(m.lock);
    if (ref < 0 || static_cast<size_t>(ref) >= m.slots.size())
        return nullptr;
    return m.slots[static_cast<size_t>(ref)];
}

int TMAN_is_loaded(int ref) {
    TEX_obj* obj = TMAN_get(ref);
    return obj && obj->loaded.load() ? 1 : 0;
}

void TMAN_bind_ref(int ref, int unit, int mode) {
    TEX_obj* obj = TMAN_get(ref);
    if (!obj) {
        APP_alert(0, "Null texture - how?", "", STR_printf("ref=%6.0f", 1.0 * ref), "", 3, "tman", 235);
        return;
    }
    obj->bind(unit, mode);
}

void TMAN_unload(int ref) {
    if (ref >= TMAN_FIRST_DYNAMIC) {
        TEX_obj* obj = TMAN_get(ref);
        APP_alert(0, "Error: dynamic textures should be released, not unloaded.",
                  obj ? obj->name : std::string(), STR_printf("%f", 1.0 * ref), "", 3, "tman", 488);
        return;
    }
    manager_state& m = tman();
    TEX_obj* obj = nullptr;
    {
        std::lock_guard<std::mutex> hold(m.lock);
        if (ref >= 0 && static_cast<size_t>(ref) < m.slots.size()) {
            obj = m.slots[static_cast<size_t>(ref)];
            m.slots[static_cast<size_t>(ref)] = nullptr;
        }
        if (obj == m.placeholder)
            m.placeholder = nullptr;
    }
    delete obj;
}

float TMAN_resolution_scale() {
    switch (OGL_render_options.tex_res) {
    case 5:
        return 1.0f;
    case 4:
        return 0.5f;
    case 3:
        return 0.25f;
    case 2:
        return 0.125f;
    case 1:
        return 0.0625f;
    case 0:
        return 0.03125f;
    default:
        return 1.0f;
    }
}

void TMAN_make_placeholder() {
    TEX_create_delete_queue();
    std::memset(TMAN_scratch_pixels, 0x82, 12);
    TMAN_scratch_width = 2;
    TMAN_scratch_height = 2;
    TMAN_load_bitmap(0, TMAN_PLACEHOLDER, 0x201, 2, "scratch_array-blank_gray");
    TEX_obj* obj = TMAN_get(TMAN_PLACEHOLDER);
    manager_state& m = tman();
    std::lock_guard<std::mutex> hold(m.lock);
    m.placeholder = obj;
}

void TMAN_forget_context() {
    manager_state& m = tman();
    std::vector<TEX_obj*> objects;
    {
        std::lock_guard<std::mutex> hold(m.lock);
        objects.swap(m.slots);
        m.names.clear();
        m.placeholder = nullptr;
    }
    for (TEX_obj* obj : objects)
        if (obj) {
            obj->gl_name.store(0); // gone with its context: never deleted in the next one
            delete obj;
        }
    TEX_drop_deletes();
    OGL_reset_unit_cache();
}

TEX_obj* TMAN_placeholder() {
    manager_state& m = tman();
    std::lock_guard<std::mutex> hold(m.lock);
    return m.placeholder;
}

bool TMAN_claim_missing_flag(int policy) {
    if (policy < 1 || policy > 3)
        return false;
    return !tman().missing_once[policy - 1].exchange(true);
}
