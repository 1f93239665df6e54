// INST_download: the per-frame download step, package expansion and the reset of the download state.
#include "installer/INST_download.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "base/APP_alert.h"
#include "base/APP_clock.h"
#include "base/FILE_compress.h"
#include "base/FILE_error_text.h"
#include "base/FILE_ops.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "base/PREF_file.h"
#include "base/http.h"
#include "base/http_io.h"
#include "installer/INST_expand.h"
#include "installer/INST_expand_queue.h"
#include "installer/INST_fetch_limits.h"
#include "installer/INST_format.h"
#include "installer/INST_globals.h"
#include "installer/INST_running_md5.h"
#include "installer/INST_work_lock.h"

download_dispenser INST_dispenser;
int INST_last_action = 0;
float INST_last_fraction = 0.0f;
std::string INST_last_file_name;
int install_failed = 0;
std::set<std::string> INST_emptied_folders;

namespace {

// Main thread only: the clock source a test installed, null for the frame clock.
struct download_state {
    float (*clock_source)() = nullptr;
    // The stage folder of each destination folder that has jobs in flight, and how many: made for the
    // first and removed (dropping its lock's descriptor) when the last is taken back, so that the
    // descriptors held follow the work in flight, not the number of folders in the copy.
    struct stage_use {
        std::string path;
        int jobs = 0;
    };
    std::map<std::string, stage_use> stages;
    // When the step was last called, and the longest time between two calls since the download began.
    std::chrono::steady_clock::time_point last_call;
    std::chrono::steady_clock::duration longest_gap{};
} state;

// How long a failing server sits out, in seconds of the clock.
constexpr float bench_seconds = 30.0f;
// HTTP caller keys of the slots start here (0 and 1 belong to the server list and directory fetches).
constexpr int first_slot_key = 5;
// Download files per slot: a slot fetches its next package while this many of its last ones expand.
constexpr size_t files_per_slot = 3;
// A package fails the install once it failed this many times on every server.
constexpr int failures_per_server = 5;
// The code of a package whose contents are not what its record names.
constexpr int wrong_package = 20002;
// The code of an archive that cannot be opened.
constexpr int bad_archive = 20001;
// The code of an archive holding a name that leads outside the folder.
constexpr int refused_name = 20014;

bool log_actions() { return PREF_installer.log_actions != 0; }

// What a failed check is called in the alert's "Error:" line.
constexpr const char check_failed[] = "The downloaded file does not have the checksum it should have.";

// The alert of a package that could not be put into place. One whose transfer failed (`downloading`: no
// server delivered it, or its download file could not be written here) was never extracted, and its alert
// says so: "The installer cannot download a file." and "File: " in place of the first and third lines.
void report_expand_failure(const std::string& package, const std::string& destination, int code,
                           const std::string& why, bool downloading = false) {
    if (code == wrong_package && !why.empty())
        LOG_text("EXPANDING: " + package + " failed its check: " + why + ".\n");
    std::string l1, l2, l3, l4, text;
    if (downloading)
        LANG_translate(l1, "The installer cannot download a file.");
    else
        LANG_translate(l1, "The installer cannot extract a file.");
    LANG_translate(l2, "Error: ");
    if (code == wrong_package && why == "signature mismatch")
        LANG_translate(text, check_failed);
    else if (code != wrong_package && !why.empty())
        text = why; // the server's own answer, such as "404 Not Found"
    else
        FILE_error_text(text, code);
    l2 += text;
    if (downloading)
        LANG_translate(l3, "File: ");
    else
        LANG_translate(l3, "Compressed File: ");
    l3 += package;
    LANG_translate(l4, "Destination: ");
    l4 += destination;
    APP_alert(0, l1, l2, l3, l4, 1, "utils", 437);
}

// Ends the install: the first failure of a download is reported, the rest only set the flag (a full disk
// fails every expansion in flight, and one alert says it).
void fail_install(const std::string& package, const std::string& destination, int code,
                  const std::string& why, bool downloading = false) {
    if (install_failed)
        return;
    install_failed = 1;
    report_expand_failure(package, destination, code, why, downloading);
}

// True for a failure the server's copy of a package can cause (a damaged or wrong archive, a short read,
// a failed check): another server may have it right. The rest (errno, a failed write) are this machine's.
bool package_fault(int code) {
    return code < 0 || code == bad_archive || code == wrong_package || code == refused_name;
}

// The error of slot key `key`'s failed transfer, as the HTTP client kept it; EIO when it kept none.
int transfer_error(int key) {
    const int code = HTTP_failure_error(key);
    return code != 0 ? code : EIO;
}

// True when slot `i` may still try package `k`.
bool slot_may_take(const download_dispenser& d, int i, int k) {
    auto it = d.failures.find(k);
    return it == d.failures.end() || static_cast<size_t>(i) >= it->second.per_slot.size() ||
           it->second.per_slot[static_cast<size_t>(i)] < failures_per_server;
}

// The first package of the retry list that slot `i` may take, taken off the list; -1 when none.
int take_retry(download_dispenser& d, int i) {
    for (auto it = d.retry_list.begin(); it != d.retry_list.end(); ++it)
        if (slot_may_take(d, i, *it)) {
            const int k = *it;
            d.retry_list.erase(it);
            return k;
        }
    return -1;
}

// Slot i failed to deliver package k (the transfer, or a package that failed its check): the server is
// benched and the failure counted. Package k goes to the retry list; when the slot is still on k (its
// transfer failed) it wants work again, else (an expansion taken back) it keeps the transfer it is on, and
// polls it again once the bench is over. Once every server has failed the package often enough, it leaves
// the retry list and fails the install with the alert (a download's when this failure was the transfer).
void count_failure(int i, int k, int code, const std::string& why, const std::string& url,
                   const std::string& local, bool downloading) {
    download_dispenser& d = INST_dispenser;
    if (static_cast<size_t>(i) < d.slots.size()) {
        download_slot& s = d.slots[static_cast<size_t>(i)];
        if (s.state == 0 && s.package_index == k) {
            INST_bench_slot(i);
        } else {
            d.retry_list.push_back(k);
            s.retry_time = INST_download_clock() + bench_seconds;
            LANG_translate(s.status_text, "Server is not responding normally.");
        }
    }
    package_failures& f = d.failures[k];
    const size_t servers = INST_servers.servers.size();
    if (f.per_slot.size() < servers)
        f.per_slot.resize(servers, 0);
    if (static_cast<size_t>(i) < f.per_slot.size())
        ++f.per_slot[static_cast<size_t>(i)];
    for (int count : f.per_slot)
        if (count < failures_per_server)
            return;
    d.retry_list.remove(k);
    LOG_text("DOWNLOADING: " + url + " failed " + std::to_string(failures_per_server) +
             " times on every server; the install stops.\n");
    fail_install(url, local, code, why, downloading);
}

// Every folder of `local` below the install folder, from its parent upwards, into the emptied set.
void remember_emptied_folders(const std::string& local) {
    std::string folder;
    FILE_parent_folder(folder, local);
    while (folder.size() > INST_install_folder.size()) {
        INST_emptied_folders.insert(folder);
        std::string cut = folder.substr(0, folder.size() - 1), up;
        FILE_parent_folder(up, cut);
        if (up.size() >= folder.size())
            break;
        folder = up;
    }
}

void remove_emptied_folders() {
    for (auto it = INST_emptied_folders.rbegin(); it != INST_emptied_folders.rend(); ++it) {
        std::vector<std::string> names;
        std::vector<int> types;
        if (FILE_list_folder(*it, 0, names, types) > 0) // the count; a folder that is gone lists nothing
            continue;
        const int result = FILE_delete(*it);
        // rmdir only: a folder that still holds a hidden file stays, and says so.
        if (log_actions() || (result != 0 && result != ENOENT))
            LOG_text("cleanup: DELETING  file " + *it + ", with result=" + std::to_string(result) + ".\n");
    }
}

// The body bytes of `key`'s transfer written to its file so far (an atomic count the I/O thread keeps; the
// client writes unbuffered, so each counted byte is in the file and may be read).
int64_t written_bytes(int key) {
    auto& slots = HTTP_manager().slots;
    auto it = slots.find(key);
    if (it == slots.end() || !it->second)
        return 0;
    return it->second->connection ? it->second->connection->bytes_received.load() : 0;
}

// True for a package whose MD5 is computed while it downloads: a plain file with a signature to meet.
bool hashed_on_arrival(const std::string& suffix, const std::string& sig_want) {
    return suffix.empty() && INST_is_md5_hex(sig_want);
}

// Drops the HTTP transfer of `key`, closing its file, so the next request on the key starts afresh.
void drop_transfer(int key) { HTTP_drop(key); }

// The planned deletion of entry k's file; the slot then wants new work.
void delete_planned(file_record& r, const std::string& local) {
    INST_last_action = 0;
    FILE_clear_read_only(local);
    const int result = FILE_delete(local);
    if (log_actions() || (result != 0 && result != ENOENT))
        LOG_text("now we want to nuke a file: DELETING  file " + local +
                 ", with result=" + std::to_string(result) + ".\n");
    if (result == 0 || result == ENOENT) {
        r.sig_have = "NONE";
        r.matches = 0;
    } else if (!install_failed) {
        // The file stays where the new version no longer wants it: the update did not come out right.
        install_failed = 1;
        std::string l1, l2, text;
        LANG_translate(l1, "The installer cannot delete a file.");
        LANG_translate(l2, "Error: ");
        FILE_error_text(text, result);
        APP_alert(0, l1, l2 + text, local, "", 1, "utils", 451);
    }
    remember_emptied_folders(local);
}

void log_expanded(const std::string& destination, int result) {
    if (log_actions())
        LOG_text("EXPANDING file " + destination + ", with result=" + std::to_string(result) + ".\n");
}

// The expansion `job` was taken back: its slot's download file is free again, and its sizes leave the
// dispenser's sizes being expanded.
void release_job(const INST_expansion& job) {
    download_dispenser& d = INST_dispenser;
    if (static_cast<size_t>(job.slot) < d.slots.size()) {
        download_slot& s = d.slots[static_cast<size_t>(job.slot)];
        if (job.file >= 0 && static_cast<size_t>(job.file) < s.files_busy.size())
            s.files_busy[static_cast<size_t>(job.file)] = false;
        if (s.expanding > 0)
            --s.expanding;
    }
    d.size_expanding = std::max(0.0f, d.size_expanding - job.download_kb);
    d.size_expanding_expanded = std::max(0.0f, d.size_expanding_expanded - job.expanded_kb);
}

// The job taken back no longer uses its stage folder; the folder goes when no other job of its folder does.
void leave_stage(const INST_expansion& job) {
    if (job.stage.empty())
        return;
    std::string folder;
    FILE_parent_folder(folder, job.destination);
    const auto it = state.stages.find(folder);
    if (it == state.stages.end() || it->second.path != job.stage || --it->second.jobs > 0)
        return;
    INST_remove_stage_folder(it->second.path);
    state.stages.erase(it);
}

// A finished expansion, applied on the main thread in the call that takes it: the record, the sizes, and
// for a failure the retry on another server (20002) or the end of the install.
void apply_expansion(const INST_expansion& job) {
    leave_stage(job);
    download_dispenser& d = INST_dispenser;
    package_list& list = INST_directory.packages;
    if (static_cast<size_t>(job.slot) >= d.slots.size() || static_cast<size_t>(job.package) >= list.size() ||
        list[static_cast<size_t>(job.package)].empty())
        return;
    download_slot& slot = d.slots[static_cast<size_t>(job.slot)];
    file_record& r = list[static_cast<size_t>(job.package)].back();
    release_job(job);
    log_expanded(job.destination, job.code);
    if (package_fault(job.code)) {
        // A mirror that serves a broken package: another server may have it right.
        LOG_text("EXPANDING: " + job.url +
                 (job.code == wrong_package ? " failed its check: " + job.why
                                            : " failed with error " + std::to_string(job.code)) +
                 "; another server is tried.\n");
        count_failure(job.slot, job.package, job.code, job.why, job.url, job.destination, false);
        return;
    }
    d.size_downloaded += r.download_kb;
    slot.size_finished += r.download_kb;
    if (job.code == 0) {
        r.sig_have = r.sig_want;
        r.matches = 1;
        d.size_expanded += r.expanded_kb;
    } else {
        fail_install(job.url, job.destination, job.code, job.why);
    }
}

// Waits for every expansion in flight. What they installed is recorded; nothing else is reported, as the
// download is being left.
void finish_expansions() {
    package_list& list = INST_directory.packages;
    for (const INST_expansion& job : INST_expansion_release()) {
        log_expanded(job.destination, job.code);
        release_job(job);
        leave_stage(job);
        if (job.code == 0 && static_cast<size_t>(job.package) < list.size() &&
            !list[static_cast<size_t>(job.package)].empty()) {
            file_record& r = list[static_cast<size_t>(job.package)].back();
            r.sig_have = r.sig_want;
            r.matches = 1;
        }
    }
}

} // namespace

float INST_download_clock() { return state.clock_source ? state.clock_source() : APP_elapsed_seconds(); }

void INST_set_download_clock(float (*source)()) { state.clock_source = source; }

int INST_next_work_item(int i, int n) {
    download_dispenser& d = INST_dispenser;
    if (i < 0)
        return n;
    while (d.slots.size() <= static_cast<size_t>(i)) {
        download_slot fresh;
        fresh.retry_time = INST_download_clock();
        d.slots.push_back(fresh);
    }
    download_slot& s = d.slots[static_cast<size_t>(i)];
    // A slot that ran out of packages still takes a waiting retry: otherwise a package whose server keeps
    // failing is only ever retried by that server, and the install never ends.
    const bool idle_with_retry_waiting = s.package_index >= n && !d.retry_list.empty();
    if (s.state == 0 && !idle_with_retry_waiting)
        return s.package_index;
    // New entries first: a package that failed waits its turn behind them, so packages that can never be
    // fetched cannot keep every slot from the rest of the list.
    int retry = -1;
    if (d.next_index < n) {
        s.package_index = d.next_index;
        d.next_index = std::clamp(d.next_index + 1, 0, n < 0 ? 0 : n);
    } else if ((retry = take_retry(d, i)) >= 0) {
        s.package_index = retry;
    } else {
        s.package_index = n < 0 ? 0 : n;
    }
    s.state = 0;
    return s.package_index;
}

void INST_bench_slot(int i) {
    download_dispenser& d = INST_dispenser;
    if (i < 0 || static_cast<size_t>(i) >= d.slots.size())
        return;
    download_slot& s = d.slots[static_cast<size_t>(i)];
    d.retry_list.push_back(s.package_index);
    s.state = 1;
    s.retry_time = INST_download_clock() + bench_seconds;
    LANG_translate(s.status_text, "Server is not responding normally.");
}

std::string INST_archive_suffix(int k) {
    const package_list& list = INST_directory.packages;
    if (k < 0 || static_cast<size_t>(k) >= list.size() || list[static_cast<size_t>(k)].empty())
        return "";
    const int kind = list[static_cast<size_t>(k)].back().archive_kind;
    if (kind == 64)
        return ".zip";
    if (kind == 128)
        return ".7z";
    return "";
}

int INST_expand_download(const std::string& archive, const std::string& destination,
                         const std::string& sig_want, float expanded_kb) {
    std::string why;
    const int result =
        INST_expand_into_place(archive, INST_package_kind(archive), destination, sig_want, expanded_kb, &why);
    if (result != 0) {
        install_failed = 1;
        report_expand_failure(archive, destination, result, why);
    }
    if (log_actions())
        LOG_text("EXPANDING file " + destination + ", with result=" + std::to_string(result) + ".\n");
    return result;
}

// Download file `file` of slot `i`'s pool, written over by each package that comes in it.
static std::string slot_file(size_t i, int file) {
    return INST_work_path(std::to_string(i) + "-" + std::to_string(file) + ".download");
}

// True when slot `s` has a download file free, or may make one.
static bool has_free_file(const download_slot& s) {
    return s.files_busy.size() < files_per_slot ||
           std::find(s.files_busy.begin(), s.files_busy.end(), false) != s.files_busy.end();
}

// A free file of slot `s`'s pool, marked busy (the pool grows up to its bound); -1 when all are busy.
static int take_file(download_slot& s) {
    for (size_t f = 0; f < s.files_busy.size(); ++f)
        if (!s.files_busy[f]) {
            s.files_busy[f] = true;
            return static_cast<int>(f);
        }
    if (s.files_busy.size() >= files_per_slot)
        return -1;
    s.files_busy.push_back(true);
    return static_cast<int>(s.files_busy.size()) - 1;
}

// The stage folder beside the folder of `destination` for a job about to be posted, which leave_stage
// gives back ("" when none can be made there: the expansion then makes its own, and reports why it cannot).
static std::string stage_for(const std::string& destination) {
    std::string folder;
    FILE_parent_folder(folder, destination);
    auto it = state.stages.find(folder);
    if (it == state.stages.end()) {
        const std::string stage = INST_make_stage_folder(folder);
        if (stage.empty())
            return "";
        it = state.stages.emplace(folder, download_state::stage_use{.path = stage}).first;
    }
    ++it->second.jobs;
    return it->second.path;
}

// Drops the transfer of every slot that is busy with a package; deletes the slots' download files and the
// stage folders (no expansion may be in flight).
static void abandon_transfers() {
    download_dispenser& d = INST_dispenser;
    const int n = static_cast<int>(INST_directory.packages.size());
    for (size_t i = 0; i < d.slots.size(); ++i) {
        const int k = d.slots[i].package_index;
        if (k >= 0 && k < n)
            drop_transfer(static_cast<int>(i) + first_slot_key);
        INST_running_md5_cancel(d.slots[i].md5);
        d.slots[i].md5 = nullptr;
        for (size_t f = 0; f < d.slots[i].files_busy.size(); ++f)
            FILE_delete(slot_file(i, static_cast<int>(f)));
    }
    for (const auto& [folder, stage] : state.stages)
        INST_remove_stage_folder(stage.path);
    state.stages.clear();
}

// A benched slot that will find nothing to take when its bench ends: the step does not wait for it.
static bool idle_on_the_bench(const download_slot& s, const download_dispenser& d, int n) {
    return s.state == 1 && s.expanding == 0 && INST_download_clock() < s.retry_time && d.next_index >= n &&
           d.retry_list.empty();
}

// One pass over the finished expansions and the slots (see INST_download_step).
static int download_pass() {
    download_dispenser& d = INST_dispenser;
    package_list& list = INST_directory.packages;
    const int n = static_cast<int>(list.size());

    d.size_in_progress = 0.0f;
    for (download_slot& s : d.slots)
        s.size_in_progress = 0.0f;
    INST_expansion finished;
    while (INST_expansion_take(finished))
        apply_expansion(finished);

    // Once the install failed (an expansion taken back above, a deletion, a package no server delivers),
    // no slot takes more work.
    const int servers = static_cast<int>(INST_servers.servers.size());
    for (int i = 0; i < servers && !install_failed; ++i) {
        // A slot that holds no transfer waits out its bench, and while every file of its pool is still
        // being expanded; one benched for an expansion taken back goes on with the transfer it holds.
        if (static_cast<size_t>(i) < d.slots.size()) {
            const download_slot& s = d.slots[static_cast<size_t>(i)];
            const bool holds_transfer = s.state == 0 && s.package_index < n;
            if (!holds_transfer && (INST_download_clock() < s.retry_time || !has_free_file(s)))
                continue;
        }
        const int k = INST_next_work_item(i, n);
        if (k >= n)
            continue;
        download_slot& slot = d.slots[static_cast<size_t>(i)];
        package_entry& entry = list[static_cast<size_t>(k)];
        if (entry.empty()) {
            slot.state = 1;
            continue;
        }
        file_record& r = entry.back();
        const server_record& server = INST_servers.servers[static_cast<size_t>(i)];
        const std::string suffix = INST_archive_suffix(k);
        const std::string url = server.base_path + r.path + suffix;
        const std::string local = INST_install_folder + r.path;
        FILE_last_component(INST_last_file_name, url);

        if (!r.path.empty() && r.path.back() == '/') {
            APP_alert(0, "I am working through the list and found a path that has no file!",
                      "This is impossible to download or delete!", "It is:", r.path, 2, "utils", 513);
            slot.state = 1;
            continue;
        }

        bool wants_work = true;
        if (r.plan_delete) {
            delete_planned(r, local);
        } else if (!r.plan_download) {
            INST_last_action = r.matches ? 2 : 3;
        } else {
            INST_last_action = 1;
            if (slot.file < 0 && (slot.file = take_file(slot)) < 0)
                continue; // cannot be: a slot takes work only with a file free
            const std::string download = slot_file(static_cast<size_t>(i), slot.file);
            const int key = i + first_slot_key;
            const int result =
                net_check(key, server.host, url, download, INST_package_byte_cap(r.download_kb));
            if (result == 0 && hashed_on_arrival(suffix, r.sig_want)) {
                // Without a thread for it (none could be made) the expansion job hashes the whole file.
                if (!slot.md5)
                    slot.md5 = INST_running_md5_start(download);
                INST_running_md5_allow(slot.md5, written_bytes(key));
            }
            if (result == 0) {
                INST_last_fraction = INST_download_percent(i + first_slot_key) * 0.01f;
                // An unknown length reads as -0.01: it counts as nothing received, not as a loss.
                const float received =
                    r.download_kb * (INST_last_fraction > 0.0f ? INST_last_fraction : 0.0f);
                d.size_in_progress += received;
                slot.size_in_progress += received;
                wants_work = false;
            } else if (result == 2) {
                const int code = transfer_error(i + first_slot_key);
                INST_running_md5_cancel(slot.md5);
                slot.md5 = nullptr;
                FILE_delete(download); // what arrived of a failed transfer is of no use
                slot.files_busy[static_cast<size_t>(slot.file)] = false;
                slot.file = -1;
                if (HTTP_failure_on_this_machine(key)) {
                    // The download file could not be written here (a full disk, say), or no thread or
                    // descriptor was left: every server would meet the same, so none is benched and the
                    // install ends now. The alert names the file in the work folder, whose disk it is.
                    LOG_text("DOWNLOADING: " + server.host + url + " failed on this machine (" + download +
                             ", error " + std::to_string(code) + "); the install stops.\n");
                    fail_install(download, local, code, "", true);
                } else {
                    // A server's refusal (a status outside 2xx) has no OS error: its status says what failed.
                    const std::string why = HTTP_failure_error(key) == 0 ? HTTP_failure_text(key) : "";
                    count_failure(i, k, code, why, server.host + url, local, true);
                }
            } else {
                // Expanded off the main thread with its file, which stays busy until a later call takes the
                // result back and applies it; the slot fetches its next package meanwhile.
                const INST_expansion job{.slot = i,
                                         .package = k,
                                         .archive = download,
                                         .suffix = suffix,
                                         .destination = local,
                                         .stage = stage_for(local),
                                         .sig_want = r.sig_want,
                                         .expanded_kb = r.expanded_kb,
                                         .download_kb = r.download_kb,
                                         .url = server.host + url,
                                         .code = 0,
                                         .why = "",
                                         .file = slot.file,
                                         .md5 = slot.md5,
                                         .bytes = slot.md5 ? written_bytes(key) : 0};
                slot.md5 = nullptr;
                ++slot.expanding;
                d.size_expanding += r.download_kb;
                d.size_expanding_expanded += r.expanded_kb;
                slot.file = -1;
                INST_expansion_post(job);
            }
        }
        if (wants_work)
            slot.state = 1;
    }

    // A package waiting for another server to take it keeps the step going.
    if (!d.retry_list.empty() && !install_failed)
        return 0;
    for (const download_slot& s : d.slots)
        if ((s.package_index < n && (install_failed || !idle_on_the_bench(s, d, n))) || s.expanding > 0) {
            // A failed expansion ends the download: the other slots' transfers stop here too, and their
            // partial files go.
            if (install_failed) {
                finish_expansions();
                abandon_transfers();
            }
            return install_failed;
        }

    abandon_transfers(); // nothing is left to transfer: this removes the run's files
    remove_emptied_folders();
    return 1;
}

// The longest time between two calls of the download step, written to the log (with the actions) when
// the download ends: how long the window went without a frame while packages moved and expanded.
static void time_the_frame(std::chrono::steady_clock::time_point now) {
    if (state.last_call != std::chrono::steady_clock::time_point())
        state.longest_gap = std::max(state.longest_gap, now - state.last_call);
    state.last_call = now;
}

int INST_download_step() {
    time_the_frame(std::chrono::steady_clock::now());
    const int result = download_pass();
    if (result == 1 && log_actions())
        LOG_text(
            "DOWNLOADING: the longest frame took " +
            std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(state.longest_gap).count()) +
            " ms.\n");
    return result;
}

void INST_reset_downloads() {
    download_dispenser& d = INST_dispenser;
    finish_expansions();
    abandon_transfers();
    d.next_index = 0;
    d.retry_list.clear();
    d.failures.clear();
    d.slots.clear();
    d.start_time = INST_download_clock();
    d.size_in_progress = 0.0f;
    d.size_downloaded = 0.0f;
    d.size_expanded = 0.0f;
    d.size_expanding = 0.0f;
    d.size_expanding_expanded = 0.0f;
    state.last_call = {};
    state.longest_gap = {};
}
