// INST_download: the per-frame download step, package expansion and the reset of the download state.
#include "installer/INST_download.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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
#include "installer/INST_fetch_limits.h"
#include "installer/INST_format.h"
#include "installer/INST_globals.h"

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
} state;

// How long a failing server sits out, in seconds of the clock.
constexpr float bench_seconds = 30.0f;
// HTTP caller keys of the slots start here (0 and 1 belong to the server list and directory fetches).
constexpr int first_slot_key = 5;

bool log_actions() { return PREF_installer.log_actions != 0; }

bool ends_with(const std::string& s, const char* tail) {
    const std::string t = tail;
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

bool is_md5_hex(const std::string& s) {
    if (s.size() != 32)
        return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

bool same_md5(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'F')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'F')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// 0 when the file at `path` has the MD5 `want`; 20002 when it differs; the hashing error otherwise.
int check_md5(const std::string& path, const std::string& want, const std::string& archive) {
    std::string have;
    const int err = FILE_md5_hex(path, have);
    if (err != 0)
        return err;
    if (same_md5(have, want))
        return 0;
    LOG_stream << "EXPANDING: " << archive << " gave a file whose signature " << have << " is not the wanted "
               << want << ".\n";
    return 20002;
}

std::string absolute(std::string path) {
    FILE_make_absolute(path);
    return path;
}

// Expands the archive into a private folder beside the destination, checks the destination's file there
// and renames it into place.
int expand_archive(const std::string& archive, const std::string& destination, const std::string& sig_want,
                   bool seven_zip) {
    std::string target;
    FILE_parent_folder(target, destination);
    std::string stage = absolute(target) + ".aerivon-unpack-XXXXXX";
    if (!mkdtemp(stage.data()))
        return errno ? errno : 20004;
    stage += '/';

    int err = seven_zip ? FILE_7z_to_folder(archive, stage) : zip_to_file(archive, stage);
    std::string name;
    FILE_last_component(name, destination);
    if (err == 0) {
        const std::string staged = stage + name;
        if (!FILE_is_file(staged)) {
            LOG_stream << "EXPANDING: " << archive << " does not hold the file " << name << ".\n";
            err = 20002;
        } else if (is_md5_hex(sig_want)) {
            err = check_md5(staged, sig_want, archive);
        }
        if (err == 0 && std::rename(staged.c_str(), absolute(destination).c_str()) != 0)
            err = errno ? errno : 20004;
    }
    std::vector<std::string> names;
    std::vector<int> types;
    FILE_list_folder(stage, 0, names, types);
    for (const std::string& other : names)
        if (other != name)
            LOG_stream << "EXPANDING: " << archive << " also holds " << other
                       << ", which is not installed.\n";
    FILE_delete_tree(stage);
    return err;
}

void report_expand_failure(const std::string& archive, const std::string& destination, int code) {
    std::string l1, l2, l3, l4, text;
    LANG_translate(l1, "The installer cannot extract a file.");
    LANG_translate(l2, "Error: ");
    FILE_error_text(text, code);
    l2 += text;
    LANG_translate(l3, "Compressed File: ");
    l3 += archive;
    LANG_translate(l4, "Destination: ");
    l4 += destination;
    APP_alert(0, l1, l2, l3, l4, 1, "utils", 437);
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
            LOG_stream << "cleanup: DELETING  file " << *it << ", with result=" << result << ".\n";
    }
}

// Drops the HTTP transfer of `key`, closing its file, so the next request on the key starts afresh.
void drop_transfer(int key) { HTTP_drop(key); }

// The planned deletion of entry k's file; the slot then wants new work.
void delete_planned(file_record& r, const std::string& local) {
    INST_last_action = 0;
    FILE_clear_read_only(local);
    const int result = FILE_delete(local);
    if (log_actions() || (result != 0 && result != ENOENT))
        LOG_stream << "now we want to nuke a file: DELETING  file " << local << ", with result=" << result
                   << ".\n";
    if (result == 0 || result == ENOENT) {
        r.sig_have = "NONE";
        r.matches = 0;
    }
    remember_emptied_folders(local);
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
    if (!d.retry_list.empty()) {
        s.package_index = d.retry_list.front();
        d.retry_list.pop_front();
    } else {
        s.package_index = d.next_index;
        d.next_index = std::clamp(d.next_index + 1, 0, n < 0 ? 0 : n);
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
                         const std::string& sig_want) {
    FILE_clear_read_only(destination);
    const bool seven_zip = archive.size() >= 4 && ends_with(archive, ".7z");
    const bool zip = !seven_zip && archive.size() >= 4 && ends_with(archive, ".zip");
    int result = 0;
    if (seven_zip || zip) {
        result = expand_archive(archive, destination, sig_want, seven_zip);
    } else {
        if (is_md5_hex(sig_want))
            result = check_md5(archive, sig_want, archive);
        if (result == 0)
            result = FILE_copy(archive, destination);
    }
    if (result != 0) {
        install_failed = 1;
        report_expand_failure(archive, destination, result);
    }
    if (log_actions())
        LOG_stream << "EXPANDING file " << destination << ", with result=" << result << ".\n";
    FILE_delete(archive);
    return result;
}

// Drops the transfer of every slot that is busy with a package and deletes its partial download.
static void abandon_transfers() {
    download_dispenser& d = INST_dispenser;
    const int n = static_cast<int>(INST_directory.packages.size());
    for (size_t i = 0; i < d.slots.size(); ++i) {
        const int k = d.slots[i].package_index;
        if (k < 0 || k >= n)
            continue;
        drop_transfer(static_cast<int>(i) + first_slot_key);
        FILE_delete(INST_work_path(std::to_string(i) + INST_archive_suffix(k)));
    }
}

int INST_download_step() {
    download_dispenser& d = INST_dispenser;
    package_list& list = INST_directory.packages;
    const int n = static_cast<int>(list.size());

    d.size_in_progress = 0.0f;
    for (download_slot& s : d.slots)
        s.size_in_progress = 0.0f;

    const int servers = static_cast<int>(INST_servers.servers.size());
    for (int i = 0; i < servers; ++i) {
        if (static_cast<size_t>(i) < d.slots.size() &&
            INST_download_clock() < d.slots[static_cast<size_t>(i)].retry_time)
            continue;
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
        const std::string download = INST_work_path(std::to_string(i) + suffix);
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
            const int result = net_check(i + first_slot_key, server.host, url, download,
                                         INST_package_byte_cap(r.download_kb));
            if (result == 0) {
                INST_last_fraction = INST_download_percent(i + first_slot_key) * 0.01f;
                // An unknown length reads as -0.01: it counts as nothing received, not as a loss.
                const float received =
                    r.download_kb * (INST_last_fraction > 0.0f ? INST_last_fraction : 0.0f);
                d.size_in_progress += received;
                slot.size_in_progress += received;
                wants_work = false;
            } else if (result == 2) {
                INST_bench_slot(i);
                FILE_delete(download); // what arrived of a failed transfer is of no use

            } else {
                const int expanded = INST_expand_download(download, local, r.sig_want);
                d.size_downloaded += r.download_kb;
                slot.size_finished += r.download_kb;
                if (expanded == 0) {
                    r.sig_have = r.sig_want;
                    r.matches = 1;
                    d.size_expanded += r.expanded_kb;
                }
            }
        }
        if (wants_work)
            slot.state = 1;
    }

    for (const download_slot& s : d.slots)
        if (s.package_index < n) {
            // A failed expansion ends the download: the other slots' transfers stop here too, and their
            // partial files go.
            if (install_failed)
                abandon_transfers();
            return install_failed;
        }

    remove_emptied_folders();
    return 1;
}

void INST_reset_downloads() {
    download_dispenser& d = INST_dispenser;
    abandon_transfers();
    d.next_index = 0;
    d.retry_list.clear();
    d.slots.clear();
    d.start_time = INST_download_clock();
    d.size_in_progress = 0.0f;
    d.size_downloaded = 0.0f;
    d.size_expanded = 0.0f;
}
