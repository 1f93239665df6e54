// Window-test helpers: a child process whose output goes to a file, a private X server, and xdotool.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

extern char** environ;

namespace gui {

inline bool have_display() {
    const char* d = std::getenv("DISPLAY");
    return d && *d;
}

// This environment with `changes` applied.
inline std::vector<std::string> environment_with(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string kv = *e;
        std::string key = kv.substr(0, kv.find('='));
        if (!changes.count(key))
            env.push_back(kv);
    }
    for (const auto& [k, v] : changes)
        env.push_back(k + "=" + v);
    return env;
}

inline std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (auto& s : strings)
        p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// A child with stdout and stderr in files; killed when the object goes if it still runs.
class child_process {
  public:
    child_process(std::vector<std::string> argv, const std::map<std::string, std::string>& env,
                  const std::string& out_path, const std::string& err_path)
        : out_path_(out_path), err_path_(err_path) {
        std::vector<std::string> envs = environment_with(env);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&fa, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        // Every signal as a user's shell leaves it, whatever the runner ignores or blocks (nohup's SIGHUP).
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t all, none;
        sigfillset(&all);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attr, &all);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        auto args = pointers(argv);
        auto envp = pointers(envs);
        if (posix_spawnp(&pid_, args[0], &fa, &attr, args.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&fa);
    }
    ~child_process() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    child_process(const child_process&) = delete;
    child_process& operator=(const child_process&) = delete;

    bool started() const { return pid_ > 0; }
    std::string output() const { return test::read_file(out_path_); }
    std::string errors() const { return test::read_file(err_path_); }
    // Waits until the output holds `needle`; false after timeout_ms or when the child ended first.
    bool wait_for_output(const std::string& needle, int timeout_ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (std::chrono::steady_clock::now() < end) {
            if (output().find(needle) != std::string::npos)
                return true;
            if (pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == pid_) {
                pid_ = -1;
                return output().find(needle) != std::string::npos;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    void signal(int sig) {
        if (pid_ > 0)
            kill(pid_, sig);
    }
    // The exit code (128 + signal for a signal), or -1 when it did not end within timeout_ms (then killed).
    int wait_exit(int timeout_ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (pid_ > 0) {
            if (waitpid(pid_, &status_, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            if (std::chrono::steady_clock::now() >= end) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                pid_ = -1;
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (WIFEXITED(status_))
            return WEXITSTATUS(status_);
        return WIFSIGNALED(status_) ? 128 + WTERMSIG(status_) : -1;
    }

  private:
    pid_t pid_ = -1;
    int status_ = 0;
    std::string out_path_, err_path_;
};

// An Xvfb of its own for a test that needs another screen; stopped when the object goes. `options` are
// more of the server's options ("-extension GLX": a display without OpenGL).
class private_xserver {
  public:
    explicit private_xserver(const std::string& screen, const std::vector<std::string>& options = {}) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return;
        int w = fcntl(fds[1], F_DUPFD_CLOEXEC, 10); // keep it away from fd 3, where the server writes
        close(fds[1]);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, w, 3);
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> argv = {"Xvfb", "-displayfd", "3",         "-screen",
                                         "0",    screen,       "-nolisten", "tcp"};
        argv.insert(argv.end(), options.begin(), options.end());
        auto args = pointers(argv);
        if (posix_spawnp(&pid_, "Xvfb", &fa, nullptr, args.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        close(w);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c;
        // A loaded machine may take seconds to start it.
        while (pid_ > 0 && poll(&p, 1, 30000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (!number.empty())
            display_ = ":" + number;
    }
    ~private_xserver() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    private_xserver(const private_xserver&) = delete;
    private_xserver& operator=(const private_xserver&) = delete;
    // ":N", or "" when the server did not start.
    const std::string& display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
};

// Runs an X client, `command` (a shell command line), on `display` ("" for this process's) for at most 10 s;
// returns its standard output without the last line end.
inline std::string x_client(const std::string& command, const std::string& display = "") {
    std::string cmd =
        (display.empty() ? "" : "DISPLAY=" + display + " ") + "timeout 10 " + command + " 2>/dev/null";
    std::string out;
    if (FILE* f = popen(cmd.c_str(), "r")) {
        char buf[256];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0)
            out.append(buf, n);
        pclose(f);
    }
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

// Runs xdotool with the arguments (a shell word list), as x_client does.
inline std::string xdotool(const std::string& args, const std::string& display = "") {
    return x_client("xdotool " + args, display);
}

} // namespace gui
