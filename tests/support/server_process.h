// server_process: real servers run as child processes for end-to-end client tests: python3's http.server
// as an origin and tinyproxy as a proxy, both on 127.0.0.1 only. Each is stopped by its pid when its
// object goes (or with stop()), and dies with the test process, so none outlives its test.
#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

namespace test {

// True when `program` is found in PATH.
bool have_program(const std::string& program);

// One child process started from an argument list (never a shell).
class ServerProcess {
  public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts argv[0] (searched in PATH) with standard output and error appended to `output_path`.
    bool start(const std::vector<std::string>& argv, const std::string& output_path);
    // True once 127.0.0.1:port accepts a connection; false when the child ended or `timeout_ms` passed.
    bool wait_listening(int port, int timeout_ms);
    // SIGTERM, then SIGKILL after a second; reaps the child. Nothing when none runs.
    void stop();
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
};

// python3 -m http.server serving `folder` on 127.0.0.1 at a free port.
class HttpOrigin {
  public:
    explicit HttpOrigin(const std::string& folder);
    bool ok() const { return ok_; }
    int port() const { return port_; }
    void stop() { process_.stop(); }

  private:
    ServerProcess process_;
    bool ok_ = false;
    int port_ = 0;
};

// tinyproxy in the foreground on 127.0.0.1 at a free port, with its own configuration file in
// `work_folder` (Listen and Allow 127.0.0.1; User nobody and Group nogroup when run as root).
class Tinyproxy {
  public:
    explicit Tinyproxy(const std::string& work_folder);
    bool ok() const { return ok_; }
    int port() const { return port_; }
    void stop() { process_.stop(); }

  private:
    ServerProcess process_;
    bool ok_ = false;
    int port_ = 0;
};

} // namespace test
