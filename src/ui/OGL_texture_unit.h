// OGL_texture_unit: texture binding per unit and the texture-environment (combiner) modes.
//
// All binding of the toolkit goes through OGL_bind_texture_unit, which remembers per unit the bound name and
// the environment mode, so a repeated bind costs no GL call. Main thread only; loader threads bind with
// glBindTexture directly and leave the cache alone.
#pragma once

// Binds `name` to `target` on `unit` and sets the unit's environment. Mode 0 is GL_MODULATE; 1..6 and
// 14..32 are combiner recipes; 0x21 leaves the environment alone; any other value goes to
// GL_TEXTURE_ENV_MODE as it is (GL_REPLACE, GL_DECAL, ...). Unit 0 is active afterwards. Units 0..15 are
// cached; a unit beyond them is bound every time.
void OGL_bind_texture_unit(int name, int unit, int mode, int target);
// Forgets every unit's name and mode (called after a texture name was deleted).
void OGL_reset_unit_cache();

// Registers the module's named variables ("perf/kill_tex", float, 0) through the given registrar, which
// keeps the address and may write it at any time on the main thread. Call once at start-up.
void OGL_texture_unit_register_vars(void (*register_float)(const char* path, float* value));
