// The install plan over hand-made package lists, with the modified-file question answered by a script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/INST_download.h"
#include "installer/INST_plan.h"
#include "installer_fixtures.h"
#include "support/engine_harness.h"

namespace {

using test::engine_answers;
using test::engine_questions;

const std::string v1 = "11111111111111111111111111111111";
const std::string v2 = "22222222222222222222222222222222";
const std::string user = "99999999999999999999999999999999";

file_record rec(const std::string& path, const std::string& want, const std::string& have, float kb = 10.0f) {
    file_record r;
    r.path = path;
    r.sig_want = want;
    r.sig_have = have;
    r.expanded_kb = kb;
    r.download_kb = kb / 2;
    return r;
}

// An entry whose history is v1 then the given current record.
package_entry with_history(file_record current) {
    file_record old = current;
    old.sig_want = v1;
    return {old, current};
}

struct PlanTest : test::InstallerTest {
    test::LogCapture log;
    void SetUp() override {
        InstallerTest::SetUp();
        INST_install_folder = "/inst/";
        INST_set_include_flags(1, 1);
        INST_set_modified_file_dialog(test::engine_answer);
        engine_questions.clear();
        engine_answers.clear();
    }
    void TearDown() override {
        INST_set_modified_file_dialog(nullptr);
        install_failed = 0;
        InstallerTest::TearDown();
    }
    static const file_record& current(size_t e) { return INST_directory.packages[e].back(); }
    static std::string flags(size_t e) {
        return std::to_string(current(e).plan_download) + std::to_string(current(e).plan_delete);
    }
};

TEST_F(PlanTest, EachKindOfFileGetsItsAction) {
    file_record scenery_kept = rec("Global Scenery/a/+40-080.dsf", v2, v2);
    scenery_kept.has_tile = 1;
    scenery_kept.x0 = scenery_kept.x1 = 10;
    scenery_kept.y0 = scenery_kept.y1 = 13;
    file_record scenery_dropped = scenery_kept;
    scenery_dropped.path = "Global Scenery/b/+10-010.dsf";
    scenery_dropped.x0 = scenery_dropped.x1 = 17;
    scenery_dropped.y0 = scenery_dropped.y1 = 10;
    file_record scenery_absent = scenery_dropped;
    scenery_absent.path = "Global Scenery/c/+10-010.dsf";
    scenery_absent.sig_have = "NONE";
    file_record scenery_wanted = scenery_kept;
    scenery_wanted.path = "Global Scenery/d/+40-080.dsf";
    scenery_wanted.sig_have = "NONE";
    file_record other_os = rec("linux.so", v2, "NONE");
    other_os.os = 3;
    INST_tile_selection.at(10, 13) = 1;

    INST_directory.packages = {
        {rec("absent.txt", v2, "NONE")},               // 0 download
        {rec("absent-gone.txt", "GONE", "NONE")},      // 1 nothing to delete
        {rec("current.txt", v2, v2)},                  // 2 left alone
        with_history(rec("old.txt", v2, v1)),          // 3 known old version: replaced
        with_history(rec("old-gone.txt", "GONE", v1)), // 4 known old version of a gone file: deleted
        {scenery_kept},                                // 5 selected scenery, current
        {scenery_dropped},                             // 6 unselected scenery: deleted, no question
        {scenery_absent},                              // 7 unselected and absent: nothing
        {scenery_wanted},                              // 8 selected and absent: download
        {other_os},                                    // 9 another system's file: not planned
        {rec("unreadable.txt", v2, "UNREADABLE")},     // 10 matches no version: asked
    };
    INST_directory.packages[9].back().plan_download = 1; // a stale flag of an earlier plan is cleared
    engine_answers = {1};
    ASSERT_EQ(INST_plan_install_actions(), 1);
    const char* want[] = {"10", "00", "00", "10", "01", "00", "01", "00", "10", "00", "10"};
    for (size_t e = 0; e < INST_directory.packages.size(); ++e) {
        SCOPED_TRACE(current(e).path);
        EXPECT_EQ(flags(e), want[e]);
    }
    ASSERT_EQ(engine_questions.size(), 1u);
    EXPECT_EQ(engine_questions[0].path, "/inst/unreadable.txt");
}

TEST_F(PlanTest, UserModifiedFilesFollowTheAnswers) {
    INST_directory.packages = {
        {rec("a/one.txt", v2, user)},      // 0 asked: 1 replace
        {rec("a/two.txt", v2, user)},      // 1 asked: 2 keep
        {rec("a/gone.txt", "GONE", user)}, // 2 asked (gone): 1 delete
        {rec("b/one.txt", v2, user)},      // 3 asked: 4 every file of b/
        {rec("b/two.txt", v2, user)},      // 4 covered by 4
        {rec("b/gone.txt", "GONE", user)}, // 5 covered by 4: deleted
        {rec("b/sub/one.txt", v2, user)},  // 6 a sub-folder is not covered: asked, 5 keep all of b/sub/
        {rec("b/sub/two.txt", v2, user)},  // 7 covered by 5
        {rec("c/one.txt", v2, user)},      // 8 asked: 5 keep every file of c/
        {rec("c/gone.txt", "GONE", user)}, // 9 covered by 5: kept
        {rec("b/three.txt", v2, user)},    // 10 b/ again, later in the list: still covered
    };
    engine_answers = {1, 2, 1, 4, 5, 5};
    ASSERT_EQ(INST_plan_install_actions(), 1);
    const char* want[] = {"10", "00", "01", "10", "10", "01", "00", "00", "00", "00", "10"};
    for (size_t e = 0; e < INST_directory.packages.size(); ++e) {
        SCOPED_TRACE(current(e).path);
        EXPECT_EQ(flags(e), want[e]);
    }
    ASSERT_EQ(engine_questions.size(), 6u);
    const char* asked[] = {"/inst/a/one.txt", "/inst/a/two.txt",     "/inst/a/gone.txt",
                           "/inst/b/one.txt", "/inst/b/sub/one.txt", "/inst/c/one.txt"};
    const int gone[] = {0, 0, 1, 0, 0, 0};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(engine_questions[i].path, asked[i]);
        EXPECT_EQ(engine_questions[i].gone, gone[i]);
    }
    EXPECT_NE(log.text().find("File: /inst/a/gone.txt  sig_want=GONE  sig_have=" + user + "\n"),
              std::string::npos)
        << log.text();
    EXPECT_EQ(test::count_of(log.text(), "File: "), 6);
}

TEST_F(PlanTest, CancelStopsAtOnceAndLeavesLaterEntriesAlone) {
    INST_directory.packages = {{rec("absent.txt", v2, "NONE")},
                               {rec("mine.txt", v2, user)},
                               {rec("later.txt", v2, v2)},
                               {rec("later-gone.txt", "GONE", "NONE")}};
    INST_directory.packages[2].back().plan_download = 1; // flags of an earlier plan
    INST_directory.packages[3].back().plan_delete = 1;
    INST_directory.packages[3].back().download_fraction = 0.75f;
    engine_answers = {3};
    EXPECT_EQ(INST_plan_install_actions(), 0);
    EXPECT_EQ(flags(0), "10");
    EXPECT_EQ(flags(1), "00");
    EXPECT_EQ(flags(2), "10");
    EXPECT_EQ(flags(3), "01");
    EXPECT_EQ(current(3).download_fraction, 0.75f);

    // An answer from outside 1..5 (a closed screen) and no one to ask both cancel.
    engine_answers = {7};
    EXPECT_EQ(INST_plan_install_actions(), 0);
    INST_set_modified_file_dialog(nullptr);
    EXPECT_EQ(INST_plan_install_actions(), 0);
    EXPECT_NE(log.text().find("Nobody can be asked about the modified file /inst/mine.txt"),
              std::string::npos);
}

TEST_F(PlanTest, FractionsShareThePlannedSizeInOrder) {
    INST_directory.packages = {{rec("a", v2, "NONE", 10.0f)},
                               {rec("b", v2, v2, 500.0f)}, // not planned: adds nothing
                               {rec("c", v2, "NONE", 30.0f)},
                               {rec("d", v2, "NONE", 60.0f)}};
    ASSERT_EQ(INST_plan_install_actions(), 1);
    const float want[] = {0.0f, 0.1f, 0.1f, 0.4f};
    for (size_t e = 0; e < 4; ++e)
        EXPECT_FLOAT_EQ(current(e).download_fraction, want[e]) << e;

    // Nothing to download: every fraction is one half, whatever else the plan did.
    INST_directory.packages = {{rec("a", v2, v2)}, {rec("b", "GONE", v1)}, {rec("c", v2, v2)}};
    INST_directory.packages[1].insert(INST_directory.packages[1].begin(), rec("b", v1, v1));
    ASSERT_EQ(INST_plan_install_actions(), 1);
    EXPECT_EQ(flags(1), "01");
    for (size_t e = 0; e < 3; ++e)
        EXPECT_EQ(current(e).download_fraction, 0.5f) << e;

    INST_directory.packages.clear();
    EXPECT_EQ(INST_plan_install_actions(), 1);
}

TEST_F(PlanTest, StartingAPlanClearsAnEarlierFailure) {
    install_failed = 1;
    INST_directory.packages = {{rec("a", v2, "NONE")}};
    ASSERT_EQ(INST_plan_install_actions(), 1);
    EXPECT_EQ(install_failed, 0);
}

TEST_F(PlanTest, NoIncludedKindLeavesEveryRecordUnplanned) {
    INST_set_include_flags(0, 0);
    INST_directory.packages = {{rec("a", v2, "NONE")}, {rec("b", v2, user)}};
    ASSERT_EQ(INST_plan_install_actions(), 1);
    EXPECT_EQ(flags(0), "00");
    EXPECT_EQ(flags(1), "00");
    EXPECT_TRUE(engine_questions.empty());
}

} // namespace
