// The program as a user runs it: the early options, the command line and the log file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "base/OPT_options.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

const std::string dashes(67, '-');
const std::string log_name = "Aerivon Installer Log.txt";

// A run under a HOME and a TMPDIR of its own, with no XDG folders from the machine running the test. Every
// run, the early options' and the window alert's alike, leaves TMPDIR as it found it.
struct home_run {
    test::TempDir home, tmp;
    test::ChildResult run(std::vector<std::string> args) const {
        args.insert(args.begin(), AERIVON_EXE);
        test::ChildResult r = test::run_child(args, {{"HOME", home.path()},
                                                     {"TMPDIR", tmp.path()},
                                                     {"XDG_CONFIG_HOME", std::nullopt},
                                                     {"XDG_DATA_HOME", std::nullopt},
                                                     {"DISPLAY", std::nullopt},
                                                     {"WAYLAND_DISPLAY", std::nullopt},
                                                     {"SDL_VIDEODRIVER", "x11"}});
        EXPECT_TRUE(fs::is_empty(tmp.path()))
            << "left in TMPDIR: " << fs::directory_iterator(tmp.path())->path();
        return r;
    }
};

TEST(ProgramTest, EarlyOptionsPrintAndExit) {
    const std::string version = "Aerivon Demo Installer 3.22r1\n";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--version"}, version},
        {{"-h", "--version"}, version},
        {{"--help", "--version"}, version},
        {{"--version", "--cmnds"}, "sim\n"},
        {{"--cmnds=sim/"}, "general\nnone\noperation\n"},
        {{"--cmnds"}, "sim\n"},
        {{"--cmnds=sim/operation/"}, "quicktime_record_toggle\nquit\nscreenshot\n"},
        {{"--cmnds=nowhere/"}, ""},
        {{"--help"}, OPT_usage_text("aerivon-installer")},
        {{"-h"}, OPT_usage_text("aerivon-installer")},
    };
    for (const auto& [args, printed] : cases) {
        SCOPED_TRACE(args.front());
        home_run h;
        auto r = h.run(args);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, printed);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(fs::is_empty(h.home.path())) << "an early option wrote a file";
    }
}

TEST(ProgramTest, CommandListingsHoldEveryCommand) {
    home_run h;
    auto all = h.run({"--cmnds=all"});
    EXPECT_EQ(all.exit_code, 0);
    std::istringstream lines(all.out);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        SCOPED_TRACE(line);
        ++count;
        // The path padded to 50 columns, one blank, the description.
        size_t path_end = line.find(' ');
        EXPECT_EQ(line.rfind("sim/", 0), 0u);
        EXPECT_LE(path_end, 50u);
        EXPECT_EQ(line.find_first_not_of(' ', path_end), 51u);
    }
    EXPECT_EQ(count, 40);
    EXPECT_THAT(all.out, StartsWith("sim/none/none" + std::string(37, ' ') + " Do nothing at all!\n"));
    EXPECT_THAT(all.out,
                HasSubstr("\nsim/operation/screenshot" + std::string(26, ' ') + " Take a screenshot.\n"));

    auto leaves = h.run({"--cmnds=sim/general/"});
    EXPECT_EQ(std::count(leaves.out.begin(), leaves.out.end(), '\n'), 36);
    EXPECT_THAT(leaves.out, StartsWith("backward\nbackward_fast\nbackward_slow\ndown\n"));
    EXPECT_EQ(leaves.out.find('/'), std::string::npos);
}

struct options_case {
    std::vector<std::string> argv;
    std::vector<std::string> block; // the lines between the heading and the closing dashes
};

TEST(ProgramTest, CommandLineReachesTheLogAsParsed) {
    const options_case cases[] = {
        {{"--lang=fr", "--lang=de"}, {"\t'--lang'='de'"}},
        {{"--pref:_proxy_host=my proxy", "--force_run"},
         {"\t'--force_run'", "\t'--pref:_proxy_host'='my proxy'"}},
        {{"--pref:_message_1=tab\there", "--b=1"}, {"\t'--b'='1'", "\t'--pref:_message_1'='tab\there'"}},
        {{"=dropped", "--b=2", "-h2"}, {"\t'--b'='2'", "\t'-h2'"}},
        {{"--a=\"open", "--b=1"}, {"\t'--a'='open --b=1'"}},
        {{"/home/u/My Sim/", "--os=LIN"}, {"\t'--os'='LIN'", "\t'/home/u/My'", "\t'Sim/'"}},
    };
    for (const options_case& c : cases) {
        SCOPED_TRACE(c.argv.front());
        home_run h;
        auto r = h.run(c.argv);
        EXPECT_EQ(r.exit_code, 1) << r.err; // no display: the window alert ends the run
        std::string expected =
            dashes + "\nApplication was launched with the following command line options...\n";
        for (const std::string& line : c.block)
            expected += line + "\n";
        expected += dashes + "\n\n";
        // Without a display the run goes on to the window alert after the block.
        const std::string log = test::read_file(h.home.file(log_name));
        EXPECT_THAT(log, HasSubstr("\nSim-Root folder:'', case sensitive=0\n\n" + expected));
    }
}

// A log path in a folder that does not exist, or a link there, is told on stderr, and the log stays where
// it would be. A link planted at the log's name (where others may write), symbolic or hard, is never
// written through: the linked file keeps its words, and without the option the run has no log.
TEST(ProgramTest, LogPathOptionTakesTheLog) {
    const struct {
        bool option, folder_exists;
        int link;        // planted at the log's name: 0 none, 1 symbolic, 2 hard
        const char* why; // the option's path cannot be opened: why
    } rows[] = {
        {true, true, 0, nullptr},
        {true, false, 0, "No such file or directory"},
        {true, true, 1, "Too many levels of symbolic links"},
        {true, true, 2, "Too many links"},
        {false, true, 1, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.option ? "--log_path" : "no option") + (row.link ? ", a link" : "") +
                     (row.why ? row.why : ""));
        home_run h;
        if (row.folder_exists)
            fs::create_directories(h.home.file("t"));
        const std::string path = h.home.file("t/log.txt"), theirs = h.home.file("theirs.txt");
        const std::string linked = row.option ? path : h.home.file(log_name);
        if (row.link) {
            test::write_file(theirs, "their words\n");
            if (row.link == 1)
                fs::create_symlink(theirs, linked);
            else
                fs::create_hard_link(theirs, linked);
        }
        auto r = h.run(row.option ? std::vector<std::string>{"--log_path=" + path, "--lang=fr"}
                                  : std::vector<std::string>{"--lang=fr"});
        EXPECT_EQ(r.exit_code, 1);
        if (row.link) {
            EXPECT_EQ(test::read_file(theirs), "their words\n");
            EXPECT_EQ(fs::is_symlink(linked), row.link == 1);
        }
        if (!row.option)
            continue;
        EXPECT_EQ(r.out, "Log path changed to: " + path + "\n");
        const std::string log = test::read_file(row.why ? h.home.file(log_name) : path);
        EXPECT_THAT(log, StartsWith("Installer log.txt for Aerivon Demo Installer 3.22r1 compiled on "));
        EXPECT_THAT(log, HasSubstr("\n" + dashes +
                                   "\nApplication was launched with the following command line "
                                   "options...\n\t'--lang'='fr'\n\t'--log_path'='" +
                                   path + "'\n" + dashes + "\n\n"));
        EXPECT_EQ(fs::exists(h.home.file(log_name)), row.why != nullptr);
        if (row.why) {
            EXPECT_THAT(r.err, StartsWith("Could not open the log file " + path + " (" + row.why +
                                          "); the log goes to " + h.home.file(log_name) + "\n"));
        }
    }
}

TEST(ProgramTest, LogWithoutOptionsIsTheHeaderAlone) {
    home_run h;
    auto r = h.run({});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "");
    const std::string log = test::read_file(h.home.file(log_name));
    // "Mmm dd yyyy hh:mm:ss" of the build.
    const std::string head = "Installer log.txt for Aerivon Demo Installer 3.22r1 compiled on ";
    ASSERT_THAT(log, StartsWith(head));
    const std::string stamp = log.substr(head.size(), 20);
    EXPECT_EQ(stamp.substr(3, 1) + stamp.substr(11, 1) + stamp.substr(14, 1) + stamp.substr(17, 1), "  ::");
    EXPECT_THAT(
        log.substr(head.size() + 20),
        StartsWith(
            "\n\nThis log file is generated automatically by Nordvane Systems applications and contains "
            "diagnostics about your graphics hardware, installation, and any error conditions.\n"
            "If you need to contact tech support or file a bug, please send us this file. NOTE: this file "
            "is rewritten every time you start ANY of your Sim-Root applications.\n\n"
            "If you got a hard system crash and want to report this to Nordvane Systems, then be sure to "
            "send your crash_report.txt file generated by the crash as well!\n\nLinux "));
    // The system report, then the folder line with no option block after it.
    const size_t folder = log.find("\nSim-Root folder:'', case sensitive=0\n\n");
    ASSERT_NE(folder, std::string::npos);
    EXPECT_EQ(log.find(dashes + "\nApplication was launched", folder), std::string::npos);
}

TEST(ProgramTest, LogGoesToTheDesktopFolderOfUserDirs) {
    home_run h;
    fs::create_directories(h.home.file("Desktop"));
    fs::create_directories(h.home.file("Arbeitsfläche"));
    fs::create_directories(h.home.file(".config"));
    test::write_file(h.home.file(".config/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"$HOME/Arbeitsfläche\"\n");
    EXPECT_EQ(h.run({}).exit_code, 1);
    EXPECT_TRUE(fs::exists(h.home.file("Arbeitsfläche/" + log_name)));
    EXPECT_FALSE(fs::exists(h.home.file("Desktop/" + log_name)));

    fs::remove(h.home.file(".config/user-dirs.dirs"));
    EXPECT_EQ(h.run({}).exit_code, 1);
    EXPECT_TRUE(fs::exists(h.home.file("Desktop/" + log_name)));
}

TEST(ProgramTest, CrashReportModeWritesNoLog) {
    for (const char* option : {"--report_crash", "--send_report=x"}) {
        SCOPED_TRACE(option);
        home_run h;
        auto r = h.run({option, "--log_path=" + h.home.file("log.txt")});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.out, "Log path changed to: " + h.home.file("log.txt") + "\n");
        EXPECT_TRUE(fs::is_empty(h.home.path()));
    }
}

} // namespace
