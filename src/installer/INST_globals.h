// INST_globals: the installer's run-wide state that its modules share: the copy being worked on, the
// work folder, the operating system whose files are wanted, the server list and the directory.
//
// Start-up sets the folders and the OS code; the pages change the install folder. Everything here is
// written on the main thread only. Checksum tasks on worker threads read the install folder and write
// the records of their own entries while a scan runs; nothing else changes the list's layout then.
#pragma once
#include <string>

#include "installer/UTL_installer.h"

// The copy being installed or updated, ending in '/'.
extern std::string INST_install_folder;
// The folder fetched files land in, ending in '/'. Empty means the private per-run temporary folder
// (special folder 4), which INST_work_path then uses.
extern std::string INST_work_folder;
// Whose files are wanted: 0 every system ("--os=ALL"), 1 APL, 2 IBM, 3 LIN; by default the system this
// program runs on (INST_native_os_code).
extern int INST_selected_os;
// The OS code of the system the program runs on: 3 LIN on Linux (1 APL on macOS, 2 IBM on Windows).
int INST_native_os_code();

// The server list and the directory of the current job.
extern server_list INST_servers;
extern install_directory INST_directory;

// The copy chosen: the install folder (made absolute against the process's working folder when it is
// relative, as a command-line folder may be) becomes the Sim-Root folder, so that relative paths
// (screenshots, data files) resolve inside the copy. Nothing happens while the install folder is empty. Main
// thread, while no task runs.
void INST_set_sim_root();

// The work folder followed by `name`.
std::string INST_work_path(const std::string& name);
