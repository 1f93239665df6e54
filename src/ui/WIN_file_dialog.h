// WIN_file_dialog: choosing a file or a folder. The desktop's dialog is used when there is one (zenity,
// then kdialog, each a child process); without either, the toolkit's own chooser appears in the window on
// screen 999 ("Open") or 1000 ("Save").
//
// | backend answer                 | what happens                                             |
// |--------------------------------|----------------------------------------------------------|
// | exit 0 with a path             | confirmed: the path goes to the caller                   |
// | exit 1                         | cancelled: no other backend is asked                     |
// | missing, or any other status   | the next backend (zenity, kdialog, the in-window chooser) |
// While a child runs, the window's events are pumped every 50 ms with input dropped and no frame run; a
// quit request that arrives meanwhile waits for the run loop. Main thread only.
#pragma once
#include <string>

// Mode 0 opens an existing file, 1 chooses a file to save, 2 chooses a folder; `prompt` is the title. The
// start path (the home folder when empty) is made absolute and is the initial folder (modes 0 and 1; mode 1
// suggests the name that `path` already holds) or the initial selection (mode 2).
// Confirmed: `path` becomes the chosen path as the bytes the chooser gives (never normalised: ':', '\' and
// bytes that are not UTF-8 stay), a folder ending in '/', and the result is true.
// Cancelled (false): mode 2 leaves `path` unchanged, mode 0 empties it, mode 1 keeps it.
// `button`, when not empty, labels the confirming button where the chooser lets it be named (kdialog and the
// in-window chooser; zenity has no such option).
bool WIN_choose_file_or_folder(int mode, const std::string& prompt, const std::string& start_path,
                               std::string& path, const std::string& button = "");

// The in-window chooser alone: runs screen 999 (modes 0 and 2) or 1000 (mode 1) as a modal loop until OK
// (or Return) gives an answer or Cancel (or Esc, or closing the window) gives none, then makes the
// caller's screen current again. `start` is an absolute folder ending in '/', in mode 1 followed by a
// suggested name. `button` labels the OK button when not empty. True with the chosen path in `out`.
bool BTN_file_chooser(int mode, const std::string& prompt, const std::string& start, std::string& out,
                      const std::string& button = "");
