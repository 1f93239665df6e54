// APP_toolkit_init: the toolkit's named variables with their types and defaults, and its actions.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <map>

#include "base/CMND_registry.h"
#include "base/DREF_registry.h"
#include "base/UTL_memory.h"
#include "ui/APP_toolkit_init.h"

TEST(AppToolkitInitTest, RegistersEveryVariableWithItsTypeAndDefault) {
    APP_toolkit_init();
    APP_toolkit_init(); // once only
    struct row {
        const char* path;
        int type;
        uint32_t bits;
    };
    const row rows[] = {
        {"perf/kill_cull", 5, 0},
        {"perf/kill_clip", 5, 0},
        {"perf/kill_tex", 5, 0},
        {"shadow/csm/pad_near_const", 5, std::bit_cast<uint32_t>(5.0f)},
        {"shadow/csm/pad_near_ratio", 5, std::bit_cast<uint32_t>(1.0f)},
        {"memory/chunky_buffers", 0, 0},
        {"font/tex_mem", 0, 0},
        {"fbo/flush_per_frame", 2, 0},
        {"shader/total_shaders", 0, 0},
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
    std::map<std::string, const DREF_var*> by_name;
    for (const DREF_var* v : APP_toolkit_vars())
        EXPECT_TRUE(by_name.emplace(v->name, v).second) << "twice: " << v->name;
    for (const row& r : rows) {
        SCOPED_TRACE(r.path);
        auto it = by_name.find(r.path);
        ASSERT_NE(it, by_name.end());
        EXPECT_EQ(it->second->type, r.type);
        EXPECT_EQ(it->second->own_value, r.bits);
        EXPECT_EQ(it->second->first, &it->second->own_value);
        by_name.erase(it);
    }
    EXPECT_TRUE(by_name.empty()) << by_name.size() << " more, the first " << by_name.begin()->first;

    // Registered once the registry is ready.
    DREF_registry_ready();
    for (const DREF_var* v : APP_toolkit_vars())
        EXPECT_TRUE(DREF_is_registered(v)) << v->name;

    int dump = 0;
    for (CMND_action* a = CMND_first_action(); a; a = a->next)
        if (a->label && std::strcmp(a->label, "Dump Memory Info") == 0) {
            ++dump;
            EXPECT_EQ(a->callback, &MEM_dump_info_action);
            EXPECT_GE(a->id, 1);
        }
    EXPECT_EQ(dump, 1);
    EXPECT_EQ(APP_capture_available, 0);
}
