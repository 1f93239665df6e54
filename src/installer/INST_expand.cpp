// INST_expand: one package into place through a private folder (see the header).
#include "installer/INST_expand.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/FILE_compress.h"
#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "installer/INST_work_lock.h"

namespace {

constexpr int wrong_file = 20002;
// Other entries of a package named in the log before the summary line.
constexpr size_t named_others = 20;

bool ends_with(const std::string& s, const char* tail) {
    const std::string t = tail;
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

char lower(char c) { return c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_md5(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// 0 when the file at `path` has the MD5 `want`; 20002 when it differs; the hashing error otherwise.
int check_md5(const std::string& path, const std::string& want, const std::string& archive) {
    std::string have;
    const int err = FILE_md5_hex(path, have);
    if (err != 0)
        return err;
    if (same_md5(have, want))
        return 0;
    LOG_text("EXPANDING: " + archive + " gave a file whose signature " + have + " is not the wanted " + want +
             ".\n");
    return wrong_file;
}

std::string absolute(std::string path) {
    FILE_make_absolute(path);
    return path;
}

const char* read_failure_text(FILE_read_failure why) {
    switch (why) {
    case FILE_read_failure::entry_too_large:
        return "entry larger than its record allows";
    default:
        return "short read";
    }
}

// Names the other entries of a package: the first few, then how many more.
void log_other_entries(const std::vector<std::string>& others, const std::string& archive) {
    std::string text;
    for (size_t i = 0; i < others.size() && i < named_others; ++i)
        text += "EXPANDING: " + archive + " also holds " + others[i] + ", which is not installed.\n";
    if (others.size() > named_others)
        text +=
            "EXPANDING: " + archive + " … and " + std::to_string(others.size() - named_others) + " more.\n";
    if (!text.empty())
        LOG_text(text);
}

// A private stage folder beside `destination`, for a call that was given none; "" with errno set when
// none can be made.
std::string private_stage(const std::string& destination) {
    std::string target;
    FILE_parent_folder(target, destination);
    return INST_make_stage_folder(absolute(target));
}

// Expands the destination's file out of the archive into the stage folder (a private one made beside the
// destination when `stage` is empty), checks it there and renames it into place.
int expand_archive(const std::string& archive, const std::string& destination, const std::string& sig_want,
                   uint64_t limit, bool seven_zip, const std::string& stage, std::string* why) {
    const std::string folder = stage.empty() ? private_stage(destination) : stage;
    if (folder.empty())
        return errno ? errno : 20004;
    std::string name;
    FILE_last_component(name, destination);
    std::vector<std::string> others;
    int err = seven_zip ? FILE_7z_to_folder(archive, folder, nullptr, false, limit, &name, &others)
                        : zip_to_file(archive, folder, limit, &name, &others);
    if (err == wrong_file && why)
        *why = read_failure_text(FILE_last_read_failure());
    const std::string staged = folder + name;
    if (err == 0) {
        if (!FILE_is_file(staged)) {
            LOG_text("EXPANDING: " + archive + " does not hold the file " + name + ".\n");
            err = wrong_file;
        } else if (INST_is_md5_hex(sig_want)) {
            err = check_md5(staged, sig_want, archive);
        }
        if (err == wrong_file && why)
            *why = "signature mismatch";
        if (err == 0 && std::rename(staged.c_str(), absolute(destination).c_str()) != 0)
            err = errno ? errno : 20004;
    }
    log_other_entries(others, archive);
    if (stage.empty())
        INST_remove_stage_folder(folder);
    else if (err != 0)
        FILE_delete(staged);
    return err;
}

// Moves the checked plain file into place: one rename over the destination (the old file stays until it),
// or across file systems a copy into the stage folder (as `stage` is given or private) and a rename from
// there. The copy's partial file is never left beside the destination: a run killed in mid-copy leaves it
// in a stage folder, which the next run's clean-up removes once the lock is free.
int move_into_place(const std::string& archive, const std::string& destination, const std::string& stage) {
    if (std::rename(absolute(archive).c_str(), absolute(destination).c_str()) == 0)
        return 0;
    if (errno != EXDEV)
        return errno != 0 ? errno : 20004;
    const std::string folder = stage.empty() ? private_stage(destination) : stage;
    if (folder.empty())
        return errno ? errno : 20004;
    std::string name;
    FILE_last_component(name, destination);
    const std::string staged = folder + name;
    int err = FILE_copy(archive, staged);
    if (err == 0 && std::rename(staged.c_str(), absolute(destination).c_str()) != 0)
        err = errno ? errno : 20004;
    if (stage.empty())
        INST_remove_stage_folder(folder);
    else if (err != 0)
        FILE_delete(staged);
    return err;
}

} // namespace

bool INST_is_md5_hex(const std::string& s) {
    if (s.size() != 32)
        return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

uint64_t INST_entry_limit(float expanded_kb) {
    constexpr uint64_t mib = 1024ull * 1024ull;
    if (!(expanded_kb > 0.0f))
        return 4096ull * mib;
    const double bytes = static_cast<double>(expanded_kb) * 1024.0 * 2.0;
    if (bytes >= 1.8e19) // beyond what 64 bits hold
        return UINT64_MAX;
    return static_cast<uint64_t>(bytes) + mib;
}

std::string INST_package_kind(const std::string& archive) {
    if (archive.size() >= 4 && ends_with(archive, ".7z"))
        return ".7z";
    if (archive.size() >= 4 && ends_with(archive, ".zip"))
        return ".zip";
    return "";
}

int INST_expand_into_place(const std::string& archive, const std::string& suffix,
                           const std::string& destination, const std::string& sig_want, float expanded_kb,
                           std::string* why, const std::string& stage, bool keep_archive,
                           const std::string& have_md5) {
    FILE_clear_read_only(destination);
    int result = 0;
    if (suffix == ".7z" || suffix == ".zip") {
        result = expand_archive(archive, destination, sig_want, INST_entry_limit(expanded_kb),
                                suffix == ".7z", stage, why);
    } else {
        if (INST_is_md5_hex(sig_want) && !have_md5.empty() && !same_md5(have_md5, sig_want)) {
            LOG_text("EXPANDING: " + archive + " came with the signature " + have_md5 + ", not the wanted " +
                     sig_want + ".\n");
            result = wrong_file;
        } else if (INST_is_md5_hex(sig_want) && have_md5.empty()) {
            result = check_md5(archive, sig_want, archive);
        }
        if (result == wrong_file && why)
            *why = "signature mismatch";
        if (result == 0)
            result = move_into_place(archive, destination, stage);
    }
    if (!keep_archive)
        FILE_delete(archive);
    return result;
}
