// DREF_registry: run-time variables named by slash paths, filed by type code.
#include "base/DREF_registry.h"

#include <map>
#include <set>

namespace {

// Registry state: touched during static initialisation and by start-up on the main thread. The pending
// list and the flag are constant-initialised, so variables of other files may register before this file's
// own initialisers run; the map is made on first use for the same reason.
struct dref_state {
    DREF_var* pending = nullptr;
    bool ready = false;
};
constinit dref_state state;

std::map<int, std::set<DREF_var*>>& sets() {
    static std::map<int, std::set<DREF_var*>> by_type;
    return by_type;
}

void register_var(DREF_var* var) {
    if (state.ready) {
        sets()[var->type].insert(var);
    } else {
        var->pending_next = state.pending;
        state.pending = var;
    }
}

} // namespace

DREF_var::DREF_var(const char* name_, int type_, uint32_t default_bits)
    : own_value(default_bits), type(type_), pending_next(nullptr), first(&own_value), second(nullptr),
      name(name_) {
    register_var(this);
}

DREF_var::DREF_var(void* variable, const char* name_, int type_)
    : own_value(0), type(type_), pending_next(nullptr), first(variable), second(nullptr), name(name_) {
    register_var(this);
}

DREF_var::DREF_var(DREF_bind_other, void* variable, const char* name_, int type_)
    : own_value(0), type(type_), pending_next(nullptr), first(nullptr), second(variable), name(name_) {
    register_var(this);
}

void DREF_registry_ready() {
    for (DREF_var* v = state.pending; v; v = v->pending_next)
        sets()[v->type].insert(v);
    state.pending = nullptr;
    state.ready = true;
}

bool DREF_registry_is_ready() { return state.ready; }

bool DREF_is_registered(const DREF_var* var) {
    auto it = sets().find(var->type);
    return it != sets().end() && it->second.count(const_cast<DREF_var*>(var)) != 0;
}

void DREF_set_from_text(const std::string& text) { (void)text; }
