// WIN_dialog_process: argument lists and the child process of the native file dialogs.
#include "platform/WIN_dialog_process.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/WIN_system.h"

namespace {

using steady = std::chrono::steady_clock;
constexpr int pump_ms = 50;

// Runs the pump when 50 ms have passed since it last ran.
void pump_if_due(void (*pump)(), steady::time_point& last) {
    if (!pump)
        return;
    auto now = steady::now();
    if (now - last >= std::chrono::milliseconds(pump_ms)) {
        pump();
        last = now;
    }
}

} // namespace

std::vector<std::string> WIN_zenity_arguments(int mode, const std::string& prompt, const std::string& start) {
    std::vector<std::string> a = {"zenity", "--file-selection", "--title=" + prompt};
    if (mode == 2)
        a.push_back("--directory");
    else if (mode == 1)
        a.push_back("--save");
    a.push_back("--filename=" + start);
    if (mode != 2)
        a.push_back("--file-filter=All Files | *");
    return a;
}

std::vector<std::string> WIN_kdialog_arguments(int mode, const std::string& prompt, const std::string& start,
                                               const std::string& button) {
    const char* verb = mode == 2   ? "--getexistingdirectory"
                       : mode == 1 ? "--getsavefilename"
                                   : "--getopenfilename";
    std::vector<std::string> a = {"kdialog", "--title", prompt};
    if (!button.empty()) {
        a.push_back("--ok-label");
        a.push_back(button);
    }
    a.push_back(verb);
    a.push_back(start);
    if (mode != 2)
        a.push_back("*|All Files");
    return a;
}

WIN_dialog_result WIN_run_dialog_process(const std::vector<std::string>& argv, void (*pump)(),
                                         std::string& out) {
    out.clear();
    if (argv.empty())
        return WIN_DIALOG_UNAVAILABLE;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return WIN_DIALOG_UNAVAILABLE;

    int pid = -1;
    const int err = WIN_spawn_helper(argv, fds[1], &pid);
    close(fds[1]);
    if (err != 0) {
        close(fds[0]);
        return WIN_DIALOG_UNAVAILABLE;
    }

    std::string output;
    auto last_pump = steady::now();
    pollfd p{fds[0], POLLIN, 0};
    for (;;) {
        int r = poll(&p, 1, pump_ms);
        if (r > 0) {
            char buf[4096];
            ssize_t n = read(fds[0], buf, sizeof buf);
            if (n > 0)
                output.append(buf, static_cast<size_t>(n));
            else if (n == 0 || errno != EINTR)
                break;
        } else if (r < 0 && errno != EINTR) {
            break;
        }
        pump_if_due(pump, last_pump);
    }
    close(fds[0]);

    int status = 0;
    for (;;) {
        pid_t w = waitpid(pid, &status, WNOHANG);
        if (w == pid)
            break;
        if (w < 0 && errno != EINTR)
            return WIN_DIALOG_UNAVAILABLE;
        poll(nullptr, 0, pump_ms);
        pump_if_due(pump, last_pump);
    }
    if (!WIFEXITED(status))
        return WIN_DIALOG_UNAVAILABLE;
    int code = WEXITSTATUS(status);
    if (code == 1)
        return WIN_DIALOG_CANCELLED;
    if (code != 0)
        return WIN_DIALOG_UNAVAILABLE;
    if (!output.empty() && output.back() == '\n')
        output.pop_back();
    if (output.empty())
        return WIN_DIALOG_CANCELLED;
    out = output;
    return WIN_DIALOG_CONFIRMED;
}

std::string WIN_home_folder() {
    const char* home = std::getenv("HOME");
    std::string h = home && *home == '/' ? home : "/"; // never a relative start folder
    if (h.back() != '/')
        h += '/';
    return h;
}
