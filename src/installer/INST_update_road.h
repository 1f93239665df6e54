// INST_update_road: the pages that bring an installed copy up to date: choose the copy, fetch the server
// list and the directory file and scan the local signatures, check the disk space, download and install,
// finish. The road's steps are Welcome, Pick Destination (left out when the command line named a folder),
// Search for Updates, Check Disk Space, Install Updates and Finish.
//
// Every page is a page_fn (INST_wizard.h); all texts are translated. The fetch state lives in
// INST_directory's version, as on the demo road (INST_demo_road.h). Main thread only.
//
// | page                    | goes on to                       | back                                  |
// |-------------------------|----------------------------------|---------------------------------------|
// | choose copy             | search, once a copy is chosen    | updater welcome (command-line folder) |
// |                         |                                  | or the demo welcome                   |
// | updater welcome         | search                           | none                                  |
// | search (fetch and scan) | check disk space, by itself      | choose copy or updater welcome        |
// | check disk space        | install; finish when nothing to  | search                                |
// |                         | do, by itself                    |                                       |
// | install                 | finish, by itself; check disk    | check disk space                      |
// |                         | space when the plan is cancelled |                                       |
// | finish                  | quit, or "Fly Aerivon Now"       | none                                  |
//
// With "_log_actions" on, the choose-copy, welcome, search, disk and finish pages log the body they show
// on their first frame as "Page text: <body>".
#pragma once

struct page_desc;

// Files the search page has handed to the scan so far; 0 whenever the search starts afresh.
extern int INST_scanned_count;
// The install page's smoothed bar value, 0..1 (the demo road keeps its own).
extern float INST_update_progress;
// 1 when the last finished search found nothing to update (INST_update_has_work gave 0): the disk page then
// goes straight to the finish page, which says that the copy is up to date.
extern int INST_nothing_to_update;

int INST_page_choose_copy_update(int entered, page_desc* desc);
int INST_page_updater_welcome(int entered, page_desc* desc);
int INST_page_search_updates(int entered, page_desc* desc);
int INST_page_check_disk_space(int entered, page_desc* desc);
int INST_page_download_update(int entered, page_desc* desc);
int INST_page_finished_web_update(int entered, page_desc* desc);

// 1 when the scanned copy needs an update: some file is to be installed (INST_files_to_install, from the
// totals), or a wanted current record that is "GONE", or scenery of a tile no longer selected, still has a
// local file (its sig_have is not "NONE"); else 0. The install total alone does not tell: an update that
// only deletes, or only changes files listed at 0 KB, has a total of 0.
int INST_update_has_work();
