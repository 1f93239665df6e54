// The wizard and the pages that draw widgets, in this process: window 0, the real frame (APP_run_one_frame)
// drawing INST_wizard_frame on screen 0, and clicks pushed as SDL events. Points are the wizard's (y up).
#include <gtest/gtest.h>

#include <filesystem>

#include "base/PREF_file.h"
#include "base/http.h"
#include "installer/INST_demo_road.h"
#include "installer/INST_dialogs.h"
#include "installer/INST_globals.h"
#include "installer/INST_page_routines.h"
#include "installer/INST_registration.h"
#include "installer/INST_scan.h"
#include "installer/INST_stand_ins.h"
#include "installer/INST_wizard.h"
#include "platform/WIN_message.h"
#include "support/loopback_server.h"
#include "ui/edit_gui_fixture.h"

namespace {

// Centres of the bottom row's words (English): QUIT, OPTIONS, CONTINUE and GO BACK beside it.
constexpr float row_y = 23.0f;
constexpr float quit_x = 58.0f, options_x = 159.0f, continue_x = 719.5f, back_x = 594.5f;

// Test pages: what they say is set by the test; each call is recorded.
std::vector<int> entered_log;
int test_result = 0;
page_fn test_next = nullptr;
float test_progress = -1.0f;
int confirmations = 0;
int page_b(int, page_desc*) { return 0; }
int page_c(int, page_desc*) { return 0; }
bool refuse_to_quit() {
    ++confirmations;
    return false;
}
int page_a(int entered, page_desc* d) {
    entered_log.push_back(entered);
    d->next = test_next;
    d->back = page_c;
    d->progress = test_progress;
    d->cancel_confirmation = refuse_to_quit;
    return test_result;
}

class WizardGuiTest : public edittest::EditGuiFixture {
  protected:
    void SetUp() override {
        EditGuiFixture::SetUp();
        if (IsSkipped())
            return;
        ASSERT_EQ(TMAN_load_bitmap(4, 1043, 0x220241, 2, "RESOURCE:background.png"), 1043);
        INST_ui_atlas_language = 0;
        known_installs.clear();
        INST_servers = server_list();
        INST_directory = install_directory();
        INST_install_folder.clear();
        INST_destination_parent.clear();
        INST_download_started = 0;
        INST_agreed = 0;
        PREF_installer = installer_prefs();
        INST_work_folder = home.file("work/");
        std::filesystem::create_directories(home.file("work"));
        std::filesystem::create_directories(home.file("Desktop"));
        entered_log.clear();
        test_result = 0;
        test_next = nullptr;
        test_progress = -1.0f;
        confirmations = 0;
        APP_set_screen0_frame(INST_wizard_frame);
    }
    void TearDown() override {
        HTTP_clear();
        HTTP_manager().proxy_host.clear();
        HTTP_manager().port = 0;
        if (WIN_table_window(0) && TMAN_get(1043))
            TMAN_unload(1043);
        EditGuiFixture::TearDown();
    }
    // Shows `page` as if the wizard had just arrived there.
    static void go(page_fn page) {
        current_page = page;
        previous_page = nullptr;
        frames(2);
    }
    // What `page` describes now (its widgets are drawn into the back buffer).
    static page_desc describe(page_fn page, int entered) {
        page_desc d;
        page(entered, &d);
        return d;
    }
    // One wizard frame drawn into the back buffer, not presented, then the colour at a point.
    static uitest::rgb drawn_at(page_fn page, int x, int y) {
        current_page = previous_page = page;
        INST_wizard_frame();
        return uitest::pixel(x, y);
    }
    // Transfers go to a proxy that takes the request and never answers: nothing leaves this machine.
    void silent_proxy() {
        server.accept().read_request().pause(5000).start();
        HTTP_manager().proxy_host = "127.0.0.1";
        HTTP_manager().port = server.port();
    }

    test::TempDir home;
    test::ScopedEnv home_env{"HOME", home.path()};
    test::ScopedEnv data_env{"XDG_DATA_HOME", home.file(".local/share")};
    test::ScopedEnv config_env{"XDG_CONFIG_HOME", std::nullopt};
    test::LoopbackServer server;
};

TEST_F(WizardGuiTest, WelcomeOffersTheBetaBoxOrThreeChoicesOnceACopyIsRegistered) {
    go(INST_page_demo_welcome);
    page_desc d = describe(INST_page_demo_welcome, 0);
    EXPECT_EQ(d.title, "Welcome");
    EXPECT_EQ(d.next, INST_page_license);
    EXPECT_TRUE(d.choice_labels.empty());
    EXPECT_EQ(step_list.names, (std::vector<std::string>{"Welcome", "License", "Check Servers",
                                                         "Pick Destination", "Install", "Finish"}));
    click(250, 104);
    EXPECT_EQ(PREF_installer.get_beta, 1);

    const std::string copy = home.file("Aerivon 10 Demo/");
    std::filesystem::create_directories(copy);
    INST_install_folder = copy;
    INST_register_install_folder();
    go(INST_page_demo_welcome);
    d = describe(INST_page_demo_welcome, 0);
    EXPECT_EQ(d.title, "");
    EXPECT_EQ(d.next, nullptr);
    EXPECT_EQ(d.choice_labels,
              (std::vector<std::string>{"Run the Aerivon Demo Now", "Update the Aerivon Demo",
                                        "Install A Second Copy of the Aerivon Demo"}));
    EXPECT_EQ(d.choice_targets, (std::vector<page_fn>{INST_page_run_demo_chooser,
                                                      INST_page_choose_copy_update, INST_page_license}));
    click(500, 300); // the third choice
    EXPECT_EQ(current_page, INST_page_license);
}

TEST_F(WizardGuiTest, LicenceGoesOnOnlyWhileTickedAndTheWelcomePageClearsTheTick) {
    silent_proxy();
    go(INST_page_license);
    click(continue_x, row_y);
    EXPECT_EQ(current_page, INST_page_license);
    click(250, 302);
    EXPECT_EQ(INST_agreed, 1);
    click(continue_x, row_y);
    EXPECT_EQ(current_page, INST_page_check_servers);
    click(back_x, row_y);
    EXPECT_EQ(current_page, INST_page_license);
    EXPECT_EQ(INST_agreed, 1);
    click(back_x, row_y);
    EXPECT_EQ(current_page, INST_page_demo_welcome);
    EXPECT_EQ(INST_agreed, 0);
}

TEST_F(WizardGuiTest, DestinationRefusesNamesThatAreNoNewFolderOfItsParent) {
    file_record r;
    r.os = 0;
    r.sig_want = "0123456789abcdef0123456789abcdef";
    r.path = "Aerivon.exe";
    r.expanded_kb = r.download_kb = 60.0f;
    INST_directory.version = 1004;
    INST_directory.version_folder = "Aerivon10Demo";
    INST_directory.packages = {{r}};
    std::filesystem::create_directories(home.file("Desktop/Existing"));
    std::filesystem::create_directories(home.file("Documents"));
    const std::string desktop = home.file("Desktop/");

    page_desc d = describe(INST_page_pick_destination_demo, 1);
    EXPECT_EQ(d.title, "Pick Install Destination for Aerivon10Demo.");
    EXPECT_EQ(d.body, "I will create the folder 'Aerivon 10 Demo' inside the folder '" + desktop +
                          "'.\n\n(The folder Aerivon 10 Demo will appear on your desktop.)");
    EXPECT_EQ(d.next, INST_page_download_demo);
    EXPECT_EQ(INST_install_folder, desktop + "Aerivon 10 Demo/");
    EXPECT_FLOAT_EQ(INST_total_expanded_kb, 60.0f);

    const std::string pick = "Please pick a name for your Aerivon 10 installation...";
    const std::pair<std::string, std::string> rows[] = {
        {"", pick},
        {"x/../../Documents", pick},
        {"..", pick},
        {".", pick},
        {"a\\b", pick},
        {"Demo/", pick},
        {"/tmp", pick},
        {"Existing", "The folder 'Existing' already exists inside the folder '" + desktop +
                         "'.\n\nPlease change the install name or destination."},
    };
    for (const auto& [name, body] : rows) {
        SCOPED_TRACE(name);
        INST_install_name = name;
        d = describe(INST_page_pick_destination_demo, 0);
        EXPECT_EQ(d.body, body);
        EXPECT_EQ(d.next, nullptr);
        if (body == pick) {
            EXPECT_EQ(INST_install_folder, desktop);
        }
    }

    // Another parent: no desktop note. Not enough space there: no CONTINUE.
    INST_install_name = "Sim";
    INST_destination_parent = home.file("work/");
    d = describe(INST_page_pick_destination_demo, 1);
    EXPECT_EQ(d.body, "I will create the folder 'Sim' inside the folder '" + home.file("work/") + "'.");
    EXPECT_EQ(d.next, INST_page_download_demo);
    INST_directory.packages[0][0].expanded_kb = 1.0e15f;
    d = describe(INST_page_pick_destination_demo, 1);
    EXPECT_EQ(d.next, nullptr);
}

TEST_F(WizardGuiTest, FrameEntersOnceLetsAutoAdvanceWinAndKeepsAPageWithoutNext) {
    go(page_a);
    frames(1);
    EXPECT_EQ(entered_log, (std::vector<int>{1, 0, 0}));

    test_result = 1; // no next: nowhere to go
    frames(2);
    EXPECT_EQ(current_page, page_a);

    // GO BACK clicked in the frame in which the page asks to go on: going on wins.
    test_next = page_b;
    test_result = 0;
    frames(1);
    mouse_event(SDL_MOUSEBUTTONDOWN, back_x, row_y);
    test_result = 1;
    frames(1);
    EXPECT_EQ(current_page, page_b);
    mouse_event(SDL_MOUSEBUTTONUP, back_x, row_y);
    frames(1);
}

TEST_F(WizardGuiTest, QuitAsksTheConfirmationWhichMayKeepThePage) {
    go(page_a);
    click(quit_x, row_y);
    EXPECT_EQ(confirmations, 1);
    EXPECT_FALSE(WIN_quit_requested());
    EXPECT_EQ(current_page, page_a);
}

TEST_F(WizardGuiTest, ProgressBarFillsAtLeastFourPercentAndAtMostAll) {
    const auto filled = [](uitest::rgb c) { return c.g > c.r + 50 && c.g > c.b + 40; };
    test_progress = -1.0f;
    EXPECT_FALSE(filled(drawn_at(page_a, 250, 155)));
    test_progress = 0.0f;
    EXPECT_TRUE(filled(drawn_at(page_a, 255, 155))); // 240 + 4 % of 520 = 260.8
    EXPECT_FALSE(filled(drawn_at(page_a, 268, 155)));
    test_progress = 1.7f;
    EXPECT_TRUE(filled(drawn_at(page_a, 752, 155)));
    test_progress = 0.5f;
    EXPECT_TRUE(filled(drawn_at(page_a, 495, 155)));
    EXPECT_FALSE(filled(drawn_at(page_a, 515, 155)));
}

TEST_F(WizardGuiTest, TwoButtonDialogGivesItsButtonOrThreeWhenAnotherScreenTakesOver) {
    struct script_row {
        float x, y; // the button in the dialog's view; y < 0: another screen is made current
        int result;
    };
    for (const script_row& row : {script_row{96, 56, 1}, script_row{96, 31, 0}, script_row{0, -1, 3}}) {
        SCOPED_TRACE(row.result);
        int frame = 0;
        edittest::after_frame = [&] {
            ++frame;
            if (row.y < 0 && frame == 2)
                APP_set_screen(0);
            if (row.y >= 0 && frame == 2)
                mouse_event(SDL_MOUSEBUTTONDOWN, row.x, row.y);
            if (row.y >= 0 && frame == 4)
                mouse_event(SDL_MOUSEBUTTONUP, row.x, row.y);
        };
        EXPECT_EQ(INST_two_button_dialog("Message", "First", "first's line", "Second", "second's line"),
                  row.result);
        EXPECT_EQ(screen_state.screen_id, 0);
        edittest::after_frame = nullptr;
    }
}

// Runs last: it ends the run loop's life in this process (the quit request cannot be taken back).
TEST_F(WizardGuiTest, ALastPageShowsQuitOnTheRightOnlyAndItEndsTheProgram) {
    test_next = nullptr;
    const uitest::rgb left_quit = drawn_at(page_a, 40, 23), left_options = drawn_at(page_a, 130, 23);
    test_next = INST_page_quit;
    EXPECT_FALSE(uitest::near(drawn_at(page_a, 40, 23), left_quit, 20));
    EXPECT_FALSE(uitest::near(drawn_at(page_a, 130, 23), left_options, 20));

    go(page_a);
    click(770 - 28, row_y); // QUIT, 56 wide, ending at 770
    EXPECT_EQ(confirmations, 0);
    EXPECT_EQ(current_page, INST_page_quit);
    EXPECT_TRUE(WIN_quit_requested());
    // A question that is open when the window closes ends unanswered.
    EXPECT_EQ(INST_two_button_dialog("Message", "First", "", "Second", ""), 3);
}

} // namespace
