// loopback_server: a scripted TCP server on 127.0.0.1 for client tests. One thread runs a fixed script of
// steps (accept, read a request, send bytes, pause, close, reset) and records every byte it receives, so a
// test can answer with exact bytes in chosen pieces and check the exact request.
#pragma once
#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test {

// A port on 127.0.0.1 that was free a moment ago (bound and released).
int free_loopback_port();

class LoopbackServer {
  public:
    // Listens on 127.0.0.1:port (0: a free port). ok() is false when the port cannot be bound.
    explicit LoopbackServer(int port = 0);
    // Stops the script wherever it stands and closes every socket.
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool ok() const { return listen_fd_ >= 0; }
    int port() const { return port_; }

    // Script steps, run in the order given once start() is called. Each waiting step gives up after
    // `step_timeout_ms` (default 5000), which ends the script with error() set.
    LoopbackServer& accept();            // the next connection becomes the current one
    LoopbackServer& read_request();      // reads until one more request head ("\r\n\r\n") is in
    LoopbackServer& read_until_closed(); // reads until the client closes its side
    LoopbackServer& send(const std::string& bytes);
    // The bytes in pieces of `piece` bytes with `pause_ms` between them.
    LoopbackServer& send_pieces(const std::string& bytes, size_t piece, int pause_ms);
    LoopbackServer& pause(int ms);
    LoopbackServer& close(); // orderly close of the current connection (FIN)
    LoopbackServer& reset(); // abortive close of the current connection (RST, SO_LINGER 0)
    void set_step_timeout(int ms) { step_timeout_ms_ = ms; }
    void start();

    // True once the whole script ran (false after `timeout_ms` or when a step failed).
    bool wait_done(int timeout_ms = 5000);
    // True once the first `n` steps ran.
    bool wait_steps(size_t n, int timeout_ms = 5000);
    // Every byte received on every connection, in order of the connections.
    std::string received() const;
    // The bytes received on each accepted connection.
    std::vector<std::string> per_connection() const;
    int connections() const;
    // Empty, or what stopped the script.
    std::string error() const;

  private:
    struct step {
        enum kind_t { Accept, ReadRequest, ReadUntilClosed, Send, Pause, Close, Reset } kind;
        std::string bytes;
        int ms = 0;
    };
    void run();
    bool run_step(const step& s);
    bool wait_fd(int fd, short events);
    void fail(const std::string& why);

    int listen_fd_ = -1;
    int port_ = 0;
    int conn_fd_ = -1;
    int step_timeout_ms_ = 5000;
    std::vector<step> script_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<size_t> steps_done_{0};
    std::atomic<bool> finished_{false};
    // Touched by the script thread and read by the test thread.
    mutable std::mutex lock_;
    std::vector<std::string> received_;
    std::vector<size_t> heads_seen_; // per connection: end of the last complete request head
    std::string error_;
};

} // namespace test
