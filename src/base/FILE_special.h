// FILE_special: the running executable's path and the special folders of the system (FILE_get_special_folder
// is declared with the rest of the file layer in FILE_ops.h).
#pragma once
#include <atomic>
#include <string>

// The file layer's case-sensitivity flag, written to the log header. APP_get_exe_path sets it to 0 (on
// any thread that asks for the executable's path, hence atomic).
extern std::atomic<int> FILE_case_sensitive;

// The running executable's full path (mode 1) or its folder with a trailing '/' (mode 2), as the bytes the
// system gives. The path has no length limit; "" when the system cannot tell it. Any thread.
void APP_get_exe_path(std::string& out, int mode);
