// LOG_log: interim log that writes straight through.
#include "base/LOG_log.h"

#include <cstdio>
#include <mutex>

x_ofstream LOG_stream;
static std::recursive_mutex log_lock;

void LOG_init() {}

void LOG_write(int level, const char* tag, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LOG_vwrite(level, tag, format, args);
    va_end(args);
}

void LOG_vwrite(int level, const char* tag, const char* format, va_list args) {
    static const char* levels[] = {"D/", "I/", "W/", "E/"};
    char line[4096];
    int n = std::snprintf(line, sizeof line, "0:00:00.000 %s%s: ", levels[level & 3], tag);
    std::vsnprintf(line + n, sizeof line - n, format, args);
    std::lock_guard<std::recursive_mutex> g(log_lock);
    LOG_stream << line << '\n';
}

void LOG_flush() { LOG_stream.flush(); }
