// The registration file: reading the known copies and appending the install folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "installer/INST_globals.h"
#include "installer/INST_registration.h"
#include "installer_fixtures.h"

namespace {

class RegistrationTest : public test::InstallerTest {
  protected:
    void SetUp() override {
        InstallerTest::SetUp();
        known_installs.clear();
    }
    // A folder made under the temporary folder, with its trailing '/'.
    std::string folder(const std::string& rel) {
        std::filesystem::create_directories(dir.file(rel));
        return dir.file(rel) + "/";
    }
    std::string file() { return data.path() + "/aerivon_install_10.txt"; }

    test::TempDir dir, data;
    test::ScopedEnv xdg{"XDG_DATA_HOME", data.path()};
    test::LogCapture log;
};

TEST_F(RegistrationTest, ReadsExistingFoldersOfCrLfAndLfLinesInFileOrder) {
    const std::string a = folder("Copy A"), b = folder("copy b"), c = folder("C"), d = folder("D");
    test::write_file(file(), a + "\r\n" + dir.file("gone/") + "\n\n" + b + "\r\n" + c + "\n" + d);
    INST_read_registration_file();
    EXPECT_EQ(known_installs, (std::vector<std::string>{a, b, c, d}));
    EXPECT_EQ(log.text().find("WARNING"), std::string::npos);
}

TEST_F(RegistrationTest, ALineOf2048CharactersIsReadAsTwoPieces) {
    // An existing folder whose path is exactly 2,047 characters, followed on its line by one more.
    std::string rel;
    while (dir.path().size() + 1 + rel.size() + 200 < 2047)
        rel += std::string(199, 'p') + "/";
    rel += std::string(2047 - dir.path().size() - 1 - rel.size() - 1, 'q');
    const std::string long_folder = folder(rel);
    ASSERT_EQ(long_folder.size(), 2047u);
    test::write_file(file(), long_folder + "Z\n");

    INST_read_registration_file();
    EXPECT_EQ(known_installs, std::vector<std::string>{long_folder});
    // Both pieces count as registered lines: neither is appended again.
    for (const std::string& piece : {long_folder, std::string("Z")}) {
        INST_install_folder = piece;
        INST_register_install_folder();
    }
    EXPECT_EQ(test::read_file(file()), long_folder + "Z\n");
}

TEST_F(RegistrationTest, AppendingMakesTheFileAndAddsOnlyNewExactLines) {
    const std::string a = folder("Aerivon 10 Demo");
    INST_install_folder = a;
    INST_register_install_folder();
    EXPECT_EQ(test::read_file(file()), a + "\n");

    // The same bytes are not appended again; a case or trailing '/' difference is another line.
    std::string upper = a;
    upper[upper.size() - 2] = 'O';
    for (const std::string& f : {a, upper, a.substr(0, a.size() - 1), a}) {
        INST_install_folder = f;
        INST_register_install_folder();
    }
    EXPECT_EQ(test::read_file(file()), a + "\n" + upper + "\n" + a.substr(0, a.size() - 1) + "\n");
}

TEST_F(RegistrationTest, AFolderWhoseNameBreaksTheLineIsNotRegistered) {
    // Its line would read back as its parent's path and as the root folder, "/".
    for (const char* name : {"Copy\n", "Copy\r"}) {
        INST_install_folder = folder(name);
        INST_register_install_folder();
        EXPECT_FALSE(std::filesystem::exists(file())) << name;
        INST_read_registration_file();
        EXPECT_TRUE(known_installs.empty());
    }
    EXPECT_NE(log.text().find("WARNING: registration of this sim-root folder failed!"), std::string::npos);
}

TEST_F(RegistrationTest, AMissingFileGivesNoCopiesAndNoWarning) {
    known_installs = {"stale"};
    INST_read_registration_file();
    EXPECT_TRUE(known_installs.empty());
    EXPECT_EQ(log.text().find("WARNING"), std::string::npos);
}

TEST_F(RegistrationTest, AnUnwritableFileIsOnlyLogged) {
    // A folder where the file belongs: it opens for neither reading lines nor appending.
    std::filesystem::create_directories(file());
    INST_install_folder = folder("X");
    INST_register_install_folder();
    EXPECT_NE(log.text().find("WARNING: could not append registration file: " + file()), std::string::npos);
}

TEST_F(RegistrationTest, TheRootFolderIsNeverTheDataFolder) {
    // The lookup's answer with no home at all, or a data folder set so: nothing is read or registered.
    const std::string root_file = "/aerivon_install_10.txt";
    ASSERT_FALSE(std::filesystem::exists(root_file));
    for (const char* data_home : {"/", "//"}) {
        SCOPED_TRACE(data_home);
        test::ScopedEnv root{"XDG_DATA_HOME", data_home};
        const size_t start = log.text().size();
        EXPECT_EQ(INST_registration_file_path(), "");
        INST_install_folder = folder("X");
        INST_register_install_folder();
        INST_read_registration_file();
        EXPECT_TRUE(known_installs.empty());
        EXPECT_FALSE(std::filesystem::exists(root_file));
        std::filesystem::remove(root_file); // what the row would have made
        const std::string warning = "WARNING: registration of this sim-root folder failed!\n";
        const std::string text = log.text();
        const size_t first = text.find(warning, start);
        EXPECT_NE(first, std::string::npos) << text;
        EXPECT_NE(text.find(warning, first + 1), std::string::npos) << text; // the append's and the read's
    }
}

} // namespace
