// The scenery road and the world-map picker, page by page in the real wizard frame, with folder discs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "dvd_fixtures.h"
#include "installer/INST_scenery_map.h"
#include "support/disc_road_fixture.h"

namespace {

namespace fs = std::filesystem;

const std::string scenery_path = "Global Scenery/Demo Scenery/Earth nav data/+40-130/+47-123.dsf";
constexpr int scenery_x = 5, scenery_y = 13; // the one tile the sample release offers

// The centre of a map tile in the wizard's view.
float tile_cx(int x) { return 248.0f + 14.0f * static_cast<float>(x) + 7.0f; }
float tile_cy(int y) { return 150.0f + 14.0f * static_cast<float>(y) + 7.0f; }

class SceneryRoadGui : public test::DiscRoadGuiFixture {
  protected:
    // The generator's installed copy, registered, with disc 1 (the scenery's disc) in the drive.
    void make_copy() {
        generate();
        ASSERT_EQ(test::shell("cp -r '" + release + "/installed-v1' '" + installed + "'"), 0);
        installed += "/";
        register_copy(installed);
        INST_read_registration_file();
        insert(disc(1));
    }
    // The SELECT NONE and SELECT ALL words' centres.
    static void select_button_centres(float* none_x, float* all_x) {
        int l = 0, r = 0;
        INST_word_columns(4, 0, &l, &r);
        *none_x = 770.0f - static_cast<float>(r - l) * 0.5f;
        const float none_width = static_cast<float>(r - l) + 20.0f;
        INST_word_columns(3, 0, &l, &r);
        *all_x = 765.0f - none_width - static_cast<float>(r - l) * 0.5f;
    }
    static int selected_count() {
        int n = 0;
        for (int c : INST_tile_selection.cells)
            n += c != 0;
        return n;
    }

    std::string installed = home.file("Aerivon 10");
};

TEST_F(SceneryRoadGui, PicksTheCopyScansPaintsTheMapAndAddsThenRemovesScenery) {
    make_copy();
    go(INST_page_select_install_scenery);
    page_desc d = describe(INST_page_select_install_scenery);
    EXPECT_EQ(d.title, "Select Aerivon 10 to Add or Remove Scenery");
    EXPECT_EQ(d.body, "I found the following copy of Aerivon 10 to add scenery to.");
    EXPECT_EQ(INST_install_folder, installed);
    EXPECT_EQ(FILE_sim_root, installed);
    EXPECT_EQ(d.next, INST_page_scan_existing_scenery);
    INST_command_line_folder = installed;
    EXPECT_EQ(INST_page_select_install_scenery(0, &d), 1);
    INST_command_line_folder.clear();

    click(continue_x, row_y);
    ASSERT_TRUE(frames_until([] { return current_page == INST_page_select_new_scenery; }));
    EXPECT_EQ(selected_count(), 0);
    EXPECT_EQ(INST_offered_tiles.at(scenery_x, scenery_y), 1);

    // From an unselected tile: every tile the rectangle touches is set, offered or not.
    drag(tile_cx(5), tile_cy(13), tile_cx(7), tile_cy(14));
    for (int x = 5; x <= 7; ++x)
        for (int y = 13; y <= 14; ++y)
            EXPECT_EQ(INST_tile_selection.at(x, y), 1) << x << "," << y;
    EXPECT_EQ(selected_count(), 6);
    // From a selected tile: cleared.
    drag(tile_cx(6), tile_cy(14), tile_cx(4), tile_cy(13));
    EXPECT_EQ(selected_count(), 2);
    EXPECT_EQ(INST_tile_selection.at(7, 13) + INST_tile_selection.at(7, 14), 2);

    float none_x = 0, all_x = 0;
    select_button_centres(&none_x, &all_x);
    click(all_x, 128);
    EXPECT_EQ(selected_count(), 1);
    EXPECT_EQ(INST_tile_selection.at(scenery_x, scenery_y), 1);
    click(none_x, 128);
    EXPECT_EQ(selected_count(), 0);
    click(all_x, 128);
    EXPECT_GT(INST_files_to_install, 0);

    click(continue_x, row_y);
    ASSERT_TRUE(frames_until([] { return current_page == INST_page_finished_scenery; }));
    EXPECT_EQ(describe(INST_page_finished_scenery).body,
              "I have successfully installed more scenery to match your choices on the map.");
    EXPECT_EQ(test::md5_of(installed + scenery_path),
              test::manifest_query(release, "[m['dvd']['packages']['" + scenery_path + "']['md5']]")[0]);

    // Again: the map is seeded from the disk; deselecting removes the files and their emptied folders.
    go(INST_page_scan_existing_scenery);
    ASSERT_TRUE(frames_until([] { return current_page == INST_page_select_new_scenery; }));
    frames(1);
    EXPECT_EQ(INST_tile_selection.at(scenery_x, scenery_y), 1);
    click(none_x, 128);
    click(continue_x, row_y);
    ASSERT_TRUE(frames_until([] { return current_page == INST_page_finished_scenery; }));
    EXPECT_FALSE(fs::exists(installed + "Global Scenery"));
    EXPECT_TRUE(fs::exists(installed + "Aerivon.exe"));
}

TEST_F(SceneryRoadGui, StopOnAFailedTaskEndsWithErrors) {
    make_copy();
    // The package is there (the disc is found) but is no archive.
    ASSERT_EQ(test::shell("chmod -R u+w '" + disc(1) + "' && echo broken > '" + disc(1) + "/Aerivon 10/" +
                          scenery_path + ".zip'"),
              0);
    go(INST_page_select_install_scenery);
    click(continue_x, row_y);
    ASSERT_TRUE(frames_until([] { return current_page == INST_page_select_new_scenery; }));
    frames(1);
    INST_select_offered_tiles();
    INST_compute_totals();
    dialog_answers = {1};
    click(continue_x, row_y);
    ASSERT_TRUE(frames_until([] { return current_page == INST_page_finished_scenery; }));
    EXPECT_TRUE(dialog_answers.empty());
    EXPECT_EQ(
        describe(INST_page_finished_scenery).body,
        "There were errors while installing your scenery.  Your copy of Aerivon may not be usable.\n\nYou "
        "can click Go Back and use the repair and add-remove scenery functions to try to reinstall any "
        "missing or damaged files.");
    EXPECT_EQ(INST_scenery_install_started, 0);
}

TEST_F(SceneryRoadGui, FinishedBodiesFollowTheErrorsAndTheTwoCounts) {
    const std::string tail =
        "  Your copy of Aerivon may not be usable.\n\nYou can click Go Back and use the repair "
        "and add-remove scenery functions to try to reinstall any missing or damaged files.";
    struct row {
        int errors, install, second;
        std::string body;
    };
    const row rows[] = {
        {0, 2, 1, "I have successfully added and removed scenery to match your choices on the map."},
        {0, 2, 0, "I have successfully installed more scenery to match your choices on the map."},
        {0, 0, 3, "I have successfully removed scenery to match your choices on the map."},
        {0, 0, 0, "I have successfully updated scenery to match your choices on the map."},
        {1, 2, 1, "There were errors while adding and removing your scenery." + tail},
        {2, 1, 0, "There were errors while installing your scenery." + tail},
        {1, 0, 1, "There were errors while removing your scenery." + tail},
        {1, 0, 0, "There were errors while updating your scenery." + tail},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.body);
        INST_dvd_error_count = r.errors;
        INST_files_to_install = r.install;
        INST_second_file_count = r.second;
        const page_desc d = describe(INST_page_finished_scenery);
        EXPECT_EQ(d.body, r.body);
        EXPECT_EQ(d.choice_labels.size(), r.errors ? 0u : 2u);
    }
}

// The map is north up: each tile shows the place its latitude and longitude name (tile x = (longitude +
// 180) / 10, y = (latitude + 90) / 10), land or sea as the world has it there.
TEST_F(SceneryRoadGui, EachTileLiesOverThePlaceItNames) {
    const struct {
        const char* place;
        int x, y; // the tile whose centre lies there
        bool land;
    } rows[] = {
        {"Lithuania (25E 55N)", 20, 14, true},         {"Libya (15E 25N)", 19, 11, true},
        {"Australia (135E 25S)", 31, 6, true},         {"Antarctica (5E 85S)", 18, 0, true},
        {"the Great Plains (95W 45N)", 8, 13, true},   {"the North Atlantic (35W 35N)", 14, 12, false},
        {"the South Pacific (125W 25S)", 5, 6, false},
    };
    std::fill(std::begin(INST_offered_tiles.cells), std::end(INST_offered_tiles.cells), 0);
    ui_state.input.mouse_x = ui_state.input.mouse_y = 0.0f;
    OGL_clear_view();
    INST_draw_scenery_map();
    for (const auto& r : rows) {
        const uitest::rgb c = uitest::pixel(static_cast<int>(tile_cx(r.x) + screen_state.origin_x),
                                            static_cast<int>(tile_cy(r.y) + screen_state.origin_y));
        // The sea is deep blue; land is green, brown or the white of ice.
        EXPECT_EQ(c.b < c.r + 30, r.land) << r.place << ": " << c;
    }
}

TEST_F(SceneryRoadGui, MapDrawsOfferedTilesInTheirLookAndTheDragRectangle) {
    const auto at = [](float x, float y) {
        return uitest::pixel(static_cast<int>(x + screen_state.origin_x),
                             static_cast<int>(y + screen_state.origin_y));
    };
    const auto draw = [] {
        OGL_clear_view();
        INST_draw_scenery_map();
    };
    ui_state.input.mouse_x = ui_state.input.mouse_y = 0.0f;
    draw();
    const uitest::rgb bare_a = at(tile_cx(3), tile_cy(4)), bare_b = at(tile_cx(20), tile_cy(10));
    INST_offered_tiles.at(3, 4) = INST_offered_tiles.at(20, 10) = 1;
    INST_tile_selection.at(20, 10) = 1;
    INST_tile_selection.at(22, 10) = 1; // selected but not offered: never drawn
    const uitest::rgb bare_c = at(tile_cx(22), tile_cy(10));
    draw();
    const uitest::rgb offered = at(tile_cx(3), tile_cy(4)), selected = at(tile_cx(20), tile_cy(10));
    EXPECT_FALSE(uitest::near(offered, bare_a, 6)) << offered << bare_a;
    EXPECT_FALSE(uitest::near(selected, bare_b, 6)) << selected << bare_b;
    EXPECT_EQ(at(tile_cx(22), tile_cy(10)), bare_c);

    // While the button is held, the rectangle from the press to the pointer shows.
    const float x0 = tile_cx(10) + 3.0f, y0 = tile_cy(2) + 3.0f, x1 = tile_cx(14) + 3.0f,
                y1 = tile_cy(5) + 3.0f;
    draw();
    const uitest::rgb edge_before = at((x0 + x1) * 0.5f, y0);
    ui_state.input.mouse_x = x0;
    ui_state.input.mouse_y = y0;
    ui_state.input.click[0] = 1;
    APP_clock.buttons[0].down = 1;
    draw();
    ui_state.input.click[0] = 0;
    ui_state.input.mouse_x = x1;
    ui_state.input.mouse_y = y1;
    draw();
    const uitest::rgb edge_held = at((x0 + x1) * 0.5f, y0);
    APP_clock.buttons[0].down = 0;
    draw();
    EXPECT_FALSE(uitest::near(edge_held, edge_before, 6)) << edge_held << edge_before;
    EXPECT_EQ(at((x0 + x1) * 0.5f, y0), edge_before);
}

} // namespace
