// WIN_display: monitors and display modes through SDL.
#include "platform/WIN_display.h"

#include <map>

#include "platform/sdl/WIN_sdl.h"

namespace {

// Modes chosen per monitor for full-screen windows (main thread).
struct display_state {
    std::map<int, SDL_DisplayMode> chosen;
};
display_state displays;

int bits_of(const SDL_DisplayMode& m) { return static_cast<int>(SDL_BITSPERPIXEL(m.format)); }

// X11 reports 24 bits where a program asks for 32.
bool same_bits(int a, int b) {
    auto norm = [](int v) { return v == 24 ? 32 : v; };
    return norm(a) == norm(b);
}

WIN_rect to_rect(const SDL_Rect& r) { return {r.x, r.y, r.x + r.w, r.y + r.h}; }

} // namespace

bool WIN_chosen_display_mode(int monitor, SDL_DisplayMode& out) {
    auto it = displays.chosen.find(monitor);
    if (it == displays.chosen.end())
        return false;
    out = it->second;
    return true;
}

bool WIN_monitor_info(WIN_monitor_record& out, int index) {
    out = WIN_monitor_record();
    if (!WIN_video_ready() || index < 0 || index >= SDL_GetNumVideoDisplays())
        return false;
    SDL_Rect r;
    if (SDL_GetDisplayBounds(index, &r) == 0)
        out.monitor = to_rect(r);
    if (SDL_GetDisplayUsableBounds(index, &r) == 0)
        out.work_area = to_rect(r);
    out.flags = index == 0 ? 1 : 0;
    const char* name = SDL_GetDisplayName(index);
    out.name = name ? name : "";
    return true;
}

void WIN_monitor_mode(int monitor, int* left, int* top, int* width, int* height, int* bits, int* rate) {
    if (!WIN_video_ready())
        return;
    SDL_DisplayMode m;
    if (SDL_GetCurrentDisplayMode(monitor, &m) != 0 || m.w <= 0 || m.h <= 0 || bits_of(m) <= 0)
        return;
    SDL_Rect r{0, 0, 0, 0};
    SDL_GetDisplayBounds(monitor, &r);
    if (left)
        *left = r.x;
    if (top)
        *top = r.y;
    if (width)
        *width = m.w;
    if (height)
        *height = m.h;
    if (bits)
        *bits = bits_of(m);
    if (rate)
        *rate = m.refresh_rate;
}

bool WIN_monitor_set_mode(int monitor, int width, int height, int bits, int rate) {
    if (!WIN_video_ready())
        return false;
    int n = SDL_GetNumDisplayModes(monitor);
    for (int i = 0; i < n; ++i) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(monitor, i, &m) != 0 || m.w <= 0 || m.h <= 0 || bits_of(m) <= 0)
            continue;
        if (same_bits(bits_of(m), bits) && m.w == width && m.h == height && m.refresh_rate == rate) {
            displays.chosen[monitor] = m;
            return true;
        }
    }
    return false;
}

void WIN_monitor_restore_mode(int monitor) { displays.chosen.erase(monitor); }

void WIN_get_display_mode(int* width, int* height, int* bits, int* rate) {
    WIN_monitor_mode(0, nullptr, nullptr, width, height, bits, rate);
}

bool WIN_set_display_mode(int width, int height, int bits, int rate) {
    if (width == 0 && height == 0) {
        WIN_monitor_restore_mode(0);
        return true;
    }
    return WIN_monitor_set_mode(0, width, height, bits, rate);
}
