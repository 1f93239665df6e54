// LOG_log: the time-stamped log, kept in four memory chunks, and the direct log stream.
//
// DESIGN: two ways in. LOG_write builds one line "h:mm:ss.sss L/tag: message\n" and appends it to a ring
// of four 16,384-byte chunks; a chunk reaches LOG_stream when it is reused or at LOG_flush, so up to
// 65,536 bytes of the newest lines wait in memory. Text written straight to LOG_stream goes to the file
// as soon as its line is whole (each thread assembles its own line) and therefore stands before any chunk
// text still waiting. One recursive lock, the log lock, guards the line buffer and the chunks, and is
// also the lock of LOG_stream's file buffer, so any thread may use either way in.
#pragma once
#include <cstdarg>
#include <string>
#include <string_view>

#include "base/x_ofstream.h"

// Text written here goes to the log file without a time stamp, a whole line at a time: each thread's
// text waits until a line feed, a flush or the close hands it on. Start-up opens it on the log file; the
// exit routine closes it.
extern x_ofstream LOG_stream;

// Creates the four chunks (with MEM_checked_malloc; never freed). Later calls do nothing. Before it,
// LOG_write and LOG_flush do nothing at all.
void LOG_init();
// One line into the chunks: the frame clock's elapsed time, the level text (0 "D/", 1 "I/", 2 "W/",
// 3 "E/"), the tag and the message, cut to 4,096 bytes with its line feed; a message that already ends
// with a line feed gets no second one. Every other control byte of the tag and message is written as
// "\xNN", so a line stays one line whatever it quotes. Any thread.
void LOG_write(int level, const char* tag, const char* format, ...) __attribute__((format(printf, 3, 4)));
void LOG_vwrite(int level, const char* tag, const char* format, va_list args);
// Writes `text` straight to LOG_stream's file as one write under the log lock and flushes it, so that
// lines from several threads stand whole in the file. Worker threads write to LOG_stream only this way:
// the stream's output operators change its formatting state, which the main thread owns. Any thread.
void LOG_text(std::string_view text);
// `text` with every byte below 0x20, and 0x7F, written as "\xNN" (upper-case hex): for outside text that
// goes straight to LOG_stream.
std::string LOG_escape(const std::string& text);
// Hands every unflushed chunk byte to LOG_stream, oldest first, and flushes it. Any thread.
void LOG_flush();
// Copies [begin, end) into the chunks, handing the oldest chunk to LOG_stream when all four are full.
// Internal to the log; nothing before LOG_init.
void LOG_append(const char* begin, const char* end);
