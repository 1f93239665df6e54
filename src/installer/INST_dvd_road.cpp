// INST_dvd_road: the disc install road.
#include "installer/INST_dvd_road.h"

#include <cstdio>

#include "base/APP_clock.h"
#include "base/FILE_error_text.h"
#include "base/FILE_ops.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "base/PREF_file.h"
#include "installer/INST_demo_road.h"
#include "installer/INST_dialogs.h"
#include "installer/INST_download.h"
#include "installer/INST_dvd_unpack.h"
#include "installer/INST_folders.h"
#include "installer/INST_globals.h"
#include "installer/INST_page_routines.h"
#include "installer/INST_plan.h"
#include "installer/INST_registration.h"
#include "installer/INST_scan.h"
#include "installer/INST_scenery.h"
#include "installer/INST_scenery_map.h"
#include "installer/INST_scenery_road.h"
#include "installer/INST_startup.h"
#include "installer/INST_text.h"
#include "installer/INST_update_road.h"
#include "installer/INST_wizard.h"
#include "installer/UTL_dvd.h"
#include "platform/APP_time.h"
#include "ui/BTN_text_field.h"
#include "ui/BTN_widgets.h"
#include "ui/OGL_font.h"
#include "ui/WIN_file_dialog.h"

using inst_text::tr;
using inst_text::tr1;
using inst_text::tr2;
using inst_text::tr_beside;

// The road's state (main thread).
int INST_dvd_install_started = 0;
int INST_dvd_error_count = 0;
int INST_dvd_next_entry = 0;
int INST_dvd_current_entry = 0;
int INST_disc_in_drive = 0;

namespace {

// What the pages keep for themselves between frames (main thread).
struct road_state {
    int destination_changed = 0; // since the totals were last computed
} state;
constexpr int install_name_limit = 256;

void fill_dvd_steps() {
    step_list.pages = {INST_page_dvd_welcome,    INST_page_pick_destination_dvd,
                       INST_page_license,        INST_page_select_scenery_dvd,
                       INST_page_installing_dvd, INST_page_finish_install};
    step_list.names = {tr("Welcome"),        tr("Pick Destination"), tr("License"),
                       tr("Select Scenery"), tr("Install"),          tr("Finish")};
}

// The current record of an entry, or null outside the list.
const file_record* current_record(int entry) {
    if (entry < 0 || entry >= static_cast<int>(INST_directory.packages.size()) ||
        INST_directory.packages[static_cast<size_t>(entry)].empty())
        return nullptr;
    return &INST_directory.packages[static_cast<size_t>(entry)].back();
}

// The cancel question of the scenery page, asked when the user comes back from a running install.
// True when the install goes on.
bool install_continues() {
    const int answer =
        INST_two_button_dialog(tr("Are you sure you want to cancel the installation?  This will delete the "
                                  "partially installed copy of Aerivon 10."),
                               tr("Cancel"), tr("the installation and delete partial installation."),
                               tr("Continue"), tr("the installation process."));
    if (answer != 1) // Continue, or unanswered because a quit came: nothing is deleted
        return true;
    INST_release_dvd_queues();
    if (!INST_install_folder.empty())
        FILE_delete_tree(INST_install_folder);
    INST_dvd_install_started = 0;
    return false;
}

} // namespace

void INST_keep_disc_read() {
    if (APP_media_arrived()) {
        APP_clear_media_arrived();
        INST_release_checksum_queue(); // a scan left behind writes the records no more
        UTL_install_directory_clear(INST_directory);
    }
    if (INST_directory.dvd_root.empty() || INST_directory.packages.empty())
        INST_load_dvd_directory();
}

std::string INST_insert_disc_text(int entry) {
    const file_record* r = current_record(entry);
    return tr1(
        "Please insert DVD number %1:disk number%, then wait a few moments for the DVD to be recognized "
        "by your computer.",
        std::to_string((r ? r->dvd : 0) + 1));
}

void INST_load_dvd_directory() {
    if (UTL_scan_dvd(INST_directory) == 0)
        INST_build_offered_tiles();
}

bool INST_find_dvd() {
    const int k = INST_dvd_current_entry;
    const file_record* r = current_record(k);
    if (!r)
        return false;
    INST_probe_path = INST_directory.version_folder + "/" + r->path + INST_archive_suffix(k);
    const std::string root = UTL_find_dvd_drive(INST_probe_volume);
    if (root.empty() || !FILE_is_file(root + INST_probe_path))
        return false;
    INST_disc_in_drive = r->dvd;
    INST_directory.dvd_root = root;
    return true;
}

float INST_entry_progress(int entry) {
    if (entry < 0)
        return 0.0f;
    const file_record* r = current_record(entry);
    return r ? r->download_fraction : 1.0f;
}

int INST_install_error_alert(const std::string& line1, const std::string& line2, const std::string& label1,
                             const std::string& explanation1, const std::string& label2,
                             const std::string& explanation2) {
    std::string task;
    const int code = INST_take_last_error(task);
    return INST_two_button_dialog(INST_install_error_message(line1, line2, code, task), label1, explanation1,
                                  label2, explanation2);
}

std::string INST_install_error_message(const std::string& line1, const std::string& line2, int code,
                                       const std::string& task) {
    std::string error;
    FILE_error_text(error, code);
    return line1 + "\n\n" + task + " (" + error + ")\n\n" + line2;
}

void INST_dvd_beta_box() {
    BTN_check(
        250.0f, 100.0f, &PREF_installer.get_beta,
        tr("|Check for new betas as well as updates. Leave this off unless you want to participate in the "
           "Aerivon beta program!"),
        0);
}

void INST_eject_dvd() {
    if (INST_directory.dvd_root.empty())
        return;
    const int err = FILE_eject_disc(INST_directory.dvd_root);
    if (err != 0) {
        std::string text;
        FILE_error_text(text, err);
        LOG_stream << "Could not eject the disc at " << INST_directory.dvd_root << ": " << text << " (error "
                   << err << ")\n";
    }
    INST_directory.dvd_root.clear();
}

int INST_page_dvd_welcome(int entered, page_desc* d) {
    if (entered) {
        INST_release_checksum_queue(); // back from the scenery road's scan
        INST_read_registration_file();
        fill_dvd_steps();
        if (INST_command_line_folder.empty())
            INST_install_folder.clear();
    }
    INST_keep_disc_read();
    d->title = tr("Aerivon 10 Installer / Updater");
    d->preferences = 1;
    const bool registered = !known_installs.empty();
    const bool disc_read = !INST_directory.version_folder.empty() && !INST_directory.packages.empty();
    if (!registered && INST_directory.dvd_root.empty()) {
        d->body = tr(INST_INSERT_DISC_ONE);
    } else if (registered || disc_read) {
        if (INST_scenery_mode) {
            INST_fill_scenery_steps();
            d->body =
                tr("Welcome to the Aerivon 10 Installer / Updater.  I will guide you through the process of "
                   "adding and removing scenery.");
            d->next = INST_page_select_install_scenery;
        } else if (!registered) {
            if (INST_directory.product_kind == 2) {
                d->body =
                    tr1("This DVD (%1:dvd name%) contains global scenery.  You must install the sim before "
                        "you install the global scenery.",
                        INST_directory.version_folder);
            } else {
                d->body = tr1("Welcome to the Aerivon 10 Installer.  I will guide you through the process of "
                              "installing %1:install name%.",
                              INST_directory.version_folder);
                d->next = INST_page_pick_destination_dvd;
            }
        } else {
            d->body =
                tr("You already have Aerivon 10 installed on this computer.  What would you like to do?");
            d->choice_labels = {tr("Run Aerivon Now"), tr("Add Or Remove Scenery")};
            d->choice_targets = {INST_page_run_demo_chooser, INST_page_select_install_scenery};
            if (INST_directory.product_kind != 2) {
                d->choice_labels.push_back(tr("Update Aerivon"));
                d->choice_targets.push_back(INST_page_choose_copy_update);
                d->choice_labels.push_back(tr("Install A Second Copy of Aerivon"));
                d->choice_targets.push_back(INST_page_pick_destination_dvd);
            }
        }
    } else {
        d->body = tr(INST_NOT_OUR_DISC);
    }
    return 0;
}

int INST_page_pick_destination_dvd(int entered, page_desc* d) {
    if (entered) {
        INST_release_checksum_queue();
        INST_reset_server_list(INST_servers);
        UTL_install_directory_clear(INST_directory);
        FILE_get_special_folder(2, INST_desktop_folder);
        fill_dvd_steps();
        state.destination_changed = 1;
    }
    INST_keep_disc_read();
    d->back = INST_page_dvd_welcome;
    if (INST_directory.dvd_root.empty()) {
        d->body = tr(INST_INSERT_DISC_ONE);
        return 0;
    }
    if (INST_directory.version_folder.empty() || INST_directory.packages.empty()) {
        d->body = tr(INST_NOT_OUR_DISC);
        return 0;
    }
    if (INST_directory.product_kind == 2) {
        d->body =
            tr("This DVD contains only scenery.  Please insert your original Aerivon 10 DVD to proceed.");
        return 0;
    }
    if (INST_destination_parent.empty()) {
        FILE_get_special_folder(3, INST_destination_parent);
        INST_install_name = INST_directory.version_folder.substr(0, install_name_limit);
        state.destination_changed = 1;
    }
    d->title = tr1("Pick Install Destination for %1:install%.", INST_directory.version_folder);
    d->next = INST_page_license;

    d->body_bottom = 220.0f; // a long folder's text ends above the button and the name field
    // The button is as wide as its label needs, and the field follows it at half that width + 300 + 10 +
    // the field label's width.
    const std::string change = tr("Change Destination");
    const float label_width = BTN_push_width_for(change);
    if (BTN_push(290.0f, 203.0f, label_width, 0, 1, change, "-")) {
        std::string chosen = INST_destination_parent;
        if (WIN_choose_file_or_folder(2, tr("Pick a folder to install Aerivon 10 into."),
                                      INST_destination_parent, chosen, tr("Select"))) {
            INST_destination_parent = chosen;
            state.destination_changed = 1;
        }
    }
    const std::string label = tr("Install Name:");
    const float field_x = label_width * 0.5f + 300.0f + 10.0f + OGL_measure_string(label);
    if (BTN_text_field(field_x, 200.0f, INST_install_name, install_name_limit, label, 760.0f - field_x, 0))
        state.destination_changed = 1;

    // A name that is no plain new folder of the parent (empty, "..", or one with a separator, as a disc's
    // VERSION may hold) would put the copy, and a later cancel's deletion, somewhere else.
    if (!INST_describe_destination(d))
        return 0;
    if (state.destination_changed) {
        state.destination_changed = 0;
        INST_scan_local_signatures_wait(0);
        INST_set_include_flags(1, 1);
        INST_clear_tile_selection();
        INST_compute_totals();
    }
    if (!INST_draw_disk_space_panel(
            tr("You have enough free disk space to install Aerivon 10 at this location."),
            tr("You do not have enough free disk space to install Aerivon 10 at this location.  You can "
               "install to "
               "a different location, or save disk space by installing only some of the global scenery.")))
        d->next = nullptr;
    return 0;
}

int INST_page_select_scenery_dvd(int entered, page_desc* d) {
    if (entered) {
        if (INST_dvd_install_started && install_continues()) {
            d->next = INST_page_installing_dvd;
            return 1;
        }
        INST_scan_local_signatures_wait(0);
        INST_scan_installed_scenery(1);
        INST_compute_totals();
    }
    INST_draw_scenery_map();
    d->title = tr("Select Scenery");
    d->body_bottom = INST_SCENERY_MAP_TOP + 4.0f;
    d->body = tr(
        "Please pick the scenery you would like to install now.  You can use this installer to add more "
        "scenery or remove scenery later.  If you fly into an area with no scenery installed, you will see "
        "only ocean.\n\nClick on the world map to pick select regions to install.");
    d->back = INST_page_license;
    d->next = INST_page_installing_dvd;
    if (!INST_draw_disk_space_panel(
            tr("You have enough free disk space to install Aerivon 10 with the selected scenery."),
            tr("You do not have enough free disk space to install Aerivon 10 with the selected scenery; "
               "change the "
               "install location to another hard driver or select less scenery.")))
        d->next = nullptr;
    return 0;
}

int INST_page_installing_dvd(int, page_desc* d) {
    if (!INST_dvd_install_started) {
        INST_dvd_next_entry = 0;
        LOG_stream << "Starting install at " << static_cast<double>(APP_get_microseconds()) / 1000000.0
                   << "\n";
        if (!INST_plan_install_actions()) {
            d->next = INST_page_select_scenery_dvd;
            return 1;
        }
        if (INST_create_install_folders() != 0) {
            d->next = INST_page_pick_destination_dvd;
            return 1;
        }
        INST_register_install_folder();
        INST_set_sim_root();
        INST_cleanup_deleted_files();
        INST_dvd_install_started = 1;
        INST_dvd_error_count = 0;
        if (!INST_directory.dvd_lines.empty()) {
            // The folder comes with the copy's resources, unless the discs hold no file of it yet.
            FILE_make_folder(INST_install_folder + "Resources/");
            FILE_make_folder(INST_install_folder + "Resources/text/");
            if (FILE* f = FILE_fopen_utf8(INST_install_folder + "Resources/text/lang.txt", "w")) {
                std::fputs("A\n900\nLANG\n\n", f);
                for (const std::string& line : INST_directory.dvd_lines)
                    std::fprintf(f, "%s\n", line.c_str());
                std::fclose(f);
            }
        }
    }
    d->title = tr("Installing Aerivon");
    d->cancel_confirmation = INST_release_dvd_queues;
    switch (INST_dvd_unpack_step(&INST_dvd_next_entry, INST_disc_in_drive)) {
    case 1:
        d->next = INST_page_finish_install;
        INST_dvd_install_started = 0;
        return 1;
    case 2:
        INST_dvd_current_entry = INST_dvd_next_entry;
        d->next = INST_page_check_dvd_install;
        return 1;
    case 3:
        ++INST_dvd_error_count;
        if (INST_install_error_alert(
                tr("An error occurred during installation:"),
                tr("You can continue with the installation and attempt to repair the damaged "
                   "files later, or you can cancel the installation."),
                tr("Cancel"), tr_beside("Cancel", "the install."), tr("Continue"),
                tr_beside("Continue", "the install.")) == 1) {
            d->next = INST_page_select_scenery_dvd;
            return 1;
        }
        break;
    default:
        break;
    }
    d->back = INST_page_select_scenery_dvd;
    d->body = tr1("I am installing Aerivon in %1:file path%.", INST_install_folder);
    d->progress = INST_entry_progress(INST_dvd_next_entry);
    const file_record* r = current_record(INST_dvd_next_entry);
    d->status = r ? tr1("Installing: %1:file%", r->path) : tr("Finishing up...");
    return 0;
}

int INST_page_check_dvd_install(int, page_desc* d) {
    d->title = tr("Installing Aerivon - Checking DVD...");
    d->next = INST_find_dvd() ? INST_page_installing_dvd : INST_page_change_dvd_install;
    return 1;
}

int INST_change_disc_page(int entered, page_desc* d, const std::string& title, page_fn back, page_fn next) {
    if (entered)
        INST_eject_dvd();
    d->title = title;
    d->body = INST_insert_disc_text(INST_dvd_current_entry);
    d->back = back;
    d->next = next;
    if (APP_media_arrived()) {
        APP_clear_media_arrived();
        return 1;
    }
    return 0;
}

int INST_page_change_dvd_install(int entered, page_desc* d) {
    return INST_change_disc_page(entered, d, tr("Installing Aerivon - Please Change DVDs"),
                                 INST_page_select_scenery_dvd, INST_page_check_dvd_install);
}

int INST_page_finish_install(int, page_desc* d) {
    d->title = tr("Finished Installing Aerivon");
    d->back = INST_page_dvd_welcome;
    d->next = INST_page_quit;
    if (INST_dvd_error_count > 0) {
        d->body = tr(
            "There were errors during the install; your copy of Aerivon may not be usable.\n\nYou can click "
            "Go Back and use the repair and add-remove scenery functions to try to reinstall any missing or "
            "damaged files.");
        return 0;
    }
    d->body = tr("Installation was successful.");
    d->choice_labels = {tr("Check For Updates"), tr("Run Aerivon Now")};
    d->choice_targets = {INST_page_search_updates, INST_launch_simulator};
    INST_dvd_beta_box();
    return 0;
}
