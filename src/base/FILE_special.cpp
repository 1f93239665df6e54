// FILE_special: interim special folders.
#include <cstdlib>
#include <sys/stat.h>

#include "base/FILE_ops.h"

void FILE_get_special_folder(int kind, std::string& out) {
    const char* home = std::getenv("HOME");
    std::string h = home ? home : "/";
    if (kind == 2 || kind == 3) {
        struct stat st;
        std::string d = h + "/Desktop";
        out = (stat(d.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ? d + "/" : h + "/";
        return;
    }
    out = h + "/";
}
