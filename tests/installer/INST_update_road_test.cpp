// The update road's decisions that draw nothing, run headless: whether a scanned copy needs an update, and
// what makes a folder a copy.
#include <gtest/gtest.h>

#include <filesystem>

#include "installer/INST_copy_chooser.h"
#include "installer/INST_update_road.h"
#include "installer_fixtures.h"

namespace fs = std::filesystem;

namespace {

class UpdateRoadTest : public test::InstallerTest {};

const char md5_a[] = "0123456789abcdef0123456789abcdef";
const char md5_b[] = "fedcba9876543210fedcba9876543210";

file_record record(const std::string& want, const std::string& have, float kb = 0.0f, int os = 0) {
    file_record r;
    r.os = os;
    r.sig_want = want;
    r.sig_have = have;
    r.matches = want == have;
    r.expanded_kb = r.download_kb = kb;
    r.path.assign(1, 'f');
    return r;
}
file_record scenery(const std::string& want, const std::string& have) {
    file_record r = record(want, have);
    r.has_tile = 1;
    r.x0 = r.x1 = 5;
    r.y0 = r.y1 = 13;
    return r;
}

TEST_F(UpdateRoadTest, WorkIsAFileToInstallOrALocalFileThatMustGo) {
    struct row {
        const char* name;
        file_record current;
        bool tile_selected;
        int work;
    };
    const row rows[] = {
        {"current file", record(md5_a, md5_a, 10.0f), false, 0},
        {"changed file listed at 0 KB", record(md5_b, md5_a, 0.0f), false, 1},
        {"absent file", record(md5_a, "NONE", 10.0f), false, 1},
        {"GONE and present", record("GONE", md5_a), false, 1},
        {"GONE and absent", record("GONE", "NONE"), false, 0},
        {"GONE, present, for another system", record("GONE", md5_a, 0.0f, 3), false, 0},
        {"scenery of an unselected tile, present", scenery(md5_a, md5_a), false, 1},
        {"scenery of an unselected tile, absent", scenery(md5_a, "NONE"), false, 0},
        {"scenery of a selected tile, current", scenery(md5_a, md5_a), true, 0},
    };
    INST_set_include_flags(1, 1);
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        INST_directory.packages = {
            {record(md5_b, "NONE"), r.current}}; // an older version, then the current one
        INST_tile_selection = tile_grid{};
        INST_tile_selection.at(5, 13) = r.tile_selected ? 1 : 0;
        INST_compute_totals();
        EXPECT_EQ(INST_update_has_work(), r.work);
    }
}

TEST_F(UpdateRoadTest, ACopyIsAFolderWithTheFourWordsInItsSubFolders) {
    test::TempDir dir;
    struct row {
        std::vector<std::string> folders, files;
        int copy;
    };
    const row rows[] = {
        {{"Old Airfoils", "Instructions", "Output 2", "Resources"}, {}, 1},
        {{"AirfoilsInstructions", "OutputResources", "Extra"}, {}, 1}, // each word somewhere in some name
        {{"airfoils", "Instructions", "Output", "Resources"}, {}, 0},  // case counts
        {{"Airfoils", "Instructions", "Resources"}, {"Output"}, 0},    // a file is no folder
        {{".Airfoils", "Instructions", "Output", "Resources"}, {}, 0}, // dot-names are left out
        {{}, {}, 0},
    };
    int n = 0;
    for (const row& r : rows) {
        const std::string folder = dir.file(std::to_string(n++)) + "/";
        SCOPED_TRACE(folder);
        fs::create_directories(folder);
        for (const std::string& f : r.folders)
            fs::create_directories(folder + f);
        for (const std::string& f : r.files)
            test::write_file(folder + f, "x");
        INST_install_folder = folder;
        EXPECT_EQ(INST_is_install_folder(), r.copy);
    }
    INST_install_folder = dir.file("missing/");
    EXPECT_EQ(INST_is_install_folder(), 0);
}

} // namespace
