// The disc roads' page tests: the real wizard frame on window 0 in this process, started at a chosen page
// (the program itself always starts at the web demo's welcome page), with folder discs from the sample
// release generator that count as CD/DVD drives through the list of test roots, a temporary HOME, and
// clicks, drags and dialog answers pushed as SDL events.
#pragma once
#include <SDL.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/APP_clock.h"
#include "base/FILE_ops.h"
#include "base/LANG_localise.h"
#include "base/PREF_file.h"
#include "installer/INST_demo_road.h"
#include "installer/INST_dvd_road.h"
#include "installer/INST_dvd_unpack.h"
#include "installer/INST_globals.h"
#include "installer/INST_page_routines.h"
#include "installer/INST_registration.h"
#include "installer/INST_scan.h"
#include "installer/INST_scenery_road.h"
#include "installer/INST_startup.h"
#include "installer/INST_wizard.h"
#include "platform/WIN_mounts.h"
#include "platform/WIN_window.h"
#include "support/demo_release.h"
#include "support/test_support.h"
#include "ui/edit_gui_fixture.h"

namespace test {

class DiscRoadGuiFixture : public edittest::EditGuiFixture {
  protected:
    // Centres of the bottom row's words (English).
    static constexpr float row_y = 23.0f, continue_x = 719.5f, back_x = 594.5f;

    void SetUp() override {
        EditGuiFixture::SetUp();
        if (IsSkipped())
            return;
        ASSERT_EQ(TMAN_load_bitmap(4, 1043, 0x220241, 2, "RESOURCE:background.png"), 1043);
        ASSERT_EQ(TMAN_load_bitmap(4, 1042, 0x220242, 2, "RESOURCE:map.png"), 1042);
        LANG_restart_for_test("");
        INST_ui_atlas_language = 0;
        reset_road_state();
        INST_work_folder = home.file("work/");
        std::filesystem::create_directories(home.file("work"));
        std::filesystem::create_directories(home.file("Desktop"));
        write_file(roots, "");
        callbacks = platform_callbacks{};
        APP_init_platform_callbacks(callbacks);
        view.self = &callbacks;
        view.media_arrived = [](void* self) { static_cast<platform_callbacks*>(self)->media_arrived(); };
        WIN_set_platform_callbacks(&view);
        APP_clear_media_arrived();
        APP_set_screen0_frame(INST_wizard_frame);
        edittest::after_frame = [this] { answer_dialogs(); };
    }
    void TearDown() override {
        if (!IsSkipped()) {
            INST_release_dvd_queues();
            INST_release_checksum_queue();
            std::string ignored;
            INST_take_last_error(ignored);
            WIN_set_platform_callbacks(nullptr);
            if (WIN_table_window(0)) {
                TMAN_unload(1042);
                TMAN_unload(1043);
            }
        }
        reset_road_state();
        LANG_restart_for_test("");
        EditGuiFixture::TearDown();
    }
    static void reset_road_state() {
        FILE_sim_root.clear();
        known_installs.clear();
        INST_servers = server_list();
        INST_directory = install_directory();
        INST_install_folder.clear();
        INST_command_line_folder.clear();
        INST_scenery_mode = 0;
        INST_destination_parent.clear();
        INST_install_name.clear();
        INST_agreed = 0;
        INST_dvd_install_started = INST_dvd_error_count = INST_dvd_next_entry = 0;
        INST_dvd_current_entry = INST_disc_in_drive = 0;
        INST_scenery_install_started = INST_scenery_next_entry = INST_scenery_scan_index = 0;
        INST_set_include_flags(0, 0);
        INST_tile_selection = tile_grid();
        INST_offered_tiles = tile_grid();
        PREF_installer = installer_prefs();
        INST_selected_os = INST_native_os_code();
    }

    // The wizard shows `page` from its next frame on, as if it had just arrived there.
    static void start_at(page_fn page) {
        current_page = page;
        previous_page = nullptr;
    }
    static void go(page_fn page) {
        start_at(page);
        frames(2);
    }
    // What `page` describes now.
    static page_desc describe(page_fn page) {
        page_desc d;
        page(0, &d);
        return d;
    }
    // Frames until `done` holds (at most about 20 seconds); whether it did.
    static bool frames_until(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done() && std::chrono::steady_clock::now() < end)
            frames(1);
        return done();
    }
    static void mouse_move(float x, float y) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = window_id();
        e.motion.x = static_cast<int>(x + screen_state.origin_x);
        e.motion.y = screen_state.drawable_height - static_cast<int>(y + screen_state.origin_y);
        SDL_PushEvent(&e);
    }
    // Press at (x0, y0), move in steps to (x1, y1) with a frame each, then release.
    static void drag(float x0, float y0, float x1, float y1) {
        mouse_move(x0, y0);
        mouse_event(SDL_MOUSEBUTTONDOWN, x0, y0);
        frames(1);
        for (int i = 1; i <= 4; ++i) {
            mouse_move(x0 + (x1 - x0) * static_cast<float>(i) / 4.0f,
                       y0 + (y1 - y0) * static_cast<float>(i) / 4.0f);
            frames(1);
        }
        mouse_event(SDL_MOUSEBUTTONUP, x1, y1);
        frames(1);
    }
    // Each two-button dialog (screen 997) takes the next answer of dialog_answers: 1 its first button, 0
    // its second; dialog_frames counts the frames a dialog showed.
    void answer_dialogs() {
        if (screen_state.screen_id != 997) {
            dialog_frame = 0;
            return;
        }
        ++dialog_frames;
        if (dialog_answers.empty())
            return;
        const float y = dialog_answers.front() ? 56.0f : 31.0f;
        if (++dialog_frame == 2)
            mouse_event(SDL_MOUSEBUTTONDOWN, 96.0f, y);
        if (dialog_frame == 4) {
            mouse_event(SDL_MOUSEBUTTONUP, 96.0f, y);
            dialog_answers.erase(dialog_answers.begin());
        }
    }

    // The sample release with its folder discs, and the options given.
    void generate(std::vector<std::string> options = {}) {
        options.push_back("--discs");
        std::string report;
        ASSERT_TRUE(make_sample_release(release, options, &report)) << report;
    }
    std::string disc(int n) const { return release + "/discs/disc" + std::to_string(n); }
    // A disc is inserted: its folder is appended to the test roots.
    void insert(const std::string& folder) const { std::ofstream(roots, std::ios::app) << folder << "\n"; }
    // Only these discs are in the drives.
    void set_discs(const std::vector<std::string>& folders) const {
        std::string text;
        for (const std::string& f : folders)
            text += f + "\n";
        write_file(roots, text);
    }
    // Registers a copy as the installer does.
    static void register_copy(const std::string& folder) {
        const std::string keep = INST_install_folder;
        INST_install_folder = folder;
        INST_register_install_folder();
        INST_install_folder = keep;
    }

    TempDir home;
    ScopedEnv home_env{"HOME", home.path()};
    ScopedEnv data_env{"XDG_DATA_HOME", home.file(".local/share")};
    ScopedEnv config_env{"XDG_CONFIG_HOME", std::nullopt};
    std::string release = home.file("release");
    std::string roots = home.file("roots.txt");
    ScopedEnv roots_env{WIN_DVD_ROOTS_VARIABLE, roots};
    platform_callbacks callbacks{};
    platform_callbacks_view view;
    std::vector<int> dialog_answers;
    int dialog_frame = 0;
    int dialog_frames = 0;
};

} // namespace test
