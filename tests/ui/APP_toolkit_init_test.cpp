// APP_toolkit_init: the toolkit's named variables with their types and defaults, and its actions.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <map>

#include "base/CMND_registry.h"
#include "base/DREF_registry.h"
#include "base/UTL_memory.h"
#include "ui/APP_toolkit_init.h"
#include "ui/OGL_font.h"
#include "ui/QTIM_capture.h"

TEST(AppToolkitInitTest, RegistersEveryVariableOnceWithItsTypeAndDefault) {
    APP_toolkit_init();
    APP_toolkit_init(); // once only
    // The fonts' atlas rows are a live count: the rows of both fonts, with the glyphs that earlier tests of
    // this process cached and one more.
    font_record& regular = *OGL_get_font(0);
    OGL_glyph_advance(regular, 'W');
    const int rows = regular.atlas_height + OGL_get_font(1)->atlas_height;
    EXPECT_GT(rows, 0);
    struct group {
        int type;
        uint32_t bits;
        std::vector<const char*> paths;
    } groups[] = {
        {5,
         0,
         {"perf/kill_cull", "perf/kill_clip", "perf/kill_tex", "xdl/always_use_vram", "time/wait_workers"}},
        {5, std::bit_cast<uint32_t>(5.0f), {"shadow/csm/pad_near_const"}},
        {5, std::bit_cast<uint32_t>(1.0f), {"shadow/csm/pad_near_ratio"}},
        {0,
         0,
         {"memory/chunky_buffers", "shader/total_shaders", "xdl/num_xdl", "xdl/num_xdl_group",
          "xdl/num_xdl_group_map"}},
        {0, std::bit_cast<uint32_t>(static_cast<float>(rows)), {"font/tex_mem"}},
        {2, 0, {"fbo/flush_per_frame", "xdl/num_xdl_draw", "xdl/num_xdl_vert", "xdl/num_xdl_inst"}},
        {4,
         0,
         {"xdl/geo_bytes_vram", "xdl/geo_bytes_agp", "xdl/geo_bytes_sys", "xdl/idx_bytes_vram",
          "xdl/idx_bytes_agp", "xdl/idx_bytes_sys", "time/thread_sync_wait"}},
    };
    std::map<std::string, const DREF_var*> by_name;
    for (const DREF_var* v : APP_toolkit_vars())
        EXPECT_TRUE(by_name.emplace(v->name, v).second) << "twice: " << v->name;
    for (const group& g : groups)
        for (const char* path : g.paths) {
            SCOPED_TRACE(path);
            auto it = by_name.find(path);
            ASSERT_NE(it, by_name.end());
            EXPECT_EQ(it->second->type, g.type);
            EXPECT_EQ(it->second->own_value, g.bits);
            EXPECT_EQ(it->second->first, &it->second->own_value);
            by_name.erase(it);
        }
    EXPECT_TRUE(by_name.empty()) << by_name.size() << " more";
    DREF_registry_ready();
    for (const DREF_var* v : APP_toolkit_vars())
        EXPECT_TRUE(DREF_is_registered(v)) << v->name;

    int dump = 0;
    for (CMND_action* a = CMND_first_action(); a; a = a->next)
        if (a->label && std::strcmp(a->label, "Dump Memory Info") == 0 &&
            a->callback == &MEM_dump_info_action)
            ++dump;
    EXPECT_EQ(dump, 1);
    EXPECT_EQ(QTIM_capture.available, 1); // this build links the MJPEG encoder and the .mov muxer
}
