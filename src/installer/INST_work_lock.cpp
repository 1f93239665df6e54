// INST_work_lock: the run's lock and the clean-up of what killed runs left (see the header).
#include "installer/INST_work_lock.h"

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
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

// The stage folders this run made, with the descriptor that holds each one's lock (any thread).
struct stage_locks {
    std::mutex lock;
    std::map<std::string, int> held;
} stages;

// The folder `path` opened for its lock: a real folder, never a link.
int open_folder(const std::string& path) {
    return open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
}

} // namespace

bool INST_lock_work_folder(const std::string& folder) {
    const int fd =
        open((folder + lock_name).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
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

std::string INST_make_stage_folder(const std::string& folder) {
    std::string parent = folder;
    FILE_make_absolute(parent);
    // Another run's clean-up may test the new folder's lock between its making and our flock, find it free
    // and remove it: then the folder is made again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::string stage = parent + INST_UNPACK_PREFIX + "XXXXXX";
        if (!mkdtemp(stage.data()))
            return "";
        const int fd = open_folder(stage);
        if (fd < 0) {
            const int err = errno;
            rmdir(stage.c_str());
            errno = err;
            return "";
        }
        struct stat held, named;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &held) == 0 && lstat(stage.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            stage += '/';
            const std::lock_guard<std::mutex> guard(stages.lock);
            stages.held[stage] = fd;
            return stage;
        }
        close(fd);
    }
    errno = EAGAIN;
    return "";
}

int INST_remove_stage_folder(const std::string& stage) {
    const int result = FILE_delete_tree(stage);
    const std::lock_guard<std::mutex> guard(stages.lock);
    const auto it = stages.held.find(stage);
    if (it != stages.held.end()) {
        close(it->second); // the lock goes with the folder, not before it
        stages.held.erase(it);
    }
    return result;
}

int INST_remove_unpack_leftovers(const std::string& folder) {
    std::string absolute = folder;
    FILE_make_absolute(absolute);
    int removed = 0;
    for (const std::string& name : own_folders(folder, INST_UNPACK_PREFIX)) {
        // The lock is held through the removal: a run that takes it afterwards finds its folder gone.
        const int fd = open_folder(absolute + name);
        if (fd < 0)
            continue;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) { // a live run's
            close(fd);
            continue;
        }
        const int result = FILE_delete_tree(folder + name + "/");
        close(fd);
        LOG_stream << "Removed " << folder << name
                   << ", left by an expansion that did not end, with result=" << result << ".\n";
        removed += result == 0;
    }
    return removed;
}
