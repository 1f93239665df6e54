// INST_scenery_road: the add/remove-scenery road.
#include "installer/INST_scenery_road.h"

#include "base/APP_clock.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "installer/INST_copy_chooser.h"
#include "installer/INST_demo_road.h"
#include "installer/INST_dialogs.h"
#include "installer/INST_dvd_road.h"
#include "installer/INST_dvd_unpack.h"
#include "installer/INST_folders.h"
#include "installer/INST_globals.h"
#include "installer/INST_page_routines.h"
#include "installer/INST_plan.h"
#include "installer/INST_registration.h"
#include "installer/INST_scan.h"
#include "installer/INST_scenery.h"
#include "installer/INST_scenery_map.h"
#include "installer/INST_startup.h"
#include "installer/INST_text.h"
#include "installer/INST_update_road.h"
#include "installer/INST_wizard.h"
#include "platform/APP_time.h"

using inst_text::tr;
using inst_text::tr1;
using inst_text::tr_beside;

// The road's state (main thread).
int INST_scenery_install_started = 0;
int INST_scenery_next_entry = 0;
int INST_scenery_scan_index = 0;

namespace {

int entry_count() { return static_cast<int>(INST_directory.packages.size()); }

// The selection of the copy on disk, with the totals for it.
void seed_from_disk() {
    INST_scan_installed_scenery(0);
    INST_compute_totals();
}

} // namespace

void INST_fill_scenery_steps() {
    step_list.pages = {INST_page_dvd_welcome};
    step_list.names = {tr("Welcome")};
    if (INST_command_line_folder.empty()) {
        step_list.pages.push_back(INST_page_select_install_scenery);
        step_list.names.push_back(tr("Select Aerivon"));
    }
    step_list.pages.insert(step_list.pages.end(),
                           {INST_page_scan_existing_scenery, INST_page_select_new_scenery,
                            INST_page_install_scenery, INST_page_finished_scenery});
    step_list.names.insert(step_list.names.end(), {tr("Scan Existing Scenery"), tr("Select New Scenery"),
                                                   tr("Install Scenery"), tr("Finish")});
}

std::string INST_scenery_result_text(int errors, int files_to_install, int second_count) {
    static const char* const texts[2][2][2] = {
        {{"I have successfully updated scenery to match your choices on the map.",
          "I have successfully removed scenery to match your choices on the map."},
         {"I have successfully installed more scenery to match your choices on the map.",
          "I have successfully added and removed scenery to match your choices on the map."}},
        {{"There were errors while updating your scenery.", "There were errors while removing your scenery."},
         {"There were errors while installing your scenery.",
          "There were errors while adding and removing your scenery."}},
    };
    return tr(texts[errors > 0][files_to_install > 0][second_count > 0]);
}

int INST_page_select_install_scenery(int entered, page_desc* d) {
    if (entered) {
        INST_release_checksum_queue();
        INST_reset_server_list(INST_servers);
        UTL_install_directory_clear(INST_directory);
        INST_fill_scenery_steps();
    }
    INST_keep_disc_read();
    if (INST_directory.dvd_root.empty()) {
        d->body = tr(INST_INSERT_DISC_ONE);
        return 0;
    }
    if (INST_directory.version_folder.empty() || INST_directory.packages.empty()) {
        d->body = tr(INST_NOT_OUR_DISC);
        return 0;
    }
    d->title = tr("Select Aerivon 10 to Add or Remove Scenery");
    d->back = INST_page_dvd_welcome;
    d->next = INST_page_scan_existing_scenery;
    if (known_installs.size() == 1)
        INST_install_folder = known_installs[0];
    if (!INST_command_line_folder.empty()) {
        INST_install_folder = INST_command_line_folder;
        INST_set_sim_root();
        return 1;
    }
    INST_choose_installed_copy();
    INST_set_sim_root();
    if (INST_install_folder.empty())
        d->next = nullptr;
    if (known_installs.size() <= 1)
        d->body = tr("I found the following copy of Aerivon 10 to add scenery to.");
    else
        d->body = tr("You have more than one copy of Aerivon 10 installed on this computer.  ") +
                  tr("Please pick which copy of Aerivon 10 you would like to add scenery to.");
    return 0;
}

int INST_page_scan_existing_scenery(int entered, page_desc* d) {
    if (entered) {
        INST_scenery_scan_index = 0;
        INST_set_include_flags(0, 1);
    }
    d->title = tr("Scanning Aerivon 10 for Installed Scenery");
    d->body =
        tr1("I am scanning %1:install folder% to see what scenery you already have installed.\n\nNote: I am "
            "only checking for the scenery already installed from your DVDs.  This scan will not show any "
            "custom scenery downloaded from the internet.",
            INST_install_folder);
    d->cancel_confirmation = INST_release_checksum_queue;
    float progress = 0.0f;
    if (INST_scan_local_signatures(&INST_scenery_scan_index, 1, &progress)) {
        d->next = INST_page_select_new_scenery;
        return 1;
    }
    std::string status;
    LANG_subst2(status, tr("Scanning %1:number% of %2:total% files."),
                std::to_string(INST_scenery_scan_index), std::to_string(entry_count()));
    d->status = status;
    d->progress = progress;
    d->back = INST_command_line_folder.empty() ? INST_page_select_install_scenery : INST_page_dvd_welcome;
    return 0;
}

int INST_page_select_new_scenery(int entered, page_desc* d) {
    if (entered) {
        if (INST_scenery_install_started) {
            const int answer = INST_two_button_dialog(
                tr("Are you sure you want to stop scenery installation?  You can add or remove more scenery "
                   "later."),
                tr("Stop"), tr_beside("Stop", "the scenery install."), tr("Continue"),
                tr_beside("Continue", "the scenery install."));
            if (answer != 1) { // Continue, or unanswered because a quit came
                d->next = INST_page_install_scenery;
                return 1;
            }
            INST_release_dvd_queues();
            INST_scenery_install_started = 0;
        }
        seed_from_disk();
    }
    INST_draw_scenery_map();
    d->title = tr("Select Scenery");
    d->body_bottom = INST_SCENERY_MAP_TOP + 4.0f;
    d->body =
        tr("Click on the world map to select what scenery you would like to install.  Scenery that you "
           "deselect will be removed; scenery that you select will be installed.  If you fly into an area "
           "with no scenery installed, you will see only ocean.");
    d->back = INST_page_select_install_scenery;
    d->next = INST_page_install_scenery;
    if (!INST_draw_disk_space_panel(tr("You have enough free disk space to install this scenery."),
                                    tr("You do not have enough free disk space to install this scenery.")))
        d->next = nullptr;
    return 0;
}

int INST_page_install_scenery(int, page_desc* d) {
    if (!INST_scenery_install_started) {
        INST_scenery_next_entry = 0;
        LOG_stream << "Starting install at " << static_cast<double>(APP_get_microseconds()) / 1000000.0
                   << "\n";
        if (INST_plan_install_actions() != 1 || INST_create_install_folders() != 0) {
            d->next = INST_page_select_new_scenery;
            return 1;
        }
        INST_cleanup_deleted_files();
        INST_scenery_install_started = 1;
        INST_dvd_error_count = 0;
    }
    d->title = tr("Installing New Scenery");
    d->cancel_confirmation = INST_release_dvd_queues;
    switch (INST_dvd_unpack_step(&INST_scenery_next_entry, INST_disc_in_drive)) {
    case 1:
        d->next = INST_page_finished_scenery;
        INST_scenery_install_started = 0;
        return 1;
    case 2:
        INST_dvd_current_entry = INST_scenery_next_entry;
        d->next = INST_page_verify_dvd_scenery;
        return 1;
    case 3:
        ++INST_dvd_error_count;
        if (INST_install_error_alert(tr("An error occurred during scenery installation:"),
                                     tr("You can continue with the installation and attempt to reinstall the "
                                        "damaged files later, or you can stop the installation"),
                                     tr("Stop"), tr_beside("Stop", "the scenery install."), tr("Continue"),
                                     tr_beside("Continue", "the scenery install.")) == 1) {
            INST_release_dvd_queues();
            d->next = INST_page_finished_scenery;
            INST_scenery_install_started = 0;
            return 1;
        }
        break;
    default:
        break;
    }
    d->back = INST_page_select_new_scenery;
    d->body = tr1("I am installing new scenery for %1:install path%,", INST_install_folder);
    d->progress = INST_entry_progress(INST_scenery_next_entry);
    d->status = INST_scenery_next_entry < entry_count()
                    ? tr1("Installing: %1:file%",
                          INST_directory.packages[static_cast<size_t>(INST_scenery_next_entry)].back().path)
                    : tr("Finishing Up...");
    return 0;
}

int INST_page_verify_dvd_scenery(int, page_desc* d) {
    d->title = tr("Installing Scenery - Verifying DVD");
    d->next = INST_find_dvd() ? INST_page_install_scenery : INST_page_change_dvd_scenery;
    return 1;
}

int INST_page_change_dvd_scenery(int entered, page_desc* d) {
    return INST_change_disc_page(entered, d, tr("Installing Scenery - Please change DVDs"),
                                 INST_page_select_new_scenery, INST_page_verify_dvd_scenery);
}

int INST_page_finished_scenery(int, page_desc* d) {
    d->title = tr("Finished With Add/Remove Scenery");
    d->back = INST_page_dvd_welcome;
    d->next = INST_page_quit;
    d->body = INST_scenery_result_text(INST_dvd_error_count, INST_files_to_install, INST_second_file_count);
    if (INST_dvd_error_count > 0) {
        d->body +=
            tr("  Your copy of Aerivon may not be usable.\n\nYou can click Go Back and use the repair and "
               "add-remove scenery functions to try to reinstall any missing or damaged files.");
        return 0;
    }
    d->choice_labels = {tr("Check For Updates"), tr("Run Aerivon Now")};
    d->choice_targets = {INST_page_search_updates, INST_launch_simulator};
    INST_dvd_beta_box();
    return 0;
}
