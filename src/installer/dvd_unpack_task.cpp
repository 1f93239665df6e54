// dvd_unpack_task: one package from the disc into the installation (see the header for the two runs).
#include "installer/dvd_unpack_task.h"

#include "base/FILE_compress.h"
#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/PREF_file.h"
#include "installer/INST_download.h"
#include "installer/INST_expand.h"
#include "installer/INST_globals.h"

namespace {

bool is_alnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Letters and digits only: safe inside a file name.
bool is_plain_word(const std::string& s) {
    for (char c : s)
        if (!is_alnum(c))
            return false;
    return !s.empty();
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
    expanded_kb_ = r.expanded_kb;
    // sig_want comes from the disc's directory: only a plain word may become part of a file name.
    temporary_ = absolute(temporary_folder + (is_plain_word(r.sig_want) ? r.sig_want : std::string()) + "_" +
                          std::to_string(entry) + suffix);
    destination_ = absolute(INST_install_folder + r.path);
    source_ = absolute(INST_directory.dvd_root + INST_directory.version_folder + "/" + r.path + suffix);
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
    result_ = FILE_copy(source_, temporary_);
    if (result_ != 0)
        error_text_ = "I was unable to copy the file " + source_ + " from the DVD to the hard drive.";
}

void dvd_unpack_task::put_into_place() {
    if (result_ != 0)
        return;
    // Files copied from a disc arrive read-only.
    FILE_clear_read_only(temporary_);
    std::string target, why;
    FILE_parent_folder(target, destination_);
    // The copy is checked and put into place as a download is; it is deleted either way.
    const int code = INST_expand_into_place(temporary_, INST_package_kind(temporary_), destination_,
                                            sig_want_, expanded_kb_, &why);
    if (code != 0) {
        result_ = code;
        error_text_ = "I was unable to unzip the file " + temporary_ + " to the folder " + target + ".";
        if (!why.empty())
            error_text_ += " (" + why + ")";
        return;
    }
    file_record& r = INST_directory.packages[static_cast<size_t>(entry_)].back();
    r.sig_have = r.sig_want;
    r.matches = 1;
}
