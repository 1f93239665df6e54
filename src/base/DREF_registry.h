// DREF_registry: run-time variables named by slash paths ("perf/kill_cull"), filed by type code.
#pragma once
#include <cstdint>
#include <string>

// Tag for the constructor that binds a variable through the second value pointer.
struct DREF_bind_other {};

// A named variable: a global object made by a static initialiser, living for the whole run. Construction
// registers it: before DREF_registry_ready it waits in the pending list, afterwards it is filed at once.
// Runs during static initialisation or on the main thread; not for concurrent use.
class DREF_var {
  public:
    // Holds its own 32-bit value, starting at the bit pattern `default_bits` (an int, or a float's bits).
    DREF_var(const char* name, int type, uint32_t default_bits);
    // Bound through the first value pointer to the program variable at `variable`.
    DREF_var(void* variable, const char* name, int type);
    // Bound through the second value pointer to the program variable at `variable`.
    DREF_var(DREF_bind_other, void* variable, const char* name, int type);
    DREF_var(const DREF_var&) = delete;
    DREF_var& operator=(const DREF_var&) = delete;

    uint32_t own_value;
    int type;
    DREF_var* pending_next;
    void* first;      // &own_value, a bound program variable, or null
    void* second;     // a program variable bound the other way, or null
    const char* name; // not owned
};

// Files every pending variable under its type code, then marks the registry ready. Start-up calls it once.
void DREF_registry_ready();
bool DREF_registry_is_ready();
// True once the variable is filed in the set of its type code.
bool DREF_is_registered(const DREF_var* var);
// The setter that "--dref:" options reach with the text after "--dref:"; no variable is set in this program.
void DREF_set_from_text(const std::string& text);
