// http_io: the I/O thread of the HTTP client (see http_io.h for the design).
#include "base/http_io.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>
#include <vector>

#include "base/UTL_progress.h"
#include "base/UTL_thread.h"
#include "base/http.h"

namespace {

// How long the thread waits for a socket before it looks again anyway, in milliseconds.
constexpr int wait_ms = 100;

// The thread's state. `lock` guards `held`, `stopping` and every field of the connections held; the rest
// is the main thread's.
struct io_state {
    http_io_mutex lock;
    std::vector<http_connection*> held;
    bool stopping = false;
    int wake = -1;
    bool running = false;
    pid_t owner = 0; // the process that started the thread: a forked child has none to wait for
    UTL_thread_handle handle = 0, copy = 0;
};

// Never destroyed, so that the client's destructor can stop the thread whatever the order of exit.
io_state& io() {
    static io_state* state = new io_state;
    return *state;
}

bool wants_to_write(const http_connection* c) {
    return c->socket->get_state() == 2 || !c->send_buffer.empty();
}

void* io_thread(void*) {
    io_state& s = io();
    std::vector<int> handles;
    std::vector<char> writable;
    for (;;) {
        {
            s.lock.lock_after_waiters();
            std::lock_guard<http_io_mutex> g(s.lock, std::adopt_lock);
            if (s.stopping)
                break;
            handles.clear();
            writable.clear();
            for (const http_connection* c : s.held) {
                handles.push_back(c->socket->handle());
                writable.push_back(wants_to_write(c) ? 1 : 0);
            }
        }
        // The descriptors were copied under the lock; one closed meanwhile only ends the wait early.
        PCSB_wait_any(handles, writable, s.wake, handles.empty() ? -1 : wait_ms);
        bool ended = false;
        {
            s.lock.lock_after_waiters();
            std::lock_guard<http_io_mutex> g(s.lock, std::adopt_lock);
            for (size_t i = 0; i < s.held.size();) {
                http_connection* c = s.held[i];
                HTTP_pump(c);
                if (HTTP_transfer_over(c)) {
                    c->in_flight = false;
                    s.held.erase(s.held.begin() + static_cast<std::ptrdiff_t>(i));
                    ended = true;
                } else {
                    ++i;
                }
            }
        }
        // The main thread takes the outcome at once rather than at its next frame.
        if (ended)
            UTL_progress_signal();
    }
    return nullptr;
}

} // namespace

http_io_mutex& HTTP_io_lock() { return io().lock; }

bool HTTP_transfer_over(const http_connection* c) {
    const int state = HTTP_conn_state(c);
    return c->os_error != 0 || state == 0 || state == 2 || state == 3 ||
           c->bytes_received == c->content_length;
}

void HTTP_io_add(http_connection* c) {
    io_state& s = io();
    if (c->in_flight || HTTP_transfer_over(c))
        return;
    if (!s.running) {
        // Without its wake-up the thread could neither be told of new work nor be stopped, and without the
        // thread nothing moves: the transfer fails now (the next one tries again).
        errno = 0;
        s.wake = PCSB_make_wake();
        if (s.wake < 0) {
            c->os_error = errno ? errno : EMFILE;
            c->local_failure = true;
            return;
        }
        s.stopping = false;
        s.owner = getpid();
        UTL_create_thread(io_thread, nullptr, &s.handle, nullptr, &s.copy);
        s.running = s.copy != 0;
        if (!s.running) {
            PCSB_close_wake(s.wake);
            s.wake = -1;
            c->os_error = EAGAIN;
            c->local_failure = true;
            return;
        }
    }
    c->in_flight = true;
    s.held.push_back(c);
    PCSB_wake(s.wake);
}

void HTTP_io_remove(http_connection* c) {
    if (!c->in_flight)
        return;
    std::vector<http_connection*>& held = io().held;
    held.erase(std::remove(held.begin(), held.end(), c), held.end());
    c->in_flight = false;
}

void HTTP_io_shutdown() {
    io_state& s = io();
    if (!s.running)
        return;
    {
        std::lock_guard<http_io_mutex> g(s.lock);
        s.stopping = true;
        for (http_connection* c : s.held)
            c->in_flight = false;
        s.held.clear();
    }
    PCSB_wake(s.wake);
    if (s.owner == getpid())
        UTL_join_thread(s.handle, s.copy);
    s.running = false;
    PCSB_close_wake(s.wake);
    s.wake = -1;
}
