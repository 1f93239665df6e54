// Installing from folder discs: the unpack tasks, the per-frame unpack step over two discs, its failures,
// its release in mid-run, and the clean-up after the last disc.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <map>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/LOG_log.h"
#include "dvd_fixtures.h"
#include "installer/INST_download.h"
#include "installer/dvd_unpack_task.h"

namespace {

namespace fs = std::filesystem;
using testing::EndsWith;
using testing::HasSubstr;
using testing::StartsWith;

using DvdUnpackTest = test::DvdTest;
using DvdUnpackConcurrentTest = test::DvdTest;

// The root of the first drive that holds `probe` (the page's disc check).
std::string find_disc_holding(const std::string& probe) {
    static std::string wanted;
    wanted = probe;
    return UTL_find_dvd_drive([](const std::string& root) { return FILE_is_file(root + wanted); });
}

// The wanted files of a default install, by path, with the disc each package lies on.
std::map<std::string, std::pair<std::string, int>> wanted_files(const std::string& release) {
    std::map<std::string, std::pair<std::string, int>> out;
    for (const std::string& line : test::manifest_query(
             release, "[[p, s, m['dvd']['packages'][p]['disc']] for p, s in m['after_install'].items()]")) {
        const size_t a = line.find('\t'), b = line.rfind('\t');
        out[line.substr(0, a)] = {line.substr(a + 1, b - a - 1), std::stoi(line.substr(b + 1))};
    }
    return out;
}

std::vector<std::string> names_in(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    return names;
}

// One entry with one record, appended to the directory.
void add_record(const std::string& path, int kind, const std::string& sig, int disc, int planned) {
    file_record r;
    r.path = path;
    r.archive_kind = kind;
    r.sig_want = sig;
    r.dvd = disc;
    r.sig_have = "NONE";
    r.plan_download = planned;
    INST_directory.packages.push_back({r});
}

TEST_F(DvdUnpackTest, TwoDiscsInstallEveryFileOfTheManifest) {
    generate();
    PREF_installer.log_actions = 1;
    ASSERT_NO_FATAL_FAILURE(plan_fresh_install());
    const auto wanted = wanted_files(release);

    int next = 0;
    ASSERT_EQ(unpack_until_not_working(&next, 0), 2) << log.text();
    for (const auto& [path, want] : wanted) {
        SCOPED_TRACE(path);
        EXPECT_EQ(test::md5_of(install + path), want.second == 0 ? want.first : "missing");
    }
    // The step went past the unplanned Linux file of disc 1 that lies between files of disc 0.
    const file_record& waiting = INST_directory.packages.at(static_cast<size_t>(next)).back();
    EXPECT_EQ(waiting.dvd, 1);
    EXPECT_EQ(waiting.plan_download, 1);
    int linux_only = 0;
    while (INST_directory.packages.at(static_cast<size_t>(linux_only)).back().path !=
           "Resources/linux only.so")
        ++linux_only;
    EXPECT_LT(linux_only, next);
    EXPECT_EQ(INST_directory.packages[static_cast<size_t>(linux_only)].back().plan_download, 0);
    // The plain file was copied into place, made writable, and the disc and the work folder are as they
    // were (only the directory file lies there).
    const fs::perms plain = fs::status(install + "Resources/win only.dll").permissions();
    EXPECT_NE(plain & fs::perms::owner_write, fs::perms::none);
    EXPECT_TRUE(fs::exists(disc(0) + "/Aerivon 10/Resources/win only.dll"));
    EXPECT_EQ(names_in(work), std::vector<std::string>{"directory.txt"});
    EXPECT_EQ(INST_dvd_unpack_step(&next, 0), 2);

    insert(disc(1));
    const file_record& r = INST_directory.packages[static_cast<size_t>(next)].back();
    INST_directory.dvd_root = find_disc_holding("Aerivon 10/" + r.path + INST_archive_suffix(next));
    ASSERT_EQ(INST_directory.dvd_root, disc(1) + "/");
    ASSERT_EQ(unpack_until_not_working(&next, 1), 1) << log.text();
    for (const auto& [path, want] : wanted)
        EXPECT_EQ(test::md5_of(install + path), want.first) << path;
    for (const std::string& path : test::manifest_query(release, "m['absent_after_install']"))
        EXPECT_FALSE(fs::exists(install + path)) << path;
    EXPECT_THAT(log.text(), HasSubstr("EXPANDING file " + install + "Aerivon.exe, with result=0.\n"));
}

TEST_F(DvdUnpackTest, MissingPackageFailsWithTheCopyTextAndTheRestGoesOn) {
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

    // Tasks still in flight are collected by the next calls, up to the end of the disc.
    ASSERT_EQ(unpack_until_not_working(&next, 0), 2);
    for (const auto& [path, want] : wanted_files(release)) {
        if (want.second == 0 && path != "Resources/unchanged.txt") {
            EXPECT_EQ(test::md5_of(install + path), want.first) << path;
        }
    }
    EXPECT_FALSE(fs::exists(install + "Resources/unchanged.txt"));
    for (const package_entry& e : INST_directory.packages) {
        if (e.back().path == "Resources/unchanged.txt") {
            EXPECT_EQ(e.back().sig_have, "NONE");
        }
    }
}

TEST_F(DvdUnpackTest, PackageWithOtherBytesFailsTheMd5Check) {
    generate({"--wrong-bytes"});
    ASSERT_NO_FATAL_FAILURE(plan_fresh_install());
    int next = 0;
    ASSERT_EQ(unpack_until_not_working(&next, 0), 3);
    std::string text;
    EXPECT_EQ(INST_take_last_error(text), 20002);
    EXPECT_THAT(text, StartsWith("I was unable to unzip the file " + work));
    EXPECT_THAT(text, EndsWith(".zip to the folder " + install + "Instructions/."));
}

TEST_F(DvdUnpackTest, TemporaryNameTakesOnlyAPlainSignature) {
    const std::string disc_root = dir.file("disc/");
    fs::create_directories(disc_root + "V");
    test::write_file(dir.file("pkg.txt"), "package\n");
    ASSERT_EQ(test::shell("cd '" + dir.path() + "' && zip -q -m 'disc/V/pkg.txt.zip' pkg.txt"), 0);
    work = dir.file("w1/w2/work/");
    fs::create_directories(work);
    fs::create_directories(install);
    INST_install_folder = install;
    INST_directory.dvd_root = disc_root;
    INST_directory.version_folder = "V";
    const std::pair<std::string, std::string> cases[] = {
        {"../../x", "_0.zip"}, {"a/b", "_0.zip"}, {"", "_0.zip"}, {"ABCdef0189", "ABCdef0189_0.zip"}};
    for (const auto& [sig, name] : cases) {
        SCOPED_TRACE(sig);
        INST_directory.packages.clear();
        add_record("pkg.txt", 0x40, sig, 0, 1);
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

// A plain file goes straight to its place: a copy cut short (here by a file-size limit) must leave the
// installed file as it was.
TEST_F(DvdUnpackTest, PlainCopyCutShortKeepsTheOldFile) {
    const std::string disc_root = dir.file("disc/");
    fs::create_directories(disc_root + "V");
    const std::string bytes(200000, 'n'), old(30000, 'o');
    test::write_file(disc_root + "V/big.bin", bytes);
    fs::create_directories(install);
    test::write_file(install + "big.bin", old);
    INST_install_folder = install;
    INST_directory.dvd_root = disc_root;
    INST_directory.version_folder = "V";
    add_record("big.bin", 0, test::md5_of(disc_root + "V/big.bin"), 0, 1);

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{50000, 50000};
        setrlimit(RLIMIT_FSIZE, &limit);
        dvd_unpack_task task(0, work);
        task.run();
        std::string text;
        _exit(task.result(text));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), EFBIG);
    EXPECT_EQ(test::read_file(install + "big.bin"), old);
    EXPECT_EQ(names_in(install), std::vector<std::string>{"big.bin"});
}

TEST_F(DvdUnpackTest, NothingPlannedEndsOnTheFirstCall) {
    add_record("a.txt", 0, "GONE", 3, 0);
    add_record("b.txt", 0, "x", 0, 0);
    int next = 0;
    EXPECT_EQ(INST_dvd_unpack_step(&next, 0), 1);
    EXPECT_EQ(next, 2);
}

// Cancelling in mid-run: what the copy queue holds is still copied and extracted, nothing more is
// posted, and the step starts afresh afterwards.
TEST_F(DvdUnpackConcurrentTest, ReleaseInMidRunFinishesWhatWasPosted) {
    const std::string disc_root = dir.file("disc/");
    fs::create_directories(disc_root + "V/f");
    const int count = 70;
    for (int i = 0; i < count; ++i)
        test::write_file(disc_root + "V/f/" + std::to_string(i),
                         std::string(5000 + i, static_cast<char>('a' + i % 26)));
    ASSERT_EQ(
        test::shell("cd '" + disc_root + "V/f' && for i in $(seq 0 7 69); do zip -q -m $i.zip $i; done"), 0);
    fs::create_directories(install + "f");
    INST_install_folder = install;
    INST_directory.dvd_root = disc_root;
    INST_directory.version_folder = "V";
    std::vector<std::string> sums;
    for (int i = 0; i < count; ++i) {
        const std::string s(5000 + i, static_cast<char>('a' + i % 26));
        test::write_file(dir.file("sum"), s);
        sums.push_back(test::md5_of(dir.file("sum")));
        add_record("f/" + std::to_string(i), i % 7 == 0 ? 0x40 : 0, sums.back(), 0, 1);
    }
    PREF_installer.log_actions = 1;

    int next = 0;
    EXPECT_EQ(INST_dvd_unpack_step(&next, 0), 0);
    EXPECT_EQ(INST_dvd_unpack_step(&next, 0), 0);
    EXPECT_TRUE(INST_release_dvd_queues());
    ASSERT_LT(next, count);
    EXPECT_EQ(test::count_of(log.text(), "EXPANDING file "), next);
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        const file_record& r = INST_directory.packages[static_cast<size_t>(i)].back();
        EXPECT_EQ(test::md5_of(install + r.path), i < next ? sums[static_cast<size_t>(i)] : "missing");
        EXPECT_EQ(r.matches, i < next ? 1 : 0);
    }
    EXPECT_TRUE(fs::is_empty(work));

    ASSERT_EQ(unpack_until_not_working(&next, 0), 1);
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(test::md5_of(install + "f/" + std::to_string(i)), sums[static_cast<size_t>(i)]) << i;
}

TEST_F(DvdUnpackTest, CleanupDeletesPlannedFilesAndEmptiedFoldersDeepestFirst) {
    for (const char* folder : {"a/b", "a/keep", "p/q", "x/inside"})
        fs::create_directories(install + folder);
    for (const char* file : {"a/b/c.txt", "a/d.txt", "a/keep/k.txt", "p/q/r.txt", "e.txt", "x/inside/y"})
        test::write_file(install + file, "bytes\n");
    fs::permissions(install + "e.txt", fs::perms::owner_read);
    INST_install_folder = install;
    PREF_installer.log_actions = 1;
    // "x" is a folder where the plan expects a file: its deletion fails and the clean-up goes on.
    for (const char* path : {"a/b/c.txt", "a/d.txt", "x", "e.txt", "p/q/r.txt", "a/keep/k.txt"}) {
        add_record(path, 0, "GONE", 0, 0);
        INST_directory.packages.back().back().plan_delete = std::string(path) != "a/keep/k.txt";
        INST_directory.packages.back().back().sig_have = "d41d8cd98f00b204e9800998ecf8427e";
        INST_directory.packages.back().back().matches = 1;
    }
    INST_cleanup_deleted_files();

    for (const char* gone : {"a/b/c.txt", "a/d.txt", "e.txt", "p/q/r.txt", "a/b", "p/q", "p"})
        EXPECT_FALSE(fs::exists(install + gone)) << gone;
    for (const char* kept : {"a/keep/k.txt", "x/inside/y"})
        EXPECT_TRUE(fs::exists(install + kept)) << kept;
    for (const package_entry& e : INST_directory.packages) {
        SCOPED_TRACE(e.back().path);
        const bool planned = e.back().plan_delete;
        EXPECT_EQ(e.back().sig_have, planned ? "NONE" : "d41d8cd98f00b204e9800998ecf8427e");
        EXPECT_EQ(e.back().matches, planned ? 0 : 1);
    }
    const std::string text = log.text();
    EXPECT_THAT(text,
                HasSubstr("DELETING  file " + install + "x, with result=" + std::to_string(EISDIR) + ".\n"));
    EXPECT_THAT(text, HasSubstr("DELETING  file " + install + "e.txt, with result=0.\n"));
    const size_t q = text.find("cleanup: DELETING  file " + install + "p/q/, with result=0.\n");
    const size_t p = text.find("cleanup: DELETING  file " + install + "p/, with result=0.\n");
    EXPECT_NE(q, std::string::npos);
    EXPECT_NE(p, std::string::npos);
    EXPECT_LT(q, p);
    EXPECT_EQ(INST_last_action, 0);
}

} // namespace
