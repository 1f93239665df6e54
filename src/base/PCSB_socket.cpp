// PCSB_socket: the polled non-blocking TCP socket over BSD sockets.
#include "base/PCSB_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

bool PCSB_startup() {
    // A peer that closes while we send must give an error, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

uint32_t PCSB_lookup_host(const std::string& host) {
    in_addr direct{};
    if (inet_pton(AF_INET, host.c_str(), &direct) == 1)
        return direct.s_addr;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return 0;
    uint32_t address = 0;
    for (addrinfo* a = found; a && !address; a = a->ai_next)
        if (a->ai_family == AF_INET && a->ai_addr)
            address = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return address;
}

// The errors after which the connection is simply gone (state 4) rather than broken (state 5).
static bool is_closing_error(int err, bool sending) {
    return err == ECONNABORTED || err == ECONNRESET || err == ENOTCONN || err == ETIMEDOUT ||
           (sending && err == EPIPE);
}

PCSBSocket::PCSBSocket(int port, bool listen) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        fail(errno);
        return;
    }
    int one = 1;
    if (setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0) {
        fail(errno);
        return;
    }
    if (port < 0 || port > 65535) {
        fail(EINVAL);
        return;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        fail(errno);
        return;
    }
    if (listen) {
        listening_ = true;
        if (::listen(fd_, 0x7fffffff) != 0)
            fail(errno);
    }
}

PCSBSocket::~PCSBSocket() {
    if (fd_ >= 0)
        ::close(fd_);
}

void PCSBSocket::fail(int err) {
    state_ = 5;
    error_ = err;
}

int PCSBSocket::poll_state() {
    if (fd_ < 0)
        return state_;
    if (listening_ && state_ == 1) {
        pollfd p{fd_, POLLIN, 0};
        int n = ::poll(&p, 1, 0);
        if (n < 0)
            fail(errno);
        else if (n > 0 && (p.revents & POLLNVAL))
            fail(EBADF);
        else if (n > 0 && (p.revents & POLLIN))
            state_ = 2;
    } else if (!listening_ && state_ == 2) {
        pollfd p{fd_, POLLOUT, 0};
        int n = ::poll(&p, 1, 0);
        if (n < 0) {
            fail(errno);
        } else if (n > 0 && (p.revents & POLLNVAL)) {
            fail(EBADF);
        } else if (n > 0 && (p.revents & (POLLOUT | POLLERR | POLLHUP))) {
            // Linux reports a failed connect as writable too; only SO_ERROR tells them apart.
            int err = 0;
            socklen_t len = sizeof err;
            if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                err = errno;
            if (err == 0 && (p.revents & POLLHUP))
                err = ENOTCONN;
            if (err == 0) {
                state_ = 3;
            } else {
                state_ = 4;
                error_ = err;
            }
        }
    }
    return state_;
}

int PCSBSocket::connect(uint32_t ipv4, int port) {
    if (fd_ < 0 || state_ == 5)
        return error_ ? error_ : EBADF;
    if (port < 0 || port > 65535) {
        fail(EINVAL);
        return EINVAL;
    }
    state_ = 2;
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = ipv4;
    remote.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) {
        state_ = 3;
        return 0;
    }
    int err = errno;
    // The connect goes on in the background (an interrupted one too); poll_state sees how it ends.
    if (err == EINPROGRESS || err == EAGAIN || err == EINTR)
        return 0;
    fail(err);
    return err;
}

void PCSBSocket::set_read_low_water(int bytes) {
    if (bytes < 1)
        bytes = 1;
    if (fd_ >= 0 && bytes != low_water_ &&
        setsockopt(fd_, SOL_SOCKET, SO_RCVLOWAT, &bytes, sizeof bytes) == 0)
        low_water_ = bytes;
}

int PCSBSocket::read(void* buffer, int length) {
    if (fd_ < 0 || state_ == 4 || state_ == 5)
        return -1;
    if (length <= 0)
        return 0;
    ssize_t got = ::recv(fd_, buffer, static_cast<size_t>(length), 0);
    if (got > 0)
        return static_cast<int>(got);
    if (got == 0) {
        eof_ = true;
        return 0;
    }
    int err = errno;
    if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR)
        return 0;
    if (is_closing_error(err, false))
        state_ = 4;
    else
        fail(err);
    return -1;
}

int PCSBSocket::write(const void* buffer, int length) {
    if (fd_ < 0 || state_ == 4 || state_ == 5)
        return -1;
    if (length <= 0)
        return 0;
    ssize_t sent = ::send(fd_, buffer, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (sent >= 0)
        return static_cast<int>(sent);
    int err = errno;
    if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR)
        return 0;
    if (is_closing_error(err, true))
        state_ = 4;
    else
        fail(err);
    return -1;
}

bool PCSBSocket::is_idle_and_open() {
    if (fd_ < 0 || state_ != 3 || eof_)
        return false;
    char byte;
    ssize_t got = ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got == 0) {
        eof_ = true;
        return false;
    }
    if (got > 0)
        return false; // bytes nobody asked for: the stream is out of step
    int err = errno;
    if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR)
        return true;
    if (is_closing_error(err, false))
        state_ = 4;
    else
        fail(err);
    return false;
}

int PCSB_make_wake() { return eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); }

void PCSB_close_wake(int wake) {
    if (wake >= 0)
        ::close(wake);
}

void PCSB_wake(int wake) {
    const uint64_t one = 1;
    if (wake >= 0 && ::write(wake, &one, sizeof one) < 0) {
        // EAGAIN: the counter is full, so a wake is already pending.
    }
}

void PCSB_wait_any(const std::vector<int>& handles, const std::vector<char>& writable, int wake,
                   int timeout_ms) {
    std::vector<pollfd> fds;
    fds.reserve(handles.size() + 1);
    for (size_t i = 0; i < handles.size(); ++i)
        if (handles[i] >= 0)
            fds.push_back({handles[i],
                           static_cast<short>(POLLIN | (i < writable.size() && writable[i] ? POLLOUT : 0)),
                           0});
    if (wake >= 0)
        fds.push_back({wake, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), timeout_ms) > 0 && wake >= 0 && (fds.back().revents & POLLIN)) {
        uint64_t count = 0;
        if (::read(wake, &count, sizeof count) < 0) {
            // EAGAIN: another wait took it.
        }
    }
}
