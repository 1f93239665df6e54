// The update road's decisions that draw nothing, run headless: whether a scanned copy needs an update, the
// search page's fetch states, and what makes a folder a copy.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/http.h"
#include "installer/INST_copy_chooser.h"
#include "installer/INST_demo_road.h"
#include "installer/INST_update_road.h"
#include "installer/INST_wizard.h"
#include "installer_fixtures.h"
#include "support/loopback_server.h"

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
    r.path = "f";
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

TEST_F(UpdateRoadTest, SearchShowsEachFetchStateAndOnlyAReadDirectoryIsFetchedAgain) {
    test::TempDir dir;
    test::LoopbackServer server;
    server.accept().read_request().pause(3000).start(); // takes the request, never answers
    HTTP_clear();
    HTTP_manager().proxy_host = "127.0.0.1";
    HTTP_manager().port = server.port();
    INST_work_folder = dir.path() + "/";
    INST_chosen_server = 0;
    INST_servers.version = 1000;
    INST_servers.servers = {{"mirror1.test", "/pub/Aerivon10Demo/", "mirror1.test/pub/"}};
    INST_directory.version = -1;
    INST_directory.version_folder = "Aerivon10Demo";

    page_desc d;
    EXPECT_EQ(INST_page_search_updates(1, &d), 0);
    EXPECT_EQ(d.body,
              "I am checking the net for the latest version of Aerivon 10 right now, and I am connecting "
              "to the server...");
    EXPECT_EQ(d.status, "I am downloading patch info from mirror1.test.");
    EXPECT_EQ(d.back, INST_page_choose_copy_update);
    EXPECT_EQ(d.next, nullptr);
    EXPECT_EQ(INST_servers.servers.size(), 1u) << "a directory not yet read is not fetched afresh";

    INST_directory.version = 0;
    INST_directory.version_folder.clear();
    d = page_desc();
    EXPECT_EQ(INST_page_search_updates(0, &d), 0);
    EXPECT_EQ(d.body, "There was a problem reading information from the servers.");
    EXPECT_LT(d.progress, 0.0f);

    // A directory that was read is fetched afresh on entry: the server list first.
    INST_directory.version = 1004;
    INST_directory.version_folder = "Aerivon10Demo";
    INST_scanned_count = 7;
    d = page_desc();
    INST_page_search_updates(1, &d);
    EXPECT_TRUE(INST_servers.servers.empty());
    EXPECT_EQ(INST_scanned_count, 0);
    EXPECT_EQ(d.body, "I am contacting www.aerivon.example to find an update server for Aerivon 10.");
    HTTP_clear();
    HTTP_manager().proxy_host.clear();
    HTTP_manager().port = 0;
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
