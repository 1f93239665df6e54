// APP_alert: the one modal message routine, and the orderly exit. The toolkit installs the drawn alert
// and its exit steps through the hooks; until then an alert is a message box (or stderr).
#pragma once
#include <string>

// Kinds: 0 language chooser, 1 warning, 2 fatal (exit 0), 3 fatal (exit 1). `file` is the caller's
// source name (only the part after the last '/' or '\' is shown), `line` its line.
void APP_alert(int return_screen, const std::string& line1, const std::string& line2,
               const std::string& line3, const std::string& line4, int kind, const char* file, int line);

// Orderly exit: with save != 0 saves what the run changed (not in an automated run) and stops the threads;
// then the platform steps, then closes LOG_stream.
void APP_quit(int save);
