// INST_globals: the installer's run-wide state (see the header for who writes what).
#include "installer/INST_globals.h"

#include "base/FILE_ops.h"

std::string INST_install_folder;
std::string INST_work_folder;
int INST_selected_os = 2;
server_list INST_servers;
install_directory INST_directory;

std::string INST_work_path(const std::string& name) {
    std::string folder = INST_work_folder;
    if (folder.empty())
        FILE_get_special_folder(4, folder);
    return folder + name;
}
