// The executable's path and the special folders, under a HOME, XDG folders and TMPDIR set by the test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <grp.h>
#include <latch>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "base/FILE_ops.h"
#include "base/FILE_special.h"
#include "base/OPT_options.h"
#include "base/http.h"
#include "support/loopback_server.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

std::string special(int kind) {
    std::string out = "stale";
    FILE_get_special_folder(kind, out);
    return out;
}

TEST(FileSpecialTest, ExecutablePathAndFolderAreWhole) {
    const std::string exe = fs::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(special(1), exe);
    std::string path;
    APP_get_exe_path(path, 1);
    EXPECT_EQ(path, exe);
    EXPECT_EQ(FILE_case_sensitive.load(), 0);
    const std::string folder = exe.substr(0, exe.rfind('/') + 1);
    EXPECT_EQ(special(0), folder);
    APP_get_exe_path(path, 2);
    EXPECT_EQ(path, folder);
}

TEST(FileSpecialTest, ExecutablePathLongerThanAnyFixedBufferIsNotCut) {
    // A copy of this test program deep enough that its path passes 800 bytes runs the test above.
    test::TempDir dir;
    std::string deep = dir.path();
    for (char c : {'a', 'b', 'c', 'd'})
        deep += "/" + std::string(200, c);
    fs::create_directories(deep);
    const std::string copy = deep + "/base_tests_copy";
    fs::copy_file("/proc/self/exe", copy);
    fs::permissions(copy, fs::perms::owner_all);
    ASSERT_GT(copy.size(), 800u);
    auto r = test::run_child({copy, "--gtest_filter=FileSpecialTest.ExecutablePathAndFolderAreWhole"});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("[==========] 1 test from 1 test suite ran."), std::string::npos) << r.out;
}

struct desktop_case {
    const char* name;
    std::vector<std::string> folders; // made under HOME
    const char* user_dirs;            // contents of user-dirs.dirs, or null for none
    bool config_in_xdg;               // user-dirs.dirs in $XDG_CONFIG_HOME (HOME/cfg) instead of HOME/.config
    std::string expected;             // relative to HOME; "" is HOME itself
};

TEST(FileSpecialTest, DesktopFollowsUserDirsThenDesktopThenHome) {
    const desktop_case cases[] = {
        {"nothing", {}, nullptr, false, ""},
        {"Desktop folder", {"Desktop"}, nullptr, false, "Desktop/"},
        {"user-dirs", {"Desktop", "Bureau"}, "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n", false, "Bureau/"},
        {"user-dirs names a missing folder",
         {"Desktop"},
         "XDG_DESKTOP_DIR=\"$HOME/Gone\"\n",
         false,
         "Desktop/"},
        {"user-dirs names HOME", {"Desktop"}, "XDG_DESKTOP_DIR=\"$HOME\"\n", false, ""},
        {"comments, blanks, other keys, last line wins",
         {"One", "Two words", "Music"},
         "# XDG_DESKTOP_DIR=\"$HOME/Music\"\nXDG_MUSIC_DIR=\"$HOME/Music\"\n"
         "  XDG_DESKTOP_DIR = \"$HOME/One\"\nXDG_DESKTOP_DIR=\"$HOME/Two\\ words/\"\n",
         false,
         "Two words/"},
        {"$HOME without a separator is no home",
         {"Desktop", "HOMEx"},
         "XDG_DESKTOP_DIR=\"$HOMEx\"\n",
         false,
         "Desktop/"},
        {"XDG_CONFIG_HOME",
         {"Schreibtisch"},
         "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n",
         true,
         "Schreibtisch/"},
        {"unclosed quote", {"Desktop", "Half"}, "XDG_DESKTOP_DIR=\"$HOME/Half\n", false, "Desktop/"},
        {"a name with ':', '\\' and Latin-1 bytes is its bytes",
         {"Desktop", "Bureau: b\xFF\\x"},
         "XDG_DESKTOP_DIR=\"$HOME/Bureau: b\xFF\\\\x\"\n",
         false,
         "Bureau: b\xFF\\x/"},
    };
    for (const desktop_case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir home;
        for (const std::string& f : c.folders)
            fs::create_directories(home.file(f));
        if (c.user_dirs) {
            const std::string config = home.file(c.config_in_xdg ? "cfg" : ".config");
            fs::create_directories(config);
            test::write_file(config + "/user-dirs.dirs", c.user_dirs);
        }
        test::ScopedEnv h("HOME", home.path());
        test::ScopedEnv x("XDG_CONFIG_HOME",
                          c.config_in_xdg ? std::optional<std::string>(home.file("cfg")) : std::nullopt);
        const std::string expected = home.path() + "/" + c.expected;
        EXPECT_EQ(special(2), expected);
        EXPECT_EQ(special(3), expected);
    }
}

TEST(FileSpecialTest, DesktopMayBeAnAbsolutePathAndConfigHomeMustBeAbsolute) {
    test::TempDir home, elsewhere;
    fs::create_directories(home.file(".config"));
    fs::create_directories(elsewhere.file("desk"));
    test::write_file(home.file(".config/user-dirs.dirs"),
                     "XDG_DESKTOP_DIR=\"" + elsewhere.file("desk") + "/\"\n");
    test::ScopedEnv h("HOME", home.path() + "/");
    test::ScopedEnv x("XDG_CONFIG_HOME", "relative/cfg"); // not absolute: ignored
    EXPECT_EQ(special(2), elsewhere.file("desk") + "/");
    fs::remove(home.file(".config/user-dirs.dirs"));
    EXPECT_EQ(special(2), home.path() + "/"); // one separator, though HOME ends in one
}

TEST(FileSpecialTest, DataFolderIsMadeWithItsParents) {
    test::TempDir home;
    test::ScopedEnv h("HOME", home.path());
    for (const char* named : {"x/y/z", "Games: Flight/Sims \\ 2026/b\xFF"
                                       "ad\xFE"}) {
        test::ScopedEnv d("XDG_DATA_HOME", home.file(named));
        EXPECT_EQ(special(5), home.file(named) + "/"); // the bytes named, never rewritten
        EXPECT_TRUE(fs::is_directory(home.file(named)));
    }
    for (std::optional<std::string> unused :
         {std::optional<std::string>(), std::optional<std::string>("rel")}) {
        test::ScopedEnv d("XDG_DATA_HOME", unused);
        EXPECT_EQ(special(5), home.file(".local/share/"));
        EXPECT_TRUE(fs::is_directory(home.file(".local/share")));
    }
    EXPECT_EQ(special(6), "");
    EXPECT_EQ(special(-1), "");
}

// How a child's run is set up: where TMPDIR points (a_file: where not even root makes a folder; the
// read-only /tmp and the full one are tmpfs in a mount namespace of the child's own, the full one after
// another user set up a plant there), no HOME and no passwd entry, or a relative HOME and a passwd entry
// whose home is in the child's TMPDIR.
enum class tmpdir_kind {
    fresh,
    fresh_with_slash,
    unset,
    missing,
    a_file,
    relative,
    read_only_tmp,
    no_home,
    full_tmp_with_link,
    relative_home,
    odd_home,  // HOME under names with ':', '\' and Latin-1 bytes
    odd_tmpdir // TMPDIR under such names
};

// Names a folder may hold on this system and that other systems' paths would rewrite.
constexpr char odd_names[] = "/Games: Flight/Sims \\ 2026/b\xFF"
                             "ad\xFE";

// Enters the rows' namespace or user id without a passwd entry; false when this machine does not allow it.
bool enter_setting(tmpdir_kind kind, const std::string& tmpdir, test::tmp_plant plant) {
    if (kind == tmpdir_kind::full_tmp_with_link)
        return test::take_tmp_after(plant);
    const bool own_mounts = kind == tmpdir_kind::read_only_tmp || kind == tmpdir_kind::relative_home;
    if (own_mounts &&
        (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0))
        return false;
    if (kind == tmpdir_kind::read_only_tmp)
        return mount("tmpfs", "/tmp", "tmpfs", MS_RDONLY, nullptr) == 0;
    if (kind == tmpdir_kind::relative_home) {
        test::write_file(tmpdir + "/passwd", "someone:x:" + std::to_string(getuid()) + ":" +
                                                 std::to_string(getgid()) + "::" + tmpdir +
                                                 "/home:/bin/sh\n");
        mkdir((tmpdir + "/home").c_str(), 0700);
        setenv("HOME", "home", 1);
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("XDG_DATA_HOME");
        return mount((tmpdir + "/passwd").c_str(), "/etc/passwd", nullptr, MS_BIND, nullptr) == 0;
    }
    if (kind == tmpdir_kind::odd_home || kind == tmpdir_kind::odd_tmpdir) {
        const std::string odd = tmpdir + odd_names;
        fs::create_directories(odd + "/home/Desktop");
        fs::create_directories(odd + "/tmp");
        setenv(kind == tmpdir_kind::odd_home ? "HOME" : "TMPDIR",
               (odd + "/" + (kind == tmpdir_kind::odd_home ? "home" : "tmp")).c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("XDG_DATA_HOME");
        return true;
    }
    if (kind != tmpdir_kind::no_home)
        return true;
    unsetenv("HOME");
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
    return !getpwuid(54321) && setgroups(0, nullptr) == 0 && setresgid(54321, 54321, 54321) == 0 &&
           setresuid(54321, 54321, 54321) == 0;
}

// Fetches the server list into the work folder `work` through the HTTP client, as the program does, and
// then into the link planted under its name in /tmp. 0 when both failed on this machine and the linked
// file kept its words.
int fetch_beside_a_link(const std::string& work) {
    test::LoopbackServer proxy;
    const std::string list = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 4\r\n\r\nlist";
    proxy.accept().read_request().send(list).close().accept().read_request().send(list).close().start();
    OPT_parse_only("");
    HTTP_manager().proxy_host = "127.0.0.1";
    HTTP_manager().port = proxy.port();
    int code = 0;
    int key = 0;
    for (const std::string& path : {work + "server_list_10.txt", std::string("/tmp/server_list_10.txt")}) {
        int r = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while ((r = net_check(key, "www.aerivon.example", "/servers.txt", path)) == 0 &&
               std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (r != 2 || !HTTP_failure_on_this_machine(key))
            code = 5;
        ++key;
    }
    HTTP_clear();
    return test::tmp_plant_untouched(test::tmp_plant::list_link) ? code : 6;
}

// Runs in a child: sets TMPDIR (to a folder the child makes, since the child of a threadsafe death test is
// a fresh run of the test), asks for kind 4 twice (kinds 2, 3 and 5 for a home) from an empty working
// folder that anyone may write, writes a file into each answer as the program does, and names TMPDIR and
// the answers (with why there is no work folder, when there is none) on stderr. The exit code says what
// went wrong (0: nothing); exit() lets the clean-up at exit run.
int work_folder_child(tmpdir_kind kind, bool leave_a_file, test::tmp_plant plant) {
    const char* base = std::getenv("TMPDIR");
    std::string tmpdir = std::string(base && *base ? base : "/tmp") + "/aerivon-special-XXXXXX";
    if (!mkdtemp(tmpdir.data()) || mkdir((tmpdir + "/cwd").c_str(), 0777) != 0 ||
        chmod((tmpdir + "/cwd").c_str(), 0777) != 0 || chdir((tmpdir + "/cwd").c_str()) != 0)
        return 90;
    test::write_file(tmpdir + "/file", "");
    const char* const names[] = {"",         "/", "",         "/missing", "/file", "",
                                 "/missing", "",  "/missing", "",         "",      ""};
    setenv("TMPDIR", kind == tmpdir_kind::relative ? "." : (tmpdir + names[int(kind)]).c_str(), 1);
    if (kind == tmpdir_kind::unset)
        unsetenv("TMPDIR");
    if (!enter_setting(kind, tmpdir, plant)) {
        std::fprintf(stderr, "<<%s|unavailable>>", tmpdir.c_str());
        return 0;
    }
    const bool home =
        kind == tmpdir_kind::no_home || kind == tmpdir_kind::relative_home || kind == tmpdir_kind::odd_home;
    const std::vector<std::string> answers =
        home ? std::vector<std::string>{special(2), special(3), special(5)}
             : std::vector<std::string>{special(4)};
    struct stat st;
    int code = answers[0] != special(home ? 2 : 4) ? 2 : 0;
    if (answers[0].find("/aerivon-installer-") != std::string::npos &&
        (stat(answers[0].c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || (st.st_mode & 0777) != 0700))
        code = 3;
    std::string named;
    for (const std::string& answer : answers) {
        named += (named.empty() ? "" : ",") + answer;
        if (FILE* f = std::fopen((answer + "kept.txt").c_str(), "w"))
            std::fclose(f);
    }
    std::string tried;
    if (const int error = FILE_work_folder_failure(tried))
        named += " (" + tried + ": " + std::strerror(error) + ")";
    std::error_code error;
    if (!fs::is_empty(".", error) || error)
        code = 4; // written into the working folder
    // Nothing another user set up in /tmp is written through, nor read.
    if (kind == tmpdir_kind::full_tmp_with_link && code == 0)
        code = plant == test::tmp_plant::list_link ? fetch_beside_a_link(answers[0])
               : std::fopen((answers[0] + "server_list_10.txt").c_str(), "r") ? 7
               : test::tmp_plant_untouched(plant)                             ? 0
                                                                              : 8;
    for (const std::string& answer : answers)
        if (!leave_a_file)
            std::remove((answer + "kept.txt").c_str());
    std::fprintf(stderr, "<<%s|%s>>", tmpdir.c_str(), named.c_str());
    return code;
}

struct work_folder_answer {
    std::string tmpdir, folder;
};

// Kind 4 is made once per process, so each case runs in a death-test child.
work_folder_answer work_folder_in_child(tmpdir_kind kind, bool leave_a_file,
                                        test::tmp_plant plant = test::tmp_plant::list_link) {
    std::string err;
    EXPECT_EXIT(std::exit(work_folder_child(kind, leave_a_file, plant)), testing::ExitedWithCode(0),
                testing::Truly([&err](const std::string& e) {
                    err = e;
                    return true;
                }));
    size_t at = err.find("<<"), bar = err.find('|', at), end = err.find(">>", bar);
    if (at == std::string::npos || bar == std::string::npos || end == std::string::npos)
        return {"", err};
    return {err.substr(at + 2, bar - at - 2), err.substr(bar + 1, end - bar - 1)};
}

// Removes the child's TMPDIR when the test ends.
struct remove_on_exit {
    std::string folder;
    ~remove_on_exit() {
        if (folder.find("/aerivon-special-") != std::string::npos)
            fs::remove_all(folder);
    }
};

TEST(FileSpecialDeathTest, WorkFolderIsPrivateMadeOnceAndRemovedWhenLeftEmpty) {
    const work_folder_answer made = work_folder_in_child(tmpdir_kind::fresh, false);
    remove_on_exit r1{made.tmpdir};
    const std::string prefix = made.tmpdir + "/aerivon-installer-";
    // The child of a threadsafe death test runs this function again from the top: no ASSERT may stop it
    // before the later death tests.
    EXPECT_EQ(made.folder.rfind(prefix, 0), 0u) << made.folder;
    EXPECT_EQ(made.folder.size(), prefix.size() + 7);
    EXPECT_EQ(made.folder.back(), '/');
    EXPECT_FALSE(fs::exists(made.folder)); // empty at exit: removed

    const work_folder_answer kept = work_folder_in_child(tmpdir_kind::fresh_with_slash, true);
    remove_on_exit r2{kept.tmpdir};
    EXPECT_EQ(kept.folder.rfind(kept.tmpdir + "/aerivon-installer-", 0), 0u) << kept.folder;
    EXPECT_TRUE(fs::exists(kept.folder + "kept.txt"));

    const work_folder_answer in_tmp = work_folder_in_child(tmpdir_kind::unset, false);
    remove_on_exit r3{in_tmp.tmpdir};
    EXPECT_EQ(in_tmp.folder.rfind("/tmp/aerivon-installer-", 0), 0u) << in_tmp.folder;
    EXPECT_FALSE(fs::exists(in_tmp.folder));
}

// Runs in a child: eight threads ask for the work folder and the executable's path at once. Returns the
// number of threads whose answers differ from the first thread's.
int concurrent_requests_child() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpdir = std::string(base && *base ? base : "/tmp") + "/aerivon-special-XXXXXX";
    if (!mkdtemp(tmpdir.data()))
        return 90;
    setenv("TMPDIR", tmpdir.c_str(), 1);
    std::vector<std::string> work(8), exe(8);
    std::latch start(8);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            work[i] = special(4);
            exe[i] = special(1);
        });
    for (std::thread& t : threads)
        t.join();
    std::fprintf(stderr, "<<%s|%s>>", tmpdir.c_str(), work[0].c_str());
    int differing = 0;
    for (int i = 1; i < 8; ++i)
        differing += work[i] != work[0] || exe[i] != exe[0];
    return differing;
}

TEST(FileSpecialDeathTest, ConcurrentRequestsShareOneWorkFolder) {
    std::string err;
    EXPECT_EXIT(std::exit(concurrent_requests_child()), testing::ExitedWithCode(0),
                testing::Truly([&err](const std::string& e) {
                    err = e;
                    return true;
                }));
    size_t at = err.find("<<"), bar = err.find('|', at);
    if (at != std::string::npos && bar != std::string::npos) {
        remove_on_exit r{err.substr(at + 2, bar - at - 2)};
        EXPECT_TRUE(fs::is_empty(r.folder)) << "one folder made, and removed at exit";
    } else {
        ADD_FAILURE() << err;
    }
}

// No folder is ever relative, and nothing goes into the working folder: a work folder that cannot be made
// in TMPDIR is made in /tmp (and removed at exit), else the answer is a folder that nobody can make, where
// what the program saves fails, and why /tmp took none is told; no link planted in /tmp is written
// through. With no home at all, the desktop and the data folder are "/"; a relative HOME is the passwd
// entry's home.
const std::string no_folder_in_full_tmp =
    "/dev/null/aerivon-no-private-folder/ (/tmp/: No space left on device)";

TEST(FileSpecialDeathTest, FoldersThatCannotBeFoundAreNeverRelative) {
    const std::pair<tmpdir_kind, std::string> rows[] = {
        {tmpdir_kind::missing, "/tmp/aerivon-installer-"},
        {tmpdir_kind::a_file, "/tmp/aerivon-installer-"},
        {tmpdir_kind::relative, "/tmp/aerivon-installer-"},
        {tmpdir_kind::read_only_tmp, "/dev/null/aerivon-no-private-folder/ (/tmp/: Read-only file system)"},
        {tmpdir_kind::full_tmp_with_link, no_folder_in_full_tmp},
        {tmpdir_kind::no_home, "/,/,/"},
        {tmpdir_kind::relative_home, "TMPDIR/home/,TMPDIR/home/,TMPDIR/home/.local/share/"},
        // Folders named with ':', '\' and Latin-1 bytes are the bytes they are, under their real parents.
        {tmpdir_kind::odd_home, "ODD/home/Desktop/,ODD/home/Desktop/,ODD/home/.local/share/"},
        {tmpdir_kind::odd_tmpdir, "ODD/tmp/aerivon-installer-"}};
    for (auto [kind, expected] : rows) {
        SCOPED_TRACE(expected + " for row " + std::to_string(int(kind)));
        const work_folder_answer answer = work_folder_in_child(kind, false);
        remove_on_exit r{answer.tmpdir};
        for (size_t at; (at = expected.find("TMPDIR")) != std::string::npos;)
            expected.replace(at, 6, answer.tmpdir);
        for (size_t at; (at = expected.find("ODD")) != std::string::npos;)
            expected.replace(at, 3, answer.tmpdir + odd_names);
        if (answer.folder == "unavailable") {
            std::printf("[ SKIPPED  ] row %d: no mount namespace or user id for it here\n", int(kind));
        } else if (expected.back() == '-') {
            EXPECT_EQ(answer.folder.rfind(expected, 0), 0u) << answer.folder;
            EXPECT_EQ(answer.folder.size(), expected.size() + 7) << answer.folder;
            EXPECT_FALSE(fs::exists(answer.folder));
        } else {
            EXPECT_EQ(answer.folder, expected);
        }
    }
}

// Another user who made the fallback folder first (mode 0777, with a server list in it) or linked its name
// to a folder of theirs, then filled /tmp, gets nothing: the answer is still a folder nobody can make, and
// nothing of theirs is written or read.
TEST(FileSpecialDeathTest, AFallbackFolderAnotherUserMadeFirstIsNeitherWrittenNorRead) {
    for (const test::tmp_plant plant : {test::tmp_plant::fallback_folder, test::tmp_plant::fallback_link}) {
        SCOPED_TRACE(int(plant));
        const work_folder_answer answer = work_folder_in_child(tmpdir_kind::full_tmp_with_link, false, plant);
        remove_on_exit r{answer.tmpdir};
        EXPECT_THAT(answer.folder, testing::AnyOf("unavailable", no_folder_in_full_tmp));
    }
}

} // namespace
