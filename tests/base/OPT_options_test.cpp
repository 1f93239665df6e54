// Command-line option store, the plain argument, the usage text and the options that end the program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "base/OPT_options.h"

namespace {

using store = std::map<std::string, std::string>;

struct parse_case {
    const char* text;
    store expected;
};

TEST(OptionsTest, ParsesTheCommandLineText) {
    const parse_case cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"--lang=fr --lang=de", {{"--lang", "de"}}},
        {"--pref:_proxy_host=\"my proxy\" --force_run",
         {{"--pref:_proxy_host", "my proxy"}, {"--force_run", ""}}},
        // An unclosed quote runs to the end; nothing after it is parsed.
        {"--a=\"open --b=1 -h", {{"--a", "open --b=1 -h"}}},
        // A word that begins with '=' is dropped with its value.
        {"=x --b=2 =\"y z\" -h", {{"--b", "2"}, {"-h", ""}}},
        // Every isspace character separates words.
        {"\t--a=1\n--b\r--c=\v--d\f", {{"--a", "1"}, {"--b", ""}, {"--c", ""}, {"--d", ""}}},
        // Quotes count only right after '='.
        {"--a\"b=c\"d", {{"--a\"b", "c\"d"}}},
        {"--a=\"\" --b=\"x\"y", {{"--a", ""}, {"--b", "x"}, {"y", ""}}},
        {"--a==b", {{"--a", "=b"}}},
        {"plain/folder/ --os=LIN", {{"plain/folder/", ""}, {"--os", "LIN"}}},
    };
    for (const parse_case& c : cases) {
        SCOPED_TRACE(c.text);
        OPT_parse_only(c.text);
        EXPECT_EQ(OPT_store, c.expected);
    }
    OPT_parse_only(nullptr);
    EXPECT_TRUE(OPT_store.empty());
}

TEST(OptionsTest, KeysAreOrderedByteWise) {
    OPT_parse_only("--b --\xc3\xa9 --B -h --a");
    std::vector<std::string> keys;
    for (const auto& kv : OPT_store)
        keys.push_back(kv.first);
    EXPECT_EQ(keys, (std::vector<std::string>{"--B", "--a", "--b", "--\xc3\xa9", "-h"}));
}

TEST(OptionsTest, HasTellsAbsentFromEmpty) {
    OPT_parse_only("--force_run --qa_script=s.txt");
    EXPECT_TRUE(OPT_has("--force_run"));
    EXPECT_EQ(OPT_get("--force_run"), "");
    EXPECT_FALSE(OPT_has("--lang"));
    EXPECT_EQ(OPT_get("--lang"), "");
    EXPECT_FALSE(OPT_has("--force"));
    EXPECT_TRUE(OPT_is_test_run());
    EXPECT_FALSE(OPT_is_crash_report());
    OPT_parse_only("--fps_test=3 --send_report");
    EXPECT_TRUE(OPT_is_test_run());
    EXPECT_TRUE(OPT_is_crash_report());
    OPT_parse_only("--report_crash");
    EXPECT_FALSE(OPT_is_test_run());
    EXPECT_TRUE(OPT_is_crash_report());
}

TEST(OptionsTest, PlainArgumentIsTheTextLessItsDoubleDashWords) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"--lang=fr --force_run", ""},
        {"/home/u/Aerivon Demo/", "/home/u/Aerivon Demo/"},
        {"  SCNBTA/games/sim/  --lang=fr", "SCNBTA/games/sim/"},
        {"--pref:_proxy_host=\"my proxy\" /a b/Aerivon  --force_run", "/a b/Aerivon"},
        {"one --x two", "one two"},
        {"-h --version", "-h"},
        {"--a=\"never closed rest", ""},
    };
    for (const auto& [text, plain] : cases) {
        SCOPED_TRACE(text);
        OPT_parse_only(text);
        EXPECT_EQ(OPT_plain_argument(), plain);
    }
}

TEST(OptionsTest, UsageTextNamesEveryOptionInGroupOrder) {
    EXPECT_EQ(OPT_usage_text("").rfind("Usage: Aerivon [options...]\n\n", 0), 0u);
    const std::string usage = OPT_usage_text("aerivon-installer");
    EXPECT_EQ(usage.rfind("Usage: aerivon-installer [options...]\n\n", 0), 0u);
    EXPECT_EQ(usage.find("\n--lang="), usage.rfind("\n--lang=")) << "--lang is described twice";
    EXPECT_GT(usage.size(), 7000u);
    EXPECT_LT(usage.size(), 7700u);
    EXPECT_EQ(usage.back(), '\n');
    EXPECT_EQ(usage.find("\r"), std::string::npos);

    // Each option opens a line of its own; the groups come in this order, an empty line before each heading.
    const char* order[] = {"--help or -h",
                           "--no_sound",
                           "--missing_strings",
                           "--lang=<lang code>",
                           "--allow_rosetta",
                           "\nOPTIONS OF THE INSTALLER\n",
                           "--os=<code>",
                           "--server=<host/path>",
                           "--add_server=<host/path>",
                           "--server_clone=n",
                           "--install_name=<name>",
                           "--log_path=<file>",
                           "\nOPTIONS TO AUTO-CONFIGURE AERIVON\n",
                           "--pref:<key>=<value>",
                           "--dref:<ref>=<value>",
                           "\nOPTIONS TO DISABLE HARDWARE ACCELERATION\n",
                           "--no_vbos",
                           "--no_fbos",
                           "--no_pbos",
                           "--no_sprites",
                           "--no_pixel_counters",
                           "--no_aniso_filtering",
                           "--no_hw_mipmap",
                           "--no_fshaders",
                           "--no_vshaders",
                           "--no_glsl",
                           "--limited_glsl",
                           "--unlimited_glsl",
                           "--no_threaded_ogl",
                           "\nOPTIONS TO ENABLE INCOMPATIBLE HARDWARE ACCELERATION\n",
                           "--use_vbos",
                           "--use_sprites",
                           "--use_fshaders",
                           "--use_vshaders",
                           "--use_glsl",
                           "--use_fbos",
                           "--force_run",
                           "\nFRAMERATE TEST\n",
                           "--fps_test=n",
                           "--require_fps=n",
                           "--qa_script=<file>"};
    size_t at = 0;
    for (const char* name : order) {
        SCOPED_TRACE(name);
        size_t found = usage.find(std::string("\n") + name, at);
        ASSERT_NE(found, std::string::npos);
        at = found + 1;
    }
    // Every option line is followed by at least one explaining line.
    std::istringstream lines(usage);
    std::string line, previous;
    while (std::getline(lines, line)) {
        if (previous.rfind("--", 0) == 0) {
            SCOPED_TRACE(previous);
            EXPECT_EQ(line.rfind("    ", 0), 0u);
        }
        EXPECT_LE(line.size(), 100u);
        previous = line;
    }
}

} // namespace
