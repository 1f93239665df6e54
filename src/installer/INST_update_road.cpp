// INST_update_road: the update road's pages.
#include "installer/INST_update_road.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/APP_clock.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "base/PREF_file.h"
#include "installer/INST_activity.h"
#include "installer/INST_copy_chooser.h"
#include "installer/INST_demo_road.h"
#include "installer/INST_dialogs.h"
#include "installer/INST_download.h"
#include "installer/INST_folders.h"
#include "installer/INST_format.h"
#include "installer/INST_globals.h"
#include "installer/INST_page_routines.h"
#include "installer/INST_plan.h"
#include "installer/INST_registration.h"
#include "installer/INST_scan.h"
#include "installer/INST_scenery.h"
#include "installer/INST_stand_ins.h"
#include "installer/INST_startup.h"
#include "installer/INST_text.h"
#include "installer/INST_wizard.h"
#include "installer/checksum_task.h"
#include "platform/APP_time.h"
#include "ui/BTN_widgets.h"

using inst_text::tr;
using inst_text::tr1;
using inst_text::tr2;

// The road's state (main thread).
int INST_scanned_count = 0;
float INST_update_progress = 0.0f;
int INST_nothing_to_update = 0;

namespace {

constexpr int directory_key = 1; // HTTP transfer key of the directory fetch (INST_fetch_directory_file)

// The body a page shows on its first frame, for those who follow the road in the log.
void log_page_text(int entered, const page_desc* d) {
    if (!entered || !PREF_installer.log_actions)
        return;
    LOG_stream << "Page text: " << d->body << "\n";
    LOG_stream.flush();
}

// The road's steps. The copy chooser names the DVD road's welcome page for "Welcome", so that step is
// never highlighted here; the updater welcome names itself.
void build_step_list(page_fn welcome) {
    step_list.pages = {welcome};
    step_list.names = {tr("Welcome")};
    if (INST_command_line_folder.empty()) {
        step_list.pages.push_back(INST_page_choose_copy_update);
        step_list.names.push_back(tr("Pick Destination"));
    }
    step_list.pages.insert(step_list.pages.end(), {INST_page_search_updates, INST_page_check_disk_space,
                                                   INST_page_download_update, INST_page_finished_web_update});
    for (const char* name : {"Search for Updates", "Check Disk Space", "Install Updates", "Finish"})
        step_list.names.push_back(tr(name));
}

page_fn road_start() {
    return INST_command_line_folder.empty() ? INST_page_choose_copy_update : INST_page_updater_welcome;
}

void add_beta_box(float y) {
    BTN_check(250.0f, y, &PREF_installer.get_beta,
              tr("|Check for new betas as well as updates. Leave this off unless you want to participate in "
                 "the Aerivon beta program!"),
              0);
}

const server_record* chosen_server() {
    if (INST_servers.servers.empty())
        return nullptr;
    if (INST_chosen_server < 0 || INST_chosen_server >= static_cast<int>(INST_servers.servers.size()))
        INST_chosen_server = 0;
    return &INST_servers.servers[static_cast<size_t>(INST_chosen_server)];
}

} // namespace

int INST_update_has_work() {
    if (INST_files_to_install > 0)
        return 1;
    const package_list& list = INST_directory.packages;
    for (size_t e = 0; e < list.size(); ++e) {
        if (list[e].empty() ||
            !INST_record_is_wanted(static_cast<int>(e), static_cast<int>(list[e].size()) - 1))
            continue;
        const file_record& r = list[e].back();
        const bool unwanted_scenery = r.has_tile && !INST_tile_rect_has_selection(r.x0, r.y0, r.x1, r.y1);
        if ((r.sig_want == "GONE" || unwanted_scenery) && r.sig_have != INST_SIG_NONE)
            return 1;
    }
    return 0;
}

int INST_page_choose_copy_update(int entered, page_desc* d) {
    if (entered) {
        // Back from Search for Updates: its fetches are nobody's now, and a look-up that hangs keeps
        // nothing busy.
        INST_drop_directory_fetch();
        INST_release_checksum_queue();
        INST_reset_downloads();
        build_step_list(INST_page_dvd_welcome);
    }
    d->title = tr("Pick Destination");
    d->preferences = 1;
    d->body = known_installs.size() > 1
                  ? tr("You have more than one copy of Aerivon 10 installed on this computer.  ") +
                        tr("Please select which copy of Aerivon 10 you would like to update.")
                  : tr("I found the following copy of Aerivon 10 to update.");
    INST_choose_installed_copy();
    INST_set_sim_root();
    add_beta_box(100.0f);
    d->back = INST_command_line_folder.empty() ? INST_page_demo_welcome : INST_page_updater_welcome;
    d->next = INST_install_folder.empty() ? nullptr : INST_page_search_updates;
    log_page_text(entered, d);
    return 0;
}

int INST_page_updater_welcome(int entered, page_desc* d) {
    if (entered) {
        INST_drop_directory_fetch(); // back from Search for Updates, as above
        INST_release_checksum_queue();
        INST_read_registration_file();
        build_step_list(INST_page_updater_welcome);
        INST_reset_downloads();
    }
    INST_install_folder = INST_command_line_folder;
    INST_set_sim_root();
    d->title = tr("Aerivon 10 Web Updater");
    d->preferences = 1;
    d->body =
        tr("I will guide you through the process of updating your copy of Aerivon 10 to the latest version.");
    d->next = INST_page_search_updates;
    add_beta_box(400.0f);
    log_page_text(entered, d);
    return 0;
}

int INST_page_search_updates(int entered, page_desc* d) {
    if (entered && !INST_servers.servers.empty() && INST_directory.version >= 0) {
        // Every visit fetches the list and the directory afresh and scans again.
        INST_release_checksum_queue();
        INST_reset_server_list(INST_servers);
        UTL_install_directory_clear(INST_directory);
        INST_directory.version = -1;
        INST_scanned_count = 0;
    }
    d->title = tr("Search for Updates");
    d->back = road_start();
    INST_fetch_directory_file();
    if (INST_directory.version <= 0)
        d->preferences = 1; // the proxy may be what keeps the servers out of reach

    if (INST_servers.servers.empty()) {
        d->body =
            tr1("I am contacting %1:web site% to find an update server for Aerivon 10.", INST_MAKER_WEB_SITE);
        INST_show_fetch_failure(d);
    } else if (INST_directory.version == -1) {
        const int p = static_cast<int>(INST_download_percent(directory_key));
        d->body = p == -1
                      ? tr("I am checking the net for the latest version of Aerivon 10 right now, and I am "
                           "connecting to the server...")
                      : tr1("I am checking the net for the latest version of Aerivon 10 right now, and I am "
                            "%1:progress%% done checking.",
                            INST_int_to_string(p));
        d->progress = static_cast<float>(p) / 100.0f;
        const server_record* server = chosen_server();
        d->status = tr1("I am downloading patch info from %1:server name%.", server ? server->host : "");
        INST_show_fetch_failure(d);
    } else if (INST_directory.version == 0) {
        d->body = tr("There was a problem reading information from the servers.");
    } else {
        d->cancel_confirmation = INST_release_checksum_queue;
        INST_set_include_flags(1, 1);
        float progress = 0.0f;
        if (INST_scan_local_signatures(&INST_scanned_count, 0, &progress)) {
            d->back = nullptr;
            d->next = INST_page_check_disk_space;
            INST_scan_installed_scenery(0);
            INST_compute_totals();
            INST_nothing_to_update = INST_update_has_work() ? 0 : 1;
            log_page_text(entered, d);
            return 1;
        }
        d->body = tr1("I am scanning %1:folder path% to see what files need updating.", INST_install_folder);
        d->status = tr2("Scanning %1:number% of %2:total% files.", INST_int_to_string(INST_scanned_count),
                        INST_int_to_string(static_cast<int>(INST_directory.packages.size())));
        d->progress = progress;
    }
    log_page_text(entered, d);
    return 0;
}

int INST_page_check_disk_space(int entered, page_desc* d) {
    if (entered)
        INST_reset_downloads();
    d->title = tr("Check Disk Space");
    d->back = INST_page_search_updates;
    d->next = INST_page_download_update;
    if (INST_nothing_to_update) {
        d->next = INST_page_finished_web_update;
        log_page_text(entered, d);
        return 1;
    }
    if (!INST_draw_disk_space_panel(tr("You have enough free disk space to update Aerivon 10"),
                                    tr("You do not have enough free disk space to update Aerivon 10."))) {
        d->next = nullptr;
        d->body =
            tr("There is a newer version of Aerivon 10 available, but you do not have enough free disk space "
               "to download and install the update.\n\nPlease free some space on your hard drive.");
    } else {
        d->body = tr2(
            "You are about to download %1:download size% of compressed data to update to %2:install name%.",
            INST_format_size_kb(INST_total_download_kb), INST_directory.version_folder);
    }
    log_page_text(entered, d);
    return 0;
}

int INST_page_download_update(int entered, page_desc* d) {
    if (entered) {
        // A cancelled plan or a folder that cannot be made goes back to the disk page.
        if (!INST_plan_install_actions() || INST_create_install_folders() != 0) {
            d->next = INST_page_check_disk_space;
            return 1;
        }
        INST_reset_downloads();
        INST_update_progress = 0.0f;
    }
    d->title = tr("Installing");
    const int64_t t0 = APP_get_microseconds();
    do {
        if (INST_download_step() == 1) {
            INST_reset_downloads();
            d->back = nullptr;
            d->next = INST_page_finished_web_update;
            return 1;
        }
        INST_describe_install(d, &INST_update_progress, true);
        d->back = INST_page_check_disk_space;
        d->next = nullptr;
        d->cancel_confirmation = INST_confirm_stop_update;
    } while (INST_download_frame_goes_on(t0));
    return 0;
}

int INST_page_finished_web_update(int entered, page_desc* d) {
    d->title = tr("Finshed Web Update");
    d->next = INST_page_quit;
    if (INST_nothing_to_update) {
        d->body = tr1("This copy of Aerivon (%1:install path%) is already up to date.", INST_install_folder);
        d->choice_labels = {tr("Fly Aerivon Now")};
        d->choice_targets = {INST_launch_simulator};
    } else if (install_failed) {
        d->body = tr("There were problems updating Aerivon.  You can try this updater again using a "
                     "different server.");
    } else {
        d->body = tr1("I have finished updating %1:install path%.", INST_install_folder);
        d->choice_labels = {tr("Fly Aerivon Now")};
        d->choice_targets = {INST_launch_simulator};
    }
    log_page_text(entered, d);
    return 0;
}
