// APP_exit: the toolkit's part of the orderly exit (APP_quit, declared in base), the display-mode switch,
// a worker thread's OpenGL context, and the hooks through which base reaches them.
//
// DESIGN: APP_quit and APP_alert live in base and call the toolkit through APP_alert_hooks; the thread
// module reaches OpenGL through THREAD_gl_hooks. The window steps of the exit (display restore, window
// destruction) touch SDL and the GL context, which belong to the main thread: called on any other thread
// (a worker reporting a fatal exception ends the process) they do nothing, and the process exit takes the
// windows down.
#pragma once

// 0: back to the desktop display mode (leaves full screen). Non-zero: queries the display mode and enters
// full screen when the full-screen flag of screen_state is set.
void APP_set_display_mode(int enter);
// On a thread that wants OpenGL: makes a context sharing `main_window`'s objects current here, then sets
// both pixel alignments to 1. 1 on success, 0 when no context could be made.
int OGL_init_worker_context(void* main_window);

// Remembers the calling thread as the one that owns the windows (start-up, before any other thread).
void APP_set_window_thread();
// True on that thread, or before it was set.
bool APP_on_window_thread();

// Installs APP_alert's hooks: the drawn alert, the settings save (installer preferences and key bindings),
// the end of the work (see APP_set_program_work_end), the display restore and the window destruction (the
// last three main-thread only). The window class and the socket layer need no ending here.
void APP_install_exit_hooks();
// The program's own end of its work, which every way out (APP_quit, a fatal alert) runs first, once, on
// the window thread; a movie being recorded is finished after it, so that its file is playable. Null:
// only the movie.
void APP_set_program_work_end(void (*end_work)());
// Installs the thread module's OpenGL hooks: window 0 as the context to share, make-current,
// OGL_init_worker_context and the probe's failed-setup dialog.
void APP_install_thread_gl_hooks();
