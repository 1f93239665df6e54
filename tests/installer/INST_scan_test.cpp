// The signature scan against md5sum on a generated tree, the record filter, the totals and the tile
// selection. The scan suites run worker threads, so their names hold "Concurrent" (the TSan run).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/UTL_thread.h"
#include "installer/INST_dvd_road.h"
#include "installer/INST_scan.h"
#include "installer/INST_shutdown.h"
#include "installer/INST_wizard.h"
#include "installer/checksum_task.h"
#include "installer_fixtures.h"

namespace {

using test::count_of;
using test::LogCapture;

// The md5sum of every regular file under `folder`, by path relative to it.
std::map<std::string, std::string> md5sum_of_tree(const std::string& folder) {
    std::string out = folder;
    while (!out.empty() && out.back() == '/')
        out.pop_back();
    out += ".md5"; // beside the folder, not in it
    EXPECT_EQ(
        test::shell("cd '" + folder + "' && find . -type f -print0 | xargs -0 -r md5sum > '" + out + "'"), 0);
    std::map<std::string, std::string> sums;
    std::istringstream in(test::read_file(out));
    std::string line;
    while (std::getline(in, line))
        if (line.size() > 36 && line.compare(32, 4, "  ./") == 0)
            sums[line.substr(36)] = line.substr(0, 32);
    std::remove(out.c_str());
    return sums;
}

// A tree of a few hundred files: empty ones, some of several MB, names with blanks and UTF-8.
std::vector<std::string> make_tree(const std::string& root) {
    std::mt19937 rng(1234);
    std::vector<std::string> files;
    const char* folders[] = {"", "Resources/", "Resources/plug ins/", "Aircraft/Héli côté/", "データ/深い/"};
    for (const char* f : folders)
        std::filesystem::create_directories(root + f);
    for (int i = 0; i < 240; ++i) {
        const std::string folder = folders[i % 5];
        const std::string name = folder + (i % 3 ? "file " : "fichier ü ") + std::to_string(i) + ".dat";
        size_t size = i % 10 == 0 ? 0 : rng() % 40000;
        if (i == 7 || i == 111 || i == 222)
            size = (3u << 20) + static_cast<size_t>(i);
        std::string bytes(size, '\0');
        for (char& c : bytes)
            c = static_cast<char>(rng());
        test::write_file(root + name, bytes);
        files.push_back(name);
    }
    return files;
}

std::string other_sig(const std::string& sig) {
    std::string s = sig;
    s[0] = s[0] == '0' ? '1' : '0';
    return s;
}

file_record record(const std::string& path, const std::string& sig_want, int os = 2) {
    file_record r;
    r.os = os;
    r.path = path;
    r.sig_want = sig_want;
    return r;
}

// Polls the scan as a page would, one call per frame, until it returns 1.
int run_scan(int mode, float* progress = nullptr) {
    int next = 0, calls = 0;
    float p = -1.0f;
    while (!INST_scan_local_signatures(&next, mode, &p)) {
        ++calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (progress)
        *progress = p;
    return calls + 1;
}

struct ScanConcurrentTest : test::InstallerTest {
    test::TempDir dir;
    std::string root = dir.file("copy/");
    std::vector<std::string> files;
    std::map<std::string, std::string> sums;

    // The tree, and a directory that lists half of its files with their true MD5 and half with another,
    // plus files that do not exist.
    void SetUp() override {
        InstallerTest::SetUp();
        files = make_tree(root);
        sums = md5sum_of_tree(root);
        ASSERT_EQ(sums.size(), files.size());
        for (size_t i = 0; i < files.size(); ++i) {
            const std::string& sum = sums[files[i]];
            INST_directory.packages.push_back({record(files[i], i % 2 ? other_sig(sum) : sum)});
        }
        for (int i = 0; i < 5; ++i)
            INST_directory.packages.push_back({record("missing/gone " + std::to_string(i) + ".dat", "x")});
        INST_install_folder = root;
        INST_set_include_flags(1, 1);
    }
    // More entries than one call can post, whatever the processor count.
    void grow_past_one_call() {
        const package_list one_pass = INST_directory.packages;
        while (INST_directory.packages.size() < static_cast<size_t>(400 * UTL_cpu_count()))
            INST_directory.packages.insert(INST_directory.packages.end(), one_pass.begin(), one_pass.end());
    }
};

TEST_F(ScanConcurrentTest, SignaturesEqualMd5sumAndMissingFilesGetNone) {
    LogCapture log;
    float progress = -1.0f;
    run_scan(0, &progress);
    EXPECT_EQ(progress, 1.0f);
    const package_list& list = INST_directory.packages;
    for (size_t i = 0; i < list.size(); ++i) {
        const file_record& r = list[i].back();
        SCOPED_TRACE(r.path);
        if (i < files.size()) {
            EXPECT_EQ(r.sig_have, sums[r.path]);
            EXPECT_EQ(r.matches, i % 2 ? 0 : 1);
        } else {
            EXPECT_EQ(r.sig_have, "NONE");
            EXPECT_EQ(r.matches, 0);
        }
    }
    const std::string text = log.text();
    EXPECT_EQ(count_of(text, " Start of MD5 at "), 1);
    EXPECT_EQ(count_of(text, " End of MD5 at "), 1);
}

TEST_F(ScanConcurrentTest, SomethingThatCannotBeHashedIsUnreadableNotAbsent) {
    std::filesystem::create_directories(root + "a folder/inside");
    ASSERT_EQ(symlink("nowhere/at/all", (root + "dangling").c_str()), 0);
    ASSERT_EQ(symlink("Resources/file 1.dat", (root + "good link").c_str()), 0);
    test::write_file(root + "locked.dat", "secret");
    ASSERT_EQ(chmod((root + "locked.dat").c_str(), 0), 0);
    const bool root_user = geteuid() == 0; // root reads a mode-000 file anyway: that case needs a user
    INST_directory.packages = {{record("a folder", "x")},
                               {record("dangling", "x")},
                               {record("good link", "x")},
                               {record("locked.dat", "x")},
                               {record("Resources/file 1.dat/below", "x")}};
    run_scan(0);
    const package_list& list = INST_directory.packages;
    EXPECT_EQ(list[0].back().sig_have, INST_SIG_UNREADABLE);
    EXPECT_EQ(list[1].back().sig_have, INST_SIG_UNREADABLE);
    EXPECT_EQ(list[2].back().sig_have, sums["Resources/file 1.dat"]);
    if (!root_user) {
        EXPECT_EQ(list[3].back().sig_have, INST_SIG_UNREADABLE);
    }
    EXPECT_EQ(list[4].back().sig_have, "NONE"); // a file where a folder should be: nothing is there
    for (const package_entry& e : list)
        EXPECT_EQ(e.back().matches, 0) << e.back().path;
    chmod((root + "locked.dat").c_str(), 0600);
}

TEST_F(ScanConcurrentTest, UnwantedRecordsAreLeftUntouched) {
    package_list& list = INST_directory.packages;
    for (package_entry& e : list) {
        e.back().sig_have = "before";
        e.back().matches = 7;
    }
    const auto untouched = [&](size_t i) {
        return list[i].back().sig_have == "before" && list[i].back().matches == 7;
    };

    INST_set_include_flags(0, 0);
    run_scan(0);
    for (size_t i = 0; i < list.size(); ++i)
        EXPECT_TRUE(untouched(i)) << list[i].back().path;

    // By operating system: IBM selected scans IBM and all-systems records only; ALL scans every one.
    const int os_of[] = {0, 1, 2, 3};
    for (size_t i = 0; i < list.size(); ++i)
        list[i].back().os = os_of[i % 4];
    list[4].back().has_tile = 1; // a scenery record needs the scenery flag
    INST_set_include_flags(1, 0);
    INST_selected_os = 2;
    run_scan(0);
    for (size_t i = 0; i < 40; ++i) {
        SCOPED_TRACE(list[i].back().path);
        const bool wanted = (i % 4 == 0 || i % 4 == 2) && i != 4;
        EXPECT_EQ(untouched(i), !wanted);
        EXPECT_EQ(INST_record_is_wanted(static_cast<int>(i), 0), wanted ? 1 : 0);
    }
    INST_set_include_flags(1, 1);
    INST_selected_os = 0;
    run_scan(0);
    for (size_t i = 0; i < list.size(); ++i)
        EXPECT_FALSE(untouched(i)) << list[i].back().path;
    EXPECT_EQ(INST_record_is_wanted(-1, 0), 0);
    EXPECT_EQ(INST_record_is_wanted(0, 1), 0);
    EXPECT_EQ(INST_record_is_wanted(static_cast<int>(list.size()), 0), 0);
}

TEST_F(ScanConcurrentTest, ExistenceModeGivesTheWantedSignatureToPresentFiles) {
    std::filesystem::create_directories(root + "a folder");
    INST_directory.packages.push_back({record("a folder", "x")});
    run_scan(1);
    const package_list& list = INST_directory.packages;
    for (size_t i = 0; i < list.size(); ++i) {
        const file_record& r = list[i].back();
        SCOPED_TRACE(r.path);
        const bool present = i < files.size();
        const bool folder = i + 1 == list.size();
        EXPECT_EQ(r.sig_have, present ? r.sig_want : folder ? INST_SIG_UNREADABLE : INST_SIG_NONE);
        EXPECT_EQ(r.matches, present ? 1 : 0);
    }
}

TEST_F(ScanConcurrentTest, AMissingInstallFolderGivesNoneAtOnceWithoutAQueue) {
    LogCapture log;
    INST_install_folder = dir.file("no such copy/");
    INST_set_include_flags(0, 0); // wanted or not, every entry is set
    INST_directory.packages.push_back({record("a", "NONE")});
    int next = 0;
    float progress = -1.0f;
    EXPECT_EQ(INST_scan_local_signatures(&next, 0, &progress), 1);
    for (const package_entry& e : INST_directory.packages) {
        EXPECT_EQ(e.back().sig_have, "NONE");
        EXPECT_EQ(e.back().matches, e.back().sig_want == "NONE" ? 1 : 0);
    }
    EXPECT_EQ(count_of(log.text(), "Start of MD5"), 0);
}

TEST_F(ScanConcurrentTest, ReleasingInMidScanLeavesNoTaskAndANewScanGivesTheSameSignatures) {
    grow_past_one_call();
    LogCapture log;
    int next = 0;
    float progress = 0.0f;
    ASSERT_EQ(INST_scan_local_signatures(&next, 0, &progress), 0);
    EXPECT_GT(next, 0);
    EXPECT_LT(progress, 1.0f);
    EXPECT_TRUE(INST_release_checksum_queue());
    // Nothing writes the records any more: reading them here races with no task (TSan watches).
    std::vector<std::string> after_release;
    for (const package_entry& e : INST_directory.packages)
        after_release.push_back(e.back().sig_have);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (size_t i = 0; i < after_release.size(); ++i)
        ASSERT_EQ(INST_directory.packages[i].back().sig_have, after_release[i]);
    EXPECT_TRUE(INST_release_checksum_queue()); // a second release has nothing to do

    for (package_entry& e : INST_directory.packages)
        e.back().sig_have.clear();
    run_scan(0);
    for (const package_entry& e : INST_directory.packages)
        if (sums.count(e.back().path))
            ASSERT_EQ(e.back().sig_have, sums[e.back().path]) << e.back().path;
        else
            ASSERT_EQ(e.back().sig_have, "NONE") << e.back().path;
    EXPECT_EQ(count_of(log.text(), " Start of MD5 at "), 2);
}

// Every way out of the program (QUIT, the window closed, SIGTERM, a fatal alert) ends the work first, and
// the disc road's going back to its destination page releases the scan before it clears the directory:
// the checksum workers are gone before the list they write is freed.
TEST_F(ScanConcurrentTest, EndingTheWorkInMidScanStopsTheWorkersBeforeTheListIsFreed) {
    const struct {
        const char* name;
        void (*leave)();
    } ways[] = {
        {"the program's way out", [] { INST_end_work(); }},
        {"back to the disc destination page",
         [] {
             page_desc d;
             INST_page_pick_destination_dvd(1, &d);
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        const package_list list = INST_directory.packages;
        grow_past_one_call();
        int next = 0;
        ASSERT_EQ(INST_scan_local_signatures(&next, 0, nullptr), 0);
        way.leave();
        INST_directory.packages = package_list{}; // as the static destructors do: TSan sees a task at work
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        next = 0;
        EXPECT_EQ(INST_scan_local_signatures(&next, 0, nullptr), 1); // no queue was left behind
        INST_directory.packages = list;
    }
}

TEST_F(ScanConcurrentTest, SizedTasksGiveMd5sumsSignaturesPolledOrWaitedFor) {
    // Real sizes for most records, claimed sizes of 40 MiB and 70 MiB for others, so that the tasks are
    // a mix of ten small entries, fewer entries and single large ones.
    package_list& list = INST_directory.packages;
    for (size_t i = 0; i < list.size(); ++i) {
        file_record& r = list[i].back();
        std::error_code ec;
        const auto size = std::filesystem::file_size(root + r.path, ec);
        r.expanded_kb = i % 7 == 3 ? 70.0f * 1024 : i % 5 == 1 ? 40.0f * 1024 : ec ? 0.0f : size / 1024.0f;
    }
    for (const bool wait : {false, true}) {
        SCOPED_TRACE(wait ? "waited for" : "polled");
        for (package_entry& e : list)
            e.back().sig_have.clear();
        if (wait)
            INST_scan_local_signatures_wait(0);
        else
            run_scan(0);
        for (size_t i = 0; i < list.size(); ++i) {
            const file_record& r = list[i].back();
            ASSERT_EQ(r.sig_have, i < files.size() ? sums[r.path] : "NONE") << r.path;
            ASSERT_EQ(r.matches, i < files.size() && i % 2 == 0 ? 1 : 0) << r.path;
        }
    }
}

TEST_F(ScanConcurrentTest, AnEmptyListFinishesAtOnce) {
    INST_directory.packages.clear();
    int next = 0;
    float progress = -1.0f;
    EXPECT_EQ(INST_scan_local_signatures(&next, 0, &progress), 1);
    EXPECT_EQ(progress, 0.0f);
}

using ScanTaskSizeTest = test::InstallerTest;

TEST_F(ScanTaskSizeTest, TasksTakeTenEntriesOr64MibWhicheverComesFirst) {
    struct size_case {
        const char* name;
        std::vector<float> mib; // expanded size of each entry; negative: an unwanted (scenery) record
        int mode;
        std::vector<int> ends; // where each task ends
    };
    const std::vector<size_case> cases = {
        {"25 small entries", std::vector<float>(25, 0.01f), 0, {10, 20, 25}},
        {"a large file is a task of its own", {1, 100, 1, 1}, 0, {1, 2, 4}},
        {"64 MiB after a small file starts a task", {1, 64, 1}, 0, {1, 2, 3}},
        {"entries up to exactly 64 MiB share one", {32, 32, 1}, 0, {2, 3}},
        {"33 + 32 MiB is too much for one", {33, 32, 31}, 0, {1, 3}},
        {"unwanted records cost nothing", {1, -100, -100, 1}, 0, {4}},
        {"presence tests ignore sizes", {100, 100, 100, 100}, 1, {4}},
        {"a list of nothing but large files", {200, 300, 65}, 0, {1, 2, 3}},
    };
    INST_set_include_flags(1, 0);
    for (const size_case& c : cases) {
        SCOPED_TRACE(c.name);
        INST_directory.packages.clear();
        for (const float mib : c.mib) {
            file_record r = record("f", "x", 0);
            r.has_tile = mib < 0 ? 1 : 0;
            r.expanded_kb = std::abs(mib) * 1024.0f;
            INST_directory.packages.push_back({r});
        }
        std::vector<int> ends;
        for (int first = 0; first < static_cast<int>(c.mib.size());)
            ends.push_back(first = INST_checksum_batch_end(first, c.mode));
        EXPECT_EQ(ends, c.ends);
    }
}

// ---------------------------------------------------------------- memory

#ifndef AERIVON_SANITIZED
// The child of the memory test: makes the tree in a folder of its own, hashes it and reports
// "<<sig peak_kb>>" on stderr; its exit code says whether its peak resident size stayed under 64 MB.
[[noreturn]] void child_scans_a_sparse_file() {
    const std::string copy = test::child_folder_with_log();
    test::write_file(copy + "small.txt", "small");
    test::write_file(copy + "big.bin", "");
    std::filesystem::resize_file(copy + "big.bin", 2ull << 30);
    INST_install_folder = copy;
    INST_selected_os = 2; // the system of record()'s files
    INST_set_include_flags(1, 1);
    INST_directory.packages = {{record("small.txt", "x")}, {record("big.bin", "x")}};
    run_scan(0);
    // This program's own peak: getrusage's counts the test process it was forked from, which grows over a
    // repeated run.
    long peak_kb = 0;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            peak_kb = std::atol(line.c_str() + 6);
    std::fprintf(stderr, "<<%s %ld>>", INST_directory.packages[1].back().sig_have.c_str(), peak_kb);
    std::fflush(stderr);
    std::_Exit(peak_kb > 0 && peak_kb < 64 * 1024 ? 0 : 3);
}
#endif

TEST(ScanMemoryTest, HashingA2GbSparseFileStaysUnder64MbResident) {
#ifdef AERIVON_SANITIZED
    GTEST_SKIP() << "sanitizer shadow memory makes the resident size meaningless";
#else
    std::string err;
    EXPECT_EXIT(child_scans_a_sparse_file(), testing::ExitedWithCode(0), test::capture(err));
    size_t at = err.find("<<dir:"), end = err.find(">>", at);
    ASSERT_NE(end, std::string::npos) << err;
    const std::string copy = err.substr(at + 6, end - at - 6);
    const std::map<std::string, std::string> sums = md5sum_of_tree(copy);
    test::child_log(err); // removes the child's folder
    ASSERT_EQ(sums.count("big.bin"), 1u);
    EXPECT_THAT(err, testing::HasSubstr("<<" + sums.at("big.bin") + " ")) << err;
#endif
}

// ---------------------------------------------------------------- totals and tiles

struct TotalsTest : test::InstallerTest {};

TEST_F(TotalsTest, EachCurrentRecordAddsWhatItsStateSays) {
    struct row {
        const char* name;
        const char* sig_want;
        int matches, os, has_tile, selected;
        float download, expanded;
        int to_install, second;
    };
    const row rows[] = {
        {"missing file", "abc", 0, 2, 0, 0, 10, 20, 1, 0},
        {"current file", "abc", 1, 2, 0, 0, 0, 0, 0, 0},
        {"other system", "abc", 0, 1, 0, 0, 0, 0, 0, 0},
        {"all systems", "abc", 0, 0, 0, 0, 10, 20, 1, 0},
        {"gone and matching", "GONE", 1, 2, 0, 0, 0, 0, 0, 1},
        {"gone, other system", "GONE", 1, 3, 0, 0, 0, 0, 0, 0},
        {"gone, not matching", "GONE", 0, 2, 0, 0, 0, 0, 0, 0},
        {"almost gone", "GONE ", 0, 2, 0, 0, 10, 20, 1, 0},
        {"tile selected, missing", "abc", 0, 2, 1, 1, 10, 20, 1, 0},
        {"tile unselected, missing", "abc", 0, 2, 1, 0, 0, 0, 0, 0},
        {"tile selected, current", "abc", 1, 2, 1, 1, 0, 0, 0, 1},
        {"tile unselected, current", "abc", 1, 2, 1, 0, 0, 0, 0, 0},
        {"tile selected, other system", "abc", 1, 1, 1, 1, 0, 0, 0, 0},
    };
    INST_set_include_flags(1, 1);
    auto fill = [](const row& r, int index) {
        file_record rec = record("f" + std::to_string(index), r.sig_want, r.os);
        rec.matches = r.matches;
        rec.download_kb = 10;
        rec.expanded_kb = 20;
        rec.has_tile = r.has_tile;
        rec.x0 = rec.x1 = index % UTL_TILES_X;
        rec.y0 = rec.y1 = 3;
        if (r.selected)
            INST_tile_selection.at(rec.x0, 3) = 1;
        return rec;
    };
    float download = 0, expanded = 0;
    int to_install = 0, second = 0, index = 0;
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        INST_tile_selection = tile_grid{};
        INST_directory.packages = {{record("old", "GONE", 3), fill(r, index)}}; // only the last record counts
        INST_compute_totals();
        EXPECT_EQ(INST_total_download_kb, r.download);
        EXPECT_EQ(INST_total_expanded_kb, r.expanded);
        EXPECT_EQ(INST_files_to_install, r.to_install);
        EXPECT_EQ(INST_second_file_count, r.second);
        download += r.download;
        expanded += r.expanded;
        to_install += r.to_install;
        second += r.second;
        ++index;
    }
    INST_tile_selection = tile_grid{};
    INST_directory.packages.clear();
    index = 0;
    for (const row& r : rows)
        INST_directory.packages.push_back({fill(r, index++)});
    INST_compute_totals();
    EXPECT_EQ(INST_total_download_kb, download);
    EXPECT_EQ(INST_total_expanded_kb, expanded);
    EXPECT_EQ(INST_files_to_install, to_install);
    EXPECT_EQ(INST_second_file_count, second);

    INST_set_include_flags(0, 0);
    INST_compute_totals();
    EXPECT_EQ(INST_files_to_install + INST_second_file_count, 0);
    EXPECT_EQ(INST_total_download_kb, 0.0f);
}

TEST_F(TotalsTest, OfferedTilesAreSelectedAndCleared) {
    file_record scenery = record("s", "abc");
    scenery.has_tile = 1;
    scenery.x0 = 2, scenery.y0 = 3, scenery.x1 = 4, scenery.y1 = 5;
    file_record gone = record("g", "GONE");
    gone.has_tile = 1;
    gone.x0 = gone.x1 = 30, gone.y0 = gone.y1 = 1;
    file_record old_tile = record("o", "abc");
    old_tile.has_tile = 1;
    old_tile.x0 = old_tile.x1 = 20, old_tile.y0 = old_tile.y1 = 10;
    INST_directory.packages = {{scenery}, {gone}, {old_tile, record("o", "abc")}, {record("plain", "abc")}};
    INST_total_download_kb = 5;
    INST_files_to_install = 2;
    INST_build_offered_tiles();
    EXPECT_EQ(INST_total_download_kb, 0.0f);
    EXPECT_EQ(INST_files_to_install, 0);
    int offered = 0;
    for (int c : INST_offered_tiles.cells)
        offered += c != 0;
    EXPECT_EQ(offered, 3 * 3 + 1); // the GONE record's tile too; not the superseded record's
    EXPECT_EQ(INST_offered_tiles.at(4, 5), 1);
    EXPECT_EQ(INST_offered_tiles.at(30, 1), 1);
    EXPECT_EQ(INST_offered_tiles.at(20, 10), 0);

    INST_select_offered_tiles();
    for (int i = 0; i < UTL_TILES_X * UTL_TILES_Y; ++i)
        ASSERT_EQ(INST_tile_selection.cells[i], INST_offered_tiles.cells[i]);
    EXPECT_EQ(INST_tile_rect_has_selection(0, 0, 2, 3), 1);
    EXPECT_EQ(INST_tile_rect_has_selection(5, 0, 29, 17), 0);
    EXPECT_EQ(INST_tile_rect_has_selection(5, 3, 4, 3), 0); // inverted: empty
    EXPECT_EQ(INST_tile_rect_has_selection(3, 5, 3, 4), 0);
    INST_clear_tile_selection();
    EXPECT_EQ(INST_tile_rect_has_selection(0, 0, UTL_TILES_X - 1, UTL_TILES_Y - 1), 0);
}

} // namespace
