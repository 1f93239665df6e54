// WIN_message: the platform's message box and the quit request of the run loop.
#pragma once

// A beep, then an information box titled "Sim-Root Message"; the text always also goes to stderr. A box
// that cannot be shown counts as dismissed.
void WIN_message_box(const char* text);
// Asks the run loop to end.
void WIN_request_quit();
bool WIN_quit_requested();
