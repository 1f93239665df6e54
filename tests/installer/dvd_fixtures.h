// Fixtures of the disc tests: folder discs written by the sample-release generator, the list of test
// roots that makes folders count as CD/DVD drives, and the plan of a fresh install from the discs.
#pragma once
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/FILE_compress.h"
#include "base/FILE_ops.h"
#include "base/LANG_localise.h"
#include "base/PREF_file.h"
#include "installer/INST_dvd_unpack.h"
#include "installer/INST_folders.h"
#include "installer/INST_plan.h"
#include "installer/UTL_dvd.h"
#include "installer_fixtures.h"
#include "platform/WIN_mounts.h"
#include "support/demo_release.h"

namespace test {

inline std::string md5_of(const std::string& path) {
    std::string out;
    return FILE_md5_hex(path, out) == 0 ? out : "missing";
}

// The lines a python expression over the manifest `m` of the release at `root` gives: each item of the
// list it evaluates to, tab-joined when the item is a list.
inline std::vector<std::string> manifest_query(const std::string& root, const std::string& expression) {
    TempDir d;
    write_file(d.file("q.py"), "import json,sys\nm=json.load(open(sys.argv[1]))\nfor x in (" + expression +
                                   "):\n    print('\\t'.join(map(str,x)) if isinstance(x,list) else x)\n");
    shell("python3 '" + d.file("q.py") + "' '" + root + "/manifest.json' > '" + d.file("out") + "'");
    std::vector<std::string> out;
    std::istringstream in(read_file(d.file("out")));
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// A fresh folder with a work folder, an install folder and an empty list of test roots named by the
// variable; the log is captured and the language left English.
struct DvdTest : InstallerTest {
    TempDir dir;
    LogCapture log;
    ScopedOptions options{"--qa_script --lang=en"};
    std::optional<ScopedEnv> roots_env;
    std::string release, roots, work, install;

    void SetUp() override {
        InstallerTest::SetUp();
        LANG_restart_for_test("");
        release = dir.file("release");
        roots = dir.file("roots.txt");
        write_file(roots, "");
        roots_env.emplace(WIN_DVD_ROOTS_VARIABLE, roots);
        work = dir.file("work/");
        install = dir.file("Aerivon 10/");
        std::filesystem::create_directories(work);
        INST_work_folder = work;
    }
    void TearDown() override {
        INST_release_dvd_queues();
        std::string ignored;
        INST_take_last_error(ignored);
        PREF_installer.log_actions = 0;
        LANG_restart_for_test("");
        InstallerTest::TearDown();
    }

    // The sample release with its two folder discs (and the options given).
    void generate(std::vector<std::string> variant = {}) {
        variant.push_back("--discs");
        std::string report;
        ASSERT_TRUE(make_sample_release(release, variant, &report)) << report;
    }
    std::string disc(int n) const { return release + "/discs/disc" + std::to_string(n); }
    // Appends a folder to the list of test roots, as if a disc were inserted.
    void insert(const std::string& folder) const { std::ofstream(roots, std::ios::app) << folder << "\n"; }

    // Disc 0 inserted and scanned, then the plan of a fresh install of the simulator's files into the
    // install folder, with its folders made: what the disc road does before it unpacks.
    void plan_fresh_install() {
        insert(disc(0));
        ASSERT_EQ(UTL_scan_dvd(INST_directory), 0) << log.text();
        INST_install_folder = install;
        INST_set_include_flags(1, 0);
        int next = 0;
        float progress = 0.0f;
        while (INST_scan_local_signatures(&next, 0, &progress) != 1) {
        }
        INST_clear_tile_selection();
        INST_compute_totals();
        ASSERT_EQ(INST_plan_install_actions(), 1);
        ASSERT_EQ(INST_create_install_folders(), 0);
    }

    // Calls the unpack step for `disc` until it returns something other than 0; that result.
    static int unpack_until_not_working(int* next, int disc) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        int result = 0;
        while ((result = INST_dvd_unpack_step(next, disc)) == 0 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        return result;
    }
};

} // namespace test
