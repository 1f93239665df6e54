// INST_work_lock: the run's lock and the clean-up of what killed runs left (see the header).
#include "installer/INST_work_lock.h"

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "installer/INST_expand.h"

namespace {

constexpr char work_prefix[] = "aerivon-installer-";
constexpr char lock_name[] = "lock";
// A work folder without a lock file may belong to a run that is still starting.
constexpr time_t starting_seconds = 60;

bool starts_with(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// The names in `folder` that begin with `prefix` and are real folders (never links) owned by the user.
std::vector<std::string> own_folders(const std::string& folder, const char* prefix) {
    std::vector<std::string> out;
    std::string absolute = folder;
    FILE_make_absolute(absolute);
    DIR* d = opendir(absolute.c_str());
    if (!d)
        return out;
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (!starts_with(name, prefix))
            continue;
        struct stat st;
        if (fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
            st.st_uid == getuid())
            out.push_back(name);
    }
    closedir(d);
    return out;
}

// True when no running program holds the work folder's lock (a folder without one counts as free once it
// is older than a starting run could be).
bool lock_is_free(const std::string& folder) {
    const int fd = open((folder + lock_name).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        struct stat st;
        return errno == ENOENT && lstat(folder.c_str(), &st) == 0 &&
               time(nullptr) - st.st_mtime > starting_seconds;
    }
    const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd); // releases the lock taken only to test it
    return free;
}

} // namespace

bool INST_lock_work_folder(const std::string& folder) {
    const int fd = open((folder + lock_name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    return true; // the descriptor is left open: the lock lasts as long as the process
}

int INST_remove_stale_work_folders(const std::string& base, const std::string& keep,
                                   const std::string& program_folder) {
    int removed = 0;
    for (const std::string& name : own_folders(base, work_prefix)) {
        const std::string folder = base + name + "/";
        if (folder == keep || folder == program_folder || !lock_is_free(folder))
            continue;
        const int result = FILE_delete_tree(folder);
        LOG_stream << "Removed the work folder " << folder << " of a run that is gone, with result=" << result
                   << ".\n";
        removed += result == 0;
    }
    return removed;
}

int INST_remove_unpack_leftovers(const std::string& folder) {
    int removed = 0;
    for (const std::string& name : own_folders(folder, INST_UNPACK_PREFIX)) {
        const int result = FILE_delete_tree(folder + name + "/");
        LOG_stream << "Removed " << folder << name
                   << ", left by an expansion that did not end, with result=" << result << ".\n";
        removed += result == 0;
    }
    return removed;
}
