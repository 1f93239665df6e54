// INST_page_routines: what the wizard pages share beyond the number texts: the UI element atlas of the
// interface language, the disk-space panel and the two cancel confirmations. Main thread only.
#pragma once
#include <cstdint>
#include <string>

#include "installer/INST_wizard.h"

// The UI element atlas (manual texture 1022: the word buttons of the wizard) and the language index it
// was loaded for (-1 before the first load).
extern int INST_ui_atlas;
extern int INST_ui_atlas_language;

// "RESOURCE:elements_<language>.png" for English, French, German, Russian, Italian and Spanish (language
// indices 0 to 5); English for any other index.
std::string INST_ui_atlas_name(int language);
// Loads the atlas of the current language into manual texture 1022 and remembers the language.
void INST_load_ui_atlas();
// Called on every frame: reloads the atlas when the interface language changed since its last load.
void INST_update_language_atlas();

// The disk panel's status: true (enough) when the install total, in KB, is at most the free space in KB.
bool INST_enough_disk_space(float install_total_kb, uint64_t free_bytes);

// Draws the disk facts of the install folder's volume (size, free space, the space the install total
// needs, and `enough` or `not_enough`) and returns whether the space is enough. When the volume cannot
// be asked, draws nothing and returns true.
bool INST_draw_disk_space_panel(const std::string& enough, const std::string& not_enough);
// Where the panel's first three lines (its top 30 units, which a row of buttons at its right may share)
// end on the right; the panel's left edge when the volume cannot be asked.
float INST_disk_space_panel_head_right();

// Cancel confirmation of the demo install: asks whether to cancel and delete the partial copy. "Continue"
// gives false; any other outcome deletes the install folder's tree and gives true.
bool INST_confirm_cancel_demo();
// Cancel confirmation of an update: "Continue" gives false, any other outcome true; nothing is deleted.
bool INST_confirm_stop_update();

// The texts of the demo cancel question (the destination page asks it too).
struct INST_cancel_demo_texts {
    std::string message, label1, explanation1, label2, explanation2;
};
INST_cancel_demo_texts INST_cancel_demo_question();

// The installing pages' status line for the download step's last action: deleting, downloading (with the
// percent of that file), skipped as installed or skipped as not needed; translated, file name put in.
std::string INST_install_status_text();

// The KB of the install total that is in: the expanded size of every finished package plus, for each slot
// busy with a package, the share of that package's expanded size that its transfer has received (all of it
// while the package expands).
float INST_install_kb_in();

// The installing pages' bar, moved from `shown` toward INST_install_kb_in's share of the install total, at
// a rate that follows the frame time; a job that only deletes has nothing to expand and counts as all there.
float INST_smooth_install_progress(float shown);

// One frame of an installing page's texts, after a download step that left work: the bar moves from
// `*shown` (INST_smooth_install_progress), the status line names the last action, and once the bar is past
// 1 % or a server has failed the body holds the time left and the rate (never below 1 second and 1
// kilobyte/second while work remains) or, in their place, a line that says that the page waits for the
// servers: while every server waits out a failure, and while no byte is measured (no running transfer has
// received one, nothing is being expanded) and the rate would be below 1 kilobyte/second. Then one line per
// server: its rate, or its failure and the seconds until its retry, or with `finished_lines` "is finished"
// for a server with nothing left. With actions logged, each new whole percent of the bar is logged as
// "Install progress: <n>%" with the body's first line.
void INST_describe_install(page_desc* d, float* shown, bool finished_lines);
