// http: the polled HTTP/1.1 client (see http.h for the design).
#include "base/http.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "base/APP_alert.h"
#include "base/APP_clock.h"
#include "base/APP_platform_tag.h"
#include "base/FILE_error_text.h"
#include "base/FILE_ops.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "base/PREF_file.h"
#include "base/http_io.h"

// The one client; main thread only.
static http_manager manager;

namespace {

const char* const product_text = "Aerivon Demo Installer 3.22r1";
// The beta artwork is the one place that asks for credentials.
const char* const beta_art_server = "art.aerivon.example";
const char* const beta_art_user = "qorvintale";
const char* const beta_art_password = "pebblerw83";

// Our own codes for the report (see the error texts of the file layer).
constexpr int err_no_socket = 20009;
constexpr int err_short_write = 20010;
constexpr int err_no_address = 20011;
constexpr int err_answer_cut = 20013;
// Answers refused by design, each with a text that says what was refused.
constexpr int err_transfer_coding = 20020;
constexpr int err_bad_length = 20021;
constexpr int err_head_too_long = 20022;
constexpr int err_no_length = 20023;

// A response whose header blocks, interim ones included, take more than this is refused.
constexpr size_t max_head_bytes = 65536;
// Interim (1xx) blocks accepted before the final one; a server that sends more is refused.
constexpr int max_interim_blocks = 8;
// Seconds without progress before a transfer is given up.
constexpr float idle_limit = 240.0f;
// A body that brings less than `slow_rate` bytes a second on average over `slow_window` seconds is given up
// too: every byte is progress, so a server that drips would otherwise hold the transfer for ever.
constexpr float slow_window = 60.0f;
constexpr float slow_rate = 1024.0f;
// The read buffer that one pass fills before its body bytes go to the file.
constexpr size_t read_size = 1 << 20;
// The bytes of a body that must wait in the socket before the I/O thread is woken for them.
constexpr int64_t body_low_water = read_size / 2;

float now() { return APP_elapsed_seconds(); }

char lower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }

bool equal_nocase(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

std::string trim_blanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

// Starts the look-up of `host` on a detached thread: nobody ever waits for a resolver that does not
// answer, and the thread's share keeps the record alive for as long as it may write to it. Null, with the
// OS error in *error, when no thread could be made.
std::shared_ptr<http_lookup> start_lookup(const std::string& host, int* error) {
    auto lookup = std::make_shared<http_lookup>();
    lookup->host = host;
    try {
        std::thread([lookup] {
            lookup->address = PCSB_lookup_host(lookup->host);
            lookup->done = true;
        }).detach();
    } catch (const std::system_error& e) {
        *error = e.code().value() ? e.code().value() : EAGAIN;
        return nullptr;
    }
    return lookup;
}

// The request on `slot` fails with `error` from FILE_error_text's list; `local` when the failure is this
// machine's. Returns 2, net_check's result for a failure.
int fail_request(http_transfer_slot& slot, int error, bool local) {
    slot.failure_error = error;
    slot.failure_local = local;
    slot.failure_status = -1;
    FILE_error_text(slot.failure, error);
    return 2;
}

// One poll of the look-up of `host` for the request on `slot`: 1 once its address is in the host cache, 0
// while it is looked up, 2 (with the slot's failure set) when it was not found, did not answer within
// HTTP_lookup_limit, or no thread could look it up. A request whose host changed (the proxy was set anew)
// waits for the new host's look-up at once; one look-up per host runs, shared by the slots that ask.
int await_lookup(http_transfer_slot& slot, const std::string& host) {
    if (!slot.lookup || slot.lookup->host != host) {
        std::shared_ptr<http_lookup>& pending = manager.lookups[host];
        // A failure that came after its requests gave up is not kept: the host is looked up again.
        if (!pending || (pending->done && pending->address == 0)) {
            int error = 0;
            pending = start_lookup(host, &error);
            if (!pending) {
                // This machine's failure, not the host's: nothing is kept, the next request tries again.
                manager.lookups.erase(host);
                slot.lookup.reset();
                fail_request(slot, error, true);
                LOG_stream << ("No thread to look up " + host + ": " + slot.failure + "\n");
                return 2;
            }
        }
        slot.lookup = pending;
        slot.lookup_since = now();
    }
    const std::shared_ptr<http_lookup> lookup = slot.lookup;
    if (!lookup->done) {
        // A clock that went back (a new clock source) does not make the wait longer.
        const float waited = now() - slot.lookup_since;
        if (waited >= 0.0f && waited <= HTTP_lookup_limit)
            return 0;
        // The thread stays with the host's record: the next request waits for it instead of starting
        // another look-up on a resolver that already hangs.
        slot.lookup.reset();
        LOG_stream << ("The look-up of " + host + " did not answer in " +
                       std::to_string(static_cast<int>(HTTP_lookup_limit)) + " seconds.\n");
        return fail_request(slot, err_no_address, false);
    }
    slot.lookup.reset();
    auto pending = manager.lookups.find(host);
    if (pending != manager.lookups.end() && pending->second == lookup)
        manager.lookups.erase(pending);
    if (lookup->address == 0)
        return fail_request(slot, err_no_address, false);
    manager.host_cache[host] = lookup->address;
    return 1;
}

// The output file failed with `error` (0: a short write without an errno): the transfer fails on this
// machine's account.
void file_failure(http_connection* c, int error) {
    c->os_error = error != 0 ? error : err_short_write;
    c->local_failure = true;
}

// True when the socket failed for want of a descriptor, buffer or memory on this machine (socket()'s
// EMFILE, ENFILE, ENOBUFS or ENOMEM): every server would meet the same.
bool socket_wanting_here(const http_connection* c) {
    const int error =
        c->os_error == 0 && c->socket && c->socket->get_state() == 5 ? c->socket->get_error() : 0;
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

// Closes the output file, cut to the body bytes written (what a longer earlier body left beyond them
// goes); a failing cut or close (a full disk shows here) becomes the OS error when `checked`.
void close_output(http_connection* c, bool checked) {
    if (!c->output)
        return;
    errno = 0;
    int r = std::fflush(c->output);
    if (r == 0 && ftruncate(fileno(c->output), static_cast<off_t>(c->bytes_received)) != 0)
        r = -1;
    const int saved = errno;
    if (std::fclose(c->output) != 0 && r == 0)
        r = -1;
    else if (r != 0)
        errno = saved;
    c->output = nullptr;
    if (r != 0 && checked && c->os_error == 0)
        file_failure(c, errno);
}

// A new connection to (address, port): a socket whose connect has started, or none with the reason.
std::unique_ptr<http_connection> connect_to(uint32_t address, int port) {
    auto c = std::make_unique<http_connection>();
    c->address = address;
    c->port = port;
    c->content_length = -1;
    c->bytes_received = 0;
    c->last_activity = now();
    c->headers_done = false;
    c->os_error = 0;
    if (port < 1 || port > 65535) {
        c->status_code = 0;
        c->os_error = err_no_socket;
    } else if (address != 0) {
        c->status_code = -1;
        c->socket = std::make_unique<PCSBSocket>(0, false);
        c->socket->connect(address, port);
    } else {
        c->status_code = 0;
        c->os_error = err_no_address;
    }
    return c;
}

// True when every byte is printable: above 0x20 (or from 0x20 when blanks are allowed) and not 0x7F.
bool printable(const std::string& s, bool blanks_allowed) {
    for (unsigned char ch : s)
        if (ch < 0x20 || ch == 0x7F || (!blanks_allowed && ch == 0x20))
            return false;
    return true;
}

// The path as it goes on the request line: every byte but RFC 3986's unreserved ones and '/' as "%XX".
void append_percent_encoded(std::string& out, const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char ch : path) {
        if ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-' ||
            ch == '.' || ch == '_' || ch == '~' || ch == '/') {
            out += static_cast<char>(ch);
        } else {
            out += '%';
            out += hex[ch >> 4];
            out += hex[ch & 15];
        }
    }
}

// A Content-Length value: decimal digits only, within 64 bits; -1 otherwise.
int64_t parse_length(const std::string& text) {
    if (text.empty())
        return -1;
    int64_t value = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9')
            return -1;
        if (value > (INT64_MAX - (ch - '0')) / 10)
            return -1;
        value = value * 10 + (ch - '0');
    }
    return value;
}

// Keeps the first value of each header name, and marks the block when its headers frame the body in a way
// we cannot follow: a Transfer-Encoding other than identity, or a second Content-Length that differs.
void take_header(http_connection* c, const std::string& name, const std::string& value) {
    if (equal_nocase(name, "Transfer-Encoding") && !equal_nocase(value, "identity"))
        c->bad_framing = err_transfer_coding;
    auto [at, added] = c->headers.emplace(name, value);
    if (!added && equal_nocase(name, "Content-Length") &&
        (parse_length(at->second) < 0 || parse_length(at->second) != parse_length(value)) && !c->bad_framing)
        c->bad_framing = err_bad_length;
}

// The empty line ended a block with a final status: the body follows. A body we cannot frame (chunked or
// otherwise encoded, or two different lengths) is refused rather than saved as the file, and so is a 204
// or 304, which has none.
void finish_head(http_connection* c) {
    // The head's arrival is progress, counted before the head is published as done (see net_check).
    ++c->progress;
    c->headers_done = true;
    if (c->bad_framing || c->status_code == 204 || c->status_code == 304) {
        c->os_error = c->bad_framing ? c->bad_framing : EPROTO;
        return;
    }
    auto length = c->headers.find("Content-Length");
    if (length != c->headers.end()) {
        c->content_length = parse_length(length->second);
        if (c->content_length < 0) {
            c->os_error = err_bad_length;
            return;
        }
        if (c->body_cap >= 0 && c->content_length > c->body_cap) {
            c->os_error = EFBIG;
            return;
        }
    }
    if (!c->output_path.empty()) {
        // Written over in place rather than emptied first: a file system that flushes a file emptied and
        // written again at its close (ext4) would do so for every download into a reused file. Never
        // through a link: a link planted under the file's name is not followed to another file.
        errno = 0;
        const int fd = open(c->output_path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        c->output = fd >= 0 ? fdopen(fd, "wb") : nullptr;
        // Unbuffered: the body comes in pieces of up to a read buffer, each one write, so every byte
        // counted as received is in the file, whatever block size the file system gives stdio.
        if (c->output)
            std::setvbuf(c->output, nullptr, _IONBF, 0);
        if (!c->output) {
            file_failure(c, errno ? errno : EIO);
            if (fd >= 0)
                close(fd);
        }
    }
}

// Takes complete lines from the receive buffer while the headers are not done. Interim (1xx) blocks are
// passed over in the same pass, so a final block that came with them is not left waiting.
void parse_head(http_connection* c) {
    size_t at = 0;
    std::string& buf = c->receive_buffer;
    while (!c->headers_done && c->os_error == 0) {
        size_t eol = buf.find("\r\n", at);
        if (eol == std::string::npos) {
            if (c->head_bytes + (buf.size() - at) > max_head_bytes)
                c->os_error = err_head_too_long;
            break;
        }
        std::string line = buf.substr(at, eol - at);
        c->head_bytes += eol + 2 - at;
        at = eol + 2;
        if (c->head_bytes > max_head_bytes) {
            c->os_error = err_head_too_long;
            break;
        }
        if (line.empty()) {
            if (c->status_code >= 200) {
                finish_head(c);
            } else if (++c->interim_blocks > max_interim_blocks) {
                c->os_error = EPROTO;
            } else {
                // An interim block says nothing about the final response: its headers go.
                c->headers.clear();
                c->bad_framing = 0;
            }
        } else if (line.compare(0, 5, "HTTP/") == 0 && line.size() >= 12) {
            // "HTTP/x.y NNN[ text]"
            int code = 0;
            for (size_t i = 9; i < 12; ++i) {
                if (line[i] < '0' || line[i] > '9') {
                    c->os_error = EPROTO;
                    break;
                }
                code = code * 10 + (line[i] - '0');
            }
            c->status_code = code;
            c->status_text = line.size() > 13 ? line.substr(13) : std::string();
            c->http_1_0 = line.compare(0, 8, "HTTP/1.0") == 0;
        } else {
            size_t colon = line.find(':');
            if (colon != std::string::npos && colon > 0) {
                std::string name = trim_blanks(line.substr(0, colon));
                if (!name.empty())
                    take_header(c, name, trim_blanks(line.substr(colon + 1)));
            }
        }
    }
    buf.erase(0, at);
}

// Moves `size` body bytes into the file, never past the announced length.
void take_body(http_connection* c, const char* data, size_t size) {
    if (size > 0) {
        size_t take = size;
        if (c->content_length >= 0) {
            uint64_t remaining = static_cast<uint64_t>(c->content_length - c->bytes_received);
            if (take > remaining) {
                take = static_cast<size_t>(remaining);
                c->spoiled = true; // the server sent more than it announced: the stream is out of step
            }
        } else if (c->body_cap >= 0 && static_cast<uint64_t>(c->body_cap - c->bytes_received) < take) {
            // A body without a length ran past what this transfer may take: what came of it goes.
            c->os_error = EFBIG;
            close_output(c, false);
            if (!c->output_path.empty())
                FILE_delete(c->output_path);
            return;
        }
        if (c->output) {
            errno = 0;
            size_t written = std::fwrite(data, 1, take, c->output);
            c->bytes_received += static_cast<int64_t>(written);
            if (written < take)
                file_failure(c, errno);
        } else if (c->output_path.empty()) {
            c->bytes_received += static_cast<int64_t>(take); // no destination: counted and dropped
        }
    }
    if (c->content_length >= 0 && c->bytes_received >= c->content_length)
        close_output(c, true);
}

// Bytes just read: the head's lines are parsed from the receive buffer; once the head is done, body bytes
// go from `data` to the file without a copy.
void take_bytes(http_connection* c, const char* data, size_t size) {
    if (c->headers_done) {
        if (c->os_error == 0) {
            ++c->progress;
            take_body(c, data, size);
        }
        return;
    }
    c->receive_buffer.append(data, size);
    parse_head(c);
    if (c->headers_done && c->os_error == 0) {
        take_body(c, c->receive_buffer.data(), c->receive_buffer.size());
        c->receive_buffer.clear();
    }
}

// True when the body has brought less than `slow_rate` a second over the last `slow_window` seconds.
// net_check samples it at most once a second, from the first call that found the head in (as 0 bytes).
bool body_too_slow(http_connection* c, bool head_in) {
    if (!head_in)
        return false;
    const float t = now();
    std::deque<http_rate_sample>& samples = c->body_samples;
    if (samples.empty())
        samples.push_back({t, 0});
    else if (t - samples.back().time >= 1.0f)
        samples.push_back({t, c->bytes_received});
    // The front stays the newest sample that is at least a window old.
    while (samples.size() > 1 && t - samples[1].time >= slow_window)
        samples.pop_front();
    const float span = t - samples.front().time;
    return span >= slow_window &&
           static_cast<float>(c->bytes_received - samples.front().bytes) < slow_rate * span;
}

// Writes "(the same error N more times)" for the reports of one URL that were held back.
void write_repeats(http_report_memory& memory) {
    if (memory.repeats > 0) {
        LOG_stream << "(the same error " << memory.repeats << " more times)\n\n";
        LOG_stream.flush();
    }
    memory.repeats = 0;
}

// Writes a failure report of the transfer of `url`, unless it is the same as the one before for that URL:
// a server that fails the same way on every retry adds one report, not one per retry.
void write_report(const std::string& url, const std::string& text) {
    http_report_memory& memory = manager.reports[url];
    if (memory.text == text) {
        ++memory.repeats;
        return;
    }
    write_repeats(memory);
    memory.text = text;
    LOG_stream << text;
    LOG_stream.flush();
}

// The transfer of `url` succeeded: what was held back of its failures is told now.
void forget_reports(const std::string& url) {
    auto memory = manager.reports.find(url);
    if (memory == manager.reports.end())
        return;
    write_repeats(memory->second);
    manager.reports.erase(memory);
}

void write_timeout_report(const http_connection* c, const std::string& destination, const std::string& server,
                          const std::string& path) {
    std::ostringstream text;
    text << "Timeout for " << LOG_escape(destination) << "\n"
         << "   server     =" << LOG_escape(server) << "\n"
         << "   file       =" << LOG_escape(path) << "\n"
         << "   status     =" << HTTP_conn_state(c) << "\n"
         << "   complete   =" << HTTP_percent_complete(c) << "\n\n";
    write_report(server + path, text.str());
}

// Returns the OS error that the report gives.
int write_error_report(const http_connection* c, const std::string& destination, const std::string& server,
                       const std::string& path, int state, bool is_err) {
    int os_error = c->os_error;
    if (os_error == 0)
        os_error = c->socket ? c->socket->get_error() : err_no_socket;
    std::ostringstream text;
    text << "HTTP Error for " << LOG_escape(destination) << "\n"
         << "   server     =" << LOG_escape(server) << "\n"
         << "   file       =" << LOG_escape(path) << "\n"
         << "   IsDone     =" << (state == 3 ? 1 : 0) << "\n"
         << "   IsComplete =" << (c->bytes_received == c->content_length ? 1 : 0) << "\n"
         << "   IsErr      =" << (is_err ? 1 : 0) << "\n"
         << "   GetStat    =" << state << "\n"
         << "   GetOSErr   =" << os_error << "\n"
         << "   response   =" << LOG_escape(c->status_text) << " (#" << c->status_code << ")\n\n";
    write_report(server + path, text.str());
    return os_error;
}

// How far the answer on `c` came (see HTTP_failure_status); under the I/O lock or out of flight.
int answer_reached(const http_connection* c) {
    if (c->headers_done || c->status_code >= 100)
        return c->status_code;
    return c->head_bytes > 0 || !c->receive_buffer.empty() ? 0 : -1;
}

// Bytes came on `c` that cannot begin an HTTP answer: a line that was no status line was taken, or what
// waits for its line's end does not begin as one does ("HTTP/"). A TLS alert or an SSH banner from a port
// that speaks another protocol.
bool not_http(const http_connection* c) {
    if (answer_reached(c) != 0)
        return false;
    const std::string& start = c->receive_buffer;
    const size_t n = std::min<size_t>(start.size(), 5);
    return c->head_bytes > 0 || start.compare(0, n, "HTTP/", n) != 0;
}

// Why the transfer on `c` failed (see HTTP_failure_text).
std::string failure_text(const http_connection* c) {
    int code = c->os_error;
    if (code == 0 && c->socket)
        code = c->socket->get_error();
    std::string text;
    // Not an HTTP answer, however the peer's stream ended after it (a reset among them).
    if (c->os_error == 0 && c->socket && not_http(c)) {
        LANG_translate(text, "The answer was not HTTP");
        return text;
    }
    if (code == 0 && c->status_code > 0 && (c->status_code < 200 || c->status_code > 299))
        return std::to_string(c->status_code) + (c->status_text.empty() ? "" : " " + c->status_text);
    // The peer closed before a byte of an answer came: no answer began, so none was cut.
    if (code == 0 && c->socket && answer_reached(c) == -1) {
        LANG_translate(text, "The connection was closed without an answer");
        return text;
    }
    // The stream ended without an error before the head, or the body its length announced, was whole:
    // the server's answer was cut, which is not this machine's input or output.
    const bool cut =
        c->socket && (!c->headers_done || (c->content_length >= 0 && c->bytes_received < c->content_length));
    // A body without a length is never complete: it is refused when the server closes it.
    const bool no_length = c->socket && c->headers_done && c->content_length < 0;
    FILE_error_text(text, code != 0   ? code
                          : cut       ? err_answer_cut
                          : no_length ? err_no_length
                          : c->socket ? EIO
                                      : err_no_socket);
    return text;
}

} // namespace

bool http_name_less::operator()(const std::string& a, const std::string& b) const {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        char x = lower(a[i]), y = lower(b[i]);
        if (x != y)
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    return a.size() < b.size();
}

http_connection::~http_connection() { close_output(this, false); }

http_manager::~http_manager() {
    // The I/O thread must be gone before the connections it may hold.
    HTTP_io_shutdown();
}

http_manager& HTTP_manager() { return manager; }

http_proxy HTTP_proxy() {
    http_proxy proxy;
    std::string host = trim_blanks(manager.proxy_host);
    if (host.empty())
        return proxy;
    // A port as typed: 1 to 65535 in digits; 0 when empty, -1 for anything else.
    const auto port_number = [](const std::string& text) {
        int value = 0;
        for (char ch : text) {
            if (ch < '0' || ch > '9' || value > 65535)
                return -1;
            value = value * 10 + (ch - '0');
        }
        return text.empty() ? 0 : value >= 1 && value <= 65535 ? value : -1;
    };
    proxy.port_text = trim_blanks(manager.proxy_port);
    // The field's number, or the field's text pasted with blanks around its digits.
    int field_port = manager.port;
    if (field_port < 0 || field_port > 65535)
        field_port = proxy.port_text.empty() ? -1 : port_number(proxy.port_text);
    if (proxy.port_text.empty() && manager.port != 0)
        proxy.port_text = std::to_string(manager.port);
    proxy.host = host;
    proxy.valid = false;
    // As a browser shows it: "http://host:port/".
    if (host.size() >= 7 && equal_nocase(host.substr(0, 7), "http://"))
        host.erase(0, 7);
    if (!host.empty() && host.back() == '/')
        host.pop_back();
    int port = field_port;
    const size_t colon = host.find(':');
    if (colon != std::string::npos) {
        const int typed = port_number(host.substr(colon + 1));
        if (typed < 1 || (field_port != 0 && field_port != typed))
            return proxy;
        port = typed;
        host.erase(colon);
    }
    if (host.empty() || port < 0)
        return proxy;
    for (char ch : host)
        if (!((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '.' ||
              ch == '-' || ch == '_'))
            return proxy;
    proxy.host = host;
    proxy.port = port != 0 ? port : 80;
    proxy.valid = true;
    proxy.port_text.clear();
    return proxy;
}

void HTTP_clear() {
    std::lock_guard<http_io_mutex> g(HTTP_io_lock());
    for (auto& [key, slot] : manager.slots)
        if (slot->connection)
            HTTP_io_remove(slot->connection.get());
    manager.slots.clear();
    manager.host_cache.clear();
    manager.lookups.clear();
    for (auto& [url, memory] : manager.reports)
        write_repeats(memory);
    manager.reports.clear();
}

std::string HTTP_base64(const std::string& in) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((in.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(in[i])) << 16 |
                     static_cast<uint32_t>(static_cast<unsigned char>(in[i + 1])) << 8 |
                     static_cast<unsigned char>(in[i + 2]);
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    if (i < in.size()) {
        uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(in[i])) << 16;
        if (i + 1 < in.size())
            v |= static_cast<uint32_t>(static_cast<unsigned char>(in[i + 1])) << 8;
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += i + 1 < in.size() ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

float HTTP_percent_complete(const http_connection* c) {
    if (c->content_length < 0)
        return -1.0f;
    if (c->content_length == 0)
        return 100.0f;
    return static_cast<float>(static_cast<double>(c->bytes_received) * 100.0 /
                              static_cast<double>(c->content_length));
}

float HTTP_key_percent(int key) {
    auto& slot = manager.slots[key];
    if (!slot)
        slot = std::make_unique<http_transfer_slot>();
    // While its host is looked up the transfer reads as one that connects, whatever an earlier one left.
    if (slot->lookup)
        return -1.0f;
    // The length and the count are atomic: no lock, so a frame never holds up the I/O thread.
    if (!slot->connection)
        return 0.0f;
    return HTTP_percent_complete(slot->connection.get());
}

std::string HTTP_failure_text(int key) {
    auto slot = manager.slots.find(key);
    return slot == manager.slots.end() || !slot->second ? std::string() : slot->second->failure;
}

bool HTTP_failure_on_this_machine(int key) {
    auto slot = manager.slots.find(key);
    return slot != manager.slots.end() && slot->second && slot->second->failure_error != 0 &&
           slot->second->failure_local;
}

int HTTP_failure_status(int key) {
    auto slot = manager.slots.find(key);
    return slot != manager.slots.end() && slot->second ? slot->second->failure_status : -1;
}

int HTTP_failure_error(int key) {
    auto slot = manager.slots.find(key);
    return slot != manager.slots.end() && slot->second ? slot->second->failure_error : 0;
}

int HTTP_transfers_running() {
    int running = 0;
    for (const auto& [key, slot] : manager.slots) {
        if (!slot)
            continue;
        const http_connection* c = slot->connection.get();
        // Without the lock: a connection out of flight is the main thread's alone. A look-up that has
        // answered runs no more: its request starts when the key is polled again, if it is.
        if ((slot->lookup && !slot->lookup->done) || (c && c->in_flight)) {
            ++running;
            continue;
        }
        const int state = c ? HTTP_conn_state(c) : 0;
        if (state == 1 || state == 4 || state == 5 || state == 6)
            ++running;
    }
    return running;
}

void HTTP_drop(int key) {
    auto slot = manager.slots.find(key);
    if (slot == manager.slots.end() || !slot->second)
        return;
    // Its look-up goes on, detached, for the host's next request; this key no longer waits for it.
    slot->second->lookup.reset();
    if (!slot->second->connection)
        return;
    std::lock_guard<http_io_mutex> g(HTTP_io_lock());
    HTTP_io_remove(slot->second->connection.get());
    slot->second->connection.reset();
}

int HTTP_conn_state(const http_connection* c) {
    if (!c->socket)
        return 0;
    switch (c->socket->get_state()) {
    case 1:
    case 2:
        return 1;
    case 4:
        return 3;
    case 5:
        return 2;
    default:
        break;
    }
    if (!c->send_buffer.empty())
        return 4;
    // Once the peer ended the stream nothing more can come: every byte that did was parsed in the pass
    // that read it, so a head still open or an unannounced body is over.
    if (!c->headers_done)
        return c->socket->is_eof() ? 3 : 6;
    if (c->bytes_received == c->content_length)
        return 3;
    if (c->socket->is_eof() && c->receive_buffer.empty())
        return 3;
    return 5;
}

bool HTTP_conn_reusable(http_connection* c, uint32_t ipv4, int port) {
    // An HTTP/1.1 connection persists unless the response says "close"; an HTTP/1.0 one only when it says
    // "keep-alive". The header is a list of options.
    bool close = false, keep_alive = false;
    auto connection = c->headers.find("Connection");
    if (connection != c->headers.end()) {
        std::stringstream options(connection->second);
        for (std::string option; std::getline(options, option, ',');) {
            close = close || equal_nocase(trim_blanks(option), "close");
            keep_alive = keep_alive || equal_nocase(trim_blanks(option), "keep-alive");
        }
    }
    if (close || (c->http_1_0 && !keep_alive))
        return false;
    if (c->spoiled || c->address != ipv4 || c->port != port || !c->socket || c->socket->get_state() != 3 ||
        c->socket->is_eof())
        return false;
    // A server may have closed the idle connection since; a request sent into it would fail.
    return c->socket->is_idle_and_open();
}

std::string HTTP_status_text(const http_connection* c) { return c->status_text; }

void HTTP_send_request(http_connection* c, const std::string& path, bool with_body,
                       const std::map<std::string, std::string>& headers, const char* body, int body_length,
                       const std::string& output_path) {
    c->send_buffer.clear();
    c->receive_buffer.clear();
    c->headers.clear();
    c->content_length = -1;
    c->status_code = 0;
    c->status_text.clear();
    c->http_1_0 = false;
    c->bytes_received = 0;
    c->body_cap = -1;
    c->answered = false;
    c->headers_done = false;
    c->head_bytes = 0;
    c->interim_blocks = 0;
    c->bad_framing = 0;
    c->os_error = 0;
    c->local_failure = false;
    c->body_samples.clear();
    close_output(c, false);
    c->last_activity = now();
    c->output_path = output_path;
    if (!c->output_path.empty())
        FILE_make_absolute(c->output_path);

    // Control bytes in anything that goes into the request would let it carry lines of its own.
    auto host = headers.find("Host");
    bool safe = printable(path, true) && (host == headers.end() || printable(host->second, false));
    for (const auto& [name, value] : headers)
        safe = safe && printable(name, false) && printable(value, true);
    if (!safe) {
        c->os_error = EINVAL;
        return;
    }

    std::string request = with_body ? "POST " : "GET ";
    request += "http://";
    if (host != headers.end())
        request += host->second;
    append_percent_encoded(request, path);
    request += " HTTP/1.1\r\n";
    for (const auto& [name, value] : headers)
        request += name + ": " + value + "\r\n";
    if (with_body)
        request += "Content-Length: " + std::to_string(body_length > 0 ? body_length : 0) + "\r\n";
    request += "\r\n";
    c->send_buffer = request;
    if (with_body && body && body_length > 0)
        c->send_buffer.append(body, static_cast<size_t>(body_length));
}

void HTTP_pump(http_connection* c) {
    if (!c->socket)
        return;
    int state = c->socket->poll_state();
    if (state == 4 || state == 5) {
        close_output(c, false);
        return;
    }
    if (state != 3)
        return;
    if (!c->send_buffer.empty()) {
        int sent = c->socket->write(c->send_buffer.data(), static_cast<int>(c->send_buffer.size()));
        if (sent > 0)
            c->send_buffer.erase(0, static_cast<size_t>(sent));
    }
    // One buffer for every connection: all pumping happens under the I/O lock. It is filled until the
    // socket would block, so a fast stream costs one write and one wait per 1 MiB, not per packet.
    static char incoming[read_size];
    size_t filled = 0;
    while (filled < read_size) {
        const int got = c->socket->read(incoming + filled, static_cast<int>(read_size - filled));
        if (got <= 0)
            break;
        filled += static_cast<size_t>(got);
    }
    if (filled > 0)
        take_bytes(c, incoming, filled);
    // The thread is woken for half a buffer of a body, or its rest, not for every packet: on one machine
    // the sender and this thread, waking each other a packet at a time, came to share one processor and
    // took it from each other. What waits below the mark is taken at the next pass all the same (after
    // the thread's wait of 100 ms at the latest).
    int64_t mark = 1;
    if (c->headers_done && c->os_error == 0 && c->content_length >= 0)
        mark = std::clamp<int64_t>(c->content_length - c->bytes_received, 1, body_low_water);
    c->socket->set_read_low_water(static_cast<int>(mark));
}

int net_check(int key, const std::string& server, const std::string& path, const std::string& destination,
              int64_t max_body_bytes) {
    auto& slot_ptr = manager.slots[key];
    if (!slot_ptr)
        slot_ptr = std::make_unique<http_transfer_slot>();
    http_transfer_slot& slot = *slot_ptr;
    std::string server_name = server, file = path;
    for (char& ch : server_name)
        if (ch == '\\')
            ch = '/';
    for (char& ch : file)
        if (ch == '\\')
            ch = '/';

    // The slot and the fields that only net_check writes are the main thread's; the lock is taken where the
    // I/O thread may be involved (see http_io.h).
    std::unique_lock<http_io_mutex> io_lock(HTTP_io_lock(), std::defer_lock);
    http_connection* c = slot.connection.get();
    // The I/O thread may finish a transfer between frames: it is over for the caller once it was told so.
    if (!c || c->answered) {
        // A new request. The address is the proxy's when one is set.
        const http_proxy proxy = HTTP_proxy();
        if (!proxy.valid) {
            write_report(server_name + file, "The proxy setting is not valid: host " +
                                                 LOG_escape(proxy.host) + ", port " +
                                                 LOG_escape(proxy.port_text) + "\n\n");
            return fail_request(slot, HTTP_bad_proxy_error, false);
        }
        const std::string host = proxy.host.empty() ? server : proxy.host;
        in_addr literal{};
        if (manager.host_cache.find(host) == manager.host_cache.end() &&
            inet_pton(AF_INET, host.c_str(), &literal) == 1)
            manager.host_cache[host] = literal.s_addr; // digits need no resolver
        if (manager.host_cache.find(host) != manager.host_cache.end()) {
            slot.lookup.reset(); // an earlier host's look-up (the proxy changed) is no longer awaited
        } else {
            const int lookup_result = await_lookup(slot, host);
            if (lookup_result != 1)
                return lookup_result; // 0: still looking up; a finished earlier transfer is not this one
        }
        slot.address = manager.host_cache[host];

        if (!server.empty() && (server.back() == '/' || server.back() == '\\'))
            APP_alert(0, "net_check error! You have a dirchar at the end of the server name!",
                      "You should not!",
                      "Our convention is that a server name is simply a server name... with no slash!",
                      server, 3, "http", 373);
        if (path.empty() || (path[0] != '/' && path[0] != '\\'))
            APP_alert(0, "net_check error! You do not have a dirchar at the beginning of the directory name!",
                      "You should!",
                      "Our convention is that a directory name does start with a slash because it must "
                      "include the hard drive,which is a dir char on unix!",
                      path, 3, "http", 374);

        std::map<std::string, std::string> headers;
        headers["Host"] = server_name;
        headers["User-agent"] =
            std::string(product_text) + (PREF_installer.get_beta ? "-beta-" : "-final-") + APP_platform_tag();
        if (server_name == beta_art_server && file.find("/art/beta") != std::string::npos)
            headers["Authorization"] =
                "Basic " + HTTP_base64(std::string(beta_art_user) + ":" + beta_art_password);

        // Direct requests go to port 80; only the proxy has a port of its own.
        const int port = proxy.host.empty() ? 80 : proxy.port;
        io_lock.lock();
        if (slot.connection && !HTTP_conn_reusable(slot.connection.get(), slot.address, port))
            slot.connection.reset();
        if (!slot.connection)
            slot.connection = connect_to(slot.address, port);
        c = slot.connection.get();
        HTTP_send_request(c, file, false, headers, nullptr, 0, destination);
        c->body_cap = max_body_bytes;
        slot.failure_error = 0;
        slot.failure_local = false;
        slot.failure_status = -1;
        HTTP_io_add(c);
    }

    // The I/O thread moves the bytes; the frame only reads where the transfer stands, and while the thread
    // holds it, without making the thread wait. The head is read as done before the progress count, which
    // the thread raises first: a frame that finds the head in has taken its arrival as activity too, so
    // the body's window never starts before the activity that "stopped sending" is measured from.
    const bool head_in = c->headers_done;
    if (c->progress != c->progress_seen) {
        c->progress_seen = c->progress;
        c->last_activity = now();
    }
    if (c->in_flight && now() - c->last_activity <= idle_limit && !body_too_slow(c, head_in))
        return 0;
    if (!io_lock.owns_lock())
        io_lock.lock();
    int state = HTTP_conn_state(c);
    bool complete = c->bytes_received == c->content_length;
    bool is_err = c->os_error != 0 || state == 0 || state == 2;
    if (!(state == 3 || complete || is_err)) {
        if (now() - c->last_activity > idle_limit || body_too_slow(c, head_in)) {
            write_timeout_report(c, destination, server_name, file);
            slot.failure_error = ETIMEDOUT;
            slot.failure_local = false;
            // Once its answer began, the peer's silence is that server's (or the proxy's) and no longer a
            // connection that could not be made.
            slot.failure_status = answer_reached(c);
            // A body that still comes, a byte now and then, is a server that sends too slowly.
            if (not_http(c))
                LANG_translate(slot.failure, "The answer was not HTTP");
            else if (slot.failure_status >= 0 && now() - c->last_activity >= slow_window / 2.0f)
                LANG_translate(slot.failure, "The server stopped sending");
            else if (slot.failure_status >= 0)
                LANG_translate(slot.failure, "The server sent too slowly");
            else
                FILE_error_text(slot.failure, ETIMEDOUT);
            HTTP_io_remove(c);
            slot.connection.reset();
            return 2;
        }
        return 0;
    }
    HTTP_io_remove(c); // over for this side too, whether or not the I/O thread saw it yet
    if (c->status_code >= 200 && c->status_code <= 299 && complete && !is_err) {
        if (!manager.reports.empty())
            forget_reports(server_name + file);
        c->answered = true;
        return 1;
    }
    slot.failure_error = write_error_report(c, destination, server_name, file, state, is_err);
    slot.failure_local = c->local_failure || socket_wanting_here(c);
    slot.failure_status = answer_reached(c);
    slot.failure = failure_text(c);
    slot.connection.reset();
    return 2;
}
