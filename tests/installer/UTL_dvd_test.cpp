// The disc's version file, the drive walk over the CD/DVD mounts and the test roots, the scan of a folder
// disc, and a disc's arrival reaching the frame callbacks' flag.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "base/APP_clock.h"
#include "dvd_fixtures.h"
#include "platform/WIN_window.h"

namespace {

namespace fs = std::filesystem;
using testing::ContainsRegex;
using testing::ElementsAre;
using testing::HasSubstr;

using DvdScanTest = test::DvdTest;
using DvdScanDeathTest = test::DvdTest;

// A disc folder holding `version_text` as its version file and, under `folder`, a zipped directory file.
void make_disc(const std::string& root, const std::string& version_text, const std::string& folder) {
    fs::create_directories(root + "/" + folder);
    test::write_file(root + "/dvd_version.txt", version_text);
    test::write_file(root + "/directory.txt", "I\n1004 version\nINSTALLER\nDISK 0\nFILE 64 0 0 0 0 0 1 1 "
                                              "0123456789abcdef0123456789abcdef a.txt\n");
    ASSERT_EQ(test::shell("cd '" + root + "' && zip -q -m '" + folder + "/directory.txt.zip' directory.txt"),
              0);
}

TEST_F(DvdScanTest, VersionFileLinesAndHeaders) {
    const std::string header = "I\n1000 version\nDVD\n";
    struct {
        const char* what;
        std::string text;
        int result;
        std::string folder;
        std::vector<std::string> lines;
    } cases[] = {
        {"a newer version", "I\n1001 version\nDVD\nVERSION V\n", 7, "", {}},
        {"another type", "I\n1000 version\nINSTALLER\nVERSION V\n", 7, "", {}},
        {"a wrong first byte", "X\n1000 version\nDVD\nVERSION V\n", 7, "", {}},
        {"no VERSION", header + "  LANG de\nnote\n", 1, "", {"LANG de", "note"}},
        {"the last VERSION wins",
         header + "VERSION first\n   a note  \r\nVERSION   V\n\n\tLANG en\nVERSIONS x\n",
         0,
         "V",
         {"a note  ", "LANG en", "VERSIONS x"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string root = dir.file("disc" + std::to_string(n++));
        make_disc(root, c.text, "V");
        test::write_file(roots, root + "\n");
        install_directory d;
        EXPECT_EQ(UTL_scan_dvd(d), c.result);
        EXPECT_EQ(d.dvd_root, root + "/");
        EXPECT_EQ(d.version_folder, c.folder);
        EXPECT_EQ(d.dvd_lines, c.lines);
        EXPECT_EQ(d.packages.size(), c.result == 0 ? 1u : 0u);
        if (c.result != 0)
            continue;
        // Scanned once, the disc is not read again: not even its being gone is noticed.
        fs::remove_all(root);
        EXPECT_EQ(UTL_scan_dvd(d), 1);
        EXPECT_EQ(d.packages.size(), 1u);
    }
}

TEST_F(DvdScanTest, FolderDiscGivesTheManifestsPackageListAndLanguages) {
    generate();
    insert(disc(0));
    ASSERT_EQ(UTL_scan_dvd(INST_directory), 0) << log.text();
    EXPECT_EQ(INST_directory.dvd_root, disc(0) + "/");
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
}

TEST_F(DvdScanTest, ScenerySectionDiscHasProductKeyTwo) {
    generate({"--scenery-disc"});
    insert(release + "/discs/scenery");
    ASSERT_EQ(UTL_scan_dvd(INST_directory), 0) << log.text();
    EXPECT_EQ(INST_directory.product_kind, 2);
    ASSERT_EQ(INST_directory.packages.size(), 1u);
    EXPECT_EQ(INST_directory.packages[0].back().has_tile, 1);
}

// A disc whose archive holds no directory file, after a good disc: nothing of the old list survives.
TEST_F(DvdScanTest, ArchiveWithoutDirectoryAfterAGoodDiscReadsNothing) {
    generate();
    insert(disc(0));
    ASSERT_EQ(UTL_scan_dvd(INST_directory), 0);
    ASSERT_FALSE(INST_directory.packages.empty());

    const std::string other = dir.file("other");
    make_disc(other, "I\n1000 version\nDVD\nVERSION V\n", "V");
    ASSERT_EQ(test::shell("cd '" + other +
                          "' && echo x > other.txt && rm V/directory.txt.zip && "
                          "zip -q -m V/directory.txt.zip other.txt"),
              0);
    test::write_file(roots, other + "\n");
    UTL_install_directory_clear(INST_directory);
    EXPECT_EQ(UTL_scan_dvd(INST_directory), 3);
    EXPECT_TRUE(INST_directory.packages.empty());
    EXPECT_EQ(INST_directory.version, 0);
}

TEST_F(DvdScanDeathTest, CorruptArchiveEndsTheProgramWithTheAlert) {
    const std::string good = dir.file("good"), bad = dir.file("bad");
    make_disc(good, "I\n1000 version\nDVD\nVERSION V\n", "V");
    make_disc(bad, "I\n1000 version\nDVD\nVERSION V\n", "V");
    test::write_file(bad + "/V/directory.txt.zip", "this is no zip archive");
    insert(good);
    std::string err;
    EXPECT_EXIT(
        {
            LOG_stream.close(); // the fixture's capture gives way to the child's log
            test::child_folder_with_log();
            if (UTL_scan_dvd(INST_directory) != 0)
                std::_Exit(70);
            test::write_file(roots, bad + "\n");
            UTL_install_directory_clear(INST_directory);
            UTL_scan_dvd(INST_directory);
            std::_Exit(71);
        },
        testing::ExitedWithCode(1), test::capture(err));
    // The child ran in folders of its own.
    const std::string child = test::child_log(err);
    EXPECT_THAT(child, HasSubstr("| DVD scan: The installer cannot extract a file.\n"));
    EXPECT_THAT(child, ContainsRegex("\\| Compressed File: /.*/bad/V/directory.txt.zip.\n"));
    EXPECT_THAT(child, ContainsRegex("\\| Destination Path: /.*/work/.\n"));
    EXPECT_THAT(child, HasSubstr("(UTL_installer:560)"));
}

TEST(DvdDriveTest, MountTableGivesOpticalMountsFirstThenTestRoots) {
    const std::string table = "36 27 11:0 / /media/cd\\040rom ro,relatime shared:30 - iso9660 /dev/sr0 ro\n"
                              "37 27 8:1 / /home rw - ext4 /dev/sda2 rw\n"
                              "38 27 0:50 / /mnt/nfs\\040share rw - nfs server:/x rw\n"
                              "39 27 11:1 / /media/dvd ro - udf /dev/sr1 ro\n"
                              "40 27 11:2 / /media/a\\011b\\134c ro shared:1 master:2 - iso9660 /dev/sr2 ro\n"
                              "not a mount line\n";
    const std::vector<std::pair<std::string, std::string>> expected = {{"/media/cd rom", "iso9660"},
                                                                       {"/home", "ext4"},
                                                                       {"/mnt/nfs share", "nfs"},
                                                                       {"/media/dvd", "udf"},
                                                                       {"/media/a\tb\\c", "iso9660"}};
    std::vector<std::pair<std::string, std::string>> parsed;
    for (const WIN_mount& m : WIN_parse_mountinfo(table))
        parsed.emplace_back(m.point, m.type);
    EXPECT_EQ(parsed, expected);

    test::TempDir d;
    test::write_file(d.file("roots"), "/first\r\n\n/second/\n");
    test::ScopedEnv env(WIN_DVD_ROOTS_VARIABLE, d.file("roots"));
    EXPECT_THAT(WIN_optical_roots(table),
                ElementsAre("/media/cd rom/", "/media/dvd/", "/media/a\tb\\c/", "/first/", "/second/"));
}

// Only CD/DVD drives and listed roots are tried; an empty version file does not count.
TEST_F(DvdScanTest, OnlyListedRootsAreTried) {
    static std::vector<std::string> tried;
    auto record = [](const std::string& root) {
        tried.push_back(root);
        return UTL_has_dvd_version_file(root);
    };
    for (const char* name : {"unlisted", "empty", "none", "first", "second"})
        fs::create_directories(dir.file(name));
    test::write_file(dir.file("unlisted/dvd_version.txt"), "I\n1000 version\nDVD\n");
    test::write_file(dir.file("empty/dvd_version.txt"), "");
    const std::vector<std::string> drives = WIN_optical_roots();

    // An empty list: only the machine's own CD/DVD drives, which never hold our file here.
    tried.clear();
    EXPECT_EQ(UTL_find_dvd_drive(record), "");
    EXPECT_EQ(tried, drives);
    if (drives.empty()) {
        EXPECT_EQ(UTL_scan_dvd(INST_directory), 6);
    }

    insert(dir.file("empty"));
    insert(dir.file("none"));
    tried.clear();
    EXPECT_EQ(UTL_find_dvd_drive(record), "");
    EXPECT_EQ(std::vector<std::string>(tried.end() - 2, tried.end()),
              (std::vector<std::string>{dir.file("empty/"), dir.file("none/")}));
    EXPECT_EQ(UTL_scan_dvd(INST_directory), 6);
    EXPECT_EQ(INST_directory.dvd_root, "");

    test::write_file(dir.file("first/dvd_version.txt"), "x");
    test::write_file(dir.file("second/dvd_version.txt"), "x");
    insert(dir.file("first"));
    insert(dir.file("second"));
    EXPECT_EQ(UTL_find_dvd_drive(UTL_has_dvd_version_file), dir.file("first/"));
}

TEST_F(DvdScanTest, AppendingARootRaisesTheMediaArrivedFlag) {
    platform_callbacks callbacks{};
    APP_init_platform_callbacks(callbacks);
    platform_callbacks_view view;
    view.self = &callbacks;
    view.media_arrived = [](void* self) { static_cast<platform_callbacks*>(self)->media_arrived(); };
    WIN_set_platform_callbacks(&view);
    APP_clear_media_arrived();
    auto frame = [] { return 0; };

    WIN_pump_once(frame, frame);
    EXPECT_EQ(APP_media_arrived(), 0);
    fs::create_directories(dir.file("inserted"));
    insert(dir.file("inserted"));
    for (long frames = 0; !APP_media_arrived() && frames < 1000000; ++frames)
        WIN_pump_once(frame, frame);
    EXPECT_EQ(APP_media_arrived(), 1);

    // The same list again is no new disc.
    APP_clear_media_arrived();
    WIN_pump_once(frame, frame);
    EXPECT_EQ(APP_media_arrived(), 0);
    WIN_set_platform_callbacks(nullptr);
}

} // namespace
