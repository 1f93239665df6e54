// http: the polled HTTP/1.1 client that fetches every remote file into a local file.
//
// DESIGN: the caller polls net_check once per frame on the main thread with the same arguments until the
// result is no longer 0; net_check never waits. It starts each request and then reads where the transfer
// stands, while the I/O thread of http_io moves the bytes between the socket and the file as they come
// (see http_io.h for who may touch a connection when). Each caller key owns a transfer slot that keeps its
// connection (and so a kept-alive socket) for the run. Each host look-up (an address in digits needs none)
// runs on a detached thread of its own, which shares the look-up's record with the manager and the slots
// that wait for it: a resolver that does not answer holds neither the frame nor the exit, and a slot that
// goes first simply lets go of the record. One look-up per host is pending at a time; a slot whose host
// changes (a new proxy name) waits for the new host's at once. A request that has waited
// HTTP_lookup_limit seconds for its look-up fails as a host not found, and the thread is left to finish:
// the host's next request waits for the same look-up, or starts a new one once it has ended. Addresses
// found are cached for the run by the host actually looked up (the proxy when one is set, else the
// server); a failed look-up is not kept, so the next request looks the host up again. Only GET requests
// with an absolute URI are sent, directly or through a proxy; a 2xx body with a Content-Length goes
// straight into the destination file. A failure writes a report to LOG_stream, drops the connection and
// returns 2; a partly written file stays. The proxy is taken as HTTP_proxy reads its fields; fields that
// name no usable proxy fail each request at once with HTTP_bad_proxy_error.
//
// A transfer on one key, from net_check's view:
// | phase              | HTTP_conn_state              | next                                    |
// |--------------------|------------------------------|-----------------------------------------|
// | resolving          | (no connection)              | connecting; 2 when the host is unknown, |
// |                    |                              | its look-up took 30 s, or no thread     |
// |                    |                              | could look it up                        |
// | connecting         | 1                            | sending; 2 on a socket failure          |
// | sending            | 4                            | waiting for headers                     |
// | waiting for headers| 6                            | receiving; 2 on a bad or huge head      |
// | receiving          | 5                            | done (3): 1 when 2xx and whole, else 2  |
// | any                | 240 s without progress       | 2 with the time-out report              |
// | receiving          | < 1 KiB/s over the last 60 s | 2 with the time-out report              |
#pragma once
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "base/PCSB_socket.h"

// Header names compare ignoring ASCII case.
struct http_name_less {
    bool operator()(const std::string& a, const std::string& b) const;
};

// The body bytes of a transfer at one moment of the frame clock.
struct http_rate_sample {
    float time = 0.0f;
    int64_t bytes = 0;
};

// One connection and the request/response it carries. Owned by its transfer slot. The atomic fields are
// what the frame reads of a transfer in flight without HTTP_io_lock (see http_io.h).
struct http_connection {
    uint32_t address = 0; // IPv4, network order
    int port = 0;
    std::unique_ptr<PCSBSocket> socket;
    std::string send_buffer;
    std::string receive_buffer;
    std::atomic<bool> headers_done{false};
    int status_code = -1; // -1 until a status line is read; 0 when no socket was made
    std::string status_text;
    bool http_1_0 = false; // the status line says HTTP/1.0: the connection persists only when asked to
    std::map<std::string, std::string, http_name_less> headers; // the first value of each name
    FILE* output = nullptr;
    std::string output_path;
    int os_error = 0; // errno value, or 20009 (no socket), 20010 (short write), 20011 (no address)
    // os_error is this machine's failure, not the server's: the output file could not be opened, written,
    // flushed or closed, or no descriptor or thread was left for the transfer. The body cap's EFBIG is the
    // server's and leaves it false.
    bool local_failure = false;
    std::atomic<int64_t> content_length{-1}; // -1: unknown
    // Body bytes taken; with a file, each of them is in it (the file is written unbuffered).
    std::atomic<int64_t> bytes_received{0};
    int64_t body_cap = -1;      // the most body bytes this transfer may take; -1: no cap
    float last_activity = 0.0f; // the frame clock's elapsed seconds at the last progress
    size_t head_bytes = 0;      // bytes of the response's header blocks taken so far, interim ones too
    int interim_blocks = 0;     // interim (1xx) blocks passed over in this response
    int bad_framing = 0;        // the current block's headers frame the body in a way we cannot trust:
                                // the code that says how (0 when they do not)
    bool spoiled = false;       // the stream held bytes beyond the body: never carry another request
    std::atomic<bool> in_flight{false}; // held by the I/O thread, which pumps it
    std::atomic<uint64_t> progress{0};  // the head and body reads so far (the I/O thread's count of activity)
    uint64_t progress_seen = 0;         // the count net_check last turned into activity time
    bool answered = false; // net_check gave this transfer's success: the next call is a new request
    std::deque<http_rate_sample> body_samples; // net_check's: the body's progress, a sample a second

    http_connection() = default;
    http_connection(const http_connection&) = delete;
    http_connection& operator=(const http_connection&) = delete;
    ~http_connection(); // closes the file (unchecked: the transfer is being dropped) and the socket
};

// Seconds of the frame clock a request waits for its host's look-up before it fails as a host not found:
// the C library's own worst case with its default resolver settings (5 s, 2 tries, 3 servers).
constexpr float HTTP_lookup_limit = 30.0f;

// One host look-up, shared by its thread, the manager and the slots that wait for it; whichever lets go
// last frees it.
struct http_lookup {
    std::string host;                 // set before the thread starts, then only read
    std::atomic<uint32_t> address{0}; // the thread's answer (IPv4, network order; 0: not found)
    std::atomic<bool> done{false};    // set by the thread once `address` holds its answer
};

// The transfer of one caller key; made on the key's first use and kept for the run.
struct http_transfer_slot {
    std::unique_ptr<http_connection> connection;
    std::shared_ptr<http_lookup> lookup; // the look-up this request waits for
    float lookup_since = 0.0f;           // the frame clock when the request began to wait for it
    uint32_t address = 0;
    int failure_error = 0;      // the error of the key's last failed transfer (see HTTP_failure_error)
    bool failure_local = false; // that error was this machine's (see HTTP_failure_on_this_machine)
    int failure_status = -1;    // how far that transfer's answer came (see HTTP_failure_status)
    std::string failure; // why the key's last transfer failed (HTTP_failure_text); empty before any failure
};

// The last failure report of one URL, and how often the same report came again since.
struct http_report_memory {
    std::string text;
    int repeats = 0;
};

// The client's state: main thread only (a look-up thread touches only its http_lookup; the I/O thread
// touches only the connections it holds, under HTTP_io_lock).
struct http_manager {
    std::string proxy_host; // empty: no proxy
    std::string proxy_port; // the proxy port as the user typed it
    int port = 0;           // the proxy port number; 0 means 80
    std::map<int, std::unique_ptr<http_transfer_slot>> slots;
    std::map<std::string, uint32_t> host_cache;                  // host looked up -> IPv4 found
    std::map<std::string, std::shared_ptr<http_lookup>> lookups; // host -> its look-up not yet taken
    std::map<std::string, http_report_memory> reports;           // server + path -> its last failure report

    http_manager() = default;
    http_manager(const http_manager&) = delete;
    http_manager& operator=(const http_manager&) = delete;
    ~http_manager();
};

// The one client of the program. The preferences and the general-preferences dialog set its proxy
// fields; main thread only.
http_manager& HTTP_manager();

// The OS error (HTTP_failure_error) of a request that was not sent because the proxy fields name no proxy
// the client can use.
constexpr int HTTP_bad_proxy_error = 20024;

// The proxy that the manager's fields name, read as people type them.
struct http_proxy {
    std::string host; // empty: no proxy
    int port = 80;
    // False when the fields name no proxy the client can use; `host` is then the host field without the
    // blanks around it, and `port_text` the port field (its number when only that was set), to name them.
    bool valid = true;
    std::string port_text;
};

// The proxy of the manager's fields: blanks around the host go, and so does a leading "http://" (in any
// case) and a final '/'; a ":port" after the host is the port when the port field is empty or says the
// same; else the port field's number (or its text's digits, blanks around them), else 80. A host field of
// blanks only is no proxy. Invalid: another scheme, a path, a user, a host of other than letters, digits,
// '.', '-' and '_', a port that is not 1 to 65535 or differs from the port field's. Main thread.
http_proxy HTTP_proxy();

// Destroys every slot (a pending look-up is left to finish on its own), empties the host cache, forgets the
// pending look-ups and writes what was held back of repeated failure reports; the proxy fields stay. The
// manager's destructor does the same at exit.
void HTTP_clear();

// One poll of the transfer of `key`: GET `path` (beginning with '/' or '\') from `server` (a host name,
// optionally ":port", without a trailing '/' or '\') into `destination` (made absolute against the
// Sim-Root folder). 0 while it runs, 1 when the whole 2xx body is in the file, 2 when it failed (the
// report is in the log; a report the same as the last one for that server and path is held back and
// counted, and the count is written as "(the same error N more times)" before the next different report
// or at the next success). A body announced or grown past `max_body_bytes` (-1: no cap) fails the transfer
// with OS error EFBIG and its partial file is deleted. A host whose look-up has not answered within
// HTTP_lookup_limit seconds of the request fails it as one not found (20011). A transfer times out after
// 240 s without progress, and, once its head is in, when its body brought less than 1 KiB a second over the
// last 60 s. A server ending in '/' or '\' or a path not beginning with one is a programming error: a fatal
// alert (kind 3, "http" 373 or 374).
// A link under the destination's name is never followed: the transfer fails on this machine (ELOOP).
int net_check(int key, const std::string& server, const std::string& path, const std::string& destination,
              int64_t max_body_bytes = -1);

// The OS error of `key`'s last failed transfer, kept when net_check returned 2 and dropped its connection:
// what its report gives as GetOSErr (an errno value, or 20009 no socket, 20010 short write, 20011 no
// address), ETIMEDOUT for a time-out, 0 when it failed without one (a status outside 2xx). 0 while a
// transfer runs or after one succeeded. Main thread.
int HTTP_failure_error(int key);

// True when `key`'s last failed transfer failed on this machine: its output file could not be made,
// written, flushed or closed (a full disk, a quota, an I/O error, a read-only file system, no descriptor
// left), or no thread or descriptor was left to look up the host or move the bytes (socket() failing with
// EMFILE, ENFILE, ENOBUFS or ENOMEM among them); HTTP_failure_error gives that errno (20010 for a short
// write without one). Another server would meet it too. A body past its cap (EFBIG) is not one. Main
// thread.
bool HTTP_failure_on_this_machine(int key);

// How far the answer of `key`'s last failed transfer came: -1 when no byte of one did (the connection
// failed, or the peer closed it or kept silent before answering), 0 when bytes did that formed no status
// line (part of one, or another protocol's), else the status of the last status line read (a 404; a
// proxy's own 407; the final one once its head was in). -1 while a transfer runs or after one succeeded.
// Main thread.
int HTTP_failure_status(int key);

// The percent of `key`'s transfer: -1 while its host is looked up (as while it connects), 0 with no
// connection, else HTTP_percent_complete (-1 when unknown).
float HTTP_key_percent(int key);

// Why the last failed transfer of `key` failed, as the user may read it: for bytes that cannot begin an
// HTTP answer (a line before any status line that is none, or a first line that does not begin with
// "HTTP/": a TLS alert, an SSH banner), "The answer was not HTTP", however the stream ended after them (a
// close, a reset, a silence); else the error's sentence (FILE_error_text: "Connection refused", "We could
// not find the server over the network"), else the server's status as it sent it ("404 Not Found"), else,
// for an answer that ended before its head or its announced length was in, "The server's answer ended
// early", for a connection closed before a byte of an answer came, "The connection was closed without an
// answer", and for a body without a length, closed, the sentence that says so; a time-out once a byte of
// the answer came reads "The server stopped sending" when nothing came for the last half of the slow-body
// window, else "The server sent too slowly" (translated). The answers refused by design have sentences of
// their own (a transfer coding such as chunked, two lengths, a head past 64 KB). Empty when no transfer of
// the key has failed. Main thread.
std::string HTTP_failure_text(int key);

// The transfers under way: a host look-up not answered yet, or a connection connecting, sending, waiting for
// its head or receiving its body. A connection kept alive after its transfer does not count. Main thread.
int HTTP_transfers_running();

// Drops the transfer of `key`, closing its file unchecked and its socket, so that the next request on the
// key starts afresh. Main thread.
void HTTP_drop(int key);

// bytes received * 100 / content length; -1 when the length is unknown.
float HTTP_percent_complete(const http_connection* c);

// | 0 | no socket                                  |
// | 1 | connecting                                 |
// | 2 | socket error                               |
// | 3 | socket closed, body complete, or the peer ended the stream and every byte was taken |
// | 4 | request bytes still to send                |
// | 6 | waiting for the response headers           |
// | 5 | receiving the body                         |
int HTTP_conn_state(const http_connection* c);

// True when `c` may carry the next request to `ipv4`:`port`: no "close" among the Connection options (and
// "keep-alive" among them after an HTTP/1.0 response), same address and port, connected, no end of stream,
// nothing unread, and the peer has not closed the idle connection.
bool HTTP_conn_reusable(http_connection* c, uint32_t ipv4, int port);

std::string HTTP_status_text(const http_connection* c);

// Resets the connection's response state and queues "GET" (or "POST" with a body) of the absolute URI
// "http://" + Host header + path (every byte outside RFC 3986's unreserved set and '/' as "%XX", upper-case
// hex) with `headers` in name order. The output file is
// `output_path` made absolute (none when empty). A path with a control byte (below 0x20, or 0x7F), or a
// Host with a blank or control byte, or any header holding CR or LF, queues nothing and sets OS error 22.
void HTTP_send_request(http_connection* c, const std::string& path, bool with_body,
                       const std::map<std::string, std::string>& headers, const char* body, int body_length,
                       const std::string& output_path);

// One pass: send what is queued, read until the socket would block or 1 MiB is in, parse the header blocks
// and write the body bytes from the read buffer straight to the file.
// The I/O thread runs it under HTTP_io_lock (its one read buffer is shared by every connection).
void HTTP_pump(http_connection* c);

// Base64 (standard alphabet, '=' padding).
std::string HTTP_base64(const std::string& in);
