// WIN_dialog_pump: keeps the window's event queue moving while a dialog process runs.
#include "platform/WIN_dialog_process.h"
#include "platform/sdl/WIN_sdl.h"

void WIN_pump_dropping_input() {
    if (!WIN_video_ready())
        return;
    SDL_PumpEvents();
    // Keyboard, text, mouse, joystick, controller and touch events: what the user did in the window while
    // the dialog had the focus is not meant for it. Window events and SDL_QUIT stay queued.
    SDL_FlushEvents(SDL_KEYDOWN, SDL_MULTIGESTURE);
}
