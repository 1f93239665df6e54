// FILE_special: the running executable's path and the special folders of the system (FILE_get_special_folder
// is declared with the rest of the file layer in FILE_ops.h).
#pragma once
#include <string>

// The file layer's case-sensitivity flag, written to the log header. APP_get_exe_path sets it to 0.
// Main thread only.
extern int FILE_case_sensitive;

// The running executable's full path (mode 1) or its folder with a trailing '/' (mode 2), normalised. The
// path has no length limit; "" (mode 2: "") when the system cannot tell it. Any thread, but it writes
// FILE_case_sensitive.
void APP_get_exe_path(std::string& out, int mode);
