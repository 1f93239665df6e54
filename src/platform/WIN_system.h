// WIN_system: what the log header reports about the machine, the process's signals and environment, the
// programs it starts, and handing a web address to the desktop.
#pragma once
#include <string>
#include <vector>

// The running kernel, from uname: "Linux", the release ("6.1.0-18-amd64"), its first two numbers, the
// kernel's version text and the machine name ("x86_64"). False (fields empty, numbers 0) when uname fails.
struct WIN_os_info {
    std::string sysname;
    std::string release;
    int major = 0;
    int minor = 0;
    std::string version;
    std::string machine;
};
bool WIN_get_os_info(WIN_os_info& out);
// True when the machine name is that of a 64-bit machine (x86_64, aarch64, ppc64, s390x, riscv64, ...).
bool WIN_machine_is_64bit(const std::string& machine);

// One processor of /proc/cpuinfo: its index ("processor"), its "model name" and its "cpu MHz" (the whole
// part), each flagged when present.
struct WIN_cpu_record {
    int index = -1;
    bool has_name = false;
    std::string name;
    bool has_mhz = false;
    int mhz = 0;
};
// The records of a cpuinfo text, in file order (blocks separated by blank lines; a block without a
// "processor" line takes the next index).
std::vector<WIN_cpu_record> WIN_parse_cpuinfo(const std::string& text);
// The records of this machine's /proc/cpuinfo (empty when it cannot be read).
std::vector<WIN_cpu_record> WIN_cpu_records();
// Processors online, at least 1.
int WIN_processor_count();
// The page size: the granularity of file mappings.
int WIN_page_size();

// The name the program was started by, without its folder ("aerivon-installer"); "" when unknown.
std::string WIN_program_name();
// Names the calling thread for debuggers and /proc (at most 15 characters are kept).
void WIN_set_thread_name(const char* name);

// The program's own handling of the signals that would end it without its exit steps, set once at its
// start: a write past the file-size limit (ulimit -f) fails with EFBIG instead of SIGXFSZ ending the
// process, and a hang-up (its terminal closed) asks the run loop to quit as SIGTERM does. A hang-up the
// user had ignored (nohup) stays ignored.
void WIN_set_signal_handling();

// Sets the variable `name` to `value` for this process's own libraries, unless the user set it. The programs
// started afterwards get the user's environment: a variable set here is not in theirs. Main thread, at
// start-up.
void WIN_set_own_variable(const char* name, const char* value);
// This process's environment as the programs it starts get it ("NAME=value" each): the user's, without
// the variables of WIN_set_own_variable.
std::vector<std::string> WIN_child_environment();

// Starts `args[0]` with the arguments `args` (never through a shell) in its own session, so that it may
// outlive us, with default signal handling and an empty signal mask whatever ours are, and the user's
// environment (WIN_child_environment). `search_path`: look
// the program up in PATH. Returns 0 and the child's pid, or the errno of the failed start.
int WIN_spawn_detached(const std::vector<std::string>& args, bool search_path, int* pid_out);
// Starts a helper program that the caller waits for, as WIN_spawn_detached does but in our session and
// looked up in PATH: its standard input and error on /dev/null, its output on `output_fd`.
int WIN_spawn_helper(const std::vector<std::string>& args, int output_fd, int* pid_out);

// Hands `url` to the desktop: xdg-open started with the text as its one argument (never through a shell),
// in its own session. Not waited for; a helper thread reaps it. A start that fails is ignored.
void WIN_open_url(std::string url);
