// Shared test fixtures.
#include "support/test_support.h"

#include "base/LOG_log.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sched.h>
#include <sstream>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace test {

TempDir::TempDir() {
    const char* t = std::getenv("TMPDIR");
    std::string tmpl = std::string(t && *t ? t : "/tmp") + "/aerivon-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

TempDir::~TempDir() { remove_tree(path_); }

void remove_tree(const std::string& path) {
    std::error_code ec;
    // Tests may leave read-only folders behind; make them writable so the removal goes through.
    for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            ::chmod(it->path().c_str(), 0700);
    }
    std::filesystem::remove_all(path, ec);
}

ChildResult run_child(const std::vector<std::string>& argv,
                      const std::map<std::string, std::optional<std::string>>& env, int timeout_s) {
    ChildResult r;
    int out_pipe[2], err_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");

    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (eq)
            vars[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
    }
    for (const auto& [k, v] : env) {
        if (v)
            vars[k] = *v;
        else
            vars.erase(k);
    }
    std::vector<std::string> env_strings;
    for (const auto& [k, v] : vars)
        env_strings.push_back(k + "=" + v);
    std::vector<char*> envp, args;
    for (auto& s : env_strings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argv_copy = argv;
    for (auto& s : argv_copy)
        args.push_back(s.data());
    args.push_back(nullptr);

    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        if (argv_copy[0].find('/') != std::string::npos)
            execve(args[0], args.data(), envp.data());
        else {
            environ = envp.data();
            execvp(args[0], args.data());
        }
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);

    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    int open_fds = 2;
    bool killed = false;
    while (open_fds > 0) {
        int n = poll(fds, 2, 200);
        if (n < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
                char buf[65536];
                ssize_t got = read(fds[i].fd, buf, sizeof buf);
                if (got > 0)
                    (i == 0 ? r.out : r.err).append(buf, static_cast<size_t>(got));
                else {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open_fds;
                }
            }
        }
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (!killed && now.tv_sec - start.tv_sec >= timeout_s) {
            kill(pid, SIGKILL);
            killed = true;
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0)
            close(f.fd);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        r.exit_code = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        r.exit_code = 128 + WTERMSIG(status);
    return r;
}

ScopedEnv::ScopedEnv(const std::string& name, const std::optional<std::string>& value) : name_(name) {
    const char* old = std::getenv(name.c_str());
    if (old)
        old_ = old;
    if (value)
        setenv(name.c_str(), value->c_str(), 1);
    else
        unsetenv(name.c_str());
}

ScopedEnv::~ScopedEnv() {
    if (old_)
        setenv(name_.c_str(), old_->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f)
        throw std::runtime_error("cannot write " + path);
}

int shell(const std::string& command) {
    int status = std::system(command.c_str());
    if (status == -1)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void route_log_to_stderr() {
    LOG_init();
    FILE_open_ofstream(LOG_stream, "/dev/stderr", std::ios_base::out, 0x40);
}

std::string corpus_dir() {
    std::error_code ec;
    const char* set = std::getenv("AERIVON_CORPUS_DIR");
    std::string d = set ? set : AERIVON_CORPUS_DIR;
    return std::filesystem::is_directory(d, ec) ? d : std::string();
}

bool ci_run() {
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

const char their_file[] = "/tmp/theirs.txt";
const char their_words[] = "their own words\n";

namespace {

const char fallback[] = "/tmp/aerivon-no-private-folder";
const char their_folder[] = "/tmp/theirs";
constexpr uid_t their_uid = 54321;

// The names in `folder`, each with a line feed; "?" when it cannot be read.
std::string listing(const std::string& folder) {
    std::error_code error;
    std::string names;
    for (const auto& e : std::filesystem::directory_iterator(folder, error))
        names += e.path().filename().string() + "\n";
    return error ? std::string("?") : names;
}

} // namespace

bool take_tmp_after(tmp_plant plant) {
    // A /tmp of mode 0777 (not 1777): links are followed whoever made them, as with fs.protected_symlinks=0.
    const char* options =
        plant == tmp_plant::list_link ? "nr_inodes=12,size=64k" : "nr_inodes=12,size=64k,mode=0777";
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", "/tmp", "tmpfs", 0, options) != 0)
        return false;
    write_file(their_file, their_words);
    bool made = chown(their_file, their_uid, their_uid) == 0;
    if (plant == tmp_plant::list_link)
        made = made && symlink(their_file, "/tmp/server_list_10.txt") == 0;
    if (plant == tmp_plant::fallback_folder) {
        const std::string list = std::string(fallback) + "/server_list_10.txt";
        made = made && mkdir(fallback, 0777) == 0 && chmod(fallback, 0777) == 0 &&
               chown(fallback, their_uid, their_uid) == 0;
        write_file(list, their_words);
        made = made && chmod(list.c_str(), 0666) == 0 && chown(list.c_str(), their_uid, their_uid) == 0;
    }
    if (plant == tmp_plant::fallback_link)
        made = made && mkdir(their_folder, 0777) == 0 && chmod(their_folder, 0777) == 0 &&
               chown(their_folder, their_uid, their_uid) == 0 && symlink(their_folder, fallback) == 0 &&
               lchown(fallback, their_uid, their_uid) == 0;
    if (plant == tmp_plant::read_only)
        return made && mount(nullptr, "/tmp", nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    int taken = 0;
    while (made && mkdir(("/tmp/taken" + std::to_string(taken)).c_str(), 0755) == 0)
        ++taken;
    if (!made || errno != ENOSPC || taken == 0)
        return false;
    return plant != tmp_plant::room_for_a_folder ||
           rmdir(("/tmp/taken" + std::to_string(taken - 1)).c_str()) == 0;
}

bool tmp_plant_untouched(tmp_plant plant) {
    bool same = read_file(their_file) == their_words;
    if (plant == tmp_plant::fallback_folder)
        same = same && listing(fallback) == "server_list_10.txt\n" &&
               read_file(std::string(fallback) + "/server_list_10.txt") == their_words;
    if (plant == tmp_plant::fallback_link)
        same = same && listing(their_folder).empty() && std::filesystem::is_symlink(fallback);
    return same;
}

} // namespace test
