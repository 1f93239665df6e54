// dvd_unpack_task: one package from the disc into the installation (see the header for the two runs).
#include "installer/dvd_unpack_task.h"

#include "base/FILE_compress.h"
#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/PREF_file.h"
#include "installer/INST_download.h"
#include "installer/INST_globals.h"

namespace {

// The code of a file that is not the one the directory names.
constexpr int wrong_file = 20002;

bool ends_with(const std::string& s, const char* tail) {
    const std::string t = tail;
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

bool is_alnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Letters and digits only: safe inside a file name.
bool is_plain_word(const std::string& s) {
    for (char c : s)
        if (!is_alnum(c))
            return false;
    return !s.empty();
}

bool is_md5_hex(const std::string& s) {
    if (s.size() != 32)
        return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// True when the file at `path` has the MD5 `want` (32 hex digits, either case).
bool has_md5(const std::string& path, const std::string& want) {
    std::string have;
    if (FILE_md5_hex(path, have) != 0 || have.size() != want.size())
        return false;
    for (size_t i = 0; i < have.size(); ++i)
        if (lower(have[i]) != lower(want[i]))
            return false;
    return true;
}

std::string absolute(std::string path) {
    FILE_make_absolute(path);
    return path;
}

} // namespace

dvd_unpack_task::dvd_unpack_task(int entry, const std::string& temporary_folder) : entry_(entry) {
    const file_record& r = INST_directory.packages.at(static_cast<size_t>(entry)).back();
    const std::string suffix = INST_archive_suffix(entry);
    sig_want_ = r.sig_want;
    // sig_want comes from the disc's directory: only a plain word may become part of a file name.
    temporary_ = absolute(temporary_folder + (is_plain_word(r.sig_want) ? r.sig_want : std::string()) + "_" +
                          std::to_string(entry) + suffix);
    destination_ = absolute(INST_install_folder + r.path);
    source_ = absolute(INST_directory.dvd_root + INST_directory.version_folder + "/" + r.path + suffix);
    if (suffix.empty())
        temporary_ = destination_;
}

dvd_unpack_task::~dvd_unpack_task() {
    if (!PREF_installer.log_actions)
        return;
    LOG_stream << "EXPANDING file " << destination_ << ", with result=" << result_ << ".";
    if (result_ != 0)
        LOG_stream << " " << error_text_;
    LOG_stream << "\n";
}

void dvd_unpack_task::run() {
    if (stage_ == 0)
        copy_from_disc();
    else
        put_into_place();
}

int dvd_unpack_task::result(std::string& message) {
    message = error_text_;
    return result_;
}

void dvd_unpack_task::copy_from_disc() {
    stage_ = 1;
    // FILE_copy writes a sibling and renames it over the target only once it is whole, so a plain file
    // copied straight to its place is never left truncated.
    result_ = FILE_copy(source_, temporary_);
    if (result_ != 0)
        error_text_ = "I was unable to copy the file " + source_ + " from the DVD to the hard drive.";
}

void dvd_unpack_task::put_into_place() {
    if (result_ != 0)
        return;
    // Files copied from a disc arrive read-only.
    FILE_clear_read_only(destination_);
    FILE_clear_read_only(temporary_);
    std::string target;
    FILE_parent_folder(target, destination_);
    int code = 0;
    if (ends_with(temporary_, ".7z"))
        code = FILE_7z_to_folder(temporary_, target);
    else if (ends_with(temporary_, ".zip"))
        code = zip_to_file(temporary_, target);
    if (code == 0 && is_md5_hex(sig_want_) && !has_md5(destination_, sig_want_))
        code = wrong_file;
    // The copy lies in the private work folder; once expanded (or not) it is of no further use.
    if (temporary_ != destination_)
        FILE_delete(temporary_);
    if (code != 0) {
        result_ = code;
        error_text_ = "I was unable to unzip the file " + temporary_ + " to the folder " + target + ".";
        return;
    }
    file_record& r = INST_directory.packages[static_cast<size_t>(entry_)].back();
    r.sig_have = r.sig_want;
    r.matches = 1;
}
