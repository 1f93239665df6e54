// INST_scenery_road: the road that adds scenery to, or removes it from, an installed copy from the maker's
// discs (Welcome, Select Aerivon, Scan Existing Scenery, Select New Scenery, Install Scenery, Finish).
//
// DESIGN: page_fns of the wizard, entered only from the disc road's welcome page (its choice "Add Or
// Remove Scenery", or as its next page in scenery mode):
//   select copy -> scan -> select new scenery -> installing <-> (verify disc <-> change disc) -> finished
// The scan runs on the checksum queue and the install on the disc queues, both polled once per frame.
// Leaving the installing page backwards keeps INST_scenery_install_started, so that the map page asks
// whether to stop or go on. The disc state (error count, current entry, disc in drive) is the disc road's
// (INST_dvd_road.h). Main thread only.
#pragma once
#include <string>
#include <vector>

struct page_desc;
using page_fn = int (*)(int entered, page_desc* desc);

extern int INST_scenery_install_started; // 1 while a scenery install runs
extern int INST_scenery_next_entry;      // the entry the unpack step works on for this road
extern int INST_scenery_scan_index;      // the entry index of the existence scan

// The road's step list: the "Select Aerivon" step only when no command-line folder was given.
void INST_fill_scenery_steps();

int INST_page_select_install_scenery(int entered, page_desc* desc);
int INST_page_scan_existing_scenery(int entered, page_desc* desc);
int INST_page_select_new_scenery(int entered, page_desc* desc);
int INST_page_install_scenery(int entered, page_desc* desc);
int INST_page_verify_dvd_scenery(int entered, page_desc* desc);
int INST_page_change_dvd_scenery(int entered, page_desc* desc);
int INST_page_finished_scenery(int entered, page_desc* desc);

// The finished page's first sentence for the error count and the two counts of INST_compute_totals.
std::string INST_scenery_result_text(int errors, int files_to_install, int second_count);
