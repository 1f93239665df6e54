// INST_fetch_limits: transfer byte caps and the retry pacing of the server-list and directory fetches.
#include "installer/INST_fetch_limits.h"

#include <algorithm>
#include <cmath>

#include "base/FILE_error_text.h"
#include "base/FILE_special.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "base/PREF_file.h"
#include "base/http.h"

#include "installer/INST_download.h"
#include "installer/INST_globals.h"

namespace {

constexpr float first_wait = 1.0f;
constexpr float longest_wait = 30.0f;

struct pacing {
    float wait = 0.0f;      // the wait after the last failure; 0 after a success or before any try
    float failed_at = 0.0f; // INST_download_clock seconds
    float next_try = 0.0f;
    std::string host, why; // of the last failure
    std::string port;      // a proxy setting that is not valid: its port field (empty when none)
    fetch_fault fault = INST_fetch_unreached;
};

// The status line's singular and plural forms, by fault.
const char* const failure_forms[4][2] = {
    {"I could not reach %1:server name%: %2:error%. I will try again in %3:seconds% second.",
     "I could not reach %1:server name%: %2:error%. I will try again in %3:seconds% seconds."},
    {"%1:server name% did not send the file: %2:error%. I will try again in %3:seconds% second.",
     "%1:server name% did not send the file: %2:error%. I will try again in %3:seconds% seconds."},
    {"I could not read the server list from %1:server name%: %2:error%. I will try again in %3:seconds% "
     "second.",
     "I could not read the server list from %1:server name%: %2:error%. I will try again in %3:seconds% "
     "seconds."},
    // One form, without a count or a promise: the alert that this file brings ends the run.
    {"The file from %1:server name% is not a server list this installer can read.",
     "The file from %1:server name% is not a server list this installer can read."},
};

// This machine's failure names no server but the folder the file went to, and says which fetch it spoiled,
// by fetch kind.
const char* const here_forms[2][2] = {
    {"I could not save the server list in %1:folder%: %2:error%. I will try again in %3:seconds% second.",
     "I could not save the server list in %1:folder%: %2:error%. I will try again in %3:seconds% seconds."},
    {"I could not save the file list in %1:folder%: %2:error%. I will try again in %3:seconds% second.",
     "I could not save the file list in %1:folder%: %2:error%. I will try again in %3:seconds% seconds."},
};

// Proxy fields that name no proxy the client can use: they are named as typed, without and with a port.
const char* const bad_proxy_forms[2][2] = {
    {"The proxy setting %1:proxy host% is not valid. I will try again in %3:seconds% second.",
     "The proxy setting %1:proxy host% is not valid. I will try again in %3:seconds% seconds."},
    {"The proxy setting %1:proxy host% with port %2:proxy port% is not valid. I will try again in "
     "%3:seconds% second.",
     "The proxy setting %1:proxy host% with port %2:proxy port% is not valid. I will try again in "
     "%3:seconds% seconds."},
};

// A directory archive that came but cannot be expanded: the server sent it, damaged.
const char* const file_list_unreadable_forms[2] = {
    "I could not read the file list from %1:server name%: %2:error%. I will try again in %3:seconds% second.",
    "I could not read the file list from %1:server name%: %2:error%. I will try again in %3:seconds% "
    "seconds.",
};

// The work folder as the status line names it: without its final '/'.
std::string work_folder_name() {
    std::string folder = INST_work_path("");
    if (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

// One pacing per fetch kind; main thread only.
pacing paced[2];

} // namespace

int64_t INST_package_byte_cap(float download_kb) {
    if (!(download_kb > 0.0f))
        return int64_t{4} << 30;
    return static_cast<int64_t>(static_cast<double>(download_kb) * 2000.0) + (int64_t{1} << 20);
}

bool INST_fetch_due(fetch_kind kind) {
    // A clock that went back (a new clock source) does not make the wait longer.
    const float now = INST_download_clock();
    return now >= paced[kind].next_try || now < paced[kind].failed_at;
}

fetch_fault INST_transfer_fault(int key) {
    if (HTTP_failure_on_this_machine(key))
        return INST_fetch_here;
    const int error = HTTP_failure_error(key);
    const int answer = HTTP_failure_status(key);
    if (error == HTTP_bad_proxy_error)
        return INST_fetch_bad_proxy;
    // Through a proxy, an answer that never began is the proxy's (the server asked is behind it), and so
    // are bytes that formed no status line (no HTTP answer came, from the server nor from the proxy: a port
    // that speaks another protocol) and its own refusal of the request.
    if (!HTTP_proxy().host.empty() && ((answer == -1 && error == 0) || answer == 0 || answer == 407))
        return INST_fetch_proxy_refused;
    // Once a byte of its answer came, the server asked was reached, whatever went wrong then: an answer
    // refused by design or past the cap, a time-out, a server that stopped sending.
    if (error == 0 || answer >= 0)
        return INST_fetch_not_sent;
    return INST_fetch_unreached;
}

void INST_fetch_failed(fetch_kind kind, const std::string& host, const std::string& why, fetch_fault fault) {
    pacing& p = paced[kind];
    p.wait = p.wait > 0.0f ? std::min(p.wait * 2.0f, longest_wait) : first_wait;
    p.failed_at = INST_download_clock();
    p.next_try = p.failed_at + p.wait;
    // With a proxy, only a failure to reach it and its own refusal are the proxy's; whatever else went
    // wrong is the answer of the server asked, which the proxy passed on.
    const http_proxy proxy = HTTP_proxy();
    const bool proxys = fault == INST_fetch_unreached || fault == INST_fetch_proxy_refused;
    p.host = proxys && !proxy.host.empty() ? proxy.host : host;
    p.why = why;
    if (fault == INST_fetch_here) {
        // Without a work folder, the folder it was tried in and why it could not be made: the stand-in's
        // own failure says nothing.
        std::string tried;
        const int error = FILE_work_folder_failure(tried);
        p.host = error != 0 && tried.size() > 1 ? tried.substr(0, tried.size() - 1) : work_folder_name();
        if (error != 0)
            FILE_error_text(p.why, error);
    }
    p.port.clear();
    if (fault == INST_fetch_bad_proxy) {
        p.host = proxy.host;
        p.port = proxy.port_text;
    }
    p.fault = fault;
    if (PREF_installer.log_actions) {
        LOG_stream << INST_fetch_failure_line(kind) << "\n";
        LOG_stream.flush();
    }
}

std::string INST_fetch_failure_line(fetch_kind kind) {
    const pacing& p = paced[kind];
    const float now = INST_download_clock();
    if (p.wait <= 0.0f || now >= p.next_try || now < p.failed_at)
        return "";
    // The clock's float sums are not exact: a wait of 1 s just begun reads 1, not 2.
    const float left = std::min(p.wait, p.next_try - now);
    const int seconds = std::max(1, static_cast<int>(std::ceil(left - 0.001f)));
    std::string form, line;
    const char* const* forms =
        p.fault == INST_fetch_bad_proxy ? bad_proxy_forms[p.port.empty() ? 0 : 1]
        : p.fault == INST_fetch_here    ? here_forms[kind]
        : p.fault == INST_fetch_unreadable && kind == INST_directory_fetch
            ? file_list_unreadable_forms
            : failure_forms[p.fault == INST_fetch_proxy_refused ? INST_fetch_not_sent : p.fault];
    LANG_translate_count(form, seconds, forms[0], forms[1]);
    LANG_subst3(line, form, p.host, p.fault == INST_fetch_bad_proxy ? p.port : p.why,
                std::to_string(seconds));
    return line;
}

void INST_fetch_succeeded(fetch_kind kind) { paced[kind] = pacing{}; }

float INST_fetch_wait(fetch_kind kind) { return paced[kind].wait; }
