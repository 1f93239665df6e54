// Test entry: death tests fork and re-execute in "threadsafe" style, since suites start threads.
//
// A re-executed death-test child runs its test's body (and fixture) again and ends with _exit or a fatal
// alert, so what it makes in TMPDIR is never removed by its own destructors. Each test process therefore
// makes one folder for its children's TMPDIR ("aerivon-test-children-*"), hands it on in the environment,
// and removes it with everything in it when its tests are through.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

constexpr char children_tmpdir_key[] = "AERIVON_TEST_CHILDREN_TMPDIR";

bool is_death_test_child(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--gtest_internal_run_death_test", 31) == 0)
            return true;
    return false;
}

// The children's folder, made under TMPDIR (or /tmp); "" when it cannot be made.
std::string make_children_tmpdir() {
    const char* t = std::getenv("TMPDIR");
    const std::string tmpl = std::string(t && *t ? t : "/tmp") + "/aerivon-test-children-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    return mkdtemp(buf.data()) ? buf.data() : "";
}

} // namespace

int main(int argc, char** argv) {
    std::string children_tmpdir;
    if (is_death_test_child(argc, argv)) {
        if (const char* d = std::getenv(children_tmpdir_key); d && *d)
            setenv("TMPDIR", d, 1);
    } else {
        children_tmpdir = make_children_tmpdir();
        if (!children_tmpdir.empty())
            setenv(children_tmpdir_key, children_tmpdir.c_str(), 1);
    }
    testing::InitGoogleTest(&argc, argv);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const int result = RUN_ALL_TESTS();
    if (!children_tmpdir.empty())
        test::remove_tree(children_tmpdir);
    return result;
}
