// LOG_log: the time-stamped log in four memory chunks, and the direct log stream.
#include "base/LOG_log.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <streambuf>

#include "base/APP_clock.h"
#include "base/UTL_memory.h"

namespace {

constexpr int chunk_size = 16384;
constexpr int line_size = 4096;

struct LOG_chunk {
    char data[chunk_size];
    int32_t written; // bytes filled
    int32_t flushed; // bytes already handed to LOG_stream; flushed <= written <= chunk_size
};

const char* const level_text[4] = {"D/", "I/", "W/", "E/"};

} // namespace

// The log lock. Declared before LOG_stream so that it outlives it.
static std::recursive_mutex log_lock;

x_ofstream LOG_stream(&log_lock);

namespace {

// LOG_stream's own buffer, in front of its file buffer: what a thread inserts waits in that thread's line
// until a line feed ends it, and then goes on to the file buffer with the rest of its line in one hold of
// the log lock, so a line built with chained insertions is never cut by another thread's line. A flush
// (and the close) hands on the calling thread's unfinished text too; so does an unfinished line that
// outgrows the thread's 8 KiB.
class line_buf : public std::streambuf {
  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* s, std::streamsize count) override {
        thread_line& line = own_line();
        size_t n = static_cast<size_t>(count);
        const char* feed = static_cast<const char*>(memrchr(s, '\n', n));
        if (!feed && line.used + n <= sizeof line.text) {
            std::memcpy(line.text + line.used, s, n);
            line.used += n;
            return count;
        }
        // The thread's line so far and the new text through its last line feed, as one run.
        const size_t whole = feed ? static_cast<size_t>(feed - s) + 1 : n;
        lock_guard g(log_lock);
        bool ok = hand_on(line) && put(s, whole);
        s += whole;
        n -= whole;
        if (n <= sizeof line.text) {
            std::memcpy(line.text, s, n);
            line.used = n;
        } else {
            ok = put(s, n) && ok;
        }
        return ok ? count : 0;
    }
    int sync() override {
        lock_guard g(log_lock);
        const bool ok = hand_on(own_line());
        return LOG_stream.file_buffer()->pubsync() == 0 && ok ? 0 : -1;
    }

  private:
    using lock_guard = std::lock_guard<std::recursive_mutex>;

    // Trivially destroyed, so that text a thread inserts late in the process's exit still has a place.
    struct thread_line {
        char text[8192];
        size_t used;
    };
    static thread_line& own_line() {
        thread_local thread_line line{};
        return line;
    }
    // Under the log lock.
    static bool put(const char* s, size_t n) {
        return n == 0 || LOG_stream.file_buffer()->sputn(s, static_cast<std::streamsize>(n)) ==
                             static_cast<std::streamsize>(n);
    }
    static bool hand_on(thread_line& line) {
        const bool ok = put(line.text, line.used);
        line.used = 0;
        return ok;
    }
};

line_buf log_line_buf;
// Set before any other file's start-up code can insert into LOG_stream: both are defined in this file.
const bool log_line_buf_set = (LOG_stream.rdbuf(&log_line_buf), true);

} // namespace

// Log state: any thread, under log_lock; `ready` is read without it.
static struct {
    std::atomic<bool> ready{false};
    LOG_chunk* chunks[4] = {}; // oldest text first
    char line[line_size];
    char message[line_size];
} log_state;

using lock_guard = std::lock_guard<std::recursive_mutex>;

static bool is_control(unsigned char ch) { return ch < 0x20 || ch == 0x7F; }

static void append_escaped(char* out, unsigned char ch) {
    static const char hex[] = "0123456789ABCDEF";
    out[0] = '\\';
    out[1] = 'x';
    out[2] = hex[ch >> 4];
    out[3] = hex[ch & 15];
}

// Copies [from, from + n) to `out` from `len` on, control bytes escaped, while the result stays within
// `limit` bytes; the new length.
static int copy_escaped(char* out, int len, int limit, const char* from, int n) {
    for (int i = 0; i < n; ++i) {
        const unsigned char ch = static_cast<unsigned char>(from[i]);
        if (!is_control(ch)) {
            if (len + 1 > limit)
                break;
            out[len++] = static_cast<char>(ch);
        } else {
            if (len + 4 > limit)
                break;
            append_escaped(out + len, ch);
            len += 4;
        }
    }
    return len;
}

std::string LOG_escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char ch : text) {
        if (is_control(ch)) {
            char escaped[4];
            append_escaped(escaped, ch);
            out.append(escaped, 4);
        } else {
            out += static_cast<char>(ch);
        }
    }
    return out;
}

void LOG_init() {
    lock_guard g(log_lock);
    if (log_state.ready.load(std::memory_order_relaxed))
        return;
    for (LOG_chunk*& c : log_state.chunks) {
        c = static_cast<LOG_chunk*>(MEM_checked_malloc(sizeof(LOG_chunk)));
        c->written = 0;
        c->flushed = 0;
    }
    log_state.ready.store(true, std::memory_order_release);
}

// The chunks and LOG_text write to the file buffer itself, past any thread's unfinished line; a failed
// write shows in LOG_stream's state as before. Under the log lock.
static void write_to_file(const char* text, size_t n) {
    if (n > 0 && LOG_stream.file_buffer()->sputn(text, static_cast<std::streamsize>(n)) !=
                     static_cast<std::streamsize>(n))
        LOG_stream.setstate(std::ios_base::badbit);
}

static void flush_file() {
    if (LOG_stream.file_buffer()->pubsync() != 0)
        LOG_stream.setstate(std::ios_base::badbit);
}

static void hand_to_stream(LOG_chunk* c) {
    if (c->written > c->flushed)
        write_to_file(c->data + c->flushed, static_cast<size_t>(c->written - c->flushed));
    c->flushed = c->written;
}

void LOG_append(const char* begin, const char* end) {
    if (!log_state.ready.load(std::memory_order_acquire))
        return;
    lock_guard g(log_lock);
    LOG_chunk** chunks = log_state.chunks;
    for (LOG_chunk* c : log_state.chunks) {
        if (begin == end)
            break;
        const int n = static_cast<int>(std::min<ptrdiff_t>(chunk_size - c->written, end - begin));
        std::memcpy(c->data + c->written, begin, static_cast<size_t>(n));
        c->written += n;
        begin += n;
    }
    while (begin != end) {
        LOG_chunk* oldest = chunks[0];
        hand_to_stream(oldest);
        oldest->written = 0;
        oldest->flushed = 0;
        std::rotate(chunks, chunks + 1, chunks + 4);
        const int n = static_cast<int>(std::min<ptrdiff_t>(chunk_size, end - begin));
        std::memcpy(oldest->data, begin, static_cast<size_t>(n));
        oldest->written = n;
        begin += n;
    }
    if (LOG_stream.good())
        flush_file();
}

void LOG_text(std::string_view text) {
    lock_guard g(log_lock);
    write_to_file(text.data(), text.size());
    flush_file();
}

void LOG_write(int level, const char* tag, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LOG_vwrite(level, tag, format, args);
    va_end(args);
}

void LOG_vwrite(int level, const char* tag, const char* format, va_list args) {
    if (!log_state.ready.load(std::memory_order_acquire))
        return;
    lock_guard g(log_lock);
    float hours, minutes, seconds;
    APP_seconds_to_hms(APP_elapsed_seconds(), &hours, &minutes, &seconds);
    char* line = log_state.line;
    char* message = log_state.message;
    int n = std::snprintf(line, line_size, "%d:%02d:%06.3f ", static_cast<int>(hours),
                          static_cast<int>(minutes), static_cast<double>(seconds));
    n = std::clamp(n, 0, line_size - 1);
    // Prefix and message take at most 4,095 bytes; the line feed makes at most 4,096.
    const char* level_part = level_text[std::clamp(level, 0, 3)];
    int len = copy_escaped(line, n, line_size - 1, level_part, static_cast<int>(std::strlen(level_part)));
    if (tag)
        len = copy_escaped(line, len, line_size - 1, tag, static_cast<int>(std::strlen(tag)));
    len = copy_escaped(line, len, line_size - 1, ": ", 2);
    const int m = std::vsnprintf(message, line_size, format, args);
    int message_len = std::clamp(m, 0, line_size - 1);
    if (message_len > 0 && message[message_len - 1] == '\n')
        --message_len; // the line's own line feed, added below
    len = copy_escaped(line, len, line_size - 1, message, message_len);
    line[len++] = '\n';
    LOG_append(line, line + len);
}

void LOG_flush() {
    if (!log_state.ready.load(std::memory_order_acquire))
        return;
    lock_guard g(log_lock);
    for (LOG_chunk* c : log_state.chunks)
        hand_to_stream(c);
    flush_file();
}
