// The program keeps its preferences in "Aerivon Installer.prf" under the user's data folder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/test_support.h"

namespace {

std::map<std::string, std::optional<std::string>> environment(const test::TempDir& home) {
    return {{"HOME", home.path()},
            {"XDG_DATA_HOME", std::nullopt},
            {"XDG_CONFIG_HOME", std::nullopt},
            {"DISPLAY", std::nullopt},
            {"WAYLAND_DISPLAY", std::nullopt}};
}

} // namespace

TEST(PreferencesProgramTest, ARunSavesTheCommandLineValueAndAnAutomatedRunSavesNothing) {
    test::TempDir home;
    const std::string prefs = home.path() + "/.local/share/Aerivon Installer.prf";
    auto r =
        test::run_child({AERIVON_EXE, "--pref:_proxy_host=proxy.test", "--qa_script"}, environment(home));
    EXPECT_EQ(r.exit_code, 0) << r.err;
    struct stat st;
    EXPECT_NE(stat(prefs.c_str(), &st), 0);

    r = test::run_child({AERIVON_EXE, "--pref:_proxy_host=proxy.test"}, environment(home));
    EXPECT_EQ(r.exit_code, 0) << r.err;
    const std::string text = test::read_file(prefs);
    EXPECT_EQ(text.rfind("I\n10 version\n", 0), 0u) << text;
    EXPECT_NE(text.find("\n_proxy_host proxy.test\n"), std::string::npos) << text;

    // The next run reads the file: the value stays without the option.
    r = test::run_child({AERIVON_EXE}, environment(home));
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(test::read_file(prefs).find("\n_proxy_host proxy.test\n"), std::string::npos);
}

TEST(PreferencesProgramTest, AFileWhereTheDataFolderBelongsGivesTheSaveAlert) {
    test::TempDir home;
    ASSERT_EQ(mkdir((home.path() + "/.local").c_str(), 0700), 0);
    test::write_file(home.path() + "/.local/share", "not a folder");
    const std::string log = home.path() + "/log.txt";
    auto r = test::run_child({AERIVON_EXE, "--log_path=" + log}, environment(home));
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.err.find("I could not save the file!"), std::string::npos) << r.err;
    const std::string text = test::read_file(log);
    EXPECT_NE(text.find("| I could not save the file!"), std::string::npos) << text;
    EXPECT_NE(text.find("| (FILE_ops:1336)"), std::string::npos) << text;
}
