// The update road's pages, the copy chooser, the preferences dialog and the modified-file question in this
// process: window 0, the real frame (APP_run_one_frame) drawing INST_wizard_frame on screen 0, clicks and
// keys pushed as SDL events. Points are the view's (y up).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>

#include "base/FILE_compress.h"
#include "base/FILE_ops.h"
#include "base/OPT_options.h"
#include "base/PREF_file.h"
#include "base/http.h"
#include "base/xmap.h"
#include "installer/INST_copy_chooser.h"
#include "installer/INST_demo_road.h"
#include "installer/INST_download.h"
#include "installer/INST_globals.h"
#include "installer/INST_modified_dialog.h"
#include "installer/INST_page_routines.h"
#include "installer/INST_preferences.h"
#include "installer/INST_registration.h"
#include "installer/INST_scan.h"
#include "installer/INST_stand_ins.h"
#include "installer/INST_startup.h"
#include "installer/INST_update_road.h"
#include "installer/INST_wizard.h"
#include "installer_fixtures.h"
#include "platform/WIN_message.h"
#include "support/demo_release.h"
#include "support/engine_harness.h"
#include "support/fake_dialogs.h"
#include "ui/QTIM_capture.h"
#include "ui/edit_gui_fixture.h"

namespace fs = std::filesystem;

namespace {

constexpr float row_y = 23.0f, continue_x = 719.5f, back_x = 594.5f;

class UpdateRoadGuiTest : public edittest::EditGuiFixture {
  protected:
    void SetUp() override {
        EditGuiFixture::SetUp();
        if (IsSkipped())
            return;
        ASSERT_EQ(TMAN_load_bitmap(4, 1043, 0x220241, 2, "RESOURCE:background.png"), 1043);
        INST_ui_atlas_language = 0;
        INST_release_checksum_queue();
        INST_install_folder.clear();
        INST_selected_os = INST_native_os_code();
        INST_servers = server_list{};
        INST_directory = install_directory{};
        known_installs.clear();
        INST_command_line_folder.clear();
        INST_chosen_server = 0;
        INST_scanned_count = 0;
        INST_nothing_to_update = 0;
        PREF_installer = installer_prefs();
        INST_work_folder = home.file("work/");
        fs::create_directories(home.file("work"));
        fs::create_directories(home.file(".local/share"));
        copy = home.file("Aerivon 10 Demo/");
        APP_set_screen0_frame(INST_wizard_frame);
    }
    void TearDown() override {
        INST_release_checksum_queue();
        INST_reset_downloads();
        FILE_sim_root.clear();
        HTTP_clear();
        HTTP_manager().proxy_host.clear();
        HTTP_manager().proxy_port.clear();
        HTTP_manager().port = 0;
        INST_command_line_folder.clear();
        INST_selected_os = INST_native_os_code();
        if (WIN_table_window(0) && TMAN_get(1043))
            TMAN_unload(1043);
        EditGuiFixture::TearDown();
    }
    static void go(page_fn page) {
        current_page = page;
        previous_page = nullptr;
        frames(2);
    }
    // Runs frames until `done` holds or `ms` of real time passed.
    static bool frames_until(const std::function<bool()>& done, int ms = 20000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            frames(1);
            if (done())
                return true;
        }
        return false;
    }
    // A folder with the four folders of a copy.
    static void make_copy(const std::string& folder) {
        for (const char* sub : {"Airfoils", "Instructions", "Output", "Resources"})
            fs::create_directories(folder + sub);
    }
    void register_copy(const std::string& folder) {
        test::write_file(home.file(".local/share/aerivon_install_10.txt"),
                         test::read_file(home.file(".local/share/aerivon_install_10.txt")) + folder + "\n");
        INST_read_registration_file();
    }
    // The sample release served, its v1 copy installed at `copy` and the proxy pointing at the server.
    void serve(const std::vector<std::string>& faults = {}) {
        ASSERT_TRUE(test::make_sample_release(release.path()));
        fs::copy(release.file("installed-v1"), copy, fs::copy_options::recursive);
        server = std::make_unique<test::DemoServer>(release.path(), faults);
        ASSERT_TRUE(server->ok()) << server->output();
        HTTP_manager().proxy_host = "127.0.0.1";
        HTTP_manager().port = server->port();
    }
    // Runs the modal call `run` while `script` acts after each of its frames (frame numbers from 1).
    template <typename R>
    static R modal(const std::function<void(int)>& script, const std::function<R()>& run) {
        int frame = 0;
        edittest::after_frame = [&] { script(++frame); };
        R result = run();
        edittest::after_frame = nullptr;
        return result;
    }

    test::TempDir home, release;
    test::ScopedEnv home_env{"HOME", home.path()};
    test::ScopedEnv data_env{"XDG_DATA_HOME", home.file(".local/share")};
    test::ScopedEnv config_env{"XDG_CONFIG_HOME", std::nullopt};
    std::unique_ptr<test::DemoServer> server;
    std::string copy;
};

TEST_F(UpdateRoadGuiTest, OneRegisteredCopyIsChosenAtOnceAndTicked) {
    make_copy(copy);
    register_copy(copy);
    go(INST_page_choose_copy_update);
    EXPECT_EQ(INST_install_folder, copy);
    EXPECT_EQ(step_list.names, (std::vector<std::string>{"Welcome", "Pick Destination", "Search for Updates",
                                                         "Check Disk Space", "Install Updates", "Finish"}));
    EXPECT_EQ(step_list.pages.front(), INST_page_dvd_welcome);
    // Ticked: the box of the chosen copy looks unlike the box of another one.
    const std::string other = home.file("Other/");
    make_copy(other);
    register_copy(other);
    current_page = previous_page = INST_page_choose_copy_update;
    INST_wizard_frame();
    EXPECT_FALSE(uitest::near(uitest::pixel(250, 403), uitest::pixel(250, 378), 30));
    click(250, 379); // the second box
    EXPECT_EQ(INST_install_folder, other);
    click(continue_x, row_y);
    EXPECT_EQ(current_page, INST_page_search_updates);
}

TEST_F(UpdateRoadGuiTest, FindItTakesTheCopyAboveTheChosenFolderOrRaisesTheAlert) {
    test::ScopedOptions automated("--qa_script=1"); // the alert is logged, not shown
    LOG_init();
    make_copy(copy);
    fs::create_directories(home.file("Documents/deep"));
    test::FakeDialogs dialogs({"kdialog"});
    go(INST_page_choose_copy_update);
    ASSERT_TRUE(known_installs.empty());
    // "Find It" beside the question, which depends on the number of copies.
    const auto find_it = [&] {
        const int n = static_cast<int>(known_installs.size());
        const std::string question =
            n == 1 ? "Are you looking for a different copy of Aerivon 10 on your computer?"
                   : "Is the copy of Aerivon 10 you're looking for missing from this list?";
        const float k = n == 1 ? 25.0f : 0.0f;
        click(285.0f + std::min(400.0f, OGL_measure_string(question)), 403.0f - 25.0f * n - k);
    };

    // The copy's Resources folder selects the copy, which is registered once however often it is found.
    dialogs.answer("kdialog", copy + "Resources");
    for (int round = 0; round < 2; ++round) {
        find_it();
        EXPECT_EQ(INST_install_folder, copy);
        EXPECT_EQ(known_installs, std::vector<std::string>{copy});
    }
    EXPECT_EQ(test::read_file(home.file(".local/share/aerivon_install_10.txt")), copy + "\n");
    EXPECT_EQ(dialogs.last_call(),
              (std::vector<std::string>{"kdialog", "--title", "Please select your Aerivon 10 folder.",
                                        "--ok-label", "Select", "--getexistingdirectory", home.file("")}));

    // A cancelled chooser, and a folder with no copy in it or above it (the alert): no folder chosen.
    dialogs.answer("kdialog", "", 1);
    find_it();
    EXPECT_EQ(INST_install_folder, "");
    dialogs.answer("kdialog", home.file("Documents/deep"));
    find_it();
    EXPECT_EQ(INST_install_folder, "");
    LOG_flush();
    const std::string text = test::read_file(dir.file("log.txt")); // the fixture's log
    for (const std::string& line :
         {std::string("| You selected the folder path:"), "| " + home.file("Documents/deep/"),
          std::string("| But it does not appear to be an installed copy of Aerivon 10."),
          std::string("| (main:428)")})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    EXPECT_EQ(current_page, INST_page_choose_copy_update);
}

TEST_F(UpdateRoadGuiTest, TheChosenCopyBecomesTheSimRootAndRelativePathsResolveInsideIt) {
    const std::string named = home.file("Named Copy/");
    make_copy(copy);
    make_copy(named);
    register_copy(copy);
    test::write_file(copy + "Resources/settings.txt", "in the copy\n");
    test::write_file(named + "Resources/settings.txt", "in the named copy\n");
    const fs::path cwd = fs::current_path();
    fs::current_path(home.path());
    struct row {
        const char* what;
        std::string command_line_folder;
        page_fn page;
        std::string expected;
    } rows[] = {
        {"chosen from the registered copies", "", INST_page_choose_copy_update, copy},
        {"named on the command line, relative to the working folder", "Named Copy/",
         INST_page_updater_welcome, named},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        INST_command_line_folder = r.command_line_folder;
        go(r.page);
        EXPECT_EQ(FILE_sim_root, r.expected);
        EXPECT_EQ(INST_install_folder, r.expected);
        // A data file and a screenshot, named relative to the Sim-Root folder.
        xmap_file data("Resources/settings.txt");
        ASSERT_NE(data.base, nullptr);
        EXPECT_EQ(std::string(data.base, data.end), test::read_file(r.expected + "Resources/settings.txt"));
        QTIM_screenshot();
        EXPECT_TRUE(fs::exists(r.expected + "Sim-Root_1.png"));
        EXPECT_EQ(QTIM_screenshot_name(), "Sim-Root_2.png");
    }
    fs::current_path(cwd);
}

TEST_F(UpdateRoadGuiTest, WithACommandLineFolderTheChooserStepIsLeftOutAndGoBackLeadsToTheUpdaterWelcome) {
    make_copy(copy);
    register_copy(copy);
    INST_command_line_folder = home.file("Named/");
    go(INST_page_choose_copy_update);
    EXPECT_EQ(step_list.names, (std::vector<std::string>{"Welcome", "Search for Updates", "Check Disk Space",
                                                         "Install Updates", "Finish"}));
    click(back_x, row_y);
    EXPECT_EQ(current_page, INST_page_updater_welcome);
    EXPECT_EQ(INST_install_folder, INST_command_line_folder);
    EXPECT_EQ(step_list.pages.front(), INST_page_updater_welcome);
}

TEST_F(UpdateRoadGuiTest, GoingBackToTheSearchFetchesTheDirectoryAnew) {
    serve();
    register_copy(copy);
    go(INST_page_choose_copy_update);
    click(continue_x, row_y);
    ASSERT_TRUE(frames_until([] { return current_page == INST_page_check_disk_space; }));
    EXPECT_EQ(server->count("/pub/Aerivon10Demo/directory.txt.zip"), 1);
    click(back_x, row_y);
    EXPECT_EQ(current_page, INST_page_search_updates);
    ASSERT_TRUE(frames_until([] { return current_page == INST_page_check_disk_space; }));
    EXPECT_EQ(server->count("/pub/Aerivon10Demo/directory.txt.zip"), 2);
    EXPECT_EQ(server->count("/_lookup_10_/server_list_10.txt"), 2);
}

// The resolver linked in (slow_lookup): the look-ups of a held name wait until it is let go.
extern "C" void slow_lookup_hold(const char* host);

// BACK from Search for Updates, to either page before it, while the proxy's look-up hangs: the search's
// fetch is dropped and nothing keeps the window at its working rate; the next search goes on with the
// look-up once it answers.
TEST_F(UpdateRoadGuiTest, BackFromTheSearchLeavesNoLookUpRunning) {
    serve();
    register_copy(copy);
    HTTP_manager().proxy_host = "localhost";
    slow_lookup_hold("localhost");
    for (page_fn start : {INST_page_choose_copy_update, INST_page_updater_welcome}) {
        SCOPED_TRACE(start == INST_page_updater_welcome ? "the updater's welcome" : "the copy chooser");
        INST_command_line_folder = start == INST_page_updater_welcome ? copy : "";
        go(start);
        click(continue_x, row_y);
        ASSERT_EQ(current_page, INST_page_search_updates);
        ASSERT_TRUE(frames_until([] { return HTTP_transfers_running() == 1; }));
        click(back_x, row_y);
        frames(2);
        EXPECT_EQ(current_page, start);
        EXPECT_EQ(HTTP_transfers_running(), 0);
    }
    slow_lookup_hold(nullptr);
    click(continue_x, row_y);
    EXPECT_TRUE(frames_until([] { return current_page == INST_page_check_disk_space; }));
}

TEST_F(UpdateRoadGuiTest, ABenchedServerCountsDownWhileTheOtherFinishes) {
    serve({"mirror2.test=503"});
    register_copy(copy);
    go(INST_page_choose_copy_update);
    click(continue_x, row_y);
    ASSERT_TRUE(frames_until([] { return current_page == INST_page_check_disk_space; }));
    click(continue_x, row_y);
    ASSERT_EQ(current_page, INST_page_download_update);
    std::string body;
    const std::string benched = "\n\nmirror2.test: Server is not responding normally..  Will retry in ";
    ASSERT_TRUE(frames_until([&] {
        page_desc d;
        INST_page_download_update(0, &d);
        body = d.body;
        return body.find(benched) != std::string::npos &&
               body.find("\n\nmirror1.test is finished.") != std::string::npos;
    })) << body;
    const int seconds = std::atoi(body.c_str() + body.find(benched) + benched.size());
    EXPECT_GE(seconds, 1);
    EXPECT_LE(seconds, 30);
    EXPECT_NE(body.find(" " + std::to_string(seconds) + " second"), std::string::npos) << body;
}

// Every server refuses every package from its first byte: before any byte came, the page shows both
// servers' failures and that it waits for them, not a rate or a time left.
TEST_F(UpdateRoadGuiTest, EveryServerRefusingThePackagesIsShownAtOnce) {
    serve();
    register_copy(copy);
    for (const char* mode : {"chunked", "longheader", "manyheaders"}) {
        SCOPED_TRACE(mode);
        INST_reset_downloads();
        ASSERT_TRUE(server->clear_faults());
        go(INST_page_choose_copy_update);
        click(continue_x, row_y);
        ASSERT_TRUE(frames_until([] { return current_page == INST_page_check_disk_space; }));
        for (const char* host : {"mirror1.test", "mirror2.test"})
            ASSERT_TRUE(server->set_fault(std::string(host) + "=" + mode));
        const auto begun = std::chrono::steady_clock::now();
        click(continue_x, row_y);
        ASSERT_EQ(current_page, INST_page_download_update);
        page_desc d;
        const auto benched = [&](const char* host) {
            return d.body.find(std::string(host) + ": Server is not responding normally..  Will retry in ") !=
                   std::string::npos;
        };
        ASSERT_TRUE(frames_until([&] {
            INST_page_download_update(0, &(d = page_desc()));
            return benched("mirror1.test") && benched("mirror2.test");
        })) << d.body;
        std::cout << mode << ": the servers' lines after "
                  << std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count()
                  << " s\n";
        EXPECT_LT(d.progress, 0.01f);
        EXPECT_EQ(d.body.find("I am waiting for the servers: each is tried again when its wait is over.\n\n"),
                  0u)
            << d.body;
    }
}

TEST_F(UpdateRoadGuiTest, PreferencesDialogSetsTheSystemAndTheProxy) {
    // Every system (code 0) shows no item and stays until Linux is picked: then the plan wants Linux files.
    serve();
    INST_selected_os = 0;
    int os_while_open = -1;
    modal<int>(
        [&](int frame) {
            if (frame == 3)
                os_while_open = INST_selected_os;
            if (frame == 4)
                mouse_event(SDL_MOUSEBUTTONDOWN, 260, 303);
            if (frame == 5)
                mouse_event(SDL_MOUSEBUTTONUP, 260, 303);
            if (frame == 7)
                mouse_event(SDL_MOUSEBUTTONDOWN, 250, 279); // the third row: Linux
            if (frame == 8)
                mouse_event(SDL_MOUSEBUTTONUP, 250, 279);
            if (frame == 10)
                APP_set_screen(0);
        },
        [] {
            INST_preferences_dialog();
            return 0;
        });
    EXPECT_EQ(os_while_open, 0);
    EXPECT_EQ(INST_selected_os, 3);
    {
        test::Engine engine(server->port(), INST_work_folder);
        ASSERT_GT(test::Engine::update(copy), 0);
    }
    const std::string linux_only = copy + "Resources/linux only.so";
    std::string md5;
    ASSERT_EQ(FILE_md5_hex(linux_only, md5), 0);
    bool listed = false;
    for (const package_entry& e : INST_directory.packages)
        listed |= e.back().path == "Resources/linux only.so" && e.back().sig_want == md5;
    EXPECT_TRUE(listed);

    // The port text: "80a" is no number (-1), and the next transfer fails cleanly; an empty text gives 0.
    // The keys typed count when what follows them before the next frame moves the focus or ends the dialog:
    // a click on the log box, Tab, Escape, Return, a quit.
    struct port_case {
        std::string typed;
        int port;
        const char* then = "";
    };
    HTTP_manager().proxy_host = "127.0.0.1";
    for (const port_case& c : {port_case{"80a", -1}, port_case{"", 0}, port_case{"3128", 3128, "click"},
                               port_case{"3128", 3128, "tab"}, port_case{"3128", 3128, "escape"},
                               port_case{"3128", 3128, "return"}, port_case{"3128", 3128, "quit"}}) {
        SCOPED_TRACE(c.typed + c.then);
        HTTP_manager().proxy_port = "8";
        const int log_actions = PREF_installer.log_actions;
        modal<int>(
            [&](int frame) {
                const std::string then = c.then;
                if (frame == 2)
                    mouse_event(SDL_MOUSEBUTTONDOWN, 300, 23);
                if (frame == 3)
                    mouse_event(SDL_MOUSEBUTTONUP, 300, 23);
                if (frame == 4)
                    key(SDL_SCANCODE_BACKSPACE);
                if (frame == 6)
                    type(c.typed);
                if (frame == 6 && then == "click")
                    mouse_event(SDL_MOUSEBUTTONDOWN, 250, 144);
                if (frame == 7 && then == "click")
                    mouse_event(SDL_MOUSEBUTTONUP, 250, 144);
                if (frame == 6 && (then == "tab" || then == "escape" || then == "return"))
                    key(then == "tab"      ? SDL_SCANCODE_TAB
                        : then == "escape" ? SDL_SCANCODE_ESCAPE
                                           : SDL_SCANCODE_RETURN);
                if (frame == 6 && then == "quit") {
                    SDL_Event quit{};
                    quit.type = SDL_QUIT;
                    SDL_PushEvent(&quit);
                }
                if (frame == 10)
                    APP_set_screen(0);
            },
            [] {
                INST_preferences_dialog();
                return 0;
            });
        WIN_clear_quit_request_for_test();
        EXPECT_EQ(HTTP_manager().proxy_port, c.typed);
        EXPECT_EQ(HTTP_manager().port, c.port);
        EXPECT_EQ(PREF_installer.log_actions, log_actions ^ (c.then == std::string("click")));
        PREF_installer.log_actions = log_actions;
    }
    HTTP_manager().proxy_port = "80a";
    HTTP_manager().port = -1;
    int result = 0;
    EXPECT_TRUE(test::Engine::poll(
        [&] { return (result = net_check(7, "mirror1.test", "/pub/x", INST_work_path("x"))) != 0; }, 5000));
    EXPECT_EQ(result, 2);
}

TEST_F(UpdateRoadGuiTest, ModifiedFileQuestionGivesTheClickedButtonOrCancelWhenAnotherScreenTakesOver) {
    struct script_row {
        float x, y; // a button centre in the dialog's view; y < 0: another screen is made current
        int result;
    };
    const script_row rows[] = {{90, 40, 1},  {90, 20, 2},  {310, 40, 4},
                               {310, 20, 5}, {590, 20, 3}, {0, -1, 3}};
    for (const script_row& row : rows) {
        SCOPED_TRACE(row.result);
        const int answer = modal<int>(
            [&](int frame) {
                if (row.y < 0 && frame == 2)
                    APP_set_screen(0);
                if (row.y >= 0 && frame == 2)
                    mouse_event(SDL_MOUSEBUTTONDOWN, row.x, row.y);
                if (row.y >= 0 && frame == 4)
                    mouse_event(SDL_MOUSEBUTTONUP, row.x, row.y);
                if (frame == 50)
                    APP_set_screen(0); // no answer: end the loop all the same
            },
            [&] {
                return INST_ask_about_modified_file(copy + "Resources/a file.txt", row.result == 1 ? 0 : 1);
            });
        EXPECT_EQ(answer, row.result);
        EXPECT_EQ(screen_state.screen_id, 0);
    }
}

} // namespace
