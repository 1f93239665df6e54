// server_process: python3's http.server and tinyproxy as child processes of a test.
#include "support/server_process.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/loopback_server.h"
#include "support/test_support.h"

namespace test {

bool have_program(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string rest = path ? path : "/usr/bin:/bin";
    size_t at = 0;
    while (at <= rest.size()) {
        size_t colon = rest.find(':', at);
        std::string dir = rest.substr(at, colon == std::string::npos ? std::string::npos : colon - at);
        std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return true;
        if (colon == std::string::npos)
            break;
        at = colon + 1;
    }
    return false;
}

ServerProcess::~ServerProcess() { stop(); }

bool ServerProcess::start(const std::vector<std::string>& argv, const std::string& output_path) {
    stop();
    // Everything the child needs is made before fork: only async-signal-safe calls run between fork and exec.
    std::vector<std::string> args = argv;
    std::vector<char*> arg_ptrs;
    for (auto& a : args)
        arg_ptrs.push_back(a.data());
    arg_ptrs.push_back(nullptr);
    int out = ::open(output_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (out < 0 || in < 0) {
        if (out >= 0)
            ::close(out);
        if (in >= 0)
            ::close(in);
        return false;
    }
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        // Dies with the test process even when the test never reaches its clean-up.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        execvp(arg_ptrs[0], arg_ptrs.data());
        _exit(127);
    }
    ::close(out);
    ::close(in);
    if (pid < 0)
        return false;
    pid_ = pid;
    return true;
}

bool ServerProcess::wait_listening(int port, int timeout_ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (pid_ > 0 && std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(port));
        bool connected = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        if (fd >= 0)
            ::close(fd);
        if (connected)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void ServerProcess::stop() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid_, SIGKILL);
            while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
}

HttpOrigin::HttpOrigin(const std::string& folder) {
    // A free port may be taken by someone else before the server binds it: try a few.
    for (int attempt = 0; attempt < 3 && !ok_; ++attempt) {
        port_ = free_loopback_port();
        if (!process_.start({"python3", "-m", "http.server", std::to_string(port_), "--bind", "127.0.0.1",
                             "--directory", folder},
                            "/dev/null"))
            return;
        ok_ = process_.wait_listening(port_, 10000);
        if (!ok_)
            process_.stop();
    }
}

Tinyproxy::Tinyproxy(const std::string& work_folder) {
    std::string config = work_folder + "/tinyproxy.conf";
    for (int attempt = 0; attempt < 3 && !ok_; ++attempt) {
        port_ = free_loopback_port();
        std::string text =
            "Port " + std::to_string(port_) +
            "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\nMaxClients 16\nLogLevel Warning\n";
        if (geteuid() == 0)
            text += "User nobody\nGroup nogroup\n";
        write_file(config, text);
        if (!process_.start({"tinyproxy", "-d", "-c", config}, work_folder + "/tinyproxy.log"))
            return;
        ok_ = process_.wait_listening(port_, 10000);
        if (!ok_)
            process_.stop();
    }
}

} // namespace test
