// WIN_resource: lookup in the build-generated resource table.
#include "platform/WIN_resource.h"

// An executable that embeds nothing has no table; the lookup then finds nothing.
extern const aerivon_resource aerivon_resources[] __attribute__((weak));

// Equal ignoring ASCII case only, whatever the locale.
static bool same_name(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y + 32);
        if (x != y)
            return false;
        if (x == 0)
            return true;
    }
}

const unsigned char* WIN_load_gui_resource(const char* name, size_t* out_size) {
    if (out_size)
        *out_size = 0;
    if (!name || !aerivon_resources)
        return nullptr;
    for (const aerivon_resource* r = aerivon_resources; r->name; ++r) {
        if (same_name(r->name, name)) {
            if (out_size)
                *out_size = static_cast<size_t>(r->end - r->begin);
            return r->begin;
        }
    }
    return nullptr;
}

bool WIN_strip_resource_prefix(std::string& path) {
    if (path.size() < 9 || path.compare(0, 9, "RESOURCE:") != 0)
        return false;
    path.erase(0, 9);
    return true;
}
