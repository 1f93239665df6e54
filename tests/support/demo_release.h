// demo_release: the sample release and the local demo server of tools/, for tests that run the installer's
// engine or the program against them. The server is a child process on 127.0.0.1 only, stopped by its pid
// when its object goes.
#pragma once
#include <string>
#include <vector>

#include "support/server_process.h"
#include "support/test_support.h"

namespace test {

// The folder of the project's tools.
std::string tools_dir();

// Runs tools/make_sample_release.py into `out` with extra `options` (such as "--bad-crc"). True when it
// succeeded; its output is appended to `*report` when given.
bool make_sample_release(const std::string& out, const std::vector<std::string>& options = {},
                         std::string* report = nullptr);

// One request line of the demo server's log.
struct demo_request {
    std::string host;
    std::string path;
    int status = 0;
    long long bytes = 0;
    double time = 0.0; // seconds since the epoch, to the millisecond
};

// The bytes of a whole exchange: sends `request` to 127.0.0.1:port and reads until the server closes or
// `timeout_ms` passes.
std::string raw_http(int port, const std::string& request, int timeout_ms = 5000);

// tools/demo_server.py serving `root` with the faults given ("HOST[/SUFFIX]=MODE[@LIMIT]"), and with
// --nodelay when `nodelay` (answers without Nagle's wait, for runs of thousands of packages).
class DemoServer {
  public:
    explicit DemoServer(const std::string& root, const std::vector<std::string>& faults = {},
                        bool nodelay = false);
    bool ok() const { return ok_; }
    int port() const { return port_; }
    // The requests logged so far, control requests left out. The server logs a request once its answer is
    // sent, so a client may be done before its line is written: with `at_least`, waits up to 10 s for that
    // many.
    std::vector<demo_request> requests(size_t at_least = 0) const;
    // Requests for `path` on any host, or on `host` when given.
    int count(const std::string& path, const std::string& host = "") const;
    // Adds (or replaces) a fault, or removes every fault, through the control host. True on a 200.
    bool set_fault(const std::string& rule);
    bool clear_faults();
    // What the server wrote to its standard output and error.
    std::string output() const;
    void stop() { process_.stop(); }

  private:
    std::vector<demo_request> requests_logged() const;

    TempDir dir_;
    ServerProcess process_;
    bool ok_ = false;
    int port_ = 0;
};

// tinyproxy on a free port of 127.0.0.1 that forwards every request to the demo server on `upstream_port`
// (Upstream http), with its configuration and log in `work_folder`.
class UpstreamTinyproxy {
  public:
    UpstreamTinyproxy(const std::string& work_folder, int upstream_port);
    bool ok() const { return ok_; }
    int port() const { return port_; }
    void stop() { process_.stop(); }

  private:
    ServerProcess process_;
    bool ok_ = false;
    int port_ = 0;
};

} // namespace test
