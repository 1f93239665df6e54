// Shared test fixtures: temporary folders, a child-process runner and environment overrides.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace test {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The folder, without a trailing '/'.
    const std::string& path() const { return path_; }
    // path() + "/" + rel
    std::string file(const std::string& rel) const { return path_ + "/" + rel; }

  private:
    std::string path_;
};

// Removes `path` with everything in it, read-only folders included; errors are ignored.
void remove_tree(const std::string& path);

struct ChildResult {
    int exit_code = -1; // exit status, or 128 + signal number
    std::string out;
    std::string err;
};

// Runs argv[0] (searched in PATH when it has no '/') with the environment of this process changed by
// `env`: a value sets the variable, std::nullopt removes it. Standard input is /dev/null. Waits at most
// `timeout_s` seconds, then kills the child (exit code 128 + SIGKILL).
ChildResult run_child(const std::vector<std::string>& argv,
                      const std::map<std::string, std::optional<std::string>>& env = {}, int timeout_s = 60);

// Sets (or with std::nullopt unsets) an environment variable for the lifetime of the object.
class ScopedEnv {
  public:
    ScopedEnv(const std::string& name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::optional<std::string> old_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
// Runs a shell command line (for test tools such as zip and 7z); returns its exit status.
int shell(const std::string& command);
// Opens the log (LOG_init) on this process's stderr, so that a death test's matcher sees the alert's log
// block with its source text.
void route_log_to_stderr();
// The shared corpus folder beside the project (or $AERIVON_CORPUS_DIR when set), or "" when it is absent.
std::string corpus_dir();
// True in a CI run (CI=true), where everything a test needs must be present.
bool ci_run();

// What another user set up in /tmp before they filled it (take_tmp_after). Their file their_file holds
// their_words in every case.
enum class tmp_plant {
    list_link,         // /tmp/server_list_10.txt links to their_file
    fallback_folder,   // uid 54321 made /tmp/aerivon-no-private-folder/ (mode 0777), with their_words as the
                       // server list in it
    fallback_link,     // uid 54321 linked /tmp/aerivon-no-private-folder to their folder /tmp/theirs/ (0777)
    room_for_a_folder, // nothing: one inode is left, which a folder takes, and then none for a file in it
    read_only,         // nothing, and /tmp is read-only
};

// For a child process: enters a mount namespace of its own whose /tmp is a tmpfs where, once `plant` is
// set up, no folder can be made (but one for room_for_a_folder): every inode is taken, or it is read-only.
// Another user's links are followed there (the tmpfs is not sticky). False when this machine allows no such
// namespace.
bool take_tmp_after(tmp_plant plant);
// True when what take_tmp_after set up is as it was: their words in their files, nothing added.
bool tmp_plant_untouched(tmp_plant plant);
extern const char their_file[];
extern const char their_words[];

} // namespace test

// Declares `dir`, the shared corpus folder, and ends the test when the folder is absent: as a failure in a
// CI run, where a skip would hide a regression, else as a skip.
#define TEST_NEED_CORPUS(dir)                                                                                \
    const std::string dir = test::corpus_dir();                                                              \
    if (dir.empty()) {                                                                                       \
        if (test::ci_run())                                                                                  \
            GTEST_FAIL() << "the shared corpus folder is absent, and a CI run needs it";                     \
        GTEST_SKIP() << "the shared corpus folder is absent";                                                \
    }
