// Fixtures of the disc tests: folder discs written by the sample-release generator, the list of test roots
// that makes folders count as CD/DVD drives, and the plan of a fresh install from the discs.
#pragma once
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

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

// The items of the list a python expression over the manifest `m` gives, one per line (a list item
// tab-joined).
inline std::vector<std::string> manifest_query(const std::string& release, const std::string& expression) {
    TempDir d;
    write_file(d.file("q.py"), "import json,sys\nm=json.load(open(sys.argv[1]))\nfor x in (" + expression +
                                   "):\n    print('\\t'.join(map(str,x)) if isinstance(x,list) else x)\n");
    shell("python3 '" + d.file("q.py") + "' '" + release + "/manifest.json' > '" + d.file("out") + "'");
    std::vector<std::string> out;
    std::istringstream in(read_file(d.file("out")));
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// A work folder, an install folder and an empty list of test roots in a fresh folder; the log captured.
struct DvdTest : InstallerTest {
    TempDir dir;
    LogCapture log;
    ScopedOptions options{"--qa_script --lang=en"};
    std::string release = dir.file("release"), roots = dir.file("roots.txt"), work = dir.file("work/"),
                install = dir.file("Aerivon 10/");
    std::optional<ScopedEnv> roots_env;

    void SetUp() override {
        InstallerTest::SetUp();
        LANG_restart_for_test("");
        write_file(roots, "");
        roots_env.emplace(WIN_DVD_ROOTS_VARIABLE, roots);
        std::filesystem::create_directories(work);
        INST_work_folder = work;
        INST_selected_os = INST_native_os_code(); // the sample release's manifest is a default install's
    }
    void TearDown() override {
        INST_release_dvd_queues();
        std::string ignored;
        INST_take_last_error(ignored);
        PREF_installer.log_actions = 0;
        LANG_restart_for_test("");
        InstallerTest::TearDown();
    }

    // The sample release with its folder discs.
    void generate(std::vector<std::string> variant = {}) {
        variant.push_back("--discs");
        std::string report;
        ASSERT_TRUE(make_sample_release(release, variant, &report)) << report;
    }
    std::string disc(int n) const { return release + "/discs/disc" + std::to_string(n); }
    // Appends a folder to the list of test roots: a disc inserted.
    void insert(const std::string& folder) const { std::ofstream(roots, std::ios::app) << folder << "\n"; }

    // Disc 0 scanned, then the plan of a fresh install of the simulator's files with its folders made.
    void plan_fresh_install() {
        insert(disc(0));
        ASSERT_EQ(UTL_scan_dvd(INST_directory), 0) << log.text();
        INST_install_folder = install;
        INST_set_include_flags(1, 0);
        int next = 0;
        float progress = 0.0f;
        while (INST_scan_local_signatures(&next, 0, &progress) != 1) {
        }
        INST_compute_totals();
        ASSERT_EQ(INST_plan_install_actions(), 1);
        ASSERT_EQ(INST_create_install_folders(), 0);
    }

    // The first result of the unpack step for `disc` other than 0 (working).
    static int unpack_until_not_working(int* next, int disc) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        int result = 0;
        while ((result = INST_dvd_unpack_step(next, disc)) == 0 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        return result;
    }
};

} // namespace test
