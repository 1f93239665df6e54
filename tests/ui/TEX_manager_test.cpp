// The texture manager's pure parts, folding dynamic names and the progress decision, and the load
// refusals that come before any OpenGL call.
#include <gtest/gtest.h>

#include "base/LOG_log.h"
#include "base/OPT_options.h"
#include "support/test_support.h"
#include "tex_test_images.h"
#include "ui/TEX_manager.h"
#include "ui/TEX_obj.h"

namespace {

TEST(TexManagerTest, FoldKeyRemovesEachParentWithItsElement) {
    struct {
        const char* name;
        const char* key;
    } cases[] = {
        {"Resources/a/../b.png", "Resources/b.png"},
        {"Resources/b.png", "Resources/b.png"},
        {"a/b/../../c.png", "c.png"},
        {"x/../y/../z", "z"},
        {"a/../b.png", "b.png"},
        {"a/../../b.png", "../b.png"},
        {"/../a.png", "/../a.png"},
        {"../a.png", "../a.png"},
        {"../../a.png", "../../a.png"},
        {"/..", "/.."},
        {"..", ".."},
        {"a/..", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TMAN_fold_key(c.name), c.key);
    }
}

TEST(TexManagerTest, ProgressIsReportedAfterASecondForInterfaceLoadsOnly) {
    struct {
        const char* what;
        double previous, now;
        int load_time;
        const char* name;
        int ref;
        bool due;
    } cases[] = {
        {"a second and a bit later", 10.0, 11.01, 2, "RESOURCE:map.png", 1042, true},
        {"exactly a second", 10.0, 11.0, 2, "RESOURCE:map.png", 1042, false},
        {"load time 1", 10.0, 12.0, 1, "RESOURCE:map.png", 1042, false},
        {"scratch name", 10.0, 12.0, 2, "scratch_array-fonts", 1024, false},
        {"dynamic", 10.0, 12.0, 2, "a.png", 0, false},
        {"placeholder", 10.0, 12.0, 2, "a.png", 3, false},
        {"dialog", 10.0, 12.0, 2, "a.png", 996, false},
        {"interface atlas", 10.0, 12.0, 2, "a.png", 1021, false},
        {"first background tile", 10.0, 12.0, 2, "a.png", 1026, false},
        {"last background tile", 10.0, 12.0, 2, "a.png", 1041, false},
        {"after the tiles", 10.0, 12.0, 2, "a.png", 1042, true},
        {"element atlas", 10.0, 12.0, 2, "RESOURCE:elements_English.png", 1022, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        double previous = c.previous;
        EXPECT_EQ(TMAN_progress_due(c.now, &previous, c.load_time, c.name, c.ref), c.due);
        EXPECT_EQ(previous, c.now);
    }
}

// Refusals of the load that come before any OpenGL call, as automated runs end them (exit code 1); the
// child's log goes to stderr so that the alert's text can be matched.
class TexLoadDeathTest : public ::testing::Test {
  protected:
    void SetUp() override { OPT_parse_only("--qa_script=1"); }
    void TearDown() override { OPT_parse_only(""); }
    static void log_to_stderr() {
        LOG_init();
        FILE_open_ofstream(LOG_stream, "/dev/stderr", std::ios_base::out, 0x40);
    }
    test::TempDir dir;
};

TEST_F(TexLoadDeathTest, DdsWithoutStoredMipmapsIsRefused) {
    test::write_file(dir.file("nomips.dds"),
                     teximg::make_dds("DXT3", 4, 4, false, false, std::string(48, '\0')));
    test::write_file(dir.file("npot.dds"), teximg::make_dds("DXT1", 8, 6, true, true, std::string(64, '\0')));
    auto load = [&](const char* file) {
        log_to_stderr();
        TEX_obj t(1000, 0, dir.file(file), 0x202, 0);
        t.load();
    };
    EXPECT_EXIT(load("nomips.dds"), testing::ExitedWithCode(1),
                "is DDS but does not have pre-generated mipmaps.");
    EXPECT_EXIT(load("npot.dds"), testing::ExitedWithCode(1), "is DDS but its size is not power of 2.");
}

TEST_F(TexLoadDeathTest, BadFlagsAndRangesEndTheProgram) {
    auto load = [](uint32_t flags) {
        log_to_stderr();
        TEX_obj t(1000, 0, "x.png", flags, 0);
        t.load();
    };
    EXPECT_EXIT(load(0x200), testing::ExitedWithCode(1), "BAD color enum for tman");
    EXPECT_EXIT(load(0x800002), testing::ExitedWithCode(1), "Trying to bind an invalid filter type!");
    auto tman = [](int ref, int load_time) {
        log_to_stderr();
        TMAN_load_bitmap(0, ref, 0x202, load_time, "x.png");
    };
    EXPECT_EXIT(tman(1000, 4), testing::ExitedWithCode(1),
                "Trying to create an invalid texture load_time!.*value:.*4");
    EXPECT_EXIT(tman(1073, 2), testing::ExitedWithCode(1),
                "Trying to bind too low or high a manual_ref!.*1073");
    EXPECT_EXIT(tman(-1, 2), testing::ExitedWithCode(1), "Trying to bind too low or high a manual_ref!");
}

TEST_F(TexLoadDeathTest, BufferOfOddSizeWithoutFlagsIsRefused) {
    unsigned char pixels[12] = {};
    auto make = [&]() {
        log_to_stderr();
        TEX_obj t(1000, 0, 0, pixels, 3, 1, "odd");
    };
    EXPECT_EXIT(make(), testing::ExitedWithCode(1), "Error: texture buffer has non-power-of-2 dims");
}

} // namespace
