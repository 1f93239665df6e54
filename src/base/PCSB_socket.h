// PCSB_socket: the non-blocking IPv4 TCP socket whose state is polled, never waited on, the host look-up
// that goes with it, and the one wait of the HTTP client's I/O thread on a set of sockets.
//
// States (see PCSBSocket::poll_state):
// | state | meaning                                                     | next         |
// |-------|-------------------------------------------------------------|--------------|
// | 1     | idle (made, not connecting)                                 | 2, 5         |
// | 2     | connect started (listening socket: a connection is waiting) | 3, 4, 5      |
// | 3     | connected                                                   | 4, 5         |
// | 4     | closed by the peer, reset, refused or aborted               | final        |
// | 5     | error (the error is kept)                                   | final        |
// Errors are errno values. The owner destroys a socket in state 4 or 5.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Makes sending to a closed peer harmless for the whole process (SIGPIPE ignored); true when networking
// can be used.
bool PCSB_startup();

// The IPv4 address (network byte order) of a dotted-decimal text, else the first IPv4 address the system's
// resolver gives for the name; 0 when neither gives one. Blocks on the resolver: callers run it as an
// asynchronous call. Reentrant.
uint32_t PCSB_lookup_host(const std::string& host);

// A wake-up for PCSB_wait_any: a descriptor another thread can make readable (an eventfd). -1 when
// none could be made.
int PCSB_make_wake();
void PCSB_close_wake(int wake);
// Makes the current or next PCSB_wait_any on `wake` return. Any thread.
void PCSB_wake(int wake);
// Waits at most `timeout_ms` (-1: without limit) until one of `handles` (PCSBSocket::handle) can be read,
// or written where `writable[i]` is non-zero, or has failed, or `wake` was woken (which this consumes).
// Only a wait: nothing is read from or written to the sockets.
void PCSB_wait_any(const std::vector<int>& handles, const std::vector<char>& writable, int wake,
                   int timeout_ms);

class PCSBSocket {
  public:
    // A TCP socket with TCP_NODELAY, bound to `port` on any local address (0: the system chooses),
    // non-blocking; with `listen` it listens with the largest backlog. State 1, or 5 on failure.
    PCSBSocket(int port, bool listen);
    virtual ~PCSBSocket();
    PCSBSocket(const PCSBSocket&) = delete;
    PCSBSocket& operator=(const PCSBSocket&) = delete;

    // Checks without waiting whether a started connect finished (or, listening, a connection is
    // waiting) and returns the updated state. A failed connect becomes 4 with its error kept.
    int poll_state();
    // Starts a connect to `ipv4` (network byte order) and `port`. Returns 0 (state 2, or 3 when it
    // connected at once), or the error (state 5).
    int connect(uint32_t ipv4, int port);
    // Bytes received (> 0); 0 when nothing is waiting or the peer closed its side (then is_eof());
    // -1 when the connection is closed (state 4) or failed (state 5).
    int read(void* buffer, int length);
    // Bytes sent; 0 when the send would block; -1 when closed (state 4) or failed (state 5). Never raises
    // SIGPIPE.
    int write(const void* buffer, int length);
    // True only when a connected socket's peer has neither closed nor reset the connection and no unread
    // byte is waiting: the test before an idle kept-alive connection carries another request. Does not
    // wait; consumes nothing.
    bool is_idle_and_open();
    // How many unread bytes make the socket readable for PCSB_wait_any (at least 1, the default); a read
    // still takes whatever is waiting. Only a change calls the system; a refusal leaves the mark as it was.
    void set_read_low_water(int bytes);

    // The descriptor, for PCSB_wait_any; -1 when the socket could not be made.
    int handle() const { return fd_; }
    int get_state() const { return state_; }
    int get_error() const { return error_; }
    bool is_eof() const { return eof_; }

  private:
    void fail(int err);

    int fd_ = -1;
    int state_ = 1;
    int error_ = 0;
    bool eof_ = false;
    bool listening_ = false;
    int low_water_ = 1;
};
