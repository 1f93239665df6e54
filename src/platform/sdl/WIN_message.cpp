// WIN_message: the message box through SDL, and the run loop's quit flag.
#include "platform/WIN_message.h"

#include <SDL.h>
#include <atomic>
#include <cstdio>

namespace {
// Set from any thread, read by the run loop on the main thread.
std::atomic<bool> quit_requested{false};
} // namespace

void WIN_message_box(const char* text) {
    const char* t = text ? text : "";
    std::fprintf(stderr, "\a%s\n", t);
    std::fflush(stderr);
    // SDL may be called before SDL_Init for this. It fails at once without a display; the text is on
    // stderr already, so a failure counts as a dismissed box.
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, "Sim-Root Message", t, nullptr);
}

void WIN_request_quit() { quit_requested.store(true); }

bool WIN_quit_requested() { return quit_requested.load(); }

void WIN_clear_quit_request_for_test() { quit_requested.store(false); }
