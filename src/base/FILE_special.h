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

// Why the run has no work folder (kind 4 of FILE_get_special_folder, which then answers a folder under
// /dev/null where everything fails): the errno that stopped its making, or the one it was given up for,
// with the folder it was last tried in (ending in '/') in `tried`. 0 and "" while it has one, or before
// kind 4 was first asked for. Any thread.
int FILE_work_folder_failure(std::string& tried);
// The run cannot keep the work folder it made (its lock cannot be taken: `error`): from now on kind 4
// answers as when none could be made. The caller removes the folder. Nothing once there is none. Any thread.
void FILE_give_up_work_folder(int error);
