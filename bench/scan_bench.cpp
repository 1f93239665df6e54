// scan_bench: times the installer's signature scan of a folder tree and the reading of a large directory
// file. Used by bench/scan_vs_md5sum.sh; never run by ctest.
//
//   scan_bench scan FOLDER [SIGS_OUT]   hashes every file under FOLDER as the scan page does (one poll per
//                                       16 ms frame), prints wall time, CPU time and their ratio, and
//                                       writes "md5  ./path" lines to SIGS_OUT for comparison with md5sum
//   scan_bench dirread RECORDS [REPS]   writes a directory file of RECORDS FILE records and reads it REPS
//                                       times, printing the time per read
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "base/FILE_ops.h"
#include "base/UTL_thread.h"
#include "installer/INST_globals.h"
#include "installer/INST_scan.h"
#include "installer/UTL_installer.h"

namespace {

double cpu_seconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

double now_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Every file under `folder` (ending in '/'), relative to it.
void walk(const std::string& folder, const std::string& rel, std::vector<std::string>& out) {
    std::vector<std::string> names;
    std::vector<int> types;
    FILE_list_folder(folder + rel, 0, names, types);
    for (size_t i = 0; i < names.size(); ++i) {
        if (types[i] == 1)
            walk(folder, rel + names[i] + "/", out);
        else
            out.push_back(rel + names[i]);
    }
}

int scan(const std::string& folder_arg, const char* sigs_out) {
    std::string folder = folder_arg;
    if (folder.back() != '/')
        folder += '/';
    std::vector<std::string> files;
    walk(folder, "", files);
    INST_install_folder = folder;
    INST_set_include_flags(1, 1);
    INST_directory.packages.clear();
    for (const std::string& f : files) {
        file_record r;
        r.os = 0;
        r.sig_want = "x";
        r.path = f;
        // The directory file gives each record its size, by which the scan sizes its tasks.
        std::error_code ec;
        r.expanded_kb = static_cast<float>(std::filesystem::file_size(folder + f, ec)) / 1024.0f;
        INST_directory.packages.push_back({r});
    }

    const double wall0 = now_seconds(), cpu0 = cpu_seconds();
    int next = 0, frames = 0;
    float progress = 0.0f;
    while (!INST_scan_local_signatures(&next, 0, &progress)) {
        ++frames;
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    const double wall = now_seconds() - wall0, cpu = cpu_seconds() - cpu0;

    std::printf("scan: %zu files, %d processors, %d frames\n", files.size(), UTL_cpu_count(), frames);
    std::printf("scan: wall %.3f s, cpu %.3f s, cpu/wall %.2f\n", wall, cpu, cpu / wall);
    if (sigs_out) {
        std::ofstream out(sigs_out);
        for (const package_entry& e : INST_directory.packages)
            out << e.back().sig_have << "  ./" << e.back().path << "\n";
    }
    return 0;
}

int dirread(long records, int reps) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/scan_bench_directory.txt";
    {
        std::ofstream out(path);
        out << "I\n1004 version\nINSTALLER\nPRODUCT_KEY 0\n";
        for (long i = 0; i < records; ++i) {
            if (i % 100 == 0)
                out << "DIR Resources/folder " << i / 100 << "/\n";
            out << "FILE 66 0 " << i % 36 << " " << i % 18 << " " << i % 36 << " " << i % 18 << " 120 340 "
                << "0123456789abcdef0123456789abcdef file number " << i << ".dat\n";
        }
    }
    install_directory dir;
    double best = 1e9, total = 0.0;
    for (int r = 0; r < reps; ++r) {
        const double t0 = now_seconds();
        if (UTL_read_directory_file(path, dir) != 0) {
            std::fprintf(stderr, "dirread: the file was not read\n");
            return 1;
        }
        const double t = now_seconds() - t0;
        best = std::min(best, t);
        total += t;
    }
    std::remove(path.c_str());
    std::printf("dirread: %ld records, %zu entries, best %.2f ms, mean %.2f ms over %d reads\n", records,
                dir.packages.size(), best * 1e3, total / reps * 1e3, reps);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "scan" && argc > 2)
        return scan(argv[2], argc > 3 ? argv[3] : nullptr);
    if (what == "dirread")
        return dirread(argc > 2 ? std::atol(argv[2]) : 50000, argc > 3 ? std::atoi(argv[3]) : 10);
    std::fprintf(stderr, "usage: scan_bench scan FOLDER [SIGS_OUT] | dirread [RECORDS [REPS]]\n");
    return 2;
}
