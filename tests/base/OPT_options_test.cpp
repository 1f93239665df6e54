// Command-line option store.
#include <gtest/gtest.h>

#include "base/OPT_options.h"

TEST(OptionsTest, LastOccurrenceOfAKeyWins) {
    OPT_parse_only("--lang=fr --lang=de");
    EXPECT_EQ(OPT_store.size(), 1u);
    EXPECT_EQ(OPT_get("--lang"), "de");
}
