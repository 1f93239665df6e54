// main: interim entry point: options, log header, exit.
#include <cstdio>
#include <string>

#include "base/APP_alert.h"
#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"

int main(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            text += ' ';
        text += argv[i];
    }
    OPT_parse(text.c_str());
    if (!OPT_is_crash_report()) {
        LOG_init();
        std::string log_path;
        if (OPT_has("--log_path")) {
            log_path = OPT_get("--log_path");
            std::printf("Log path changed to: %s\n", log_path.c_str());
        } else {
            FILE_get_special_folder(2, log_path);
            log_path += "Aerivon Installer Log.txt";
        }
        FILE_open_ofstream(LOG_stream, log_path, std::ios_base::out, 0x40);
        LOG_stream << std::fixed;
        LOG_stream << "Installer log.txt for Aerivon Demo Installer 3.22r1\n";
    }
    APP_quit(0);
    return 0;
}
