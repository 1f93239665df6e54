// WIN_message: interim message box on stderr.
#include "platform/WIN_message.h"

#include <atomic>
#include <cstdio>

static std::atomic<bool> quit_requested{false};

void WIN_message_box(const char* text) { std::fprintf(stderr, "\a%s\n", text); }
void WIN_request_quit() { quit_requested = true; }
bool WIN_quit_requested() { return quit_requested; }
