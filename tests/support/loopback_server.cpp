// loopback_server: the scripted TCP server of the client tests.
#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <functional>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace test {

static int bound_loopback_socket(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

static int port_of(int fd) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return 0;
    return ntohs(a.sin_port);
}

int free_loopback_port() {
    int fd = bound_loopback_socket(0);
    if (fd < 0)
        return 0;
    int port = port_of(fd);
    ::close(fd);
    return port;
}

LoopbackServer::LoopbackServer(int port) {
    int fd = bound_loopback_socket(port);
    if (fd < 0)
        return;
    if (::listen(fd, 16) != 0) {
        ::close(fd);
        return;
    }
    listen_fd_ = fd;
    port_ = port_of(fd);
}

LoopbackServer::~LoopbackServer() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (conn_fd_ >= 0)
        ::close(conn_fd_);
    if (listen_fd_ >= 0)
        ::close(listen_fd_);
}

LoopbackServer& LoopbackServer::accept() {
    script_.push_back({step::Accept, {}, 0});
    return *this;
}
LoopbackServer& LoopbackServer::read_request() {
    script_.push_back({step::ReadRequest, {}, 0});
    return *this;
}
LoopbackServer& LoopbackServer::read_until_closed() {
    script_.push_back({step::ReadUntilClosed, {}, 0});
    return *this;
}
LoopbackServer& LoopbackServer::send(const std::string& bytes) {
    script_.push_back({step::Send, bytes, 0});
    return *this;
}
LoopbackServer& LoopbackServer::send_pieces(const std::string& bytes, size_t piece, int pause_ms) {
    for (size_t at = 0; at < bytes.size(); at += piece) {
        if (at > 0)
            pause(pause_ms);
        send(bytes.substr(at, piece));
    }
    return *this;
}
LoopbackServer& LoopbackServer::pause(int ms) {
    script_.push_back({step::Pause, {}, ms});
    return *this;
}
LoopbackServer& LoopbackServer::close() {
    script_.push_back({step::Close, {}, 0});
    return *this;
}
LoopbackServer& LoopbackServer::reset() {
    script_.push_back({step::Reset, {}, 0});
    return *this;
}

void LoopbackServer::start() {
    thread_ = std::thread([this] { run(); });
}

static bool wait_for(const std::atomic<bool>& flag, const std::function<bool()>& test, int timeout_ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!test()) {
        if (flag || std::chrono::steady_clock::now() > end)
            return test();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool LoopbackServer::wait_done(int timeout_ms) {
    wait_for(
        finished_, [] { return false; }, timeout_ms);
    return finished_ && error().empty();
}

bool LoopbackServer::wait_steps(size_t n, int timeout_ms) {
    return wait_for(
        finished_, [this, n] { return steps_done_ >= n; }, timeout_ms);
}

std::string LoopbackServer::received() const {
    std::lock_guard<std::mutex> g(lock_);
    std::string all;
    for (const auto& r : received_)
        all += r;
    return all;
}

std::vector<std::string> LoopbackServer::per_connection() const {
    std::lock_guard<std::mutex> g(lock_);
    return received_;
}

int LoopbackServer::connections() const {
    std::lock_guard<std::mutex> g(lock_);
    return static_cast<int>(received_.size());
}

std::string LoopbackServer::error() const {
    std::lock_guard<std::mutex> g(lock_);
    return error_;
}

void LoopbackServer::fail(const std::string& why) {
    std::lock_guard<std::mutex> g(lock_);
    if (error_.empty())
        error_ = why;
}

void LoopbackServer::run() {
    for (const step& s : script_) {
        if (stop_ || !run_step(s))
            break;
        ++steps_done_;
    }
    finished_ = true;
}

// Waits in short slices so that the destructor can stop a waiting step.
bool LoopbackServer::wait_fd(int fd, short events) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(step_timeout_ms_);
    while (!stop_) {
        pollfd p{fd, events, 0};
        int n = ::poll(&p, 1, 20);
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() > end)
            return false;
    }
    return false;
}

bool LoopbackServer::run_step(const step& s) {
    switch (s.kind) {
    case step::Accept: {
        if (listen_fd_ < 0 || !wait_fd(listen_fd_, POLLIN)) {
            fail("no connection came");
            return false;
        }
        int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            fail("accept failed");
            return false;
        }
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (conn_fd_ >= 0)
            ::close(conn_fd_);
        conn_fd_ = fd;
        std::lock_guard<std::mutex> g(lock_);
        received_.emplace_back();
        heads_seen_.push_back(0);
        return true;
    }
    case step::ReadRequest:
    case step::ReadUntilClosed: {
        if (conn_fd_ < 0) {
            fail("read without a connection");
            return false;
        }
        for (;;) {
            if (s.kind == step::ReadRequest) {
                std::lock_guard<std::mutex> g(lock_);
                size_t end = received_.back().find("\r\n\r\n", heads_seen_.back());
                if (end != std::string::npos) {
                    heads_seen_.back() = end + 4;
                    return true;
                }
            }
            if (!wait_fd(conn_fd_, POLLIN)) {
                fail("the client sent nothing more");
                return false;
            }
            char buf[65536];
            ssize_t got = ::recv(conn_fd_, buf, sizeof buf, 0);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                if (s.kind == step::ReadUntilClosed)
                    return true;
                fail("the client closed before a whole request came");
                return false;
            }
            std::lock_guard<std::mutex> g(lock_);
            received_.back().append(buf, static_cast<size_t>(got));
        }
    }
    case step::Send: {
        size_t at = 0;
        while (at < s.bytes.size()) {
            if (conn_fd_ < 0 || !wait_fd(conn_fd_, POLLOUT)) {
                fail("cannot send");
                return false;
            }
            ssize_t sent = ::send(conn_fd_, s.bytes.data() + at, s.bytes.size() - at, MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR)
                continue;
            if (sent <= 0) {
                fail("send failed");
                return false;
            }
            at += static_cast<size_t>(sent);
        }
        return true;
    }
    case step::Pause: {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(s.ms);
        while (!stop_ && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return !stop_;
    }
    case step::Close:
    case step::Reset:
        if (conn_fd_ >= 0) {
            if (s.kind == step::Reset) {
                linger l{1, 0};
                setsockopt(conn_fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
            }
            ::close(conn_fd_);
            conn_fd_ = -1;
        }
        return true;
    }
    return false;
}

} // namespace test
