// WIN_clipboard: the clipboard through SDL (which needs the video subsystem up).
#include "platform/WIN_clipboard.h"

#include "platform/sdl/WIN_sdl.h"

void WIN_clipboard_put(const std::string& text) {
    if (!WIN_video_ready())
        return;
    SDL_SetClipboardText(text.c_str());
}

void WIN_clipboard_get(void (*callback)(const char* text, void* user), void* user) {
    if (!WIN_video_ready() || !SDL_HasClipboardText())
        return;
    char* text = SDL_GetClipboardText();
    if (!text)
        return;
    if (*text)
        callback(text, user);
    SDL_free(text);
}
