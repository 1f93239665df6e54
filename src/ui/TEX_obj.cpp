// TEX_obj: texture objects and the deletion queue of GL names.
//
// The load, step by step:
// | step | what |
// |---|---|
// | flags | within 0..0x7FFFFF and a layout 1..10, else kind-3 alerts (lines 51, 368) |
// | memory | when memory is low and the policy is not 4: failed, nothing read |
// | buffer | sizes 1..4096 and 1..max_tex_size (kind 3, lines 53, 54); pixels used as they are |
// | file | the name, or its .dds/.png/.bmp variants (DDS first unless TEX_NO_DDS or comp_texes off); a |
// |      | "RESOURCE:" name that exists is used as it is; decoded by magic ("DDS ", "BM", PNG) |
// | size | a side above 4096: kind-1 "Too large a texture!" (lines 455, 456), failed |
// | plain image | NPOT warning; sides rounded up (the readers padded them); scaled down by the resolution |
// |             | scale, then halved until max_tex_size fits |
// | DDS | sides powers of two and mip levels stored, else kind 2 (464, 466); largest levels skipped while |
// |     | the scale is below 1; the levels taken must lie inside the file; gamma converted unless TEX_RAW |
// | RGBA file | colour bled into transparent texels unless TEX_RAW; TEX_NORMAL_MAP makes a normal map |
// | failure | 2 x 2, no real image, loaded; the missing policy applies |
// | upload | GL name made if none; full or partial upload, level by level; sampling from the flags |
// | publish | GL name swapped in (an old one deleted), loaded flag set |
#include "ui/TEX_obj.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/APP_alert.h"
#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/UTL_memory.h"
#include "base/UTL_thread.h"
#include "base/hl_string.h"
#include "base/hl_thread.h"
#include "base/xmap.h"
#include "platform/WIN_resource.h"
#include "ui/OGL_colour_settings.h"
#include "ui/OGL_extensions.h"
#include "ui/OGL_texture_unit.h"
#include "ui/TEX_bmp.h"
#include "ui/TEX_dds.h"
#include "ui/TEX_manager.h"
#include "ui/TEX_png.h"
#include "ui/TEX_utils.h"

namespace {

const char* const web_site = "www.aerivon.example";

// Process-wide texture counts and the deletion queue (any thread pushes; the main thread drains).
struct {
    std::atomic<int> live{0};
    std::atomic<int> loaded{0};
    std::atomic<THREAD_queue*> deletions{nullptr};
} tex_state;

bool on_main_thread() { return !THREAD_started() || THREAD_is_main(); }

std::string value_text(double v) { return STR_printf("%1.0f", v); }

// Deletes a GL name on the main thread at once (forgetting the unit bindings), elsewhere through the queue.
void delete_name(uint32_t name) {
    if (name == 0 || name == TMAN_PLACEHOLDER)
        return;
    if (on_main_thread()) {
        GLuint n = name;
        glDeleteTextures(1, &n);
        OGL_reset_unit_cache();
    } else if (THREAD_queue* q = tex_state.deletions.load()) {
        THREAD_queue_push(q, reinterpret_cast<void*>(static_cast<uintptr_t>(name)));
    }
}

// The GL pixel format and PNG alpha mode of a layout; format 0 for none.
struct layout_spec {
    uint32_t format;
    int alpha_mode;
};
layout_spec layout_of(uint32_t flags) {
    switch (flags & TEX_LAYOUT_MASK) {
    case 1:
        return {GL_RGB, 0};
    case 2:
        return {GL_RGBA, 0};
    case 3:
        return {GL_ALPHA, 0};
    case 4:
        return {GL_RGB, 2};
    case 5:
        return {GL_RGB, 1};
    case 6:
        return {GL_RGBA, 1};
    case 7:
        return {GL_RED, 0};
    case 8:
        return {GL_BGRA, 0};
    case 9:
        return {GL_GREEN, 0};
    case 10:
        return {GL_RG, 0};
    default:
        return {0, 0};
    }
}

// The storage format of a pixel format under the load flags: BGR(A) stored as RGB(A), the depth layout as a
// 24-bit depth texture, then the float, integer, sRGB and sized rules in that order.
GLint internal_format_of(uint32_t format, uint32_t flags) {
    if (TEX_is_s3tc(format))
        return static_cast<GLint>(format);
    if ((flags & TEX_LAYOUT_MASK) == 7)
        return GL_DEPTH_COMPONENT24;
    uint32_t f = format == GL_BGRA    ? GL_RGBA
                 : format == GL_BGR   ? GL_RGB
                 : format == GL_GREEN ? GL_RED
                                      : format;
    if (flags & TEX_FLOAT) {
        f = f == GL_RGB     ? GL_RGB16F
            : f == GL_RGBA  ? GL_RGBA16F
            : f == GL_ALPHA ? GL_ALPHA16F_ARB
            : f == GL_RG    ? GL_RG16F
                            : GL_R16F;
    } else if (flags & TEX_INTEGER) {
        f = f == GL_RGB     ? GL_RGB16I
            : f == GL_RGBA  ? GL_RGBA16I
            : f == GL_ALPHA ? GL_ALPHA16I_EXT
            : f == GL_RG    ? GL_RG16I
                            : GL_R16I;
    }
    if ((flags & TEX_SRGB) && OGL_capabilities.framebuffer_srgb)
        f = f == GL_RGB ? GL_SRGB : f == GL_RGBA ? GL_SRGB_ALPHA : f;
    if (flags & TEX_SIZED)
        f = f == GL_RGB ? GL_RGB8 : f == GL_RGBA ? GL_RGBA8 : f;
    return static_cast<GLint>(f);
}

// The pixel format handed to GL with the data: the depth layout reads depth, the integer formats their
// _INTEGER forms.
GLenum pixel_format_of(uint32_t format, uint32_t flags) {
    if ((flags & TEX_LAYOUT_MASK) == 7)
        return GL_DEPTH_COMPONENT;
    if (flags & TEX_INTEGER) {
        switch (format) {
        case GL_RGB:
            return GL_RGB_INTEGER;
        case GL_RGBA:
            return GL_RGBA_INTEGER;
        case GL_BGR:
            return GL_BGR_INTEGER;
        case GL_BGRA:
            return GL_BGRA_INTEGER;
        case GL_RG:
            return GL_RG_INTEGER;
        case GL_GREEN:
            return GL_GREEN_INTEGER;
        case GL_ALPHA:
            return GL_ALPHA_INTEGER;
        default:
            return GL_RED_INTEGER;
        }
    }
    return format;
}

// What a load has in hand between decoding and upload.
struct image {
    TEX_image_info info;
    unsigned char* pixels = nullptr;
    bool owned = false;      // freed at the end of the load
    bool dds = false;        // levels as stored (S3TC or BGR(A))
    bool float_data = false; // a caller's float buffer
};

void free_image(image& img) {
    if (img.owned)
        std::free(img.pixels);
    img.pixels = nullptr;
    img.owned = false;
}

// The first existing variant of a file name; see the table at the top.
std::string find_file(const std::string& name, uint32_t flags) {
    std::string resource = name;
    if (WIN_strip_resource_prefix(resource) && WIN_load_gui_resource(resource.c_str(), nullptr))
        return name;
    std::string stem = name;
    if (stem.size() >= 4 && stem[stem.size() - 4] == '.')
        stem.resize(stem.size() - 4);
    const bool dds_first = !(flags & TEX_NO_DDS) && OGL_render_options.comp_texes;
    const char* order_dds[] = {".dds", ".png", ".bmp"};
    const char* order_png[] = {".png", ".dds", ".bmp"};
    for (const char* ext : dds_first ? order_dds : order_png) {
        std::string candidate = stem + ext;
        if (FILE_is_file(candidate))
            return candidate;
    }
    return name;
}

float scale_for(uint32_t flags) {
    float scale = TMAN_resolution_scale();
    if (flags & TEX_SCALE_UP)
        scale = std::min(scale * 2.0f, 1.0f);
    if (flags & TEX_SCALE_DOWN)
        scale *= 0.5f;
    if (flags & TEX_FULL_SIZE)
        scale = 1.0f;
    return scale;
}

} // namespace

// ---- construction

TEX_obj::TEX_obj(int ref, uint32_t name_, const std::string& file_name, uint32_t load_flags, int policy)
    : name(file_name), kind(1), pixels(nullptr), tex_ref(ref), gl_name(name_), upload_format(GL_RGBA),
      flags(load_flags), missing_policy(policy),
      target((load_flags & TEX_3D) ? GL_TEXTURE_3D : GL_TEXTURE_2D) {
    tex_state.live.fetch_add(1);
}

TEX_obj::TEX_obj(int ref, uint32_t name_, uint32_t load_flags, unsigned char* buffer, int w, int h,
                 const std::string& buffer_name)
    : name(buffer_name), kind(0), pixels(buffer), tex_ref(ref), gl_name(name_), width(w), height(h),
      upload_format(GL_RGBA), flags(load_flags), missing_policy(4),
      target((load_flags & TEX_3D) ? GL_TEXTURE_3D : GL_TEXTURE_2D) {
    tex_state.live.fetch_add(1);
    if ((!TEX_is_pow2(w) || !TEX_is_pow2(h)) && flags == 0)
        APP_alert(0, "Error: texture buffer has non-power-of-2 dims", name, "", "", 2, "TEX_obj", 204);
}

TEX_obj::~TEX_obj() {
    tex_state.live.fetch_sub(1);
    if (loaded.load())
        tex_state.loaded.fetch_sub(1);
    delete_name(gl_name.load());
    if (pixels && pixels != TMAN_scratch_pixels)
        std::free(pixels);
}

int TEX_obj::run(int) {
    load();
    int expected = 1;
    queued.compare_exchange_strong(expected, 0);
    references.fetch_sub(1);
    return 0;
}

const char* TEX_obj::description() { return name.c_str(); }

void TEX_obj::set_file(const std::string& new_name, int policy) {
    if (pixels && pixels != TMAN_scratch_pixels)
        std::free(pixels);
    pixels = nullptr;
    kind = 1;
    name = new_name;
    missing_policy = policy;
}

void TEX_obj::set_buffer(unsigned char* new_pixels, int new_width, int new_height) {
    if ((!TEX_is_pow2(new_width) || !TEX_is_pow2(new_height)) && flags == 0)
        APP_alert(0, "Error: texture buffer has non-power-of-2 dims", name, "", "", 2, "TEX_obj", 1049);
    if (pixels && pixels != new_pixels && pixels != TMAN_scratch_pixels)
        std::free(pixels);
    kind = 0;
    pixels = new_pixels;
    width = new_width;
    height = new_height;
    missing_policy = 4;
}

void TEX_obj::add_reference() {
    if (references.fetch_add(1) + 1 < 1)
        APP_alert(0, "Ref count never went positive", name, "", "", 3, "TEX_obj", 276);
}

void TEX_obj::bind(int unit, int mode) {
    uint32_t own = gl_name.load();
    bool real = loaded.load() && vram_bytes > 0 && own != 0;
    OGL_bind_texture_unit(static_cast<int>(real ? own : TMAN_PLACEHOLDER), unit, mode,
                          static_cast<int>(target));
}

// ---- the load

namespace {

// Reads the file of a file texture into `img`. False when nothing usable came of it.
bool read_file(TEX_obj& t, const layout_spec& layout, float scale, image& img) {
    const std::string path = find_file(t.name, t.flags);
    xmap_file file(path);
    if (!file.base || file.end - file.base <= 7)
        return false;
    const unsigned char* head = reinterpret_cast<const unsigned char*>(file.base);
    static const unsigned char png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    bool ok = false;
    img.info = TEX_image_info();
    if (std::memcmp(head, "DDS ", 4) == 0) {
        const int max_side = OGL_capabilities.max_tex_size > 0 ? OGL_capabilities.max_tex_size : TEX_MAX_SIDE;
        float stored_gamma = 2.2f;
        TEX_dds_result r = TEX_read_dds_levels(file, scale, max_side, img.info, img.pixels, stored_gamma);
        if (r == TEX_DDS_NOT_POW2) {
            APP_alert(0, "Error: the texture", t.name, "is DDS but its size is not power of 2.", "", 2,
                      "TEX_obj", 464);
        } else if (r == TEX_DDS_NO_MIPMAPS) {
            APP_alert(0, "Error: the texture", t.name, "is DDS but does not have pre-generated mipmaps.", "",
                      2, "TEX_obj", 466);
        } else if (r == TEX_DDS_LEVELS) {
            img.owned = true;
            img.dds = true;
            if (!(t.flags & TEX_RAW)) {
                if (stored_gamma == 1.8f && colour_settings.gamma != 1.8f)
                    TEX_gamma_convert(img.info, img.pixels, colour_settings.gamma_a);
                else if (stored_gamma == 2.2f && colour_settings.gamma != 2.2f)
                    TEX_gamma_convert(img.info, img.pixels, colour_settings.gamma_b);
            }
            ok = true;
        }
    } else if (std::memcmp(head, "BM", 2) == 0) {
        ok = TEX_read_bmp(path, file, img.pixels, 0, layout.format, 0, 1, img.info) != 0;
        img.owned = img.pixels != nullptr;
    } else if (std::memcmp(head, png_signature, 8) == 0) {
        img.info.format = layout.format;
        int hint = 2;
        ok = TEX_read_png(path, file, img.pixels, 0, 0, 1, layout.alpha_mode, !(t.flags & TEX_RAW), img.info,
                          hint) != 0;
        img.owned = img.pixels != nullptr;
        t.decode_hint = hint;
    }
    if (!ok) {
        if (img.info.width > TEX_MAX_SIDE)
            APP_alert(0, "Too large a texture!", "I can't load this!", "", t.name, 1, "TEX_obj", 455);
        else if (img.info.height > TEX_MAX_SIDE)
            APP_alert(0, "Too large a texture!", "I can't load this!", "", t.name, 1, "TEX_obj", 456);
        free_image(img);
    }
    return ok;
}

// A plain decoded file image: the sides rounded up to powers of two (the readers padded them), then scaled.
void fit_plain_image(TEX_obj& t, float scale, image& img) {
    TEX_image_info& info = img.info;
    if ((!TEX_is_pow2(info.width) || !TEX_is_pow2(info.height)) && !(t.flags & TEX_ANY_SIZE))
        LOG_stream << "WARNING: texture " << t.name
                   << " has a size that is not a power of 2; it may not render correctly.\n";
    const int bpp = TEX_bytes_per_pixel(info.format);
    if (bpp > 0) {
        info.width += info.pad / bpp;
        info.pad = 0;
    }
    info.height = TEX_next_pow2(info.height);
    if (scale < 1.0f) {
        int factor = static_cast<int>(1.0f / scale);
        TEX_downsample(info, img.pixels, std::min(factor, info.width), std::min(factor, info.height));
    }
    const int max_side = OGL_capabilities.max_tex_size;
    while (max_side > 0 && (info.width > max_side || info.height > max_side) &&
           (info.width > 1 || info.height > 1))
        TEX_downsample(info, img.pixels, info.width > 1 ? 2 : 1, info.height > 1 ? 2 : 1);
}

void apply_missing_policy(const TEX_obj& t) {
    if (t.missing_policy >= 1 && t.missing_policy <= 3) {
        TMAN_claim_missing_flag(t.missing_policy);
        LOG_stream << "WARNING: we are missing the texture: " << t.name << "\n";
    } else if (t.missing_policy == 4) {
        APP_alert(0, "Trying to load a texture that you do not have!",
                  "This smacks of a mis-installed copy of Aerivon!",
                  std::string("Get a new download from ") + web_site + ". The missing file is:", t.name, 2,
                  "TEX_obj", 532);
    }
}

} // namespace

int TEX_obj::load() {
    image img;
    auto fail = [&]() {
        free_image(img);
        if (kind == 0 && pixels && pixels != TMAN_scratch_pixels) {
            std::free(pixels);
            pixels = nullptr;
        }
        width = height = 2;
        vram_bytes = 0;
        upload_format = GL_RGB;
        int expected = 0;
        if (loaded.compare_exchange_strong(expected, 1))
            tex_state.loaded.fetch_add(1);
        apply_missing_policy(*this);
        return 0;
    };

    if (flags > TEX_FLAGS_MAX) {
        APP_alert(0, "Trying to bind an invalid filter type!", name, "value:", value_text(flags), 3,
                  "TEX_obj", 51);
        return fail();
    }
    const layout_spec layout = layout_of(flags);
    if (layout.format == 0) {
        APP_alert(0, "BAD color enum for tman - see tman.h for valid colors!  We cannot pass 0.", name,
                  "value:", value_text(flags & TEX_LAYOUT_MASK), 3, "TEX_obj", 368);
        return fail();
    }
    if (MEM_is_low() && missing_policy != 4)
        return fail();

    const float scale = scale_for(flags);
    if (kind == 0) {
        const int max_side = OGL_capabilities.max_tex_size;
        for (int side : {width, height}) {
            if (side < 1 || side > TEX_MAX_SIDE) {
                APP_alert(0, "Trying to create a texture either less than 1 or greater than 2048!", name,
                          "value:", value_text(side), 3, "TEX_obj", 53);
                return fail();
            }
            if (max_side > 0 && side > max_side) {
                APP_alert(0, "Trying to create a texture either less than 1 or greater than the hw size!",
                          name, "value:", value_text(side), 3, "TEX_obj", 54);
                return fail();
            }
        }
        if (!pixels)
            return fail();
        img.pixels = pixels;
        img.owned = pixels != TMAN_scratch_pixels;
        if (img.owned)
            pixels = nullptr; // the load owns it now and frees it at its end
        img.info.format = layout.format;
        img.info.width = width;
        img.info.height = height;
        img.float_data = (flags & TEX_FLOAT) != 0;
    } else {
        if (!read_file(*this, layout, scale, img))
            return fail();
        if (!img.dds)
            fit_plain_image(*this, scale, img);
        if (!img.dds && img.info.format == GL_RGBA && !(flags & TEX_RAW))
            TEX_bleed_transparent(img.info, img.pixels);
        if (!img.dds && (flags & TEX_NORMAL_MAP))
            TEX_height_to_normal(img.pixels, img.info, 1.0f);
    }
    TEX_image_info& info = img.info;
    const bool mipmapped = (flags & TEX_MIPMAPPED) != 0;
    const bool compressed = TEX_is_s3tc(info.format);
    const bool driver_mips = mipmapped && !compressed && !(flags & TEX_SIZED) && !img.dds;
    const bool main = on_main_thread();
    if (mipmapped && !compressed && !driver_mips && !img.dds && !img.owned) {
        // The software mip levels are made in place: never in the caller's scratch image.
        const size_t bytes = TEX_image_size(info);
        unsigned char* copy = static_cast<unsigned char*>(MEM_checked_malloc(bytes));
        std::memcpy(copy, img.pixels, bytes);
        img.pixels = copy;
        img.owned = true;
    }

    // The GL name: the object's own when it has one (a reload keeps it), else a new one.
    uint32_t name_gl = gl_name.load();
    if (name_gl == 0) {
        GLuint n = 0;
        glGenTextures(1, &n);
        name_gl = n;
    }
    if (main)
        OGL_bind_texture_unit(static_cast<int>(name_gl), 0, 0, static_cast<int>(target));
    else
        glBindTexture(target, name_gl);

    GLint old_alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &old_alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLint internal = internal_format_of(info.format, flags);
    const GLenum pixel_format = pixel_format_of(info.format, flags);
    const GLenum type = img.float_data ? GL_FLOAT : GL_UNSIGNED_BYTE;
    const int bpp = TEX_bytes_per_pixel(info.format);
    if (target == GL_TEXTURE_3D) {
        const size_t needed = static_cast<size_t>(64) * 32 * 8 * std::max(bpp, 1) * (img.float_data ? 4 : 1);
        if (compressed || bpp == 0 || !OGL_proc::glTexImage3D ||
            static_cast<size_t>(info.width) * info.height * bpp * (img.float_data ? 4 : 1) < needed) {
            glPixelStorei(GL_UNPACK_ALIGNMENT, old_alignment);
            if (gl_name.load() == 0)
                delete_name(name_gl);
            return fail();
        }
        OGL_proc::glTexImage3D(GL_TEXTURE_3D, 0, internal, 64, 32, 8, 0, pixel_format, type, img.pixels);
        width = 64;
        height = 32;
    } else {
        const bool partial = loaded.load() && main && upload_format == info.format &&
                             uploaded_width == info.width && uploaded_height == info.height &&
                             (!mipmapped || driver_mips) && !compressed && OGL_capabilities.subtex_avail;
        if (driver_mips)
            glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
        int w = info.width, h = info.height, level = 0;
        const unsigned char* data = img.pixels;
        TEX_image_info level_info = info;
        level_info.has_mipmaps = 0;
        for (;;) {
            const size_t level_bytes = TEX_image_size(level_info);
            if (compressed) {
                if (OGL_capabilities.glCompressedTexImage2DARB)
                    OGL_capabilities.glCompressedTexImage2DARB(GL_TEXTURE_2D, level, info.format, w, h, 0,
                                                               static_cast<GLsizei>(level_bytes), data);
            } else if (partial) {
                glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, pixel_format, type, data);
            } else {
                glTexImage2D(GL_TEXTURE_2D, level, internal, w, h, 0, pixel_format, type, data);
            }
            if (!mipmapped || driver_mips || partial || (w == 1 && h == 1))
                break;
            if (img.dds || compressed) {
                data += level_bytes;
            } else {
                // Halve in software for the next level (the buffer is ours or the scratch copy's).
                TEX_downsample(level_info, const_cast<unsigned char*>(data), w > 1 ? 2 : 1, h > 1 ? 2 : 1);
            }
            w = std::max(w / 2, 1);
            h = std::max(h / 2, 1);
            level_info.width = w;
            level_info.height = h;
            ++level;
        }
        width = info.width;
        height = info.height;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, old_alignment);
    uploaded_width = info.width;
    uploaded_height = info.height;
    upload_format = info.format;

    if (compressed) {
        GLint size = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE, &size);
        vram_bytes = static_cast<int32_t>(mipmapped ? size * 1.33 : size);
    } else {
        TEX_image_info counted = info;
        counted.has_mipmaps = mipmapped;
        vram_bytes = static_cast<int32_t>(TEX_image_size(counted));
    }

    const GLenum wrap_s = (flags & (TEX_CLAMP_T | TEX_CLAMP_S)) ? GL_CLAMP_TO_EDGE : GL_REPEAT;
    const GLenum wrap_t = (flags & TEX_CLAMP_T) ? GL_CLAMP_TO_EDGE : GL_REPEAT;
    glTexParameteri(target, GL_TEXTURE_WRAP_S, wrap_s);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, wrap_t);
    if (target == GL_TEXTURE_3D)
        glTexParameteri(target, GL_TEXTURE_WRAP_R, wrap_t);
    if (OGL_capabilities.aniso_avail)
        glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
    if (flags & TEX_NEAREST) {
        glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    } else {
        glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    }
    if ((flags & TEX_LAYOUT_MASK) == 7) {
        glTexParameteri(target, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
        glTexParameteri(target, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    }
    if (!main) {
        glBindTexture(target, 0);
        OGL_capabilities.OGL_finish_uploads();
    }

    // Publication: the new name goes in; a different one that was there is deleted.
    uint32_t previous = gl_name.load();
    while (!gl_name.compare_exchange_weak(previous, name_gl)) {
    }
    if (previous != 0 && previous != name_gl)
        delete_name(previous);
    int expected = 0;
    if (loaded.compare_exchange_strong(expected, 1))
        tex_state.loaded.fetch_add(1);
    free_image(img);
    return 1;
}

// ---- the deletion queue

void TEX_create_delete_queue() {
    if (!tex_state.deletions.load())
        tex_state.deletions.store(THREAD_queue_create());
}

void TEX_drain_deletes() {
    THREAD_queue* q = tex_state.deletions.load();
    if (!q)
        return;
    bool any = false;
    while (void* item = THREAD_queue_pop(q, 0)) {
        GLuint n = static_cast<GLuint>(reinterpret_cast<uintptr_t>(item));
        glDeleteTextures(1, &n);
        any = true;
    }
    if (any)
        OGL_reset_unit_cache();
}

void TEX_drop_deletes() {
    if (THREAD_queue* q = tex_state.deletions.load())
        while (THREAD_queue_pop(q, 0)) {
        }
}

int TEX_live_count() { return tex_state.live.load(); }
int TEX_loaded_count() { return tex_state.loaded.load(); }
