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

// Centres of the bottom row's English words: QUIT, CONTINUE and GO BACK beside it.
constexpr float row_y = 23.0f, quit_x = 58.0f, continue_x = 719.5f, back_x = 594.5f;

// A test page: it records its entered flags and says what the test set.
std::vector<int> entered_log;
int test_result = 0, confirmations = 0;
page_fn test_next = nullptr;
float test_progress = -1.0f;
int page_b(int, page_desc*) { return 0; }
int page_c(int, page_desc*) { return 0; }
int page_a(int entered, page_desc* d) {
    entered_log.push_back(entered);
    d->next = test_next;
    d->back = page_c;
    d->progress = test_progress;
    d->cancel_confirmation = [] { return ++confirmations, false; };
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
        INST_directory = install_directory();
        INST_install_folder.clear();
        INST_destination_parent.clear();
        PREF_installer = installer_prefs();
        entered_log.clear();
        test_result = confirmations = 0;
        test_next = nullptr;
        INST_work_folder = home.file("work/");
        std::filesystem::create_directories(home.file("work"));
        std::filesystem::create_directories(home.file("Desktop"));
        APP_set_screen0_frame(INST_wizard_frame);
    }
    void TearDown() override {
        WIN_clear_quit_request_for_test(); // a test's quit would end every later test's dialogs at once
        HTTP_clear();
        HTTP_manager().proxy_host.clear();
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
    static page_desc describe(page_fn page, int entered) {
        page_desc d;
        page(entered, &d);
        return d;
    }
    // One wizard frame drawn into the back buffer (not presented), then the colour at a point.
    static uitest::rgb drawn_at(int x, int y) {
        current_page = previous_page = page_a;
        INST_wizard_frame();
        return uitest::pixel(x, y);
    }

    test::TempDir home;
    test::ScopedEnv home_env{"HOME", home.path()}, data_env{"XDG_DATA_HOME", home.file(".local/share")};
    test::ScopedEnv config_env{"XDG_CONFIG_HOME", std::nullopt};
};

TEST_F(WizardGuiTest, WelcomeOffersTheBetaBoxOrThreeChoicesOnceACopyIsRegistered) {
    go(INST_page_demo_welcome);
    page_desc d = describe(INST_page_demo_welcome, 0);
    EXPECT_EQ(d.title, "Welcome");
    EXPECT_EQ(d.next, INST_page_license);
    EXPECT_TRUE(d.choice_labels.empty());
    EXPECT_EQ(step_list.names.size(), 6u);
    click(250, 104);
    EXPECT_EQ(PREF_installer.get_beta, 1);

    INST_install_folder = home.file("Aerivon 10 Demo/");
    std::filesystem::create_directories(INST_install_folder);
    INST_register_install_folder();
    go(INST_page_demo_welcome);
    d = describe(INST_page_demo_welcome, 0);
    EXPECT_EQ(d.title, "");
    EXPECT_EQ(d.next, nullptr);
    EXPECT_EQ(d.choice_targets, (std::vector<page_fn>{INST_page_run_demo_chooser,
                                                      INST_page_choose_copy_update, INST_page_license}));
    click(500, 300); // "Install A Second Copy of the Aerivon Demo"
    EXPECT_EQ(current_page, INST_page_license);
}

TEST_F(WizardGuiTest, LicenceGoesOnOnlyWhileTickedAndTheWelcomePageClearsTheTick) {
    test::LoopbackServer silent; // Check Servers fetches through a proxy that never answers
    silent.accept().read_request().pause(5000).start();
    HTTP_manager().proxy_host = "127.0.0.1";
    HTTP_manager().port = silent.port();
    go(INST_page_license);
    click(continue_x, row_y);
    EXPECT_EQ(current_page, INST_page_license);
    click(250, 302);
    click(continue_x, row_y);
    EXPECT_EQ(current_page, INST_page_check_servers);
    click(back_x, row_y);
    click(back_x, row_y);
    EXPECT_EQ(current_page, INST_page_demo_welcome);
    EXPECT_EQ(INST_agreed, 0);
}

TEST_F(WizardGuiTest, DestinationRefusesNamesThatAreNoNewFolderOfItsParent) {
    file_record r;
    r.sig_want = "0123456789abcdef0123456789abcdef";
    r.path = "Aerivon.exe";
    r.expanded_kb = 60.0f;
    INST_directory.version_folder = "Aerivon10Demo";
    INST_directory.packages = {{r}};
    std::filesystem::create_directories(home.file("Desktop/Existing"));
    std::filesystem::create_directories(home.file("Documents"));
    const std::string desktop = home.file("Desktop/"),
                      pick = "Please pick a name for your Aerivon 10 installation...";

    page_desc d = describe(INST_page_pick_destination_demo, 1);
    EXPECT_EQ(d.body, "I will create the folder 'Aerivon 10 Demo' inside the folder '" + desktop +
                          "'.\n\n(The folder Aerivon 10 Demo will appear on your desktop.)");
    EXPECT_EQ(d.next, INST_page_download_demo);
    EXPECT_FLOAT_EQ(INST_total_expanded_kb, 60.0f);
    for (const char* name : {"", "x/../../Documents", "..", ".", "a\\b", "Demo/", "/tmp", "Existing"}) {
        SCOPED_TRACE(name);
        INST_install_name = name;
        d = describe(INST_page_pick_destination_demo, 0);
        EXPECT_EQ(d.body.substr(0, 11), INST_install_name == "Existing" ? "The folder " : pick.substr(0, 11));
        EXPECT_EQ(d.next, nullptr);
    }
    // Another parent: no desktop note. Not enough space there: no CONTINUE.
    INST_install_name = "Sim";
    INST_destination_parent = home.file("work/");
    d = describe(INST_page_pick_destination_demo, 1);
    EXPECT_EQ(d.body, "I will create the folder 'Sim' inside the folder '" + home.file("work/") + "'.");
    INST_directory.packages[0][0].expanded_kb = 1.0e15f;
    EXPECT_EQ(describe(INST_page_pick_destination_demo, 1).next, nullptr);

    // A name typed and GO BACK pressed before the next frame: the page had the whole name.
    INST_destination_parent.clear();
    go(INST_page_pick_destination_demo);
    click(750, 203); // the field's end
    type("x");
    mouse_event(SDL_MOUSEBUTTONDOWN, back_x, row_y);
    mouse_event(SDL_MOUSEBUTTONUP, back_x, row_y);
    frames(3);
    EXPECT_EQ(current_page, INST_page_license);
    EXPECT_EQ(INST_install_name, "Aerivon 10 Demox");
}

TEST_F(WizardGuiTest, FrameEntersOnceLetsAutoAdvanceWinAndAsksBeforeQuitting) {
    go(page_a);
    frames(1);
    EXPECT_EQ(entered_log, (std::vector<int>{1, 0, 0}));
    click(quit_x, row_y); // the confirmation says no
    EXPECT_EQ(confirmations, 1);
    EXPECT_FALSE(WIN_quit_requested());
    test_result = 1; // going on, but there is no next
    frames(2);
    EXPECT_EQ(current_page, page_a);
    // GO BACK pressed in the frame in which the page asks to go on: going on wins.
    test_next = page_b;
    mouse_event(SDL_MOUSEBUTTONDOWN, back_x, row_y);
    frames(1);
    EXPECT_EQ(current_page, page_b);
    mouse_event(SDL_MOUSEBUTTONUP, back_x, row_y);
}

TEST_F(WizardGuiTest, ProgressBarFillsAtLeastFourPercentAndAtMostAll) {
    const auto filled = [](int x, float progress) {
        test_progress = progress;
        const uitest::rgb c = drawn_at(x, 155);
        return c.g > c.r + 50 && c.g > c.b + 40;
    };
    EXPECT_FALSE(filled(250, -1.0f));
    EXPECT_TRUE(filled(255, 0.0f)); // 4 % of the 520-unit track from 240 ends at 260.8
    EXPECT_FALSE(filled(268, 0.0f));
    EXPECT_TRUE(filled(752, 1.7f));
}

TEST_F(WizardGuiTest, GoBackKeepsItsOwnLookBesideADimContinue) {
    // The left caps of QUIT's and GO BACK's frames (English words), level with the words' middle.
    test_next = nullptr;
    const uitest::rgb quit_cap = drawn_at(25, 23), back_cap = drawn_at(545, 23);
    EXPECT_TRUE(uitest::near(back_cap, quit_cap, 3)) << back_cap << " " << quit_cap;
}

TEST_F(WizardGuiTest, TwoButtonDialogGivesItsButtonOrThreeWhenAnotherScreenTakesOver) {
    for (const auto& [x, y, result] : {std::tuple{96, 56, 1}, std::tuple{96, 31, 0}, std::tuple{0, -1, 3}}) {
        SCOPED_TRACE(result);
        int frame = 0;
        edittest::after_frame = [&, x = x, y = y] {
            if (++frame == 2 && y < 0)
                APP_set_screen(0);
            else if (frame == 2 || frame == 4)
                mouse_event(frame == 2 ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP, x, y);
        };
        EXPECT_EQ(INST_two_button_dialog("Message", "First", "first's line", "Second", "second's line"),
                  result);
        EXPECT_EQ(screen_state.screen_id, 0);
        edittest::after_frame = nullptr;
    }
}

// The quit it requests is taken back by the fixture, for the tests after it.
TEST_F(WizardGuiTest, ALastPageShowsQuitOnTheRightOnlyAndItEndsTheProgram) {
    const uitest::rgb left_quit = drawn_at(40, 23), options = drawn_at(130, 23);
    test_next = INST_page_quit;
    EXPECT_FALSE(uitest::near(drawn_at(40, 23), left_quit, 20));
    EXPECT_FALSE(uitest::near(drawn_at(130, 23), options, 20));
    go(page_a);
    click(770 - 28, row_y); // QUIT, 56 wide, where CONTINUE ends
    EXPECT_EQ(current_page, INST_page_quit);
    EXPECT_TRUE(WIN_quit_requested());
    EXPECT_EQ(confirmations, 0);
    // A question that is open when the window closes ends unanswered.
    EXPECT_EQ(INST_two_button_dialog("Message", "First", "", "Second", ""), 3);
    EXPECT_EQ(screen_state.screen_id, 0); // the wizard's screen is back for the frames that remain
}

} // namespace
