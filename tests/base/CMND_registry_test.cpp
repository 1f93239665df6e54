// Registries of named commands, named actions and named variables.
#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <list>
#include <set>

#include "base/CMND_registry.h"
#include "base/DREF_registry.h"

namespace {

TEST(CommandRegistryTest, FindMatchesWholePathsOnly) {
    const std::pair<std::string, int> cases[] = {
        {"sim/general/left", 4},
        {"sim/general/lef", 0},
        {"sim/general/left/", 0},
        {"SIM/general/left", 0},
        {std::string("sim/general/left\0x", 18), 0},
        {"", 0},
        {"sim/none/none", 0},
        {"sim/operation/screenshot", 1},
        {"sim/general/rot_right_slow", 39},
    };
    for (const auto& [path, index] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(CMND_find(path), index);
    }
}

TEST(CommandRegistryTest, EveryRowIsFoundAtItsOwnIndex) {
    std::set<std::string> paths;
    for (int i = 0; i < CMND_COUNT; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(CMND_path_at(i), CMND_builtin[i].path);
        EXPECT_EQ(CMND_find(CMND_path_at(i)), i);
        EXPECT_EQ(CMND_description_at(i), CMND_builtin[i].description);
        EXPECT_TRUE(CMND_builtin[i].kind == 2 || CMND_builtin[i].kind == 3);
        EXPECT_TRUE(CMND_builtin[i].mods == 0 || CMND_builtin[i].mods == 1 || CMND_builtin[i].mods == 4);
        paths.insert(CMND_path_at(i));
    }
    EXPECT_EQ(paths.size(), 40u);
    EXPECT_EQ(CMND_description_at(1), "Take a screenshot.");
    EXPECT_EQ(CMND_path_at(-1), "");
    EXPECT_EQ(CMND_path_at(40), "");
    EXPECT_EQ(CMND_description_at(40), "");
    // Default keys the bindings are built from: shift+space takes a screenshot, control+'.' moves forward
    // slow.
    EXPECT_EQ(CMND_builtin[1].key, 0x20);
    EXPECT_EQ(CMND_builtin[1].mods, 1);
    EXPECT_EQ(CMND_builtin[24].key, 0xB9);
    EXPECT_EQ(CMND_builtin[24].mods, 4);
}

TEST(CommandRegistryTest, ListsTheChildrenBelowAPrefix) {
    std::vector<std::string> out{"stale"};
    CMND_list_children("", out);
    EXPECT_EQ(out, std::vector<std::string>{"sim/"});
    CMND_list_children("sim/", out);
    EXPECT_EQ(out, (std::vector<std::string>{"none/", "operation/", "general/"}));
    CMND_list_children("sim/operation/", out);
    EXPECT_EQ(out, (std::vector<std::string>{"screenshot", "quicktime_record_toggle", "quit"}));
    CMND_list_children("sim/general/", out);
    ASSERT_EQ(out.size(), 36u);
    EXPECT_EQ(out.front(), "left");
    EXPECT_EQ(out.back(), "rot_right_slow");
    // The prefix is matched as bytes, not as whole components; a whole path has no children.
    CMND_list_children("sim/gen", out);
    EXPECT_EQ(out, std::vector<std::string>{"eral/"});
    CMND_list_children("sim/none/none", out);
    EXPECT_TRUE(out.empty());
    CMND_list_children("elsewhere/", out);
    EXPECT_TRUE(out.empty());
}

void action_a() {}
void action_b() {}

TEST(CommandRegistryTest, ActionsTakeRisingIdsAndTheNewestStandsFirst) {
    // The list keeps them for the run: a repeated run adds nodes of its own, for a node added twice would
    // make the list a ring.
    static std::list<CMND_action> nodes;
    CMND_action& first = nodes.emplace_back();
    CMND_action& second = nodes.emplace_back();
    int before = 0;
    for (CMND_action* a = CMND_first_action(); a; a = a->next)
        ++before;
    CMND_add_action(&first, "First Action", action_a);
    CMND_add_action(&second, "Second Action", action_b);
    // With nothing registered before, the ids are 1 and 2.
    EXPECT_EQ(first.id, before + 1);
    EXPECT_EQ(second.id, before + 2);
    EXPECT_EQ(CMND_first_action(), &second);
    EXPECT_EQ(second.next, &first);
    EXPECT_STREQ(second.label, "Second Action");
    EXPECT_EQ(second.callback, &action_b);
    CMND_actions_ready();
    EXPECT_TRUE(CMND_actions_are_ready());
}

// Runs in a child: variables made before and after the registry becomes ready. Returns the failures.
int variable_registry_failures() {
    static int bound = 3;
    static int other = 4;
    static DREF_var own("perf/kill_cull", 2, std::bit_cast<uint32_t>(5.0f));
    static DREF_var first_bound(&bound, "reno/LOD_bias_rat", 5);
    static DREF_var second_bound(DREF_bind_other{}, &other, "reno/draw_HDR", 5);
    int failures = 0;
    failures += own.first != &own.own_value || std::bit_cast<float>(own.own_value) != 5.0f;
    failures += own.second != nullptr || own.type != 2;
    failures += first_bound.first != &bound || first_bound.second != nullptr;
    failures += second_bound.first != nullptr || second_bound.second != &other;
    failures += std::string(second_bound.name) != "reno/draw_HDR";
    failures += DREF_registry_is_ready() || DREF_is_registered(&own) || DREF_is_registered(&second_bound);
    DREF_registry_ready();
    failures += !DREF_registry_is_ready() || !DREF_is_registered(&own);
    failures += !DREF_is_registered(&first_bound) || !DREF_is_registered(&second_bound);
    static DREF_var late("perf/late", 4, 1);
    failures += !DREF_is_registered(&late);
    return failures;
}

// The registry becomes ready once per process, so this runs in a child of its own.
TEST(VariableRegistryDeathTest, VariablesAreFiledWhenTheRegistryIsReady) {
    EXPECT_EXIT(std::_Exit(variable_registry_failures()), testing::ExitedWithCode(0), "");
}

} // namespace
