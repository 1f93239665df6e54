// The installed-scenery scan on real folder trees.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "installer/INST_scan.h"
#include "installer/INST_scenery.h"
#include "installer_fixtures.h"

namespace {

struct SceneryTest : test::InstallerTest {
    test::TempDir dir;
    std::string root = dir.file("copy/");

    void file(const std::string& rel) {
        std::filesystem::create_directories(std::filesystem::path(root + rel).parent_path());
        test::write_file(root + rel, "x");
    }
    void folder(const std::string& rel) { std::filesystem::create_directories(root + rel); }
    static std::vector<std::pair<int, int>> selected() {
        std::vector<std::pair<int, int>> cells;
        for (int x = 0; x < UTL_TILES_X; ++x)
            for (int y = 0; y < UTL_TILES_Y; ++y)
                if (INST_tile_selection.at(x, y))
                    cells.emplace_back(x, y);
        return cells;
    }
    // Every cell set, so that a scan must clear what it does not select.
    static void fill_selection() {
        for (int& c : INST_tile_selection.cells)
            c = 1;
    }
};

TEST_F(SceneryTest, DefaultsSetExactlyTheThreeRegions) {
    fill_selection();
    INST_scan_installed_scenery(1);
    const auto cells = selected();
    EXPECT_EQ(cells.size(), 69u);
    for (auto [x, y] : cells) {
        const bool in1 = x >= 5 && x <= 12 && y >= 12 && y <= 16;
        const bool in2 = x >= 17 && x <= 19 && y >= 13 && y <= 15;
        const bool in3 = x >= 29 && x <= 33 && y >= 5 && y <= 8;
        EXPECT_TRUE(in1 || in2 || in3) << x << "," << y;
    }
}

TEST_F(SceneryTest, PacksSelectTheTilesTheyHoldNavDataFor) {
    file("Global Scenery/Pack A/Earth nav data/+40-080/+47-075.dsf"); // (10, 13)
    file("Global Scenery/Pack B/Earth nav data/+40-080/+41-080.dsf"); // the same tile from a second pack
    file("Global Scenery/Pack B/Earth nav data/-10+110/-05+115.dsf"); // (29, 8)
    folder("Global Scenery/Pack B/Earth nav data/+50+000");           // empty: selects nothing
    file("Global Scenery/Pack B/Earth nav data/+45-080/x.dsf");       // no tile's name
    file("Global Scenery/Pack B/Earth nav data/+60+010");             // a file, not a folder
    file("Global Scenery/Pack C/Other data/+30+030/x.dsf");           // not nav data
    file("Global Scenery/loose.txt");
    file("Custom Scenery/Pack D/Earth nav data/+20+020/x.dsf"); // outside "Global Scenery"
    // A link to a pack is not followed.
    std::filesystem::create_directory_symlink(root + "Custom Scenery/Pack D", root + "Global Scenery/Linked");
    fill_selection();
    INST_install_folder = root;
    INST_scan_installed_scenery(0);
    EXPECT_EQ(selected(), (std::vector<std::pair<int, int>>{{10, 13}, {29, 8}}));
}

TEST_F(SceneryTest, ACopyWithoutSceneryOrWithoutACopyEndsAllZero) {
    for (const std::string& copy : {root, dir.file("nothing here/"), std::string()}) {
        SCOPED_TRACE(copy);
        folder("Aircraft");
        fill_selection();
        INST_install_folder = copy;
        INST_scan_installed_scenery(0);
        EXPECT_TRUE(selected().empty());
    }
}

TEST_F(SceneryTest, TheFixedFolderNamesMatchInAnyLetterCase) {
    // The directory file and the disk spell both folders differently from the usual names.
    const std::string path = "global SCENERY/Pack/EARTH NAV data/+40-080/+47-075.dsf";
    file(path);
    file("GLOBAL scenery/Pack 2/earth nav DATA/+00+000/+05+005.dsf");
    test::write_file(dir.file("directory.txt"),
                     "I\n1004 version\nINSTALLER\nFILE 10 0 10 13 10 13 5 5 sig " + path + "\n");
    ASSERT_EQ(UTL_read_directory_file(dir.file("directory.txt"), INST_directory), 0);
    INST_install_folder = root;
    INST_scan_installed_scenery(0);
    EXPECT_EQ(selected(), (std::vector<std::pair<int, int>>{{10, 13}, {18, 9}}));
    const file_record& r = INST_directory.packages.at(0).back();
    EXPECT_EQ(INST_tile_rect_has_selection(r.x0, r.y0, r.x1, r.y1), 1); // so the plan keeps it
}

} // namespace
