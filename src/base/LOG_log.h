// LOG_log: the time-stamped log, kept in four memory chunks, and the direct log stream.
#pragma once
#include <cstdarg>

#include "base/x_ofstream.h"

// Text written here goes to the log file at once, without a time stamp.
extern x_ofstream LOG_stream;

// Creates the log lock and the four chunks. Before it, LOG_write and LOG_flush do nothing.
void LOG_init();
// One line "h:mm:ss.sss L/tag: message\n" (levels 0 D, 1 I, 2 W, 3 E) into the chunks.
void LOG_write(int level, const char* tag, const char* format, ...) __attribute__((format(printf, 3, 4)));
void LOG_vwrite(int level, const char* tag, const char* format, va_list args);
// Hands every unflushed chunk byte to LOG_stream and flushes it.
void LOG_flush();
