// WIN_system: the URL hand-off reaches xdg-open as one untouched argument.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "platform/WIN_system.h"
#include "shell_harness.h"
#include "support/test_support.h"

TEST(WinSystemTest, OpenUrlHandsTheTextToXdgOpenAsOneArgument) {
    test::TempDir dir;
    const std::string record = dir.file("args.txt");
    shell::fake_program(dir.path(), "xdg-open", record);
    test::ScopedEnv path("PATH", dir.path() + ":/usr/bin:/bin");
    const std::string url =
        "http://www.aerivon.example/a b?c='d'&e=\"f\" $(touch " + dir.file("x") + ") `g`;h|i";
    WIN_open_url(url);
    for (int i = 0; i < 250 && test::read_file(record).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(test::read_file(record), "1\n" + url + "\n");
    struct stat st;
    EXPECT_NE(stat(dir.file("x").c_str(), &st), 0); // no shell ran the text

    // A missing program is ignored.
    test::ScopedEnv nowhere("PATH", dir.file("none"));
    WIN_open_url("http://www.aerivon.example/");
}
