// The program as a user runs it.
#include <gtest/gtest.h>

#include "support/test_support.h"

TEST(ProgramTest, VersionPrintsTheProductLine) {
    auto r = test::run_child({AERIVON_EXE, "--version"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "Aerivon Demo Installer 3.22r1\n");
}
