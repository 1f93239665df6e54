// APP_alert: interim alert: stderr, then exit for the fatal kinds.
#include "base/APP_alert.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "base/LOG_log.h"

void APP_alert(int return_screen, const std::string& line1, const std::string& line2,
               const std::string& line3, const std::string& line4, int kind, const char* file, int line) {
    (void)return_screen;
    std::fprintf(stderr, "%s\n%s\n%s\n%s\n(%s:%d)\n", line1.c_str(), line2.c_str(), line3.c_str(),
                 line4.c_str(), file, line);
    if (kind >= 1)
        LOG_write(3, "SYS", "| %s", line1.c_str());
    LOG_flush();
    if (kind >= 2)
        _exit(kind == 2 ? 0 : 1);
}

void APP_quit(int save) {
    (void)save;
    LOG_flush();
    LOG_stream.close();
}
