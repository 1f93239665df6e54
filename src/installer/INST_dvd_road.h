// INST_dvd_road: the road that installs a complete copy from the maker's discs (Welcome, Pick Destination,
// License, Select Scenery, Install, Finish, with the two pages that ask for and check the next disc), and
// the disc operations it shares with the scenery road.
//
// DESIGN: the pages are page_fns of the wizard (INST_wizard.h); every text is translated. The road's state
// is the globals below; the unpack step (INST_dvd_unpack.h) keeps its work in its queues and the caller's
// next-entry index, so a disc change leaves the install running:
//   welcome -> destination -> licence -> select scenery -> installing <-> (check disc <-> change disc)
//   -> finish
// Leaving the installing page backwards keeps INST_dvd_install_started, so that the scenery page asks
// whether to cancel (deleting the partial copy) or to go on. A media arrival clears INST_directory, which
// makes the welcome and destination pages read the new disc. No page of the web roads leads here: the
// road is entered only through INST_page_dvd_welcome. Main thread only.
#pragma once
#include <string>

struct page_desc;
using page_fn = int (*)(int entered, page_desc* desc);

// The road's state (main thread).
extern int INST_dvd_install_started; // 1 from the planned start of an install until it ends or is cancelled
extern int INST_dvd_error_count;     // failed disc tasks of the current install (both disc roads)
extern int INST_dvd_next_entry;      // the entry the unpack step works on; 0 when an install begins
extern int INST_dvd_current_entry;   // the entry whose disc is wanted when a disc change is needed
extern int INST_disc_in_drive;       // the disc number INST_find_dvd found in the drive

// UTL_scan_dvd into INST_directory; when it read the disc's directory (0), the offered tiles are built.
void INST_load_dvd_directory();
// True when a CD/DVD drive holds the package of entry INST_dvd_current_entry (its current record's path
// plus archive suffix under the version folder); then INST_disc_in_drive is that record's disc and the
// DVD root is the drive's root. INST_probe_path is left pointing at the package.
bool INST_find_dvd();
// 0 for a negative index, 1 for one at or past the entry count, else the download fraction of the entry's
// current record.
float INST_entry_progress(int entry);
// Shows the last disc task's error (INST_take_last_error) in the two-button dialog: line1, a blank line,
// the task's text + " (" + the error code's sentence + ")", a blank line, line2. Returns the dialog's
// result (1 first button, 0 second, 3 otherwise).
int INST_install_error_alert(const std::string& line1, const std::string& line2, const std::string& label1,
                             const std::string& explanation1, const std::string& label2,
                             const std::string& explanation2);

// The dialog's message: line1, a blank line, task + " (" + FILE_error_text of code + ")", a blank line,
// line2.
std::string INST_install_error_message(const std::string& line1, const std::string& line2, int code,
                                       const std::string& task);

int INST_page_dvd_welcome(int entered, page_desc* desc);
int INST_page_pick_destination_dvd(int entered, page_desc* desc);
int INST_page_select_scenery_dvd(int entered, page_desc* desc);
int INST_page_installing_dvd(int entered, page_desc* desc);
int INST_page_check_dvd_install(int entered, page_desc* desc);
int INST_page_change_dvd_install(int entered, page_desc* desc);
int INST_page_finish_install(int entered, page_desc* desc);

// The texts of a page that waits for the first disc, or has a disc that is not the maker's.
inline constexpr const char INST_INSERT_DISC_ONE[] =
    "Please insert Aerivon 10 DVD number one to begin, then wait a "
    "few moments for the DVD to be recognized by your computer.";
inline constexpr const char INST_NOT_OUR_DISC[] = "This DVD does not appear to be an Aerivon 10 DVD.";
// The per-frame disc upkeep of the pages that read the disc: a media arrival clears INST_directory, and an
// empty DVD root or package list makes INST_load_dvd_directory read the disc again.
void INST_keep_disc_read();
// "Please insert DVD number N, ..." (translated) for the disc of the entry's current record (N = its disc
// number + 1).
std::string INST_insert_disc_text(int entry);
// Shared by the two disc roads' finish pages: the beta check box at (250, 100).
void INST_dvd_beta_box();
// The eject on entry of a change-disc page: the disc at the DVD root is ejected (a failure is logged) and
// the DVD root emptied. Nothing when no root is known.
void INST_eject_dvd();
// The "please change DVDs" page of both disc roads: ejects the disc on entry, asks for the disc of the
// current entry, and moves on to `next` once a medium arrives.
int INST_change_disc_page(int entered, page_desc* d, const std::string& title, page_fn back, page_fn next);
