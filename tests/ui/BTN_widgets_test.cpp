// Label rules of the widgets, without a window: the three parts of a label and the two-line split.
#include <gtest/gtest.h>

#include <string>

#include "base/BTN_split_label.h"
#include "ui/BTN_widgets.h"

namespace {

TEST(BtnLabelTest, PartsDropOneBlankAroundTheMarksAndTheLastMarksWin) {
    struct Case {
        const char* label;
        const char* left;
        const char* right;
        const char* tip;
    } cases[] = {
        {"Left | Right { The tip", "Left", "Right", "The tip"},
        {"x|y|z{1{2", "x|y", "z{1", "2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string left, right, tip;
        BTN_split_label(c.label, left, right, tip);
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(right, c.right);
        EXPECT_EQ(tip, c.tip);
    }
}

TEST(BtnLabelTest, LongLabelsSplitNearestTheMiddle) {
    struct Case {
        const char* text;
        int mode;
        const char* first;
        const char* second; // empty: not split
    } cases[] = {
        {"twelve bytes", 0, "twelve bytes", ""},
        {"Install the demo", 0, "Install", "the demo"},
        {"Install the demo", 2, "Install", "the demo"},
        {"Install the demo", 1, "Install the demo", ""},
        {"Re-download/files", 0, "Re-download/", "files"},
        {"Much-too-long", 2, "Much-", "too-long"},
        {"abcde fgh ijklm", 0, "abcde", "fgh ijklm"},                 // equal distances: the first wins
        {"abcdefghijkl m", 0, "abcdefghijkl m", ""},                  // the second line would be 1 byte
        {"abcdefghijkl mn", 0, "abcdefghijkl", "mn"},                 // 2 bytes are enough
        {" abcdefghijklm", 0, " abcdefghijklm", ""},                  // never at position 0
        {"-Never split this label", 0, "Never split this label", ""}, // the '-' goes, no split
        {"-", 0, "", ""},
        {"nospaceatallhere", 0, "nospaceatallhere", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " mode " << c.mode);
        std::string first, second;
        const bool split = BTN_label_lines(c.text, c.mode, first, second);
        EXPECT_EQ(split, *c.second != '\0');
        EXPECT_EQ(first, c.first);
        EXPECT_EQ(second, c.second);
    }
}

} // namespace
