// checksum_task: MD5 signatures (or presence) of the local copies of a batch of entries.
#include "installer/checksum_task.h"

#include <filesystem>
#include <system_error>

#include "base/FILE_compress.h"
#include "base/FILE_ops.h"
#include "installer/INST_globals.h"
#include "installer/INST_scan.h"

namespace {

// Something may be at the path itself: a file, a folder, a link (dangling or not), anything. The link is
// not followed (lstat). When the question cannot be answered (a parent folder that cannot be searched),
// the answer is yes: only a path known to be free may read as absent.
bool something_at(const std::string& path) {
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::symlink_status(path, ec);
    return st.type() != std::filesystem::file_type::not_found;
}

} // namespace

checksum_task::checksum_task(int first, int end, int mode)
    : first_(first), end_(end), mode_(mode), folder_(INST_install_folder), job_(INST_current_job_filter()) {
    FILE_make_absolute(folder_);
}

void checksum_task::run() {
    for (int i = first_; i < end_; ++i) {
        package_entry& entry = INST_directory.packages[static_cast<size_t>(i)];
        if (entry.empty())
            continue;
        const int last = static_cast<int>(entry.size()) - 1;
        if (!INST_record_is_wanted(i, last, job_))
            continue;
        file_record& r = entry.back();
        const std::string full = folder_ + r.path;
        std::string sig = INST_SIG_NONE;
        if (mode_ != 0) {
            if (FILE_is_file(full))
                sig = r.sig_want;
            else if (something_at(full))
                sig = INST_SIG_UNREADABLE;
        } else if (FILE_md5_hex(full, sig) != 0 && something_at(full)) {
            sig = INST_SIG_UNREADABLE;
        }
        r.sig_have = sig;
        r.matches = r.sig_have == r.sig_want ? 1 : 0;
    }
}

int checksum_task::result(std::string& message) {
    message.clear();
    return 0;
}
