// The program keeps its preferences in "Aerivon Installer.prf" under the user's data folder. Each run opens
// its window on an X server of its own and ends with SIGTERM, which saves them.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/test_support.h"
#include "ui/shell_harness.h"

namespace {

// Runs the program with `args` until its window shows, then ends it with SIGTERM; gives the exit code.
int run_until_term(shell::session& s, const std::vector<std::string>& args) {
    s.start(AERIVON_EXE, args);
    if (s.window().empty())
        return -2;
    s.process->signal(SIGTERM);
    return s.process->wait_exit(20000);
}

} // namespace

TEST(PreferencesProgramTest, ARunSavesTheCommandLineValueAndAnAutomatedRunSavesNothing) {
    shell::session s;
    if (!s.have_display())
        GTEST_SKIP() << "Xvfb did not start";
    const std::string prefs = s.home.path() + "/.local/share/Aerivon Installer.prf";
    EXPECT_EQ(run_until_term(s, {"--pref:_proxy_host=proxy.test", "--qa_script"}), 0) << s.process->errors();
    struct stat st;
    EXPECT_NE(stat(prefs.c_str(), &st), 0);

    EXPECT_EQ(run_until_term(s, {"--pref:_proxy_host=proxy.test"}), 0) << s.process->errors();
    const std::string text = test::read_file(prefs);
    EXPECT_EQ(text.rfind("I\n10 version\n", 0), 0u) << text;
    EXPECT_NE(text.find("\n_proxy_host proxy.test\n"), std::string::npos) << text;

    // The next run reads the file: the value stays without the option.
    EXPECT_EQ(run_until_term(s, {}), 0) << s.process->errors();
    EXPECT_NE(test::read_file(prefs).find("\n_proxy_host proxy.test\n"), std::string::npos);
}

TEST(PreferencesProgramTest, AFileWhereTheDataFolderBelongsGivesTheSaveAlert) {
    shell::session s;
    if (!s.have_display())
        GTEST_SKIP() << "Xvfb did not start";
    ASSERT_EQ(mkdir((s.home.path() + "/.local").c_str(), 0700), 0);
    test::write_file(s.home.path() + "/.local/share", "not a folder");
    const std::string log = s.home.path() + "/log.txt";
    s.start(AERIVON_EXE, {"--log_path=" + log});
    ASSERT_FALSE(s.window().empty());
    s.process->signal(SIGTERM);
    ASSERT_TRUE(s.wait_for_alert()); // drawn: graphics are up until the exit's last steps
    s.key("Return");
    EXPECT_EQ(s.process->wait_exit(10000), 0);
    const std::string text = test::read_file(log);
    EXPECT_NE(text.find("| I could not save the file!"), std::string::npos) << text;
    EXPECT_NE(text.find("| (FILE_ops:1336)"), std::string::npos) << text;
}
