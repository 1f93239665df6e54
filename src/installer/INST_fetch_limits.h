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

// True when `kind` may start a transfer now: it has not failed, or its wait is over.
bool INST_fetch_due(fetch_kind kind);
// The transfer (or the reading of what it brought) failed: the next try waits. `host` is whom the fetch
// tried to reach and `why` the error's text; with actions logged, INST_fetch_failure_line goes to the log.
void INST_fetch_failed(fetch_kind kind, const std::string& host = "", const std::string& why = "");
// It succeeded: no wait now, and 1 s after the next failure.
void INST_fetch_succeeded(fetch_kind kind);
// While `kind` waits to try again after a failure, the pages' status line, translated: "I could not reach
// <host>: <why>. I will try again in <n> seconds." (n the whole seconds left, rounded up; the singular form
// for 1). Empty when it has not failed since its last success or while it tries again.
std::string INST_fetch_failure_line(fetch_kind kind);

// The seconds the next try of `kind` waits for after the current failure; 0 when it has not failed.
float INST_fetch_wait(fetch_kind kind);
