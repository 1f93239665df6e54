// File layer: path rules, file and folder operations, tree walks, free space, shell open and the
// relative-path check, on real files in temporary folders.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "base/FILE_ops.h"
#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "platform/WIN_system.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

// A temporary folder that a death-test child (which runs the test body again) shares with its parent:
// the parent names it in the environment; the child finds it there and makes no folder of its own.
class SharedDir {
  public:
    SharedDir() {
        if (const char* d = std::getenv("AERIVON_FILE_OPS_TEST_DIR")) {
            path_ = d;
            child_ = true;
        } else {
            own_ = std::make_unique<test::TempDir>();
            path_ = own_->path();
        }
        env_.emplace("AERIVON_FILE_OPS_TEST_DIR", path_);
    }
    bool in_child() const { return child_; }
    std::string file(const std::string& rel) const { return path_ + "/" + rel; }

  private:
    std::unique_ptr<test::TempDir> own_;
    std::string path_;
    bool child_ = false;
    std::optional<test::ScopedEnv> env_;
};

class FileOpsTest : public ::testing::Test {
  protected:
    void SetUp() override { saved_root_ = FILE_sim_root; }
    void TearDown() override { FILE_sim_root = saved_root_; }
    test::TempDir tmp_;
    std::string saved_root_;
};

std::string listing(const std::string& folder, int kind = 0) {
    std::vector<std::string> names;
    std::vector<int> types;
    int n = FILE_list_folder(folder, kind, names, types);
    std::string s = std::to_string(n) + ":";
    for (size_t i = 0; i < names.size(); ++i)
        s += " " + names[i] + "=" + std::to_string(types[i]);
    return s;
}

std::string b(bool v) { return v ? "true" : "false"; }

std::string site() { return std::string(FILE_error_site_file) + ":" + std::to_string(FILE_error_site_line); }

// Every path under `root`, relative, folders with a final '/', sorted.
std::string tree_of(const std::string& root) {
    std::vector<std::string> paths;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::string rel = fs::relative(it->path(), root).string();
        paths.push_back(it->is_directory() && !it->is_symlink() ? rel + "/" : rel);
    }
    std::sort(paths.begin(), paths.end());
    std::string s;
    for (const auto& p : paths)
        s += p + " ";
    return s;
}

bool no_copy_siblings(const std::string& folder) {
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind(".aerivon-copy-", 0) == 0)
            return false;
    return true;
}

std::string wait_for_file(const std::string& path) {
    for (int i = 0; i < 500 && access(path.c_str(), F_OK) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return test::read_file(path);
}

} // namespace

TEST_F(FileOpsTest, EdgeCases) {
    const std::string t = tmp_.path();
    fs::create_directories(t + "/list/c");
    fs::create_directories(t + "/full/x");
    fs::create_directories(t + "/empty");
    fs::create_directories(t + "/sort");
    for (const char* n : {"list/b", "list/A", "list/.hidden", "sort/b", "sort/B", "sort/_", "sort/abc",
                          "sort/ab", "sort/\xC3\xA9", "sort/Z", "plain", "ro"})
        test::write_file(t + "/" + n, "x");
    chmod((t + "/ro").c_str(), 0444);
    fs::create_directory_symlink(t + "/list", t + "/dirlink");
    fs::create_symlink(t + "/missing", t + "/dangling");
    fs::create_symlink(t + "/list", t + "/list/zlink");

    auto norm = [](std::string p) {
        FILE_normalize_path(p);
        return p;
    };
    auto u8 = [](const std::string& s) { return b(FILE_is_utf8(s.data(), s.data() + s.size())); };
    auto last = [](const std::string& p) {
        std::string o = "stale";
        FILE_last_component(o, p);
        return o;
    };
    auto parent = [](const std::string& p) {
        std::string o = "stale";
        FILE_parent_folder(o, p);
        return o;
    };
    auto absolute = [](std::string p) {
        FILE_make_absolute(p);
        return p;
    };
    auto wide = [](const std::string& p) {
        std::u16string w;
        FILE_wide_absolute_path(p, w);
        return w == u"/sim/\u00E9/x" ? "wide /sim/\xC3\xA9/x" : w == u"/sim/\u00E9/" ? "wide root" : "other";
    };
    auto with_root = [&](const std::string& root, std::function<std::string()> f) {
        return [root, f]() {
            FILE_sim_root = root;
            std::string r = f();
            FILE_sim_root.clear();
            return r;
        };
    };
    auto err_site = [](int err) { return std::to_string(err) + " " + site(); };
    auto mode_of = [](const std::string& p) {
        struct stat st;
        return stat(p.c_str(), &st) == 0 ? std::to_string(st.st_mode & 0777) : std::string("none");
    };

    const struct {
        const char* name;
        std::function<std::string()> run;
        std::string want;
    } cases[] = {
        // path rules
        {"drive path is absolute", [&] { return b(FILE_is_absolute("C:\\Games\\Sim")); }, "true"},
        {"drive with '/' is relative", [&] { return b(FILE_is_absolute("C:/Games")); }, "false"},
        {"drive with '/' normalised", [&] { return norm("C:/Games"); }, "C//Games"},
        {"slash is absolute", [&] { return b(FILE_is_absolute("/data")); }, "true"},
        {"backslash is absolute", [&] { return b(FILE_is_absolute("\\data")); }, "true"},
        {"plain name is relative", [&] { return b(FILE_is_absolute("data")); }, "false"},
        {"drive prefix kept", [&] { return norm("C:\\a\\b:c"); }, "C:\\a/b/c"},
        {"Windows-1252 fallback", [&] { return norm("caf\xE9\\\x80"); }, "caf\xC3\xA9/\xE2\x82\xAC"},
        {"unassigned 1252 byte", [&] { return norm("\x81"); }, "\xC2\x81"},
        {"valid UTF-8 kept", [&] { return norm("caf\xC3\xA9"); }, "caf\xC3\xA9"},
        {"utf8 empty", [&] { return u8(""); }, "true"},
        {"utf8 four bytes", [&] { return u8("\xF0\x9F\x98\x80"); }, "true"},
        {"utf8 cut at the end", [&] { return u8("a\xC3"); }, "false"},
        {"utf8 stray continuation", [&] { return u8("\x80"); }, "false"},
        {"utf8 bad continuation", [&] { return u8("\xE2\x82\x41"); }, "false"},
        {"utf8 byte F8", [&] { return u8("\xF8\x80\x80\x80\x80"); }, "false"},
        {"last of folder", [&] { return last("a/b/c/"); }, "c/"},
        {"last of name", [&] { return last("abc"); }, "abc"},
        {"last of empty", [&] { return last(""); }, ""},
        {"parent of folder", [&] { return parent("a/b/c/"); }, "a/b/"},
        {"parent of file", [&] { return parent("/abc/d.txt"); }, "/abc/"},
        {"parent of short path", [&] { return parent("a/"); }, "a/"},
        // A folder the system names may hold '\' and ':' in its names: only '/' separates (and a drive
        // prefix's '\').
        {"last of a name with '\\'", [&] { return last("/g/Games: Flight/Sims \\ 2026/"); }, "Sims \\ 2026/"},
        {"parent of a name with '\\'", [&] { return parent("/g/Games: Flight/Sims \\ 2026/"); },
         "/g/Games: Flight/"},
        {"parent of a file with '\\'", [&] { return parent("/g/a\\b.txt"); }, "/g/"},
        {"parent in a drive prefix", [&] { return parent("C:\\Games/"); }, "C:\\"},
        {"relative made absolute", with_root("/sim/", [&] { return absolute("a/b"); }), "/sim/a/b"},
        {"absolute kept", with_root("/sim/", [&] { return absolute("/x"); }), "/x"},
        {"wide path", with_root("/sim/\xC3\xA9/", [&] { return wide("x"); }), "wide /sim/\xC3\xA9/x"},
        {"wide empty path", with_root("/sim/\xC3\xA9/", [&] { return wide(""); }), "wide root"},
        {"mkdir filter",
         [&] {
             return b(FILE_mkdir_failed(0)) + b(FILE_mkdir_failed(EEXIST)) + b(FILE_mkdir_failed(183)) +
                    b(FILE_mkdir_failed(ENOTDIR));
         },
         "falsefalsefalsetrue"},
        // files and folders, relative to the Sim-Root folder
        {"is_file", with_root(t + "/", [&] { return b(FILE_is_file("plain")) + b(FILE_is_file("list/c")); }),
         "truefalse"},
        {"is_folder with final slash",
         with_root(t + "/", [&] { return b(FILE_is_folder("list/c/")) + b(FILE_is_folder("plain")); }),
         "truefalse"},
        {"a link is followed", [&] { return b(FILE_is_folder(t + "/dirlink/")); }, "true"},
        {"dangling link",
         [&] { return b(FILE_is_file(t + "/dangling")) + b(FILE_is_folder(t + "/dangling")); }, "falsefalse"},
        {"delete empty path", [&] { return std::to_string(FILE_delete("")); }, "2"},
        {"delete non-empty folder", [&] { return err_site(FILE_delete(t + "/full/")); }, "39 FILE_ops:146"},
        {"delete empty folder",
         [&] {
             std::string r = std::to_string(FILE_delete(t + "/empty/"));
             return r + b(fs::exists(t + "/empty"));
         },
         "0false"},
        {"delete missing file", [&] { return err_site(FILE_delete(t + "/nothing")); }, "2 FILE_ops:149"},
        {"delete a link, not its folder",
         [&] {
             std::string r = std::to_string(FILE_delete(t + "/dirlink"));
             return r + b(fs::exists(t + "/list/b")) + b(fs::exists(fs::symlink_status(t + "/dirlink")));
         },
         "0truefalse"},
        {"make folder", with_root(t + "/", [&] { return std::to_string(FILE_make_folder("made/")); }), "0"},
        {"make existing folder", [&] { return err_site(FILE_make_folder(t + "/full")); }, "17 FILE_ops:324"},
        {"make folder under a file", [&] { return err_site(FILE_make_folder(t + "/plain/sub/")); },
         "20 FILE_ops:324"},
        {"clear read-only",
         [&] {
             std::string r = std::to_string(FILE_clear_read_only(t + "/ro"));
             return r + mode_of(t + "/ro");
         },
         "0420"}, // 0644
        {"clear read-only of nothing", [&] { return std::to_string(FILE_clear_read_only(t + "/nothing")); },
         "2"},
        // listings
        {"listing skips hidden, sorts, types, keeps links as files", [&] { return listing(t + "/list/"); },
         "4: A=0 b=0 c=1 zlink=0"},
        {"listing relative to the Sim-Root folder", with_root(t + "/", [&] { return listing("list/"); }),
         "4: A=0 b=0 c=1 zlink=0"},
        {"sort lowers bytes, ties in byte order", [&] { return listing(t + "/sort/"); },
         "7: _=0 ab=0 abc=0 B=0 b=0 Z=0 \xC3\xA9=0"},
        {"missing folder lists nothing", [&] { return listing(t + "/nothing/"); }, "0:"},
        {"kind 16 lists nothing", [&] { return listing(t + "/list/", 16); }, "0:"},
        {"browser kinds act as kind 0", [&] { return listing(t + "/list/", 9); }, "4: A=0 b=0 c=1 zlink=0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.run(), c.want);
    }
}

TEST_F(FileOpsTest, FreeSpaceMatchesStatvfsAlsoForAFolderNotYetMade) {
    std::string out = tmp_.file("statvfs.txt");
    ASSERT_EQ(test::shell("python3 -c 'import os,sys; s=os.statvfs(sys.argv[1]); "
                          "print(s.f_blocks*s.f_frsize, s.f_bavail*s.f_frsize)' '" +
                          tmp_.path() + "' > '" + out + "'"),
              0);
    std::istringstream in(test::read_file(out));
    uint64_t want_total = 0, want_free = 0;
    in >> want_total >> want_free;
    ASSERT_GT(want_total, 0u);

    FILE_sim_root = tmp_.path() + "/";
    test::write_file(tmp_.file("afile"), "x");
    for (const std::string& path : {tmp_.path() + "/", tmp_.path(), std::string("Output/x.txt"),
                                    tmp_.file("not/yet/made/"), tmp_.file("afile/below/x")}) {
        SCOPED_TRACE(path);
        uint64_t total = 0, free_bytes = 0;
        ASSERT_EQ(FILE_free_disk_space(path, &total, &free_bytes), 0);
        EXPECT_EQ(total, want_total);
        // Other tests write to the same volume meanwhile.
        EXPECT_NEAR(static_cast<double>(free_bytes), static_cast<double>(want_free), 512.0 * 1024 * 1024);
    }
    EXPECT_EQ(FILE_free_disk_space(tmp_.path(), nullptr, nullptr), 0);
}

TEST_F(FileOpsTest, CopyReplacesTheDestinationAtomicallyWithTheSourceMode) {
    std::string data(300000, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7 + i / 251);
    test::write_file(tmp_.file("src"), data);
    chmod(tmp_.file("src").c_str(), 0750);
    test::write_file(tmp_.file("dst"), "old");
    ASSERT_EQ(FILE_copy(tmp_.file("src"), tmp_.file("dst")), 0);
    EXPECT_EQ(test::read_file(tmp_.file("dst")), data);
    struct stat st;
    ASSERT_EQ(stat(tmp_.file("dst").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0750u);

    // Failures leave the destination as it was and no temporary sibling behind.
    const struct {
        const char* name;
        std::string source, destination;
        int want;
    } failures[] = {
        {"missing source", tmp_.file("nothing"), tmp_.file("dst"), ENOENT},
        {"folder source", tmp_.path(), tmp_.file("dst"), EISDIR},
        {"missing destination folder", tmp_.file("src"), tmp_.file("no/dst"), ENOENT},
        {"a file where the folder belongs", tmp_.file("src"), tmp_.file("dst/x"), ENOTDIR},
        {"a folder as destination", tmp_.file("src"), tmp_.path(), EISDIR},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(FILE_copy(f.source, f.destination), f.want);
        EXPECT_EQ(test::read_file(tmp_.file("dst")), data);
        EXPECT_TRUE(no_copy_siblings(tmp_.path()));
    }
}

TEST_F(FileOpsTest, CopyOntoItselfIsRefusedAndTouchesNothing) {
    test::write_file(tmp_.file("f"), "precious");
    ASSERT_EQ(link(tmp_.file("f").c_str(), tmp_.file("hard").c_str()), 0);
    fs::create_symlink(tmp_.file("f"), tmp_.file("soft"));
    FILE_sim_root = tmp_.path() + "/";
    for (const std::string& dst :
         {tmp_.file("f"), std::string("f"), tmp_.file("./f"), tmp_.file("hard"), tmp_.file("soft")}) {
        SCOPED_TRACE(dst);
        EXPECT_EQ(FILE_copy(tmp_.file("f"), dst), EINVAL);
        EXPECT_EQ(test::read_file(tmp_.file("f")), "precious");
        EXPECT_TRUE(fs::is_symlink(tmp_.file("soft")));
    }
    EXPECT_TRUE(no_copy_siblings(tmp_.path()));
}

TEST(FileOpsDeathTest, CopyThatRunsOutOfRoomKeepsTheOldFile) {
#ifdef AERIVON_SANITIZED
    GTEST_SKIP() << "resource-limit tests stay out of the sanitizer run";
#else
    SharedDir dir;
    if (!dir.in_child()) {
        test::write_file(dir.file("big"), std::string(1 << 20, 'b'));
        test::write_file(dir.file("dst"), "old contents");
    }
    EXPECT_EXIT(
        {
            WIN_set_signal_handling(); // the program's: a write past the limit fails with EFBIG
            rlimit limit;
            limit.rlim_cur = limit.rlim_max = 65536;
            setrlimit(RLIMIT_FSIZE, &limit);
            _exit(FILE_copy(dir.file("big"), dir.file("dst")));
        },
        ::testing::ExitedWithCode(EFBIG), "");
    EXPECT_EQ(test::read_file(dir.file("dst")), "old contents");
    std::string folder = dir.file("");
    folder.pop_back();
    EXPECT_TRUE(no_copy_siblings(folder));
#endif
}

TEST_F(FileOpsTest, DeleteTreeUnlinksLinksAndNeverEntersThem) {
    std::string outside = tmp_.file("outside");
    fs::create_directories(outside + "/inner");
    test::write_file(outside + "/keep.txt", "keep");
    test::write_file(outside + "/inner/keep2.txt", "keep");
    std::string tree = tmp_.file("tree");
    fs::create_directories(tree + "/a/b");
    test::write_file(tree + "/a/b/f.txt", "f");
    fs::create_directory_symlink(outside, tree + "/a/dirlink");
    fs::create_symlink(outside + "/keep.txt", tree + "/filelink");
    fs::create_symlink(tmp_.file("missing"), tree + "/dangling");

    EXPECT_EQ(FILE_delete_tree(tree + "/"), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(tree)));
    EXPECT_EQ(tree_of(outside), "inner/ inner/keep2.txt keep.txt ");
}

TEST_F(FileOpsTest, TreeWalksTakeHiddenEntries) {
    std::string src = tmp_.file("src");
    fs::create_directories(src + "/.hdir/sub");
    fs::create_directories(src + "/visible");
    test::write_file(src + "/.hidden", "h");
    test::write_file(src + "/.hdir/sub/.x", "x");
    test::write_file(src + "/visible/v.txt", "v");
    const std::string want = ".hdir/ .hdir/sub/ .hdir/sub/.x .hidden visible/ visible/v.txt ";
    ASSERT_EQ(tree_of(src), want);

    EXPECT_EQ(FILE_copy_tree(src, tmp_.file("dst")), 0);
    EXPECT_EQ(tree_of(tmp_.file("dst")), want);
    EXPECT_EQ(test::read_file(tmp_.file("dst/.hdir/sub/.x")), "x");

    EXPECT_EQ(FILE_delete_tree(src + "/"), 0);
    EXPECT_FALSE(fs::exists(src));
}

TEST_F(FileOpsTest, CopyTreeReadsFileLinksButNeverEntersFolderLinks) {
    std::string outside = tmp_.file("outside");
    fs::create_directories(outside);
    test::write_file(outside + "/secret.txt", "s");
    std::string src = tmp_.file("src");
    fs::create_directories(src);
    fs::create_symlink(outside + "/secret.txt", src + "/a_filelink");
    ASSERT_EQ(FILE_copy_tree(src, tmp_.file("dst")), 0);
    EXPECT_EQ(test::read_file(tmp_.file("dst/a_filelink")), "s");
    EXPECT_FALSE(fs::is_symlink(tmp_.file("dst/a_filelink")));

    fs::create_directory_symlink(outside, src + "/b_dirlink");
    EXPECT_EQ(FILE_copy_tree(src, tmp_.file("dst2")), EISDIR);
    EXPECT_FALSE(fs::exists(tmp_.file("dst2/b_dirlink/secret.txt")));

    // A single file copies as FILE_copy; failures come back as the first error.
    EXPECT_EQ(FILE_copy_tree(outside + "/secret.txt", tmp_.file("one.txt")), 0);
    EXPECT_EQ(test::read_file(tmp_.file("one.txt")), "s");
    test::write_file(tmp_.file("blocker"), "x");
    EXPECT_EQ(FILE_copy_tree(outside, tmp_.file("blocker/dst")), ENOTDIR);
    EXPECT_EQ(FILE_delete_tree(tmp_.file("blocker/")), ENOTDIR);
    EXPECT_EQ(FILE_delete_tree(tmp_.file("nothing/")), ENOENT);
}

TEST(FileOpsDeathTest, ListingAPathWithoutFinalSlashIsFatal) {
    SharedDir dir;
    EXPECT_EXIT(
        {
            OPT_parse_only("--qa_script");
            int err = open(dir.file("stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            dup2(err, 2);
            LOG_init();
            FILE_open_ofstream(LOG_stream, dir.file("log.txt"), std::ios_base::out, 0);
            std::vector<std::string> names;
            std::vector<int> types;
            FILE_list_folder(dir.file("no_final_slash"), 0, names, types);
            _exit(99);
        },
        ::testing::ExitedWithCode(1), "");
    std::string shown = test::read_file(dir.file("log.txt")) + test::read_file(dir.file("stderr.txt"));
    EXPECT_NE(shown.find("I need to end all paths with the directory indicator!"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("FILE_ops:658"), std::string::npos) << shown;
}

TEST(FileOpsDeathTest, ShellOpenStartsAnExecutableWithItsParametersThenEndsTheProcess) {
    SharedDir dir;
    std::string script = dir.file("run me.sh");
    if (!dir.in_child()) {
        test::write_file(script,
                         "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.$1\"\n");
        chmod(script.c_str(), 0755);
    }
    EXPECT_EXIT(FILE_shell_open(script, "noquit  two", 0), ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(wait_for_file(script + ".noquit"), "noquit\ntwo\n");
    // With the quit flag the program shuts down in order and exits with 0.
    EXPECT_EXIT(FILE_shell_open(script, "quit", 1), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(wait_for_file(script + ".quit"), "quit\n");
}

TEST(FileOpsDeathTest, ShellOpenHandsADataFileToXdgOpenAsOneArgument) {
    SharedDir dir;
    std::string data = dir.file("my data.txt");
    if (!dir.in_child()) {
        fs::create_directories(dir.file("bin"));
        test::write_file(dir.file("bin/xdg-open"),
                         "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > '" + dir.file("seen.tmp") + "' && mv '" +
                             dir.file("seen.tmp") + "' '" + dir.file("seen") + "'\n");
        chmod(dir.file("bin/xdg-open").c_str(), 0755);
        test::write_file(data, "data");
    }
    test::ScopedEnv path("PATH", dir.file("bin") + ":/usr/bin:/bin");
    EXPECT_EXIT(FILE_shell_open(data, "ignored params", 0), ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(wait_for_file(dir.file("seen")), "1\n" + data + "\n");
}

TEST_F(FileOpsTest, ShellOpenThatCannotStartReturnsTheErrorAndKeepsRunning) {
    fs::create_directories(tmp_.file("empty_bin"));
    test::ScopedEnv path("PATH", tmp_.file("empty_bin"));
    test::write_file(tmp_.file("doc.txt"), "d");
    EXPECT_EQ(FILE_shell_open(tmp_.file("doc.txt"), "", 0), ENOENT);
    test::write_file(tmp_.file("not_a_program"), "garbage\n");
    chmod(tmp_.file("not_a_program").c_str(), 0755);
    EXPECT_EQ(FILE_shell_open(tmp_.file("not_a_program"), "", 0), ENOEXEC);
}

TEST_F(FileOpsTest, EjectFailsCleanlyWithoutAnOpticalDrive) {
    EXPECT_EQ(FILE_eject_disc(tmp_.file("nothing/")), ENOENT);
    EXPECT_NE(FILE_eject_disc(tmp_.path() + "/"), 0);
}

TEST_F(FileOpsTest, OpenedFilesAreCloseOnExec) {
    FILE* f = FILE_fopen_utf8(tmp_.file("x"), "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(fcntl(fileno(f), F_GETFD) & FD_CLOEXEC);
    std::fclose(f);
    EXPECT_EQ(FILE_fopen_utf8(tmp_.file("no/x"), "rb"), nullptr);
}

TEST_F(FileOpsTest, Kind17ListsTheCommandTree) {
    EXPECT_EQ(listing("sim/", 17), "3: general=1 none=1 operation=1");
    std::vector<std::string> names;
    std::vector<int> types;
    EXPECT_EQ(FILE_list_folder("sim/general/", 17, names, types), 36);
    for (size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_TRUE(types[i] == 17 || types[i] == 1);
        EXPECT_FALSE(names[i].empty() || names[i].back() == '/');
    }
}

TEST_F(FileOpsTest, SafeRelativePaths) {
    const struct {
        std::string path;
        bool safe;
    } cases[] = {
        {"a.txt", true},
        {"a/b/c.txt", true},
        {"folder/", true},
        {"a\\b.txt", true}, // normalised to a/b.txt
        {"...", true},
        {"..x/y", true},
        {"caf\xE9.txt", true},
        {"", false},
        {"/", false},
        {"/abs", false},
        {"\\abs", false},
        {"../x", false},
        {"a/../../x", false},
        {"a\\..\\..\\x", false},
        {"..", false},
        {".", false},
        {"./a", false},
        {"a/./b", false},
        {"a/..", false},
        {"a//b", false},
        {"folder//", false},
        {"C:\\x", false},
        {"C:x", false},
        {"c:/x", false},
        {"a:b/..:..", false}, // ':' becomes '/': "a/b/../.."
        {std::string("a\0b", 3), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FILE_is_safe_relative(c.path), c.safe);
    }
}
