// WIN_system: the machine's description for the log header, the process's signals and environment, the
// programs it starts, and the URL hand-off to xdg-open.
#include "platform/WIN_system.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <pthread.h>
#include <spawn.h>
#include <sstream>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/WIN_message.h"

extern char** environ;

namespace {

// The variables this process set for its own use, kept out of the environment of the programs it starts.
// Written at start-up on the main thread; read by whichever thread starts a program.
struct own_variables {
    std::mutex lock;
    std::vector<std::string> names;
};
own_variables own;

// A lock-free store: safe in a signal handler.
void on_hang_up(int) { WIN_request_quit(); }

int read_number(const char*& p) {
    int value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value > 99999 ? 999999 : value * 10 + (*p - '0');
        ++p;
    }
    return value;
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

} // namespace

bool WIN_get_os_info(WIN_os_info& out) {
    out = WIN_os_info();
    utsname u{};
    if (uname(&u) != 0)
        return false;
    out.sysname = u.sysname;
    out.release = u.release;
    out.version = u.version;
    out.machine = u.machine;
    const char* p = u.release;
    out.major = read_number(p);
    if (*p == '.') {
        ++p;
        out.minor = read_number(p);
    }
    return true;
}

bool WIN_machine_is_64bit(const std::string& machine) {
    return machine.find("64") != std::string::npos || machine == "s390x";
}

std::vector<WIN_cpu_record> WIN_parse_cpuinfo(const std::string& text) {
    std::vector<WIN_cpu_record> out;
    WIN_cpu_record cur;
    bool open = false;
    auto close_block = [&] {
        if (!open)
            return;
        if (cur.index < 0)
            cur.index = out.empty() ? 0 : out.back().index + 1;
        out.push_back(cur);
        cur = WIN_cpu_record();
        open = false;
    };
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        size_t colon = line.find(':');
        if (trim(line).empty()) {
            close_block();
            continue;
        }
        if (colon == std::string::npos)
            continue;
        const std::string key = trim(line.substr(0, colon));
        const std::string value = trim(line.substr(colon + 1));
        open = true;
        if (key == "processor") {
            const char* p = value.c_str();
            if (*p >= '0' && *p <= '9')
                cur.index = read_number(p);
        } else if (key == "model name") {
            cur.has_name = true;
            cur.name = value;
        } else if (key == "cpu MHz") {
            const char* p = value.c_str();
            if (*p >= '0' && *p <= '9') {
                cur.has_mhz = true;
                cur.mhz = read_number(p);
            }
        }
    }
    close_block();
    return out;
}

std::vector<WIN_cpu_record> WIN_cpu_records() {
    std::ifstream f("/proc/cpuinfo");
    if (!f)
        return {};
    std::ostringstream s;
    s << f.rdbuf();
    return WIN_parse_cpuinfo(s.str());
}

int WIN_processor_count() {
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n < 1 ? 1 : n > 4096 ? 4096 : static_cast<int>(n);
}

std::string WIN_program_name() {
    // glibc keeps the last component of argv[0] from before main.
    return program_invocation_short_name ? program_invocation_short_name : "";
}

int WIN_page_size() {
    long n = sysconf(_SC_PAGESIZE);
    return n > 0 ? static_cast<int>(n) : 4096;
}

void WIN_set_thread_name(const char* name) {
    char cut[16] = {};
    std::snprintf(cut, sizeof cut, "%s", name ? name : "");
    pthread_setname_np(pthread_self(), cut);
}

void WIN_set_signal_handling() {
    std::signal(SIGXFSZ, SIG_IGN);
    struct sigaction was {};
    if (sigaction(SIGHUP, nullptr, &was) == 0 && was.sa_handler == SIG_DFL) {
        struct sigaction hang_up {};
        hang_up.sa_handler = on_hang_up;
        sigemptyset(&hang_up.sa_mask);
        hang_up.sa_flags = SA_RESTART;
        sigaction(SIGHUP, &hang_up, nullptr);
    }
}

void WIN_set_own_variable(const char* name, const char* value) {
    if (std::getenv(name))
        return;
    std::lock_guard<std::mutex> hold(own.lock);
    if (setenv(name, value, 0) == 0)
        own.names.emplace_back(name);
}

std::vector<std::string> WIN_child_environment() {
    std::lock_guard<std::mutex> hold(own.lock);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        bool ours = false;
        for (const std::string& name : own.names)
            ours = ours || (std::strncmp(*e, name.c_str(), name.size()) == 0 && (*e)[name.size()] == '=');
        if (!ours)
            env.emplace_back(*e);
    }
    return env;
}

namespace {

// Starts `args[0]` with the arguments `args` (never through a shell), with default signal handling, an empty
// signal mask and the user's environment, whatever ours are: a signal this process ignores (SIGPIPE for its
// sockets, SIGXFSZ for its writes) is not ignored by the programs it starts. `own_session`: in a session of
// its own. `actions` (may be null) arranges the child's descriptors.
int spawn_clean(const std::vector<std::string>& args, bool search_path, bool own_session,
                const posix_spawn_file_actions_t* actions, int* pid_out) {
    if (args.empty())
        return EINVAL;
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    for (std::string& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables = WIN_child_environment();
    std::vector<char*> envp;
    for (std::string& v : variables)
        envp.push_back(v.data());
    envp.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, static_cast<short>((own_session ? POSIX_SPAWN_SETSID : 0) |
                                                       POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK));
    pid_t pid = -1;
    int err = search_path ? posix_spawnp(&pid, argv[0], actions, &attr, argv.data(), envp.data())
                          : posix_spawn(&pid, argv[0], actions, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    if (err == 0 && pid_out)
        *pid_out = pid;
    return err;
}

} // namespace

int WIN_spawn_detached(const std::vector<std::string>& args, bool search_path, int* pid_out) {
    return spawn_clean(args, search_path, true, nullptr, pid_out);
}

int WIN_spawn_helper(const std::vector<std::string>& args, int output_fd, int* pid_out) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&fa, output_fd, 1);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    const int err = spawn_clean(args, true, false, &fa, pid_out);
    posix_spawn_file_actions_destroy(&fa);
    return err;
}

void WIN_open_url(std::string url) {
    int pid = -1;
    int err = WIN_spawn_detached({"xdg-open", url}, true, &pid);
    if (err != 0 || pid <= 0)
        return;
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}
