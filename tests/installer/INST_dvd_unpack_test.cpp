// Installing from folder discs: the unpack step over two discs, its failures, its release in mid-run, the
// unpack task's temporary name and plain copy, and the clean-up after the last disc.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "dvd_fixtures.h"
#include "installer/INST_download.h"
#include "installer/dvd_unpack_task.h"
#include "platform/WIN_system.h"

namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::MatchesRegex;
using DvdUnpackTest = test::DvdTest;
using DvdUnpackConcurrentTest = test::DvdTest;

// The manifest's files of a default install: path, MD5 and the disc of its package.
std::vector<std::string> wanted_files(const std::string& release) {
    return test::manifest_query(
        release, "[[p, s, m['dvd']['packages'][p]['disc']] for p, s in m['after_install'].items()]");
}

void expect_installed(const std::string& release, const std::string& install, int up_to_disc,
                      const std::string& except = "") {
    for (const std::string& line : wanted_files(release)) {
        const std::string path = line.substr(0, line.find('\t')), sum = line.substr(path.size() + 1, 32);
        const bool there = line.back() - '0' <= up_to_disc && path != except;
        EXPECT_EQ(test::md5_of(install + path), there ? sum : "missing") << path;
    }
}

// One planned entry of one record on disc 0, appended to the directory.
void add_record(const std::string& path, int kind, const std::string& sig) {
    file_record r;
    r.path = path;
    r.archive_kind = kind;
    r.sig_want = sig;
    r.dvd = 0;
    r.plan_download = 1;
    INST_directory.packages.push_back({r});
}

TEST_F(DvdUnpackTest, TwoDiscsInstallEveryFileOfTheManifest) {
    generate();
    PREF_installer.log_actions = 1;
    ASSERT_NO_FATAL_FAILURE(plan_fresh_install());
    int next = 0;
    ASSERT_EQ(unpack_until_not_working(&next, 0), 2) << log.text();
    // Disc 0 is done, past the unplanned Windows file of disc 1 that lies among its files; the plain file
    // was copied into place and made writable, and no package copy is left in the work folder.
    expect_installed(release, install, 0);
    EXPECT_EQ(INST_directory.packages[static_cast<size_t>(next)].back().dvd, 1);
    EXPECT_NE(fs::status(install + "Resources/linux only.so").permissions() & fs::perms::owner_write,
              fs::perms::none);
    EXPECT_EQ(std::distance(fs::directory_iterator(work), {}), 1); // directory.txt
    EXPECT_EQ(INST_dvd_unpack_step(&next, 0), 2);

    insert(disc(1));
    static std::string probe;
    probe = "Aerivon 10/" + INST_directory.packages[static_cast<size_t>(next)].back().path +
            INST_archive_suffix(next);
    INST_directory.dvd_root =
        UTL_find_dvd_drive([](const std::string& root) { return FILE_is_file(root + probe); });
    ASSERT_EQ(INST_directory.dvd_root, disc(1) + "/");
    ASSERT_EQ(unpack_until_not_working(&next, 1), 1) << log.text();
    expect_installed(release, install, 1);
    EXPECT_THAT(log.text(), HasSubstr("EXPANDING file " + install + "Aerivon.exe, with result=0.\n"));
}

TEST_F(DvdUnpackTest, AMissingPackageIsReportedOnceAndTheDiscGoesOn) {
    generate();
    PREF_installer.log_actions = 1;
    const std::string missing = disc(0) + "/Aerivon 10/Resources/unchanged.txt.zip";
    fs::remove(missing);
    ASSERT_NO_FATAL_FAILURE(plan_fresh_install());
    int next = 0;
    ASSERT_EQ(unpack_until_not_working(&next, 0), 3);
    std::string text;
    EXPECT_EQ(INST_take_last_error(text), ENOENT);
    const std::string copy_text =
        "I was unable to copy the file " + missing + " from the DVD to the hard drive.";
    EXPECT_EQ(text, copy_text);
    EXPECT_EQ(INST_take_last_error(text), 0);
    EXPECT_EQ(text, "");
    EXPECT_THAT(log.text(), HasSubstr("EXPANDING file " + install +
                                      "Resources/unchanged.txt, with result=2. " + copy_text + "\n"));
    // The tasks still in flight are collected by the next calls.
    ASSERT_EQ(unpack_until_not_working(&next, 0), 2);
    expect_installed(release, install, 0, "Resources/unchanged.txt");
}

TEST_F(DvdUnpackTest, APackageWithOtherBytesFailsTheCheck) {
    generate({"--wrong-bytes"});
    ASSERT_NO_FATAL_FAILURE(plan_fresh_install());
    int next = 0;
    ASSERT_EQ(unpack_until_not_working(&next, 0), 3);
    std::string text;
    EXPECT_EQ(INST_take_last_error(text), 20002);
    EXPECT_THAT(text, MatchesRegex("I was unable to unzip the file " + work +
                                   "[0-9a-f]{32}_1\\.zip to the folder " + install +
                                   "Instructions/\\. \\(signature mismatch\\)"));
}

// A directory's signature is only part of the temporary name when it is a plain word.
TEST_F(DvdUnpackTest, TemporaryNameStaysInTheWorkFolder) {
    fs::create_directories(dir.file("disc/V"));
    fs::create_directories(install);
    test::write_file(dir.file("pkg.txt"), "package\n");
    ASSERT_EQ(test::shell("cd '" + dir.path() + "' && zip -q -m disc/V/pkg.txt.zip pkg.txt"), 0);
    work = dir.file("w1/w2/work/");
    fs::create_directories(work);
    INST_install_folder = install;
    INST_directory.dvd_root = dir.file("disc/");
    INST_directory.version_folder = "V";
    for (const auto& [sig, name] : {std::pair{"../../x", "_0.zip"}, {"ABCdef0189", "ABCdef0189_0.zip"}}) {
        SCOPED_TRACE(sig);
        INST_directory.packages.clear();
        add_record("pkg.txt", 0x40, sig);
        dvd_unpack_task task(0, work);
        EXPECT_EQ(task.temporary_path(), work + name);
        task.run();
        task.run();
        std::string text;
        EXPECT_EQ(task.result(text), 0) << text;
        EXPECT_EQ(test::read_file(install + "pkg.txt"), "package\n");
        EXPECT_FALSE(fs::exists(dir.file("w1/x_0.zip")));
        EXPECT_TRUE(fs::is_empty(work));
    }
}

// A disc package is checked before it replaces anything, as a download is: a wrong or oversized package
// leaves the old file, and nothing of it stays beside the file or in the work folder.
TEST_F(DvdUnpackTest, AWrongPackageNeverReplacesTheOldFile) {
    fs::create_directories(dir.file("disc/V"));
    fs::create_directories(dir.file("src"));
    fs::create_directories(install);
    INST_install_folder = install;
    INST_directory.dvd_root = dir.file("disc/");
    INST_directory.version_folder = "V";
    const std::string good = "the wanted bytes\n";
    test::write_file(dir.file("want"), good);
    const std::string sig = test::md5_of(dir.file("want"));
    const struct {
        const char* name;
        int kind;
        std::string bytes; // of the packed file
        float expanded_kb;
        const char* why;
    } cases[] = {
        {"zip with other bytes", 0x40, "other bytes\n", 1.0f, "signature mismatch"},
        {"plain file with other bytes", 0, "other bytes\n", 1.0f, "signature mismatch"},
        {"zip entry past twice its size plus 1 MiB", 0x40, std::string(3 << 20, 'z'), 512.0f,
         "entry larger than its record allows"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::write_file(install + "pkg.txt", "old\n");
        fs::remove_all(dir.file("disc/V"));
        fs::create_directories(dir.file("disc/V"));
        test::write_file(dir.file("src/pkg.txt"), c.bytes);
        if (c.kind == 0x40)
            ASSERT_EQ(test::shell("cd '" + dir.file("src") + "' && zip -q ../disc/V/pkg.txt.zip pkg.txt"), 0);
        else
            fs::copy_file(dir.file("src/pkg.txt"), dir.file("disc/V/pkg.txt"));
        INST_directory.packages.clear();
        add_record("pkg.txt", c.kind, sig);
        INST_directory.packages[0].back().expanded_kb = c.expanded_kb;
        dvd_unpack_task task(0, work);
        task.run();
        task.run();
        std::string text;
        EXPECT_EQ(task.result(text), 20002);
        EXPECT_THAT(text, HasSubstr(std::string("(") + c.why + ")"));
        EXPECT_EQ(test::read_file(install + "pkg.txt"), "old\n");
        EXPECT_EQ(std::distance(fs::directory_iterator(install), fs::directory_iterator()), 1);
        EXPECT_TRUE(fs::is_empty(work));
        EXPECT_EQ(INST_directory.packages[0].back().matches, 0);
    }
}

// A plain file is copied straight to its place: a copy cut short must leave the installed file whole.
TEST_F(DvdUnpackTest, PlainCopyCutShortKeepsTheOldFile) {
    fs::create_directories(dir.file("disc/V"));
    fs::create_directories(install);
    test::write_file(dir.file("disc/V/big.bin"), std::string(200000, 'n'));
    test::write_file(install + "big.bin", std::string(30000, 'o'));
    INST_install_folder = install;
    INST_directory.dvd_root = dir.file("disc/");
    INST_directory.version_folder = "V";
    add_record("big.bin", 0, test::md5_of(dir.file("disc/V/big.bin")));
    const pid_t pid = fork();
    if (pid == 0) {
        WIN_set_signal_handling(); // the program's: a write past the limit fails with EFBIG
        rlimit limit{50000, 50000};
        setrlimit(RLIMIT_FSIZE, &limit);
        dvd_unpack_task task(0, work);
        task.run();
        std::string text;
        _exit(task.result(text));
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(WEXITSTATUS(status), EFBIG);
    EXPECT_EQ(test::read_file(install + "big.bin"), std::string(30000, 'o'));
    EXPECT_EQ(std::distance(fs::directory_iterator(install), fs::directory_iterator()), 1);
}

// Cancelling in mid-run: what was posted is still copied and extracted, nothing more; the step then
// starts afresh.
TEST_F(DvdUnpackConcurrentTest, ReleaseInMidRunFinishesWhatWasPosted) {
    fs::create_directories(dir.file("disc/V/f"));
    fs::create_directories(install + "f");
    INST_install_folder = install;
    INST_directory.dvd_root = dir.file("disc/");
    INST_directory.version_folder = "V";
    const int count = 70;
    for (int i = 0; i < count; ++i) {
        test::write_file(dir.file("disc/V/f/" + std::to_string(i)), std::string(5000 + i, 'a'));
        add_record("f/" + std::to_string(i), i % 7 == 0 ? 0x40 : 0,
                   test::md5_of(dir.file("disc/V/f/" + std::to_string(i))));
    }
    ASSERT_EQ(test::shell("cd '" + dir.file("disc/V/f") +
                          "' && for i in $(seq 0 7 69); do zip -q -m $i.zip $i; done"),
              0);
    PREF_installer.log_actions = 1;
    int next = 0;
    EXPECT_EQ(INST_dvd_unpack_step(&next, 0), 0);
    EXPECT_EQ(INST_dvd_unpack_step(&next, 0), 0);
    EXPECT_TRUE(INST_release_dvd_queues());
    ASSERT_LT(next, count);
    EXPECT_EQ(test::count_of(log.text(), "EXPANDING file "), next);
    for (int i = 0; i < count; ++i) {
        const file_record& r = INST_directory.packages[static_cast<size_t>(i)].back();
        EXPECT_EQ(test::md5_of(install + r.path), i < next ? r.sig_want : "missing") << i;
        EXPECT_EQ(r.matches, i < next ? 1 : 0) << i;
    }
    EXPECT_TRUE(fs::is_empty(work));
    ASSERT_EQ(unpack_until_not_working(&next, 0), 1);
    for (const package_entry& e : INST_directory.packages)
        EXPECT_EQ(test::md5_of(install + e.back().path), e.back().sig_want) << e.back().path;
}

TEST_F(DvdUnpackTest, CleanupDeletesPlannedFilesAndEmptiedFoldersDeepestFirst) {
    for (const char* file : {"a/b/c.txt", "a/keep/k.txt", "p/q/r.txt", "e.txt", "x/inside/y"}) {
        fs::create_directories(fs::path(install + file).parent_path());
        test::write_file(install + file, "bytes\n");
    }
    fs::permissions(install + "e.txt", fs::perms::owner_read);
    INST_install_folder = install;
    PREF_installer.log_actions = 1;
    // "x" is a folder where the plan expects a file: its deletion fails and the clean-up goes on.
    for (const char* path : {"a/b/c.txt", "x", "e.txt", "p/q/r.txt", "a/keep/k.txt"}) {
        add_record(path, 0, "GONE");
        file_record& r = INST_directory.packages.back().back();
        r.plan_download = 0;
        r.plan_delete = std::string(path) != "a/keep/k.txt";
        r.sig_have = "d41d8cd98f00b204e9800998ecf8427e";
    }
    INST_cleanup_deleted_files();
    for (const auto& [path, kept] : {std::pair{"a/b", false},
                                     {"e.txt", false},
                                     {"p", false},
                                     {"a/keep/k.txt", true},
                                     {"x/inside/y", true}})
        EXPECT_EQ(fs::exists(install + path), kept) << path;
    for (const package_entry& e : INST_directory.packages)
        EXPECT_EQ(e.back().sig_have, e.back().plan_delete ? "NONE" : "d41d8cd98f00b204e9800998ecf8427e");
    const std::string text = log.text();
    EXPECT_THAT(text,
                HasSubstr("DELETING  file " + install + "x, with result=" + std::to_string(EISDIR) + ".\n"));
    EXPECT_THAT(text, HasSubstr("DELETING  file " + install + "e.txt, with result=0.\n"));
    const size_t q = text.find("cleanup: DELETING  file " + install + "p/q/, with result=0.\n");
    EXPECT_LT(q, text.find("cleanup: DELETING  file " + install + "p/, with result=0.\n"));
}

} // namespace
