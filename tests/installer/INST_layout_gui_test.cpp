// Every page of the four roads, the installer's questions, OPTIONS, an alert and the language chooser, in
// each language of the language table: what each draws (the text record, not pixels) must keep every text
// inside its box and the view, no two texts over each other, and no label wider than its button.
// AERIVON_LAYOUT_SHOTS=<folder> also saves a picture of each screen there (name_language.png).
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>

#include "base/APP_alert.h"
#include "base/http.h"
#include "installer/INST_dialogs.h"
#include "installer/INST_download.h"
#include "installer/INST_folders.h"
#include "installer/INST_modified_dialog.h"
#include "installer/INST_preferences.h"
#include "installer/INST_text.h"
#include "installer/INST_update_road.h"
#include "support/disc_road_fixture.h"
#include "ui/APP_alert_box.h"
#include "ui/OGL_text_record.h"
#include "ui/TEX_png.h"

namespace {

const char* const language_names[LANG_COUNT] = {"English", "French",  "German",     "Russian",
                                                "Italian", "Spanish", "Portuguese", "Japanese"};

// Rectangles that share more than a hair (half a unit each way) overlap.
bool overlap(const OGL_text_rect& a, const OGL_text_rect& b) {
    return std::min(a.x1, b.x1) - std::max(a.x0, b.x0) > 0.5f &&
           std::min(a.y1, b.y1) - std::max(a.y0, b.y0) > 0.5f;
}
bool inside(const OGL_text_rect& in, const OGL_text_rect& box) {
    return in.x0 >= box.x0 && in.x1 <= box.x1 && in.y0 >= box.y0 && in.y1 <= box.y1;
}
std::string show(const OGL_text_rect& r) {
    std::ostringstream s;
    s << "[" << r.x0 << ".." << r.x1 << " x " << r.y0 << ".." << r.y1 << "]";
    return s.str();
}
std::string quoted(const OGL_drawn_text& t) {
    std::string s = t.text.size() > 60 ? t.text.substr(0, 60) + "..." : t.text;
    std::replace(s.begin(), s.end(), '\n', ' ');
    return "\"" + s + "\"";
}

// What a scissor box leaves of a text.
OGL_drawn_text visible_part(OGL_drawn_text t) {
    if (!t.clipped)
        return t;
    std::vector<OGL_text_rect> kept;
    for (OGL_text_rect g : t.glyphs) {
        g = {std::max(g.x0, t.clip.x0), std::max(g.y0, t.clip.y0), std::min(g.x1, t.clip.x1),
             std::min(g.y1, t.clip.y1)};
        if (g.x1 > g.x0 && g.y1 > g.y0)
            kept.push_back(g);
    }
    t.glyphs = kept;
    if (!kept.empty()) {
        t.ink = kept.front();
        for (const OGL_text_rect& g : kept)
            t.ink = {std::min(t.ink.x0, g.x0), std::min(t.ink.y0, g.y0), std::max(t.ink.x1, g.x1),
                     std::max(t.ink.y1, g.y1)};
    }
    return t;
}

OGL_text_rect grown(const OGL_text_rect& r, float by) { return {r.x0 - by, r.y0 - by, r.x1 + by, r.y1 + by}; }

// The faults of one screen's record; `view` is the screen's view. Texts keep a unit off the frames of
// other widgets, and frames do not run into each other.
std::vector<std::string> layout_faults(const std::vector<OGL_drawn_text>& record,
                                       const std::vector<OGL_drawn_frame>& frames,
                                       const OGL_text_rect& view) {
    std::vector<std::string> faults;
    std::vector<OGL_drawn_text> texts;
    for (const OGL_drawn_text& t : record) {
        OGL_drawn_text v = visible_part(t);
        if (!v.glyphs.empty())
            texts.push_back(std::move(v));
    }
    for (const OGL_drawn_text& t : texts) {
        // The view's edge clips what passes it: reaching it counts as passing it.
        if (!(t.ink.x0 > view.x0 && t.ink.x1 < view.x1 && t.ink.y0 > view.y0 && t.ink.y1 < view.y1))
            faults.push_back(quoted(t) + " " + show(t.ink) + " leaves the view " + show(view));
        if (t.box_name == "button" && t.ink.x1 - t.ink.x0 > t.box.x1 - t.box.x0 - 8.0f)
            faults.push_back(quoted(t) + " is wider than its button " + show(t.box) + " less its margins");
        else if (!t.box_name.empty() && !inside(t.ink, t.box))
            faults.push_back(quoted(t) + " " + show(t.ink) + " crosses its " + t.box_name + " " +
                             show(t.box));
    }
    for (const OGL_drawn_text& t : texts)
        for (const OGL_drawn_frame& f : frames) {
            if (f.serial == t.box_serial || !overlap(grown(t.ink, 1.0f), f.rect))
                continue;
            bool hit = false;
            for (const OGL_text_rect& g : t.glyphs)
                hit = hit || overlap(grown(g, 1.0f), f.rect);
            if (hit)
                faults.push_back(quoted(t) + " " + show(t.ink) + " touches the " + f.name + " " +
                                 show(f.rect));
        }
    for (size_t i = 0; i < frames.size(); ++i)
        for (size_t j = i + 1; j < frames.size(); ++j)
            if (overlap(frames[i].rect, frames[j].rect))
                faults.push_back("the " + frames[i].name + " " + show(frames[i].rect) + " runs into the " +
                                 frames[j].name + " " + show(frames[j].rect));
    for (size_t i = 0; i < texts.size(); ++i)
        for (size_t j = i + 1; j < texts.size(); ++j) {
            const OGL_drawn_text &a = texts[i], &b = texts[j];
            // The lines of one label share their box.
            if ((a.box_serial != 0 && a.box_serial == b.box_serial) || !overlap(a.ink, b.ink))
                continue;
            bool hit = false;
            for (const OGL_text_rect& g : a.glyphs)
                for (const OGL_text_rect& h : b.glyphs)
                    hit = hit || overlap(g, h);
            if (hit)
                faults.push_back(quoted(a) + " " + show(a.ink) + " overlaps " + quoted(b) + " " +
                                 show(b.ink));
        }
    return faults;
}

class LayoutGui : public test::DiscRoadGuiFixture {
  protected:
    void SetUp() override {
        DiscRoadGuiFixture::SetUp();
        if (IsSkipped())
            return;
        edittest::after_frame = nullptr;
        generate({"--scenery-disc"});
        // The first mirror never sends the directory, and neither mirror the compressible package past its
        // head: the fetching pages and the installing pages stay where a user sees them.
        server = std::make_unique<test::DemoServer>(
            release, std::vector<std::string>{"mirror1.test/directory.txt.zip=stall", "mirror1.test/.7z=drip",
                                              "mirror2.test/.7z=drip"});
        ASSERT_TRUE(server->ok()) << server->output();
        HTTP_manager().proxy_host = "127.0.0.1";
        HTTP_manager().proxy_port = std::to_string(server->port());
        HTTP_manager().port = server->port();
        const char* shots_env = std::getenv("AERIVON_LAYOUT_SHOTS");
        shots = shots_env ? shots_env : "";
    }
    void TearDown() override {
        OGL_text_record_stop();
        if (!IsSkipped()) {
            use_language(0);
            INST_reset_downloads();
            HTTP_clear();
            HTTP_manager().proxy_host.clear();
            HTTP_manager().proxy_port.clear();
            HTTP_manager().port = 0;
        }
        DiscRoadGuiFixture::TearDown();
    }

    static void use_language(int n) {
        // A fresh start: the language list that the disc road of the language before narrowed is whole again.
        LANG_restart_for_test("");
        LANG_current_language() = n;
        if (n == 0)
            LANG_reset();
        else
            LANG_load(n);
        OGL_load_font(2);
        INST_load_ui_atlas();
    }

    // The program as a user starts it: two registered copies of release v1, the first disc in the drive,
    // nothing fetched, nothing under way.
    void start_program() {
        INST_reset_downloads();
        INST_release_dvd_queues();
        INST_release_checksum_queue();
        HTTP_clear();
        reset_road_state();
        INST_download_started = INST_chosen_server = INST_nothing_to_update = install_failed = 0;
        std::string registered;
        std::filesystem::remove_all(home.file("Desktop"));
        std::filesystem::create_directories(home.file("Desktop"));
        for (const std::string& copy : {installed, second}) {
            std::filesystem::remove_all(copy);
            std::filesystem::copy(release + "/installed-v1", copy, std::filesystem::copy_options::recursive);
            registered += copy + "\n";
        }
        test::write_file(INST_registration_file_path(), registered);
        set_discs({disc(0)});
        current_page = previous_page = nullptr;
    }

    void save_shot(const std::string& name) const {
        const uitest::frame f = uitest::read_frame();
        std::vector<uint8_t> rows = f.pixels;
        for (size_t i = 3; i < rows.size(); i += 4)
            rows[i] = 255;
        TEX_write_png(shots + "/" + name + ".png", f.width, f.height, 4, rows.data());
    }

    // Checks what the screen drew in its record; names each fault with the screen and the language.
    void check(const std::string& screen, int language) {
        const OGL_text_rect screen_view{0.0f, 0.0f, screen_state.view_width, screen_state.view_height};
        for (const std::string& fault :
             layout_faults(OGL_text_recorded(), OGL_text_recorded_frames(), screen_view))
            ADD_FAILURE() << screen << " in " << language_names[language] << ": " << fault;
        EXPECT_FALSE(OGL_text_recorded().empty())
            << screen << " in " << language_names[language] << " drew no text";
    }

    // Records the frame that enters `page`, as the wizard enters it; when `shown` is given, the page runs
    // frames until it holds and a later frame is recorded. Where the page would lead (a launch, the next
    // page) is not followed.
    void check_page(const std::string& name, page_fn page, const std::function<bool()>& shown, int language) {
        start_at(page);
        if (shown) {
            frames(1);
            EXPECT_TRUE(frames_until(shown)) << name << " in " << language_names[language] << " never came";
            current_page = previous_page = page;
        }
        OGL_clear_view();
        OGL_text_record_start();
        INST_wizard_frame();
        OGL_text_record_stop();
        check(name, language);
        if (!shots.empty()) {
            current_page = previous_page = page;
            OGL_clear_view();
            INST_wizard_frame();
            save_shot(name + "_" + language_names[language]);
        }
        current_page = previous_page = page;
    }

    // Opens a modal screen over the page shown: its first frame is recorded, its second kept as a picture,
    // then another screen ends it.
    void check_modal(const std::string& name, int screen, const std::function<void()>& open, int language) {
        int frame = 0;
        edittest::after_frame = [&] {
            if (screen_state.screen_id != screen)
                return;
            if (++frame == 1) {
                OGL_text_record_stop();
                check(name, language);
            }
            if (frame == 2 || shots.empty()) {
                if (!shots.empty())
                    save_shot(name + "_" + language_names[language]);
                APP_set_screen(0);
            }
        };
        OGL_text_record_start();
        open();
        edittest::after_frame = nullptr;
        OGL_text_record_stop();
        EXPECT_GE(frame, 1) << name << " never showed";
    }

    std::string installed = home.file("Aerivon 10/"), second = home.file("Aerivon 10 Copy/");
    // 3,900 bytes or a little more, in folder names of 99 bytes.
    const std::string long_folder = [this] {
        std::string path = home.file("");
        while (path.size() < 3900)
            path += std::string(99, 'f') + "/";
        return path;
    }();
    std::string short_folder; // the disc road's own, while the long one is shown
    std::unique_ptr<test::DemoServer> server;
    std::string shots;
};

// A modal screen: the screen id and what opens it over the page shown.
struct modal_screen {
    int screen;
    void (*open)(const std::string& copy);
};

void cancel_question(const std::string&) {
    const INST_cancel_demo_texts q = INST_cancel_demo_question();
    INST_two_button_dialog(q.message, q.label1, q.explanation1, q.label2, q.explanation2);
}
void changed_file_question(const std::string& copy) {
    INST_ask_about_modified_file(copy + "Resources/plugins/changed file.txt", 0);
}
void deleted_file_question(const std::string& copy) {
    INST_ask_about_modified_file(copy + "Resources/plugins/old file.txt", 1);
}
void options(const std::string&) { INST_preferences_dialog(); }
// The installer-too-old alert's lines, with its link as the "Learn More" button.
void alert(const std::string&) {
    using inst_text::tr;
    APP_draw_alert(
        0,
        tr("OK I am checking the Nordvane Systems servers and I am finding file formats that are newer "
           "than I can understand!"),
        tr("In other words, you need to get a new installer!"),
        tr("No problem... grab it at the download section of ") + INST_MAKER_WEB_SITE + ".", INST_DEMO_PAGE,
        1, "");
}
// The folders of an install folder of 4,080 bytes, as the installing page makes them: a planned folder (or
// else "Output/FMS plans") is a path too long, and the drawn alert names both, as in the program.
void make_folders(const std::string&) {
    APP_alert_hooks hooks;
    hooks.draw_alert = APP_draw_alert;
    APP_set_alert_hooks(hooks);
    APP_graphics_up = 1;
    EXPECT_EQ(INST_create_install_folders(), ENAMETOOLONG);
    APP_graphics_up = 0;
    APP_set_alert_hooks({});
}
void language_chooser(const std::string&) {
    EXPECT_EQ(LANG_available().size(), static_cast<size_t>(LANG_COUNT)) << "the chooser lists every language";
    const int keep = LANG_current_language();
    APP_draw_alert(0, "", "", "", "", 0, "");
    LANG_current_language() = keep;
}

// A screen of a road: a wizard page, or a modal screen over the page before it.
struct screen_row {
    const char* name;
    page_fn page;                      // null for a modal screen
    std::function<void()> arrive = {}; // what the user did on the way that the pages before did not do
    std::function<bool()> shown = {};  // the page shows what a user sees there
    modal_screen modal{};              // when page is null
};

// In each language the program starts afresh and goes through every page of each road in the order the road
// reaches them, with the data the user has there: the demo road installing a second copy from the demo
// server, the update road (its copy chooser, then a copy named on the command line), the disc road and the
// scenery road from the two discs. The modal screens open over the page before them.
TEST_F(LayoutGui, EveryScreenFitsItsTextsInEveryLanguage) {
    // The wizard runs frames until it reaches `to`.
    const auto runs_to = [](page_fn to) {
        return [to] { EXPECT_TRUE(frames_until([to] { return current_page == to; })); };
    };
    // The directory comes from the second mirror (the first never sends it).
    const auto directory_arrives = [runs_to](page_fn to) {
        return [to, runs_to] {
            HTTP_drop(1);
            INST_chosen_server = 1;
            runs_to(to)();
        };
    };
    const auto servers_listed = [] { return !INST_servers.servers.empty(); };
    const auto download_finished = [] {
        INST_reset_downloads();
        INST_download_started = 0;
    };
    // The installing page runs until it asks for the next disc, which is not in the drive.
    const auto disc_asked = [](page_fn installing) {
        return [installing] {
            start_at(installing);
            EXPECT_TRUE(frames_until([installing] { return current_page != installing; }));
        };
    };
    const auto disc_arrives = [this, runs_to](const std::string& folder, page_fn to) {
        return [this, folder, to, runs_to] {
            insert(folder);
            runs_to(to)();
        };
    };
    const screen_row screens[] = {
        {"demo welcome", INST_page_demo_welcome},
        {"language chooser", nullptr, {}, {}, {994, language_chooser}},
        {"license", INST_page_license},
        {"options", nullptr, {}, {}, {998, options}},
        {"check servers", INST_page_check_servers, [] { INST_agreed = 1; }, servers_listed},
        {"alert", nullptr, {}, {}, {994, alert}},
        {"demo destination", INST_page_pick_destination_demo,
         directory_arrives(INST_page_pick_destination_demo)},
        {"demo installing", INST_page_download_demo, {}, [] { return INST_demo_progress > 0.01f; }},
        {"cancel question", nullptr, {}, {}, {997, cancel_question}},
        {"demo finished", INST_page_finished_web_demo, download_finished},
        // A folder of 3,900 bytes from the chooser: the body ends above the page's widgets.
        {"demo destination, a long folder", INST_page_pick_destination_demo,
         [this] { INST_destination_parent = long_folder; }},
        {"folder alert, a long folder",
         nullptr,
         [this] {
             std::string parent = long_folder;
             const size_t want = 4080 - INST_install_name.size() - 1;
             while (parent.size() < want)
                 parent += std::string(std::clamp<size_t>(want - parent.size() - 1, 1, 99), 'f') + "/";
             INST_install_folder = parent + INST_install_name + "/";
         },
         {},
         {994, make_folders}},
        {"run demo chooser", INST_page_run_demo_chooser},
        {"update copy chooser", INST_page_choose_copy_update},
        {"update welcome", INST_page_updater_welcome, [this] { INST_command_line_folder = installed; }},
        {"update search", INST_page_search_updates, [] { INST_chosen_server = 0; }, servers_listed},
        {"update disk space", INST_page_check_disk_space, directory_arrives(INST_page_check_disk_space)},
        {"update installing", INST_page_download_update, {}, [] { return INST_update_progress > 0.01f; }},
        {"changed-file question", nullptr, {}, {}, {996, changed_file_question}},
        {"deleted-file question", nullptr, {}, {}, {996, deleted_file_question}},
        {"update finished", INST_page_finished_web_update, download_finished},
        {"disc welcome", INST_page_dvd_welcome,
         [] {
             INST_command_line_folder.clear();
             INST_destination_parent.clear();
         }},
        {"disc destination", INST_page_pick_destination_dvd},
        {"disc destination, a long folder", INST_page_pick_destination_dvd,
         [this] {
             short_folder = INST_destination_parent;
             INST_destination_parent = long_folder;
         }},
        {"disc scenery", INST_page_select_scenery_dvd,
         [this] {
             INST_destination_parent = short_folder;
             INST_install_folder = short_folder + INST_install_name + "/";
         }},
        {"disc installing", INST_page_installing_dvd},
        {"disc check", INST_page_check_dvd_install, disc_asked(INST_page_installing_dvd)},
        {"disc change", INST_page_change_dvd_install},
        {"disc finished", INST_page_finish_install, disc_arrives(disc(1), INST_page_finish_install)},
        {"scenery copy", INST_page_select_install_scenery,
         [this] {
             set_discs({disc(0)});
             INST_disc_in_drive = 0;
         }},
        {"scenery scan", INST_page_scan_existing_scenery,
         [this] {
             INST_install_folder = installed;
             INST_set_sim_root();
         }},
        // The scan is stopped, as Quit stops it: the pages after it read and write the records it writes.
        {"scenery select", INST_page_select_new_scenery, [] { INST_release_checksum_queue(); }},
        // The map's one tile, on the second disc, is clicked.
        {"scenery verify disc", INST_page_verify_dvd_scenery,
         [asked = disc_asked(INST_page_install_scenery)] {
             INST_tile_selection.at(5, 13) = 1;
             asked();
         }},
        {"scenery change disc", INST_page_change_dvd_scenery},
        {"scenery installing", INST_page_install_scenery, disc_arrives(disc(1), INST_page_install_scenery)},
        {"scenery finished", INST_page_finished_scenery, runs_to(INST_page_finished_scenery)},
    };
    for (int language = 0; language < LANG_COUNT; ++language) {
        use_language(language);
        start_program();
        for (const screen_row& row : screens) {
            if (row.arrive)
                row.arrive();
            if (row.page)
                check_page(row.name, row.page, row.shown, language);
            else
                check_modal(
                    row.name, row.modal.screen, [this, &row] { row.modal.open(installed); }, language);
        }
    }
}

} // namespace
