// WIN_gl_proc: where OpenGL entry points beyond 1.1 come from.
//
// Under GLX every name resolves, even a made-up one, to a dispatch stub that does nothing when the driver
// lacks the function. An ARB spelling is therefore worth asking for only when it is a real ARB entry point
// and its extension is advertised; WIN_gl_arb_name knows those.
#pragma once

// The driver's address for a name (SDL_GL_GetProcAddress); needs a loaded GL library.
void* WIN_gl_get_proc_address(const char* name);

// For a name ending in "EXT" whose ARB spelling is a real entry point of an extension named in
// `extensions` (a blank-separated list): that ARB spelling (static text). Otherwise null.
const char* WIN_gl_arb_name(const char* name, const char* extensions);
