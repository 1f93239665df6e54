// demo_release: the sample release generator and the demo server as a test's child process.
#include "support/demo_release.h"

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "support/loopback_server.h"

namespace test {

namespace {

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The string value of "key" in one JSON line as json.dumps writes it (ASCII escapes only).
std::string json_string(const std::string& line, const std::string& key) {
    const std::string tag = "\"" + key + "\": \"";
    size_t at = line.find(tag);
    if (at == std::string::npos)
        return "";
    std::string out;
    for (size_t i = at + tag.size(); i < line.size() && line[i] != '"'; ++i) {
        if (line[i] != '\\' || i + 1 >= line.size()) {
            out += line[i];
            continue;
        }
        const char e = line[++i];
        if (e == 'u' && i + 4 < line.size()) {
            out += static_cast<char>(std::stoi(line.substr(i + 1, 4), nullptr, 16));
            i += 4;
        } else {
            out += e == 'n' ? '\n' : e == 't' ? '\t' : e;
        }
    }
    return out;
}

long long json_number(const std::string& line, const std::string& key) {
    const std::string tag = "\"" + key + "\": ";
    size_t at = line.find(tag);
    return at == std::string::npos ? -1 : std::atoll(line.c_str() + at + tag.size());
}

std::string url_encode(const std::string& s) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c) || std::string("-._~/=@:").find(static_cast<char>(c)) != std::string::npos) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

int status_of(const std::string& response) {
    return response.size() > 12 && response.rfind("HTTP/1.", 0) == 0 ? std::atoi(response.c_str() + 9) : 0;
}

} // namespace

std::string tools_dir() { return std::string(AERIVON_SOURCE_DIR) + "/tools"; }

bool make_sample_release(const std::string& out, const std::vector<std::string>& options,
                         std::string* report) {
    std::string command = "python3 " + quoted(tools_dir() + "/make_sample_release.py") + " " + quoted(out);
    for (const std::string& o : options) {
        command += ' ';
        command += quoted(o);
    }
    TempDir dir;
    const int status = shell(command + " >" + quoted(dir.file("out.txt")) + " 2>&1");
    if (report)
        *report += read_file(dir.file("out.txt"));
    return status == 0;
}

std::string raw_http(int port, const std::string& request, int timeout_ms) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return "";
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    std::string response;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (std::chrono::steady_clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char buf[65536];
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            response.append(buf, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    return response;
}

DemoServer::DemoServer(const std::string& root, const std::vector<std::string>& faults, bool nodelay) {
    const std::string port_file = dir_.file("port.txt");
    std::vector<std::string> argv = {
        "python3", tools_dir() + "/demo_server.py", "--root", root, "--port-file", port_file,
        "--log",   dir_.file("requests.log")};
    for (const std::string& f : faults) {
        argv.push_back("--fault");
        argv.push_back(f);
    }
    if (nodelay)
        argv.push_back("--nodelay");
    if (!process_.start(argv, dir_.file("output.txt")))
        return;
    // A loaded machine may take seconds to start python: the deadline only bounds a server that never comes.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
        const std::string text = read_file(port_file);
        if (!text.empty() && text.back() == '\n') {
            port_ = std::atoi(text.c_str());
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ok_ = port_ > 0 && process_.wait_listening(port_, 10000);
}

std::vector<demo_request> DemoServer::requests(size_t at_least) const {
    std::vector<demo_request> out = requests_logged();
    for (int waited_ms = 0; out.size() < at_least && waited_ms < 10000; waited_ms += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        out = requests_logged();
    }
    return out;
}

std::vector<demo_request> DemoServer::requests_logged() const {
    std::vector<demo_request> out;
    std::ifstream in(dir_.file("requests.log"));
    std::string line;
    while (std::getline(in, line)) {
        demo_request r;
        r.host = json_string(line, "host");
        if (r.host == "control.test")
            continue;
        r.path = json_string(line, "path");
        r.status = static_cast<int>(json_number(line, "status"));
        r.bytes = json_number(line, "bytes");
        const size_t at = line.find("\"time\": ");
        r.time = at == std::string::npos ? 0.0 : std::strtod(line.c_str() + at + 8, nullptr);
        out.push_back(r);
    }
    return out;
}

int DemoServer::count(const std::string& path, const std::string& host) const {
    int n = 0;
    for (const demo_request& r : requests())
        if (r.path == path && (host.empty() || r.host == host))
            ++n;
    return n;
}

bool DemoServer::set_fault(const std::string& rule) {
    const std::string response =
        raw_http(port_, "GET /fault?rule=" + url_encode(rule) +
                            " HTTP/1.1\r\nHost: control.test\r\nConnection: close\r\n\r\n");
    return status_of(response) == 200;
}

bool DemoServer::clear_faults() {
    return status_of(raw_http(
               port_, "GET /clear HTTP/1.1\r\nHost: control.test\r\nConnection: close\r\n\r\n")) == 200;
}

std::string DemoServer::output() const { return read_file(dir_.file("output.txt")); }

UpstreamTinyproxy::UpstreamTinyproxy(const std::string& work_folder, int upstream_port) {
    const std::string config = work_folder + "/tinyproxy-upstream.conf";
    for (int attempt = 0; attempt < 3 && !ok_; ++attempt) {
        port_ = free_loopback_port();
        std::string text = "Port " + std::to_string(port_) +
                           "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\nMaxClients 16\nLogLevel Info\n"
                           "Upstream http 127.0.0.1:" +
                           std::to_string(upstream_port) + "\n";
        if (geteuid() == 0)
            text += "User nobody\nGroup nogroup\n";
        write_file(config, text);
        if (!process_.start({"tinyproxy", "-d", "-c", config}, work_folder + "/tinyproxy-upstream.log"))
            return;
        ok_ = process_.wait_listening(port_, 10000);
        if (!ok_)
            process_.stop();
    }
}

} // namespace test
