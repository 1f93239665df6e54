// WIN_resource: lookup in the build-generated resource table.
#include "platform/WIN_resource.h"

#include <strings.h>

const unsigned char* WIN_load_gui_resource(const char* name, size_t* out_size) {
    if (out_size)
        *out_size = 0;
    if (!name)
        return nullptr;
    for (const aerivon_resource* r = aerivon_resources; r->name; ++r) {
        if (strcasecmp(r->name, name) == 0) {
            if (out_size)
                *out_size = static_cast<size_t>(r->end - r->begin);
            return r->begin;
        }
    }
    return nullptr;
}
