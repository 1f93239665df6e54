// http_io: the I/O thread that moves the bytes of every transfer in flight between its socket and its file.
//
// DESIGN: net_check (main thread) makes or reuses a connection, queues its request and hands it to this
// thread with HTTP_io_add. The thread waits on the sockets of every connection it holds (PCSB_wait_any,
// woken when one is added and at exit), pumps each one (HTTP_pump: send, read, parse the head, write the
// body) and lets go of a connection in the same pass in which its transfer ends (complete, failed, or
// ended by the peer), and signals UTL_progress when one ends. So body bytes move as fast as the socket
// delivers them, whatever the frame rate.
// One lock guards the thread's list and every field of the connections in it:
// | thread      | under HTTP_io_lock                                                          |
// |-------------|-----------------------------------------------------------------------------|
// | main        | makes, queues, reuses or destroys a connection the thread does not hold;   |
// |             | reads the state of any connection; takes a connection back (HTTP_io_remove) |
// | I/O thread  | pumps the connections it holds; drops each when its transfer is over        |
// The frame reads a connection without the lock where it can, so that it never stalls the transfer: a
// connection whose `in_flight` reads false is the main thread's alone (the I/O thread's last writes come
// before it clears the flag); of one in flight it reads only the atomic fields (progress, head done,
// length, bytes received).
// The frame clock belongs to the main thread: the I/O thread counts progress in the connection, and
// net_check turns a change of the count into activity time.
#pragma once
#include <atomic>
#include <mutex>
#include <thread>

struct http_connection;

// The lock of the connections in flight (see above). The I/O thread takes it only once no other thread
// waits for it: its passes follow each other back to back while bytes flow, and a frame must not wait
// behind them.
class http_io_mutex {
  public:
    void lock() {
        waiting_.fetch_add(1);
        lock_.lock();
        waiting_.fetch_sub(1);
    }
    void unlock() { lock_.unlock(); }
    // The I/O thread's way in: lets every waiting thread go first.
    void lock_after_waiters() {
        while (waiting_.load() > 0)
            std::this_thread::yield();
        lock_.lock();
    }

  private:
    std::mutex lock_;
    std::atomic<int> waiting_{0};
};

http_io_mutex& HTTP_io_lock();

// True when nothing more can move on `c`: an OS error, no socket, a socket error or close, the peer's end
// of the stream, or the whole announced body taken. Caller holds HTTP_io_lock.
bool HTTP_transfer_over(const http_connection* c);

// Hands `c`, whose request is queued, to the I/O thread (started on the first call). A connection whose
// transfer is already over is not taken. When the thread or its wake-up cannot be made (no descriptor
// left), `c` is not taken either: its OS error is set (errno), so the transfer fails at once. Caller holds
// HTTP_io_lock.
void HTTP_io_add(http_connection* c);

// Takes `c` back from the I/O thread; nothing when the thread does not hold it. After it the caller may
// destroy `c`. Caller holds HTTP_io_lock.
void HTTP_io_remove(http_connection* c);

// Stops the I/O thread and waits for it; its connections stay with their owners. At exit, from the
// client's destructor. Caller does not hold HTTP_io_lock.
void HTTP_io_shutdown();
