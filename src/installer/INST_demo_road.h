// INST_demo_road: the pages of the road that installs the web demo into a new folder (Welcome, License,
// Check Servers, Pick Destination, Install, Finish), the small road that starts an installed demo, and the
// per-frame fetch of the server list and the directory file that the server-checking pages share.
//
// Every page is a page_fn (INST_wizard.h); all texts are translated. INST_directory's version doubles as
// the fetch state: -1 while the directory is fetched, 0 failed or never read, else the file's version.
// Main thread only.
#pragma once
#include <string>

struct page_desc;

// The road's state, kept for the whole run.
extern int INST_agreed;                     // the licence box; cleared whenever the welcome page is entered
extern int INST_download_started;           // the install page planned and began; cleared when it finishes
extern std::string INST_destination_parent; // the folder the new copy goes into, ending in '/'
extern std::string INST_install_name;       // the new copy's folder name, at most 256 bytes
extern std::string INST_desktop_folder;
extern float INST_demo_progress; // the install page's smoothed bar value, 0..1
extern int INST_chosen_server;   // the server the directory file is fetched from

int INST_page_demo_welcome(int entered, page_desc* desc);
int INST_page_license(int entered, page_desc* desc);
int INST_page_check_servers(int entered, page_desc* desc);
int INST_page_pick_destination_demo(int entered, page_desc* desc);
int INST_page_download_demo(int entered, page_desc* desc);
int INST_page_finished_web_demo(int entered, page_desc* desc);
int INST_page_run_demo_chooser(int entered, page_desc* desc);
// Starts install folder + simulator executable with no arguments; when it started, the program saves its
// preferences and exits 0. A refusal is logged once per visit and tried again on the next frame.
int INST_launch_simulator(int entered, page_desc* desc);

// One step of the fetch, once per frame: the server list from the maker's web site while none is known
// (then the version folder is set and appended to each server's base path), then the directory file's
// archive from the chosen server (another one at random after a failure), unzipped in the work folder and
// read. A server list that names no server is a failed fetch, tried again after its wait. Server files in
// newer formats end in the installer-too-old alert. A directory that lists no file is
// a failed one (version 0), not fetched again until a page sets the version to -1 (entering Check Servers
// or Search for Updates does).
void INST_fetch_directory_file();

// Drops the fetch's transfers (the server list's and the directory's): the pages that BACK leads to from a
// server-checking page call it on entry, so that a look-up that hangs keeps no transfer running.
void INST_drop_directory_fetch();

// While the server list or the directory waits to be fetched again after a failure, the server-checking
// pages' status line says so (INST_fetch_failure_line), with the bar shown at least empty so that the line
// is drawn.
void INST_show_fetch_failure(page_desc* d);

// 1 when a typed install name may become a folder of the destination: not empty, no '/' or '\', not "."
// or "..", and a safe relative path.
int INST_install_name_is_usable(const std::string& name);
// The destination pages' check of the chosen place: sets the install folder and the page's body ("I will
// create ..."); false, with no CONTINUE, when the name is unusable or that folder exists already.
bool INST_describe_destination(page_desc* d);
