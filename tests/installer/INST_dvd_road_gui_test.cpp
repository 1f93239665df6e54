// The disc install road, page by page in the real wizard frame, with folder discs.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>

#include "base/FILE_error_text.h"
#include "dvd_fixtures.h"
#include "installer/INST_scenery_map.h"
#include "installer/INST_update_road.h"
#include "support/disc_road_fixture.h"
#include "support/fake_dialogs.h"
#include "ui/OGL_font.h"
#include "ui/OGL_text_record.h"
#include "ui/OGL_view.h"
#include "ui/widget_state.h"

namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

const std::string scenery_path = "Global Scenery/Demo Scenery/Earth nav data/+40-130/+47-123.dsf";
constexpr int scenery_x = 5, scenery_y = 13; // the one tile the sample release offers

class DvdRoadGui : public test::DiscRoadGuiFixture {
  protected:
    void SetUp() override {
        DiscRoadGuiFixture::SetUp();
        if (IsSkipped())
            return;
        LOG_stream.close(); // the window fixture's log; this test reads its own
        log.emplace();
    }
    void TearDown() override {
        log.reset();
        DiscRoadGuiFixture::TearDown();
    }

    // The destination is the desktop's "Aerivon 10".
    std::string copy() const { return home.file("Desktop/Aerivon 10/"); }

    // From the welcome page with disc 0 through destination, licence and the scenery page (default
    // regions), whose CONTINUE is pressed; `back_at_once` presses GO BACK in the installing page's first
    // frame. Ends on the installing page (or where GO BACK leads).
    void walk_to_installing(bool back_at_once = false) {
        insert(disc(0));
        go(INST_page_dvd_welcome);
        ASSERT_EQ(describe(INST_page_dvd_welcome).next, INST_page_pick_destination_dvd);
        click(continue_x, row_y);
        ASSERT_EQ(current_page, INST_page_pick_destination_dvd);
        frames(1);
        ASSERT_EQ(INST_install_folder, copy());
        click(continue_x, row_y);
        ASSERT_EQ(current_page, INST_page_license);
        click(250, 302);
        click(continue_x, row_y);
        ASSERT_EQ(current_page, INST_page_select_scenery_dvd);
        EXPECT_EQ(INST_tile_selection.at(scenery_x, scenery_y), 1);
        EXPECT_EQ(INST_tile_selection.at(0, 0), 0);
        mouse_event(SDL_MOUSEBUTTONDOWN, continue_x, row_y);
        frames(1);
        ASSERT_EQ(current_page, INST_page_installing_dvd);
        mouse_event(SDL_MOUSEBUTTONUP, continue_x, row_y);
        if (back_at_once)
            mouse_event(SDL_MOUSEBUTTONDOWN, back_x, row_y);
        frames(1);
        if (back_at_once)
            mouse_event(SDL_MOUSEBUTTONUP, back_x, row_y);
    }
    // Runs the install until the disc change, inserts disc 1 and runs it to the finish page.
    void change_to_disc_one_and_finish() {
        ASSERT_TRUE(frames_until([] { return current_page == INST_page_change_dvd_install; }));
        EXPECT_EQ(describe(INST_page_change_dvd_install).body,
                  "Please insert DVD number 2, then wait a few moments for the DVD to be recognized by your "
                  "computer.");
        insert(disc(1));
        ASSERT_TRUE(frames_until([] { return current_page == INST_page_finish_install; }));
        EXPECT_EQ(INST_disc_in_drive, 1); // the check page found it
    }
    int count_in_log(const std::string& what) {
        const std::string text = log->text();
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }

    std::optional<test::LogCapture> log;
};

TEST_F(DvdRoadGui, WelcomeRecognisesTheDiscAndTheRegisteredCopies) {
    generate({"--scenery-disc"});
    fs::create_directories(home.file("foreign"));
    fs::create_directories(home.file("unreadable"));
    write_file(home.file("foreign/dvd_version.txt"), "I\n1000 version\nDVD\nLANG en\n");
    write_file(home.file("unreadable/dvd_version.txt"), "I\n1000 version\nDVD\nVERSION V\n");
    ASSERT_EQ(test::shell("cd '" + home.file("unreadable") + "' && mkdir V && echo x > o.txt && zip -q -m " +
                          "V/directory.txt.zip o.txt"),
              0);
    const std::string registered = home.file("Registered/");
    fs::create_directories(registered);

    const std::string insert_text = INST_INSERT_DISC_ONE, foreign_text = INST_NOT_OUR_DISC;
    const std::string have =
        "You already have Aerivon 10 installed on this computer.  What would you like to do?";
    const std::vector<std::string> four = {"Run Aerivon Now", "Add Or Remove Scenery", "Update Aerivon",
                                           "Install A Second Copy of Aerivon"};
    struct row {
        std::string what, disc;
        bool copy;
        int scenery_mode;
        std::string body;
        page_fn next;
        std::vector<std::string> choices;
    };
    const row rows[] = {
        {"nothing", "", false, 0, insert_text, nullptr, {}},
        {"no VERSION", home.file("foreign"), false, 0, foreign_text, nullptr, {}},
        {"no directory", home.file("unreadable"), false, 0, foreign_text, nullptr, {}},
        {"disc 0",
         disc(0),
         false,
         0,
         "Welcome to the Aerivon 10 Installer.  I will guide you through the process of installing Aerivon "
         "10.",
         INST_page_pick_destination_dvd,
         {}},
        {"a copy, no disc", "", true, 0, have, nullptr, four},
        {"scenery disc",
         release + "/discs/scenery",
         false,
         0,
         "This DVD (Aerivon 10) contains global scenery.  You must install the sim before you install the "
         "global scenery.",
         nullptr,
         {}},
        {"scenery disc and a copy",
         release + "/discs/scenery",
         true,
         0,
         have,
         nullptr,
         {"Run Aerivon Now", "Add Or Remove Scenery"}},
        {"scenery mode",
         disc(0),
         true,
         1,
         "Welcome to the Aerivon 10 Installer / Updater.  I will guide you through the process of adding and "
         "removing scenery.",
         INST_page_select_install_scenery,
         {}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        fs::remove(INST_registration_file_path());
        if (r.copy)
            register_copy(registered);
        set_discs(r.disc.empty() ? std::vector<std::string>{} : std::vector<std::string>{r.disc});
        UTL_install_directory_clear(INST_directory);
        INST_scenery_mode = r.scenery_mode;
        go(INST_page_dvd_welcome);
        const page_desc d = describe(INST_page_dvd_welcome);
        EXPECT_EQ(d.title, "Aerivon 10 Installer / Updater");
        EXPECT_EQ(d.body, r.body);
        EXPECT_EQ(d.next, r.next);
        EXPECT_EQ(d.choice_labels, r.choices);
        EXPECT_EQ(d.preferences, 1);
        if (r.choices == four) {
            EXPECT_EQ(d.choice_targets,
                      (std::vector<page_fn>{INST_page_run_demo_chooser, INST_page_select_install_scenery,
                                            INST_page_choose_copy_update, INST_page_pick_destination_dvd}));
        }
        if (r.scenery_mode) {
            EXPECT_EQ(step_list.names,
                      (std::vector<std::string>{"Welcome", "Select Aerivon", "Scan Existing Scenery",
                                                "Select New Scenery", "Install Scenery", "Finish"}));
        } else {
            EXPECT_EQ(step_list.names, (std::vector<std::string>{"Welcome", "Pick Destination", "License",
                                                                 "Select Scenery", "Install", "Finish"}));
        }
    }

    // A foreign disc is taken out and disc 0 put in: the arrival makes the page read the new disc.
    INST_scenery_mode = 0;
    fs::remove(INST_registration_file_path());
    set_discs({home.file("foreign")});
    go(INST_page_dvd_welcome);
    ASSERT_EQ(describe(INST_page_dvd_welcome).body, foreign_text);
    set_discs({disc(0)});
    EXPECT_TRUE(frames_until([] { return INST_directory.dvd_root.find("disc0") != std::string::npos; }));
    EXPECT_EQ(describe(INST_page_dvd_welcome).next, INST_page_pick_destination_dvd);
    EXPECT_EQ(APP_media_arrived(), 0);
}

TEST_F(DvdRoadGui, DestinationDefaultsRefuseExistingFoldersUnusableNamesAndTooLittleSpace) {
    generate();
    insert(disc(0));
    const std::string desktop = home.file("Desktop/");
    go(INST_page_pick_destination_dvd);
    page_desc d = describe(INST_page_pick_destination_dvd);
    EXPECT_EQ(d.title, "Pick Install Destination for Aerivon 10.");
    EXPECT_EQ(d.body, "I will create the folder 'Aerivon 10' inside the folder '" + desktop +
                          "'.\n\n(The folder Aerivon 10 will appear on your desktop.)");
    EXPECT_EQ(d.next, INST_page_license);
    EXPECT_EQ(d.back, INST_page_dvd_welcome);

    const std::string pick = "Please pick a name for your Aerivon 10 installation...";
    fs::create_directories(desktop + "Aerivon 10");
    EXPECT_EQ(describe(INST_page_pick_destination_dvd).body,
              "The folder 'Aerivon 10' already exists inside the folder '" + desktop +
                  "'.\n\nPlease change the install name or destination.");
    EXPECT_EQ(describe(INST_page_pick_destination_dvd).next, nullptr);
    fs::remove(desktop + "Aerivon 10");

    // A typed name that leaves the parent.
    fs::create_directories(home.file("Documents"));
    INST_install_name = "x/../../Documents";
    d = describe(INST_page_pick_destination_dvd);
    EXPECT_EQ(d.body, pick);
    EXPECT_EQ(d.next, nullptr);
    EXPECT_EQ(INST_install_folder, desktop);

    // Sizes beyond the free space.
    INST_install_name = "Aerivon 10";
    INST_directory.packages[0].back().expanded_kb = 1.0e15f;
    INST_compute_totals();
    EXPECT_EQ(describe(INST_page_pick_destination_dvd).next, nullptr);

    // A disc whose VERSION leaves the parent gives no default name either.
    const std::string hostile = home.file("hostile/disc");
    ASSERT_EQ(test::shell("mkdir -p '" + home.file("hostile/Documents") + "' '" + hostile + "/x' && cp '" +
                          disc(0) + "/Aerivon 10/directory.txt.zip' '" + home.file("hostile/Documents") +
                          "/' && printf 'I\\n1000 version\\nDVD\\nVERSION x/../../Documents\\n' > '" +
                          hostile + "/dvd_version.txt'"),
              0);
    set_discs({hostile});
    INST_destination_parent.clear();
    go(INST_page_pick_destination_dvd);
    d = describe(INST_page_pick_destination_dvd);
    EXPECT_EQ(INST_install_name, "x/../../Documents");
    EXPECT_EQ(d.body, pick);
    EXPECT_EQ(d.next, nullptr);
    EXPECT_EQ(INST_install_folder, desktop);
}

TEST_F(DvdRoadGui, ChangeDestinationIsAsWideAsItsLabelAndOpensTheChooserOnTheParent) {
    generate();
    insert(disc(0));
    test::FakeDialogs dialogs({"kdialog"});
    fs::create_directories(home.file("Games"));
    dialogs.answer("kdialog", home.file("Games"));
    go(INST_page_pick_destination_dvd);
    const float half = BTN_push_width_for("Change Destination") * 0.5f;

    // The field's identity is where it is drawn: x = half the button's label + 300 + 10 + its label.
    const int field_x = static_cast<int>(half + 310.0f + OGL_measure_string("Install Name:"));
    bool field_seen = false;
    for (const BTN_focus_entry& e : ui_state.focus_list)
        field_seen = field_seen || e.id == field_x * 8192 + 200;
    EXPECT_TRUE(field_seen);

    click(290.0f + half + 6.0f, 203.0f); // beyond the label: no button there
    EXPECT_EQ(dialogs.calls(), "");
    click(290.0f + half - 3.0f, 203.0f);
    EXPECT_EQ(
        dialogs.last_call(),
        (std::vector<std::string>{"kdialog", "--title", "Pick a folder to install Aerivon 10 into.",
                                  "--ok-label", "Select", "--getexistingdirectory", home.file("Desktop/")}));
    EXPECT_EQ(INST_destination_parent, home.file("Games/"));
    EXPECT_EQ(describe(INST_page_pick_destination_dvd).body,
              "I will create the folder 'Aerivon 10' inside the folder '" + home.file("Games/") + "'.");
}

TEST_F(DvdRoadGui, FullInstallOverTwoDiscs) {
    generate({"--hostile-records"}); // records whose paths leave the copy are never installed
    fs::remove("/tmp/aerivon-escape.txt");
    walk_to_installing();
    EXPECT_EQ(INST_dvd_install_started, 1);
    EXPECT_EQ(FILE_sim_root, copy());
    change_to_disc_one_and_finish();
    const page_desc d = describe(INST_page_finish_install);
    EXPECT_EQ(d.body, "Installation was successful.");
    EXPECT_EQ(d.choice_targets, (std::vector<page_fn>{INST_page_search_updates, INST_launch_simulator}));
    EXPECT_EQ(d.next, INST_page_quit);

    // Every file of the default install, and the scenery of the selected tile.
    auto wanted = test::manifest_query(release, "[[k, v] for k, v in m['after_install'].items()]");
    ASSERT_FALSE(wanted.empty());
    wanted.push_back(
        scenery_path + "\t" +
        test::manifest_query(release, "[m['dvd']['packages']['" + scenery_path + "']['md5']]")[0]);
    for (const std::string& line : wanted) {
        const std::string path = line.substr(0, line.find('\t'));
        SCOPED_TRACE(path);
        EXPECT_EQ(test::md5_of(copy() + path), line.substr(line.find('\t') + 1));
    }
    EXPECT_FALSE(fs::exists(copy() + "Resources/win only.dll"));
    for (const std::string& escaped : {home.file("Desktop/escape.txt"), home.file("escape.txt"),
                                       std::string("/tmp/aerivon-escape.txt"), copy() + "a\\b.txt"})
        EXPECT_FALSE(fs::exists(escaped)) << escaped;
    EXPECT_EQ(read_file(INST_registration_file_path()), copy() + "\n");
    EXPECT_EQ(read_file(copy() + "Resources/text/lang.txt"), "A\n900\nLANG\n\nLANG en\nLANG de\n");
    EXPECT_EQ(count_in_log("Could not eject the disc at " + disc(0) + "/"), 1);
    EXPECT_EQ(count_in_log("Starting install at "), 1);
    EXPECT_EQ(INST_dvd_install_started, 0);
}

// The scenery page's body stands above the map at the size of every other text, in each language: never
// drawn smaller to fit (the disk panel's lines are drawn at that size).
TEST_F(DvdRoadGui, TheSceneryPageBodyStaysFullSizeAboveTheMap) {
    generate();
    insert(disc(0));
    go(INST_page_dvd_welcome);
    ASSERT_EQ(describe(INST_page_dvd_welcome).next, INST_page_pick_destination_dvd);
    click(continue_x, row_y);
    frames(1);
    click(continue_x, row_y);
    click(250, 302);
    click(continue_x, row_y);
    ASSERT_EQ(current_page, INST_page_select_scenery_dvd);
    for (int language : {0, 1, 2, 3, 5}) {
        SCOPED_TRACE(language);
        LANG_current_language() = language;
        if (language)
            LANG_load(language);
        else
            LANG_reset();
        OGL_load_font(2);
        INST_load_ui_atlas();
        OGL_clear_view();
        OGL_text_record_start();
        INST_wizard_frame();
        OGL_text_record_stop();
        const auto tallest = [](const OGL_drawn_text& t) {
            float h = 0.0f;
            for (const OGL_text_rect& g : t.glyphs)
                h = std::max(h, g.y1 - g.y0);
            return h;
        };
        float body = -1.0f, panel = -1.0f, body_bottom = 0.0f;
        for (const OGL_drawn_text& t : OGL_text_recorded()) {
            if (t.text == describe(INST_page_select_scenery_dvd).body) {
                body = tallest(t);
                body_bottom = t.ink.y0;
            } else if (t.text.find("258.0") != std::string::npos || t.text.find('\n') != std::string::npos) {
                panel = std::max(panel, tallest(t));
            }
        }
        ASSERT_GT(panel, 0.0f);
        EXPECT_GE(body, panel);
        EXPECT_GE(body_bottom, INST_SCENERY_MAP_TOP + 1.0f);
    }
    LANG_current_language() = 0;
    LANG_reset();
    OGL_load_font(2);
    INST_load_ui_atlas();
}

TEST_F(DvdRoadGui, AFailedPackageAsksThenGoesOnOrCancelsAndDeletesThePartialCopy) {
    for (const int cancel : {0, 1}) {
        SCOPED_TRACE(cancel);
        release = home.file("release" + std::to_string(cancel));
        generate();
        ASSERT_EQ(test::shell("chmod -R u+w '" + disc(1) + "' && rm '" + disc(1) +
                              "/Aerivon 10/Resources/plugins/read me.txt'"),
                  0);
        fs::remove_all(copy());
        fs::remove(INST_registration_file_path());
        set_discs({});
        UTL_install_directory_clear(INST_directory);
        INST_destination_parent.clear();
        INST_dvd_error_count = 0;
        INST_agreed = 0;
        walk_to_installing();
        ASSERT_TRUE(frames_until([] { return current_page == INST_page_change_dvd_install; }));
        // A link inside the partial copy to a folder outside it.
        const std::string outside = home.file("outside/keep.txt");
        fs::create_directories(home.file("outside"));
        write_file(outside, "keep");
        fs::create_directory_symlink(home.file("outside"), copy() + "link");
        dialog_answers = cancel ? std::vector<int>{1, 1} : std::vector<int>{0};
        dialog_frames = 0;
        insert(disc(1));
        if (cancel) {
            ASSERT_TRUE(frames_until(
                [this] { return dialog_answers.empty() && previous_page == INST_page_select_scenery_dvd; }));
            EXPECT_FALSE(fs::exists(copy()));
            EXPECT_EQ(read_file(outside), "keep");
            EXPECT_EQ(INST_dvd_install_started, 0);
        } else {
            ASSERT_TRUE(frames_until([] { return current_page == INST_page_finish_install; }));
            EXPECT_GT(dialog_frames, 0);
            EXPECT_EQ(INST_dvd_error_count, 1);
            const page_desc d = describe(INST_page_finish_install);
            EXPECT_EQ(d.body,
                      "There were errors during the install; your copy of Aerivon may not be usable.\n\nYou "
                      "can click Go Back and use the repair and add-remove scenery functions to try to "
                      "reinstall any missing or damaged files.");
            EXPECT_TRUE(d.choice_labels.empty());
            EXPECT_EQ(test::md5_of(copy() + "Resources/unchanged.txt"),
                      test::manifest_query(release, "[m['after_install']['Resources/unchanged.txt']]")[0]);
        }
        fs::remove_all(home.file("outside"));
    }
    EXPECT_EQ(
        INST_install_error_message("L1", "L2", ENOENT, "Copying a"), "L1\n\nCopying a (" + [] {
            std::string t;
            FILE_error_text(t, ENOENT);
            return t;
        }() + ")\n\nL2");
}

TEST_F(DvdRoadGui, GoBackFromInstallingAsksAndContinueCopiesNothingTwice) {
    generate();
    PREF_installer.log_actions = 1;
    dialog_answers = {0};
    walk_to_installing(true);
    ASSERT_TRUE(frames_until([] { return current_page != INST_page_select_scenery_dvd; }));
    EXPECT_TRUE(dialog_answers.empty());
    EXPECT_GT(dialog_frames, 0);
    change_to_disc_one_and_finish();
    EXPECT_EQ(describe(INST_page_finish_install).body, "Installation was successful.");
    for (const std::string& path : {std::string("Aerivon.exe"), std::string("Resources/unchanged.txt"),
                                    std::string("Resources/plugins/read me.txt"), scenery_path}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(count_in_log("EXPANDING file " + copy() + path + ", with result=0."), 1);
    }
    PREF_installer.log_actions = 0;
}

} // namespace
