// engine_harness: runs the installer's engine headless, the way the installing pages drive it: the proxy
// preference points at the demo server, the server list and the directory are fetched, the copy is
// scanned and planned, the folders are made, and the download step is called until it reports the end.
// The dispenser's clock is a number the test moves, and the modified-file question is answered from a
// script. Header-only: it links against the installer library, which only the installer's tests use.
#pragma once
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/FILE_ops.h"
#include "base/PREF_file.h"
#include "base/http.h"
#include "installer/INST_directory_zip.h"
#include "installer/INST_download.h"
#include "installer/INST_folders.h"
#include "installer/INST_globals.h"
#include "installer/INST_plan.h"
#include "installer/INST_scan.h"
#include "installer/INST_scenery.h"
#include "installer/UTL_installer.h"

namespace test {

// The dispenser's clock in these tests, in seconds; moved by the test.
inline float engine_clock_seconds = 0.0f;
inline float engine_clock() { return engine_clock_seconds; }

// The modified-file questions asked so far, and the answers still to give (in order; 2, keep, once none
// is left).
struct engine_question {
    std::string path;
    int gone = 0;
};
inline std::vector<engine_question> engine_questions;
inline std::vector<int> engine_answers;
inline int engine_answer(const std::string& path, int gone) {
    engine_questions.push_back({path, gone});
    if (engine_answers.empty())
        return 2;
    const int answer = engine_answers.front();
    engine_answers.erase(engine_answers.begin());
    return answer;
}

// The engine pointed at a demo server through the proxy preference, with `work` as its work folder.
// What it changes is restored when it goes, except `install_failed`, which a run leaves as it ended.
class Engine {
  public:
    Engine(int proxy_port, const std::string& work) {
        HTTP_clear();
        HTTP_manager().proxy_host = "127.0.0.1";
        HTTP_manager().port = proxy_port;
        INST_work_folder = work;
        INST_set_download_clock(engine_clock);
        INST_set_modified_file_dialog(engine_answer);
        engine_clock_seconds = 0.0f;
        engine_questions.clear();
        engine_answers.clear();
        INST_reset_downloads();
    }
    ~Engine() {
        INST_reset_downloads();
        HTTP_clear();
        HTTP_manager().proxy_host.clear();
        HTTP_manager().proxy_port.clear();
        HTTP_manager().port = 0;
        INST_set_download_clock(nullptr);
        INST_set_modified_file_dialog(nullptr);
        INST_emptied_folders.clear();
    }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Polls the fetch of the server list until it ends; once read, every server's base path gets the
    // install name and "/" (as the directory fetch does). UTL_fetch_server_list's last result.
    static int fetch_server_list(bool beta = false) {
        int result = 2;
        poll([&] { return (result = UTL_fetch_server_list(INST_servers)) != 2; });
        if (result == 0) {
            UTL_install_directory_clear(INST_directory);
            INST_directory.version = -1;
            INST_directory.version_folder = beta ? INST_servers.beta_name : INST_servers.final_name;
            for (server_record& s : INST_servers.servers)
                s.base_path += INST_directory.version_folder + "/";
        }
        return result;
    }

    // Fetches directory.txt.zip from server `server` (HTTP key 1) and reads it with the stale-safe
    // unzip. The reader's result, or -2 when the transfer failed.
    static int fetch_directory(int server = 0) {
        const server_record& s = INST_servers.servers.at(static_cast<size_t>(server));
        const std::string zip = INST_work_path("directory.txt.zip");
        int transfer = 0;
        poll([&] { return (transfer = net_check(1, s.host, s.base_path + "directory.txt.zip", zip)) != 0; });
        if (transfer != 1)
            return -2;
        int unzip = 0;
        const int result = INST_unzip_directory_file(zip, INST_work_path(""), INST_directory, &unzip, false);
        FILE_delete(zip);
        return result;
    }

    // Runs the signature scan of the install folder to its end.
    static void scan(int mode = 0) {
        int next = 0;
        float progress = 0.0f;
        poll([&] { return INST_scan_local_signatures(&next, mode, &progress) == 1; });
    }

    // The first frame of an installing page: plan, then folders, then a reset of the dispenser. 1 when
    // the download may start; 0 when the plan was cancelled; -1 when a folder could not be made.
    static int plan_and_make_folders() {
        if (!INST_plan_install_actions())
            return 0;
        if (INST_create_install_folders() != 0)
            return -1;
        INST_reset_downloads();
        return 1;
    }

    // Calls the download step until it returns 1; `after` sees every result (and may move the clock).
    // The number of calls, or -1 when `budget_ms` of real time ran out first.
    static int download(const std::function<void(int)>& after = {}, int budget_ms = 20000) {
        int calls = 0;
        bool done = poll(
            [&] {
                const int result = INST_download_step();
                ++calls;
                if (after)
                    after(result);
                return result == 1;
            },
            budget_ms);
        return done ? calls : -1;
    }

    // A fresh install of the served release into `install` (simulator files only); `after` and `budget_ms`
    // as for download. download's result, or below 0 when an earlier stage failed.
    static int install(const std::string& install, const std::function<void(int)>& after = {},
                       int budget_ms = 20000) {
        INST_install_folder = install;
        INST_set_include_flags(1, 0);
        if (fetch_server_list() != 0 || fetch_directory() != 0)
            return -3;
        scan();
        INST_clear_tile_selection();
        INST_compute_totals();
        const int planned = plan_and_make_folders();
        return planned == 1 ? download(after, budget_ms) : planned - 10;
    }

    // An update of the copy at `install` (simulator and scenery, as the update road does).
    static int update(const std::string& install, const std::function<void(int)>& after = {}) {
        INST_install_folder = install;
        INST_set_include_flags(1, 1);
        if (fetch_server_list() != 0 || fetch_directory() != 0)
            return -3;
        scan();
        INST_scan_installed_scenery(0);
        INST_compute_totals();
        const int planned = plan_and_make_folders();
        return planned == 1 ? download(after) : planned - 10;
    }

    // Calls `step` until it returns true or `budget_ms` passes, sleeping briefly between calls.
    static bool poll(const std::function<bool()>& step, int budget_ms = 20000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(budget_ms);
        while (std::chrono::steady_clock::now() < end) {
            if (step())
                return true;
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
        return false;
    }
};

} // namespace test
