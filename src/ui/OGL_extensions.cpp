// OGL_extensions: the OpenGL capability probe and the record of what the driver offers.
#include "ui/OGL_extensions.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/APP_alert.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/hl_thread.h"
#include "platform/WIN_gl_proc.h"
#include "platform/WIN_window.h"

namespace OGL_proc {
#define OGL_DEFINE_GLOBAL(type, name) type name = nullptr;
OGL_EP_MULTITEXTURE(OGL_DEFINE_GLOBAL)
OGL_EP_TEX3D_BLEND_COLOUR(OGL_DEFINE_GLOBAL)
#undef OGL_DEFINE_GLOBAL
} // namespace OGL_proc

namespace {

const char* support_address = "support@aerivon.example";
const char* web_site = "www.aerivon.example";

const char* real_get_string(GLenum name) { return reinterpret_cast<const char*>(glGetString(name)); }
void real_get_integerv(GLenum name, GLint* out) { glGetIntegerv(name, out); }
void real_get_floatv(GLenum name, GLfloat* out) { glGetFloatv(name, out); }

const OGL_driver real_driver = {real_get_string, real_get_integerv, real_get_floatv, WIN_gl_get_proc_address};

// The driver the probe reads (main thread).
const OGL_driver* driver = &real_driver;

// Up to `max` integers separated by `sep`, read as sscanf("%d<sep>%d...") would, without its overflow: each
// value is clamped to the int range. Returns how many were read.
int clamp_int(long long v) { return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v); }

int scan_ints(const char* text, int max, int* out) {
    if (!text)
        return 0;
    const char* p = text;
    int n = 0;
    while (n < max) {
        if (n > 0) {
            if (*p != '.')
                break;
            ++p;
        }
        char* end = nullptr;
        errno = 0;
        long v = std::strtol(p, &end, 10);
        if (end == p)
            break;
        out[n++] = clamp_int(v);
        p = end;
    }
    return n;
}

std::string tr(const char* english) {
    std::string out;
    LANG_translate(out, english);
    return out;
}

using store_fn = void (*)(OGL_capabilities_record&, void*);
struct entry_point {
    const char* name;
    store_fn store;
};

#define OGL_ENTRY(type, name)                                                                                \
    {#name, [](OGL_capabilities_record& r, void* p) { r.name = reinterpret_cast<type>(p); }},
#define OGL_GLOBAL_ENTRY(type, name)                                                                         \
    {#name, [](OGL_capabilities_record&, void* p) { OGL_proc::name = reinterpret_cast<type>(p); }},

const entry_point mapped_range[] = {OGL_EP_MAPPED_RANGE(OGL_ENTRY)};
const entry_point buffer_group[] = {OGL_EP_BUFFER(OGL_ENTRY)};
const entry_point multitexture_group[] = {OGL_EP_MULTITEXTURE(OGL_GLOBAL_ENTRY)};
const entry_point tex3d_group[] = {OGL_EP_TEX3D_BLEND_COLOUR(OGL_GLOBAL_ENTRY)};
const entry_point query_group[] = {OGL_EP_QUERY(OGL_ENTRY)};
const entry_point gshader_group[] = {OGL_EP_GEOMETRY_SHADER(OGL_ENTRY)};
const entry_point buniform_group[] = {OGL_EP_BINDABLE_UNIFORM(OGL_ENTRY)};
const entry_point framebuffer_group[] = {OGL_EP_FRAMEBUFFER(OGL_ENTRY)};
const entry_point blit_group[] = {OGL_EP_FRAMEBUFFER_BLIT(OGL_ENTRY)};
const entry_point compressed_group[] = {OGL_EP_COMPRESSED(OGL_ENTRY)};
const entry_point separate_blend_group[] = {OGL_EP_SEPARATE_BLEND(OGL_ENTRY)};
const entry_point indexed_group[] = {OGL_EP_INDEXED(OGL_ENTRY)};
const entry_point gpu_shader4_group[] = {OGL_EP_GPU_SHADER4(OGL_ENTRY)};
const entry_point sync_group[] = {OGL_EP_SYNC(OGL_ENTRY)};
const entry_point copy_buffer_group[] = {OGL_EP_COPY_BUFFER(OGL_ENTRY)};
const entry_point instancing_group[] = {OGL_EP_INSTANCING(OGL_ENTRY)};
const entry_point draw_buffers_group[] = {OGL_EP_DRAW_BUFFERS(OGL_ENTRY)};
const entry_point vertex_attrib_group[] = {OGL_EP_VERTEX_ATTRIB(OGL_ENTRY)};
const entry_point shader_objects_group[] = {OGL_EP_SHADER_OBJECTS(OGL_ENTRY)};
const entry_point uniforms_group[] = {OGL_EP_UNIFORMS(OGL_ENTRY)};
const entry_point shader_queries_group[] = {OGL_EP_SHADER_QUERIES(OGL_ENTRY)};
const entry_point separate_stencil_group[] = {OGL_EP_SEPARATE_STENCIL(OGL_ENTRY)};
const entry_point nonsquare_group[] = {OGL_EP_NONSQUARE_MATRICES(OGL_ENTRY)};

#undef OGL_ENTRY
#undef OGL_GLOBAL_ENTRY

struct entry_group {
    const entry_point* entries;
    size_t count;
    int32_t OGL_capabilities_record::*flag; // null: required
};

#define OGL_GROUP(array, flag)                                                                               \
    { array, sizeof(array) / sizeof(array[0]), flag }
const entry_group groups[] = {
    OGL_GROUP(buffer_group, nullptr),
    OGL_GROUP(multitexture_group, nullptr),
    OGL_GROUP(tex3d_group, nullptr),
    OGL_GROUP(query_group, nullptr),
    OGL_GROUP(gshader_group, &OGL_capabilities_record::gshader_avail),
    OGL_GROUP(buniform_group, &OGL_capabilities_record::buniform_avail),
    OGL_GROUP(framebuffer_group, &OGL_capabilities_record::framebuf_avail),
    OGL_GROUP(blit_group, &OGL_capabilities_record::frameblit_avail),
    OGL_GROUP(compressed_group, nullptr),
    OGL_GROUP(separate_blend_group, nullptr),
    OGL_GROUP(indexed_group, &OGL_capabilities_record::drawbuf2_avail),
    OGL_GROUP(gpu_shader4_group, &OGL_capabilities_record::gpu_shad4_avail),
    OGL_GROUP(sync_group, &OGL_capabilities_record::sync_avail),
    OGL_GROUP(copy_buffer_group, &OGL_capabilities_record::copy_buf_avail),
    OGL_GROUP(instancing_group, &OGL_capabilities_record::instance_avail),
    OGL_GROUP(draw_buffers_group, nullptr),
    OGL_GROUP(vertex_attrib_group, nullptr),
    OGL_GROUP(shader_objects_group, nullptr),
    OGL_GROUP(uniforms_group, nullptr),
    OGL_GROUP(shader_queries_group, nullptr),
    OGL_GROUP(separate_stencil_group, nullptr),
    OGL_GROUP(nonsquare_group, nullptr),
};
#undef OGL_GROUP

bool ends_with(const std::string& s, const char* tail) {
    size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

} // namespace

// Written by OGL_probe on the main thread before any worker starts; read-only afterwards (threaded_avail
// aside, which only ever goes to 0). Defined after the tables its constructor reads.
OGL_capabilities_record OGL_capabilities;

OGL_capabilities_record::OGL_capabilities_record() {
    for (const auto& e : multitexture_group)
        e.store(*this, nullptr);
    for (const auto& e : tex3d_group)
        e.store(*this, nullptr);
#define OGL_ZERO_MEMBER(type, name) name = nullptr;
    OGL_EP_MAPPED_RANGE(OGL_ZERO_MEMBER)
    OGL_EP_BUFFER(OGL_ZERO_MEMBER)
    OGL_EP_QUERY(OGL_ZERO_MEMBER)
    OGL_EP_GEOMETRY_SHADER(OGL_ZERO_MEMBER)
    OGL_EP_BINDABLE_UNIFORM(OGL_ZERO_MEMBER)
    OGL_EP_FRAMEBUFFER(OGL_ZERO_MEMBER)
    OGL_EP_FRAMEBUFFER_BLIT(OGL_ZERO_MEMBER)
    OGL_EP_COMPRESSED(OGL_ZERO_MEMBER)
    OGL_EP_SEPARATE_BLEND(OGL_ZERO_MEMBER)
    OGL_EP_INDEXED(OGL_ZERO_MEMBER)
    OGL_EP_GPU_SHADER4(OGL_ZERO_MEMBER)
    OGL_EP_SYNC(OGL_ZERO_MEMBER)
    OGL_EP_COPY_BUFFER(OGL_ZERO_MEMBER)
    OGL_EP_INSTANCING(OGL_ZERO_MEMBER)
    OGL_EP_DRAW_BUFFERS(OGL_ZERO_MEMBER)
    OGL_EP_VERTEX_ATTRIB(OGL_ZERO_MEMBER)
    OGL_EP_SHADER_OBJECTS(OGL_ZERO_MEMBER)
    OGL_EP_UNIFORMS(OGL_ZERO_MEMBER)
    OGL_EP_SHADER_QUERIES(OGL_ZERO_MEMBER)
    OGL_EP_SEPARATE_STENCIL(OGL_ZERO_MEMBER)
    OGL_EP_NONSQUARE_MATRICES(OGL_ZERO_MEMBER)
#undef OGL_ZERO_MEMBER
    max_aniso = 1.0f;
    max_tex_units = max_image_units = max_tex_coords = 0;
    vendor = renderer = version = extensions = nullptr;
    dis_fog_avail = instance_avail = pbo_avail = aniso_avail = gshader_avail = buniform_avail = 0;
    first_gen_shaders = glsl_version = shad_lod_avail = gpu_shad4_avail = framebuf_avail = 0;
    frameblit_avail = drawbuf2_avail = packed_stencil = texture_rg = framebuffer_srgb = tex_float_avail = 0;
    sync_avail = apple_fence_avail = copy_buf_avail = pinned_avail = 0;
    threaded_avail = idx_in_vram = subtex_avail = 1;
    max_tex_size = card_class = 0;
}

void OGL_set_driver(const OGL_driver* d) { driver = d ? d : &real_driver; }

void* OGL_get_proc_address(const char* name) {
    std::string n = name;
    if (const char* arb = WIN_gl_arb_name(name, OGL_capabilities.extensions))
        if (void* p = driver->get_proc(arb))
            return p;
    if (void* p = driver->get_proc(name))
        return p;
    if (ends_with(n, "EXT") || ends_with(n, "ARB"))
        return driver->get_proc(n.substr(0, n.size() - 3).c_str());
    return nullptr;
}

void OGL_parse_version(const char* text, int& number, int& release) {
    int v[3] = {0, 0, 0};
    int n = scan_ints(text, 3, v);
    release = 0;
    if (n >= 2) {
        number = clamp_int((static_cast<long long>(v[0]) * 10 + v[1]) * 10);
        if (n == 3)
            release = v[2];
        return;
    }
    number = 100;
    static const char* const prefixes[] = {"1.1", "1.2", "1.3", "1.4", "1.5", "2.0", "2.1"};
    static const int values[] = {110, 120, 130, 140, 150, 200, 210};
    for (int i = 0; i < 7; ++i)
        if (text && std::strncmp(text, prefixes[i], 3) == 0)
            number = values[i];
}

int OGL_parse_glsl_version(const char* text) {
    int v[2] = {0, 0};
    if (scan_ints(text, 2, v) < 2)
        return 0;
    long long minor = v[1] <= 9 ? v[1] * 10LL : v[1];
    return clamp_int(v[0] * 100LL + minor);
}

void OGL_capabilities_record::OGL_probe() {
    vendor = driver->get_string(GL_VENDOR);
    renderer = driver->get_string(GL_RENDERER);
    version = driver->get_string(GL_VERSION);
    extensions = driver->get_string(GL_EXTENSIONS);

    int v = 0, release = 0;
    OGL_parse_version(version, v, release);

    auto has = [this](const char* ext) { return extensions && std::strstr(extensions, ext) != nullptr; };
    buniform_avail = has("GL_EXT_bindable_uniform");
    aniso_avail = has("GL_EXT_texture_filter_anisotropic");
    dis_fog_avail = has("GL_NV_fog_distance");
    pbo_avail = v >= 210 || has("GL_ARB_pixel_buffer_object");
    shad_lod_avail = has("GL_ARB_shader_texture_lod");
    gpu_shad4_avail = v >= 300 || has("GL_EXT_gpu_shader4");
    sync_avail = v >= 320 || has("GL_ARB_sync");
    copy_buf_avail = v >= 310 || has("GL_ARB_copy_buffer");
    apple_fence_avail = has("GL_APPLE_fence");
    pinned_avail = has("GL_AMD_pinned_memory");
    framebuf_avail = v >= 300 || has("GL_EXT_framebuffer_object") || has("GL_ARB_framebuffer_object");
    frameblit_avail = v >= 300 || has("GL_EXT_framebuffer_blit") || has("GL_ARB_framebuffer_object");
    drawbuf2_avail = v >= 300 || has("GL_EXT_draw_buffers2");
    packed_stencil = v >= 300 || has("GL_EXT_packed_depth_stencil");
    tex_float_avail = v >= 300 || has("GL_ARB_texture_float");
    texture_rg = v >= 300 || has("GL_ARB_texture_rg");
    framebuffer_srgb = v >= 300 || has("GL_ARB_framebuffer_sRGB") || has("GL_EXT_framebuffer_sRGB");
    gshader_avail = v >= 320 || has("GL_ARB_geometry_shader4") || has("GL_EXT_geometry_shader4");
    instance_avail = v >= 400 || has("GL_ARB_instanced_arrays");

    if (vendor && std::strcmp(vendor, "ATI Technologies Inc.") == 0 && !OPT_has("--use_srgb") &&
        release != 0 && release < 11932 && framebuffer_srgb) {
        framebuffer_srgb = 0;
        LOG_stream << "Disabling sRGB for ATI Catalyst 12-10 and older drivers.\n";
    }
    if (vendor && std::strstr(vendor, "NVIDIA") && !has("GL_NV_fragment_program2"))
        first_gen_shaders = 1;

    // Entry points. The mapped-range pair is optional and not reported; a group with a flag is fetched while
    // its flag is set, and a missing entry point clears it.
    for (const auto& e : mapped_range)
        e.store(*this, OGL_get_proc_address(e.name));
    bool required_missing = false;
    for (const auto& g : groups) {
        for (size_t i = 0; i < g.count; ++i) {
            if (g.flag && !(this->*g.flag))
                break;
            void* p = OGL_get_proc_address(g.entries[i].name);
            g.entries[i].store(*this, p);
            if (p)
                continue;
            LOG_stream << "WARNING: extension missing proc " << g.entries[i].name
                       << ".  This is a problem with your video driver.\n";
            if (g.flag)
                this->*g.flag = 0;
            else
                required_missing = true;
        }
    }
    if (required_missing)
        APP_alert(0, "Aerivon requires at least an OpenGL 2.0 driver to run.", "", "", "", 3,
                  "OGL_extensions", 752);

    // Limits.
    GLint limits[6] = {0, 0, 0, 0, 0, 0};
    const GLenum limit_names[6] = {GL_MAX_VERTEX_ATTRIBS,
                                   GL_MAX_VERTEX_UNIFORM_COMPONENTS,
                                   GL_MAX_VARYING_FLOATS,
                                   GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS,
                                   GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS,
                                   GL_MAX_FRAGMENT_UNIFORM_COMPONENTS};
    for (int i = 0; i < 6; ++i)
        driver->get_integerv(limit_names[i], &limits[i]);
    const char* glsl_text = driver->get_string(GL_SHADING_LANGUAGE_VERSION);
    if (!glsl_text)
        glsl_text = "<null string>";
    glsl_version = OGL_parse_glsl_version(glsl_text);
    GLint value = 0;
    driver->get_integerv(GL_MAX_TEXTURE_UNITS, &value);
    max_tex_units = value ? value : 1;
    value = 0;
    driver->get_integerv(GL_MAX_TEXTURE_IMAGE_UNITS, &value);
    max_image_units = value;
    value = 0;
    driver->get_integerv(GL_MAX_TEXTURE_COORDS, &value);
    max_tex_coords = value;
    if (aniso_avail)
        driver->get_floatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &max_aniso);
    value = 0;
    driver->get_integerv(GL_MAX_TEXTURE_SIZE, &value);
    max_tex_size = value;
    GLfloat point_range[2] = {0.0f, 0.0f};
    driver->get_floatv(GL_POINT_SIZE_RANGE, point_range);

    // Switches.
    if (OPT_has("--num_units")) {
        max_tex_units = clamp_int(std::strtol(OPT_get("--num_units").c_str(), nullptr, 10));
    }
    if (OPT_has("--limited_glsl"))
        first_gen_shaders = 1;
    if (OPT_has("--unlimited_glsl"))
        first_gen_shaders = 0;
    if (OPT_has("--no_pbos"))
        pbo_avail = 0;
    if (OPT_has("--no_idx_vram"))
        idx_in_vram = 0;
    if (OPT_has("--no_subtex"))
        subtex_avail = 0;
    if (OPT_has("--no_aniso_filtering")) {
        aniso_avail = 0;
        max_aniso = 1.0f;
    }
    if (OPT_has("--no_shader_lod"))
        shad_lod_avail = 0;
    if (OPT_has("--no_gpu_shader4"))
        gpu_shad4_avail = 0;
    if (OPT_has("--use_shader_lod"))
        shad_lod_avail = 1;
    if (OPT_has("--no_fbos"))
        framebuf_avail = 0;
    if (OPT_has("--no_fbo_blit"))
        frameblit_avail = 0;
    if (OPT_has("--no_threaded_ogl"))
        threaded_avail = 0;
    if (OPT_has("--no_instancing"))
        instance_avail = 0;
    if (OPT_has("--no_tex_rg"))
        texture_rg = 0;
    if (OPT_has("--no_srgb"))
        framebuffer_srgb = 0;
    if (OPT_has("--no_fence")) {
        apple_fence_avail = 0;
        sync_avail = 0;
    }
    if (OPT_has("--no_pinned"))
        pinned_avail = 0;

    // Threaded OpenGL stays off in this program; the thread layer reads its own switch.
    threaded_avail = 0;
    ::threaded_avail = false;
    if (gpu_shad4_avail && texture_rg)
        card_class = 2 + instance_avail;
    else
        card_class = first_gen_shaders ? 0 : 1;

    // The log block, straight into the log stream.
    auto str = [](const char* s) { return s ? s : ""; };
    LOG_stream << "\n";
    LOG_stream << "OpenGL Vendor    : " << str(vendor) << "\n";
    LOG_stream << "OpenGL Render    : " << str(renderer) << "\n";
    LOG_stream << "OpenGL Version   : " << str(version) << " (" << v << "/" << release << ")\n";
    LOG_stream << "OpenGL Extensions: " << str(extensions) << "\n";
    LOG_stream << "\n";
    LOG_stream << "threaded_avail   : " << threaded_avail << "\tdis_fog_avail    : " << dis_fog_avail
               << "\tinstance_avail   : " << instance_avail << "\tpbo_avail        : " << pbo_avail << "\n";
    LOG_stream << "aniso_avail      : " << aniso_avail << "\tgshader_avail    : " << gshader_avail
               << "\tbuniform_avail   : " << buniform_avail << "\tshad_lod_avail   : " << shad_lod_avail
               << "\n";
    LOG_stream << "gpu_shad4_avail  : " << gpu_shad4_avail << "\tframebuf_avail   : " << framebuf_avail
               << "\tframeblit_avail  : " << frameblit_avail << "\tdrawbuf2_avail   : " << drawbuf2_avail
               << "\n";
    LOG_stream << "tex_float_avail  : " << tex_float_avail << "\tpacked_stencil   : " << packed_stencil
               << "\ttexture_rg       : " << texture_rg << "\tframebuffer_srgb : " << framebuffer_srgb
               << "\n";
    LOG_stream << "copy_buf_avail   : " << copy_buf_avail << "\tpinned_avail     : " << pinned_avail
               << "\tsync/fence       : "
               << (sync_avail          ? "1"
                   : apple_fence_avail ? "apple"
                                       : "0")
               << "\n";
    LOG_stream << "max tex units    : " << max_tex_units << " (" << max_image_units << "/" << max_tex_coords
               << ")\n";
    LOG_stream << "max iso filtering: " << max_aniso << "\n";
    LOG_stream << "max texture size : " << max_tex_size << " (hardware limit)\n";
    LOG_stream << "max point size   : " << point_range[1] << "\n";
    LOG_stream << "idx in vram      : " << idx_in_vram << "\n";
    LOG_stream << "GLSL Version     :" << glsl_text << "/" << glsl_version << "\n";
    LOG_stream << "first-gen shaders: " << first_gen_shaders << "\n";
    LOG_stream << "(" << limits[0] << "/" << limits[1] << "/" << limits[2] << "/" << limits[3] << "/"
               << limits[4] << "/" << limits[5] << ")\n";
    if (max_image_units > max_tex_units)
        max_tex_units = max_image_units;
    static const char* const class_names[4] = {"First-generation DX9", "Later-generation DX9",
                                               "DX10 - No instancing", "DX10 or 11 - With instancing"};
    LOG_stream << "This video card is: " << class_names[card_class];
    if (glMapBufferRange && glFlushMappedBufferRange)
        LOG_stream << " (found glMapBufferRange)";
    LOG_stream << "\n";
    LOG_stream.flush();

    // Refusal.
    std::string message;
    if (v < 200)
        message =
            tr("Your graphics hardware cannot support Aerivon. Aerivon requires a graphics card with 128 MB "
               "of VRAM and pixel shaders.");
    if (renderer && std::strcmp(renderer, "GDI Generic") == 0)
        message = tr("You do not have OpenGL drivers installed!");
    if (!message.empty()) {
        if (!OPT_has("--force_run"))
            APP_alert(0, message, tr("First, try updating or re-installing your graphics drivers."),
                      tr("If this does not help, check your graphics card specifications."),
                      tr("For tech support, email ") + support_address, 2, "OGL_extensions", 984);
        else
            APP_alert(
                0, message, tr("Your system does not meet Aerivon's hardware requirements."),
                tr("You have used the force-run command inline option to run Aerivon anyway, but it may "
                   "crash."),
                tr("Go to ") + web_site + tr(" for system requirements and tech support information."), 1,
                "OGL_extensions", 984);
    }
    if (renderer &&
        (std::strcmp(renderer, "GENERIC") == 0 || std::strcmp(renderer, "Generic") == 0 ||
         std::strcmp(renderer, "generic") == 0 || std::strcmp(renderer, "Mesa GLX Indirect") == 0))
        APP_alert(
            0,
            tr("I can not find a 3-D accelerator card that can handle OpenGL that has correctly installed "
               "drivers."),
            tr("I will still let you run the simulator, but the frame rate will NOT allow for a good "
               "simulation."),
            tr("For you to fly realistically, you must use Aerivon version Classic, or get a 3-D accelerator "
               "card that can handle OpenGL."),
            tr("See ") + web_site + tr(" for a list of the currently-compatible 3-D video cards."), 1,
            "OGL_extensions", 997);

    // Anti-aliasing agreement with what the window obtained.
    GLint samples = 0;
    driver->get_integerv(GL_SAMPLES, &samples);
    int level = WIN_get_multisample();
    if (samples < 2 && level > 0) {
        WIN_set_multisample_obtained(0);
        LOG_stream
            << "Note: Aerivon preferences are set to enable FSAA, but it is disabled by the driver control "
               "panel.\n";
    } else if (samples >= 2 && level == 0) {
        WIN_set_multisample_obtained(samples == 4 ? 2 : samples == 8 ? 3 : samples == 16 ? 4 : 1);
        LOG_stream
            << "Note: Aerivon preferences are set to disable FSAA, but it is enabled by the driver control "
               "panel.\n";
    }
    LOG_stream.flush();
}

void OGL_capabilities_record::OGL_finish_uploads() {
    if (sync_avail && glFenceSync && glClientWaitSync && glDeleteSync) {
        GLsync fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        glClientWaitSync(fence, GL_SYNC_FLUSH_COMMANDS_BIT, 20000000000ull);
        glDeleteSync(fence);
    } else {
        glFlush();
    }
}

void OGL_capabilities_record::OGL_disable_threaded() {
    threaded_avail = 0;
    ::threaded_avail = false;
}

void OGL_capabilities_record::OGL_setup_failed_dialog() {
    if (!threaded_avail)
        return;
    threaded_avail = 0;
    ::threaded_avail = false;
    APP_alert(0, tr("There was a problem setting up OpenGL."),
              tr("You can still fly, but you may experience pauses during flight while scenery loads."), "",
              tr("(Please send your log.txt file to Nordvane Systems for debugging purposes.)"), 1,
              "OGL_extensions", 1064);
}
