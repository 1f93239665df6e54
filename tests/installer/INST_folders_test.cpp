// Folder creation on real folders in a fresh temporary folder, and its alert (read from the log's block).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

TEST_F(FoldersTest, SomethingInTheWayStopsWithTheAlertAndTheCode) {
    const struct {
        const char* name;
        const char* file_in_the_way; // relative to the temporary folder
        const char* install;         // likewise
        const char* failing;         // the path the alert names, likewise
        const char* not_made;        // a folder that comes later and must not be made
    } cases[] = {
        {"a file where the install folder's parent belongs", "a", "a/b/", "a", "a/b"},
        {"a file where a planned folder belongs", "i/x", "i/", "i/x", "i/Output"},
        {"a file where a fixed folder belongs", "j/Output/replays", "j/", "j/Output/replays", "j/Resources"},
        {"a file named like the last fixed folder", "k/Output/preferences", "k/", "k/Output/preferences",
         nullptr},
    };
    INST_directory.packages = {{planned("x/y/f.txt")}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::create_directories(fs::path(dir.file(c.file_in_the_way)).parent_path());
        test::write_file(dir.file(c.file_in_the_way), "in the way\n");
        INST_install_folder = dir.file(c.install);
        const std::string before = log.text();
        EXPECT_EQ(INST_create_install_folders(), ENOTDIR);
        const std::string block = log.text().substr(before.size());
        std::string error;
        FILE_error_text(error, ENOTDIR);
        EXPECT_NE(
            block.find("| I am unable to install or update Aerivon. An error occurred while creating new "
                       "folders. Make sure you are installing to a directory that you have access to!\n"),
            std::string::npos)
            << block;
        EXPECT_NE(block.find("| Error: " + error + "\n"), std::string::npos) << block;
        EXPECT_NE(block.find("| Install Location: " + dir.file(c.install) + "\n"), std::string::npos)
            << block;
        EXPECT_NE(block.find("| Install Path:" + dir.file(c.failing) + "\n"), std::string::npos) << block;
        EXPECT_NE(block.find("| (utils:180)"), std::string::npos) << block;
        if (c.not_made) {
            EXPECT_FALSE(fs::exists(dir.file(c.not_made))) << c.not_made;
        }
    }
}

} // namespace
