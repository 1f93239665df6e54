// APP_alert: interim alert: stderr, then exit for the fatal kinds.
#include "base/APP_alert.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/exce_class.h"
#include "base/hl_thread.h"

void APP_alert(int return_screen, const std::string& line1, const std::string& line2,
               const std::string& line3, const std::string& line4, int kind, const char* file, int line) {
    (void)return_screen;
    if (THREAD_started() && !THREAD_is_main()) {
        exce_class e(line1, line2, line3, line4, file, line, kind);
        THREAD_post_exception(e);
        return;
    }
    std::fprintf(stderr, "%s\n%s\n%s\n%s\n(%s:%d)\n", line1.c_str(), line2.c_str(), line3.c_str(),
                 line4.c_str(), file, line);
    if (kind >= 1)
        LOG_write(3, "SYS", "| %s", line1.c_str());
    LOG_flush();
    if (kind >= 2)
        _exit(kind == 2 && !OPT_is_test_run() ? 0 : 1);
}

void APP_quit(int save) {
    (void)save;
    LOG_flush();
    LOG_stream.close();
}
