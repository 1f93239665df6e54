// OGL_texture_unit: texture binding per unit and the texture-environment (combiner) modes.
//
// All binding of the toolkit goes through OGL_bind_texture_unit, which remembers per unit the bound name and
// the environment mode, so a repeated bind costs no GL call. Main thread only; loader threads bind with
// glBindTexture directly and leave the cache alone.
#pragma once

class DREF_var;

// Binds `name` to `target` on `unit` and sets the unit's environment. Mode 0 is GL_MODULATE; 1..6 and
// 14..32 are combiner recipes; 0x21 leaves the environment alone; any other value goes to
// GL_TEXTURE_ENV_MODE as it is (GL_REPLACE, GL_DECAL, ...). Unit 0 is active afterwards. Units 0..15 are
// cached; a unit beyond them is bound every time.
void OGL_bind_texture_unit(int name, int unit, int mode, int target);
// Forgets every unit's name and mode (called after a texture name was deleted).
void OGL_reset_unit_cache();

// Registers the module's named variable "perf/kill_tex" (own value, type 5, default 0) on the first call
// and returns it; later calls return the same variable. While it is non-zero every binding but the
// interface atlas binds the placeholder. Call at start-up, on the main thread.
DREF_var& OGL_texture_unit_register_vars();
