// Start-up: the command line, "--os", the DVD restart decision, the volume probe, the atlas names and the
// folder lines of the log.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "base/FILE_ops.h"
#include "base/OPT_options.h"
#include "installer/INST_globals.h"
#include "installer/INST_page_routines.h"
#include "installer/INST_startup.h"
#include "installer_fixtures.h"

namespace {

TEST(StartupTest, CommandLineGivesFolderExecutableSceneryAndBeta) {
    struct row {
        const char* text;
        const char* folder;
        const char* executable;
        int scenery, beta;
    };
    const row rows[] = {
        {"", "", "Aerivon.exe", 0, 1}, // no command line: the preference stands
        // Options alone switch beta off and name nothing.
        {"--pref:_proxy_port_int=8080", "", "Aerivon.exe", 0, 0},
        {"--pref:_proxy_host=127.0.0.1 --pref:_log_actions=1 --log_path=/tmp/x.txt", "", "Aerivon.exe", 0, 0},
        // BTA alone is no prefix: a file name whose folder is itself.
        {"BTA", "BTA", "BTA", 0, 0},
        {"SCN", "SCN", "SCN", 0, 0},
        {"SCNBTAD:/Games/Sim/", "D:/Games/Sim/", "Aerivon.exe", 1, 1},
        {"BTA/opt/sim/", "/opt/sim/", "Aerivon.exe", 0, 1},
        {"SCNBTA", "BTA", "BTA", 1, 0},
        {"D:/Games/Sim/Aerivon.exe", "D:/Games/Sim/", "Aerivon.exe", 0, 0},
        // Options around a path with blanks are not part of it.
        {"--log_path=/tmp/l.txt /home/u/Aerivon 10 Demo/Sim.sh --pref:_log_actions=1",
         "/home/u/Aerivon 10 Demo/", "Sim.sh", 0, 0},
        {"--os=LIN /home/u/Copy/", "/home/u/Copy/", "Aerivon.exe", 0, 0},
        // A path is the bytes the system names: ':', '\\' and Latin-1 bytes are parts of names.
        {"/home/Games: Flight/Sims \\ 2026/b\xFF"
         "ad\xFE/Copy/",
         "/home/Games: Flight/Sims \\ 2026/b\xFF"
         "ad\xFE/Copy/",
         "Aerivon.exe", 0, 0},
        {"/home/Games: Flight/Sim\\Run.sh", "/home/Games: Flight/", "Sim\\Run.sh", 0, 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.text);
        test::ScopedOptions options(r.text);
        const INST_command_line c = INST_read_command_line(r.text, OPT_plain_argument(), "Aerivon.exe", 1);
        EXPECT_EQ(c.folder, r.folder);
        EXPECT_EQ(c.executable, r.executable);
        EXPECT_EQ(c.scenery, r.scenery);
        EXPECT_EQ(c.beta, r.beta);
    }
}

TEST(StartupTest, OsOptionTakesOnlyTheFourExactCodesAndDefaultsToThisSystem) {
    ASSERT_EQ(INST_native_os_code(), 3); // this build runs on Linux
    const std::pair<const char*, int> rows[] = {{"--os=ALL", 0}, {"--os=APL", 1}, {"--os=IBM", 2},
                                                {"--os=LIN", 3}, {"--os=apl", 3}, {"--os=LINUX", 3},
                                                {"--os", 3},     {"", 3}};
    for (const auto& [text, code] : rows) {
        SCOPED_TRACE(text);
        test::ScopedOptions options(text);
        EXPECT_EQ(INST_os_code(OPT_has("--os"), OPT_get("--os")), code);
    }
}

TEST(StartupTest, RestartOnlyFromAWholeDvdPrefixAndNeverFromOurWorkFolder) {
    struct row {
        const char* exe;
        const char* root;
        bool restart;
    };
    const row rows[] = {
        {"/media/dvd/aerivon-installer", "/media/dvd/", true},
        {"/media/dvd/bin/aerivon-installer", "/media/dvd/", true},
        {"/media/dvd/aerivon-installer", "", false},
        {"/media/dvd2/aerivon-installer", "/media/dvd",
         false}, // not a whole folder: the root must end in '/'
        {"/media/dvd/aerivon-installer", "/media/dvd/aerivon-installer/", false},
        {"/media/dv", "/media/dvd/", false},
        {"/home/u/aerivon-installer", "/media/dvd/", false},
        // The copy in a work folder never restarts, even when the root holds that folder.
        {"/tmp/aerivon-installer-a1B2c3/aerivon-installer", "/", false},
        {"/tmp/aerivon-installer-a1B2c3/aerivon-installer", "/tmp/", false},
        {"/tmp/other-a1B2c3/aerivon-installer", "/", true},
        {"/tmp/aerivon-installer-old/aerivon-installer", "/", true}, // not a folder of ours
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::string(r.exe) + " on " + r.root);
        EXPECT_EQ(INST_runs_from_dvd(r.exe, r.root), r.restart);
    }
}

TEST(StartupTest, VolumeProbeWantsANonEmptyFile) {
    test::TempDir root;
    const std::string saved = INST_probe_path;
    INST_probe_path = "dvd_version.txt";
    EXPECT_FALSE(INST_probe_volume(root.path() + "/"));
    test::write_file(root.file("dvd_version.txt"), "");
    EXPECT_FALSE(INST_probe_volume(root.path() + "/"));
    test::write_file(root.file("dvd_version.txt"), "I\n");
    EXPECT_TRUE(INST_probe_volume(root.path() + "/"));
    INST_probe_path = saved;
}

TEST(StartupTest, AtlasOfEachLanguageAndEnglishForTheRest) {
    const char* expected[] = {"English", "French",  "German",  "Russian",
                              "Italian", "Spanish", "English", "English"};
    for (int language = 0; language < 8; ++language)
        EXPECT_EQ(INST_ui_atlas_name(language),
                  std::string("RESOURCE:elements_") + expected[language] + ".png");
}

TEST(StartupTest, FiveFolderLinesInOrder) {
    test::TempDir home;
    mkdir(home.file("Desktop").c_str(), 0700);
    test::ScopedEnv h("HOME", home.path()), d("XDG_DATA_HOME", std::nullopt),
        c("XDG_CONFIG_HOME", std::nullopt);
    test::LogCapture log;
    INST_log_os_folders();
    std::string temp;
    FILE_get_special_folder(4, temp);
    std::string exe_folder;
    FILE_get_special_folder(0, exe_folder);
    const std::string desktop = home.path() + "/Desktop/";
    EXPECT_EQ(log.text(), "os_dir_this_app\t\t=" + exe_folder + "\nos_dir_desktop\t\t=" + desktop +
                              "\nos_dir_default_apps\t=" + desktop + "\nos_dir_temp\t\t\t=" + temp +
                              "\nos_dir_prefs\t\t\t=" + home.path() + "/.local/share/\n\n");
}

} // namespace
