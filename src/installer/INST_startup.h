// INST_startup: the installer's start-up: the run-wide values it sets from the command line, the
// preferences and the registration file, the DVD check that restarts the program from the work folder,
// and the order in which the entry point brings everything up (see main.cpp).
//
// Every value here is written on the main thread before the first frame, and afterwards only by the pages
// (also main thread).
#pragma once
#include <string>

// The file whose presence on a volume's root identifies the maker's DVD ("dvd_version.txt" at start-up);
// the DVD road points it at a package to look for.
extern std::string INST_probe_path;
// The simulator's executable, started by "Fly ... Now": "Aerivon.exe", or the file the command line names.
extern std::string INST_sim_executable;
// The folder of a copy to update named on the command line, ending in '/'; empty when none.
extern std::string INST_command_line_folder;
// 1 when the command line began with "SCN" (read by the DVD road).
extern int INST_scenery_mode;

// What the command line says. `text` is the whole command-line text, `plain` its plain argument (the text
// less its "--" words). Any non-empty text switches beta off; a plain argument longer than 3 characters
// loses a leading "SCN" (scenery on), then one longer than 3 a leading "BTA" (beta on); what is left names
// the folder of a copy, or, when it does not end in '/', a file: the executable and its parent folder.
struct INST_command_line {
    std::string folder;
    std::string executable;
    int scenery = 0;
    int beta = 0;
};
INST_command_line INST_read_command_line(const std::string& text, const std::string& plain,
                                         const std::string& default_executable, int beta_preference);

// The selected OS code for "--os": "ALL" 0, "APL" 1, "IBM" 2, "LIN" 3 (whole value, case-sensitive);
// anything else, or no option, the code of the system the program runs on (INST_native_os_code).
int INST_os_code(bool given, const std::string& value);

// "Aerivon.exe", or "Aerivon-32bit.exe" in a 32-bit build.
std::string INST_default_executable_name();

// Predicate of the drive walk: true when root + INST_probe_path opens as a non-empty file.
bool INST_probe_volume(const std::string& root);

// True when the executable runs from the DVD at `dvd_root` and must first copy itself away: the root ends
// in '/', is a whole-path prefix of the executable's path, and the executable does not already lie in a
// work folder this program made ("aerivon-installer-" and six characters).
bool INST_runs_from_dvd(const std::string& exe_path, const std::string& dvd_root);

// Copies the executable into the work folder (clearing the read-only bit before and after) and starts the
// copy with no arguments. When the start succeeds this process ends at once, with no clean-up; otherwise
// the copy's errno (or the start's) is returned and start-up goes on.
int INST_restart_from_work_folder(const std::string& exe_path, const std::string& work_folder);

// Writes the five operating-system folder lines (this program, desktop, default applications, temporary,
// preferences) straight to the log, with why the run has no work folder when it has none, and flushes it.
void INST_log_os_folders();

// The start-up after the toolkit is up, in order: the UI atlas of the language, the folder lines, the
// work folder and a cleared directory, the engine values reset, "--os", the executable name, the
// installer preferences, the command line (`text` as given to the toolkit) and the registration file.
void INST_start_up(const std::string& text);

// Removes the work folder (INST_work_folder, when it is one the file layer made) with everything in it:
// at a normal exit, registered by the entry point.
void INST_remove_work_folder();

// Takes the lock of the work folder INST_work_folder (INST_lock_work_folder). A folder whose lock cannot be
// taken is not used: another run would take it for the folder of a run that is gone and remove it, and its
// name would then be free to anyone. The folder is removed and given up (FILE_give_up_work_folder), and
// INST_work_folder becomes what kind 4 answers then, where every work file fails. True when the lock is
// held.
bool INST_hold_work_folder();
