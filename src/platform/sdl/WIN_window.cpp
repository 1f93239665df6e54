// WIN_window: SDL windows with an OpenGL context, input dispatch, the run loop and the loader context.
//
// DESIGN: a window record hangs on its SDL window as window data, so the dispatcher finds it from an event's
// window id. Multisampling is chosen by creating the window with each sample count in turn: a count the
// driver cannot serve fails at creation ("Couldn't find matching GLX visual"), so no window is made twice.
// Typed characters come from the SDL_TEXTINPUT event that SDL queues right behind its key-down. Another X
// client may destroy a window of ours (a session manager, xdotool windowclose): the X errors that every
// later request on it brings are taken as the window's close request (see x_error).
#include "platform/WIN_window.h"

#include <SDL_syswm.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/WIN_keys.h"
#include "platform/WIN_message.h"
#include "platform/WIN_mounts.h"
#include "platform/WIN_system.h"
#include "platform/sdl/WIN_sdl.h"

#include <GL/glx.h>
#include <X11/Xlib.h>

#if defined(__SANITIZE_THREAD__)
// Mesa's software rasteriser (llvmpipe: what Xvfb and a machine without a GPU driver draw with) is built
// without TSan, which sees only its pthread calls: a fence that its worker threads signal and the swap then
// destroys reads as a race inside the library at nearly every frame. Races of this code stay reported.
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __tsan_default_suppressions() { return "race:swrast_dri.so\n"; }
#endif

struct WIN_window {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    WIN_input_callbacks* callbacks = nullptr;
    int mode = 0;
    int max_width = 0;
    int max_height = 0;
};

namespace {

constexpr const char* record_key = "WIN_window";

// Platform layer state. Main thread only (the loader context reads nothing of it but the log sink).
struct platform_state {
    bool video_ready = false;
    int aa_requested = 0;
    int aa_obtained = 0;
    bool glx_queried = false;
    std::string glx_extensions;
    bool have_callbacks = false;
    platform_callbacks_view callbacks;
    int resize_depth = 0;
    WIN_key_state keys;
    int cursor_counter = 0;
    SDL_Cursor* arrow = nullptr;
};
platform_state platform;

// The X ids of the windows made here, for the X error handler, which runs on whichever thread reads the
// reply. Written on the main thread; a destroyed window's id stays until its slot is needed again, since
// the errors of requests on it may come in late.
struct x_window_ids {
    std::atomic<unsigned long> ids[8] = {};
    std::atomic<unsigned> next{0};
    int (*previous_handler)(Display*, XErrorEvent*) = nullptr; // set once, before any window exists
};
x_window_ids x_windows;

// Xlib's default handler ends the process on any error, without the program's exit steps. BadWindow or
// BadDrawable on a window of ours means another client destroyed it: that is a close request, as the
// window manager's close box is, and the requests made on the window until the exit fail harmlessly.
// Every other error goes to the handler that was there before (SDL's, then Xlib's).
int x_error(Display* display, XErrorEvent* e) {
    if ((e->error_code == BadWindow || e->error_code == BadDrawable) && e->resourceid != 0)
        for (const std::atomic<unsigned long>& id : x_windows.ids)
            if (id.load() == e->resourceid) {
                WIN_request_quit();
                return 0;
            }
    return x_windows.previous_handler ? x_windows.previous_handler(display, e) : 0;
}

void remember_x_window(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11)
        x_windows.ids[x_windows.next.fetch_add(1) % 8].store(info.info.x11.window);
}

void log_text(const std::string& text) {
    if (platform.have_callbacks && platform.callbacks.log_text)
        platform.callbacks.log_text(text.c_str());
}

// The GLX extensions of the display, asked once on a connection of our own: SDL offers no display before
// it has a window, and multisampling must be decided before the window is made.
const std::string& glx_extension_string() {
    if (platform.glx_queried)
        return platform.glx_extensions;
    platform.glx_queried = true;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "x11") != 0)
        return platform.glx_extensions;
    if (Display* d = XOpenDisplay(nullptr)) {
        const char* s = glXQueryExtensionsString(d, DefaultScreen(d));
        platform.glx_extensions = s ? s : "";
        XCloseDisplay(d);
    }
    return platform.glx_extensions;
}

void set_basic_attributes() {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 32);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

void set_multisample_attributes(int samples) {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples);
    if (samples == 2)
        SDL_GL_SetAttribute(SDL_GL_FRAMEBUFFER_SRGB_CAPABLE, 1);
}

Uint32 mode_flags(int mode) {
    if (mode == 1)
        return SDL_WINDOW_RESIZABLE;
    if (mode == 2)
        return SDL_WINDOW_BORDERLESS;
    return 0;
}

WIN_window* record_of(Uint32 window_id) {
    SDL_Window* w = SDL_GetWindowFromID(window_id);
    return w ? static_cast<WIN_window*>(SDL_GetWindowData(w, record_key)) : nullptr;
}

WIN_input_callbacks* callbacks_of(Uint32 window_id) {
    WIN_window* rec = record_of(window_id);
    return rec ? rec->callbacks : nullptr;
}

void dispatch_window_event(const SDL_WindowEvent& e) {
    switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
        WIN_request_quit();
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        WIN_window* rec = record_of(e.windowID);
        if (!rec || !rec->callbacks || !rec->callbacks->resize || WIN_quit_requested() ||
            platform.resize_depth > 0)
            break;
        int w = 0, h = 0;
        SDL_GL_GetDrawableSize(rec->window, &w, &h);
        ++platform.resize_depth;
        rec->callbacks->resize(rec->callbacks, w, h);
        --platform.resize_depth;
        break;
    }
    case SDL_WINDOWEVENT_EXPOSED:
        if (WIN_input_callbacks* cb = callbacks_of(e.windowID); cb && cb->refresh)
            cb->refresh(cb);
        break;
    default:
        break;
    }
}

void dispatch_key(const SDL_KeyboardEvent& e) {
    std::string text;
    if (e.type == SDL_KEYDOWN) {
        SDL_Event next;
        if (SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1 &&
            next.type == SDL_TEXTINPUT &&
            SDL_PeepEvents(&next, 1, SDL_GETEVENT, SDL_TEXTINPUT, SDL_TEXTINPUT) == 1)
            text = next.text.text;
    }
    WIN_input_callbacks* cb = callbacks_of(e.windowID);
    if (!cb)
        return;
    WIN_key_event k;
    if (!WIN_translate_key(platform.keys, e.keysym.sym, e.keysym.scancode, e.keysym.mod,
                           e.type == SDL_KEYDOWN, e.repeat != 0, text.c_str(), k))
        return;
    if (e.type == SDL_KEYDOWN) {
        if (cb->key_down)
            cb->key_down(cb, k.character, k.code, k.flags);
    } else if (cb->key_up) {
        cb->key_up(cb, k.character, k.code, k.flags);
    }
}

int button_index(Uint8 button) {
    if (button == SDL_BUTTON_LEFT)
        return 0;
    if (button == SDL_BUTTON_RIGHT)
        return 1;
    return -1;
}

// A wake event is in the queue and not yet taken by the run loop.
std::atomic<bool> wake_queued{false};

void dispatch(const SDL_Event& e) {
    switch (e.type) {
    case SDL_USEREVENT:
        // The wake is taken: a completion from now on queues another, so none waits for a later frame.
        wake_queued = false;
        break;
    case SDL_QUIT:
        WIN_request_quit();
        break;
    case SDL_WINDOWEVENT:
        dispatch_window_event(e.window);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        dispatch_key(e.key);
        break;
    case SDL_MOUSEMOTION:
        if (WIN_input_callbacks* cb = callbacks_of(e.motion.windowID); cb && cb->mouse_move)
            cb->mouse_move(cb, e.motion.x, e.motion.y);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        int b = button_index(e.button.button);
        WIN_input_callbacks* cb = callbacks_of(e.button.windowID);
        if (b < 0 || !cb)
            break;
        if (e.type == SDL_MOUSEBUTTONDOWN) {
            if (cb->mouse_down)
                cb->mouse_down(cb, e.button.x, e.button.y, b);
        } else if (cb->mouse_up) {
            cb->mouse_up(cb, e.button.x, e.button.y, b);
        }
        break;
    }
    case SDL_MOUSEWHEEL: {
        // The pointer's window position travels with the event (not the screen position).
        WIN_input_callbacks* cb = callbacks_of(e.wheel.windowID);
        int delta = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        if (cb && cb->mouse_wheel && delta != 0)
            cb->mouse_wheel(cb, e.wheel.mouseX, e.wheel.mouseY, 0, delta);
        break;
    }
    default:
        break;
    }
}

void poll_devices() {
    if (!platform.have_callbacks)
        return;
    WIN_mount_change c = WIN_mounts_poll();
    const platform_callbacks_view& cb = platform.callbacks;
    if (c.media_arrived && cb.media_arrived)
        cb.media_arrived(cb.self);
    if (c.devices_changed && cb.devices_changed)
        cb.devices_changed(cb.self);
}

// An event that may move the keyboard focus: a button press; Tab, Return or Escape going down; a window's
// exposure or resize, after which the toolkit sets its screen again.
bool may_move_focus(const SDL_Event& e, Uint32* window_id) {
    switch (e.type) {
    case SDL_MOUSEBUTTONDOWN:
        *window_id = e.button.windowID;
        return true;
    case SDL_KEYDOWN: {
        *window_id = e.key.windowID;
        const SDL_Keycode k = e.key.keysym.sym;
        return k == SDLK_TAB || k == SDLK_RETURN || k == SDLK_KP_ENTER || k == SDLK_ESCAPE ||
               e.key.keysym.scancode == SDL_SCANCODE_KP_ENTER;
    }
    case SDL_WINDOWEVENT:
        *window_id = e.window.windowID;
        return e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED;
    default:
        return false;
    }
}

// The event waits for the next drain: keys that came before it wait for the focused widget.
bool held(const SDL_Event& e) {
    Uint32 window_id = 0;
    if (!may_move_focus(e, &window_id))
        return false;
    WIN_input_callbacks* cb = callbacks_of(window_id);
    return cb && cb->keys_waiting && cb->keys_waiting(cb) != 0;
}

// Takes the waiting events in their order, up to the first one held, and ends after one that may move the
// focus: the frame gives the focus its new owner before the keys typed after it are routed, as when the
// same events come spread over frames.
void drain_events() {
    SDL_PumpEvents();
    SDL_Event e;
    Uint32 window_id = 0;
    while (SDL_PeepEvents(&e, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1 && !held(e) &&
           SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) {
        dispatch(e);
        if (may_move_focus(e, &window_id))
            break;
    }
    poll_devices();
}

} // namespace

bool WIN_video_ready() { return platform.video_ready; }

void WIN_register_classes() {
    if (platform.video_ready)
        return;
    // SDL 2.26 takes the X11 WM_CLASS from this variable when the video subsystem starts. A class the user
    // set is theirs to keep; the programs we start get the user's environment, not ours.
    WIN_set_own_variable("SDL_VIDEO_X11_WMCLASS", "Sim-Root");
    // Without a GPU, Mesa's software renderer draws each frame on a thread per processor, all woken every
    // frame; while a package arrives those wake-ups take the processor from the HTTP I/O thread again and
    // again, and the transfer swings with them. Two drawing threads do for the wizard's pages. A count the
    // user set stays; other drivers do not read it. The programs we start (the simulator, the browser) draw
    // with the user's count.
    WIN_set_own_variable("LP_NUM_THREADS", "2");
    // Only a real display will do: without one SDL would fall back to its invisible offscreen driver and
    // the program would run unseen instead of saying that it cannot open its window.
    if (!getenv("SDL_VIDEODRIVER"))
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland");
    platform.video_ready = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    const char* driver = platform.video_ready ? SDL_GetCurrentVideoDriver() : nullptr;
    if (driver && std::strcmp(driver, "x11") == 0)
        x_windows.previous_handler = XSetErrorHandler(x_error); // after SDL's own, which it passes on to
}

void WIN_set_multisample(int level) {
    WIN_register_classes();
    platform.aa_requested = level < 0 ? 0 : level > 4 ? 4 : level;
}

int WIN_get_multisample() { return platform.aa_obtained; }

void WIN_set_multisample_obtained(int level) { platform.aa_obtained = level; }

void WIN_set_platform_callbacks(const platform_callbacks_view* record) {
    platform.have_callbacks = record != nullptr;
    platform.callbacks = record ? *record : platform_callbacks_view();
    if (record)
        WIN_mounts_reset();
}

WIN_window* WIN_create_window_gl(int x, int y, int width, int height, int max_width, int max_height, int mode,
                                 WIN_window* share) {
    WIN_register_classes();
    if (!platform.video_ready)
        return nullptr;
    const std::string& ext = glx_extension_string();
    log_text(ext + "\n");
    bool possible = ext.find("GLX_ARB_multisample") != std::string::npos;

    struct attempt {
        int samples;
        int level;
    };
    attempt attempts[5];
    int n = 0;
    if (platform.aa_requested > 0 && possible) {
        const attempt chain[] = {{16, 4}, {8, 3}, {4, 2}, {2, 1}};
        for (const attempt& a : chain)
            if (platform.aa_requested >= a.level)
                attempts[n++] = a;
    }
    attempts[n++] = {0, 0};

    SDL_Window* win = nullptr;
    SDL_GLContext ctx = nullptr;
    for (int i = 0; i < n && !ctx; ++i) {
        if (attempts[i].samples)
            set_multisample_attributes(attempts[i].samples);
        else
            set_basic_attributes();
        if (share) {
            SDL_GL_MakeCurrent(share->window, share->context);
            SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
        }
        win = SDL_CreateWindow("Sim-Root", x, y, width, height, SDL_WINDOW_OPENGL | mode_flags(mode));
        if (!win)
            continue;
        ctx = SDL_GL_CreateContext(win);
        if (!ctx) {
            SDL_DestroyWindow(win);
            win = nullptr;
            continue;
        }
        platform.aa_obtained = attempts[i].level;
    }
    SDL_GL_ResetAttributes();
    if (!ctx)
        return nullptr;

    auto* rec = new WIN_window;
    rec->window = win;
    rec->context = ctx;
    rec->mode = mode;
    rec->max_width = max_width;
    rec->max_height = max_height;
    SDL_SetWindowData(win, record_key, rec);
    remember_x_window(win);
    if (max_width > 0 && max_height > 0)
        SDL_SetWindowMaximumSize(win, max_width, max_height);
    SDL_GL_MakeCurrent(win, ctx);
    SDL_StartTextInput();
    return rec;
}

void WIN_set_handler(WIN_window* window, WIN_input_callbacks* callbacks) {
    if (window)
        window->callbacks = callbacks;
}

void WIN_destroy_window_gl(WIN_window* window) {
    if (!window)
        return;
    if (SDL_GL_GetCurrentContext() == window->context)
        SDL_GL_MakeCurrent(window->window, nullptr);
    SDL_GL_DeleteContext(window->context);
    SDL_SetWindowData(window->window, record_key, nullptr);
    SDL_DestroyWindow(window->window);
    delete window;
}

bool WIN_make_current(WIN_window* window) {
    if (!window)
        return SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr) == 0;
    return SDL_GL_MakeCurrent(window->window, window->context) == 0;
}

void WIN_swap_buffers(WIN_window* window) {
    if (window)
        SDL_GL_SwapWindow(window->window);
}

void WIN_set_swap_interval(WIN_window* window, int interval) {
    if (!window)
        return;
    SDL_Window* prev_win = SDL_GL_GetCurrentWindow();
    SDL_GLContext prev_ctx = SDL_GL_GetCurrentContext();
    if (prev_ctx != window->context)
        SDL_GL_MakeCurrent(window->window, window->context);
    SDL_GL_SetSwapInterval(interval);
    if (prev_ctx != window->context)
        SDL_GL_MakeCurrent(prev_win, prev_ctx);
}

void WIN_set_window_mode(WIN_window* window, int mode) {
    if (!window || window->mode == mode)
        return;
    SDL_SetWindowBordered(window->window, mode == 2 ? SDL_FALSE : SDL_TRUE);
    SDL_SetWindowResizable(window->window, mode == 1 ? SDL_TRUE : SDL_FALSE);
    SDL_ShowWindow(window->window);
    window->mode = mode;
}

void WIN_set_client_rect(WIN_window* window, int left, int top, int right, int bottom) {
    if (!window)
        return;
    SDL_SetWindowPosition(window->window, left, top);
    SDL_SetWindowSize(window->window, right - left, bottom - top);
}

void WIN_set_window_size(WIN_window* window, int width, int height) {
    if (!window)
        return;
    SDL_SetWindowPosition(window->window, 0, 0);
    SDL_SetWindowSize(window->window, width, height);
}

void WIN_set_window_fullscreen(WIN_window* window, bool on) {
    if (!window)
        return;
    if (!on) {
        SDL_SetWindowFullscreen(window->window, 0);
        return;
    }
    SDL_DisplayMode m;
    int display = SDL_GetWindowDisplayIndex(window->window);
    if (display >= 0 && WIN_chosen_display_mode(display, m) &&
        SDL_SetWindowDisplayMode(window->window, &m) == 0)
        SDL_SetWindowFullscreen(window->window, SDL_WINDOW_FULLSCREEN);
    else
        SDL_SetWindowFullscreen(window->window, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

bool WIN_window_visible(WIN_window* window) {
    if (!window)
        return true;
    return (SDL_GetWindowFlags(window->window) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) == 0;
}

SDL_Window* WIN_get_hwnd(WIN_window* window) { return window ? window->window : nullptr; }

void* WIN_get_gl_context(WIN_window* window) { return window ? window->context : nullptr; }

void WIN_wake_loop() {
    if (wake_queued.exchange(true))
        return;
    SDL_Event e{};
    e.type = SDL_USEREVENT; // it only ends the wait
    if (SDL_PushEvent(&e) != 1)
        wake_queued = false;
}

void WIN_run_loop(int (*prepare)(), void (*frame)()) {
    while (!WIN_quit_requested()) {
        int hint = prepare();
        SDL_PumpEvents();
        // The wait leaves the event queued: the drain decides whether it is taken in this frame.
        if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) ||
            (hint > 0 && SDL_WaitEventTimeout(nullptr, hint * 16)))
            drain_events();
        else
            poll_devices();
        frame();
    }
}

int WIN_pump_once(int (*before)(), int (*after)()) {
    before();
    drain_events();
    return after();
}

bool WIN_shift_down() { return (SDL_GetModState() & KMOD_SHIFT) != 0; }

void WIN_hide_cursor() {
    --platform.cursor_counter;
    SDL_ShowCursor(platform.cursor_counter >= 0 ? SDL_ENABLE : SDL_DISABLE);
}

void WIN_show_cursor() {
    ++platform.cursor_counter;
    SDL_ShowCursor(platform.cursor_counter >= 0 ? SDL_ENABLE : SDL_DISABLE);
}

void WIN_arrow_cursor() {
    if (!platform.arrow)
        platform.arrow = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
    if (platform.arrow)
        SDL_SetCursor(platform.arrow);
}

bool WIN_init_loader_context(WIN_window* share) {
    auto fail = [](const char* what) {
        log_text(std::string(what) + SDL_GetError() + "\n");
        return false;
    };
    if (!share)
        return fail("Could not share lists: ");
    set_basic_attributes();
    SDL_Window* win = SDL_CreateWindow("Sim-Root_worker", 128, 128, 128, 128,
                                       SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
    if (!win)
        return fail("Failed to make worker window: ");
    // Sharing needs the other context current here; its own thread holds none while this runs.
    if (SDL_GL_MakeCurrent(share->window, share->context) != 0) {
        SDL_DestroyWindow(win);
        return fail("Could not share lists: ");
    }
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
    SDL_GLContext ctx = SDL_GL_CreateContext(win);
    SDL_GL_ResetAttributes();
    if (!ctx) {
        SDL_GL_MakeCurrent(share->window, nullptr);
        SDL_DestroyWindow(win);
        return fail("Could not make loader gl context: ");
    }
    if (SDL_GL_MakeCurrent(win, ctx) != 0) {
        SDL_GL_MakeCurrent(win, nullptr);
        SDL_GL_DeleteContext(ctx);
        SDL_DestroyWindow(win);
        return fail("Could not set loader ctx: ");
    }
    return true;
}
