// The dispenser, the expansion of packages into place (with real zip and 7z archives made by the tools),
// planned deletions and the removal of emptied folders, and the stale-safe read of the directory archive.
// Transfers against the demo server are in INST_engine_test.cpp.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <pthread.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "base/FILE_compress.h"
#include "base/FILE_error_text.h"
#include "base/LANG_localise.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "base/PREF_file.h"
#include "installer/INST_directory_zip.h"
#include "installer/INST_download.h"
#include "installer/INST_expand.h"
#include "installer/INST_plan.h"
#include "installer/INST_running_md5.h"
#include "installer_fixtures.h"
#include "platform/WIN_system.h"
#include "support/engine_harness.h"

namespace {

namespace fs = std::filesystem;

std::string md5_of(const std::string& path) {
    std::string out;
    return FILE_md5_hex(path, out) == 0 ? out : "error";
}

std::string md5_text(const std::string& text) {
    test::TempDir d;
    test::write_file(d.file("f"), text);
    return md5_of(d.file("f"));
}

std::string q(const std::string& s) { return "'" + s + "'"; }

// A zip made by python3's zipfile: entries of (name, text).
// With `stored` the data is not compressed, so a flipped byte is found by the CRC check alone.
void make_zip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries,
              bool stored = false) {
    test::TempDir d;
    std::string script = std::string("import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1],'w',zipfile.") +
                         (stored ? "ZIP_STORED" : "ZIP_DEFLATED") + ")\n";
    for (size_t i = 0; i < entries.size(); ++i) {
        test::write_file(d.file("e" + std::to_string(i)), entries[i].second);
        script += "z.writestr(" + q(entries[i].first) + ", open(" + q(d.file("e" + std::to_string(i))) +
                  ",'rb').read())\n";
    }
    script += "z.close()\n";
    test::write_file(d.file("make.py"), script);
    ASSERT_EQ(test::shell("python3 " + q(d.file("make.py")) + " " + q(path)), 0);
}

// A 7z of one file made by the 7z tool.
void make_7z(const std::string& path, const std::string& name, const std::string& text) {
    test::TempDir d;
    test::write_file(d.file(name), text);
    ASSERT_EQ(test::shell("cd " + q(d.path()) + " && 7z a -t7z " + q(path) + " " + q(name) + " >/dev/null"),
              0);
}

// Flips a byte in the middle of a file.
void corrupt(const std::string& path) {
    std::string bytes = test::read_file(path);
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x5A);
    test::write_file(path, bytes);
}

// Names in a folder, hidden ones included.
std::vector<std::string> names_in(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// ---------------------------------------------------------------- dispenser

struct DispenserTest : test::InstallerTest {
    void SetUp() override {
        InstallerTest::SetUp();
        LANG_restart_for_test("");
        INST_set_download_clock(test::engine_clock);
        test::engine_clock_seconds = 100.0f;
        INST_reset_downloads();
    }
    void TearDown() override {
        INST_reset_downloads();
        INST_set_download_clock(nullptr);
        InstallerTest::TearDown();
    }
};

TEST_F(DispenserTest, HandsOutIndicesInOrderAndRetriesAfterNewEntries) {
    const int n = 4;
    EXPECT_EQ(INST_next_work_item(1, n), 0); // slot 1 first: slots 0 and 1 appear
    ASSERT_EQ(INST_dispenser.slots.size(), 2u);
    EXPECT_EQ(INST_dispenser.slots[0].state, 1);
    EXPECT_EQ(INST_dispenser.slots[0].retry_time, 100.0f);
    EXPECT_EQ(INST_next_work_item(0, n), 1);
    EXPECT_EQ(INST_next_work_item(0, n), 1); // busy: keeps its package
    EXPECT_EQ(INST_next_work_item(1, n), 0);

    INST_bench_slot(1); // package 0 goes on the retry list
    EXPECT_EQ(INST_dispenser.slots[1].state, 1);
    EXPECT_EQ(INST_dispenser.slots[1].retry_time, 130.0f);
    EXPECT_EQ(INST_dispenser.retry_list, std::list<int>{0});

    // Slot 0 finished its package and wants work: new entries come first, the retry waits its turn.
    INST_dispenser.slots[0].state = 1;
    EXPECT_EQ(INST_next_work_item(0, n), 2);
    INST_dispenser.slots[0].state = 1;
    EXPECT_EQ(INST_next_work_item(0, n), 3);
    EXPECT_EQ(INST_dispenser.retry_list, std::list<int>{0});
    INST_dispenser.slots[0].state = 1;
    EXPECT_EQ(INST_next_work_item(0, n), 0);
    EXPECT_TRUE(INST_dispenser.retry_list.empty());
    INST_dispenser.slots[0].state = 1;
    EXPECT_EQ(INST_next_work_item(0, n), 4); // the entry count: nothing left
    EXPECT_EQ(INST_dispenser.next_index, 4);
    EXPECT_EQ(INST_next_work_item(2, n), 4);
    EXPECT_EQ(INST_dispenser.next_index, 4);

    // A slot handed the entry count takes a retry that waits later: slot 1 fails again, idle slot 0 takes
    // its package, and the benched slot then finds nothing left.
    INST_dispenser.slots[1].state = 0;
    INST_dispenser.slots[1].package_index = 3;
    INST_bench_slot(1);
    EXPECT_EQ(INST_dispenser.retry_list, std::list<int>{3});
    EXPECT_EQ(INST_next_work_item(0, n), 3);
    EXPECT_TRUE(INST_dispenser.retry_list.empty());
    EXPECT_EQ(INST_next_work_item(0, n), 3); // busy: keeps it
    EXPECT_EQ(INST_next_work_item(1, n), 4);

    INST_bench_slot(7); // no such slot: nothing happens
    EXPECT_EQ(INST_dispenser.slots.size(), 3u);
}

// Once the last package is handled, a server on the bench is not waited for.
TEST_F(DispenserTest, TheStepEndsWhenNothingIsLeftThoughAServerIsBenched) {
    INST_servers.servers = {{"mirror1.test", "/pub/", "mirror1.test/pub/"},
                            {"mirror2.test", "/pub/", "mirror2.test/pub/"}};
    for (const char* path : {"a.txt", "b.txt"}) {
        file_record r;
        r.path = path; // neither to fetch nor to delete
        INST_directory.packages.push_back({r});
    }
    EXPECT_EQ(INST_next_work_item(1, 2), 0);
    INST_bench_slot(1); // until 130 s; the clock stays at 100 s
    int calls = 1;
    while (INST_download_step() == 0)
        ASSERT_LT(++calls, 10);
    EXPECT_TRUE(INST_dispenser.retry_list.empty());
    EXPECT_EQ(INST_dispenser.slots[0].package_index, 2);
}

TEST_F(DispenserTest, SuffixFollowsTheArchiveKind) {
    const int kinds[] = {0x40, 0x80, 0x00, 0xC0};
    const char* suffixes[] = {".zip", ".7z", "", ""};
    for (int kind : kinds) {
        file_record r;
        r.archive_kind = kind;
        INST_directory.packages.push_back({r});
    }
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(INST_archive_suffix(k), suffixes[k]) << k;
    EXPECT_EQ(INST_archive_suffix(4), "");
    EXPECT_EQ(INST_archive_suffix(-1), "");
}

// ---------------------------------------------------------------- expansion

struct ExpandTest : test::InstallerTest {
    test::TempDir dir;
    test::LogCapture log;
    test::ScopedOptions options{"--qa_script"};
    std::string folder, destination, work;
    const std::string old_text = "the old file, which must survive any failure\n";
    const std::string new_text = "the new file\n";
    void SetUp() override {
        InstallerTest::SetUp();
        LOG_init();
        LANG_restart_for_test("");
        PREF_installer.log_actions = 1;
        folder = dir.file("install/Instructions/");
        work = dir.file("work/");
        fs::create_directories(folder);
        fs::create_directories(work);
        destination = folder + "Aerivon Manual.txt";
        test::write_file(destination, old_text);
        install_failed = 0;
    }
    void TearDown() override {
        PREF_installer.log_actions = 0;
        install_failed = 0;
        InstallerTest::TearDown();
    }
};

TEST_F(ExpandTest, GoodPackagesReplaceTheFileAndGoAway) {
    const std::string sig = md5_text(new_text);
    const struct {
        const char* name;
        std::string archive;
        std::string want;
    } cases[] = {
        {"zip", work + "3.zip", sig},
        {"7z", work + "1.7z", sig},
        {"plain", work + "0", sig},
        {"zip without a signature to check", work + "2.zip", "GONE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::write_file(destination, old_text);
        if (c.archive.ends_with(".zip"))
            make_zip(c.archive, {{"Aerivon Manual.txt", new_text}});
        else if (c.archive.ends_with(".7z"))
            make_7z(c.archive, "Aerivon Manual.txt", new_text);
        else
            test::write_file(c.archive, new_text);
        EXPECT_EQ(INST_expand_download(c.archive, destination, c.want), 0);
        EXPECT_EQ(test::read_file(destination), new_text);
        EXPECT_FALSE(fs::exists(c.archive));
        EXPECT_EQ(names_in(folder), std::vector<std::string>{"Aerivon Manual.txt"});
        EXPECT_EQ(install_failed, 0);
        EXPECT_NE(log.text().find("EXPANDING file " + destination + ", with result=0.\n"), std::string::npos);
    }
}

TEST_F(ExpandTest, ABrokenOrWrongPackageLeavesTheOldFileAndAlerts) {
    const std::string sig = md5_text(new_text);
    const struct {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* archive;
        int code;
        const char* why = nullptr; // the check a 20002 names on the line before the alert
        float expanded_kb = 0.0f;
    } cases[] = {
        {"a zip whose data fails its CRC",
         [&](const std::string& p) {
             make_zip(p, {{"Aerivon Manual.txt", std::string(4000, 'x') + new_text}}, true);
             corrupt(p);
         },
         "3.zip", -105},
        {"a zip holding other bytes",
         [&](const std::string& p) {
             make_zip(p, {{"Aerivon Manual.txt", "other\n"}});
         },
         "3.zip", 20002, "signature mismatch"},
        {"a zip holding another name",
         [&](const std::string& p) {
             make_zip(p, {{"Other.txt", new_text}});
         },
         "3.zip", 20002, "signature mismatch"},
        {"a zip with an entry that leaves its folder",
         [&](const std::string& p) {
             make_zip(p, {{"../../x", "escaped\n"}, {"Aerivon Manual.txt", new_text}});
         },
         "3.zip", 20014},
        {"a truncated 7z",
         [&](const std::string& p) {
             make_7z(p, "Aerivon Manual.txt", new_text);
             std::string bytes = test::read_file(p);
             test::write_file(p, bytes.substr(0, bytes.size() - 20));
         },
         "1.7z", 20002, "short read"},
        // Twice 1 KB plus 1 MiB is the most an entry of this record may expand to.
        {"a zip entry past its bound",
         [&](const std::string& p) {
             make_zip(p, {{"Aerivon Manual.txt", std::string((1 << 20) + 2049, 'b')}});
         },
         "3.zip", 20002, "entry larger than its record allows", 1.0f},
        {"a 7z holding another name", [&](const std::string& p) { make_7z(p, "Other.txt", new_text); },
         "1.7z", 20002, "signature mismatch"},
        {"a 7z entry past its bound",
         [&](const std::string& p) { make_7z(p, "Aerivon Manual.txt", std::string((1 << 20) + 2049, 'b')); },
         "1.7z", 20002, "entry larger than its record allows", 1.0f},
        {"a zip that is no archive", [&](const std::string& p) { test::write_file(p, "not a zip\n"); },
         "0.zip", 20001},
        {"a plain file with other bytes", [&](const std::string& p) { test::write_file(p, "other\n"); }, "2",
         20002, "signature mismatch"},
        {"a download that is missing", [](const std::string&) {}, "4.zip", 20001},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string archive = work + c.archive;
        c.make(archive);
        install_failed = 0;
        const std::string before = log.text();
        EXPECT_EQ(INST_expand_download(archive, destination, sig, c.expanded_kb), c.code);
        EXPECT_EQ(test::read_file(destination), old_text);
        EXPECT_EQ(names_in(folder), std::vector<std::string>{"Aerivon Manual.txt"}); // no sibling, no stage
        EXPECT_FALSE(fs::exists(archive));
        EXPECT_EQ(install_failed, 1);
        EXPECT_FALSE(fs::exists(dir.file("x")));
        EXPECT_FALSE(fs::exists(dir.file("install/x")));
        const std::string block = log.text().substr(before.size());
        // A failed check says so; the other failures give their code's text.
        std::string error = "The downloaded file does not have the checksum it should have.";
        if (!c.why || std::string(c.why) != "signature mismatch")
            FILE_error_text(error, c.code);
        EXPECT_NE(block.find("| The installer cannot extract a file.\n"), std::string::npos) << block;
        EXPECT_NE(block.find("| Error: " + error + "\n"), std::string::npos) << block;
        EXPECT_NE(block.find("| Compressed File: " + archive + "\n"), std::string::npos) << block;
        EXPECT_NE(block.find("| Destination: " + destination + "\n"), std::string::npos) << block;
        EXPECT_NE(block.find("| (utils:437)"), std::string::npos) << block;
        if (c.why) {
            const size_t why = block.find("EXPANDING: " + archive + " failed its check: " + c.why + ".\n");
            EXPECT_LT(why, block.find("| The installer cannot extract a file.\n")) << block;
        }
        EXPECT_NE(
            block.find("EXPANDING file " + destination + ", with result=" + std::to_string(c.code) + ".\n"),
            std::string::npos)
            << block;
    }
}

// A download file written over in place holds stale bytes past what the writer wrote: the MD5 computed a
// step behind the writer, from another thread, reads only what was written and equals the file's.
TEST_F(ExpandTest, AnMd5ComputedWhileTheFileIsWrittenEqualsTheFiles) {
    const std::string path = work + "0-0.download";
    test::write_file(path, std::string(5 << 20, 's')); // a longer file of an earlier package
    std::string bytes;
    for (int i = 0; bytes.size() < (3u << 20) + 12345; ++i)
        bytes += std::to_string(int64_t{i} * 7919) + ",";
    INST_running_md5* h = INST_running_md5_start(path);
    FILE* out = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(out, nullptr);
    for (size_t at = 0; at < bytes.size(); at += 100000) {
        const size_t n = std::min<size_t>(100000, bytes.size() - at);
        ASSERT_EQ(std::fwrite(bytes.data() + at, 1, n, out), n);
        ASSERT_EQ(std::fflush(out), 0);
        INST_running_md5_allow(h, static_cast<int64_t>(at + n) - 50000);
    }
    ASSERT_EQ(ftruncate(fileno(out), static_cast<off_t>(bytes.size())), 0);
    std::fclose(out);
    std::string hex;
    ASSERT_EQ(INST_running_md5_finish(h, static_cast<int64_t>(bytes.size()), hex), 0);
    EXPECT_EQ(hex, md5_of(path));
    EXPECT_EQ(hex, md5_text(bytes));
    // A file shorter than its length is a read failure; a cancel needs no digest.
    h = INST_running_md5_start(path);
    EXPECT_EQ(INST_running_md5_finish(h, static_cast<int64_t>(bytes.size()) + 1, hex), EIO);
    INST_running_md5_cancel(INST_running_md5_start(path));
    // No thread to be had (a stack larger than any address space): none is started, nothing is thrown.
    pthread_attr_t usual, huge;
    ASSERT_EQ(pthread_getattr_default_np(&usual), 0);
    ASSERT_EQ(pthread_getattr_default_np(&huge), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&huge, size_t{1} << 52), 0);
    ASSERT_EQ(pthread_setattr_default_np(&huge), 0);
    INST_running_md5* none = nullptr;
    EXPECT_NO_THROW(none = INST_running_md5_start(path));
    EXPECT_EQ(pthread_setattr_default_np(&usual), 0);
    pthread_attr_destroy(&huge);
    pthread_attr_destroy(&usual);
    EXPECT_EQ(none, nullptr);
    INST_running_md5_cancel(none);
}

// A plain package whose MD5 came with it is renamed into place once it passes (the same inode: nothing is
// copied); one that fails leaves the old file, which stayed in place until then.
TEST_F(ExpandTest, APlainPackageIsRenamedIntoPlaceOnlyOnceItsMd5Passes) {
    for (const bool passes : {false, true}) {
        SCOPED_TRACE(passes);
        const std::string archive = work + "1-0.download";
        test::write_file(archive, new_text);
        struct stat before;
        ASSERT_EQ(stat(archive.c_str(), &before), 0);
        const std::string have = passes ? md5_text(new_text) : md5_text("other");
        std::string why;
        EXPECT_EQ(
            INST_expand_into_place(archive, "", destination, md5_text(new_text), 0.0f, &why, "", true, have),
            passes ? 0 : 20002);
        struct stat after;
        ASSERT_EQ(stat(destination.c_str(), &after), 0);
        EXPECT_EQ(test::read_file(destination), passes ? new_text : old_text);
        EXPECT_EQ(after.st_ino == before.st_ino, passes);
        EXPECT_EQ(fs::exists(archive), !passes);
        EXPECT_EQ(why, passes ? "" : "signature mismatch");
        EXPECT_EQ(names_in(folder), std::vector<std::string>{"Aerivon Manual.txt"});
    }
}

TEST_F(ExpandTest, AnEntryAtItsBoundFitsAndOtherEntriesAreNamedUpToTwenty) {
    // Exactly twice 1 KB plus 1 MiB expands, and of 25 other entries 20 are named, then a summary.
    const std::string text((1 << 20) + 2048, 'b');
    std::vector<std::pair<std::string, std::string>> entries = {{"Aerivon Manual.txt", text}};
    for (int i = 0; i < 25; ++i)
        entries.push_back({"other" + std::to_string(i) + ".txt", "x"});
    make_zip(work + "3.zip", entries);
    EXPECT_EQ(INST_expand_download(work + "3.zip", destination, md5_text(text), 1.0f), 0);
    EXPECT_EQ(test::read_file(destination), text);
    EXPECT_EQ(test::count_of(log.text(), ", which is not installed.\n"), 20);
    EXPECT_NE(log.text().find("EXPANDING: " + work + "3.zip … and 5 more.\n"), std::string::npos)
        << log.text();
    EXPECT_EQ(names_in(folder), std::vector<std::string>{"Aerivon Manual.txt"});
    EXPECT_EQ(INST_entry_limit(0.0f), 4ull << 30);
    EXPECT_EQ(INST_entry_limit(1.0f), (1ull << 20) + 2048);
}

TEST_F(ExpandTest, TheExecuteBitsOfAnEntryAreKept) {
    test::TempDir d;
    test::write_file(d.file("Aerivon.exe"), "#!/bin/sh\necho hi\n");
    fs::permissions(d.file("Aerivon.exe"),
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    ASSERT_EQ(test::shell("cd " + q(d.path()) + " && zip -q " + q(work + "0.zip") + " Aerivon.exe"), 0);
    const std::string exe = dir.file("install/Aerivon.exe");
    EXPECT_EQ(INST_expand_download(work + "0.zip", exe, ""), 0);
    EXPECT_TRUE((fs::status(exe).permissions() & fs::perms::owner_exec) != fs::perms::none);
}

// A full disk while a compressible package expands, in a child: a small tmpfs when one can be mounted
// (root, or a user namespace), else a file-size limit. The child reports what it saw in a file.
struct DiskFullCase {
    const char* name;
    bool tmpfs;
};

std::string run_disk_full_child(const std::string& root, bool tmpfs, const std::string& archive,
                                const std::string& sig) {
    const std::string report = root + "/report.txt";
    const pid_t pid = fork();
    if (pid == 0) {
        std::string text;
        const std::string disk = root + "/disk";
        if (tmpfs) {
            if (geteuid() != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
                _exit(3);
            if (geteuid() == 0 && unshare(CLONE_NEWNS) != 0)
                _exit(3);
            if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
                _exit(3);
            if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
                _exit(3);
        } else {
            WIN_set_signal_handling(); // the program's: a write past the limit fails with EFBIG
            rlimit limit{40000, 40000};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        const std::string folder = disk + "/Resources/";
        fs::create_directories(folder);
        const std::string old_text(20000, 'o');
        test::write_file(folder + "earth_nav.dat", old_text);
        const int result = INST_expand_download(archive, folder + "earth_nav.dat", sig);
        text += "result=" + std::to_string(result) + "\n";
        text += "old=" +
                std::string(test::read_file(folder + "earth_nav.dat") == old_text ? "intact" : "changed") +
                "\n";
        for (const std::string& name : names_in(folder))
            text += "name=" + name + "\n";
        text += "archive=" + std::string(fs::exists(archive) ? "kept" : "deleted") + "\n";
        text += "failed=" + std::to_string(install_failed) + "\n";
        rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &unlimited);
        test::write_file(report, text);
        LOG_stream.flush();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child exit " +
               std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    return test::read_file(report);
}

TEST_F(ExpandTest, AFullDiskLeavesTheOldFileAndNoSibling) {
    const std::string big(300000, 'n'); // compresses to almost nothing, expands past the room there is
    const std::string sig = md5_text(big);
    for (const DiskFullCase c : {DiskFullCase{"tmpfs", true}, DiskFullCase{"file size limit", false}}) {
        SCOPED_TRACE(c.name);
        test::TempDir root;
        fs::create_directories(root.file("disk"));
        const std::string archive = root.file("3.7z");
        make_7z(archive, "earth_nav.dat", big);
        const std::string before = log.text();
        const std::string report = run_disk_full_child(root.path(), c.tmpfs, archive, sig);
        if (c.tmpfs && report == "child exit 3") {
            std::cout << "no tmpfs can be mounted here; the file-size limit stands in\n";
            continue;
        }
        const int code = c.tmpfs ? ENOSPC : EFBIG;
        EXPECT_EQ(report, "result=" + std::to_string(code) +
                              "\nold=intact\nname=earth_nav.dat\narchive=deleted\nfailed=1\n");
        std::string error;
        FILE_error_text(error, code);
        const std::string block = log.text().substr(before.size());
        EXPECT_NE(block.find("| Error: " + error + "\n"), std::string::npos) << block;
        EXPECT_NE(block.find("| Destination: " + root.file("disk/Resources/earth_nav.dat") + "\n"),
                  std::string::npos)
            << block;
    }
}

// ---------------------------------------------------------------- deletions and emptied folders

struct DeletionTest : test::InstallerTest {
    test::TempDir dir;
    test::LogCapture log;
    void SetUp() override {
        InstallerTest::SetUp();
        PREF_installer.log_actions = 1;
        INST_install_folder = dir.file("copy/");
        INST_servers.servers = {{"mirror1.test", "/pub/Aerivon10Demo/", "mirror1.test/pub/"}};
        INST_set_download_clock(test::engine_clock);
        INST_emptied_folders.clear();
        INST_reset_downloads();
    }
    void TearDown() override {
        INST_reset_downloads();
        INST_emptied_folders.clear();
        INST_set_download_clock(nullptr);
        PREF_installer.log_actions = 0;
        InstallerTest::TearDown();
    }
    void add(const std::string& path, int del, int download = 0) {
        const std::string full = INST_install_folder + path;
        fs::create_directories(fs::path(full).parent_path());
        test::write_file(full, "x\n");
        file_record r;
        r.path = path;
        r.sig_want = del ? "GONE" : md5_text("x\n");
        r.sig_have = md5_text("x\n");
        r.plan_delete = del;
        r.plan_download = download;
        r.matches = del ? 0 : 1;
        INST_directory.packages.push_back({r});
    }
};

TEST_F(DeletionTest, DeletesPlannedFilesThenTheFoldersTheyEmptiedDeepestFirst) {
    add("A/B/c.txt", 1);
    add("A/B/C/d.txt", 1);
    add("A/keep.txt", 0); // A/ keeps a file: it stays
    add("E/F/g.txt", 1);  // E/F/ and E/ empty: both go
    add("H/i.txt", 1);    // H/ holds a hidden file: rmdir fails, the folder stays, and that is logged
    test::write_file(INST_install_folder + "H/.hidden", "h\n");
    // One item per call, then one call that finds nothing left and removes the folders.
    int calls = 1;
    while (INST_download_step() == 0)
        ASSERT_LT(++calls, 50);
    EXPECT_EQ(calls, static_cast<int>(INST_directory.packages.size()) + 1);
    EXPECT_EQ(INST_last_action, 0);
    EXPECT_EQ(INST_last_file_name, "i.txt");
    for (const char* gone : {"A/B/c.txt", "A/B/C/d.txt", "A/B", "E", "H/i.txt"})
        EXPECT_FALSE(fs::exists(INST_install_folder + gone)) << gone;
    for (const char* kept : {"A/keep.txt", "H/.hidden"})
        EXPECT_TRUE(fs::exists(INST_install_folder + kept)) << kept;
    const std::string text = log.text();
    const std::string c = INST_install_folder;
    const size_t abc = text.find("cleanup: DELETING  file " + c + "A/B/C/, with result=0.\n");
    const size_t ab = text.find("cleanup: DELETING  file " + c + "A/B/, with result=0.\n");
    const size_t ef = text.find("cleanup: DELETING  file " + c + "E/F/, with result=0.\n");
    const size_t e = text.find("cleanup: DELETING  file " + c + "E/, with result=0.\n");
    ASSERT_NE(abc, std::string::npos) << text;
    ASSERT_NE(ab, std::string::npos) << text;
    ASSERT_NE(ef, std::string::npos) << text;
    ASSERT_NE(e, std::string::npos) << text;
    EXPECT_LT(ef, e);
    EXPECT_LT(abc, ab);
    EXPECT_NE(
        text.find("cleanup: DELETING  file " + c + "H/, with result=" + std::to_string(ENOTEMPTY) + ".\n"),
        std::string::npos)
        << text;
    EXPECT_EQ(text.find("cleanup: DELETING  file " + c + "A/,"), std::string::npos) << text;
    EXPECT_NE(text.find("now we want to nuke a file: DELETING  file " + c + "A/B/c.txt, with result=0.\n"),
              std::string::npos);
    EXPECT_EQ(INST_emptied_folders,
              (std::set<std::string>{c + "A/", c + "A/B/", c + "A/B/C/", c + "E/", c + "E/F/", c + "H/"}));
    // Deleted files are known to be absent now: a second plan has nothing to do for them.
    EXPECT_EQ(INST_directory.packages[0].back().sig_have, "NONE");
    INST_set_include_flags(1, 0);
    ASSERT_EQ(INST_plan_install_actions(), 1);
    for (const package_entry& entry : INST_directory.packages)
        EXPECT_EQ(entry.back().plan_delete + entry.back().plan_download, 0) << entry.back().path;
}

// A deletion that fails (here a folder where the file was: even root cannot unlink it) is alerted with
// the path and the error and fails the install; no other slot takes work in that call. The alert comes
// before any window, in the platform's box: the step runs with no display on purpose, so that the box
// counts as dismissed at once (answering a real box is the program tests' part).
TEST_F(DeletionTest, AFailedDeletionIsAlertedAndEndsTheStep) {
    LOG_init(); // the alert goes to the log
    test::ScopedEnv no_display("DISPLAY", std::nullopt), no_wayland("WAYLAND_DISPLAY", std::nullopt);
    INST_servers.servers.push_back({"mirror2.test", "/pub/Aerivon10Demo/", "mirror2.test/pub/"});
    add("A/b.txt", 1);
    add("C/c.txt", 1);
    fs::remove(INST_install_folder + "A/b.txt");
    fs::create_directories(INST_install_folder + "A/b.txt/inner");
    EXPECT_EQ(INST_download_step(), 1);
    EXPECT_EQ(install_failed, 1);
    EXPECT_TRUE(fs::exists(INST_install_folder + "C/c.txt"));
    EXPECT_TRUE(fs::exists(INST_install_folder + "A/b.txt/inner"));
    const std::string text = log.text();
    std::string error;
    FILE_error_text(error, EISDIR);
    EXPECT_NE(text.find("| The installer cannot delete a file.\n"), std::string::npos) << text;
    EXPECT_NE(text.find("| Error: " + error + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("| " + INST_install_folder + "A/b.txt\n"), std::string::npos) << text;
    install_failed = 0;
}

TEST_F(DeletionTest, APlannedPathWithoutAFileEndsTheProgram) {
    file_record r;
    r.path = "Resources/";
    r.plan_download = 1;
    INST_directory.packages = {{r}};
    std::string err;
    EXPECT_EXIT(
        {
            LOG_stream.close(); // the fixture's capture gives way to the child's own log
            test::child_folder_with_log();
            OPT_parse_only("--qa_script");
            INST_download_step();
            std::_Exit(77);
        },
        testing::ExitedWithCode(1), test::capture(err));
    const std::string text = test::child_log(err);
    EXPECT_NE(text.find("| I am working through the list and found a path that has no file!\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("| It is:\n"), std::string::npos) << text;
    EXPECT_NE(text.find("| Resources/\n"), std::string::npos) << text;
    EXPECT_NE(text.find("| (utils:513)"), std::string::npos) << text;
}

TEST_F(DeletionTest, WithoutServersOrEntriesTheStepEndsAtOnce) {
    EXPECT_EQ(INST_download_step(), 1); // no entries
    INST_reset_downloads();
    add("a.txt", 1);
    INST_servers.servers.clear();
    EXPECT_EQ(INST_download_step(), 1); // no servers: no slots, nothing done
    EXPECT_TRUE(fs::exists(INST_install_folder + "a.txt"));
    EXPECT_TRUE(INST_dispenser.slots.empty());
}

// ---------------------------------------------------------------- the directory archive

struct DirectoryZipTest : test::InstallerTest {
    test::TempDir dir;
    test::LogCapture log;
    const std::string header = "I\n1004 version\nINSTALLER\n";
    std::string work() const { return dir.path() + "/"; }
};

TEST_F(DirectoryZipTest, ADirectoryPast256MiBIsRefused) {
    // 256 MiB and one byte of blanks pack into a few hundred kilobytes.
    test::write_file(dir.file("make.py"), "import zipfile,sys\n"
                                          "z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED)\n"
                                          "with z.open('directory.txt','w',force_zip64=True) as f:\n"
                                          "    f.write(sys.argv[2].encode())\n"
                                          "    for i in range(256): f.write(b' '*(1<<20))\n"
                                          "    f.write(b' ')\n"
                                          "z.close()\n");
    ASSERT_EQ(test::shell("python3 " + q(dir.file("make.py")) + " " + q(dir.file("bomb.zip")) + " " +
                          q(header + "FILE 64 0 0 0 0 0 1 1 s a.txt\n")),
              0);
    install_directory d;
    int unzip = 0;
    EXPECT_EQ(INST_unzip_directory_file(dir.file("bomb.zip"), work(), d, &unzip, false), -1);
    EXPECT_EQ(unzip, 20002);
    EXPECT_EQ(FILE_last_read_failure(), FILE_read_failure::entry_too_large);
    EXPECT_FALSE(fs::exists(dir.file("directory.txt")));
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"bomb.zip", "make.py"}));
}

TEST_F(DirectoryZipTest, AnArchiveWithoutTheFileNeverYieldsAnOlderOne) {
    make_zip(dir.file("good.zip"), {{"directory.txt", header + "FILE 64 0 0 0 0 0 1 1 s a.txt\n"}});
    make_zip(dir.file("empty.zip"), {{"readme.txt", "no directory here\n"}});
    test::write_file(dir.file("broken.zip"), "not a zip");
    install_directory d;
    int unzip = -7;
    ASSERT_EQ(INST_unzip_directory_file(dir.file("good.zip"), work(), d, &unzip, false), 0);
    EXPECT_EQ(unzip, 0);
    ASSERT_EQ(d.packages.size(), 1u);

    // The archive holds no directory.txt: the old one is gone, and the reader says so.
    EXPECT_EQ(INST_unzip_directory_file(dir.file("empty.zip"), work(), d, &unzip, false), 3);
    EXPECT_EQ(unzip, 0);
    EXPECT_TRUE(d.packages.empty());
    EXPECT_FALSE(fs::exists(dir.file("directory.txt")));

    // The archive does not open: the web road reads nothing; the disc road reads what is there, which is
    // nothing older.
    ASSERT_EQ(INST_unzip_directory_file(dir.file("good.zip"), work(), d, &unzip, false), 0);
    EXPECT_EQ(INST_unzip_directory_file(dir.file("broken.zip"), work(), d, &unzip, false), -1);
    EXPECT_EQ(unzip, 20001);
    EXPECT_EQ(d.packages.size(), 1u); // untouched: the caller reports and fetches again
    EXPECT_EQ(INST_unzip_directory_file(dir.file("broken.zip"), work(), d, &unzip, true), 3);
    EXPECT_EQ(unzip, 20001);
    EXPECT_TRUE(d.packages.empty());
    EXPECT_EQ(d.version, 0);

    // An old directory.txt that cannot be removed (a folder in its place) is never read.
    fs::create_directories(dir.file("directory.txt/inner"));
    d.packages.resize(2);
    d.version = 1004;
    EXPECT_EQ(INST_unzip_directory_file(dir.file("good.zip"), work(), d, &unzip, false), -1);
    EXPECT_NE(unzip, 0);
    EXPECT_EQ(d.packages.size(), 2u);
    EXPECT_EQ(INST_unzip_directory_file(dir.file("good.zip"), work(), d, &unzip, true), 3);
    EXPECT_TRUE(d.packages.empty());
    EXPECT_EQ(d.version, 0);
}

} // namespace
