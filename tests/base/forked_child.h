// Runs a piece of a test in a forked child, for the cases that end the process or change it for good
// (alerts, resource limits, CPU affinity). The child is killed when it outlives its time box.
#pragma once
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "support/test_support.h"

namespace test {

struct ForkResult {
    int exit_code = -1; // exit status, or 128 + signal number
    bool timed_out = false;
    std::string out, err;
};

// The child runs body() with stdout and stderr captured and ends with its result (97 when it throws).
// Only the forking thread exists in the child: start the threads a case needs inside the body.
inline ForkResult run_forked(const std::function<int()>& body, int timeout_ms = 20000) {
    TempDir dir;
    const std::string out_path = dir.file("out"), err_path = dir.file("err");
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        int code = 97;
        try {
            code = body();
        } catch (...) {
        }
        std::fflush(nullptr);
        _exit(code);
    }
    ForkResult r;
    if (pid < 0)
        return r;
    int status = 0;
    timespec start, now;
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return r;
        clock_gettime(CLOCK_MONOTONIC, &now);
        long elapsed = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
        if (elapsed > timeout_ms) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            r.timed_out = true;
            break;
        }
        usleep(2000);
    }
    if (WIFEXITED(status))
        r.exit_code = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        r.exit_code = 128 + WTERMSIG(status);
    r.out = read_file(out_path);
    r.err = read_file(err_path);
    return r;
}

} // namespace test
