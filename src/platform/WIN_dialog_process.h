// WIN_dialog_process: the desktop's file dialogs (zenity, kdialog) run as child processes with an argument
// list, never through a shell, and the event pump that keeps the window alive while one is open.
#pragma once
#include <string>
#include <vector>

enum WIN_dialog_result {
    WIN_DIALOG_CONFIRMED,  // exit status 0 with a path on stdout
    WIN_DIALOG_CANCELLED,  // exit status 1 (or 0 with nothing on stdout): the user said no
    WIN_DIALOG_UNAVAILABLE // the program is missing, died or gave another status: try the next one
};

// Argument lists for mode 0 (open a file), 1 (save a file) and 2 (choose a folder). `start` goes to the
// dialog as it is: a folder ending in '/', with the suggested name after it in mode 1. Each text is one
// argument, whatever blanks, quotes or '$' it holds. zenity cannot name its OK button; kdialog gets
// `button` when it is not empty.
//   zenity  --file-selection --title=<prompt> [--directory | --save] --filename=<start>
//           ["--file-filter=All Files | *" in modes 0 and 1]
//   kdialog --title <prompt> [--ok-label <button>] (--getopenfilename | --getsavefilename |
//           --getexistingdirectory) <start> ["*|All Files" in modes 0 and 1]
std::vector<std::string> WIN_zenity_arguments(int mode, const std::string& prompt, const std::string& start);
std::vector<std::string> WIN_kdialog_arguments(int mode, const std::string& prompt, const std::string& start,
                                               const std::string& button = "");

// Starts argv[0] (looked up in PATH) with WIN_spawn_helper (default signal handling, the user's
// environment): standard input and error /dev/null, standard output read through a pipe. Until the child
// ends, `pump` (may be null) runs every 50 ms. `out` receives the output less its final line end when the
// result is WIN_DIALOG_CONFIRMED, else is emptied. Main thread.
WIN_dialog_result WIN_run_dialog_process(const std::vector<std::string>& argv, void (*pump)(),
                                         std::string& out);

// Handles the window events that are waiting without running a frame: input (keys, text, mouse) is dropped;
// everything else, a quit request included, stays queued for the run loop to act on afterwards.
void WIN_pump_dropping_input();

// The user's home folder ($HOME) ending in '/'; "/" when HOME is unset, empty or relative.
std::string WIN_home_folder();
