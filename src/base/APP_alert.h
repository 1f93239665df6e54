// APP_alert: the one modal message routine, and the orderly exit. Before graphics are up an alert is a
// message box (its text also on stderr); the toolkit installs the drawn alert and the window and socket
// steps of the exit through APP_alert_hooks.
#pragma once
#include <string>

// Kinds: 0 language chooser, 1 warning, 2 fatal (exit 0), 3 fatal (exit 1). `file` is the caller's source
// path (only the part after the last '/' or '\' is shown), `line` its line. Kinds 1-3 (and any alert raised
// while another is showing) are logged as a framed block of LOG_write lines. Kinds 2 and 3, and an alert
// raised while another shows, end the process: exit code 0 for kind 2, else 1. In an automated run
// (OPT_is_test_run) nothing is shown and kinds 2 and 3 end the process with exit code 1 at once. On a
// thread other than the main one (once the thread module started) the alert is posted to the main thread
// as an exce_class and the call returns.
void APP_alert(int return_screen, const std::string& line1, const std::string& line2,
               const std::string& line3, const std::string& line4, int kind, const char* file, int line);

// True while an alert is being shown (main thread).
bool APP_alert_showing();

// Set by the toolkit once the window, the interface textures and the first screen exist; until then (and
// in this program so far) alerts take the message-box path. Main thread only.
extern int APP_graphics_up;

// What the toolkit adds to the alert and to the exit. Every member may be null: that step then does
// nothing. Installed on the main thread at start-up, before other threads exist.
struct APP_alert_hooks {
    // The drawn alert: shows the lines (kinds 2 and 3 also `source`, "(file:line)") on the modal alert
    // screen and returns once it is dismissed, after making `return_screen` current for kinds 0 and 1.
    void (*draw_alert)(int return_screen, const std::string& line1, const std::string& line2,
                       const std::string& line3, const std::string& line4, int kind,
                       const std::string& source) = nullptr;
    // Saves the preferences and the key bindings (APP_quit with save, not in an automated run).
    void (*save_settings)() = nullptr;
    void (*restore_display)() = nullptr;  // leaves full-screen mode
    void (*destroy_windows)() = nullptr;  // window 1 when the second-monitor mode is 2, then window 0
    void (*unregister_class)() = nullptr; // the "Sim-Root" window class
    void (*socket_cleanup)() = nullptr;   // the end of networking
    // Ends the program's own work (its worker threads, transfers and temporary files) before the exit:
    // the first step of APP_quit and of a fatal alert's exit.
    void (*end_work)() = nullptr;
};
void APP_set_alert_hooks(const APP_alert_hooks& hooks);

// Orderly exit, in this order: the program's work is ended (its hook); with save != 0 the settings are saved
// (not in an automated run) and the threads stopped (THREAD_exit); then the display is restored, the windows
// destroyed, the window class unregistered and networking ended (each through its hook); then the log is
// flushed and LOG_stream closed. Does not end the process.
void APP_quit(int save);
