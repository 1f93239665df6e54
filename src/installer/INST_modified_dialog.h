// INST_modified_dialog: the modal question about a file the user changed (screen 996), which the install
// plan asks through INST_modified_file_dialog (INST_plan.h). Main thread only.
#pragma once
#include <string>

// Makes screen 996 current and runs it as a modal loop until a button is clicked: the first line, the
// file's full path and the question, then five push buttons in three columns (centres in the 750 x 146
// dialog while every label fits; else as INST_modified_dialog_columns lays them out):
// | button                                            | centre   | width | result |
// |---------------------------------------------------|----------|-------|--------|
// | "OVERWRITE THE OLD FILE" / "DELETE THE OLD FILE"  | (90, 46) | 160   | 1      |
// | "KEEP THE OLD FILE"                               | (90, 18) | 160   | 2      |
// | "OVERWRITE (DELETE) EVERY OLD FILE IN THIS ..."   | (310, 46)| 280   | 4      |
// | "KEEP EVERY OLD FILE IN THIS DIRECTORY"           | (310, 18)| 280   | 5      |
// | "CANCEL THE WHOLE INSTALLATION!"                  | (590, 18)| 220   | 3      |
// `gone` 1 asks about deleting the file rather than replacing it. A button makes screen 0 current again
// and gives its result. Only a click answers: when another screen becomes current, or a quit is requested
// (the window was closed), the result is 3, cancel.
int INST_ask_about_modified_file(const std::string& path, int gone);

// The columns' centres and widths, given the width each column's labels need: the table's while all fit;
// else laid from the left margin (10) with gaps of 6, each as wide as it needs when the row has room for
// all, otherwise the table's width plus a share of the spare room by what it lacks.
struct INST_modified_columns {
    float x[3], width[3];
};
INST_modified_columns INST_modified_dialog_columns(const float needed[3], float view_width);
