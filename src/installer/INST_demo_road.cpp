// INST_demo_road: the web demo install road, the run road and the directory fetch.
#include "installer/INST_demo_road.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <unistd.h>

#include "base/APP_alert.h"
#include "base/APP_clock.h"
#include "base/FILE_error_text.h"
#include "base/FILE_ops.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "base/PREF_file.h"
#include "base/http.h"
#include "installer/INST_activity.h"
#include "installer/INST_dialogs.h"
#include "installer/INST_directory_zip.h"
#include "installer/INST_download.h"
#include "installer/INST_fetch_limits.h"
#include "installer/INST_folders.h"
#include "installer/INST_format.h"
#include "installer/INST_globals.h"
#include "installer/INST_page_routines.h"
#include "installer/INST_plan.h"
#include "installer/INST_registration.h"
#include "installer/INST_scan.h"
#include "installer/INST_stand_ins.h"
#include "installer/INST_startup.h"
#include "installer/INST_text.h"
#include "installer/INST_wizard.h"
#include "platform/APP_time.h"
#include "ui/BTN_text_field.h"
#include "ui/BTN_widgets.h"
#include "ui/OGL_font.h"
#include "ui/WIN_file_dialog.h"

using inst_text::tr;
using inst_text::tr1;
using inst_text::tr2;

// The road's state (main thread).
int INST_agreed = 0;
int INST_download_started = 0;
std::string INST_destination_parent;
std::string INST_install_name;
std::string INST_desktop_folder;
float INST_demo_progress = 0.0f;
int INST_chosen_server = 0;

namespace {

// What the pages keep for themselves between frames (main thread).
struct road_state {
    int destination_changed = 0;           // since the totals were last computed
    bool launch_refusal_logged = false;    // in this visit of the launch page
    bool directory_listed_nothing = false; // the last directory read held no file: not fetched again
    bool expansion_failure_told = false;   // the alert of a directory archive that cannot be expanded was
                                           // raised since the last one that could
} state;

constexpr int directory_key = 1; // HTTP transfer key of the directory fetch
constexpr size_t install_name_limit = 256;

const server_record* chosen_server() {
    if (INST_servers.servers.empty())
        return nullptr;
    if (INST_chosen_server < 0 || INST_chosen_server >= static_cast<int>(INST_servers.servers.size()))
        INST_chosen_server = 0;
    return &INST_servers.servers[static_cast<size_t>(INST_chosen_server)];
}

// A server picked at random among the others than `failed`, so that the next try asks another one.
int other_server(int failed) {
    const int n = static_cast<int>(INST_servers.servers.size());
    if (n < 2)
        return 0;
    const int r = UTL_rand_range(0, n - 2);
    return r >= failed ? r + 1 : r;
}

// What went wrong with the server-list fetch of result `r` (UTL_fetch_server_list), on HTTP key `key`.
fetch_fault list_fault(int r, int key) {
    return r == 4 ? INST_transfer_fault(key) : r == 5 ? INST_fetch_too_new : INST_fetch_unreadable;
}

// Why the server-list fetch with result `r` failed: the transfer's error, or the file it brought that
// cannot be read (`file`), an empty one above all.
std::string fetch_error(int r, int key, const std::string& file) {
    if (r == 4)
        return HTTP_failure_text(key);
    std::error_code error;
    if (r == 3 && std::filesystem::file_size(file, error) == 0 && !error)
        return tr("The list arrived empty");
    std::string text;
    FILE_error_text(text, r == 3 ? 20006 : EPROTO);
    return text;
}

void add_beta_box(float y) {
    BTN_check(
        250.0f, y, &PREF_installer.get_beta,
        tr("|Get the new beta as a demo if available. Leave this off unless you want to participate in the "
           "Aerivon beta program!"),
        0);
}

// True for an expansion error of this machine, which every server's archive would meet: no room, an I/O
// error, a read-only disk or a work folder that cannot be written, no descriptor or memory left, a write
// that failed without an errno. Any other (minizip's codes, 20001, 20002, a name leading outside (20014),
// an entry in a folder the archive does not hold, a name too long or taken by a folder) is the archive's:
// it is damaged.
bool expansion_failed_here(int error, const std::string& work) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
    case EIO:
    case EROFS:
    case EMFILE:
    case ENFILE:
    case ENOMEM:
    case 20004:
        return true;
    case EACCES:
    case EPERM:
        return access(work.c_str(), W_OK | X_OK) != 0;
    default:
        return false;
    }
}

// The directory fetch from `server` failed with `why` and `fault`: it is tried again after its wait, from
// another server unless the failure was this machine's or the proxy setting's, which every server would
// meet.
void directory_fetch_failed(const server_record& server, const std::string& why, fetch_fault fault) {
    INST_fetch_failed(INST_directory_fetch, server.host, why, fault);
    if (fault != INST_fetch_here && fault != INST_fetch_bad_proxy)
        INST_chosen_server = other_server(INST_chosen_server);
}

// The directory archive arrived from `server`: unzip it (never trusting an older directory.txt) and read
// it. An archive that cannot be expanded is a failed fetch, paced like a failed transfer; the alert says
// so at the first failure since the last expansion that succeeded only, whatever the transfers did
// meanwhile, and the status line at every try, so that the page and its QUIT stay within reach.
void take_directory_archive(const server_record& server, const std::string& zip, const std::string& text,
                            const std::string& work) {
    int unzip_error = 0;
    const int read = INST_unzip_directory_file(zip, work, INST_directory, &unzip_error, false);
    if (unzip_error != 0) {
        std::string message;
        FILE_error_text(message, unzip_error);
        FILE_delete(zip);
        const bool first = !state.expansion_failure_told;
        state.expansion_failure_told = true;
        directory_fetch_failed(server, message,
                               expansion_failed_here(unzip_error, work) ? INST_fetch_here
                                                                        : INST_fetch_unreadable);
        if (first)
            APP_alert(0, tr("The installer cannot extract a file."), tr1("Error: %1:message%.", message),
                      tr1("Compressed File  %1:file%.", zip), tr1("Destination Path: %1:file%.", work), 1,
                      "main", 597);
        return;
    }
    state.expansion_failure_told = false;
    INST_fetch_succeeded(INST_directory_fetch);
    if (read == 0 && INST_directory.packages.empty()) {
        // A directory that lists nothing is a failed one: installing it would register an empty copy.
        LOG_stream << "The directory file " << text
                   << " lists no file; the servers' information is not used.\n";
        INST_directory.version = 0;
        state.directory_listed_nothing = true;
    } else if (read == 0) {
        INST_build_offered_tiles();
    } else if (read == 3) {
        APP_alert(0, "I tried to read a directory file that does not exist!", "The file is:", text, "", 2,
                  "main", 582);
    } else if (read == 5) {
        INST_report_installer_too_old(text);
    }
    FILE_delete(zip);
}

} // namespace

int INST_install_name_is_usable(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos)
        return 0;
    return FILE_is_safe_relative(name) ? 1 : 0;
}

bool INST_describe_destination(page_desc* d) {
    if (!INST_install_name_is_usable(INST_install_name)) {
        INST_install_folder = INST_destination_parent;
        d->body = tr("Please pick a name for your Aerivon 10 installation...");
        d->next = nullptr;
        return false;
    }
    INST_install_folder = INST_destination_parent + INST_install_name + "/";
    if (FILE_is_folder(INST_install_folder)) {
        d->body = tr2(
            "The folder '%1:install name%' already exists inside the folder '%2:parent folder%'.\n\nPlease "
            "change the install name or destination.",
            INST_install_name, INST_destination_parent);
        d->next = nullptr;
        return false;
    }
    d->body = tr2("I will create the folder '%1:install name%' inside the folder '%2:parent folder%'.",
                  INST_install_name, INST_destination_parent);
    if (INST_destination_parent == INST_desktop_folder)
        d->body += tr1("\n\n(The folder %1:install name% will appear on your desktop.)", INST_install_name);
    return true;
}

void INST_fetch_directory_file() {
    const std::string work = INST_work_path("");
    const std::string zip = work + "directory.txt.zip";
    const std::string text = work + "directory.txt";

    if (INST_servers.version == 0 || INST_servers.servers.empty()) {
        if (!INST_fetch_due(INST_server_list_fetch))
            return;
        const int r = UTL_fetch_server_list(INST_servers);
        if (r != 0 && r != 2)
            INST_fetch_failed(INST_server_list_fetch, UTL_MAKER_HOST,
                              fetch_error(r, 0, INST_work_path(UTL_SERVER_LIST_NAME)), list_fault(r, 0));
        if (r == 0 && INST_servers.servers.empty()) {
            // A list that names no server (nor an option one) is no better than an empty one: asking again
            // at once would ask at every frame.
            LOG_stream << "The server list names no server.\n";
            INST_fetch_failed(INST_server_list_fetch, UTL_MAKER_HOST, tr("The list names no server"),
                              INST_fetch_unreadable);
        } else if (r == 0) {
            INST_fetch_succeeded(INST_server_list_fetch);
            UTL_install_directory_clear(INST_directory);
            INST_directory.version = -1;
            INST_directory.version_folder =
                PREF_installer.get_beta ? INST_servers.beta_name : INST_servers.final_name;
            for (server_record& s : INST_servers.servers)
                s.base_path += INST_directory.version_folder + "/";
        } else if (r == 5) {
            INST_report_installer_too_old("");
        }
        return;
    }
    if (INST_directory.version == -1)
        state.directory_listed_nothing = false;
    if (!INST_directory.packages.empty() || INST_directory.version_folder.empty() ||
        state.directory_listed_nothing)
        return;
    const server_record* server = chosen_server();
    if (!server || !INST_fetch_due(INST_directory_fetch))
        return;
    switch (net_check(directory_key, server->host, server->base_path + "directory.txt.zip", zip,
                      INST_listing_byte_cap)) {
    case 0:
        return;
    case 1:
        take_directory_archive(*server, zip, text, work);
        return;
    default:
        directory_fetch_failed(*server, HTTP_failure_text(directory_key), INST_transfer_fault(directory_key));
        return;
    }
}

void INST_drop_directory_fetch() {
    HTTP_drop(0); // the server list's key (UTL_fetch_server_list)
    HTTP_drop(directory_key);
}

void INST_show_fetch_failure(page_desc* d) {
    std::string line = INST_fetch_failure_line(INST_server_list_fetch);
    if (line.empty())
        line = INST_fetch_failure_line(INST_directory_fetch);
    if (line.empty())
        return;
    d->status = line;
    d->progress = std::max(d->progress, 0.0f);
}

int INST_page_demo_welcome(int entered, page_desc* d) {
    if (entered) {
        INST_agreed = 0;
        INST_read_registration_file();
        step_list.pages = {INST_page_demo_welcome,  INST_page_license,
                           INST_page_check_servers, INST_page_pick_destination_demo,
                           INST_page_download_demo, INST_page_finished_web_demo};
        step_list.names = {tr("Welcome"),          tr("License"), tr("Check Servers"),
                           tr("Pick Destination"), tr("Install"), tr("Finish")};
        INST_reset_downloads();
    }
    d->preferences = 1;
    if (known_installs.empty()) {
        d->title = tr("Welcome");
        d->body = tr("I will guide you through the process of installing the web demo of Aerivon 10.");
        d->next = INST_page_license;
        add_beta_box(100.0f);
    } else {
        d->body = tr(
            "You already have the Aerivon 10 demo installed on this computer.  What would you like to do?");
        d->choice_labels = {tr("Run the Aerivon Demo Now"), tr("Update the Aerivon Demo"),
                            tr("Install A Second Copy of the Aerivon Demo")};
        d->choice_targets = {INST_page_run_demo_chooser, INST_page_choose_copy_update, INST_page_license};
    }
    return 0;
}

int INST_page_license(int entered, page_desc* d) {
    // Back from Check Servers: its fetches are nobody's now, and a look-up that hangs keeps nothing busy.
    if (entered)
        INST_drop_directory_fetch();
    d->title = tr("End User License Agreement");
    d->body =
        tr("You agree to use Aerivon only for NON-COMMERCIAL use.\n\n") +
        tr1("If you want to use Aerivon for professional or commercial work, please visit %1:web site% to "
            "learn about the professional version.",
            INST_MAKER_WEB_SITE) +
        "\n\n" + tr("You agree to not make copies of Aerivon.\n\n") +
        tr("You agree to not distribute the artwork from Aerivon, OR ANY DERIVATIVE OF THAT ARTWORK, "
           "without permission from Nordvane Systems.");
    // The licence is a step of the web demo road and of the disc road: it leads to its neighbours in the
    // road's steps (the demo road's by default).
    page_fn back = INST_page_demo_welcome, next = INST_page_check_servers;
    for (size_t i = 1; i + 1 < step_list.pages.size(); ++i)
        if (step_list.pages[i] == INST_page_license) {
            back = step_list.pages[i - 1];
            next = step_list.pages[i + 1];
        }
    d->back = back;
    BTN_check(250.0f, 300.0f, &INST_agreed, tr("|-I agree!"), 0);
    d->next = INST_agreed ? next : nullptr;
    if (!known_installs.empty())
        add_beta_box(100.0f);
    return 0;
}

int INST_page_check_servers(int entered, page_desc* d) {
    if (entered && INST_directory.version == 0 && !INST_servers.servers.empty())
        INST_directory.version = -1; // a failed directory is fetched again on every visit
    d->title = tr("Check Servers");
    d->back = INST_page_license;
    d->preferences = 1; // the proxy may be what keeps the servers out of reach
    INST_fetch_directory_file();
    if (INST_servers.servers.empty()) {
        d->body = tr1("I am contacting %1:web site% to find a server for the Aerivon 10 demo.",
                      INST_MAKER_WEB_SITE);
        INST_show_fetch_failure(d);
        return 0;
    }
    if (INST_directory.version == -1) {
        const int p = static_cast<int>(INST_download_percent(directory_key));
        if (p == -1)
            d->body = tr(
                "I am checking the net for the latest version of Aerivon 10 right now, and I am connecting "
                "to the server...");
        else
            d->body = tr1("I am checking the net for the latest version of Aerivon 10 right now, and I am "
                          "%1:progress%% done checking.",
                          INST_int_to_string(p));
        d->progress = static_cast<float>(p) / 100.0f;
        const server_record* server = chosen_server();
        d->status =
            tr1("I am downloading demo info from %1:server name%.", server ? server->host : std::string());
        INST_show_fetch_failure(d);
        return 0;
    }
    if (INST_directory.version != 0) {
        d->next = INST_page_pick_destination_demo;
        return 1;
    }
    d->body = tr("There was a problem reading information from the servers.");
    return 0;
}

int INST_page_pick_destination_demo(int entered, page_desc* d) {
    if (entered) {
        if (INST_download_started) {
            const INST_cancel_demo_texts q = INST_cancel_demo_question();
            if (INST_two_button_dialog(q.message, q.label1, q.explanation1, q.label2, q.explanation2) != 1) {
                // Go on where the install stopped: nothing is reset, nothing is fetched again. Unanswered
                // (a quit came) counts the same: nothing is deleted.
                d->next = INST_page_download_demo;
                return 1;
            }
            INST_reset_downloads(); // the expansions in flight end before their copy goes
            if (!INST_install_folder.empty())
                FILE_delete_tree(INST_install_folder);
            INST_download_started = 0;
        }
        INST_reset_downloads();
        FILE_get_special_folder(2, INST_desktop_folder);
        state.destination_changed = 1;
    }
    if (INST_destination_parent.empty()) {
        FILE_get_special_folder(3, INST_destination_parent);
        INST_install_name = tr1("%1:install name% Demo", "Aerivon 10");
        state.destination_changed = 1;
    }
    d->title = tr1("Pick Install Destination for %1:install%.", INST_directory.version_folder);
    d->back = INST_page_license;
    d->next = INST_page_download_demo;

    d->body_bottom = 220.0f; // a long folder's text ends above the button and the name field
    const std::string change = tr("Change Destination");
    const float bw = OGL_measure_string(change) + 21.0f;
    if (BTN_push(290.0f, 203.0f, bw, 0, 1, change, "-")) {
        std::string chosen = INST_destination_parent;
        if (WIN_choose_file_or_folder(2, tr("Pick a folder to install the Aerivon 10 demo into."),
                                      INST_destination_parent, chosen, tr("Select"))) {
            INST_destination_parent = chosen;
            state.destination_changed = 1;
        }
    }
    const std::string label = tr("Install Name:");
    const float field_x = bw * 0.5f + 310.0f + OGL_measure_string(label);
    if (BTN_text_field(field_x, 200.0f, INST_install_name, static_cast<int>(install_name_limit), label,
                       760.0f - field_x, 0))
        state.destination_changed = 1;

    if (!INST_describe_destination(d))
        return 0;
    if (state.destination_changed) {
        state.destination_changed = 0;
        INST_set_include_flags(1, 0);
        INST_scan_local_signatures_wait(0);
        INST_clear_tile_selection();
        INST_compute_totals();
    }
    if (!INST_draw_disk_space_panel(
            tr("You have enough free disk space to install the Aerivon 10 demo at this location."),
            tr("You do not have enough free disk space to install the Aerivon 10 demo at this location. You "
               "can "
               "install to a different location, or save disk space by installing only some of the global "
               "scenery.")))
        d->next = nullptr;
    return 0;
}

int INST_page_download_demo(int, page_desc* d) {
    if (!INST_download_started) {
        if (!INST_plan_install_actions() || INST_create_install_folders() != 0) {
            d->next = INST_page_pick_destination_demo;
            return 1;
        }
        INST_reset_downloads();
        INST_download_started = 1;
        INST_demo_progress = 0.0f;
        INST_register_install_folder();
        INST_set_sim_root();
    }
    d->title = tr("Installing");
    const int64_t t0 = APP_get_microseconds();
    do {
        if (INST_download_step() == 1) {
            INST_reset_downloads();
            d->back = nullptr;
            d->next = INST_page_finished_web_demo;
            INST_download_started = 0;
            return 1;
        }
        INST_describe_install(d, &INST_demo_progress, false);
        d->back = INST_page_pick_destination_demo;
        d->next = nullptr;
        d->cancel_confirmation = INST_confirm_cancel_demo;
    } while (INST_download_frame_goes_on(t0));
    return 0;
}

int INST_page_finished_web_demo(int, page_desc* d) {
    d->title = tr("Finshed Web Demo Install");
    d->next = INST_page_quit;
    if (install_failed) {
        d->body = tr("There were problem installing the Aerivon 10 web demo - it may not be usable.");
    } else {
        d->body =
            tr1("I have finished installing the Aerivon 10 web demo at: %1:file path%.", INST_install_folder);
        d->choice_labels = {tr("Fly Aerivon 10 Now")};
        d->choice_targets = {INST_launch_simulator};
    }
    return 0;
}

int INST_page_run_demo_chooser(int, page_desc* d) {
    d->title = tr("Run Aerivon");
    d->back = INST_page_demo_welcome;
    d->next = INST_launch_simulator;
    if (known_installs.size() == 1) {
        INST_install_folder = known_installs[0];
        return 1;
    }
    d->body = tr("You have more than one copy of the Aerivon 10 demo installed on this computer.  ") +
              tr("Please pick which copy of the Aerivon 10 demo you would like to run.");
    INST_choose_installed_copy();
    if (INST_install_folder.empty())
        d->next = nullptr;
    return 0;
}

int INST_launch_simulator(int entered, page_desc*) {
    if (entered)
        state.launch_refusal_logged = false;
    const std::string program = INST_install_folder + INST_sim_executable;
    const int err = FILE_shell_open(program, "", 1);
    if (err != 0 && !state.launch_refusal_logged) {
        std::string text;
        FILE_error_text(text, err);
        LOG_stream << "Could not start the simulator " << program << ": " << text << " (error " << err
                   << ")\n";
        state.launch_refusal_logged = true;
    }
    return 0;
}
