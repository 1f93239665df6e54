// INST_plan: the install plan, which decides for every file of the installation whether it is downloaded,
// deleted or left alone, and the interface of the modified-file question it asks.
//
// DESIGN: a file whose local signature matches any version the directory ever listed is an old copy of
// the installer's own and is replaced or removed without a question; a file that matches none was changed
// by the user, who is asked through INST_modified_file_dialog. The question is answered by whatever the
// program installed with INST_set_modified_file_dialog: the toolkit's modal screen 996, or a test's
// answerer. Main thread only.
//
// Per current record of a wanted entry (present: sig_have is not "NONE"; same: sig_have == sig_want;
// known: sig_have equals the sig_want of some record of the entry; gone: sig_want is "GONE", or the record
// is scenery with no selected tile, which also clears same):
// | present | same | known | act                                                     |
// |---------|------|-------|---------------------------------------------------------|
// | no      |      |       | 1 unless gone                                           |
// | yes     | yes  |       | 0                                                       |
// | yes     | no   | yes   | 1                                                       |
// | yes     | no   | no    | the folder's earlier answer 4 or 5, else the question   |
// plan download = act and not gone; plan delete = act and gone.
#pragma once
#include <string>

// The answers of the modified-file question.
enum {
    INST_ANSWER_ACT = 1,        // overwrite (or delete) this file
    INST_ANSWER_KEEP = 2,       // keep this file
    INST_ANSWER_CANCEL = 3,     // cancel the whole installation
    INST_ANSWER_ACT_FOLDER = 4, // overwrite (or delete) every modified file of this folder
    INST_ANSWER_KEEP_FOLDER = 5 // keep every modified file of this folder
};

// Plans every entry of INST_directory's package list for the install folder, the selected OS code, the
// include flags and the tile selection; clears `install_failed` first, and removes the private expansion
// folders a killed run left in the folders of the copy's files. Writes the current records' plan
// download and plan delete flags, and their download fraction: the share of the planned expanded size
// that lies before the entry (0.5 for all when nothing is planned). Each question is preceded by the log
// line "File: <full path>  sig_want=<sig_want>  sig_have=<sig_have>". Returns 1 when every entry is
// planned, 0 when an answer cancelled: entries planned by then keep their new flags, later ones those of
// an earlier plan.
int INST_plan_install_actions();

// Asks about one modified file: `path` is its full local path, `gone` 1 when the file is to be deleted
// rather than replaced. Returns 1 to 5 (the answers above); 3 also when the question's screen was closed
// by other means, or when nothing that can ask is installed (the question is then logged).
int INST_modified_file_dialog(const std::string& path, int gone);

// Installs the routine that asks (null: none). The toolkit installs the drawn dialog at start-up; tests
// install an answerer.
using INST_modified_file_asker = int (*)(const std::string& path, int gone);
void INST_set_modified_file_dialog(INST_modified_file_asker asker);
