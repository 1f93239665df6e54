// INST_registration: the registration file and the known copies.
#include "installer/INST_registration.h"

#include <cstdio>
#include <functional>

#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "installer/INST_globals.h"

// The known copies (main thread only).
std::vector<std::string> known_installs;

namespace {

const char registration_name[] = "aerivon_install_10.txt";
const char unknown_folder_warning[] = "WARNING: registration of this sim-root folder failed!\n";

// Calls `take` with each line of the open file, read in pieces of at most 2,047 bytes and cut at the
// first CR or LF, until it returns false.
void for_each_line(FILE* f, const std::function<bool(const std::string&)>& take) {
    char buf[2048];
    while (std::fgets(buf, sizeof buf, f)) {
        std::string line(buf);
        const size_t end = line.find_first_of("\r\n");
        if (end != std::string::npos)
            line.resize(end);
        if (!take(line))
            return;
    }
}

} // namespace

std::string INST_registration_file_path() {
    std::string folder;
    FILE_get_special_folder(5, folder);
    // The lookup answers the root folder when it fails, and a named folder may be gone: only a real one,
    // and never the root folder, which holds no user's files.
    if (folder.empty() || folder == "/" || !FILE_is_folder(folder))
        return std::string();
    return folder + registration_name;
}

void INST_read_registration_file() {
    known_installs.clear();
    const std::string path = INST_registration_file_path();
    if (path.empty()) {
        LOG_stream << unknown_folder_warning;
        return;
    }
    FILE* f = FILE_fopen_utf8(path, "rb");
    if (!f)
        return;
    for_each_line(f, [](const std::string& line) {
        if (!line.empty() && FILE_is_folder(line))
            known_installs.push_back(line);
        return true;
    });
    std::fclose(f);
}

void INST_register_install_folder() {
    const std::string path = INST_registration_file_path();
    // A folder whose name holds a line break cannot be one line: its pieces would be read back as other
    // copies ("/" among them).
    if (path.empty() || INST_install_folder.find_first_of("\r\n") != std::string::npos) {
        LOG_stream << unknown_folder_warning;
        return;
    }
    if (FILE* f = FILE_fopen_utf8(path, "rb")) {
        bool found = false;
        for_each_line(f, [&found](const std::string& line) {
            found = line == INST_install_folder;
            return !found;
        });
        std::fclose(f);
        if (found)
            return;
    }
    FILE* f = FILE_fopen_utf8(path, "ab");
    if (!f) {
        LOG_stream << "WARNING: could not append registration file: " << path << "\n";
        LOG_stream.flush();
        return;
    }
    std::fprintf(f, "%s\n", INST_install_folder.c_str());
    std::fclose(f);
}
