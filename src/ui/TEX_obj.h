// TEX_obj: one texture of the texture manager. It knows where its pixels come from (a file, or a caller's
// buffer) and how OpenGL is to store them, and it loads itself: finds and decodes the file, chooses the
// size and the formats, uploads, sets the sampling and publishes its GL name.
//
// DESIGN: a texture object is a pool task so that a load could run on a worker; in this program every
// load runs on the main thread. The GL name, the loaded, queued and reference fields are atomic, so a bind
// on the main thread during a load elsewhere shows the placeholder (GL name 3). GL names are deleted only
// on the main thread: a texture destroyed elsewhere queues its name on the deletion queue, which the frame
// callback drains with TEX_drain_deletes.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "base/UTL_pool.h"

// Load flags. The pixel layout is flags & TEX_LAYOUT_MASK: 1 RGB, 2 RGBA, 3 alpha only, 4 RGB read with alpha
// mode 2, 5 RGB with alpha mode 1, 6 RGBA with alpha mode 1, 7 one channel as a 24-bit depth texture
// compared with GL_LEQUAL, 8 BGRA, 9 green only, 10 RG.
constexpr uint32_t TEX_LAYOUT_MASK = 0xF;
constexpr uint32_t TEX_3D = 0x10; // 64 x 32 x 8 texels
constexpr uint32_t TEX_MIPMAPPED = 0x20;
constexpr uint32_t TEX_NEAREST = 0x40;
constexpr uint32_t TEX_NO_DDS = 0x200;  // do not prefer a .dds beside the file
constexpr uint32_t TEX_CLAMP_T = 0x400; // clamp in t (and r); with TEX_CLAMP_S also in s
constexpr uint32_t TEX_CLAMP_S = 0x800;
constexpr uint32_t TEX_FLOAT = 0x1000;        // 16-bit float internal formats
constexpr uint32_t TEX_INTEGER = 0x2000;      // 16-bit signed integer internal formats
constexpr uint32_t TEX_SRGB = 0x4000;         // sRGB storage when framebuffer_srgb is available
constexpr uint32_t TEX_SIZED = 0x8000;        // GL_RGB8 / GL_RGBA8; no mipmaps made by the driver
constexpr uint32_t TEX_ANY_SIZE = 0x30000;    // either bit: no warning for sizes not powers of two
constexpr uint32_t TEX_SCALE_UP = 0x40000;    // resolution scale doubled (at most 1)
constexpr uint32_t TEX_SCALE_DOWN = 0x80000;  // resolution scale halved
constexpr uint32_t TEX_RAW = 0x100000;        // no gamma correction, no colour bled into transparent texels
constexpr uint32_t TEX_FULL_SIZE = 0x200000;  // always full resolution
constexpr uint32_t TEX_NORMAL_MAP = 0x400000; // heights become a normal map
constexpr uint32_t TEX_FLAGS_MAX = 0x7FFFFF;

class TEX_obj : public UTL_pool_task {
  public:
    // A file texture (kind 1) for `name`, with its missing policy: 0 silent, 1-3 claim one of the manager's
    // once-only flags and log "WARNING: we are missing the texture: <name>", 4 the kind-2 alert.
    TEX_obj(int tex_ref, uint32_t gl_name, const std::string& name, uint32_t flags, int missing_policy);
    // A buffer texture (kind 0) over the caller's RGB(A) pixels; missing policy 4. A buffer other than the
    // manager's scratch image becomes the texture's and is freed once loaded (or when it dies). With flags
    // 0, a side that is not a power of two is the kind-2 alert "Error: texture buffer has non-power-of-2
    // dims" (line 204).
    TEX_obj(int tex_ref, uint32_t gl_name, uint32_t flags, unsigned char* pixels, int width, int height,
            const std::string& name);
    // Counts down; deletes the GL name (not 0 or 3) at once on the main thread (or before threads started),
    // else queues it; frees a buffer it owns.
    ~TEX_obj() override;
    TEX_obj(const TEX_obj&) = delete;
    TEX_obj& operator=(const TEX_obj&) = delete;

    // Pool entry: loads, clears the queued flag, drops one reference; the pool keeps the object (0).
    int run(int worker) override;
    // The name.
    const char* description() override;

    // Reuse of an occupied slot by a manual load: a file texture of the new name and missing policy.
    void set_file(const std::string& new_name, int policy);
    // Reuse of an occupied slot by a scratch load: new pixels and size (the same power-of-two test, line
    // 1049).
    void set_buffer(unsigned char* new_pixels, int new_width, int new_height);

    // Loads the texture (see TEX_obj.cpp for the steps). 1 on success. 0 on failure: the texture is then
    // loaded as 2 x 2 without a real image (it binds as the placeholder) and the missing policy applies.
    int load();
    // Binds on `unit` with the combiner `mode`: its own GL name once loaded with a real image, else 3.
    void bind(int unit, int mode);
    // One more reference; a count that does not become positive is the kind-3 alert "Ref count never went
    // positive" (line 276).
    void add_reference();

    std::string name;
    int32_t kind;          // 1 file, 0 buffer
    unsigned char* pixels; // buffer textures: the pixels; file textures: null between loads
    int32_t tex_ref;
    std::atomic<uint32_t> gl_name;
    int32_t width = 0, height = 0;                   // the size chosen for the upload (or the buffer's)
    int32_t uploaded_width = 0, uploaded_height = 0; // the GL image last uploaded
    int32_t vram_bytes = 0;                          // 0: no real image
    uint32_t upload_format;                          // GL format of the last upload
    uint32_t flags;
    int32_t missing_policy;
    uint32_t target; // GL_TEXTURE_2D, or GL_TEXTURE_3D with TEX_3D
    int32_t decode_hint = 2;
    std::atomic<int32_t> loaded{0};
    std::atomic<int32_t> queued{0};
    std::atomic<int32_t> references{1};
};

// Makes the deletion queue (the manager calls it at start-up; later calls keep the first queue).
void TEX_create_delete_queue();
// Main thread, once per frame: deletes every queued GL name.
void TEX_drain_deletes();
// Main thread, once the context is gone: drops the queued GL names without deleting them (they named
// textures of that context; the same numbers may name new textures of the next one).
void TEX_drop_deletes();
// Live and loaded texture objects.
int TEX_live_count();
int TEX_loaded_count();
