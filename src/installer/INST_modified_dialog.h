// INST_modified_dialog: the modal question about a file the user changed (screen 996), which the install
// plan asks through INST_modified_file_dialog (INST_plan.h). Main thread only.
#pragma once
#include <string>

// Makes screen 996 current and runs it as a modal loop until a button is clicked: the first line, the
// file's full path and the question, then five push buttons (centres in the 750 x 146 dialog):
// | button                                            | centre   | width | result |
// |---------------------------------------------------|----------|-------|--------|
// | "OVERWRITE THE OLD FILE" / "DELETE THE OLD FILE"  | (90, 40) | 160   | 1      |
// | "KEEP THE OLD FILE"                               | (90, 20) | 160   | 2      |
// | "OVERWRITE (DELETE) EVERY OLD FILE IN THIS ..."   | (310, 40)| 280   | 4      |
// | "KEEP EVERY OLD FILE IN THIS DIRECTORY"           | (310, 20)| 280   | 5      |
// | "CANCEL THE WHOLE INSTALLATION!"                  | (590, 20)| 220   | 3      |
// `gone` 1 asks about deleting the file rather than replacing it. A button makes screen 0 current again
// and gives its result. Only a click answers: when another screen becomes current, or a quit is requested
// (the window was closed), the result is 3, cancel.
int INST_ask_about_modified_file(const std::string& path, int gone);
