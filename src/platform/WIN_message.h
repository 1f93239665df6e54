// WIN_message: the platform's message box and the quit request of the run loop.
#pragma once

// Shows `text` (null counts as empty) in a modal information box titled "Sim-Root Message" and returns
// when it is dismissed. The text always also goes to stderr, after a '\a' for the beep. A box that cannot
// be shown (no display; under Wayland no zenity) counts as dismissed at once, and so does a box that a quit
// request ends: while the box shows, SIGTERM and SIGINT request the quit once SDL handles them (before that
// they end the process, and the box with it). Main thread only.
void WIN_message_box(const char* text);
// Asks the run loop to end after the current frame, and ends a message box that shows. Any thread, and
// signal handlers.
void WIN_request_quit();
// True once a quit was requested (by WIN_request_quit or by closing the window). Any thread.
bool WIN_quit_requested();
// Back to the start-up state: no quit requested. For a test that requested one, so that the tests after it
// in the same process run on.
void WIN_clear_quit_request_for_test();
