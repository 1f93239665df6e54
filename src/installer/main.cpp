// main: the program's entry. WinMain brings the installer up in its fixed order, runs the frame loop until
// a quit is requested and shuts the application down; main hands it the command line as one text.
//
//   step  what                                              where
//   1     a previous instance ends the program at once      (none on this system)
//   2     the work folder and its lock, the executable's    FILE_get_special_folder 4 and 1,
//         path                                              INST_hold_work_folder
//   4-5   running from the maker's DVD: copy, restart, end  INST_runs_from_dvd, INST_restart_from_work_folder
//   6     the toolkit's start-up                            hl_init
//   7-15  atlas, folders, engine values, options, prefs,    INST_start_up
//         command line, registration file
//   16    the frame loop, the wizard drawn on screen 0      WIN_run_loop
//   17    the orderly exit, saving the preferences          APP_quit, which first ends the work
//                                                           (INST_end_work, also on a fatal alert)
#include <cctype>
#include <cstdlib>
#include <string>

#include "base/APP_alert.h"
#include "base/FILE_ops.h"
#include "base/FILE_special.h"
#include "base/UTL_progress.h"
#include "installer/INST_activity.h"
#include "installer/INST_globals.h"
#include "installer/INST_modified_dialog.h"
#include "installer/INST_page_routines.h"
#include "installer/INST_plan.h"
#include "installer/INST_shutdown.h"
#include "installer/INST_stand_ins.h"
#include "installer/INST_startup.h"
#include "installer/INST_wizard.h"
#include "installer/INST_work_lock.h"
#include "installer/UTL_dvd.h"
#include "platform/WIN_system.h"
#include "platform/WIN_window.h"
#include "ui/APP_exit.h"
#include "ui/APP_frame.h"
#include "ui/APP_toolkit_init.h"
#include "ui/hl_init.h"

namespace {

// What WinMain was handed, kept for the platform layer (main thread).
struct entry_state {
    void* instance = nullptr;
    int show_command = 0;
} entry;

bool has_blank(const std::string& s) {
    for (char c : s)
        if (std::isspace(static_cast<unsigned char>(c)))
            return true;
    return false;
}

// argv[1..] joined by blanks. An option whose value holds a blank is written --key="value", so that the
// option parser splits the text back into exactly the arguments.
std::string command_line_text(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        size_t eq = arg.find('=');
        if (i > 1)
            text += ' ';
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos && !has_blank(arg.substr(0, eq)) &&
            has_blank(arg.substr(eq + 1)))
            text += arg.substr(0, eq + 1) + "\"" + arg.substr(eq + 1) + "\"";
        else
            text += arg;
    }
    return text;
}

} // namespace

int WinMain(void* instance, void* previous_instance, const char* command_line, int show_command) {
    entry.instance = instance;
    entry.show_command = show_command;
    if (previous_instance)
        return 0;
    WIN_set_signal_handling();

    std::string temporary, executable;
    FILE_get_special_folder(4, temporary);
    FILE_get_special_folder(1, executable);
    INST_work_folder = temporary;
    std::atexit(INST_remove_work_folder);
    INST_hold_work_folder(); // this run's folder is in use, or the run has none
    temporary = INST_work_folder;

    INST_probe_path = "dvd_version.txt";
    INST_directory.dvd_root = UTL_find_dvd_drive(INST_probe_volume);
    if (INST_runs_from_dvd(executable, INST_directory.dvd_root))
        INST_restart_from_work_folder(executable, temporary);

    std::string text = command_line ? command_line : "";
    char* args[] = {text.data(), nullptr};
    APP_toolkit_init();
    // Until start-up is through, the run's only work to end is its work folder: the graphics alert ends
    // the run from inside hl_init, without the exit handlers.
    APP_set_program_work_end(INST_remove_work_folder);
    hl_init(1, args);
    APP_set_program_work_end(INST_end_work);
    // The work folders of runs that were killed go (the log is open now), from where this run's was
    // tried when it has none. A copy restarted from the disc runs from its own work folder, which is kept.
    std::string base, program_folder;
    if (FILE_work_folder_failure(base) == 0)
        FILE_parent_folder(base, temporary.empty() ? temporary : temporary.substr(0, temporary.size() - 1));
    FILE_parent_folder(program_folder, executable);
    INST_remove_stale_work_folders(base, temporary, program_folder);
    INST_start_up(text);

    APP_set_screen0_frame(INST_wizard_frame);
    APP_set_atlas_update(INST_update_language_atlas);
    APP_set_busy_query(INST_work_in_flight);
    UTL_progress_set_wake(WIN_wake_loop);
    INST_set_modified_file_dialog(INST_ask_about_modified_file);
    WIN_run_loop(APP_frame_prepare, APP_frame);
    APP_quit(1);
    return 0;
}

int main(int argc, char** argv) {
    const std::string text = command_line_text(argc, argv);
    return WinMain(nullptr, nullptr, text.c_str(), 1);
}
