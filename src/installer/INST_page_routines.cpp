// INST_page_routines: the UI atlas of the language, the disk panel and the cancel confirmations.
#include "installer/INST_page_routines.h"

#include <cmath>

#include <algorithm>

#include "base/APP_clock.h"
#include "base/FILE_ops.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "base/PREF_file.h"
#include "installer/INST_dialogs.h"
#include "installer/INST_download.h"
#include "installer/INST_format.h"
#include "installer/INST_globals.h"
#include "installer/INST_scan.h"
#include "installer/INST_text.h"
#include "ui/OGL_font.h"
#include "ui/TEX_manager.h"

using inst_text::tr;
using inst_text::tr1;
using inst_text::tr2;

// The atlas and its language (main thread).
int INST_ui_atlas = 0;
int INST_ui_atlas_language = -1;

namespace {

// The record a slot works on, when it is busy with a planned download; else null.
const file_record* slot_download(const download_slot& s) {
    const package_list& list = INST_directory.packages;
    if (s.package_index < 0 || static_cast<size_t>(s.package_index) >= list.size() ||
        list[static_cast<size_t>(s.package_index)].empty())
        return nullptr;
    const file_record& r = list[static_cast<size_t>(s.package_index)].back();
    return r.plan_download && r.download_kb > 0.0f ? &r : nullptr;
}

// The share of its package that a transferring slot has received.
float slot_share(const download_slot& s, const file_record& r) {
    return std::clamp(s.size_in_progress / r.download_kb, 0.0f, 1.0f);
}

// KB of the download total received: finished transfers, the running ones, and those being expanded.
float downloaded_kb() {
    return INST_dispenser.size_downloaded + INST_dispenser.size_in_progress + INST_dispenser.size_expanding;
}

// The singular or plural form for n, translated, with the arguments put in.
std::string count3(int n, const char* singular, const char* plural, const std::string& a1,
                   const std::string& a2, const std::string& a3) {
    std::string t, out;
    LANG_translate_count(t, n, singular, plural);
    LANG_subst3(out, t, a1, a2, a3);
    return out;
}

// True once a server failed in this download: its slot has a status text.
bool a_server_failed() {
    for (const download_slot& s : INST_dispenser.slots)
        if (!s.status_text.empty())
            return true;
    return false;
}

// True while every server sits out a failure or has nothing left, and at least one sits out: nothing is
// arriving or being expanded, and nothing will until a wait ends.
bool waiting_for_servers(float now, int servers, int entries) {
    const download_dispenser& d = INST_dispenser;
    if (static_cast<int>(d.slots.size()) < servers || d.size_expanding > 0.0f)
        return false;
    bool benched = false;
    for (const download_slot& s : d.slots) {
        if ((s.state == 0 && s.package_index < entries) || s.expanding > 0)
            return false;
        benched = benched || now < s.retry_time;
    }
    return benched;
}

// True while bytes are measured: a running transfer has received some, or a download is being expanded.
bool bytes_measured() {
    const download_dispenser& d = INST_dispenser;
    if (d.size_expanding > 0.0f)
        return true;
    for (const download_slot& s : d.slots)
        if ((s.state == 0 && s.size_in_progress > 0.0f) || s.expanding > 0)
            return true;
    return false;
}

// The installing pages' body (see INST_describe_install).
std::string install_body(bool finished_lines) {
    const float now = INST_download_clock();
    const float elapsed = std::max(1.0f, now - INST_dispenser.start_time);
    const float done = downloaded_kb();
    const float remaining = std::max(0.0f, INST_total_download_kb - done);
    const float rate = done / elapsed;
    const int servers = static_cast<int>(INST_servers.servers.size());
    const int entries = static_cast<int>(INST_directory.packages.size());
    // The step has work left whenever the page asks: a time left or a rate that rounds to 0 would be false,
    // and so would one while every server waits out a failure (the rate would be the average, then the
    // floor, and the time left hours), or one built from the 1 KB/s floor while no byte is measured (a
    // retry that is due, a transfer started again with no byte yet).
    std::string body;
    if (waiting_for_servers(now, servers, entries) || (rate < 1.0f && !bytes_measured()))
        body = tr("I am waiting for the servers: each is tried again when its wait is over.");
    else if (rate > 0.0f)
        body = count3(
            servers,
            "About %1:time% left in the install, downloading at %2:rate% with %3:number% download stream.",
            "About %1:time% left in the install, downloading at %2:rate% with %3:number% simultaneous "
            "servers.",
            INST_format_time_left(std::max(1.0f, remaining / rate)), INST_format_rate(std::max(1.0f, rate)),
            INST_int_to_string(servers));
    for (int i = 0; i < servers; ++i) {
        const std::string& host = INST_servers.servers[static_cast<size_t>(i)].host;
        const download_slot* slot = i < static_cast<int>(INST_dispenser.slots.size())
                                        ? &INST_dispenser.slots[static_cast<size_t>(i)]
                                        : nullptr;
        // A server benched for another package's fault goes on with the transfer it holds: its bench
        // shows only once it holds none.
        const bool fetching = slot && slot->state == 0 && slot->package_index < entries;
        std::string line;
        if (finished_lines && (!slot || (now >= slot->retry_time && slot->package_index >= entries))) {
            line = tr1("\n\n%1:server% is finished.", host);
        } else if (!slot || fetching || now >= slot->retry_time) {
            const float slot_kb = slot ? slot->size_finished + slot->size_in_progress : 0.0f;
            // A server whose bytes are arriving does not read 0.
            const bool receiving = slot && slot->state == 0 && slot->size_in_progress > 0.0f;
            const float slot_rate = receiving ? std::max(1.0f, slot_kb / elapsed) : slot_kb / elapsed;
            line = tr2("\n\nDownloading at %1:rate% from %2:server%.", INST_format_rate(slot_rate), host);
        } else {
            const int wait = std::max(0, static_cast<int>(slot->retry_time - now));
            line = count3(wait, "\n\n%1:server%: %2:errormessage%.  Will retry in %3:seconds% second.",
                          "\n\n%1:server%: %2:errormessage%.  Will retry in %3:seconds% seconds.", host,
                          INST_slot_status_text(i), INST_int_to_string(wait));
        }
        body += body.empty() ? line.substr(2) : line;
    }
    return body;
}

// The whole percent of the bar last logged, -1 when none (main thread).
int logged_percent = -1;

} // namespace

float INST_install_kb_in() {
    // A package being expanded counts whole; one being fetched by the share of it that has arrived.
    float kb = INST_dispenser.size_expanded + INST_dispenser.size_expanding_expanded;
    for (const download_slot& s : INST_dispenser.slots)
        if (const file_record* r = s.state == 0 ? slot_download(s) : nullptr)
            kb += slot_share(s, *r) * r->expanded_kb;
    return kb;
}

float INST_smooth_install_progress(float shown) {
    const float target = INST_total_expanded_kb > 0.0f ? INST_install_kb_in() / INST_total_expanded_kb : 1.0f;
    const float k = 5.0f * APP_clock.frame_time;
    const float p = (1.0f - k) * shown + k * target;
    return std::isfinite(p) ? std::clamp(p, 0.0f, 1.0f) : 0.0f;
}

void INST_describe_install(page_desc* d, float* shown, bool finished_lines) {
    *shown = INST_smooth_install_progress(*shown);
    d->progress = *shown;
    d->status = INST_install_status_text();
    // A server's failure shows from the start: before any byte came, the page would say nothing else.
    d->body = *shown > 0.01f || a_server_failed() ? install_body(finished_lines) : std::string();
    const int percent = static_cast<int>(*shown * 100.0f);
    if (percent == logged_percent || !PREF_installer.log_actions)
        return;
    logged_percent = percent;
    LOG_stream << "Install progress: " << percent << "% " << d->body.substr(0, d->body.find('\n')) << "\n";
}

std::string INST_install_status_text() {
    const std::string& file = INST_last_file_name;
    switch (INST_last_action) {
    case 0:
        return tr1("Deleting %1:file% because that file is no longer needed!", file);
    case 1:
        return tr2("Downloading and installing %1:file%, currently %2:progress%% done with that file.", file,
                   INST_int_to_string(
                       static_cast<int>(std::max(INST_last_fraction, 0.0f) * 100.0f))); // -1: no head yet
    case 2:
        return tr1("Skipping %1:file% because it is already installed.", file);
    default:
        return tr1("Skipping %1:file% because you don't need it.", file);
    }
}

std::string INST_ui_atlas_name(int language) {
    static const char* const names[] = {"English", "French", "German", "Russian", "Italian", "Spanish"};
    const char* name = language >= 0 && language < 6 ? names[language] : names[0];
    return std::string("RESOURCE:elements_") + name + ".png";
}

void INST_load_ui_atlas() {
    const int language = LANG_current_language();
    INST_ui_atlas = TMAN_load_bitmap(4, 1022, 0x220242, 2, INST_ui_atlas_name(language));
    INST_ui_atlas_language = language;
}

void INST_update_language_atlas() {
    if (LANG_current_language() != INST_ui_atlas_language)
        INST_load_ui_atlas();
}

bool INST_enough_disk_space(float install_total_kb, uint64_t free_bytes) {
    return install_total_kb <= static_cast<float>(free_bytes / 1000);
}

namespace {

// The disk panel's text and whether the space is enough; false when the volume cannot be asked.
bool disk_space_text(const std::string& enough, const std::string& not_enough, std::string* text, bool* ok) {
    uint64_t total_bytes = 0, free_bytes = 0;
    if (FILE_free_disk_space(INST_install_folder, &total_bytes, &free_bytes) != 0)
        return false;
    const float total = static_cast<float>(total_bytes / 1000);
    const float free = static_cast<float>(free_bytes / 1000);
    *ok = INST_enough_disk_space(INST_total_expanded_kb, free_bytes);
    LANG_subst4(*text,
                tr("Disk size: %1:total disk space%\nFree disk space: %2:free disk space%\nDisk space needed "
                   "to install: %3:required disk space%\n\n%4:status message%"),
                INST_format_size_kb(total), INST_format_size_kb(free),
                INST_format_size_kb(INST_total_expanded_kb), *ok ? enough : not_enough);
    return true;
}

constexpr float disk_panel_x = 220.0f, disk_panel_y = 130.0f, disk_panel_wrap = 560.0f;

} // namespace

bool INST_draw_disk_space_panel(const std::string& enough, const std::string& not_enough) {
    std::string text;
    bool ok = true;
    if (!disk_space_text(enough, not_enough, &text, &ok))
        return true;
    OGL_draw_string(54, disk_panel_x, disk_panel_y, text, disk_panel_wrap, 0, 0, 1.0f);
    return ok;
}

float INST_disk_space_panel_head_right() {
    std::string text;
    bool ok = true;
    if (!disk_space_text("", "", &text, &ok))
        return disk_panel_x;
    const std::vector<OGL_text_line> lines = OGL_layout_string(text, disk_panel_wrap, 0);
    float width = 0.0f;
    for (size_t i = 0; i < lines.size() && i < 3; ++i)
        width = std::max(width, OGL_measure_range(lines[i].begin, lines[i].end));
    return disk_panel_x + width;
}

INST_cancel_demo_texts INST_cancel_demo_question() {
    return {
        tr("Are you sure you want to cancel the installation? This will delete the partially installed copy "
           "of the Aerivon 10 demo."),
        tr("Cancel"), tr("the demo installation and delete partial installation."), tr("Continue"),
        tr("the demo installation process.")};
}

bool INST_confirm_cancel_demo() {
    const INST_cancel_demo_texts q = INST_cancel_demo_question();
    // Unanswered (a quit came, which goes on by itself): the partial copy stays.
    if (INST_two_button_dialog(q.message, q.label1, q.explanation1, q.label2, q.explanation2) != 1)
        return false;
    INST_reset_downloads(); // no expansion may still be writing into the copy
    if (!INST_install_folder.empty())
        FILE_delete_tree(INST_install_folder);
    return true;
}

bool INST_confirm_stop_update() {
    if (INST_two_button_dialog(
            tr("Are you sure you want to stop the update? Aerivon 10 will not be usable until "
               "the update is finished.  You can resume the update later."),
            tr("Stop"), tr("the update."), tr("Continue"), tr("the update process.")) == 0)
        return false;
    INST_reset_downloads(); // the expansions in flight end before the program does
    return true;
}
