// INST_fetch_limits: how many bytes the web roads' transfers may take, and how fast the server-list and
// directory fetches are tried again after a failure.
//
// DESIGN: a server decides what it sends, so every transfer is started with a cap on its body (net_check's
// max_body_bytes). The server list and the directory are fetched again until they succeed; a failure
// makes the next try wait, 1 s at first and twice as long after each further failure up to 30 s, and a
// success makes the next failure wait 1 s again. Time is INST_download_clock's. Main thread only.
#pragma once
#include <cstdint>
#include <string>

// The most bytes the server list or the zipped directory may take.
constexpr int64_t INST_listing_byte_cap = int64_t{64} << 20;

// The most bytes the package of a record whose download size is `download_kb` (kilobytes of 1,000 bytes)
// may take: twice that size plus 1 MiB; 4 GiB when the size is 0.
int64_t INST_package_byte_cap(float download_kb);

// The fetches that are paced.
enum fetch_kind { INST_server_list_fetch = 0, INST_directory_fetch = 1 };

// What went wrong with a fetch, which its status line tells.
enum fetch_fault {
    INST_fetch_unreached = 0, // the connection failed, or broke off before an answer: "I could not reach ..."
    INST_fetch_not_sent = 1,  // the server answered without the file (a status outside 2xx, a refused answer)
    INST_fetch_unreadable = 2,    // the server list arrived but cannot be read
    INST_fetch_too_new = 3,       // the file is not a server list of a version this installer reads
    INST_fetch_here = 4,          // this machine could not keep what came (a full disk, no descriptor left)
    INST_fetch_proxy_refused = 5, // the proxy refused the request itself (407), closed before answering or
                                  // sent no status line
    INST_fetch_bad_proxy = 6,     // the proxy fields name no proxy the client can use (HTTP_proxy)
};

// The fault of the failed transfer of HTTP key `key` (net_check returned 2): INST_fetch_here when it
// failed on this machine (HTTP_failure_on_this_machine: another server would meet the same);
// INST_fetch_bad_proxy when the proxy fields name no usable proxy; through a proxy,
// INST_fetch_proxy_refused when it refused the request itself (407 Proxy Authentication Required), the
// stream ended without a byte of an answer, or its bytes formed no status line; else INST_fetch_not_sent when
// the server answered (no OS error, or any error once a byte of its answer came: an answer refused by design,
// the byte cap's EFBIG, a time-out), else INST_fetch_unreached.
fetch_fault INST_transfer_fault(int key);

// True when `kind` may start a transfer now: it has not failed, or its wait is over.
bool INST_fetch_due(fetch_kind kind);
// The transfer (or the reading of what it brought) failed: the next try waits. `host` is the server the
// fetch asked, `why` the error's text and `fault` what went wrong; the line names `host`, or the proxy
// when one is set and the fault is INST_fetch_unreached or INST_fetch_proxy_refused, or the work folder
// (INST_work_path; when the run has none, the folder it was tried in, and why it could not be made) for
// INST_fetch_here, or the proxy fields as typed for INST_fetch_bad_proxy. With actions logged,
// INST_fetch_failure_line goes to the log.
void INST_fetch_failed(fetch_kind kind, const std::string& host = "", const std::string& why = "",
                       fetch_fault fault = INST_fetch_unreached);
// It succeeded: no wait now, and 1 s after the next failure.
void INST_fetch_succeeded(fetch_kind kind);
// While `kind` waits to try again after a failure, the pages' status line, translated, by the fault:
// | INST_fetch_unreached  | "I could not reach <host>: <why>. I will try again in <n> seconds."          |
// | INST_fetch_not_sent   | "<host> did not send the file: <why>. I will try ..."                        |
// | (and proxy_refused)   |                                                                              |
// | INST_fetch_unreadable | "I could not read the server list (the file list) from <host>: <why>. I ..." |
// | INST_fetch_too_new    | "The file from <host> is not a server list this installer can read."         |
// | INST_fetch_here       | "I could not save the server list (the file list) in <folder>: <why>. ..."   |
// | INST_fetch_bad_proxy  | "The proxy setting <host>[ with port <port>] is not valid. I will try ..."   |
// (n the whole seconds left, rounded up; the singular form for 1). Empty when it has not failed since its
// last success or while it tries again.
std::string INST_fetch_failure_line(fetch_kind kind);

// The seconds the next try of `kind` waits for after the current failure; 0 when it has not failed.
float INST_fetch_wait(fetch_kind kind);
