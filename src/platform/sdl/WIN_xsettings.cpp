// WIN_xsettings: the desktop's double-click time, read from the XSETTINGS that the desktop's settings
// manager publishes on the X screen (the property "_XSETTINGS_SETTINGS" of the owner of "_XSETTINGS_S<n>").
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/WIN_window.h"
#include "platform/sdl/WIN_sdl.h"

namespace {

constexpr float default_double_click = 0.4f; // GTK's default, when no settings manager says otherwise

// The X errors of a read that races with the owner going away: counted, never fatal.
int trapped_errors = 0;
int trap_error(Display*, XErrorEvent*) {
    ++trapped_errors;
    return 0;
}

// The integer setting `want` of an XSETTINGS blob; false when it is absent or the blob is malformed. Every
// length is checked against the blob before it is used.
bool xsettings_int(const unsigned char* p, size_t n, const char* want, int32_t* out) {
    if (n < 12)
        return false;
    const bool msb = p[0] == MSBFirst;
    auto card16 = [&](size_t at) {
        return static_cast<uint32_t>(msb ? (p[at] << 8) | p[at + 1] : (p[at + 1] << 8) | p[at]);
    };
    auto card32 = [&](size_t at) {
        return msb ? (card16(at) << 16) | card16(at + 2) : (card16(at + 2) << 16) | card16(at);
    };
    const uint32_t count = card32(8);
    size_t at = 12;
    for (uint32_t i = 0; i < count; ++i) {
        if (n - at < 4)
            return false;
        const unsigned type = p[at];
        const size_t name_len = card16(at + 2);
        at += 4;
        const size_t name_padded = (name_len + 3) & ~size_t{3};
        if (n - at < name_padded + 4)
            return false;
        const bool match = name_len == std::strlen(want) && std::memcmp(p + at, want, name_len) == 0;
        at += name_padded + 4; // the name and the setting's last-change serial
        if (type == 0) {       // integer
            if (n - at < 4)
                return false;
            if (match) {
                *out = static_cast<int32_t>(card32(at));
                return true;
            }
            at += 4;
        } else if (type == 1) { // string
            if (n - at < 4)
                return false;
            const uint64_t padded = (static_cast<uint64_t>(card32(at)) + 3) & ~uint64_t{3};
            at += 4;
            if (n - at < padded)
                return false;
            at += static_cast<size_t>(padded);
        } else if (type == 2) { // colour: four 16-bit values
            if (n - at < 8)
                return false;
            at += 8;
        } else {
            return false;
        }
    }
    return false;
}

} // namespace

float WIN_double_click_time(WIN_window* window) {
    SDL_Window* sdl = window ? WIN_get_hwnd(window) : nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!sdl || !SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11)
        return default_double_click;
    Display* d = info.info.x11.display;
    const std::string selection = "_XSETTINGS_S" + std::to_string(DefaultScreen(d));
    const Window owner = XGetSelectionOwner(d, XInternAtom(d, selection.c_str(), False));
    if (owner == None)
        return default_double_click;
    const Atom settings = XInternAtom(d, "_XSETTINGS_SETTINGS", False);

    XSync(d, False);
    trapped_errors = 0;
    int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler(trap_error);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const int rc = XGetWindowProperty(d, owner, settings, 0, 1 << 20, False, settings, &type, &format, &items,
                                      &after, &data);
    XSync(d, False);
    XSetErrorHandler(previous);

    int32_t ms = 0;
    const bool found = rc == Success && !trapped_errors && data && type == settings && format == 8 &&
                       xsettings_int(data, items, "Net/DoubleClickTime", &ms);
    if (data)
        XFree(data);
    if (!found || ms <= 0 || ms > 10000)
        return default_double_click;
    return static_cast<float>(ms) / 1000.0f;
}
