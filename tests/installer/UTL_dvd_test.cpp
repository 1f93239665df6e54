// The disc's version file, the drive walk over the CD/DVD mounts and the test roots, the scan of folder
// discs, and a disc's arrival reaching the frame callbacks' flag.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "base/APP_clock.h"
#include "dvd_fixtures.h"
#include "platform/WIN_window.h"

namespace {

namespace fs = std::filesystem;
using testing::ElementsAre;
using DvdScanTest = test::DvdTest;

// A disc folder with `version_text` as its version file and a one-file directory zipped under "V".
void make_disc(const std::string& root, const std::string& version_text) {
    fs::create_directories(root + "/V");
    test::write_file(root + "/dvd_version.txt", version_text);
    test::write_file(root + "/directory.txt", "I\n1004 version\nINSTALLER\nFILE 64 0 0 0 0 0 1 1 s a.txt\n");
    ASSERT_EQ(test::shell("cd '" + root + "' && zip -q -m V/directory.txt.zip directory.txt"), 0);
}

TEST_F(DvdScanTest, VersionFileLinesAndHeaders) {
    const std::string header = "I\n1000 version\nDVD\n";
    struct {
        std::string text;
        int result;
        std::string folder;
        std::vector<std::string> lines;
    } cases[] = {
        {"I\n1001 version\nDVD\nVERSION V\n", 7, "", {}},
        {"I\n1000 version\nINSTALLER\nVERSION V\n", 7, "", {}},
        {header + "  LANG de\nnote\n", 1, "", {"LANG de", "note"}},
        {header + "VERSION first\n   a note  \r\nVERSION   V\n\n\tLANG en\nVERSIONS x\n",
         0,
         "V",
         {"a note  ", "LANG en", "VERSIONS x"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string root = dir.file("disc" + std::to_string(n++));
        make_disc(root, c.text);
        test::write_file(roots, root + "\n");
        install_directory d;
        for (int scan = 0; scan < 2; ++scan) { // read again, a disc without VERSION keeps its lines once
            EXPECT_EQ(UTL_scan_dvd(d), scan == 1 && c.result == 0 ? 1 : c.result);
            EXPECT_EQ(d.dvd_root, root + "/");
            EXPECT_EQ(d.version_folder, c.folder);
            EXPECT_EQ(d.dvd_lines, c.lines);
            EXPECT_EQ(d.packages.size(), c.result == 0 ? 1u : 0u);
            if (c.result == 0)
                fs::remove_all(root); // a scanned disc is not read again: not even its absence is seen
        }
    }
}

TEST_F(DvdScanTest, FolderDiscsGiveTheManifestsListsAndNeverAStaleOne) {
    generate({"--scenery-disc"});
    insert(disc(0));
    ASSERT_EQ(UTL_scan_dvd(INST_directory), 0) << log.text();
    EXPECT_EQ(INST_directory.version_folder, "Aerivon 10");
    EXPECT_THAT(INST_directory.dvd_lines, ElementsAre("LANG en", "LANG de"));
    EXPECT_EQ(INST_directory.product_kind, 1);
    EXPECT_THAT(LANG_available(), ElementsAre(0, 2));
    std::vector<std::string> listed;
    for (const package_entry& e : INST_directory.packages)
        listed.push_back(e.back().path + "\t" + e.back().sig_want + "\t" + std::to_string(e.back().dvd) +
                         "\t" + std::to_string(e.size()));
    EXPECT_EQ(listed, test::manifest_query(release, "[[e['path'], e['sig_want'], e['disc'], e['records']] "
                                                    "for e in m['dvd']['entries']]"));

    test::write_file(roots, release + "/discs/scenery\n");
    UTL_install_directory_clear(INST_directory);
    ASSERT_EQ(UTL_scan_dvd(INST_directory), 0);
    EXPECT_EQ(INST_directory.product_kind, 2);
    EXPECT_EQ(INST_directory.packages.size(), 1u);

    // A disc whose archive holds no directory file reads nothing, not the last disc's list.
    make_disc(dir.file("other"), "I\n1000 version\nDVD\nVERSION V\n");
    ASSERT_EQ(test::shell("cd '" + dir.file("other") +
                          "' && echo x > o.txt && rm V/*.zip && zip -q V/directory.txt.zip o.txt"),
              0);
    test::write_file(roots, dir.file("other") + "\n");
    UTL_install_directory_clear(INST_directory);
    EXPECT_EQ(UTL_scan_dvd(INST_directory), 3);
    EXPECT_TRUE(INST_directory.packages.empty());
}

TEST(DvdDriveTest, MountTableGivesOpticalMountsFirstThenTestRoots) {
    const std::string table = "36 27 11:0 / /media/cd\\040rom ro,relatime shared:30 - iso9660 /dev/sr0 ro\n"
                              "37 27 8:1 / /home rw - ext4 /dev/sda2 rw\n"
                              "38 27 0:50 / /mnt/nfs\\040share rw - nfs server:/x rw\n"
                              "39 27 11:1 / /media/a\\011b\\134c ro shared:1 master:2 - udf /dev/sr2 ro\n"
                              "not a mount line\n";
    std::vector<std::string> parsed;
    for (const WIN_mount& m : WIN_parse_mountinfo(table))
        parsed.push_back(m.point + "|" + m.type);
    EXPECT_THAT(parsed, ElementsAre("/media/cd rom|iso9660", "/home|ext4", "/mnt/nfs share|nfs",
                                    "/media/a\tb\\c|udf"));
    test::TempDir d;
    test::write_file(d.file("roots"), "/first\r\n\n/second/\n");
    test::ScopedEnv env(WIN_DVD_ROOTS_VARIABLE, d.file("roots"));
    EXPECT_THAT(WIN_optical_roots(table),
                ElementsAre("/media/cd rom/", "/media/a\tb\\c/", "/first/", "/second/"));
}

// Only CD/DVD drives and listed roots are tried; an empty version file does not count.
TEST_F(DvdScanTest, OnlyListedRootsAreTried) {
    static std::vector<std::string> tried;
    tried.clear(); // a repeated run starts with none
    auto record = [](const std::string& root) {
        tried.push_back(root);
        return UTL_has_dvd_version_file(root);
    };
    for (const char* name : {"unlisted", "empty", "first", "second"})
        fs::create_directories(dir.file(name));
    test::write_file(dir.file("unlisted/dvd_version.txt"), "I\n1000 version\nDVD\n");
    test::write_file(dir.file("empty/dvd_version.txt"), "");
    std::vector<std::string> expected = WIN_optical_roots(); // the machine's own drives, without our file
    if (expected.empty()) {
        EXPECT_EQ(UTL_scan_dvd(INST_directory), 6);
    }
    insert(dir.file("empty"));
    expected.push_back(dir.file("empty/"));
    EXPECT_EQ(UTL_find_dvd_drive(record), "");
    EXPECT_EQ(tried, expected);
    EXPECT_EQ(UTL_scan_dvd(INST_directory), 6);

    test::write_file(dir.file("first/dvd_version.txt"), "x");
    test::write_file(dir.file("second/dvd_version.txt"), "x");
    insert(dir.file("first"));
    insert(dir.file("second"));
    EXPECT_EQ(UTL_find_dvd_drive(UTL_has_dvd_version_file), dir.file("first/"));
}

TEST_F(DvdScanTest, AppendingARootRaisesTheMediaArrivedFlag) {
    platform_callbacks callbacks{};
    APP_init_platform_callbacks(callbacks);
    platform_callbacks_view view; // as the toolkit's start-up hands it over
    view.self = &callbacks;
    view.media_arrived = [](void* self) { static_cast<platform_callbacks*>(self)->media_arrived(); };
    WIN_set_platform_callbacks(&view);
    auto frame = [] { return 0; };
    APP_clear_media_arrived();
    WIN_pump_once(frame, frame);
    EXPECT_EQ(APP_media_arrived(), 0);
    insert(dir.file("inserted"));
    for (long frames = 0; !APP_media_arrived() && frames < 1000000; ++frames)
        WIN_pump_once(frame, frame);
    EXPECT_EQ(APP_media_arrived(), 1);
    APP_clear_media_arrived();
    WIN_pump_once(frame, frame);
    EXPECT_EQ(APP_media_arrived(), 0);
    WIN_set_platform_callbacks(nullptr);
}

} // namespace
