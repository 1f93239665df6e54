// INST_globals: the installer's run-wide state (see the header for who writes what).
#include "installer/INST_globals.h"

#include <filesystem>
#include <system_error>

#include "base/FILE_ops.h"
#include "base/LOG_log.h"

std::string INST_install_folder;
std::string INST_work_folder;
int INST_selected_os = INST_native_os_code();
server_list INST_servers;
install_directory INST_directory;

int INST_native_os_code() {
#if defined(_WIN32)
    return 2;
#elif defined(__APPLE__)
    return 1;
#else
    return 3;
#endif
}

std::string INST_work_path(const std::string& name) {
    std::string folder = INST_work_folder;
    if (folder.empty())
        FILE_get_special_folder(4, folder);
    return folder + name;
}

void INST_set_sim_root() {
    if (INST_install_folder.empty())
        return;
    std::string root = INST_install_folder;
    if (!FILE_is_absolute(root)) {
        // A folder named on the command line: relative to the working folder, not to an earlier copy.
        std::error_code ec;
        std::string cwd = std::filesystem::current_path(ec).string();
        if (ec || cwd.empty())
            return;
        if (cwd.back() != '/')
            cwd += '/';
        root.insert(0, cwd);
    }
    if (root.back() != '/')
        root += '/';
    INST_install_folder = root;
    if (FILE_sim_root != root) {
        FILE_sim_root = root;
        LOG_stream << "Sim-Root folder:'" << FILE_sim_root << "'\n";
    }
}
