// TMAN_interim: a stand-in for the texture manager's scratch loads and binding, until the manager lands.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct TMAN_scratch_image {
    uint8_t* pixels;
    int width, height;
    size_t capacity;
};
TMAN_scratch_image& TMAN_scratch();
int TMAN_load_bitmap(int policy, int manual_ref, uint32_t flags, int load_time, const std::string& name);
void TMAN_bind_ref(int ref, int unit, int mode);
