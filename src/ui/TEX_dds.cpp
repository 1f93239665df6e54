// TEX_dds: the DDS header reader.
#include "ui/TEX_dds.h"

#include <algorithm>
#include <cstring>

#include "base/UTL_memory.h"
#include "base/xmap.h"
#include "ui/TEX_utils.h"

namespace {

uint32_t le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Header offsets, counted from the start of the file (after the 4-byte tag comes the 124-byte header).
constexpr size_t flags_at = 8, height_at = 12, width_at = 16, pf_flags_at = 80, fourcc_at = 84, caps_at = 108;
constexpr uint32_t flag_mipmap_count = 0x20000, caps_mipmap = 0x400000, caps_gamma_18 = 8;
constexpr uint32_t pf_alpha_pixels = 1, pf_fourcc = 4, pf_rgb = 0x40;

bool dxt1_has_transparency(const unsigned char* data, size_t bytes) {
    for (size_t at = 0; at + 8 <= bytes; at += 8) {
        uint16_t c0 = static_cast<uint16_t>(data[at] | data[at + 1] << 8);
        uint16_t c1 = static_cast<uint16_t>(data[at + 2] | data[at + 3] << 8);
        if (c0 > c1)
            continue;
        for (int i = 0; i < 16; ++i)
            if ((data[at + 4 + i / 4] >> (2 * (i % 4)) & 3) == 3)
                return true;
    }
    return false;
}

} // namespace

int TEX_read_dds_header(const xmap_file& file, const unsigned char*& data, TEX_image_info& info,
                        float& gamma) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(file.base);
    size_t size = file.base ? static_cast<size_t>(file.end - file.base) : 0;
    if (size < TEX_DDS_HEADER_SIZE || std::memcmp(p, "DDS ", 4) != 0)
        return 0;
    uint32_t flags = le32(p + flags_at), pf_flags = le32(p + pf_flags_at), caps = le32(p + caps_at);
    uint32_t height = le32(p + height_at), width = le32(p + width_at);
    info.width = static_cast<int32_t>(width > 0x7FFFFFFF ? 0x7FFFFFFF : width);
    info.height = static_cast<int32_t>(height > 0x7FFFFFFF ? 0x7FFFFFFF : height);
    info.pad = 0;
    if (width < 1 || height < 1 || width > TEX_MAX_SIDE || height > TEX_MAX_SIDE)
        return 0;
    if (pf_flags & pf_fourcc) {
        const unsigned char* code = p + fourcc_at;
        if (std::memcmp(code, "DXT1", 4) == 0)
            info.format = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
        else if (std::memcmp(code, "DXT3", 4) == 0)
            info.format = GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
        else if (std::memcmp(code, "DXT5", 4) == 0)
            info.format = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
        else
            return 0;
    } else if (pf_flags & pf_rgb) {
        info.format = (pf_flags & pf_alpha_pixels) ? GL_BGRA : GL_BGR;
    } else {
        return 0;
    }
    gamma = (caps & caps_gamma_18) ? 1.8f : 2.2f;
    info.has_mipmaps = (flags & flag_mipmap_count) && (caps & caps_mipmap) ? 1 : 0;
    data = p + TEX_DDS_HEADER_SIZE;
    return 1;
}

TEX_dds_result TEX_read_dds_levels(const xmap_file& file, float scale, int max_side, TEX_image_info& info,
                                   unsigned char*& pixels, float& gamma) {
    pixels = nullptr;
    const unsigned char* data = nullptr;
    if (!TEX_read_dds_header(file, data, info, gamma))
        return TEX_DDS_REFUSED;
    if (!TEX_is_pow2(info.width) || !TEX_is_pow2(info.height))
        return TEX_DDS_NOT_POW2;
    if (!info.has_mipmaps)
        return TEX_DDS_NO_MIPMAPS;
    TEX_image_info level = info;
    level.has_mipmaps = 0;
    size_t offset = 0;
    while ((scale < 1.0f || level.width > max_side || level.height > max_side) &&
           (level.width > 1 || level.height > 1)) {
        offset += TEX_image_size(level);
        level.width = std::max(level.width / 2, 1);
        level.height = std::max(level.height / 2, 1);
        scale *= 2.0f;
    }
    level.has_mipmaps = 1;
    const size_t bytes = TEX_image_size(level);
    const size_t available = static_cast<size_t>(reinterpret_cast<const unsigned char*>(file.end) - data);
    if (bytes == 0 || offset > available || bytes > available - offset)
        return TEX_DDS_REFUSED;
    pixels = static_cast<unsigned char*>(MEM_checked_malloc(bytes));
    std::memcpy(pixels, data + offset, bytes);
    info = level;
    if (info.format == GL_COMPRESSED_RGB_S3TC_DXT1_EXT && dxt1_has_transparency(pixels, bytes))
        info.format = GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
    return TEX_DDS_LEVELS;
}
