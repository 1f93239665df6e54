// Folder creation on real folders in a fresh temporary folder, and its alert (read from the log's block).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/FILE_error_text.h"
#include "base/LOG_log.h"
#include "installer/INST_folders.h"
#include "installer_fixtures.h"

namespace {

namespace fs = std::filesystem;

const char* const fixed[] = {
    "Output",    "Output/FMS plans",  "Output/logbooks", "Output/replays", "Output/situations",
    "Resources", "Output/preferences"};

file_record planned(const std::string& path, int download = 1) {
    file_record r;
    r.path = path;
    r.sig_want = "22222222222222222222222222222222";
    r.plan_download = download;
    return r;
}

struct FoldersTest : test::InstallerTest {
    test::TempDir dir;
    test::LogCapture log;
    test::ScopedOptions options{"--qa_script"};
    void SetUp() override {
        InstallerTest::SetUp();
        LOG_init();
        INST_set_include_flags(1, 0);
    }
    bool is_folder(const std::string& rel) const { return fs::is_directory(dir.file(rel)); }
};

TEST_F(FoldersTest, MakesTheInstallFolderItsPlannedFoldersAndTheFixedOnes) {
    file_record other_os = planned("linux/only.so");
    other_os.os = 3;
    file_record scenery = planned("Global Scenery/x/+40-080.dsf");
    scenery.has_tile = 1;
    INST_directory.packages = {{planned("x/y/z/deep.txt")},
                               {planned("x/top.txt")},
                               {planned("flat.txt")},
                               {planned("kept/not planned.txt", 0)},
                               {other_os},
                               {scenery}};
    INST_install_folder = dir.path() + "/a/b/Aerivon 10 Demo/";
    ASSERT_EQ(INST_create_install_folders(), 0) << log.text();
    for (const char* rel : {"a", "a/b", "a/b/Aerivon 10 Demo", "a/b/Aerivon 10 Demo/x",
                            "a/b/Aerivon 10 Demo/x/y", "a/b/Aerivon 10 Demo/x/y/z"})
        EXPECT_TRUE(is_folder(rel)) << rel;
    for (const char* rel : fixed)
        EXPECT_TRUE(is_folder(std::string("a/b/Aerivon 10 Demo/") + rel)) << rel;
    for (const char* rel : {"kept", "linux", "Global Scenery"})
        EXPECT_FALSE(fs::exists(dir.file("a/b/Aerivon 10 Demo/") + rel)) << rel;
    // Made again over what exists: nothing fails.
    EXPECT_EQ(INST_create_install_folders(), 0);
    EXPECT_EQ(log.text().find("E/SYS"), std::string::npos) << log.text();
}

TEST_F(FoldersTest, WithNothingPlannedStillMakesTheInstallFolderAndTheSevenFixedOnes) {
    INST_install_folder = dir.path() + "/copy/";
    ASSERT_EQ(INST_create_install_folders(), 0);
    size_t count = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir.file("copy"))) {
        EXPECT_TRUE(e.is_directory()) << e.path();
        ++count;
    }
    EXPECT_EQ(count, 7u);
}

// A failed step takes back the empty folders it made, and only those: the same choice can be made again.
TEST_F(FoldersTest, SomethingInTheWayStopsWithTheAlertAndTheCode) {
    // An install folder of 4,084 bytes under "n": its planned folders and "Output" fit in a path, "Output/FMS
    // plans" does not.
    std::string deep = dir.file("n");
    const size_t want = 4084 - std::string("/Aerivon 10 Demo/").size();
    while (deep.size() < want) {
        const size_t room = want - deep.size() - 1;
        deep += "/" + std::string(room <= 250 ? room : 150, 'd');
    }
    const std::string too_long = deep + "/Aerivon 10 Demo/";
    ASSERT_EQ(too_long.size(), 4084u);
    const struct {
        const char* name;
        const char* file_in_the_way; // relative to the temporary folder, or null
        std::string install;         // likewise, or absolute
        std::string failing;         // the path the alert names, likewise
        int code;
        std::vector<std::string> gone; // folders the step made and took back
        std::vector<std::string> kept; // folders that were there before
    } cases[] = {
        {"a file where the install folder's parent belongs", "a", "a/b/", "a", ENOTDIR, {"a/b"}, {}},
        {"a file where a planned folder belongs", "i/x", "i/", "i/x", ENOTDIR, {"i/Output"}, {"i"}},
        {"a file where a fixed folder belongs",
         "j/Output/replays",
         "j/",
         "j/Output/replays",
         ENOTDIR,
         {"j/x", "j/Output/FMS plans", "j/Output/logbooks", "j/Resources"},
         {"j/Output"}},
        {"a file named like the last fixed folder",
         "k/Output/preferences",
         "k/",
         "k/Output/preferences",
         ENOTDIR,
         {"k/x", "k/Output/FMS plans", "k/Output/situations", "k/Resources"},
         {"k/Output"}},
        {"a path too long for a fixed folder",
         nullptr,
         too_long,
         too_long + "Output/FMS plans",
         ENAMETOOLONG,
         {"n"},
         {}},
    };
    INST_directory.packages = {{planned("x/y/f.txt")}};
    const auto full = [this](const std::string& p) { return p[0] == '/' ? p : dir.file(p); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.file_in_the_way) {
            fs::create_directories(fs::path(dir.file(c.file_in_the_way)).parent_path());
            test::write_file(dir.file(c.file_in_the_way), "in the way\n");
        }
        INST_install_folder = full(c.install);
        const std::string before = log.text();
        EXPECT_EQ(INST_create_install_folders(), c.code);
        const std::string block = log.text().substr(before.size());
        std::string error;
        FILE_error_text(error, c.code);
        EXPECT_NE(
            block.find("| I am unable to install or update Aerivon. An error occurred while creating new "
                       "folders. Make sure you are installing to a directory that you have access to!\n"),
            std::string::npos)
            << block;
        EXPECT_NE(block.find("| Error: " + error + "\n"), std::string::npos) << block;
        // The log keeps the first 4,095 bytes of a line.
        const std::string location = "| Install Location: " + full(c.install) + "\n",
                          path = "| Install Path:" + full(c.failing) + "\n";
        EXPECT_NE(block.find(location.substr(0, 2000)), std::string::npos) << block;
        EXPECT_NE(block.find(path.substr(0, 2000)), std::string::npos) << block;
        EXPECT_NE(block.find("| (utils:180)"), std::string::npos) << block;
        for (const std::string& rel : c.gone)
            EXPECT_FALSE(fs::exists(dir.file(rel))) << rel;
        for (const std::string& rel : c.kept)
            EXPECT_TRUE(is_folder(rel)) << rel;
        if (c.file_in_the_way) {
            EXPECT_EQ(test::read_file(dir.file(c.file_in_the_way)), "in the way\n");
        }
    }
}

} // namespace
