// INST_startup: the installer's start-up values, the DVD check and the start-up order after the toolkit.
#include "installer/INST_startup.h"

#include <cerrno>
#include <cstdio>

#include "base/FILE_error_text.h"
#include "base/FILE_ops.h"
#include "base/FILE_special.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/PREF_file.h"
#include "installer/INST_demo_road.h"
#include "installer/INST_download.h"
#include "installer/INST_globals.h"
#include "installer/INST_page_routines.h"
#include "installer/INST_registration.h"
#include "installer/INST_scan.h"
#include "installer/INST_work_lock.h"

// Start-up values (main thread; see the header).
std::string INST_probe_path = "dvd_version.txt";
std::string INST_sim_executable = INST_default_executable_name();
std::string INST_command_line_folder;
int INST_scenery_mode = 0;

namespace {

// The name of a work folder as the file layer makes it: "aerivon-installer-" and six characters.
constexpr char work_folder_prefix[] = "aerivon-installer-";

bool starts_with(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

} // namespace

INST_command_line INST_read_command_line(const std::string& text, const std::string& plain,
                                         const std::string& default_executable, int beta_preference) {
    INST_command_line c;
    c.executable = default_executable;
    c.beta = text.empty() ? beta_preference : 0;
    std::string arg = plain;
    if (arg.size() > 3 && starts_with(arg, "SCN")) {
        c.scenery = 1;
        arg.erase(0, 3);
    }
    if (arg.size() > 3 && starts_with(arg, "BTA")) {
        c.beta = 1;
        arg.erase(0, 3);
    }
    c.folder = arg;
    if (!arg.empty() && arg.back() != '/') {
        FILE_last_component(c.executable, arg);
        FILE_parent_folder(c.folder, arg);
    }
    return c;
}

int INST_os_code(bool given, const std::string& value) {
    static const char* const codes[] = {"ALL", "APL", "IBM", "LIN"};
    if (given)
        for (int i = 0; i < 4; ++i)
            if (value == codes[i])
                return i;
    return INST_native_os_code();
}

std::string INST_default_executable_name() {
    return sizeof(void*) == 4 ? "Aerivon-32bit.exe" : "Aerivon.exe";
}

bool INST_probe_volume(const std::string& root) {
    FILE* f = FILE_fopen_utf8(root + INST_probe_path, "rb");
    if (!f)
        return false;
    const bool has_bytes = std::fgetc(f) != EOF;
    std::fclose(f);
    return has_bytes;
}

bool INST_runs_from_dvd(const std::string& exe_path, const std::string& dvd_root) {
    if (dvd_root.empty() || dvd_root.back() != '/' || exe_path.size() <= dvd_root.size() ||
        exe_path.compare(0, dvd_root.size(), dvd_root) != 0)
        return false;
    // A copy that already runs from one of our work folders never restarts again, whatever the root holds.
    std::string folder, name;
    FILE_parent_folder(folder, exe_path);
    FILE_last_component(name, folder);
    const size_t expected = sizeof work_folder_prefix - 1 + 6 + 1; // the six characters and the '/'
    return !(starts_with(name, work_folder_prefix) && name.size() == expected);
}

int INST_restart_from_work_folder(const std::string& exe_path, const std::string& work_folder) {
    std::string name;
    FILE_last_component(name, exe_path);
    const std::string copy = work_folder + name;
    FILE_clear_read_only(copy);
    int err = FILE_copy(exe_path, copy);
    FILE_clear_read_only(copy);
    if (err == 0)
        err = FILE_shell_open(copy, "", 0); // returns only when the copy could not be started
    LOG_stream << "The installer could not restart from " << copy << " (error " << err << ")\n";
    return err;
}

void INST_log_os_folders() {
    static const struct {
        int kind;
        const char* label;
    } lines[] = {{0, "os_dir_this_app\t\t="},
                 {2, "os_dir_desktop\t\t="},
                 {3, "os_dir_default_apps\t="},
                 {4, "os_dir_temp\t\t\t="},
                 {5, "os_dir_prefs\t\t\t="}};
    for (const auto& line : lines) {
        std::string folder;
        FILE_get_special_folder(line.kind, folder);
        LOG_stream << line.label << folder << (line.kind == 5 ? "\n\n" : "\n");
    }
    std::string tried, why;
    if (const int error = FILE_work_folder_failure(tried)) {
        FILE_error_text(why, error);
        LOG_stream << "This run has no private work folder in " << tried << " (" << why
                   << "): no work file is written or read.\n\n";
    }
    LOG_stream.flush();
}

void INST_start_up(const std::string& text) {
    INST_load_ui_atlas();
    INST_log_os_folders();

    FILE_get_special_folder(4, INST_work_folder);
    UTL_install_directory_clear(INST_directory);
    INST_chosen_server = 0;
    INST_last_action = 3;
    INST_last_fraction = 0.0f;
    PREF_installer.stream_count = 0;
    INST_total_download_kb = 0.0f;
    INST_total_expanded_kb = 0.0f;
    INST_selected_os = INST_os_code(OPT_has("--os"), OPT_get("--os"));
    INST_sim_executable = INST_default_executable_name();
    PREF_load_save(11, 0);

    const INST_command_line c =
        INST_read_command_line(text, OPT_plain_argument(), INST_sim_executable, PREF_installer.get_beta);
    INST_command_line_folder = c.folder;
    INST_sim_executable = c.executable;
    INST_scenery_mode = c.scenery;
    PREF_installer.get_beta = c.beta;

    INST_read_registration_file();
}

void INST_remove_work_folder() {
    // Only a folder the file layer made for this run: absolute, and named as it names them.
    std::string name;
    FILE_last_component(name, INST_work_folder);
    if (INST_work_folder.size() > 1 && INST_work_folder[0] == '/' && INST_work_folder.back() == '/' &&
        starts_with(name, work_folder_prefix))
        FILE_delete_tree(INST_work_folder);
}

bool INST_hold_work_folder() {
    if (INST_lock_work_folder(INST_work_folder))
        return true;
    const int error = errno;
    INST_remove_work_folder();
    FILE_give_up_work_folder(error);
    FILE_get_special_folder(4, INST_work_folder);
    return false;
}
